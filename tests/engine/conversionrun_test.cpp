#include "connections/embedded/embeddedreader.h"
#include "connections/rowcopy.h"
#include "engine/conversionrun.h"
#include "tests/support/testenv.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tavrex;
using namespace tavrex::test;

namespace {

const QDateTime kClock(QDate(2024, 1, 2), QTime(9, 15, 5));
const RunCaptions kCaptions{"Conversion is Completed",
                            "Wizard has migrated your MySQL database to Oracle server successfully.",
                            "Click 'Finish' to exit the wizard."};

// An OracleSession that records the size of every batch and passes every
// call on to the real session.
class BatchSpy : public OracleSession {
public:
    explicit BatchSpy(OracleSession &inner) : inner_(inner) {}
    void execute(const QString &sql) override { inner_.execute(sql); }
    qint64 queryCount(const QString &sql) override { return inner_.queryCount(sql); }
    QVector<OracleColumn> describe(const QString &sql) override { return inner_.describe(sql); }
    BatchResult insertBatch(const QString &table, const OracleRowBatch &batch) override
    {
        sizes.push_back(batch.rowCount());
        return inner_.insertBatch(table, batch);
    }
    std::vector<int> sizes;

private:
    OracleSession &inner_;
};

// A source database in the throwaway MariaDB, an embedded target in a
// temporary folder, and the connections of a run between them.
class RunFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        database = QStringLiteral("tvx_run_%1").arg(::testing::UnitTest::GetInstance()->current_test_info()->name());
        database = database.left(60).toLower();
        recreateDatabase(database);
        newTarget();
    }

    // A fresh, empty target file; connects both Oracle connections to it.
    void newTarget()
    {
        targetPath = dir.filePath(QStringLiteral("target%1.db").arg(++targets));
        const MySqlSandbox &sb = mysqlSandbox();
        s.AccessMode = 1;
        s.Host = "127.0.0.1";
        s.Port = sb.port;
        s.MySqlUser = sb.user;
        s.MySqlPassword = sb.password;
        s.ConnectDatabase = database;
        s.SourceDatabase = database;
        s.OracleService = "embedded:" + targetPath;
        s.OracleUser = "scott";
        db.mysqlconnect.close();
        db.mysqlconnect.params() = mysqlCatalogueProfile(s);
        db.mysqlconnect.connect();
        step3Click(db, s);
    }

    void mysql(const QStringList &statements) { sandboxExec(statements, database); }

    RunOutcome run(const QStringList &tables)
    {
        s.SelectedTables = tables;
        ConversionRun r(db, s, log, control);
        r.setCaptions(kCaptions);
        r.setClock([] { return kClock; });
        r.setLocale(QLocale::c());
        r.setLogFolder(dir.filePath("logs/"));
        QDir().mkpath(dir.filePath("logs"));
        const RunOutcome outcome = r.run();
        savedPath = r.savedLogPath();
        return outcome;
    }

    // The lines the tables produced: between the start line and Label29.
    QStringList tableLines() const
    {
        QStringList lines = log.lines();
        const int end = int(lines.lastIndexOf(kCaptions.Label29));
        const int start = int(lines.lastIndexOf(QRegularExpression("^Start time:.*"), end < 0 ? -1 : end));
        return lines.mid(start + 1, (end < 0 ? lines.size() : end) - start - 1);
    }

    qint64 targetRows(const QString &table) { return readEmbeddedTable(targetPath, "SCOTT", table).size(); }

    QTemporaryDir dir;
    QString database;
    QString targetPath;
    int targets = 0;
    TConversionSettings s;
    DatabaseObjects db;
    TRunLog log;
    RunControl control;
    QString savedPath;
};

} // namespace

