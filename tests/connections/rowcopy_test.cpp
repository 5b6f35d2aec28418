// The row copy's byte cap: a batch is applied early when the bytes it holds
// reach kBatchByteCap, every row arrives whole, and the row-count batch
// points, pumps and ledger rows stay where they are.

#include "connections/embedded/embeddedreader.h"
#include "connections/rowcopy.h"
#include "engine/core/errors.h"
#include "tests/support/batchspy.h"
#include "tests/support/testenv.h"

#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <thread>

#include <gtest/gtest.h>

using namespace tavrex;
using namespace tavrex::test;

namespace {

constexpr int kMiB = 1024 * 1024;

// The payload of source row `id`: `size` bytes of one letter per row, so a
// row cut short or swapped with another shows.
QByteArray payload(int id, int size) { return QByteArray(size, char('A' + id % 26)); }

class ByteCap : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        database = QStringLiteral("tvx_bytecap");
        recreateDatabase(database);
        source.params() = sandboxParams(database);
        source.connect();
        OracleLogin login;
        login.service = QStringLiteral("embedded:") + dir.filePath(QStringLiteral("target.db"));
        login.user = QStringLiteral("scott");
        target = openOracleSession(login);
        newTargetTable();
    }

    void newTargetTable()
    {
        try {
            target->execute("drop table \"B\"");
        } catch (const DatabaseError &) {
        }
        target->execute("Create table \"B\" (\"ID\" number, \"DATA\" BLOB)");
        target->execute("alter table \"B\"  add constraint \"PK_B\" primary key (\"ID\")");
    }

    // Source table b, read in insertion order: ids 1..rows, each with `size`
    // bytes; `duplicate` (when set) is a row that repeats the id 1.
    void fill(int rows, int size, int duplicate = 0)
    {
        sandboxExec({"drop table if exists b", "create table b (id int, data longblob)",
                     QStringLiteral("insert into b select if(seq = %1, 1, seq), repeat(char(65 + seq mod 26), %2) "
                                    "from seq_1_to_%3")
                         .arg(duplicate)
                         .arg(size)
                         .arg(rows)},
                    database);
    }

    TStepResult copy(BatchSpy &spy, const CopyOptions &options = {})
    {
        log.Append("Insert table B... ");
        control.setPump([&] { ++pumps; });
        return CopyRows(source, spy, buffer, "b", "B", log, control, options);
    }

    QTemporaryDir dir;
    QString database;
    MySqlConnection source;
    std::unique_ptr<OracleSession> target;
    RowBuffer buffer;
    TRunLog log;
    RunControl control;
    int pumps = 0;
};

