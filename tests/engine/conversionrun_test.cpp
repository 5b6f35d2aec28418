#include "connections/embedded/embeddedreader.h"
#include "connections/rowcopy.h"
#include "engine/conversionrun.h"
#include "tests/support/batchspy.h"
#include "tests/support/testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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
        r.setSendAhead(sendAhead);
        if (!batchFile.isEmpty())
            r.setBatchSettingsFile(batchFile);
        QDir().mkpath(dir.filePath("logs"));
        const RunOutcome outcome = r.run();
        savedPath = r.savedLogPath();
        lastReport = r.report();
        return outcome;
    }

    // The lines the tables produced: between the start line and the summary.
    QStringList tableLines() const
    {
        QStringList lines = summaryAndAfter(false);
        return lines;
    }
    // The summary lines: from the first "Problem in table" or "Summary:" line
    // of the last run up to Label29.
    QStringList summaryLines() const { return summaryAndAfter(true); }

    QStringList summaryAndAfter(bool summary) const
    {
        const QStringList lines = log.lines();
        const int start = int(lines.lastIndexOf(QRegularExpression("^Start time:.*")));
        int first = start + 1;
        while (first < lines.size() && !lines.at(first).startsWith("Problem in table ") &&
               !lines.at(first).startsWith("Summary: "))
            ++first;
        if (!summary)
            return lines.mid(start + 1, first - start - 1);
        int end = first;
        while (end < lines.size() && lines.at(end) != kCaptions.Label29)
            ++end;
        return lines.mid(first, end - first);
    }

    // The lines of the last run's ledger, without the header.
    QStringList ledgerLines() const
    {
        QFile f(QString(savedPath).replace(".log", ".rejects.csv"));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(f.readAll()).split("\r\n");
        EXPECT_EQ(lines.first(), "table,row,column,reason,value");
        EXPECT_EQ(lines.last(), "");
        return lines.mid(1, lines.size() - 2);
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
    RunReport lastReport;
    QString savedPath;
    bool sendAhead = true;
    QString batchFile;  // a replay's run: its record goes beside this file
};

// The rows of a target table as texts, NULL as "-".
QStringList rowTexts(const QString &targetPath, const QString &table)
{
    QStringList rows;
    for (const auto &row : readEmbeddedTable(targetPath, "SCOTT", table)) {
        QStringList values;
        for (const OracleValue &v : row)
            values << (v.isNull() ? QStringLiteral("-") : v.textValue());
        rows << values.join(QLatin1Char(' '));
    }
    return rows;
}

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
                                    "Insert table T 1 Rows ...Done", "",
                                    "Summary: 1 table without errors, 0 tables with errors; 1 row copied; "
                                    "0 values and 0 rows rejected",
                                    kCaptions.Label29, kCaptions.Label30, "The end time:2 Jan 2024 09:15:05"};
    EXPECT_EQ(log.lines(), expectedLines + QStringList{kCaptions.Label32});
    QFile f(savedPath);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), (expectedLines.join("\r\n") + "\r\n").toUtf8());

    // A second run appends below the first, and its file holds both.
    ASSERT_EQ(run({}), RunOutcome::Completed);
    EXPECT_EQ(log.lines().mid(0, expectedLines.size()), expectedLines);
    EXPECT_EQ(log.lines().mid(expectedLines.size() + 1),
              (QStringList{"Start time:2 Jan 2024 09:15:05",
                           "Summary: 0 tables without errors, 0 tables with errors; 0 rows copied; "
                           "0 values and 0 rows rejected",
                           kCaptions.Label29, kCaptions.Label30, "The end time:2 Jan 2024 09:15:05",
                           kCaptions.Label32}));
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
    // The rejected row is in the ledger; the rolled-back rows show in the summary.
    EXPECT_EQ(ledgerLines(),
              QStringList{"wide,3000,,\"ORA-12899: value too large for column \"\"SCOTT\"\".\"\"WIDE\"\".\"\"V\"\" "
                          "(actual: 12, maximum: 5)\","});
    EXPECT_EQ(summaryLines(),
              (QStringList{"Problem in table wide (WIDE): ORA-12899: value too large for column \"SCOTT\".\"WIDE\".\"V\" "
                           "(actual: 12, maximum: 5); 100 rows written of 5100 read; 0 values and 1 row rejected",
                           "Summary: 1 table without errors, 1 table with errors; 101 rows copied; 0 values and 1 row "
                           "rejected; see qelt_20240102_091505.rejects.csv"}));
    EXPECT_EQ(log.lines().at(log.size() - 3), "Conversion completed with errors: see the summary above.");
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

    // A stop honoured by the copy of the last table ends the run there too:
    // no table poll follows, but a stopped run never reports completion.
    log.Clear();
    int pumps = 0;
    control.setPump([&] {
        if (++pumps == 2)
            control.requestStop();
    });
    EXPECT_EQ(run({"a"}), RunOutcome::Stopped);
    EXPECT_EQ(tableLines(), (QStringList{"Create table A...Done", "", "Insert table A 100 Rows ",
                                         "Operation aborted", ""}));
    EXPECT_TRUE(savedPath.isEmpty());
    EXPECT_EQ(lastReport.outcome, RunResultOutcome::Stopped);
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
    case OracleValue::Kind::Geometry:
        return QStringLiteral("G:%1 ").arg(v.sridValue()) + QString::fromLatin1(v.wkbValue().toHex());
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
    // Both values that a DATE cannot hold are reported and stay in the log:
    // the final progress text follows them on a line of its own.
    EXPECT_EQ(tableLines(), (QStringList{"Create table FIDELITY...Done", "", "Insert table FIDELITY... ",
                                         "c_zero:TDateField", "c_longtime:TTimeField",
                                         "Insert table FIDELITY 2 Rows ...Done", ""}));
    // Values Oracle NUMBER holds only rounded are written and recorded.
    EXPECT_EQ(ledgerLines(),
              (QStringList{"fidelity,1,c_dec,rounded to the 38 significant digits of Oracle NUMBER,"
                           "-12345678901234567890123456789012345.123456789012345678901234567891",
                           "fidelity,1,c_double,\"below the smallest magnitude of Oracle NUMBER, stored as 0\",-2.5e-300",
                           "fidelity,1,c_zero,zero date,0000-00-00",
                           "fidelity,1,c_longtime,time beyond one day,100:00:00"}));
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

