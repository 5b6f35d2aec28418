#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace tavrex {

// What the run did with one selected table. The run fills one of these per
// table; the summary, the report file, the window's results and the exit code
// all read them, so every figure is counted in one place.
struct TableResult {
    QString source;                // the MySQL table as listed
    QString target;                // the Oracle table (empty when none was decided)
    QString action;                // "created", "merged", "skipped", "failed"
    std::int64_t rowsRead = 0;     // rows read from MySQL
    std::int64_t rowsWritten = 0;  // rows committed in Oracle by this run
    std::int64_t valuesRejected = 0;
    std::int64_t rowsRejected = 0;
    QStringList errors;            // the error texts, as logged
    double seconds = 0;
    QString verified = QStringLiteral("not verified");  // "equal", "differs", "not verified"

    bool hasProblem() const { return !errors.isEmpty() || valuesRejected > 0 || rowsRejected > 0; }
};

enum class RunResultOutcome { Completed, CompletedWithErrors, Stopped, Failed };

// The record of one run: its outcome and the tables in run order.
struct RunReport {
    RunResultOutcome outcome = RunResultOutcome::Completed;
    QDateTime started;
    QDateTime ended;
    std::vector<TableResult> tables;
    QString ledgerFileName;  // the ledger's file name, empty when nothing was recorded
    // Errors of the run itself rather than of one table (a settings file that
    // selects no table, the reason a replay could not run, a ledger that
    // could not be moved), as logged.
    QStringList errors;

    bool anyProblem() const;
    // Completed or CompletedWithErrors, by the tables' figures.
    RunResultOutcome finishedOutcome() const;

    // "completed", "completed with errors", "stopped", "failed".
    static QString outcomeText(RunResultOutcome outcome);

    // The summary written before the closing lines: one line per table with a
    // problem and a totals line.
    QStringList summaryLines() const;

    // The report file's content: UTF-8 JSON.
    QByteArray toJson() const;
};

// The exit code of a replay: 0 completed without any error, 2 completed with
// errors, 1 could not run or ended early, 130 stopped by a signal.
int exitCodeFor(RunResultOutcome outcome);

// The files beside a log JOB.log: the ledger JOB.rejects.csv, the folder of
// reload files JOB.rejects/ and the report JOB.report.json.
QString ledgerPathForLog(const QString &logPath);
QString reloadFolderForLog(const QString &logPath);
QString reportPathForLog(const QString &logPath);

// Whether a file name ends like a file of a run's record (".log",
// ".rejects.csv", ".report.json", ".check.html", ".check.json", in any case):
// such a file cannot be a settings file, whose replay writes files so named.
bool isRunRecordFileName(const QString &path);

} // namespace tavrex
