// The check's pieces that need no MySQL: its judgement of a batch against the
// target's own, the statements it records and the refusals, the exit code,
// the page and the write speed of a report.

#include "connections/embedded/embeddedtarget.h"
#include "engine/check.h"
#include "engine/checksession.h"
#include "engine/core/errors.h"
#include "engine/core/identifiers.h"
#include "tests/support/testenv.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tavrex;

namespace {

const QString kCreate = QStringLiteral(
    "Create table \"T\" (\"ID\" number(3) not null, \"S\" varchar2(5), \"D\" date, \"R\" raw(2), \"N\" varchar2(4) not null)");

OracleValue text(const char *s) { return OracleValue::text(QString::fromUtf8(s)); }

} // namespace

TEST(CheckSessionTest, ItJudgesEachRowOfABatchAsTheTargetWouldTakeIt)
{
    QTemporaryDir dir;
    OracleLogin login;
    login.user = "scott";
    login.service = "embedded:" + dir.filePath("real.db");
    auto targetSession = openEmbeddedSession(dir.filePath("real.db"), login);
    targetSession->execute(kCreate);

    CheckTarget check(openEmbeddedSession(dir.filePath("empty.db"), login), dir.filePath("scratch.db"), "scott");
    auto session = check.session();
    session->execute(kCreate);
    const QVector<OracleColumn> columns = session->describe(describeStatement("T"));
    ASSERT_EQ(columns, targetSession->describe(describeStatement("T")));

    // One row per rule: accepted, too many digits, a text beyond its
    // characters, one within them in more bytes (accepted), a year Oracle
    // lacks, too many bytes, NULL and '' into NOT NULL.
    OracleRowBatch batch(columns);
    const QVector<QVector<OracleValue>> rows{
        {OracleValue::number("1"), text("abc"), OracleValue::date({2020, 1, 2, 3, 4, 5}), OracleValue::bytes("ab"), text("x")},
        {OracleValue::number("1000"), text("a"), OracleValue::null(), OracleValue::null(), text("x")},
        {OracleValue::number("2"), text("abcdef"), OracleValue::null(), OracleValue::null(), text("x")},
        {OracleValue::number("3"), text("\xe4\xb8\xad\xe4\xb8\xad"), OracleValue::null(), OracleValue::null(), text("x")},
        {OracleValue::number("4"), text("a"), OracleValue::date({0, 1, 1, 0, 0, 0}), OracleValue::null(), text("x")},
        {OracleValue::number("5"), text("a"), OracleValue::null(), OracleValue::bytes("abc"), text("x")},
        {OracleValue::null(), text("a"), OracleValue::null(), OracleValue::null(), text("x")},
        {OracleValue::number("6"), text("a"), OracleValue::null(), OracleValue::null(), text("")},
    };
    for (const QVector<OracleValue> &row : rows) {
        const int r = batch.appendRow();
        for (int c = 0; c < row.size(); ++c)
            batch.at(r, c) = row.at(c);
    }
    const BatchResult judged = session->insertBatchKeepingAccepted("T", batch);
    const BatchResult taken = targetSession->insertBatchKeepingAccepted("T", batch);
    ASSERT_EQ(judged.rejected.size(), taken.rejected.size());
    ASSERT_EQ(taken.rejected.size(), 6u);
    for (size_t i = 0; i < taken.rejected.size(); ++i) {
        EXPECT_EQ(judged.rejected[i].row, taken.rejected[i].row);
        EXPECT_EQ(judged.rejected[i].message, taken.rejected[i].message);
    }
    // Only the accepted rows count; the batch that stops at its first
    // rejected row counts none.
    EXPECT_EQ(session->queryCount("select count(*) cn from \"T\""), 2);
    const BatchResult stopped = session->insertBatch("T", batch);
    EXPECT_FALSE(stopped.ok);
    EXPECT_EQ(stopped.rejectedRow, 1);
    EXPECT_EQ(session->queryCount("select count(*) cn from \"T\""), 2);
}