TEST_F(RunFixture, ErrorLinesStayAroundProgressLinesAndRepeatsAreCounted)
{
    // Zero dates in rows 1, 99, 100, 101, 5100 and the last row of 5150: each
    // error line stays, and the progress text that follows one is a line of
    // its own.
    mysql({"set sql_mode=''", "create table d (id int, v date)",
           "insert into d select seq, if(seq in (1, 99, 100, 101, 5100, 5150), '0000-00-00', '2024-01-01') "
           "from seq_1_to_5150"});
    ASSERT_EQ(run({"d"}), RunOutcome::Completed);
    QStringList expected{"Create table D...Done", "", "Insert table D... ", "v:TDateField", "v:TDateField",
                         "v:TDateField", "Insert table D 100 Rows ", "v:TDateField", "Insert table D 200 Rows "};
    // Rows 300 to 5000 rewrite the progress line; row 5100 fails.
    expected.last() = "Insert table D 5000 Rows ";
    expected << "v:TDateField"
             << "Insert table D 5100 Rows "
             << "v:TDateField"
             << "Insert table D 5150 Rows ...Done"
             << "";
    EXPECT_EQ(tableLines(), expected);
    EXPECT_EQ(ledgerLines().size(), 6);
    EXPECT_EQ(targetRows("D"), 5150);

    // A field that fails on every row: 20 lines, then one line with the rest.
    mysql({"create table e (id int, v date)", "insert into e select seq, '0000-00-00' from seq_1_to_250"});
    log.Clear();
    ASSERT_EQ(run({"e"}), RunOutcome::Completed);
    const QStringList lines = tableLines();
    EXPECT_EQ(lines.count("v:TDateField"), 20);
    EXPECT_EQ(lines.mid(lines.size() - 3),
              (QStringList{"Insert table E 250 Rows ...Done", "v:TDateField repeated 230 more times", ""}));
    EXPECT_EQ(ledgerLines().size(), 250) << "the ledger keeps every value";
}