TEST(RunNames, TimestampsAndLogFileNames)
{
    EXPECT_EQ(runTimestamp(kClock, QLocale::c()), "2 Jan 2024 09:15:05");
    EXPECT_EQ(runTimestamp(QDateTime(QDate(2024, 1, 2), QTime(0, 0, 0)), QLocale::c()), "2 Jan 2024");
    EXPECT_EQ(interactiveLogPath("/home/u/.local/share/Orvendel/", kClock),
              "/home/u/.local/share/Orvendel/qelt_20240102_091505.log");
    EXPECT_EQ(batchLogPath("/srv/jobs/nightly.qelt"), "/srv/jobs/nightly.log");
    EXPECT_EQ(batchLogPath("/srv/jobs.d/nightly"), "/srv/jobs.d/nightly.log");
    EXPECT_EQ(batchLogPath("C:\\jobs\\a.b.qelt"), "C:\\jobs\\a.b.log");
}

TEST_F(RunFixture, CopyRowsAppliesBatchesAfterRows100And5100AndAtTheEnd)
{
    struct Case {
        int rows;
        std::vector<int> batches;
    } cases[] = {
        {0, {}},   {99, {99}},         {100, {100}},
        {5000, {100, 4900}}, {5100, {100, 5000}}, {12345, {100, 5000, 5000, 2245}},
    };
    mysql({"create table n (id int primary key, v varchar(10))"});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.rows);
        mysql({"truncate table n"});
        if (c.rows > 0)
            mysql({QStringLiteral("insert into n select seq, concat('v', seq) from seq_1_to_%1").arg(c.rows)});
        OracleSession &oracle = db.oracleconn.session();
        try {
            oracle.execute("drop table \"N\"");
        } catch (const DatabaseError &) {
        }
        oracle.execute("Create table \"N\" (\r\n\"ID\"  number  ,\r\n\"V\" varchar2(10)  ) ");
        OpenDataConnection(db, s);
        BatchSpy spy(oracle);
        RowBuffer buffer;
        int pumps = 0;
        control.setPump([&] { ++pumps; });
        TRunLog copyLog;
        copyLog.Append("Insert table N... ");
        const TStepResult r = CopyRows(db.mysqlsjbconnection, spy, buffer, "n", "N", copyLog, control);
        EXPECT_TRUE(r.Ok) << r.ErrorText.toStdString();
        EXPECT_EQ(spy.sizes, c.batches);
        EXPECT_EQ(pumps, c.rows / 100);
        EXPECT_EQ(copyLog.lines(), QStringList{QStringLiteral("Insert table N %1 Rows ").arg(c.rows)});
        EXPECT_EQ(targetRows("N"), c.rows);
    }
}

