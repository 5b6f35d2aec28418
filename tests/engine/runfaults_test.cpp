// A MySQL server that freezes, drops the catalogue session or dies while a
// run copies: the table in work fails with the error, the run goes on, and
// the run always ends with its summary and its saved log.
#include "connections/embedded/embeddedreader.h"
#include "engine/conversionrun.h"
#include "engine/core/errors.h"
#include "tests/support/ownserver.h"
#include "tests/support/testenv.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tavrex;
using namespace tavrex::test;

namespace {

const QDateTime kClock(QDate(2024, 1, 2), QTime(9, 15, 5));

class RunFaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        server.exec({"create database shop"});
        server.exec({"create table big (id int, v varchar(100))",
                     "insert into big select seq, repeat('x', 100) from seq_1_to_300000",
                     "create table small (id int)", "insert into small values (1), (2), (3)",
                     "create table other (id int)", "insert into other values (4), (5)"},
                    "shop");
        s.AccessMode = 1;
        s.Host = "127.0.0.1";
        s.Port = server.port();
        s.MySqlUser = mysqlSandbox().user;
        s.MySqlPassword = mysqlSandbox().password;
        s.ConnectDatabase = s.SourceDatabase = "shop";
        s.OracleService = "embedded:" + dir.filePath("target.db");
        s.OracleUser = "scott";
        db.mysqlconnect.params() = mysqlCatalogueProfile(s);
        db.mysqlconnect.connect();
        step3Click(db, s);
    }

    RunOutcome run(const QStringList &tables)
    {
        s.SelectedTables = tables;
        ConversionRun r(db, s, log, control);
        r.setClock([] { return kClock; });
        r.setLocale(QLocale::c());
        r.setLogFolder(dir.filePath(""));
        const RunOutcome outcome = r.run();
        report = r.report();
        return outcome;
    }

    qint64 targetRows(const QString &table)
    {
        return readEmbeddedTable(dir.filePath("target.db"), "SCOTT", table).size();
    }

    OwnServer server;
    QTemporaryDir dir;
    TConversionSettings s;
    DatabaseObjects db;
    TRunLog log;
    RunControl control;
    RunReport report;
};

} // namespace

TEST_F(RunFaults, AFrozenServerFailsTheTableInWorkAndTheRunGoesOn)
{
    ScopedEnv timeout("TAVREX_MYSQL_TIMEOUT", "2");
    std::unique_ptr<Frozen> frozen;
    int pumps = 0;
    control.setPump([&] {
        ++pumps;
        if (pumps == 3)  // after row 200 of big
            frozen = std::make_unique<Frozen>(server.pid());
        else if (frozen && report.tables.empty() && log.LastLine().isEmpty())
            frozen.reset();  // the top of the next table: the server is back
    });
    ASSERT_EQ(run({"big", "small"}), RunOutcome::Completed);
    frozen.reset();
    ASSERT_EQ(report.tables.size(), 2u);
    ASSERT_EQ(report.tables[0].errors.size(), 1);
    EXPECT_TRUE(report.tables[0].errors[0].contains("sent nothing for 2 seconds"))
        << report.tables[0].errors[0].toStdString();
    EXPECT_TRUE(report.tables[1].errors.isEmpty()) << report.tables[1].errors.join('\n').toStdString();
    EXPECT_EQ(targetRows("SMALL"), 3);
    const qint64 big = targetRows("BIG");
    EXPECT_EQ((big - 100) % 5000, 0) << "only whole batches: " << big;
    EXPECT_EQ(report.tables[0].rowsWritten, big);
    EXPECT_EQ(report.finishedOutcome(), RunResultOutcome::CompletedWithErrors);
}

TEST_F(RunFaults, TheCatalogueSessionKilledDuringACopyIsReconnectedForTheNextTable)
{
    auto id = db.mysqlconnect.listing("select connection_id()");
    ASSERT_TRUE(id->next());
    const QString catalogueId = id->text(0);
    int pumps = 0;
    control.setPump([&] {
        if (++pumps == 3)
            server.exec({"kill " + catalogueId});
    });
    ASSERT_EQ(run({"big", "other"}), RunOutcome::Completed);
    for (const TableResult &t : report.tables)
        EXPECT_TRUE(t.errors.isEmpty()) << t.source.toStdString() << ": " << t.errors.join('\n').toStdString();
    EXPECT_EQ(targetRows("BIG"), 300000);
    EXPECT_EQ(targetRows("OTHER"), 2);
}

TEST_F(RunFaults, AServerKilledMidCopyLeavesWholeBatchesASavedLogAndExitCode2)
{
    const QString job = dir.filePath("job.qelt");
    QFile f(job);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    const QStringList lines{"accessmode=1", "mysqldatabase=shop", "port=" + server.port(),
                            "mysqlu=" + s.MySqlUser, "mysqlp=" + s.MySqlPassword, "host=127.0.0.1",
                            "oracleh=" + s.OracleService, "oracleu=scott", "oraclep=x", "processtable=0",
                            "character_set=Default", "tabledefonly=0", "skipindex=0", "nameuppercase=1",
                            "blobtotext=0", "alltables=0", "tables1=big", "tables2=small"};
    f.write((lines.join("\r\n") + "\r\n").toUtf8());
    f.close();
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    env.insert("XDG_DATA_HOME", dir.filePath("data"));
    env.insert("TAVREX_MYSQL_TIMEOUT", "5");
    p.setProcessEnvironment(env);
    p.start(binaryDir() + "/app/tavrex", {"--no-window", job});
    ASSERT_TRUE(p.waitForStarted());
    QByteArray out;
    for (int i = 0; i < 600 && !out.contains("Create table BIG...Done"); ++i) {
        p.waitForReadyRead(100);
        out += p.readAllStandardOutput();
    }
    ASSERT_TRUE(out.contains("Create table BIG...Done")) << out.toStdString();
    ::kill(server.pid(), SIGKILL);
    ASSERT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 2) << p.readAllStandardError().toStdString();
    QFile saved(dir.filePath("job.log"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly)) << "the run saves its log";
    const QString text = QString::fromUtf8(saved.readAll());
    EXPECT_TRUE(text.contains("Problem in table big (BIG)")) << text.toStdString();
    EXPECT_TRUE(text.contains("Problem in table small")) << text.toStdString();
    const qint64 big = targetRows("BIG");
    EXPECT_LT(big, 300000);
    EXPECT_TRUE(big == 0 || (big - 100) % 5000 == 0) << "only whole batches: " << big;
}