TEST_F(RunFixture, TheLedgerGivesTheReasonOfEveryValueNotWrittenAsItCame)
{
    mysql({"set sql_mode=''",
           "create table r (id int, n double, d date, t time, dt datetime(3), b bit(1), x varchar(5), extra int)",
           "insert into r values (1, 1e308, '0000-00-00', '100:00:00', '2024-01-01 10:00:00.5', NULL, 'a,\"b', 7)",
           "insert into r values (2, 1, '1582-10-10', '-01:00:00', '2024-01-01 10:00:00', 1, 'ok', 8)"});
    db.oracleconn.session().execute("Create table \"R\" (\"ID\" number, \"N\" number, \"D\" date, \"T\" date, "
                                    "\"DT\" date, \"B\" number, \"X\" number)");
    s.ExistingTables = TExistingTablePolicy::Merge;
    ASSERT_EQ(run({"r"}), RunOutcome::Completed);
    EXPECT_EQ(ledgerLines(), (QStringList{
                                 "r,1,n,1e308 is beyond the range of Oracle NUMBER,1e308",
                                 "r,1,d,zero date,0000-00-00",
                                 "r,1,t,time beyond one day,100:00:00",
                                 "r,1,dt,\"fractions of a second, which an Oracle DATE cannot keep\",2024-01-01 10:00:00.500",
                                 "r,1,b,NULL in a boolean field cannot be read as true or false,",
                                 "r,1,x,\"a,\"\"b is not a number\",\"a,\"\"b\"",
                                 "r,1,extra,the Oracle table has no column of that name,7",
                                 "r,2,d,day skipped by the calendar change of 1582,1582-10-10",
                                 "r,2,t,negative time,-01:00:00",
                                 "r,2,x,ok is not a number,ok",
                                 "r,2,extra,the Oracle table has no column of that name,8",
                             }));
    EXPECT_EQ(summaryLines().first(), "Problem in table r (R): 2 rows written of 2 read; 11 values and 0 rows rejected");
}

TEST_F(RunFixture, RejectedRowsAreLeftOutAndRecordedWhenTheRunContinuesPastThem)
{
    mysql({"create table wide (id int, v varchar(20))",
           "insert into wide select seq, if(seq = 3000, 'far, too long', 'ok') from seq_1_to_6000"});
    db.oracleconn.session().execute("Create table \"WIDE\" (\"ID\" number, \"V\" varchar2(5))");
    s.ExistingTables = TExistingTablePolicy::Merge;
    s.RejectRows = true;
    ASSERT_EQ(run({"wide"}), RunOutcome::Completed);
    EXPECT_EQ(tableLines(), (QStringList{"Insert table WIDE 6000 Rows ...Done", "1 row rejected", ""}));
    const auto rows = readEmbeddedTable(targetPath, "SCOTT", "WIDE");
    ASSERT_EQ(rows.size(), 5999);
    EXPECT_EQ(rows[2998].first().textValue(), "2999");
    EXPECT_EQ(rows[2999].first().textValue(), "3001");
    const QStringList ledger = ledgerLines();
    ASSERT_EQ(ledger.size(), 2);
    EXPECT_TRUE(ledger.first().startsWith("wide,3000,,\"ORA-12899: value too large for column")) << ledger.first().toStdString();
    EXPECT_EQ(ledger.last(), "wide,,,reload file,WIDE.csv") << "the ledger names the table's reload file";
    QFile reload(QString(savedPath).replace(".log", ".rejects/WIDE.csv"));
    ASSERT_TRUE(reload.open(QIODevice::ReadOnly));
    EXPECT_EQ(reload.readAll(), "id,v\r\n3000,\"far, too long\"\r\n");
    EXPECT_EQ(summaryLines().first(), "Problem in table wide (WIDE): 5999 rows written of 6000 read; 0 values and 1 row rejected");
}

