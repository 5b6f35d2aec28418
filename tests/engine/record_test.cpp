// The record of conversions in the target, through the embedded target and
// through the OCI adapter on its double (TAVREX_OCI_LIBRARY, set by CTest):
// reruns find the table an earlier run made of the same MySQL table, a stop
// leaves the record where the committed rows are, a resumed run continues
// after them, and a table claimed by another session is refused.

#include "connections/embedded/embeddedreader.h"
#include "connections/oracleconnection.h"
#include "connections/profiles.h"
#include "engine/conversionrun.h"
#include "tests/support/testenv.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tavrex;
using namespace tavrex::test;

namespace {

enum class Side { Embedded, OciAdapter };

const QString kLongName = QStringLiteral("customer_order_history_of_every_region");  // 38 characters

class RecordTest : public ::testing::TestWithParam<Side> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        database = GetParam() == Side::Embedded ? "tvx_record_embedded" : "tvx_record_oci";
        recreateDatabase(database);
        sandboxExec({"create table " + kLongName + " (id int primary key, v varchar(10))",
                     "insert into " + kLongName + " values (1, 'a'), (2, 'b'), (3, 'c')",
                     // Another MySQL table whose name shortens alike.
                     "create table " + kLongName + "_2 (id int primary key)",
                     "insert into " + kLongName + "_2 values (7)",
                     "create table big (id int primary key, v varchar(20))",
                     "set max_recursive_iterations = 100000",
                     "insert into big with recursive s(n) as (select 1 union all select n + 1 from s where n < 12000)"
                     " select n, concat('v', n) from s"},
                    database);
        path = dir.filePath("target.db");
    }

    TConversionSettings settings(const QStringList &tables) const
    {
        TConversionSettings s;
        const MySqlSandbox &sb = mysqlSandbox();
        s.AccessMode = 1;
        s.Host = "127.0.0.1";
        s.Port = sb.port;
        s.MySqlUser = sb.user;
        s.MySqlPassword = sb.password;
        s.ConnectDatabase = database;
        s.SourceDatabase = database;
        s.OracleService = GetParam() == Side::Embedded ? "embedded:" + path : path;
        s.OracleUser = "scott";
        s.OraclePassword = "tiger";
        s.SelectedTables = tables;
        return s;
    }

    // One run; stopAfterRows > 0 presses Stop at the pump point after that
    // many rows of the copy. With a job file the run is a replay's: its
    // log and ledger are named after the file.
    RunOutcome run(const TConversionSettings &s, qint64 stopAfterRows = 0, const QString &job = {})
    {
        DatabaseObjects db;
        db.mysqlconnect.params() = mysqlCatalogueProfile(s);
        db.mysqlconnect.connect();
        step3Click(db, s);
        log = TRunLog();
        RunControl control;
        ConversionRun r(db, s, log, control);
        r.setLocale(QLocale::c());
        r.setSendAhead(false);  // nothing on its way when Stop is pressed
        QDir().mkpath(dir.filePath("logs"));
        r.setLogFolder(dir.filePath("logs/"));
        if (!job.isEmpty())
            r.setBatchSettingsFile(job);
        RunHooks hooks;
        hooks.progress = [&](const RunProgress &p) {
            if (stopAfterRows > 0 && p.rowsCopied >= stopAfterRows)
                control.requestStop();
        };
        r.setHooks(hooks);
        const RunOutcome outcome = r.run();
        report = r.report();
        return outcome;
    }

    // The converted tables, the record's own aside.
    QStringList tables() const
    {
        QStringList out;
        for (const QString &t : listEmbeddedTables(path, "SCOTT"))
            if (!t.startsWith("TAVREX_"))
                out << t;
        return out;
    }
    qint64 rows(const QString &table) const { return readEmbeddedTable(path, "SCOTT", table).size(); }
    // One entry of the record: state, rows read, last key.
    QStringList entry(const QString &target) const
    {
        for (const auto &row : readEmbeddedTable(path, "SCOTT", "TAVREX_CONVERSIONS"))
            if (row.at(0).textValue() == target)
                return {row.at(5).textValue(), row.at(7).textValue(), row.at(10).textValue()};
        return {};
    }
    QString logText() const { return log.lines().join('\n'); }

    QTemporaryDir dir;
    QString database;
    QString path;
    TRunLog log;
    RunReport report;
};

