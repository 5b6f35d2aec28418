#pragma once

// Page 6 beyond the log memo: the progress of a run while it goes and the
// results table once it has ended. The figures and texts are pure functions
// of the run's RunProgress and RunReport, so the window, the replay without
// a window and the tests read the same values; the window only puts them
// into its controls.

#include "engine/conversionrun.h"
#include "engine/core/runlog.h"
#include "engine/runreport.h"
#include "wizard/captions.h"

#include <QHash>
#include <QIcon>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QTableWidget;

namespace tavrex {

// The rows bar counts in thousandths of the server's estimate.
constexpr int kRowsBarScale = 1000;

// The values of the two progress bars. The estimate of the rows is the
// server's statistics, so a table may hold more rows than it said: the bar
// then stays full instead of passing its end. A rows maximum of 0 asks for a
// busy bar (no estimate).
struct ProgressBars {
    int tablesValue = 0;
    int tablesMaximum = 1;
    int rowsValue = 0;
    int rowsMaximum = kRowsBarScale;
};
ProgressBars progressBars(const RunProgress &progress);

// Rows per second of the table in work, from the time of its first report.
// The clock gives milliseconds (a steady clock unless a test sets one).
class RowRate {
public:
    using Clock = std::function<std::int64_t()>;
    explicit RowRate(Clock clock = {});

    // Takes a report of the run; returns the rate, or -1 while less than half
    // a second has passed since the table's first report, and after the last.
    double update(const RunProgress &progress);
    void reset();
    // Seconds the table in work has run, at the last report; 0 before one.
    double secondsInTable() const { return started_ ? double(lastMs_ - startMs_) / 1000.0 : 0; }

private:
    Clock clock_;
    bool started_ = false;
    QString table_;
    int tablesDone_ = -1;
    std::int64_t startMs_ = 0;
    std::int64_t lastMs_ = 0;
};

// A time span as the progress shows it: "m:ss", or "h:mm:ss" from an hour on.
QString durationText(double seconds);

// The progress in words: the tables line, the rows line and the rate (empty
// when the rate is unknown).
struct ProgressTexts {
    QString tables;
    QString rows;
    QString rate;
};
// Once the table has run kMinSecondsForRemaining seconds (secondsInTable)
// and its estimate is above the rows read, the rate is followed by the time
// the table still needs at that rate.
constexpr double kMinSecondsForRemaining = 3.0;
ProgressTexts progressTexts(const RunProgress &progress, double rowsPerSecond, const RunViewCaptions &captions,
                            double secondsInTable = 0);
// The one line a replay without a window keeps rewriting on a terminal.
QString progressLine(const ProgressTexts &texts);

// What a table's row of the results says at a glance. Stopped and
// NotStarted belong to a stopped run: the table whose copy the stop ended,
// and the chosen tables the run never reached.
enum class TableStatus { Ok, Skipped, Rejected, Failed, Stopped, NotStarted };
TableStatus tableStatus(const TableResult &table);

// In a stopped run, the table the stop ended inside its copy (the last of
// the report, its copy "Operation aborted"); -1 when the stop came between
// two tables, after the last, or the run was not stopped.
int stoppedTableIndex(const RunReport &report);
// In a stopped run, the chosen tables it never began, in their order;
// missingTables is the number of tables of a batch file that the database
// did not hold (the report lists them first). Empty for any other run.
QStringList tablesNotStarted(const RunReport &report, const QStringList &chosen, int missingTables);
// The progress texts of a stopped run in place of its last report's: which
// table the stop ended (or came before), the tables done, and the rows the
// stopped table keeps in Oracle.
ProgressTexts stoppedTexts(const RunReport &report, const QStringList &notStarted, int missingTables,
                           const RunViewCaptions &captions);

// A table's records in a run's ledger (the file at ledgerPath), values and
// rows alike, grouped by reason in the order the reasons first appear; at
// most limit lines, a last one saying how many more the ledger holds. Empty
// when the file cannot be read or has nothing of the table.
QStringList rejectionLines(const QString &ledgerPath, const QString &table, const RunViewCaptions &captions,
                           int limit = 20);
QString statusText(TableStatus status, const RunViewCaptions &captions);
QIcon statusIcon(TableStatus status);

// The columns after the icon: MySQL table, Oracle table, rows copied,
// rejected values / rows, verified, seconds.
QStringList resultCells(const TableResult &table, const RunViewCaptions &captions);

// What the results show beyond the report: the tables a stopped run never
// began, and each table's ledger lines (rejectionLines) by MySQL name.
struct ResultExtras {
    QStringList notStarted;
    QHash<QString, QStringList> rejections;
};

// Fills the results table: one row per table of the report, in run order,
// then one per table not started. The names are cut in their middle and
// carry their whole text as tool tip; a row with rejected values lists them.
void fillResults(QTableWidget &results, const RunReport &report, const RunViewCaptions &captions,
                 const ResultExtras &extras = {});
// Gives the results table's columns their widths: the figures as wide as
// they need, the two names sharing what is left of width (each as
// narrow as 56 pixels at the least, their header captions then cut at their end); the
// operator may change every one. headers: the captions in full.
void fitResultColumns(QTableWidget &results, int width, const QStringList &headers);
// Cuts a header caption that its column is too narrow for at its end
// ("MySQL t…", never its start), the whole caption as the header's tool tip.
// headers are the captions in full; called whenever a column's width changes.
void elideResultHeaders(QTableWidget &results, const QStringList &headers);
// The rows as copied text: a header line, then one line per row (in the
// table's order), the cells separated by tabs, the status in words first.
QString copiedRows(const QTableWidget &results, QList<int> rows, const RunViewCaptions &captions);

// The log lines of each table of a run, from the log's size at the reports
// of the run: a table's lines start at its first report (made at the top of
// the table, before its first step line) and end before the next table's
// first report or the report after the last table. Blank lines at either end
// are left out.
class TableLogRanges {
public:
    struct Range {
        QString table;  // the MySQL table
        int first = 0;  // the first line of the table
        int end = -1;   // one past its last line; -1 while the table is in work
    };

    void clear() { ranges_.clear(); }
    // Called with every report of the run and the log's size at that moment.
    void update(const RunProgress &progress, int logSize);
    const std::vector<Range> &ranges() const { return ranges_; }

    // The range of each table of the report, matched by name in run order;
    // none for a table the run did not reach (a table named in a batch file
    // that the database does not hold).
    std::vector<std::optional<Range>> forReport(const RunReport &report) const;

    // The lines of a range, blank lines at either end left out; the first
    // line's number in firstLine.
    static QStringList linesOf(const Range &range, const TRunLog &log, int *firstLine = nullptr);

private:
    std::vector<Range> ranges_;
    int tablesDone_ = -1;
};

} // namespace tavrex