TEST_F(RunFixture, AnUnreadableColumnTypeFailsItsTableOnlyAndTheRunSavesItsRecord)
{
    mysql({"create table comp (id int, v varchar(100) compressed)", "insert into comp values (1, 'x')",
           "create table later (id int)", "insert into later values (1), (2)"});
    ASSERT_EQ(run({"comp", "later"}), RunOutcome::Completed);
    const QStringList lines = tableLines();
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines.at(0), "Create table COMP... ");
    EXPECT_TRUE(lines.at(1).startsWith("Cannot convert column v of type varchar(100) /*M!100301 COMPRESSED*/"))
        << lines.at(1).toStdString();
    EXPECT_TRUE(lines.contains("Insert table LATER 2 Rows ...Done"));
    EXPECT_EQ(targetRows("LATER"), 2);
    EXPECT_FALSE(savedPath.isEmpty());
    EXPECT_TRUE(QFile::exists(savedPath));

    QFile reportFile(QString(savedPath).replace(".log", ".report.json"));
    ASSERT_TRUE(reportFile.open(QIODevice::ReadOnly));
    const QJsonObject report = QJsonDocument::fromJson(reportFile.readAll()).object();
    EXPECT_EQ(report.value("outcome").toString(), "completed with errors");
    EXPECT_EQ(report.value("started").toString().left(19), "2024-01-02T09:15:05");
    EXPECT_EQ(report.value("ended").toString().left(19), "2024-01-02T09:15:05");
    const QJsonArray tables = report.value("tables").toArray();
    ASSERT_EQ(tables.size(), 2);
    const QJsonObject comp = tables.at(0).toObject(), later = tables.at(1).toObject();
    EXPECT_EQ(comp.value("source").toString(), "comp");
    EXPECT_EQ(comp.value("target").toString(), "COMP");
    EXPECT_EQ(comp.value("action").toString(), "failed");
    EXPECT_EQ(comp.value("errors").toArray().size(), 1);
    EXPECT_EQ(later.value("action").toString(), "created");
    EXPECT_EQ(later.value("rowsRead").toInt(), 2);
    EXPECT_EQ(later.value("rowsWritten").toInt(), 2);
    EXPECT_EQ(later.value("valuesRejected").toInt(), 0);
    EXPECT_EQ(later.value("rowsRejected").toInt(), 0);
    EXPECT_TRUE(later.value("errors").toArray().isEmpty());
    EXPECT_TRUE(later.value("seconds").isDouble());
    EXPECT_EQ(later.value("verified").toString(), "not verified");
}

TEST_F(RunFixture, TablesWhoseNamesDifferOnlyInCaseBothArriveWhole)
{
    auto setting = db.mysqlconnect.query("select @@lower_case_table_names");
    ASSERT_TRUE(setting->next());
    if (setting->text(0) != "0")
        GTEST_SKIP() << "the server compares table names without case";
    mysql({"create table Orders (id int)", "insert into Orders values (1), (2)", "create table orders (id int)",
           "insert into orders values (3)"});
    for (TExistingTablePolicy policy :
         {TExistingTablePolicy::Overwrite, TExistingTablePolicy::Merge, TExistingTablePolicy::Skip}) {
        SCOPED_TRACE(int(policy));
        newTarget();
        log.Clear();
        s.ExistingTables = policy;
        ASSERT_EQ(run({"Orders", "orders"}), RunOutcome::Completed);
        EXPECT_TRUE(tableLines().contains(
            "Table orders is converted into ORDERS0000: ORDERS holds table Orders of this run"));
        EXPECT_EQ(targetRows("ORDERS"), 2);
        EXPECT_EQ(targetRows("ORDERS0000"), 1);
    }
}

TEST_F(RunFixture, VerificationFindsEveryCopiedTableEqualOrNamesTheRowsThatDiffer)
{
    mysql({"set sql_mode=''",
           "create table v (id int primary key, n bigint unsigned, d decimal(20,4), f double, t varchar(20), "
           "c char(5), b blob, lb longblob, dt datetime, dd date, tm time, e enum('a','b'))",
           "insert into v values (1, 18446744073709551615, -12345678.1234, 1.5e100, '汉字 😀', 'ab', x'00ff00', "
           "repeat(x'01', 16777216), '9999-12-31 23:59:59', '0000-00-00', '100:00:00', 'b')",
           "insert into v values (2, 0, 0, -0.5, '', NULL, '', NULL, '1000-01-01 00:00:00', '2024-02-29', "
           "'13:45:10', 'a')",
           "insert into v (id) values (3)",
           "create table w (id int primary key, x double)",
           "insert into w values (1, 1.5), (2, 1e308), (3, -2)"});
    s.Verify = true;
    ASSERT_EQ(run({"v", "w"}), RunOutcome::Completed);
    const QStringList lines = tableLines();
    EXPECT_TRUE(lines.contains("Verify table V: 3 rows equal")) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.contains("Verify table W: 1 of 3 rows differ")) << lines.join('\n').toStdString();
    const QStringList ledger = ledgerLines();
    EXPECT_TRUE(ledger.contains("w,,id,target row differs from source,2")) << ledger.join('\n').toStdString();

    // The row altered behind the run's back, and one missing: both found by
    // a verification of its own.
    log.Clear();
    newTarget();
    s.Verify = true;
    int pumps = 0;
    mysql({"create table many (id int primary key, v varchar(10))",
           "insert into many select seq, concat('v', seq) from seq_1_to_250"});
    // No batch may be on its way while the other session changes the table.
    sendAhead = false;
    control.setPump([&] {
        // After rows 1-100 are in Oracle (the second pump), another session
        // changes them.
        if (++pumps == 3) {
            auto other = openOracleSession({"embedded:" + targetPath, "scott", "x"});
            other->execute("drop table \"MANY\"");
            other->execute("Create table \"MANY\" (\"ID\" number, \"V\" varchar2(10))");
        }
    });
    ASSERT_EQ(run({"many"}), RunOutcome::Completed);
    control.setPump({});
    const QStringList manyLines = tableLines();
    EXPECT_TRUE(manyLines.contains("Count table MANY: 150 rows in Oracle, 250 expected"))
        << manyLines.join('\n').toStdString();
    EXPECT_TRUE(manyLines.contains("Verify table MANY: 100 of 250 rows differ")) << manyLines.join('\n').toStdString();
    EXPECT_EQ(ledgerLines().size(), 10) << "the keys of up to 10 differing rows";
    QFile reportFile(QString(savedPath).replace(".log", ".report.json"));
    ASSERT_TRUE(reportFile.open(QIODevice::ReadOnly));
    const QJsonObject table = QJsonDocument::fromJson(reportFile.readAll()).object().value("tables").toArray().at(0).toObject();
    EXPECT_EQ(table.value("verified").toString(), "differs");
    EXPECT_EQ(table.value("errors").toArray().size(), 2);
}

