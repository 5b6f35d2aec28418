// The figures and texts of page 6 beyond the log: the progress bars' values
// from a run's reports, the rate, the status of a results row and the log
// lines of each table.

#include "tests/support/qtprinters.h"
#include "wizard/runview.h"

#include <gtest/gtest.h>

#include <limits>

using namespace tavrex;

namespace {

RunProgress at(int done, int count, const char *table, std::int64_t rows, std::int64_t estimate)
{
    RunProgress p;
    p.tablesDone = done;
    p.tableCount = count;
    p.table = QString::fromLatin1(table);
    p.rowsCopied = rows;
    p.rowsEstimated = estimate;
    return p;
}

} // namespace

TEST(ProgressBars, TheRowsBarFollowsTheEstimateAndNeverPassesItsEnd)
{
    struct Case {
        const char *name;
        RunProgress progress;
        ProgressBars expected;
    };
    const std::int64_t big = std::int64_t(5) * 1000 * 1000 * 1000;
    const Case cases[] = {
        {"top of the first table", at(0, 3, "a", 0, 1000), {0, 3, 0, 1000}},
        {"half of the estimate", at(0, 3, "a", 500, 1000), {0, 3, 500, 1000}},
        {"the estimate reached", at(1, 3, "b", 1000, 1000), {1, 3, 1000, 1000}},
        {"more rows than the estimate stay full", at(1, 3, "b", 1500, 1000), {1, 3, 1000, 1000}},
        {"rows of a table estimated empty fill it", at(1, 3, "b", 100, 0), {1, 3, 1000, 1000}},
        {"an empty table estimated empty", at(1, 3, "b", 0, 0), {1, 3, 0, 1000}},
        {"no estimate: a busy bar", at(2, 3, "c", 700, -1), {2, 3, 0, 0}},
        {"billions of rows do not overflow", at(0, 1, "a", big, 2 * big), {0, 1, 500, 1000}},
        {"after the last table both are full", at(3, 3, "", 0, -1), {3, 3, 1000, 1000}},
        {"no table chosen", at(0, 0, "", 0, -1), {1, 1, 1000, 1000}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const ProgressBars bars = progressBars(c.progress);
        EXPECT_EQ(bars.tablesValue, c.expected.tablesValue);
        EXPECT_EQ(bars.tablesMaximum, c.expected.tablesMaximum);
        EXPECT_EQ(bars.rowsValue, c.expected.rowsValue);
        EXPECT_EQ(bars.rowsMaximum, c.expected.rowsMaximum);
    }
}

TEST(ProgressTexts, EstimateRateAndTheEndInBothLanguages)
{
    const RunViewCaptions en = runViewCaptions(QStringLiteral("en"));
    const RunViewCaptions cn = runViewCaptions(QStringLiteral("cn"));
    ProgressTexts t = progressTexts(at(1, 4, "orders", 31400, 48000), 7830.4, en);
    EXPECT_EQ(t.tables, "Tables: 1 of 4 done");
    EXPECT_EQ(t.rows, "orders: 31,400 of about 48,000 rows");
    EXPECT_EQ(t.rate, "7,830 rows/s");
    EXPECT_EQ(progressLine(t), "Tables: 1 of 4 done | orders: 31,400 of about 48,000 rows | 7,830 rows/s");

    t = progressTexts(at(1, 4, "orders", 31400, -1), -1, cn);
    EXPECT_EQ(t.tables, "表: 已完成 1 / 4");
    EXPECT_EQ(t.rows, "orders: 已复制 31,400 行");
    EXPECT_EQ(t.rate, "") << "no rate yet";
    EXPECT_EQ(progressLine(t), "表: 已完成 1 / 4 | orders: 已复制 31,400 行");

    t = progressTexts(at(4, 4, "", 0, -1), -1, en);
    EXPECT_EQ(t.rows, "All tables done");
}

TEST(RowRate, CountsFromEachTablesFirstReportAndWaitsHalfASecond)
{
    std::int64_t now = 0;
    RowRate rate([&now] { return now; });
    EXPECT_EQ(rate.update(at(0, 2, "a", 0, 100)), -1) << "the table's first report starts the clock";
    now = 400;
    EXPECT_EQ(rate.update(at(0, 2, "a", 100, 100)), -1) << "under half a second";
    now = 2000;
    EXPECT_DOUBLE_EQ(rate.update(at(0, 2, "a", 5000, 100)), 2500.0);
    now = 3000;
    EXPECT_EQ(rate.update(at(1, 2, "b", 0, 100)), -1) << "a new table starts again";
    now = 4000;
    EXPECT_DOUBLE_EQ(rate.update(at(1, 2, "b", 300, 100)), 300.0);
    EXPECT_EQ(rate.update(at(2, 2, "", 0, -1)), -1) << "after the last table";
}

TEST(TableStatus, ErrorsOutweighRejectsWhichOutweighASkip)
{
    struct Case {
        const char *name;
        const char *action;
        QStringList errors;
        std::int64_t values, rows;
        const char *verified;
        TableStatus expected;
    };
    const Case cases[] = {
        {"created", "created", {}, 0, 0, "not verified", TableStatus::Ok},
        {"merged and equal", "merged", {}, 0, 0, "equal", TableStatus::Ok},
        {"skipped", "skipped", {}, 0, 0, "not verified", TableStatus::Skipped},
        {"a rejected value", "created", {}, 1, 0, "not verified", TableStatus::Rejected},
        {"a rejected row", "merged", {}, 0, 1, "not verified", TableStatus::Rejected},
        {"differs after the copy", "created", {}, 0, 0, "differs", TableStatus::Rejected},
        {"an error with rejects", "created", {"ORA-01438: value larger"}, 2, 1, "not verified", TableStatus::Failed},
        {"failed without a text", "failed", {}, 0, 0, "not verified", TableStatus::Failed},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TableResult t;
        t.action = tableActionFromText(QString::fromLatin1(c.action));
        t.errors = c.errors;
        t.valuesRejected = c.values;
        t.rowsRejected = c.rows;
        t.verified = verificationFromText(QString::fromLatin1(c.verified));
        EXPECT_EQ(tableStatus(t), c.expected);
    }
}

TEST(TableLogRanges, EachTableOwnsItsLinesFromItsFirstReportToTheNextTables)
{
    // The log as a run writes it: a batch file's missing table before the
    // first table, then three tables, the second with an error line, then
    // the summary. Reports come at each table's top (log size then) and
    // every 100 rows.
    TRunLog log;
    TableLogRanges ranges;
    log.Append("Start time:1/2/2024");
    log.Append("Table gone named in job.qelt is not in database shop");
    log.Append("");
    ranges.update(at(0, 3, "a", 0, 10), log.size());
    log.Append("Create table A...Done");
    log.Append("");
    log.Append("Insert table A 100 Rows");
    ranges.update(at(0, 3, "a", 100, 10), log.size());
    log.RewriteLast("Insert table A 120 Rows ...Done");
    log.Append("");
    ranges.update(at(1, 3, "b", 0, 10), log.size());
    log.Append("Create table B... ");
    log.Append("ORA-00904: \"X\": invalid identifier");
    log.Append("");
    ranges.update(at(2, 3, "c", 0, 10), log.size());
    log.Append("Create table C...Done");
    log.Append("");
    ranges.update(at(3, 3, "", 0, -1), log.size());
    log.Append("Summary: 2 tables without errors, 1 table with errors");

    ASSERT_EQ(ranges.ranges().size(), 3u) << "a report within a table opens no range";
    int first = -1;
    EXPECT_EQ(TableLogRanges::linesOf(ranges.ranges()[0], log, &first),
              (QStringList{"Create table A...Done", "", "Insert table A 120 Rows ...Done"}));
    EXPECT_EQ(first, 3);
    EXPECT_EQ(TableLogRanges::linesOf(ranges.ranges()[1], log, &first),
              (QStringList{"Create table B... ", "ORA-00904: \"X\": invalid identifier"}));
    EXPECT_EQ(first, 7);
    EXPECT_EQ(TableLogRanges::linesOf(ranges.ranges()[2], log), QStringList{"Create table C...Done"})
        << "the summary after the last report is no table's";

    // The report lists the missing table first; it has no lines of its own.
    RunReport report;
    for (const char *name : {"gone", "a", "b", "c"}) {
        TableResult t;
        t.source = QString::fromLatin1(name);
        report.tables.push_back(t);
    }
    const auto matched = ranges.forReport(report);
    ASSERT_EQ(matched.size(), 4u);
    EXPECT_FALSE(matched[0].has_value());
    ASSERT_TRUE(matched[2].has_value());
    EXPECT_EQ(matched[2]->table, "b");
    EXPECT_EQ(matched[2]->first, ranges.ranges()[1].first);
}

TEST(TableLogRanges, ATableStoppedInWorkRunsToTheEndOfTheLog)
{
    TRunLog log;
    TableLogRanges ranges;
    ranges.update(at(0, 2, "big", 0, 1000), log.size());
    log.Append("Insert table BIG 200 Rows ");
    log.Append("Operation aborted");
    log.Append("");
    ASSERT_EQ(ranges.ranges().size(), 1u);
    EXPECT_EQ(ranges.ranges()[0].end, -1);
    EXPECT_EQ(TableLogRanges::linesOf(ranges.ranges()[0], log),
              (QStringList{"Insert table BIG 200 Rows ", "Operation aborted"}));
}

// Several tables at once: a line per table in work (one line on a
// terminal), bars over their sums, no rate; each table's lines are the block
// written after the report that says so, and the report's order (the chosen
// one) finds them whatever order they ended in.
TEST(SeveralTablesAtOnce, ALinePerTableInWorkAndEachTablesBlockFoundInTheChosenOrder)
{
    const RunViewCaptions en = runViewCaptions(QStringLiteral("en"));
    RunProgress p = at(1, 5, "a", 3000, 7000);
    p.running = {{"b", 1000, 4000}, {"c", 2000, -1}};
    ProgressTexts t = progressTexts(p, -1, en);
    EXPECT_EQ(t.rows, "b: 1,000 of about 4,000 rows\nc: 2,000 rows");
    EXPECT_EQ(progressLine(t), "Tables: 1 of 5 done | b: 1,000 of about 4,000 rows; c: 2,000 rows");
    RowRate rate([] { return std::int64_t(0); });
    EXPECT_EQ(rate.update(p), -1);

    TRunLog log;
    TableLogRanges ranges;
    log.Append("Start time:1/2/2024");
    RunProgress working = at(0, 3, "a", 0, -1);
    working.running = {{"a", 0, -1}, {"b", 0, -1}, {"c", 0, -1}};
    ranges.update(working, log.size());
    EXPECT_TRUE(ranges.ranges().empty()) << "tables in work have no lines yet";
    // b ends first, then c, then a.
    for (const char *table : {"b", "c", "a"}) {
        RunProgress block = at(int(ranges.ranges().size()), 3, table, 0, -1);
        block.logBlock = true;
        block.running = {{"a", 10, -1}};
        ranges.update(block, log.size());
        ranges.update(working, log.size());
        log.Append(QStringLiteral("Create table %1...Done").arg(QString::fromLatin1(table).toUpper()));
        log.Append("");
    }
    ranges.update(at(3, 3, "", 0, -1), log.size());
    log.Append("Summary: 3 tables without errors, 0 tables with errors");
    RunReport report;
    for (const char *name : {"a", "b", "c"}) {
        TableResult r;
        r.source = QString::fromLatin1(name);
        report.tables.push_back(r);
    }
    const auto matched = ranges.forReport(report);
    ASSERT_EQ(matched.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        ASSERT_TRUE(matched[i].has_value()) << i;
        EXPECT_EQ(TableLogRanges::linesOf(*matched[i], log),
                  QStringList{QStringLiteral("Create table %1...Done").arg(report.tables[i].source.toUpper())});
    }
}

TEST(ProgressTexts, TheTimeRemainingFollowsTheRateOnceATableHasRunAFewSeconds)
{
    const RunViewCaptions en = runViewCaptions(QStringLiteral("en"));
    struct Case {
        const char *name;
        RunProgress progress;
        double rate, seconds;
        const char *expected;
    };
    const Case cases[] = {
        {"under three seconds", at(0, 1, "a", 1000, 100000), 500, 2.9, "500 rows/s"},
        {"minutes and seconds", at(0, 1, "a", 1000, 100000), 500, 3, "500 rows/s, about 3:18 left"},
        {"hours", at(0, 1, "a", 1000, 10001000), 1000, 60, "1,000 rows/s, about 2:46:40 left"},
        {"past the estimate: none", at(0, 1, "a", 2000, 1000), 500, 10, "500 rows/s"},
        {"no estimate: none", at(0, 1, "a", 2000, -1), 500, 10, "500 rows/s"},
        {"a stalled copy: none", at(0, 1, "a", 2000, 5000), 0, 10, "0 rows/s"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(progressTexts(c.progress, c.rate, en, c.seconds).rate, c.expected);
    }
    EXPECT_EQ(progressTexts(at(0, 1, "a", 1000, 100000), 500, runViewCaptions("cn"), 3).rate, "500 行/秒, 剩余约 3:18");
}

TEST(StoppedRun, SaysWhereItStoppedAndWhichTablesItNeverBegan)
{
    const RunViewCaptions en = runViewCaptions(QStringLiteral("en"));
    const auto report = [](std::vector<std::pair<const char *, bool>> tables) {
        RunReport r;
        r.outcome = RunResultOutcome::Stopped;
        for (const auto &[name, aborted] : tables) {
            TableResult t;
            t.source = QString::fromLatin1(name);
            t.rowsWritten = 250100;
            if (aborted)
                t.errors << QStringLiteral("Operation aborted");
            r.tables.push_back(t);
        }
        return r;
    };
    const QStringList chosen{"big", "small", "last"};

    // In the copy of the first table.
    RunReport r = report({{"big", true}});
    EXPECT_EQ(stoppedTableIndex(r), 0);
    EXPECT_EQ(tablesNotStarted(r, chosen, 0), (QStringList{"small", "last"}));
    ProgressTexts t = stoppedTexts(r, tablesNotStarted(r, chosen, 0), 0, en);
    EXPECT_EQ(t.tables, "Stopped in big: tables 0 of 3 done");
    EXPECT_EQ(t.rows, "big: 250,100 rows kept in Oracle");

    // Between two tables (the poll at the top of the second).
    r = report({{"big", false}});
    EXPECT_EQ(stoppedTableIndex(r), -1);
    t = stoppedTexts(r, tablesNotStarted(r, chosen, 0), 0, en);
    EXPECT_EQ(t.tables, "Stopped before small: tables 1 of 3 done");
    EXPECT_EQ(t.rows, "");

    // After the last table; a batch file's missing table counts for nothing.
    r = report({{"gone", false}, {"big", false}, {"small", false}, {"last", false}});
    EXPECT_TRUE(tablesNotStarted(r, chosen, 1).isEmpty());
    EXPECT_EQ(stoppedTexts(r, {}, 1, en).tables, "Stopped after the last table: tables 3 of 3 done");

    // A run that was not stopped has nothing of this.
    r.outcome = RunResultOutcome::Completed;
    r.tables.back().errors << QStringLiteral("Operation aborted");
    EXPECT_EQ(stoppedTableIndex(r), -1);
    EXPECT_TRUE(tablesNotStarted(r, chosen + QStringList{"more"}, 1).isEmpty());
}