TEST_P(RecordTest, RerunsOfALongNameKeepOneTableUnderEveryPolicy)
{
    struct Case {
        TExistingTablePolicy policy;
        QList<qint64> rowsAfterEachRun;
    };
    const Case cases[] = {
        {TExistingTablePolicy::Overwrite, {3, 3, 3}},
        {TExistingTablePolicy::Merge, {3, 6, 9}},
        {TExistingTablePolicy::Skip, {3, 3, 3}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.policy));
        path = dir.filePath(QStringLiteral("target%1.db").arg(int(c.policy)));  // a new target
        TConversionSettings s = settings({kLongName});
        s.ExistingTables = c.policy;
        s.SkipIndexes = true;  // no key: a merge appends every row again
        for (qint64 expected : c.rowsAfterEachRun) {
            ASSERT_EQ(run(s), RunOutcome::Completed) << logText().toStdString();
            EXPECT_EQ(report.finishedOutcome(), RunResultOutcome::Completed) << logText().toStdString();
            ASSERT_EQ(tables(), QStringList{"CUSTOMER_ORDER_HISTORY_OF_0000"}) << logText().toStdString();
            EXPECT_EQ(rows("CUSTOMER_ORDER_HISTORY_OF_0000"), expected) << logText().toStdString();
        }
        EXPECT_TRUE(logText().contains("Table " + kLongName + " is converted into CUSTOMER_ORDER_HISTORY_OF_0000, "
                                                              "which the run of "))
            << logText().toStdString();
        // A different MySQL table that shortens alike gets a name of its own.
        ASSERT_EQ(run(settings({kLongName + "_2"})), RunOutcome::Completed);
        EXPECT_EQ(tables(), (QStringList{"CUSTOMER_ORDER_HISTORY_OF_0000", "CUSTOMER_ORDER_HISTORY_OF_0001"}));
        EXPECT_EQ(rows("CUSTOMER_ORDER_HISTORY_OF_0001"), 1);
    }
}

TEST_P(RecordTest, AStoppedCopyIsContinuedAfterItsLastCommittedBatch)
{
    TConversionSettings s = settings({"big", kLongName});
    s.Resume = true;
    s.Verify = true;
    s.RejectRows = GetParam() == Side::OciAdapter;  // both ways of sending a batch
    ASSERT_EQ(run(s, 5200), RunOutcome::Stopped);
    // The record says what the target holds: the batches up to row 5100.
    EXPECT_EQ(rows("BIG"), 5100);
    EXPECT_EQ(entry("BIG"), (QStringList{"copying", "5100", "i:5100"}));

    ASSERT_EQ(run(s), RunOutcome::Completed) << logText().toStdString();
    EXPECT_TRUE(logText().contains(QRegularExpression("Table BIG continues the copy of the run of .* after row 5100")))
        << logText().toStdString();
    EXPECT_TRUE(logText().contains("Verify table BIG: 12000 rows equal")) << logText().toStdString();
    ASSERT_EQ(report.tables.size(), 2u);
    EXPECT_EQ(report.tables[0].rowsRead, 12000 - 5100) << "the resumed copy reads only what was not committed";
    EXPECT_EQ(report.tables[0].verified, Verification::Equal);
    EXPECT_EQ(entry("BIG"), (QStringList{"verified", "12000", "i:12000"}));
    EXPECT_EQ(rows("CUSTOMER_ORDER_HISTORY_OF_0000"), 3);

    // A third run finds nothing interrupted: the tables are converted again.
    ASSERT_EQ(run(s), RunOutcome::Completed);
    EXPECT_FALSE(logText().contains("continues the copy")) << logText().toStdString();
    EXPECT_EQ(rows("BIG"), 12000);
}