TEST_F(RunFixture, EveryCaseWritesItsLines)
{
    mysql({"create table orders (id int primary key, customer varchar(40), note text)",
           "insert into orders values (1, 'Ann', 'first'), (2, '王', NULL), (3, 'Bo', 'x')",
           "create table bits (id int, flag bit(1))", "insert into bits values (1, b'1')"});
    const QString existing = "Create table \"ORDERS\" (\"ID\" number, \"CUSTOMER\" varchar2(40), \"NOTE\" BLOB)";
    struct Case {
        const char *name;
        bool exists;
        TExistingTablePolicy policy;
        bool definitionsOnly;
        const char *table;
        QStringList lines;
    } cases[] = {
        {"new table", false, TExistingTablePolicy::Overwrite, false, "orders",
         {"Create table ORDERS...Done", "", "Insert table ORDERS 3 Rows ...Done", ""}},
        {"existing, Overwrite", true, TExistingTablePolicy::Overwrite, false, "orders",
         {"Drop table ORDERS...Done", "", "Create table ORDERS...Done", "", "Insert table ORDERS 3 Rows ...Done", ""}},
        {"existing, Merge", true, TExistingTablePolicy::Merge, false, "orders",
         {"Insert table ORDERS 3 Rows ...Done", ""}},
        {"existing, Skip", true, TExistingTablePolicy::Skip, false, "orders",
         {"Skip table ORDERS... ", "", "Skip table ORDERS", ""}},
        {"existing, Skip, definitions only", true, TExistingTablePolicy::Skip, true, "orders",
         {"Skip table ORDERS... ", ""}},
        {"existing, Merge, definitions only", true, TExistingTablePolicy::Merge, true, "orders", {}},
        {"a failing create", false, TExistingTablePolicy::Overwrite, false, "bits",
         {"Create table BITS... ", "ORA-00902: invalid datatype", "", "Insert table BITS... ",
          "ORA-00942: table or view does not exist", ""}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        newTarget();
        log.Clear();
        if (c.exists)
            db.oracleconn.session().execute(existing);
        s.ExistingTables = c.policy;
        s.DefinitionsOnly = c.definitionsOnly;
        EXPECT_EQ(run({c.table}), RunOutcome::Completed);
        EXPECT_EQ(tableLines(), c.lines);
        const int rows = c.lines.contains("Insert table ORDERS 3 Rows ...Done") ? 3 : 0;
        if (QString(c.table) == "orders") {
            EXPECT_EQ(targetRows("ORDERS"), rows);
        }
    }
}

TEST_F(RunFixture, SavedFileHoldsEveryLineButTheLastCaption)
{
    mysql({"create table t (id int)", "insert into t values (1)"});
    ASSERT_EQ(run({"t"}), RunOutcome::Completed);
    EXPECT_EQ(savedPath, dir.filePath("logs/qelt_20240102_091505.log"));
    const QStringList expectedLines{"Start time:2 Jan 2024 09:15:05", "Create table T...Done", "",
                                    "Insert table T 1 Rows ...Done", "", kCaptions.Label29, kCaptions.Label30,
                                    "The end time:2 Jan 2024 09:15:05"};
    EXPECT_EQ(log.lines(), expectedLines + QStringList{kCaptions.Label32});
    QFile f(savedPath);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), (expectedLines.join("\r\n") + "\r\n").toUtf8());

    // A second run appends below the first, and its file holds both.
    ASSERT_EQ(run({}), RunOutcome::Completed);
    EXPECT_EQ(log.lines().mid(0, expectedLines.size()), expectedLines);
    EXPECT_EQ(log.lines().mid(expectedLines.size() + 1),
              (QStringList{"Start time:2 Jan 2024 09:15:05", kCaptions.Label29, kCaptions.Label30,
                           "The end time:2 Jan 2024 09:15:05", kCaptions.Label32}));
}

TEST_F(RunFixture, ARejectedRowRollsBackItsBatchAndTheRunGoesOn)
{
    mysql({"create table wide (id int, v varchar(20))",
           "insert into wide select seq, if(seq = 3000, 'far too long', 'ok') from seq_1_to_6000",
           "create table other (id int)", "insert into other values (7)"});
    db.oracleconn.session().execute("Create table \"WIDE\" (\"ID\" number, \"V\" varchar2(5))");
    s.ExistingTables = TExistingTablePolicy::Merge;
    ASSERT_EQ(run({"wide", "other"}), RunOutcome::Completed);
    EXPECT_EQ(tableLines(),
              (QStringList{"Insert table WIDE 5000 Rows ",
                           "ORA-12899: value too large for column \"SCOTT\".\"WIDE\".\"V\" (actual: 12, maximum: 5)", "",
                           "Create table OTHER...Done", "", "Insert table OTHER 1 Rows ...Done", ""}));
    const auto rows = readEmbeddedTable(targetPath, "SCOTT", "WIDE");
    ASSERT_EQ(rows.size(), 100);
    EXPECT_EQ(rows.first().first().textValue(), "1");
    EXPECT_EQ(rows.last().first().textValue(), "100");
}