TEST_F(RunFixture, AMergeIsCountedButNotVerified)
{
    mysql({"create table m (id int)", "insert into m values (1), (2)"});
    db.oracleconn.session().execute("Create table \"M\" (\"ID\" number)");
    OracleRowBatch before({OracleColumn{"ID", "NUMBER"}});
    before.at(before.appendRow(), 0) = OracleValue::number("9");
    ASSERT_TRUE(db.oracleconn.session().insertBatch("M", before).ok);
    s.ExistingTables = TExistingTablePolicy::Merge;
    s.Verify = true;
    ASSERT_EQ(run({"m"}), RunOutcome::Completed);
    EXPECT_EQ(tableLines(), (QStringList{"Insert table M 2 Rows ...Done",
                                         "Verify table M: not verified: the table held 1 rows before the copy", ""}));
    EXPECT_EQ(targetRows("M"), 3);
}

TEST_F(RunFixture, AnInteractiveLedgerIsNamedAfterItsLogAtTheSave)
{
    // The ledger is written from the first rejected value on, under the start
    // time's name; the log is named at its save, and the ledger follows it.
    mysql({"set sql_mode=''", "create table z (id int, d date)", "insert into z values (1, '0000-00-00')"});
    s.SelectedTables = {"z"};
    ConversionRun r(db, s, log, control);
    r.setCaptions(kCaptions);
    int ticks = 0;
    r.setClock([&] { return kClock.addSecs(ticks++); });
    r.setLocale(QLocale::c());
    r.setLogFolder(dir.filePath("moved/"));
    QDir().mkpath(dir.filePath("moved"));
    ASSERT_EQ(r.run(), RunOutcome::Completed);
    const QStringList files = QDir(dir.filePath("moved")).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(files.size(), 3) << files.join(' ').toStdString();
    const QString stem = QFileInfo(r.savedLogPath()).completeBaseName();
    EXPECT_EQ(files, (QStringList{stem + ".log", stem + ".rejects.csv", stem + ".report.json"}));
    EXPECT_NE(stem, "qelt_20240102_091505") << "the save came after the start";
}