TEST(CheckSessionTest, StatementsAreRecordedWithTheirTableAndRefusalAndTheRealTargetIsOnlyRead)
{
    QTemporaryDir dir;
    OracleLogin login;
    login.user = "scott";
    auto real = openEmbeddedSession(dir.filePath("real.db"), login);
    real->execute("Create table \"OLD\" (\"A\" number)");
    OracleRowBatch rows(real->describe(describeStatement("OLD")));
    rows.at(rows.appendRow(), 0) = OracleValue::number("7");
    ASSERT_TRUE(real->insertBatch("OLD", rows).ok);

    CheckTarget check(std::move(real), dir.filePath("scratch.db"), "scott");
    auto session = check.session();
    const QString exists = tableExistsStatement("OLD", "scott");
    EXPECT_EQ(session->queryCount(exists), 1);
    check.setTable("old");
    // The drop of a table of the real target is taken and sends nothing.
    session->execute(dropTableStatement("OLD"));
    EXPECT_EQ(session->queryCount(exists), 0) << "the run would have dropped it";
    session->execute("Create table \"OLD\" (\"A\" blob)");
    EXPECT_EQ(session->queryCount(exists), 1);
    EXPECT_EQ(session->queryCount("select count(*) cn from \"OLD\""), 0);
    EXPECT_THROW(session->execute("create index \"I\" on \"OLD\" (\"A\")"), DatabaseError);
    check.setTable("other");
    EXPECT_THROW(session->execute("Create table \"X\" (\"A\" bogus)"), DatabaseError);

    const QVector<CheckedStatement> recorded = check.statements();
    ASSERT_EQ(recorded.size(), 4);
    EXPECT_EQ(recorded[0].table, "old");
    EXPECT_EQ(recorded[0].text, "drop table \"OLD\"");
    EXPECT_TRUE(recorded[0].refusal.isEmpty());
    EXPECT_TRUE(recorded[2].refusal.startsWith("ORA-02327")) << recorded[2].refusal.toStdString();
    EXPECT_EQ(recorded[3].table, "other");
    EXPECT_TRUE(recorded[3].refusal.startsWith("ORA-00902")) << recorded[3].refusal.toStdString();
    // The real target still holds its table and its row.
    EXPECT_EQ(check.realRows("OLD"), 1);
    EXPECT_EQ(check.realRows("X"), -1);
}

TEST(CheckReportTest, TheExitCodeSaysWhetherAnythingWouldBeRefusedChangedOrFail)
{
    struct Case {
        const char *what;
        std::function<void(CheckReport &)> change;
        int code;
    };
    const std::vector<Case> cases{
        {"clean", [](CheckReport &) {}, 0},
        {"a value", [](CheckReport &r) { r.tables[0].values.push_back({"d", "zero date", 1, {}}); }, 2},
        {"a refusal", [](CheckReport &r) { r.tables[0].statements.push_back({"t", "create index", "ORA-02327: x"}); }, 2},
        {"a failed table", [](CheckReport &r) { r.tables[0].action = "fail"; }, 2},
        {"a table error", [](CheckReport &r) { r.tables[0].errors << "ORA-00942"; }, 2},
        {"a run error", [](CheckReport &r) { r.errors << "Table x named in j.qelt is not in database d"; }, 2},
    };
    for (const Case &c : cases) {
        CheckReport report;
        CheckTable t;
        t.source = "t";
        t.target = "T";
        t.action = "create";
        t.statements.push_back({"t", "Create table \"T\" (\"A\" number)", QString()});
        report.tables.push_back(t);
        c.change(report);
        EXPECT_EQ(report.exitCode(), c.code) << c.what;
    }
}

TEST(CheckReportTest, ThePageEscapesWhatItShowsAndOneTablesSectionHoldsThatTableOnly)
{
    CheckReport report;
    report.started = report.ended = QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5));
    CheckTable a;
    a.source = "a<b>&";
    a.target = "A_B";
    a.action = "drop and create";
    a.existingRows = 12;
    a.values.push_back({"note", "bytes \"<x>\"", 2, {{3, "<script>"}, {9, "&amp;"}}});
    CheckTable b;
    b.source = "plain";
    b.target = "PLAIN";
    b.action = "create";
    report.tables = {a, b};

    const QString page = report.toHtml(CheckCaptions());
    EXPECT_TRUE(page.contains("a&lt;b&gt;&amp;"));
    EXPECT_TRUE(page.contains("3: &lt;script&gt;"));
    EXPECT_TRUE(page.contains("9: &amp;amp;"));
    EXPECT_FALSE(page.contains("<script"));
    EXPECT_TRUE(page.contains("drop and create"));
    EXPECT_TRUE(page.contains("The Oracle table exists with 12 rows"));
    const QString one = report.toHtml(CheckCaptions(), 1);
    EXPECT_TRUE(one.contains("PLAIN"));
    EXPECT_FALSE(one.contains("A_B"));
}

TEST(CheckReportTest, TheWriteSpeedOfAReportCountsTheTablesThatWroteRows)
{
    EXPECT_DOUBLE_EQ(reportWriteSpeed(R"({"tables":[{"rowsWritten":1000,"seconds":2},
                                                    {"rowsWritten":0,"seconds":5},
                                                    {"rowsWritten":3000,"seconds":2}]})"),
                     1000.0);
    EXPECT_EQ(reportWriteSpeed(R"({"tables":[{"rowsWritten":0,"seconds":1}]})"), 0);
    EXPECT_EQ(reportWriteSpeed("not json"), 0);
}