TEST_F(RunFixture, StopAtTheRowPollEndsTheTableAndTheNextPollEndsTheRun)
{
    mysql({"create table big (id int)", "insert into big select seq from seq_1_to_1000",
           "create table after_big (id int)"});
    int pumps = 0;
    control.setPump([&] {
        // Pump 1 is the poll of the first table, then one after every 100 rows.
        if (++pumps == 3)
            control.requestStop();
    });
    EXPECT_EQ(run({"big", "after_big"}), RunOutcome::Stopped);
    EXPECT_EQ(tableLines(), (QStringList{"Create table BIG...Done", "", "Insert table BIG 200 Rows ",
                                         "Operation aborted", ""}));
    EXPECT_TRUE(savedPath.isEmpty());
    EXPECT_TRUE(QDir(dir.filePath("logs")).isEmpty());
    EXPECT_EQ(targetRows("BIG"), 100);
    EXPECT_FALSE(control.StopRequested()) << "the request does not outlive its run";
}

TEST_F(RunFixture, StopBeforeTheFirstTableAndALateStop)
{
    mysql({"create table a (id int)", "insert into a select seq from seq_1_to_300"});
    control.setPump([&] { control.requestStop(); });
    EXPECT_EQ(run({"a"}), RunOutcome::Stopped);
    EXPECT_EQ(log.lines(), QStringList{"Start time:2 Jan 2024 09:15:05"});
    EXPECT_FALSE(control.StopRequested());

    // A stop honoured by the copy of the last table: no table poll follows,
    // so the run completes and saves, and the request is then discarded.
    log.Clear();
    int pumps = 0;
    control.setPump([&] {
        if (++pumps == 2)
            control.requestStop();
    });
    EXPECT_EQ(run({"a"}), RunOutcome::CompletedWithLateStop);
    EXPECT_EQ(tableLines(), (QStringList{"Create table A...Done", "", "Insert table A 100 Rows ",
                                         "Operation aborted", ""}));
    EXPECT_FALSE(savedPath.isEmpty());
    EXPECT_FALSE(control.StopRequested());
}

TEST_F(RunFixture, AnEscapingErrorEndsTheRunWithoutSaving)
{
    s.SourceDatabase = "tvx_no_such_database";
    EXPECT_THROW(run({"t"}), DatabaseError);
    EXPECT_EQ(log.lines(), QStringList{"Start time:2 Jan 2024 09:15:05"});
    EXPECT_TRUE(savedPath.isEmpty());
}

namespace {
QString shown(const OracleValue &v)
{
    switch (v.kind()) {
    case OracleValue::Kind::Timestamp:
    case OracleValue::Kind::Interval:
    {
        const OracleTimestamp t = v.timestampValue();
        const OracleInterval &i = v.intervalValue();
        return v.kind() == OracleValue::Kind::Timestamp
                   ? QString::asprintf("TS:%04d-%02d-%02d %02d:%02d:%02d.%09d", t.date.year, t.date.month,
                                       t.date.day, t.date.hour, t.date.minute, t.date.second, t.nanosecond)
                   : QString::asprintf("I:%c%d %02d:%02d:%02d.%09d", i.negative ? '-' : '+', i.days, i.hours,
                                       i.minutes, i.seconds, i.nanosecond);
    }
    case OracleValue::Kind::BinaryNumber: return "F:" + v.textValue();
    case OracleValue::Kind::Null: return "NULL";
    case OracleValue::Kind::Number: return "N:" + v.textValue();
    case OracleValue::Kind::Text: return "T:" + v.textValue();
    case OracleValue::Kind::Bytes:
        return v.bytesValue().size() > 64 ? QStringLiteral("B:%1 bytes").arg(v.bytesValue().size())
                                          : "B:" + QString::fromLatin1(v.bytesValue().toHex());
    case OracleValue::Kind::Date: {
        const OracleDate &d = v.dateValue();
        return QString::asprintf("D:%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day, d.hour, d.minute,
                                 d.second);
    }
    }
    return "?";
}
} // namespace