TEST_F(RunFixture, ColumnsThatMeetUnderOtherRulesEachKeepTheirValues)
{
    // Unicode upper-casing makes STRASSE of straße and ID of ıd; a cut to 30
    // characters makes one name of two long ones. Every value arrives, under
    // both name cases, and the verification agrees.
    mysql({"create table t (id int primary key, `straße` int, `STRASSE` int)", "insert into t values (1, 10, 20)",
           "create table u (`ıd` int, `ID` int)", "insert into u values (5, 6)",
           "create table w (a_column_name_of_thirty_five_chars_1 int, "
           "a_column_name_of_thirty_five_chars_2 int primary key)",
           "insert into w values (7, 8)"});
    for (const bool uppercase : {true, false}) {
        SCOPED_TRACE(uppercase ? "upper-case names" : "names as listed");
        newTarget();
        log.Clear();
        s.UppercaseNames = uppercase;
        s.Verify = true;
        ASSERT_EQ(run({"t", "u", "w"}), RunOutcome::Completed);
        const auto name = [uppercase](const QString &n) { return uppercase ? n.toUpper() : n; };
        EXPECT_EQ(rowTexts(targetPath, name("t")), QStringList{"1 10 20"});
        EXPECT_EQ(rowTexts(targetPath, name("u")), QStringList{"5 6"});
        EXPECT_EQ(rowTexts(targetPath, name("w")), QStringList{"7 8"});
        for (const TableResult &t : lastReport.tables) {
            EXPECT_TRUE(t.errors.isEmpty()) << t.errors.join('\n').toStdString();
            EXPECT_EQ(verificationText(t.verified), "equal") << t.source.toStdString();
        }
        EXPECT_TRUE(log.lines().contains(
            QStringLiteral("Column a_column_name_of_thirty_five_chars_2 of table %1 is written into %2: %3 holds "
                           "column a_column_name_of_thirty_five_chars_1")
                .arg(name("w"), name("a_column_name_of_thirty_fi0000"), name("a_column_name_of_thirty_five_c"))))
            << log.lines().join('\n').toStdString();
    }
}

TEST_F(RunFixture, TablesWhoseKeyNamesMeetEachKeepTheirKeys)
{
    // Both names agree in their first 23 characters: the composed key and
    // index names of the later table take numbers, and it keeps its keys.
    mysql({"create table customer_order_history_2023 (id int primary key, k int, index (k))",
           "create table customer_order_history_2024 (id int primary key, k int, index (k))",
           "insert into customer_order_history_2024 values (1, 1)"});
    for (const bool details : {false, true}) {
        SCOPED_TRACE(details ? "kept column details" : "the plain mapping");
        newTarget();
        log.Clear();
        s.KeepDetails = details;
        ASSERT_EQ(run({"customer_order_history_2023", "customer_order_history_2024"}), RunOutcome::Completed);
        for (const TableResult &t : lastReport.tables)
            EXPECT_TRUE(t.errors.isEmpty()) << t.errors.join('\n').toStdString();
        EXPECT_TRUE(log.lines().contains("Key PRIMARYCUSTOMER_ORDER_HISTORY_ of table CUSTOMER_ORDER_HISTORY_2024 is "
                                         "named PRIMARYCUSTOMER_ORDER_HIST0000: PRIMARYCUSTOMER_ORDER_HISTORY_ is "
                                         "taken by table CUSTOMER_ORDER_HISTORY_2023"))
            << log.lines().join('\n').toStdString();
        QStringList primaryKeys;
        for (const EmbeddedConstraint &c : listEmbeddedConstraints(targetPath, "SCOTT"))
            if (c.type == "P" && !c.table.startsWith("TAVREX_"))  // the record of conversions aside
                primaryKeys << c.table + ":" + c.name;
        primaryKeys.sort();
        EXPECT_EQ(primaryKeys, (QStringList{"CUSTOMER_ORDER_HISTORY_2023:PRIMARYCUSTOMER_ORDER_HISTORY_",
                                            "CUSTOMER_ORDER_HISTORY_2024:PRIMARYCUSTOMER_ORDER_HIST0000"}));
    }
}

