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

private:
    Clock clock_;
    bool started_ = false;
    QString table_;
    int tablesDone_ = -1;
    std::int64_t startMs_ = 0;
};

// The progress in words: the tables line, the rows line and the rate (empty
// when the rate is unknown).
struct ProgressTexts {
    QString tables;
    QString rows;
    QString rate;
};
ProgressTexts progressTexts(const RunProgress &progress, double rowsPerSecond, const RunViewCaptions &captions);
// The one line a replay without a window keeps rewriting on a terminal.
QString progressLine(const ProgressTexts &texts);

// What a table's row of the results says at a glance.
enum class TableStatus { Ok, Skipped, Rejected, Failed };
TableStatus tableStatus(const TableResult &table);
QString statusText(TableStatus status, const RunViewCaptions &captions);
QIcon statusIcon(TableStatus status);

// The columns after the icon: MySQL table, Oracle table, rows copied,
// rejected values / rows, verified, seconds.
QStringList resultCells(const TableResult &table, const RunViewCaptions &captions);

// Fills the results table: one row per table of the report, in run order.
void fillResults(QTableWidget &results, const RunReport &report, const RunViewCaptions &captions);

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
