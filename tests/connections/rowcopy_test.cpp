// The row copy's byte cap: a batch is applied early when the bytes it holds
// reach kBatchByteCap, every row arrives whole, and the row-count batch
// points, pumps and ledger rows stay where they are.

#include "connections/embedded/embeddedreader.h"
#include "connections/rowcopy.h"
#include "engine/errors.h"
#include "tests/support/testenv.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tavrex;
using namespace tavrex::test;

namespace {

// Records the size of every batch and passes every call on.
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
    BatchResult insertBatchKeepingAccepted(const QString &table, const OracleRowBatch &batch) override
    {
        sizes.push_back(batch.rowCount());
        return inner_.insertBatchKeepingAccepted(table, batch);
    }
    std::vector<int> sizes;

private:
    OracleSession &inner_;
};

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
    } cases[] = {
        // 64 rows reach 64 MiB; the batch point after row 100 then sends the
        // 36 rows since, and the end the last 30.
        {"1 MiB rows", 130, kMiB, {64, 36, 30}},
        // Three rows hold 60 MiB, the fourth reaches the cap.
        {"20 MiB rows", 7, 20 * kMiB, {4, 3}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        newTargetTable();
        fill(c.rows, c.size);
        BatchSpy spy(*target);
        pumps = 0;
        const TStepResult r = copy(spy);
        EXPECT_TRUE(r.Ok) << r.ErrorText.toStdString();
        EXPECT_EQ(spy.sizes, c.batches);
        EXPECT_EQ(pumps, c.rows / 100);
        EXPECT_EQ(log.lines().last(), QStringLiteral("Insert table B %1 Rows ").arg(c.rows));

        const QVector<QVector<OracleValue>> rows =
            readEmbeddedTable(dir.filePath(QStringLiteral("target.db")), "SCOTT", "B");
        ASSERT_EQ(rows.size(), c.rows);
        for (const QVector<OracleValue> &row : rows) {
            const int id = row.at(0).textValue().toInt();
            ASSERT_EQ(row.at(1).bytesValue(), payload(id, c.size)) << "row " << id;
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
        ASSERT_EQ(lines.size(), 2);
        EXPECT_TRUE(lines.at(1).startsWith("b,70,,")) << lines.at(1).toStdString();
    }
}

} // namespace
