#pragma once

#include "engine/checksession.h"
#include "engine/core/conversionsettings.h"
#include "engine/core/runlog.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>
#include <functional>
#include <vector>

namespace tavrex {

// The check before a conversion: what the run of these settings would
// create, drop, refuse, change and cost, learned without writing anything to
// Oracle. It runs the conversion itself (ConversionRun) against the check's
// sessions (CheckTarget): every name, statement, row read, value conversion
// and ledger record comes from the code the run uses, only the target is the
// check's. Its figures are the run's ledger, counted.

// The values of one column (or of whole rows: column empty) that the run
// would not write as they came, for one reason: the reason is the text the
// ledger writes, the examples the first five the ledger would hold.
struct CheckValueCount {
    struct Example {
        std::int64_t row = 0;  // the row's position in the source read (1-based), as the ledger numbers it
        QString value;         // the value as the ledger writes it
    };
    QString column;
    QString reason;
    std::int64_t count = 0;
    QVector<Example> examples;
};

// What the run would do with one selected table.
struct CheckTable {
    QString source;        // the MySQL table as listed
    QString target;        // the Oracle table; empty when the run would decide none
    QString nameNote;      // why the Oracle name is not the source name shaped; empty when it is
    QString action;        // "create", "drop and create", "merge", "skip", "fail"
    std::int64_t existingRows = -1;  // the rows of the Oracle table of that name now; -1 when there is none
    std::int64_t rows = 0;   // rows read
    std::int64_t bytes = 0;  // bytes of the values the run would send, as the target stores them
    std::int64_t rowsRejected = 0;
    double seconds = 0;      // the check's time for the table (reading and judging)
    QVector<CheckedStatement> statements;
    QVector<CheckValueCount> values;
    QStringList errors;      // the table's errors, as the run would log them
    QStringList log;         // the run's log lines of the table

    // Whether the run would refuse, change or fail anything of it.
    bool hasProblem() const;
    int refusedCount() const;
    std::int64_t valueCount() const;
};

// How long the run would take and how much room its rows would take.
struct CheckEstimate {
    double readRowsPerSecond = 0;   // measured by the check
    double writeRowsPerSecond = 0;  // the last run's into this target, or the benchmark's
    QString writeSource;            // "report" (writeReport names it) or "benchmark"
    QString writeReport;
    double seconds = 0;
    std::int64_t oracleBytes = 0;
};

// The rows per second of the run into the embedded target on the
// benchmark's 1,000,000-row mixed table (bench/check, "copy rows/s", median
// of five on the development machine: 322,649); the estimate uses it when no
// earlier run into the target has left a report.
constexpr double kBenchmarkCopyRowsPerSecond = 320000;

// The texts of the report, in the window's language; the English ones unless
// set (the windows layer gives the other language's).
struct CheckCaptions {
    QString languageCode = QStringLiteral("en");
    QString title = QStringLiteral("Check before converting");
    QString settings = QStringLiteral("Settings");
    QString mapping = QStringLiteral("Mapping");
    QString plainMapping = QStringLiteral("plain");
    QString keptDetails = QStringLiteral("Keep column details");
    QString checked = QStringLiteral("Checked");
    QString status = QStringLiteral("Status");
    QString table = QStringLiteral("MySQL table");
    QString target = QStringLiteral("Oracle table");
    QString action = QStringLiteral("Action");
    QString rows = QStringLiteral("Rows");
    QString bytes = QStringLiteral("Bytes");
    QString values = QStringLiteral("Values changed or rejected");
    QString rowsRejected = QStringLiteral("Rows rejected");
    QString refused = QStringLiteral("Statements refused");
    QString statements = QStringLiteral("Statements");
    QString column = QStringLiteral("Column");
    QString wholeRow = QStringLiteral("(whole row)");
    QString reason = QStringLiteral("Reason");
    QString count = QStringLiteral("Count");
    QString examples = QStringLiteral("Examples (row: value)");
    QString errors = QStringLiteral("Errors");
    QString log = QStringLiteral("Log of the run");
    QString estimate = QStringLiteral("Estimate");
    QString time = QStringLiteral("Time of the run");
    QString space = QStringLiteral("Space of the rows in Oracle");
    QString readSpeed = QStringLiteral("Read speed measured by the check: %1 rows/s");
    QString writeFromReport = QStringLiteral("Write speed of the last run into this target (%1): %2 rows/s");
    QString writeFromBenchmark =
        QStringLiteral("Write speed of the benchmark (no earlier run into this target): %1 rows/s");
    QString existing = QStringLiteral("The Oracle table exists with %1 rows");
    QString ok = QStringLiteral("copied as it is");
    QString attention = QStringLiteral("would be refused, changed or fail");
    QString noTables = QStringLiteral("No table is selected.");
    QString runErrors = QStringLiteral("Errors of the run");
    QString actionCreate = QStringLiteral("create");
    QString actionDropCreate = QStringLiteral("drop and create");
    QString actionMerge = QStringLiteral("merge");
    QString actionSkip = QStringLiteral("skip");
    QString actionFail = QStringLiteral("fail");