TEST_P(RecordTest, TheLedgerOfAContinuedCopyKeepsTheInterruptedRunsRecords)
{
    sandboxExec({"set sql_mode = ''", "create table dated (id int primary key, d date)",
                 "insert into dated select id, case when id in (10, 11000) then '0000-00-00' else '2020-01-01' end "
                 "from big"},
                database);
    TConversionSettings s = settings({"dated"});
    s.Resume = true;
    const QString job = dir.filePath("job.qelt");
    ASSERT_EQ(run(s, 5200, job), RunOutcome::Stopped);
    ASSERT_EQ(run(s, 0, job), RunOutcome::Completed) << logText().toStdString();
    QFile ledger(dir.filePath("job.rejects.csv"));
    ASSERT_TRUE(ledger.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = ledger.readAll().split('\n');
    // The row before the stop, kept from the interrupted run's ledger, and the
    // row after it, at its position in the whole read.
    EXPECT_TRUE(lines.contains("dated,10,d,zero date,0000-00-00\r")) << ledger.fileName().toStdString();
    EXPECT_TRUE(lines.contains("dated,11000,d,zero date,0000-00-00\r"));
    EXPECT_EQ(lines.size(), 4) << "the header, two records and the end";
}

TEST_P(RecordTest, TablesTheInterruptedRunCopiedAreSkippedAndAKeylessOneStartsAgain)
{
    sandboxExec({"create table nokey (a int, b varchar(10))", "insert into nokey select id, v from big"}, database);
    TConversionSettings s = settings({kLongName, "nokey"});
    s.Resume = true;
    ASSERT_EQ(run(s, 5200), RunOutcome::Stopped);
    EXPECT_EQ(rows("NOKEY"), 5100);

    ASSERT_EQ(run(s), RunOutcome::Completed) << logText().toStdString();
    EXPECT_TRUE(logText().contains(QRegularExpression(
        "Table CUSTOMER_ORDER_HISTORY_OF_0000 was converted by the run of .*: skipped")))
        << logText().toStdString();
    EXPECT_TRUE(logText().contains("Table NOKEY is copied again from its start: it has no primary key or NOT NULL "
                                   "unique key to continue from"))
        << logText().toStdString();
    EXPECT_EQ(rows("NOKEY"), 12000);
    EXPECT_EQ(rows("CUSTOMER_ORDER_HISTORY_OF_0000"), 3);
}

TEST_P(RecordTest, ATableClaimedByAnotherSessionFailsAloneWithItsHolder)
{
    TConversionSettings s = settings({kLongName, "big"});
    ASSERT_EQ(run(s), RunOutcome::Completed);  // makes the record
    // Another run holds BIG: its claim row is locked in a session of its own.
    OracleLogin login;
    login.service = s.OracleService;
    login.user = "scott";
    login.password = "tiger";
    TableClaims other(openOracleSession(login));
    ASSERT_TRUE(other.claim({targetClaimName("BIG")}));

    ASSERT_EQ(run(s), RunOutcome::Completed);
    EXPECT_TRUE(logText().contains(QRegularExpression(
        R"(Table BIG is being converted by another run \(.*, process \d+, since \d\d:\d\d:\d\d\))")))
        << logText().toStdString();
    EXPECT_EQ(report.finishedOutcome(), RunResultOutcome::CompletedWithErrors);
    EXPECT_EQ(rows("BIG"), 12000) << "the claimed table is left as it was";

    other.release();
    ASSERT_EQ(run(s), RunOutcome::Completed);
    EXPECT_EQ(report.finishedOutcome(), RunResultOutcome::Completed) << logText().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Sides, RecordTest, ::testing::Values(Side::Embedded, Side::OciAdapter),
                         [](const ::testing::TestParamInfo<Side> &i) {
                             return i.param == Side::Embedded ? "Embedded" : "OciAdapter";
                         });

} // namespace