TEST_F(RunFixture, AStopInAnyStepOfTheLastTableEndsTheRunAsStopped)
{
    mysql({"create table parent (id int primary key)", "insert into parent select seq from seq_1_to_300",
           "create table child (id int auto_increment primary key, p int, q int, "
           "constraint fk_p foreign key (p) references parent (id), "
           "constraint fk_q foreign key (q) references parent (id))",
           "insert into child select seq, seq, seq from seq_1_to_300"});
    // Where the stop comes: the log as it stands at a pump point.
    struct Case {
        const char *step;
        bool details;
        std::function<bool(const QStringList &)> here;
        const char *absent;  // a line the stopped run never writes
    } cases[] = {
        {"copy", false, [](const QStringList &l) { return l.last().startsWith("Insert table CHILD 100 "); },
         "Insert table CHILD 300 Rows ...Done"},
        {"verification", false,
         [](const QStringList &l) { return l.last().startsWith("Insert table CHILD") && l.last().endsWith("...Done"); },
         "Verify table CHILD: 300 rows equal"},
        {"keys", false, [](const QStringList &l) { return l.size() > 1 && l.at(l.size() - 2) == "Create table CHILD...Done"; },
         "Insert table CHILD"},
        {"identity", true,
         [](const QStringList &l) {
             return l.size() > 2 && l.last().isEmpty() && l.at(l.size() - 3).startsWith("Insert table CHILD");
         },
         "Create foreign key"},
        {"foreign keys", true,
         [](const QStringList &l) { return l.size() > 1 && l.at(l.size() - 2).startsWith("Create foreign key FK_P"); },
         "Create foreign key FK_Q"},
    };
    // Every look at the window is a pump point, and the log stands as it
    // would in a copy that sends each batch in turn.
    control.setResponsivePeriod(std::chrono::milliseconds(0));
    sendAhead = false;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.step);
        newTarget();
        log.Clear();
        s.KeepDetails = c.details;
        s.Verify = true;
        batchFile = dir.filePath(QStringLiteral("stop_%1.qelt").arg(QString(c.step).replace(' ', '_')));
        const auto pump = [&] {
            if (!control.StopRequested() && c.here(log.lines()))
                control.requestStopAndSave();
        };
        control.setPump(pump);
        control.setResponsivePump(pump);
        EXPECT_EQ(run({"parent", "child"}), RunOutcome::Stopped);
        EXPECT_EQ(lastReport.outcome, RunResultOutcome::Stopped);
        ASSERT_FALSE(savedPath.isEmpty()) << "a stop that asks for it saves the record";
        const QStringList lines = log.lines();
        EXPECT_EQ(lines.at(lines.size() - 2), "Operation aborted") << lines.join('\n').toStdString();
        for (const QString &line : lines)
            EXPECT_FALSE(line.startsWith(c.absent)) << line.toStdString();
        QFile report(QString(savedPath).replace(".log", ".report.json"));
        ASSERT_TRUE(report.open(QIODevice::ReadOnly));
        EXPECT_TRUE(report.readAll().contains("\"outcome\": \"stopped\""));
    }
    control.setPump(nullptr);
    control.setResponsivePump(nullptr);
}

TEST_F(RunFixture, AStoppedCopyRecordsOnlyTheRowsThatReachedTheTarget)
{
    // Every row has a value that is recorded; rows read after the last
    // committed batch never reach the target, and neither do their records.
    mysql({"create table far (id int, n double)", "insert into far select seq, 1e308 from seq_1_to_1000"});
    for (const bool ahead : {true, false}) {
        SCOPED_TRACE(ahead ? "sending ahead" : "sending in turn");
        newTarget();
        sendAhead = ahead;
        batchFile = dir.filePath(QStringLiteral("far%1.qelt").arg(ahead));
        int pumps = 0;
        control.setPump([&] {
            if (++pumps == 3)
                control.requestStopAndSave();
        });
        EXPECT_EQ(run({"far"}), RunOutcome::Stopped);
        const qint64 rows = targetRows("FAR");
        EXPECT_EQ(rows, 100);
        EXPECT_EQ(ledgerLines().size(), rows);
        ASSERT_EQ(lastReport.tables.size(), 1u);
        EXPECT_EQ(lastReport.tables[0].valuesRejected, rows);
        EXPECT_EQ(lastReport.tables[0].rowsWritten, rows);
    }
    control.setPump(nullptr);
}

