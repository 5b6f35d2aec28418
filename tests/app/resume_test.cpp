// The real program killed and resumed, and two replays of one job at once,
// into the embedded target: the record of conversions is what lets a run
// continue where a killed one stopped, and keeps two runs off one table.

#include "connections/embedded/embeddedreader.h"
#include "tests/support/testenv.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <sqlite3.h>

using namespace tavrex;
using namespace tavrex::test;

namespace {

constexpr qint64 kBigRows = 2000000;
constexpr qint64 kBatchRows = 5000;
const char *const kDatabase = "tvx_resume";

// A replay of the program, running.
class Replay {
public:
    Replay(const QString &job, const QString &home, const QStringList &more = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", home + "/config");
        env.insert("XDG_DATA_HOME", home + "/data");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        p_.setProcessEnvironment(env);
        p_.start(binaryDir() + "/app/tavrex", QStringList{"--no-window"} + more + QStringList{job});
        p_.waitForStarted();
    }
    ~Replay()
    {
        if (p_.state() != QProcess::NotRunning) {
            p_.kill();
            p_.waitForFinished();
        }
    }
    // The log lines printed so far (each once it is final).
    const QString &out()
    {
        p_.waitForReadyRead(20);
        out_ += QString::fromLocal8Bit(p_.readAllStandardOutput());
        return out_;
    }
    bool running() const { return p_.state() != QProcess::NotRunning; }
    qint64 pid() const { return p_.processId(); }
    void kill()
    {
        ::kill(pid_t(p_.processId()), SIGKILL);
        p_.waitForFinished();
    }
    // The exit code; -1 for a crash or a time-out.
    int wait()
    {
        if (!p_.waitForFinished(300000))
            return -1;
        out();
        return p_.exitStatus() == QProcess::NormalExit ? p_.exitCode() : -1;
    }

private:
    QProcess p_;
    QString out_;
};

// A number from the target file, read as another program would while a run
// writes it (-1 when there is none yet).
qint64 queryTarget(const QString &path, const QString &sql)
{
    sqlite3 *db = nullptr;
    qint64 value = -1;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, 5000);
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            value = sqlite3_column_int64(stmt, 0);
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return value;
}

class ResumeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        recreateDatabase(kDatabase);
        sandboxExec({"set max_recursive_iterations = 10000000",
                     "create table big (id int primary key, name varchar(30), amount decimal(12,2), day date)",
                     QStringLiteral("insert into big with recursive s(n) as (select 1 union all select n + 1 from s "
                                    "where n < %1) select n, concat('name ', n), n / 7, "
                                    "date_add('2000-01-01', interval n % 9000 day) from s")
                         .arg(kBigRows),
                     "create table heap (n int, name varchar(30))",
                     "insert into heap select id, name from big where id <= 300000"},
                    kDatabase);
    }

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        target = dir.filePath("target.db");
    }

    QString writeJob(const QString &name, const QStringList &tables, bool resume, bool verify)
    {
        const MySqlSandbox &s = mysqlSandbox();
        QStringList lines{"accessmode=1",      "mysqldatabase=" + QString(kDatabase),
                          "port=" + s.port,    "mysqlu=" + s.user,
                          "mysqlp=" + s.password, "host=127.0.0.1",
                          "oracleh=embedded:" + target, "oracleu=scott",
                          "oraclep=x",         "processtable=0",
                          "character_set=Default", "tabledefonly=0",
                          "skipindex=0",       "nameuppercase=1",
                          "blobtotext=0",      "rejectrows=0",
                          "verify=" + QString(verify ? "1" : "0"), "keepdetails=0",
                          "resume=" + QString(resume ? "1" : "0"), "alltables=0"};
        for (int i = 0; i < tables.size(); ++i)
            lines << QStringLiteral("tables%1=%2").arg(i + 1).arg(tables[i]);
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write((lines.join("\r\n") + "\r\n").toUtf8());
        return path;
    }

    qint64 rowsIn(const QString &table) const
    {
        return queryTarget(target, QStringLiteral("select count(*) from \"SCOTT.%1\"").arg(table));
    }
    qint64 distinctIn(const QString &table, const QString &column) const
    {
        return queryTarget(target, QStringLiteral("select count(distinct \"%2\") from \"SCOTT.%1\"").arg(table, column));
    }
    qint64 recordedRows(const QString &table) const
    {
        return queryTarget(target, QStringLiteral("select rows_read from \"SCOTT.TAVREX_CONVERSIONS\" where "
                                                  "target_table = '%1'")
                                       .arg(table));
    }
    // The record says the table's copy is complete (the count and the
    // verification follow).
    bool copied(const QString &table) const
    {
        return queryTarget(target, QStringLiteral("select count(*) from \"SCOTT.TAVREX_CONVERSIONS\" where "
                                                  "target_table = '%1' and state = 'copied'")
                                       .arg(table)) == 1;
    }
    // The record names the process as the run that holds the table.
    bool heldBy(const QString &table, qint64 pid) const
    {
        return queryTarget(target, QStringLiteral("select count(*) from \"SCOTT.TAVREX_CONVERSIONS\" where "
                                                  "target_table = '%1' and process_id = %2")
                                       .arg(table)
                                       .arg(pid)) == 1;
    }
    // The rows the last replay of the job read from its report.
    qint64 reportedRowsRead(const QString &job, const QString &table) const
    {
        QFile f(QString(job).replace(".qelt", ".report.json"));
        if (!f.open(QIODevice::ReadOnly))
            return -1;
        for (const QJsonValue &t : QJsonDocument::fromJson(f.readAll()).object()["tables"].toArray())
            if (t["source"].toString() == table)
                return qint64(t["rowsRead"].toDouble());
        return -1;
    }

    QTemporaryDir dir;
    QString target;
};

} // namespace

