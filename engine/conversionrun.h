#pragma once

#include "connections/profiles.h"
#include "connections/rowcopy.h"
#include "connections/rowbuffer.h"
#include "engine/conversionrecord.h"
#include "engine/core/conversionsettings.h"
#include "engine/core/identifiers.h"
#include "engine/core/runledger.h"
#include "engine/core/runlog.h"
#include "engine/runreport.h"

#include <QDateTime>
#include <QSet>
#include <QString>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace tavrex {

// The closing lines of a run, from the active interface language.
struct RunCaptions {
    QString Label29;  // "Conversion is Completed"
    QString Label30;  // "Wizard has migrated your MySQL database to Oracle server successfully."
    QString Label32;  // "Click 'Finish' to exit the wizard."
    // Takes the place of Label30 when anything failed or was rejected:
    // "Conversion completed with errors: see the summary above."
    QString completedWithErrors = QStringLiteral("Conversion completed with errors: see the summary above.");
};

enum class RunOutcome {
    Completed,  // every table processed, log saved
    Stopped,    // the stop request was honoured (at a table poll, or after the step
                // of a table or the foreign keys that saw it); nothing saved unless
                // the run saves stopped runs
};

// One table in work, with the rows read from it so far and the server's
// estimate of its rows (-1 when unknown).
struct TableProgress {
    QString table;
    std::int64_t rowsCopied = 0;
    std::int64_t rowsEstimated = -1;
};

// Where a run is: reported at the top of each table, at every pump point of
// the row copy (every 100 rows) and when the last table is done.
//
// With several tables at once, the run reports whenever a table starts, at
// every pump of the window's thread while tables are in work, and right
// before a table's lines go into the log (logBlock): running lists the
// tables in work, rowsCopied and rowsEstimated are their sums (an unknown
// estimate counting none; -1 when none is known), and table names the table
// whose lines were written last (the first table in work before any).
struct RunProgress {
    int tablesDone = 0;              // tables finished
    int tableCount = 0;              // tables chosen
    QString table;                   // the MySQL table in work; empty after the last
    std::int64_t rowsCopied = 0;     // rows read from it so far
    std::int64_t rowsEstimated = -1; // the server's estimate of its rows; -1 when unknown
    std::vector<TableProgress> running;  // several tables at once: the tables in work
    bool logBlock = false;           // several tables at once: table's lines follow in the log
};

// What the window does at fixed points of the run; each may be left empty.
struct RunHooks {
    std::function<void()> showLogPage;      // after the start line
    std::function<void()> enterRunning;     // buttons: Back and Next off, "Stop" on
    std::function<void()> closeMainWindow;  // batch mode, after the save
    std::function<void(const RunProgress &)> progress;
};

// "Start time:" and "The end time:" stamps: the short date and, unless the
// time is exactly 00:00:00, a blank and the long time, in the locale given
// (the system's in the window).
QString runTimestamp(const QDateTime &when, const QLocale &locale);

// "select count(*) cn from "T"": the rows of a target table after its copy.
QString rowCountStatement(const QString &targetName);
// The primary key columns of a MySQL table in key order; empty without one.
QStringList primaryKeyColumns(MySqlConnection &catalogue, const QString &listedName);
// The key a resumable copy reads a MySQL table in order of: its primary key,
// else its first unique key whose columns are all NOT NULL, when every column
// is of a type whose order MySQL and the record agree on (integers,
// decimals, dates and times, character and binary strings, no prefix).
// Empty, with *why saying so, when the table has none.
QStringList resumeKeyColumns(MySqlConnection &catalogue, const QString &database, const QString &listedName,
                             QString *why);

// The log file of an interactive run: logFolder + "qelt_YYYYMMDD_HHmmSS.log".
QString interactiveLogPath(const QString &logFolder, const QDateTime &when);
// The log file of a batch run: the settings file with its extension replaced
// by ".log", or ".log" appended when it has none.
QString batchLogPath(const QString &settingsFile);