TEST_F(RunFixture, EveryMappedTypeArrivesExactlyOrIsReported)
{
    struct Column {
        const char *name;
        const char *type;
        const char *value;     // SQL literal of row 1; row 2 is all NULL
        const char *expected;  // read back from the target
    } columns[] = {
        {"c_tiny", "tinyint", "-128", "N:-128"},
        {"c_bool", "tinyint(1)", "5", "N:5"},
        {"c_small", "smallint unsigned", "65535", "N:65535"},
        {"c_medium", "mediumint", "-8388608", "N:-8388608"},
        {"c_int", "int", "-2147483648", "N:-2147483648"},
        {"c_big", "bigint", "-9223372036854775808", "N:-9223372036854775808"},
        {"c_ubig", "bigint unsigned", "18446744073709551615", "N:18446744073709551615"},
        {"c_dec", "decimal(65,30)", "'-12345678901234567890123456789012345.123456789012345678901234567891'",
         "N:-12345678901234567890123456789012345.123"},
        {"c_money", "decimal(12,2)", "'0.10'", "N:0.1"},
        {"c_float", "float", "1.5", "N:1.5"},
        {"c_double", "double", "-2.5e-300", "N:0"},
        {"c_year", "year", "2024", "N:2024"},
        {"c_date", "date", "'2024-02-29'", "D:2024-02-29 00:00:00"},
        {"c_zero", "date", "'0000-00-00'", "NULL"},
        {"c_dt", "datetime", "'9999-12-31 23:59:59'", "D:9999-12-31 23:59:59"},
        {"c_ts", "timestamp null", "'2038-01-19 03:14:07'", "D:2038-01-19 03:14:07"},
        {"c_time", "time", "'13:45:10'", "D:1900-01-01 13:45:10"},
        {"c_longtime", "time", "'100:00:00'", "NULL"},
        {"c_char", "char(36)", "'汉字 😀'", "T:汉字 😀"},
        {"c_vc", "varchar(255)", "'Grüße, \\'quoted\\''", "T:Grüße, 'quoted'"},
        {"c_vc_long", "varchar(5000)", "'long text'", "B:6c6f6e672074657874"},
        {"c_enum", "enum('a','bc')", "'bc'", "T:bc"},
        {"c_set", "set('a','bc')", "'a,bc'", "T:a,bc"},
        {"c_text", "mediumtext", "'表\\r\\n'", "B:e8a1a80d0a"},
        {"c_blob", "blob", "x'0000ff00'", "B:0000ff00"},
        {"c_lblob", "longblob", "repeat(x'00ff', 8388608)", "B:16777216 bytes"},
    };
    QStringList defs, values, nulls;
    for (const Column &c : columns) {
        defs << QStringLiteral("`%1` %2").arg(c.name, c.type);
        values << QString::fromUtf8(c.value);
        nulls << "NULL";
    }
    mysql({"set sql_mode=''", "create table fidelity (" + defs.join(", ") + ")",
           "insert into fidelity values (" + values.join(", ") + ")",
           "insert into fidelity values (" + nulls.join(", ") + ")"});
    ASSERT_EQ(run({"fidelity"}), RunOutcome::Completed);
    // Both values that a DATE cannot hold are reported; the final progress
    // line replaces the last line of the log, which is the second report.
    EXPECT_EQ(tableLines(), (QStringList{"Create table FIDELITY...Done", "", "Insert table FIDELITY... ",
                                         "c_zero:TDateField", "Insert table FIDELITY 2 Rows ...Done", ""}));
    const auto rows = readEmbeddedTable(targetPath, "SCOTT", "FIDELITY");
    ASSERT_EQ(rows.size(), 2);
    ASSERT_EQ(rows[0].size(), int(std::size(columns)));
    for (int i = 0; i < rows[0].size(); ++i) {
        SCOPED_TRACE(columns[i].name);
        EXPECT_EQ(shown(rows[0][i]), QString::fromUtf8(columns[i].expected));
        EXPECT_EQ(shown(rows[1][i]), "NULL");
    }
    const QByteArray big = rows[0].last().bytesValue();
    EXPECT_EQ(big.count('\0'), 8388608);
    EXPECT_EQ(big.left(4), QByteArray::fromHex("00ff00ff"));
}
