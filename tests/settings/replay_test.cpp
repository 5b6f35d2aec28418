#include "connections/embedded/embeddedreader.h"
#include "tests/support/testenv.h"

#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tavrex;
using namespace tavrex::test;

namespace {

// Runs the real program on a settings file, with a private configuration and
// data folder; returns the exit code, stdout in out and stderr in err.
int runProgram(const QStringList &arguments, const QString &home, QString *out, QString *err)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", home + "/config");
    env.insert("XDG_DATA_HOME", home + "/data");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.start(binaryDir() + "/app/tavrex", arguments);
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    *out = QString::fromLocal8Bit(p.readAllStandardOutput());
    *err = QString::fromLocal8Bit(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

class ReplayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        recreateDatabase("tvx_replay");
        sandboxExec({"create table alpha (id int primary key)", "insert into alpha values (1), (2)",
                     "create table beta (id int)", "insert into beta values (3)", "create table gamma (id int)"},
                    "tvx_replay");
        target = dir.filePath("target.db");
    }

    QString writeJob(const QString &name, const QString &oracleUser, const QStringList &tables)
    {
        const MySqlSandbox &s = mysqlSandbox();
        QStringList lines{"accessmode=1", "mysqldatabase=tvx_replay", "port=" + s.port, "mysqlu=" + s.user,
                          "mysqlp=" + s.password, "host=127.0.0.1", "oracleh=embedded:" + target,
                          "oracleu=" + oracleUser, "oraclep=x", "processtable=0", "character_set=Default",
                          "tabledefonly=0", "skipindex=0", "nameuppercase=1", "blobtotext=1", "alltables=0"};
        lines += tables;
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write((lines.join("\r\n") + "\r\n").toUtf8());
        return path;
    }

    QTemporaryDir dir;
    QString target;
};

} // namespace

TEST_F(ReplayTest, NoWindowReplayConvertsTheFilesTablesInFileOrder)
{
    const QString job = writeJob("job.qelt", "scott", {"tables2=gamma", "tables1= alpha ", "tables3=Beta"});
    QString out, err;
    ASSERT_EQ(runProgram({"--no-window", job}, dir.path(), &out, &err), 0) << err.toStdString();
    const int alpha = int(out.indexOf("Create table ALPHA...Done"));
    const int gamma = int(out.indexOf("Create table GAMMA...Done"));
    EXPECT_GE(gamma, 0) << out.toStdString();
    EXPECT_GT(alpha, gamma) << "tables2 comes first in the file";
    EXPECT_FALSE(out.contains("BETA")) << "a name that differs in case chooses nothing";
    EXPECT_TRUE(out.contains("Insert table ALPHA 2 Rows ...Done"));
    EXPECT_EQ(listEmbeddedTables(target, "SCOTT"), (QStringList{"GAMMA", "ALPHA"}));

    QFile log(dir.filePath("job.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly)) << "the log lies next to the settings file";
    EXPECT_TRUE(log.readAll().contains("Insert table ALPHA 2 Rows ...Done\r\n"));

    // The settings store now holds the file's values.
    QSettings store(dir.path() + "/config/Kestrova/Tavrex.conf", QSettings::IniFormat);
    EXPECT_EQ(store.value("mysqldatabase").toString(), "tvx_replay");
    EXPECT_EQ(store.value("oracleh").toString(), "embedded:" + target);
    EXPECT_EQ(store.value("accessmode").toString(), "1");
    EXPECT_EQ(store.value("blobtotext").toString(), "1");
}

TEST_F(ReplayTest, TheWindowedReplayEndsTheProgramAfterTheRun)
{
    const QString job = writeJob("shown.qelt", "scott", {"tables1=beta"});
    QString out, err;
    ASSERT_EQ(runProgram({job}, dir.path(), &out, &err), 0) << err.toStdString();
    EXPECT_EQ(readEmbeddedTable(target, "SCOTT", "BETA").size(), 1);
    EXPECT_TRUE(QFile::exists(dir.filePath("shown.log")));
}

TEST_F(ReplayTest, AFailedOracleLoginStopsOnPage3AndExitsNonZero)
{
    const QString job = writeJob("bad.qelt", "", {"tables1=alpha"});
    QString out, err;
    EXPECT_EQ(runProgram({"--no-window", job}, dir.path(), &out, &err), 1);
    EXPECT_TRUE(err.contains("Error on page 3: ORA-01017: invalid username/password; logon denied")) << err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("bad.log"))) << "only a run that reaches its end writes the log";
}

TEST_F(ReplayTest, ABlankDatabaseEndsTheReplayWithoutAWindow)
{
    QString job = writeJob("blank.qelt", "scott", {"tables1=alpha"});
    QFile f(job);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    QByteArray text = f.readAll().replace("mysqldatabase=tvx_replay", "mysqldatabase=  ");
    f.resize(0);
    f.write(text);
    f.close();
    QString out, err;
    EXPECT_EQ(runProgram({"--no-window", job}, dir.path(), &out, &err), 1) << "ends instead of waiting for nobody";
    EXPECT_TRUE(err.contains("Error on page 2: 请输入数据库名称")) << err.toStdString();
}

TEST_F(ReplayTest, AMissingSettingsFileWritesItsOneLineLog)
{
    QString out, err;
    EXPECT_EQ(runProgram({"--no-window", dir.filePath("absent.qelt")}, dir.path(), &out, &err), 1);
    QFile log(dir.filePath("absent.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    EXPECT_TRUE(text.endsWith("\r\n"));
    EXPECT_EQ(text.count("\r\n"), 1);
    EXPECT_TRUE(text.contains("absent.qelt"));
}

TEST_F(ReplayTest, LanguageOnTheCommandLineHoldsForThatReplayOnly)
{
    const QString job = writeJob("english.qelt", "scott", {"tables1=beta"});
    QString out, err;
    ASSERT_EQ(runProgram({"--no-window", "--language", "en", job}, dir.path(), &out, &err), 0) << err.toStdString();
    EXPECT_TRUE(out.contains("Conversion is Completed\n")) << out.toStdString();
    EXPECT_TRUE(out.contains("Click 'Finish' to exit the wizard.")) << out.toStdString();
    EXPECT_FALSE(out.contains("已经完成转换"));
    QSettings store(dir.path() + "/config/Kestrova/Tavrex.conf", QSettings::IniFormat);
    EXPECT_EQ(store.value("language").toString(), "cn") << "the remembered language stays";
}