// The record of a replay that could not run: the log's lines at logPath and
// the report beside it (its outcome "failed" and report.errors saying why),
// in place of an earlier run's, whose ledger beside the log is removed so
// that nothing there speaks of another run. A file that cannot be written is
// left out: there is nowhere left to report it. True when the log was saved.
bool saveFailedRunRecord(const QString &logPath, const TRunLog &log, RunReport report);

// The conversion run (step5Click): walks the selected tables in order and,
// for each, drops, skips, creates and fills the Oracle table by the
// existing-table policy, writing every step into the log. An error that
// escapes a step of one table (a failed listing or catalogue query, a type
// the mapping cannot read, a lost session) becomes that table's error and
// the run goes on; only a failure to open the data connection and a failed
// save end the run early, and then nothing is saved. Every run that reaches
// its tables ends with a summary, its closing lines, the saved log, the
// ledger and the report. A later table whose Oracle name is one this run
// already created or filled gets a new name, so no table of the run is
// dropped, merged into or skipped. The stop request is cleared at the start
// and discarded at the end whatever the outcome, so it never outlives its run.
class ConversionRun {
public:
    ConversionRun(DatabaseObjects &db, const TConversionSettings &settings, TRunLog &log, RunControl &control);
    ~ConversionRun();

    void setCaptions(const RunCaptions &captions) { captions_ = captions; }
    void setHooks(RunHooks hooks) { hooks_ = std::move(hooks); }
    // Batch mode: the log goes next to this settings file.
    void setBatchSettingsFile(const QString &path) { batchSettingsFile_ = path; }
    // The clock and the locale of the stamps and the file name (tests fix them).
    void setClock(std::function<QDateTime()> clock) { clock_ = std::move(clock); }
    void setLocale(const QLocale &locale) { locale_ = locale; }
    // Where interactive logs go; GetLogFolder() unless set.
    void setLogFolder(const QString &folder) { logFolder_ = folder; }
    // Tables named in the batch settings file that the database does not
    // list: each gets a log line before the first table and counts as a
    // failed table of the run.
    void setMissingTables(QStringList names) { missingTables_ = std::move(names); }
    // The record of conversions in the target; none when it cannot be kept
    // or is not kept.
    const ConversionRecord *record() const { return record_.get(); }
    // Whether the run keeps the record and claims its tables (on unless set;
    // the check, which writes nothing, turns it off). A run that keeps none
    // may still read it from a session, to take the decisions a run would.
    void setKeepRecord(bool on) { keepRecord_ = on; }
    void setRecordSource(OracleSession *readOnly) { readRecordFrom_ = readOnly; }

    // Whether the copy sends a batch while it reads the next rows (on unless
    // set). A test that changes the target at a chosen pump point turns it
    // off, so that no batch is on its way at that moment.
    void setSendAhead(bool on) { sendAhead_ = on; }

    RunOutcome run();

    // The file the last run saved, empty when it saved none.
    const QString &savedLogPath() const { return savedLogPath_; }
    // The record of the last run: outcome and per-table figures.
    const RunReport &report() const { return report_; }
    // The last CREATE TABLE statement built.
    const QString &lastStatement() const { return lastStatement_; }

private:
    // What one table's conversion works with: the run's own connections, log,
    // stop request and row buffer, or those of a lane of the tables
    // converted at once.
    struct TableWork {
        DatabaseObjects &db;
        TRunLog &log;
        RunControl &control;
        RowBuffer &buffer;
        TableClaims *claims;
        // Rows read so far by the table's copy, at every pump point.
        std::function<void(std::int64_t)> rows;
        // Several tables at once: called once the table's name is chosen and
        // its definition made, so the next table may take its turn.
        std::function<void()> setupDone;
    };
    struct Lane;