    // The caption of an action text of CheckTable.
    QString actionCaption(const QString &action) const;
};

// The result of one check.
struct CheckReport {
    QDateTime started;
    QDateTime ended;
    QString settingsFile;    // empty for a check from the window
    bool keepDetails = false;
    std::vector<CheckTable> tables;
    QStringList errors;      // errors of the run itself (a table the settings file names that the database lacks)
    CheckEstimate estimate;

    bool anyProblem() const;
    // 0: the run would copy every value as it is; 2: it would refuse, change
    // or fail something.
    int exitCode() const { return anyProblem() ? 2 : 0; }

    // JOB.check.json: UTF-8 JSON, one object per table.
    QByteArray toJson() const;
    // JOB.check.html: one page with everything inside it (no script, font or
    // picture from elsewhere), in the captions' language. The section of one
    // table alone (the window's details) with table >= 0.
    QString toHtml(const CheckCaptions &captions, int table = -1) const;
};

// The files beside a settings file JOB.qelt: JOB.check.html, JOB.check.json.
QString checkHtmlPath(const QString &settingsFile);
QString checkJsonPath(const QString &settingsFile);
// Writes both, owner-only, replacing earlier ones; throws std::runtime_error.
void saveCheckReport(const CheckReport &report, const CheckCaptions &captions, const QString &htmlPath,
                     const QString &jsonPath);

// Runs a check of the settings: connects to MySQL and to the Oracle target
// (read only), reads every selected table once and reports. Throws when it
// cannot run (a connection that fails); a table's own failure is in its
// CheckTable. settings.SourceDatabase must be chosen.
class ConversionCheck {
public:
    ConversionCheck(const TConversionSettings &settings, RunControl &control);

    // Tables a settings file names that the database lacks.
    void setMissingTables(QStringList names) { missingTables_ = std::move(names); }
    void setSettingsFile(const QString &path) { settingsFile_ = path; }
    // The report of the last run into this target (JOB.report.json), for the
    // write speed of the estimate; none or unreadable: the benchmark's.
    void setLastRunReport(const QString &path) { lastRunReport_ = path; }
    // Called at the top of each table with its name.
    void setTableHook(std::function<void(const QString &)> hook) { tableHook_ = std::move(hook); }

    CheckReport run();

private:
    const TConversionSettings &settings_;
    RunControl &control_;
    QStringList missingTables_;
    QString settingsFile_;
    QString lastRunReport_;
    std::function<void(const QString &)> tableHook_;
};

// The write speed recorded in a run's report (rows written per second of its
// copied tables); 0 when the file holds none.
double reportWriteSpeed(const QByteArray &reportJson);

} // namespace tavrex