TEST_F(ByteCap, LargeRowsAreAppliedEarlyAtTheCapAndArriveWhole)
{
    struct Case {
        const char *name;
        int rows;
        int size;
        std::vector<int> batches;
        std::chrono::milliseconds secondBatchDelay{0};
    } cases[] = {
        // 64 rows reach 64 MiB; the batch point after row 100 then sends the
        // 36 rows since, and the end the last 30.
        {"1 MiB rows", 130, kMiB, {64, 36, 30}},
        // Three rows hold 60 MiB, the fourth reaches the cap.
        {"20 MiB rows", 7, 20 * kMiB, {4, 3}},
        // A row at the cap goes by itself, its value taken from the source
        // row where it is: the next row is read only after it has been sent,
        // however long that takes.
        {"64 MiB rows", 3, 64 * kMiB, {1, 1, 1}, std::chrono::milliseconds(1500)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        newTargetTable();
        fill(c.rows, c.size);
        BatchSpy spy(*target);
        spy.secondBatchDelay = c.secondBatchDelay;
        pumps = 0;
        // Every large row is followed by a look at the window.
        int responsivePumps = 0;
        control.setResponsivePump([&] { ++responsivePumps; });
        control.setResponsivePeriod(std::chrono::milliseconds(0));
        const TStepResult r = copy(spy);
        EXPECT_TRUE(r.Ok) << r.ErrorText.toStdString();
        EXPECT_EQ(spy.sizes, c.batches);
        EXPECT_EQ(pumps, c.rows / 100);
        EXPECT_GE(responsivePumps, c.rows - c.rows / 100);
        EXPECT_EQ(log.lines().last(), QStringLiteral("Insert table B %1 Rows ").arg(c.rows));

        const QVector<QVector<OracleValue>> rows =
            readEmbeddedTable(dir.filePath(QStringLiteral("target.db")), "SCOTT", "B");
        ASSERT_EQ(rows.size(), c.rows);
        for (const QVector<OracleValue> &row : rows) {
            const int id = row.at(0).textValue().toInt();
            // (Not ASSERT_EQ, which would print megabytes.)
            ASSERT_TRUE(row.at(1).bytesValue() == payload(id, c.size)) << "row " << id << " holds other bytes";
        }
    }
}

TEST_F(ByteCap, SmallRowsKeepTheRowCountBatches)
{
    sandboxExec({"create table b (id int primary key, data longblob)",
                 "insert into b select seq, repeat('x', 100) from seq_1_to_5200"},
                database);
    BatchSpy spy(*target);
    const TStepResult r = copy(spy);
    EXPECT_TRUE(r.Ok) << r.ErrorText.toStdString();
    EXPECT_EQ(spy.sizes, (std::vector<int>{100, 5000, 100}));
}

// Each batch is converted into the target's form on the copy's own thread,
// while the batch before it is still on its way, and is sent with that form.
TEST_F(ByteCap, BatchesArePreparedOnTheCopysThreadWhileTheOneBeforeIsSent)
{
    sandboxExec({"create table b (id int primary key, data longblob)",
                 "insert into b select seq, repeat('x', seq % 50) from seq_1_to_5200"},
                database);
    BatchSpy spy(*target);
    spy.holdSecondUntilThirdPrepared = true;
    const TStepResult r = copy(spy);
    EXPECT_TRUE(r.Ok) << r.ErrorText.toStdString();
    EXPECT_EQ(spy.sizes, (std::vector<int>{100, 5000, 100}));
    EXPECT_EQ(spy.arrivedPrepared, (std::vector<bool>{true, true, true}));
    EXPECT_TRUE(spy.secondBatchSawThirdPrepared);
    ASSERT_EQ(spy.preparedOn.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(spy.preparedOn[i], std::this_thread::get_id());
        EXPECT_NE(spy.sentOn[i], std::this_thread::get_id());
    }
    const QVector<QVector<OracleValue>> rows =
        readEmbeddedTable(dir.filePath(QStringLiteral("target.db")), "SCOTT", "B");
    ASSERT_EQ(rows.size(), 5200);
    EXPECT_EQ(rows.at(5198).at(1).bytesValue(), QByteArray(5199 % 50, 'x'));
}

// The ledger names a rejected row by its source position also when the batch
// it was in began at an early apply.
TEST_F(ByteCap, RejectedRowsKeepTheirSourceNumbersAfterAnEarlyApply)
{
    for (const bool continuePast : {false, true}) {
        SCOPED_TRACE(continuePast ? "rows kept past rejections" : "batch rolled back");
        newTargetTable();
        fill(90, kMiB, 70);  // row 70 repeats the key of row 1
        RunLedger ledger;
        ledger.setPaths(dir.filePath(QStringLiteral("run%1.rejects.csv").arg(continuePast)),
                        dir.filePath(QStringLiteral("reload%1").arg(continuePast)));
        CopyOptions options;
        options.continuePastRejected = continuePast;
        options.ledger = &ledger;
        BatchSpy spy(*target);
        CopyCounts counts;
        log.Append("Insert table B... ");
        const TStepResult r = CopyRows(source, spy, buffer, "b", "B", log, control, options, &counts);
        EXPECT_EQ(r.Ok, continuePast) << r.ErrorText.toStdString();
        EXPECT_EQ(spy.sizes, (std::vector<int>{64, 26}));
        EXPECT_EQ(counts.rowsRejected, 1);
        EXPECT_EQ(counts.rowsWritten, continuePast ? 89 : 64);
        ledger.close();
        QFile f(ledger.ledgerPath());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(f.readAll()).split("\r\n", Qt::SkipEmptyParts);
        // Kept past rejections, the ledger also names the row's reload file.
        ASSERT_EQ(lines.size(), continuePast ? 3 : 2);
        EXPECT_TRUE(lines.at(1).startsWith("b,70,,")) << lines.at(1).toStdString();
        if (continuePast) {
            EXPECT_EQ(lines.at(2), "b,,,reload file,B.csv");
        }
    }
}

// One copy of `table` into an embedded target at dir/name.db (its table
// made by `ddl`) with a ledger at dir/name.rejects.csv: what it returned,
// logged, recorded and counted. `through` wraps the target session (a spy).
struct LedgeredCopy {
    TStepResult result;
    QStringList log;
    QByteArray ledger;
    CopyCounts counts;
    std::unique_ptr<OracleSession> target;

    LedgeredCopy(const QTemporaryDir &dir, const QString &name, const QString &database, const QString &table,
                 const QString &targetName, const QStringList &ddl, CopyOptions options, RunControl &control,
                 const std::function<OracleSession &(OracleSession &)> &through = {})
    {
        OracleLogin login;
        login.service = QStringLiteral("embedded:") + dir.filePath(name + QStringLiteral(".db"));
        login.user = QStringLiteral("scott");
        target = openOracleSession(login);
        for (const QString &statement : ddl)
            target->execute(statement);
        MySqlConnection source;
        source.params() = sandboxParams(database);
        source.connect();
        RunLedger records;
        records.setPaths(dir.filePath(name + QStringLiteral(".rejects.csv")), dir.filePath(name));
        options.ledger = &records;
        RowBuffer buffer;
        TRunLog copyLog;
        copyLog.Append(QStringLiteral("Insert table %1... ").arg(targetName));
        result = CopyRows(source, through ? through(*target) : *target, buffer, table, targetName, copyLog, control,
                          options, &counts);
        log = copyLog.lines();
        records.close();
        QFile f(records.ledgerPath());
        if (f.open(QIODevice::ReadOnly))
            ledger = f.readAll();
    }
};

// A batch sent while the next rows are read leaves the same log, ledger,
// counts and target as a copy that sends every batch before reading on:
// when the batch on its way is rejected (what was read after it never
// counts), when the server breaks off the read, and when "Stop" is pressed.
TEST(SendAhead, EndsAsACopyThatSendsEachBatchBeforeReadingOn)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString database = QStringLiteral("tvx_sendahead");
    recreateDatabase(database);
    // Rows after 5150 hold zero dates: per-field error lines and ledger
    // records while the batch of rows 101-5100 is on its way. Reading the
    // view fails at row 5201 (its subquery returns two rows there).
    sandboxExec({"set session sql_mode = ''", "create table s (id int, d date)",
                 "insert into s select seq, if(seq > 5150, '0000-00-00', '2024-01-31') from seq_1_to_5300",
                 "create view s_broken as select id, if((select seq from seq_1_to_2 where s.id = 5201) is null, "
                 "d, d) as d from s"},
                database);

    struct Outcome {
        TStepResult result;
        QStringList log;
        QByteArray ledger;
        CopyCounts counts;
        std::vector<int> batches;
        qint64 targetRows = 0;
    };
    enum class Fault { None, Rejected, SourceError, Stop };
    auto copy = [&](Fault fault, bool sendAhead) {
        if (fault == Fault::Rejected)
            sandboxExec({"update s set id = 1 where id = 3000"}, database);
        CopyOptions options;
        options.sendAhead = sendAhead;
        RunControl control;
        options.progress = [&](std::int64_t rows) {
            if (fault == Fault::Stop && rows == 5100)
                control.requestStop();
        };
        std::unique_ptr<BatchSpy> spy;
        LedgeredCopy c(dir, QStringLiteral("f%1_%2").arg(int(fault)).arg(sendAhead), database,
                       fault == Fault::SourceError ? "s_broken" : "s", "S",
                       {"Create table \"S\" (\"ID\" number, \"D\" DATE)",
                        "alter table \"S\"  add constraint \"PK_S\" primary key (\"ID\")"},
                       options, control, [&](OracleSession &target) -> OracleSession & {
                           spy = std::make_unique<BatchSpy>(target);
                           spy->secondBatchDelay = std::chrono::milliseconds(300);
                           return *spy;
                       });
        if (fault == Fault::Rejected)
            sandboxExec({"update s set id = 3000 where id = 1 limit 1"}, database);
        return Outcome{c.result, c.log, c.ledger, c.counts, spy->sizes,
                       c.target->queryCount("select count(*) from \"S\"")};
    };

    for (const Fault fault : {Fault::None, Fault::Rejected, Fault::SourceError, Fault::Stop}) {
        SCOPED_TRACE(int(fault));
        const Outcome ahead = copy(fault, true);
        const Outcome inTurn = copy(fault, false);
        EXPECT_EQ(ahead.result.Ok, inTurn.result.Ok);
        EXPECT_EQ(ahead.result.ErrorText, inTurn.result.ErrorText);
        EXPECT_EQ(ahead.log, inTurn.log);
        EXPECT_EQ(ahead.ledger, inTurn.ledger);
        EXPECT_EQ(ahead.batches, inTurn.batches);
        EXPECT_EQ(ahead.targetRows, inTurn.targetRows);
        EXPECT_EQ(ahead.counts.rowsRead, inTurn.counts.rowsRead);
        EXPECT_EQ(ahead.counts.valuesRejected, inTurn.counts.valuesRejected);
        EXPECT_EQ(ahead.counts.rowsRejected, inTurn.counts.rowsRejected);
        for (const Outcome *o : {&ahead, &inTurn}) {
            EXPECT_EQ(o->counts.rowsWritten, o->targetRows);
            switch (fault) {
            case Fault::None:
                EXPECT_TRUE(o->result.Ok);
                EXPECT_EQ(o->targetRows, 5300);
                EXPECT_EQ(o->counts.valuesRejected, 150);
                ASSERT_EQ(o->log.size(), 22);
                EXPECT_EQ(o->log.first(), "Insert table S 5100 Rows ");
                EXPECT_EQ(o->log.at(1), "d:TDateField");
                EXPECT_EQ(o->log.last(), "Insert table S 5300 Rows ");
                break;
            case Fault::Rejected:
                // The batch of rows 101-5100 is rolled back: the copy ends
                // there, and nothing read after row 5100 counts.
                EXPECT_FALSE(o->result.Ok);
                EXPECT_EQ(o->targetRows, 100);
                EXPECT_EQ(o->counts.rowsRead, 5100);
                EXPECT_EQ(o->counts.valuesRejected, 0);
                EXPECT_EQ(o->log, (QStringList{"Insert table S 5000 Rows "}));
                EXPECT_TRUE(o->ledger.contains("s,3000,,")) << o->ledger.toStdString();
                EXPECT_FALSE(o->ledger.contains("zero date"));
                break;
            case Fault::SourceError:
                EXPECT_FALSE(o->result.Ok);
                EXPECT_TRUE(o->result.ErrorText.contains("Subquery returns more than 1 row"))
                    << o->result.ErrorText.toStdString();
                EXPECT_EQ(o->targetRows, 5100);
                EXPECT_EQ(o->counts.valuesRejected, 50);
                EXPECT_EQ(o->log.last(), "Insert table S 5200 Rows ");
                break;
            case Fault::Stop:
                EXPECT_EQ(o->result.ErrorText, operationAbortedText());
                EXPECT_EQ(o->targetRows, 5100);
                EXPECT_EQ(o->log, (QStringList{"Insert table S 5100 Rows "}));
                break;
            }
        }
    }
}