TEST_F(RunFixture, TheReloadFolderIsTheUsersAndEveryTableKeepsItsOwnFile)
{
    // Eight tables whose names give two file names between them; table i
    // rejects i % 3 + 1 rows (an empty key part, which Oracle holds as NULL).
    const QStringList tables{"a/b", "a_b", "a\\b", ".", "_", "..", "A_B", "a_B"};
    QStringList statements;
    for (int i = 0; i < tables.size(); ++i) {
        const QString table = "`" + tables.at(i) + "`";
        statements << "create table " + table + " (id int, code varchar(10), primary key (id, code))"
                   << QStringLiteral("insert into %1 select seq, if(seq <= %2, '', 'c') from seq_1_to_10")
                          .arg(table)
                          .arg(i % 3 + 1);
    }
    mysql(statements);
    s.UppercaseNames = false;
    s.RejectRows = true;
    batchFile = dir.filePath("job.qelt");
    const QString folder = dir.filePath("job.rejects");
    // The reload file the ledger names for each table, and its rows.
    const auto reloadFiles = [&] {
        QHash<QString, QString> files;
        for (const QString &line : ledgerLines()) {
            const QList<QStringList> record = parseCsv(line);
            if (record.size() == 1 && record[0].size() == 5 && record[0][3] == "reload file")
                files.insert(record[0][0], record[0][4]);
        }
        return files;
    };
    const auto rowsIn = [&](const QString &file) {
        QFile f(folder + "/" + file);
        return f.open(QIODevice::ReadOnly) ? int(f.readAll().count("\r\n")) - 1 : -1;
    };

    ASSERT_EQ(run(tables), RunOutcome::Completed);
    QHash<QString, QString> files = reloadFiles();
    ASSERT_EQ(files.size(), tables.size());
    QSet<QString> distinct;
    for (int i = 0; i < tables.size(); ++i) {
        SCOPED_TRACE(tables.at(i).toStdString());
        distinct.insert(files.value(tables.at(i)).toCaseFolded());
        EXPECT_EQ(rowsIn(files.value(tables.at(i))), i % 3 + 1);
        EXPECT_EQ(targetRows(tables.at(i)), 10 - (i % 3 + 1));
    }
    EXPECT_EQ(distinct.size(), tables.size()) << "no file serves two tables, whatever the letter case";
    // The record of the run is its owner's alone.
    const auto mode = [](const QString &path) { return int(QFileInfo(path).permissions() & 0x7777); };
    const int file = int(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    for (const QString &path : {savedPath, QString(savedPath).replace(".log", ".rejects.csv"),
                                QString(savedPath).replace(".log", ".report.json"),
                                folder + "/" + files.value("a/b")})
        EXPECT_EQ(mode(path), file) << path.toStdString();
    EXPECT_EQ(mode(folder), int(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser |
                                QFile::WriteUser | QFile::ExeUser));

    // A file of the user's and a link to a file outside stay; a table copied
    // again without rejected rows loses its earlier reload file, and only it.
    QTemporaryDir outside;
    QFile mine(outside.filePath("mine.csv"));
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly));
    mine.write("kept\r\n");
    mine.close();
    QFile notes(folder + "/notes.txt");
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("mending row 1\r\n");
    notes.close();
    ASSERT_TRUE(QFile::link(outside.filePath("mine.csv"), folder + "/mine.csv"));
    const QString cleanFile = files.value("a_b");
    mysql({"delete from `a_b` where code = ''"});
    ASSERT_EQ(run(tables), RunOutcome::Completed);
    files = reloadFiles();
    EXPECT_FALSE(files.contains("a_b"));
    EXPECT_EQ(files.size(), tables.size() - 1);
    for (int i = 0; i < tables.size(); ++i) {
        if (tables.at(i) == "a_b")
            continue;
        EXPECT_EQ(rowsIn(files.value(tables.at(i))), i % 3 + 1) << tables.at(i).toStdString();
    }
    EXPECT_TRUE(QFile::exists(folder + "/notes.txt"));
    EXPECT_TRUE(QFileInfo(folder + "/mine.csv").isSymLink());
    ASSERT_TRUE(mine.open(QIODevice::ReadOnly));
    EXPECT_EQ(mine.readAll(), "kept\r\n");
    mine.close();
    QStringList onDisk = QDir(folder).entryList(QDir::Files | QDir::System);
    EXPECT_EQ(onDisk.size(), tables.size() - 1 + 2) << onDisk.join(' ').toStdString();
    EXPECT_FALSE(onDisk.contains(cleanFile)) << cleanFile.toStdString();
    QStringList expected = files.values() + QStringList{"notes.txt", "mine.csv"};
    expected.sort();
    onDisk.sort();
    EXPECT_EQ(onDisk, expected) << "every table keeps the file the earlier run gave it";

    // A link in place of the folder is not written through: the tables fail
    // with the reason, their figures stay those of the target, and the folder
    // it points to is left as it was.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    ASSERT_TRUE(QFile::link(outside.path(), folder));
    ASSERT_EQ(run({"a/b"}), RunOutcome::Completed);
    EXPECT_EQ(QDir(outside.path()).entryList(QDir::Files), QStringList{"mine.csv"});
    ASSERT_EQ(lastReport.tables.size(), 1u);
    const TableResult &t = lastReport.tables[0];
    EXPECT_TRUE(t.errors.join(' ').contains("symbolic link")) << t.errors.join(' ').toStdString();
    EXPECT_EQ(t.rowsWritten, targetRows("a/b"));
    EXPECT_EQ(t.rowsRead, 10);
}