TEST_F(ResumeTest, AReplayKilledAnywhereIsCompletedByItsResumeWithEveryRowOnce)
{
    const QString job = writeJob("job.qelt", {"big"}, false, true);
    // Where each replay is killed: a condition on its output or the target.
    struct Point {
        const char *where;
        std::function<bool(Replay &)> reached;
        int afterMs;
    };
    const Point points[] = {
        {"in the key step", [](Replay &r) { return r.out().contains("Create table BIG...Done"); }, 0},
        {"during the batches", [this](Replay &) { return recordedRows("BIG") >= 300000; }, 0},
        {"between two batches", [this](Replay &) { return recordedRows("BIG") >= 900000; }, 7},
        {"during the batches, later", [this](Replay &) { return recordedRows("BIG") >= 1500000; }, 0},
        {"in the count", [this](Replay &) { return copied("BIG"); }, 0},
        // The replay has taken the copied table over (its run is in the
        // record) and verifies it, which takes seconds.
        {"in the verification", [this](Replay &r) { return heldBy("BIG", r.pid()); }, 400},
    };
    bool first = true;
    for (const Point &point : points) {
        SCOPED_TRACE(point.where);
        Replay replay(job, dir.path(), first ? QStringList{} : QStringList{"--resume"});
        first = false;
        const QDeadlineTimer deadline(120000);
        while (replay.running() && !point.reached(replay) && !deadline.hasExpired())
            QThread::msleep(5);
        QThread::msleep(point.afterMs);
        ASSERT_TRUE(replay.running()) << "the run ended before it could be killed " << point.where << ":\n"
                                      << replay.out().toStdString();
        replay.kill();
        // Whatever the moment, the record and the rows agree.
        const qint64 rows = rowsIn("BIG");
        if (rows >= 0 && recordedRows("BIG") >= 0 && rows < kBigRows) {
            EXPECT_EQ(recordedRows("BIG"), rows);
        }
        EXPECT_EQ(distinctIn("BIG", "ID"), rows) << "no row is there twice";
    }

    // The last resume completes: every row once, the copy verified equal,
    // and nothing read twice but what was not committed.
    const qint64 committed = rowsIn("BIG");
    const bool verifiedBefore = queryTarget(target, "select count(*) from \"SCOTT.TAVREX_CONVERSIONS\" where "
                                                    "state = 'verified'") == 1;
    Replay last(job, dir.path(), {"--resume"});
    ASSERT_EQ(last.wait(), 0) << last.out().toStdString();
    EXPECT_TRUE(last.out().contains("Verify table BIG: 2000000 rows equal")) << last.out().toStdString();
    EXPECT_EQ(rowsIn("BIG"), kBigRows);
    EXPECT_EQ(distinctIn("BIG", "ID"), kBigRows);
    // (A kill that came after the verification's end leaves nothing to
    // resume: the replay then converts the table again.)
    if (!verifiedBefore) {
        const qint64 reread = reportedRowsRead(job, "big") - (kBigRows - committed);
        EXPECT_GE(reread, 0);
        EXPECT_LE(reread, kBatchRows) << "a resume re-reads at most the batch that was not committed\n"
                                      << last.out().toStdString();
    }
}

TEST_F(ResumeTest, TwoReplaysOfOneJobAtOnceNeverWriteATableTwice)
{
    const QString job = writeJob("job.qelt", {"big", "heap"}, false, false);
    Replay a(job, dir.path());
    // The second starts while the first copies BIG.
    const QDeadlineTimer deadline(120000);
    while (a.running() && recordedRows("BIG") < 100000 && !deadline.hasExpired())
        QThread::msleep(5);
    const QString second = writeJob("second.qelt", {"big", "heap"}, false, false);
    Replay b(second, dir.path());
    const int codeB = b.wait();
    const int codeA = a.wait();
    EXPECT_NE(codeB, 0) << "BIG was claimed by the first replay";
    EXPECT_TRUE(b.out().contains(QRegularExpression(
        R"(Table BIG is being converted by another run \(.*, process \d+, since \d\d:\d\d:\d\d\))")))
        << b.out().toStdString();
    // Neither says all went well when a table holds anything but its rows.
    for (const auto &[code, out] : {std::pair{codeA, a.out()}, std::pair{codeB, b.out()}}) {
        if (code == 0) {
            EXPECT_EQ(rowsIn("BIG"), kBigRows) << out.toStdString();
            EXPECT_EQ(rowsIn("HEAP"), 300000) << out.toStdString();
        }
    }
    // The first may meet the second in HEAP (the second went on to it while
    // the first copied BIG): then it says so, and fails that table alone.
    if (codeA != 0) {
        EXPECT_EQ(codeA, 2) << a.out().toStdString();
        EXPECT_TRUE(a.out().contains("Table HEAP is being converted by another run")) << a.out().toStdString();
    }
    EXPECT_EQ(rowsIn("BIG"), kBigRows);
    EXPECT_EQ(distinctIn("BIG", "ID"), kBigRows);
    EXPECT_EQ(rowsIn("HEAP"), 300000) << "the table without a key holds its rows once";
    EXPECT_EQ(distinctIn("HEAP", "N"), 300000);
}