    void runTable(TableWork &w, const QString &entry, bool overwrite, bool skip, bool buildIndexes,
                  TableResult &result);
    void convertTable(TableWork &w, const QString &entry, bool overwrite, bool skip, bool buildIndexes,
                      TableResult &result);
    // Converts the tables several at once; false when a stop ended it.
    bool convertAtOnce(const QStringList &tables, bool overwrite, bool skip, bool buildIndexes);
    void openLanes(std::vector<std::unique_ptr<Lane>> &lanes, int count);
    // A ledger that failed is an error of the table it failed in.
    void noteLedgerError(TableResult &result);
    QString targetNameFor(TableWork &w, const QString &entry, const QString &sourceName,
                          const RecordEntry *earlier);
    void openRecord();
    SourceTable sourceOf(const QString &entry) const;
    // Marks the table's entry, when the record is kept; a failure to write
    // it is an error of the table.
    void markTable(TableWork &w, const QString &target, RecordState state, TableResult &result,
                   std::int64_t rowsWritten = -1);
    std::int64_t estimatedRows(MySqlConnection &catalogue, const QString &entry);
    void checkRowCount(TableWork &w, const QString &targetName, std::int64_t rowsBefore, TableResult &result);
    // The key column a table is copied in key ranges by: its primary key's
    // one integer column, when its estimated rows pass the threshold; empty
    // otherwise.
    QString rangeKeyColumn(MySqlConnection &catalogue, const QString &entry);
    // Copies the table in key ranges at once, each on connections of its
    // own: new ranges split by the rows' positions in key order, or the
    // ranges of an interrupted run (ranges), each continued after its last
    // committed batch. The ranges' lines follow one another in the table's
    // log; the counts are their sums.
    TStepResult copyInRanges(TableWork &w, const QString &entry, const QString &targetName,
                             const CopyOptions &options, bool continued, std::vector<RangeEntry> ranges,
                             CopyCounts *counts);
    void verifyCopy(TableWork &w, const QString &entry, const QString &targetName, bool copied,
                    std::int64_t rowsBefore, TableResult &result);
    void finishRun(RunResultOutcome outcome, bool closingLines);
    // Ends a run whose stop request was seen: the record is saved when the
    // stop asks for it (a replay ended by a signal).
    RunOutcome stopRun();
    void addForeignKeys();
    QString logPath(const QDateTime &when) const;

    DatabaseObjects &db_;
    const TConversionSettings &settings_;
    TRunLog &log_;
    RunControl &control_;
    RunCaptions captions_;
    RunHooks hooks_;
    QString batchSettingsFile_;
    std::function<QDateTime()> clock_;
    QLocale locale_ = QLocale::system();
    QString logFolder_;
    bool sendAhead_ = true;
    QString savedLogPath_;
    QString lastStatement_;
    RowBuffer oracleinsertdata_;
    QStringList missingTables_;
    RunReport report_;
    RunProgress progress_;
    RunLedger ledger_;
    // The Oracle tables this run created or filled, and the MySQL table of each.
    QHash<QString, QString> writtenTargets_;
    // The key, index and constraint names this run gave, with their tables.
    ObjectNames objectNames_;
    bool ledgerErrorReported_ = false;
    // The record of conversions, the claims of this run, and the runs whose
    // conversion of this run's tables was interrupted.
    std::unique_ptr<ConversionRecord> record_;
    std::unique_ptr<TableClaims> claims_;
    RunIdentity runIdentity_;
    QSet<QString> interruptedRuns_;
    bool keepRecord_ = true;
    OracleSession *readRecordFrom_ = nullptr;
    // Several tables at once: the record and the names of the run are shared
    // by the lanes (the record's session under its lock), and the tables
    // choose their names and make their definitions one at a time, in the
    // chosen order (setupTurn_: the position of the table whose turn it is).
    std::recursive_mutex recordMutex_;
    std::mutex turnMutex_;
    std::condition_variable turnChanged_;
    int setupTurn_ = 0;
    std::vector<std::unique_ptr<Lane>> lanes_;  // opened at the start, taken by convertAtOnce
};

} // namespace tavrex