// Text, bytes, integers, decimals and dates usually go into the batch
// straight from the server's bytes; the values those ways leave to the
// general conversion (zero fill, a zero year, a decimal of more than 38
// characters, zero and skipped dates, fractions a DATE cannot keep, invalid
// UTF-8) must come out exactly as the general conversion makes them. The
// copy that keeps source values for the reload files takes the general way
// for every value: both copies must leave the same target, log and ledger.
TEST(DirectValues, LeaveWhatTheGeneralConversionLeaves)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString database = QStringLiteral("tvx_direct");
    recreateDatabase(database);
    sandboxExec({"set session sql_mode = ''",
                 "create table shapes (id int, z int(5) zerofill, y year, u bigint unsigned, n int, "
                 "d decimal(45,10), e decimal(5,2), dt date, dtm datetime, dt6 datetime(6), t varchar(20), "
                 "l varchar(20) character set latin1, b varbinary(10))",
                 "insert into shapes values (1, 42, 0, 18446744073709551615, -5, "
                 "-12345678901234567890123456789012345.1234567890, -0.5, '0000-00-00', '1582-10-10 10:00:00', "
                 "'2024-01-31 10:00:00.123456', '汉字 😀', 'Straße', x'00ff')",
                 "insert into shapes values (2, 0, 2024, 0, 0, 0, 0, '2024-02-29', '9999-12-31 23:59:59', "
                 "'2024-01-31 10:00:00.000000', '', '', '')",
                 "insert into shapes values (3, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, "
                 "NULL)",
                 "insert into shapes values (4, 7, 1999, 1, -2147483648, 99.9999999999, 999.99, '1000-01-01', "
                 "'2000-02-29 23:59:59', '1999-12-31 23:59:59', 'x', 'é', x'')"},
                database);

    struct Outcome {
        TStepResult result;
        QStringList log;
        QByteArray ledger;
        QVector<QVector<OracleValue>> rows;
    };
    auto copy = [&](bool general) {
        const QString name = general ? QStringLiteral("general") : QStringLiteral("direct");
        CopyOptions options;
        options.continuePastRejected = general;
        RunControl control;
        LedgeredCopy c(dir, name, database, "shapes", "SHAPES",
                       {"Create table \"SHAPES\" (\"ID\" number, \"Z\" number, \"Y\" number, \"U\" number, "
                        "\"N\" number, \"D\" number, \"E\" number(5,2), \"DT\" date, \"DTM\" date, "
                        "\"DT6\" date, \"T\" varchar2(20), \"L\" varchar2(20), \"B\" raw(10))"},
                       options, control);
        c.target.reset();
        return Outcome{c.result, c.log, c.ledger,
                       readEmbeddedTable(dir.filePath(name + QStringLiteral(".db")), "SCOTT", "SHAPES")};
    };
    const Outcome direct = copy(false);
    const Outcome general = copy(true);
    EXPECT_TRUE(direct.result.Ok) << direct.result.ErrorText.toStdString();
    EXPECT_TRUE(general.result.Ok) << general.result.ErrorText.toStdString();
    EXPECT_EQ(direct.log, general.log);
    EXPECT_EQ(direct.ledger, general.ledger);
    ASSERT_EQ(direct.rows.size(), 4);
    EXPECT_EQ(direct.rows, general.rows);
    // What the ledger holds shows that the general way ran for them.
    for (const char *reason : {"zero date", "day skipped by the calendar change of 1582", "fractions of a second"})
        EXPECT_TRUE(direct.ledger.contains(reason)) << reason << "\n" << direct.ledger.toStdString();
    EXPECT_EQ(direct.rows.at(0).at(1).textValue(), "42");
    EXPECT_EQ(direct.rows.at(0).at(3).textValue(), "18446744073709551615");
    EXPECT_EQ(direct.rows.at(0).at(10).textValue(), QString::fromUtf8("汉字 😀"));
    EXPECT_EQ(direct.rows.at(0).at(11).textValue(), QString::fromUtf8("Straße"));
}

} // namespace
