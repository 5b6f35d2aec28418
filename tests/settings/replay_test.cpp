#include "connections/embedded/embeddedreader.h"
#include "tests/support/testenv.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

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

QString readText(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
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
    // A name the database does not list is an error of the run.
    ASSERT_EQ(runProgram({"--no-window", "--language=en", job}, dir.path(), &out, &err), 2) << err.toStdString();
    EXPECT_TRUE(out.contains("Table Beta named in job.qelt is not in database tvx_replay\n")) << out.toStdString();
    EXPECT_TRUE(out.contains("\nConversion is Completed\n")) << "--language=en chose English";
    EXPECT_TRUE(out.endsWith("The log, ledger and report are in " + QDir::toNativeSeparators(dir.path()) + "\n"))
        << out.toStdString();
    const int alpha = int(out.indexOf("Create table ALPHA...Done"));
    const int gamma = int(out.indexOf("Create table GAMMA...Done"));
    EXPECT_GE(gamma, 0) << out.toStdString();
    EXPECT_GT(alpha, gamma) << "tables2 comes first in the file";
    EXPECT_FALSE(out.contains("BETA")) << "a name that differs in case chooses nothing";
    EXPECT_TRUE(out.contains("Insert table ALPHA 2 Rows ...Done"));
    EXPECT_EQ(listEmbeddedTables(target, "SCOTT"), (QStringList{"TAVREX_CONVERSIONS", "TAVREX_CLAIMS", "GAMMA", "ALPHA"}))
        << "the record of conversions, then the tables in the order of the file";

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

TEST_F(ReplayTest, AReplayThatCannotRunSaysSoInPlaceOfTheEarlierRunsRecord)
{
    // A good night, then a night whose Oracle login fails: its log and its
    // report say so, and no earlier ledger is left to speak of another run.
    QString out, err;
    writeJob("night.qelt", "scott", {"tables1=alpha"});
    ASSERT_EQ(runProgram({"--no-window", dir.filePath("night.qelt")}, dir.path(), &out, &err), 0) << err.toStdString();
    writeFile(dir.filePath("night.rejects.csv"), "table,row,column,reason,value\r\nalpha,1,,old,\r\n");
    const QString job = writeJob("night.qelt", "", {"tables1=alpha"});
    EXPECT_EQ(runProgram({"--no-window", job}, dir.path(), &out, &err), 1);
    EXPECT_TRUE(err.contains("Error on page 3: ORA-01017: invalid username/password; logon denied")) << err.toStdString();
    const QString log = readText(dir.filePath("night.log"));
    EXPECT_TRUE(log.contains("ORA-01017: invalid username/password; logon denied")) << log.toStdString();
    EXPECT_FALSE(log.contains("Create table")) << "the good night's log is gone";
    const QJsonObject report = QJsonDocument::fromJson(readText(dir.filePath("night.report.json")).toUtf8()).object();
    EXPECT_EQ(report.value("outcome").toString(), "failed");
    EXPECT_TRUE(report.value("errors").toArray().first().toString().startsWith("ORA-01017")) << log.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("night.rejects.csv")));

    // The blank database name of page 2 fails the replay the same way.
    QString blank = readText(job).replace("mysqldatabase=tvx_replay", "mysqldatabase=  ");
    writeFile(job, blank.toUtf8());
    EXPECT_EQ(runProgram({"--no-window", job}, dir.path(), &out, &err), 1);
    EXPECT_TRUE(readText(dir.filePath("night.report.json")).contains("\"outcome\": \"failed\""));
    EXPECT_TRUE(readText(dir.filePath("night.log")).contains("请输入数据库名称"));
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

TEST_F(ReplayTest, ASettingsFileThatCannotBeLoadedWritesItsOneLineLog)
{
    // A job saved in GBK: its table name is not UTF-8, the code page here.
    const QString gbk = writeJob("gbk.qelt", "scott", {});
    QFile f(gbk);
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("Tables1=\xB6\xA9\xB5\xA5\r\n");  // 订单
    f.close();
    struct Case {
        const char *name;
        QStringList parts;
    } cases[] = {
        {"absent", {"Cannot open file \"" + dir.filePath("absent.qelt") + "\""}},
        {"gbk", {"Cannot read the settings file \"" + gbk + "\": line 17 is not valid text in UTF-8",
                 "Save the file in UTF-8, or with a UTF-8 or UTF-16 byte-order mark."}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QString out, err;
        EXPECT_EQ(runProgram({"--no-window", dir.filePath(QString(c.name) + ".qelt")}, dir.path(), &out, &err), 1);
        QFile log(dir.filePath(QString(c.name) + ".log"));
        ASSERT_TRUE(log.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(log.readAll());
        EXPECT_TRUE(text.endsWith("\r\n"));
        EXPECT_EQ(text.count("\r\n"), 1);
        for (const QString &part : c.parts) {
            EXPECT_TRUE(text.contains(part)) << text.toStdString();
            EXPECT_TRUE(out.contains(part)) << "the line is printed too: " << out.toStdString();
        }
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("target.db"))) << "no run was started";
}

TEST_F(ReplayTest, ExitCodesTellWhatTheRunDid)
{
    sandboxExec({"create table comp (id int, v varchar(100) compressed)", "insert into comp values (1, 'x')"},
                "tvx_replay");
    struct Case {
        const char *name;
        QStringList tables;
        int code;
        const char *outcome;
    } cases[] = {
        {"clean.qelt", {"tables1=alpha"}, 0, "completed"},
        {"errors.qelt", {"tables1=comp", "tables2=alpha"}, 2, "completed with errors"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString job = writeJob(c.name, "scott", c.tables);
        QString out, err;
        EXPECT_EQ(runProgram({"--no-window", job}, dir.path(), &out, &err), c.code) << err.toStdString();
        QFile report(QString(job).replace(".qelt", ".report.json"));
        ASSERT_TRUE(report.open(QIODevice::ReadOnly));
        EXPECT_TRUE(report.readAll().contains(QByteArray("\"outcome\": \"") + c.outcome + "\""));
    }
    QFile log(dir.filePath("errors.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(text.contains("Problem in table comp (COMP): Cannot convert column v")) << text.toStdString();
    EXPECT_TRUE(text.contains("Conversion completed with errors: see the summary above.") ||
                text.contains("转换已完成，但有错误：请查看上面的汇总。"));

    // A command line the program does not understand: the usage, exit 2, no file.
    QTemporaryDir home;
    for (const QStringList &arguments : {QStringList{"--frobnicate"}, QStringList{""},
                                         QStringList{"--no-window", "a.qelt", "b.qelt"},
                                         QStringList{"--no-window", "--language", "en"},
                                         QStringList{"--language", "fr", "--no-window", "a.qelt"},
                                         QStringList{"--language=fr", "--no-window", "a.qelt"}}) {
        QString out, err;
        EXPECT_EQ(runProgram(arguments, home.path(), &out, &err), 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(err.contains("Usage: tavrex")) << err.toStdString();
    }
    EXPECT_TRUE(QDir(home.path()).isEmpty()) << "nothing is written";

    // --help and --version answer wherever they stand.
    for (const QStringList &arguments : {QStringList{"--language", "en", "--help"},
                                         QStringList{"--no-window", "a.qelt", "--version"}}) {
        QString out, err;
        EXPECT_EQ(runProgram(arguments, home.path(), &out, &err), 0) << arguments.join(' ').toStdString();
        EXPECT_TRUE(out.contains("Usage: tavrex") || out.contains("Tavrex 4.0")) << out.toStdString();
    }
    // A settings file named like a file of a replay's record would be written
    // over by its own replay: refused, and nothing beside it changes.
    for (const char *name : {"nightly.log", "nightly.REJECTS.csv", "nightly.report.json"}) {
        const QString job = writeJob(name, "scott", {"tables1=alpha"});
        const QByteArray before = readText(job).toUtf8();
        QString out, err;
        EXPECT_EQ(runProgram({"--no-window", job}, dir.path(), &out, &err), 1) << name;
        EXPECT_TRUE(err.contains("cannot be a settings file")) << err.toStdString();
        EXPECT_EQ(readText(job).toUtf8(), before) << name;
        QFile::remove(job);
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("nightly.rejects.log")));

    // A settings file that selects no table converts nothing and says so.
    const QString none = writeJob("none.qelt", "scott", {"Tables1="});
    QString noneOut, noneErr;
    EXPECT_EQ(runProgram({"--no-window", "--language", "en", none}, dir.path(), &noneOut, &noneErr), 2);
    EXPECT_TRUE(noneOut.contains("The settings file none.qelt selects no table: nothing was converted"))
        << noneOut.toStdString();
    EXPECT_TRUE(readText(dir.filePath("none.report.json")).contains("\"outcome\": \"completed with errors\""));
}

TEST_F(ReplayTest, ASignalStopsTheCopySavesTheRecordAndExits130)
{
    sandboxExec({"create table big (id int, v varchar(20))",
                 "insert into big select seq, concat('row ', seq) from seq_1_to_3000000"},
                "tvx_replay");
    const QString job = writeJob("signal.qelt", "scott", {"tables1=big", "tables2=alpha"});
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", dir.path() + "/config");
    env.insert("XDG_DATA_HOME", dir.path() + "/data");
    p.setProcessEnvironment(env);
    p.start(binaryDir() + "/app/tavrex", {"--no-window", job});
    ASSERT_TRUE(p.waitForStarted());
    // The copy has begun once the create line is final (the printer writes a
    // line when the next one follows it).
    QByteArray out;
    for (int i = 0; i < 600 && !out.contains("Create table BIG...Done"); ++i) {
        p.waitForReadyRead(100);
        out += p.readAllStandardOutput();
    }
    ASSERT_TRUE(out.contains("Create table BIG...Done")) << out.toStdString();
    ::kill(pid_t(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 130);
    QFile log(dir.filePath("signal.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly)) << "a stopped replay saves its log";
    const QString text = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(text.contains("Operation aborted")) << text.toStdString();
    EXPECT_FALSE(text.contains("ALPHA")) << "the run ends at the next table's poll";
    EXPECT_TRUE(QFile::exists(dir.filePath("signal.report.json")));
    // Only whole batches: 100 rows, then batches of 5000.
    const qint64 rows = readEmbeddedTable(target, "SCOTT", "BIG").size();
    EXPECT_LT(rows, 3000000);
    EXPECT_EQ((rows - 100) % 5000, 0) << rows;
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

TEST_F(ReplayTest, ParallelOnTheCommandLineHoldsForThatReplayOnly)
{
    const QString job = writeJob("atonce.qelt", "scott", {"tables1=alpha", "tables2=beta", "tables3=gamma"});
    QString out, err;
    ASSERT_EQ(runProgram({"--no-window", "--parallel", "3", job}, dir.path(), &out, &err), 0) << err.toStdString();
    for (const char *line : {"Insert table ALPHA 2 Rows ...Done", "Insert table BETA 1 Rows ...Done",
                             "Insert table GAMMA 0 Rows ...Done"})
        EXPECT_TRUE(out.contains(line)) << out.toStdString();
    QSettings store(dir.path() + "/config/Kestrova/Tavrex.conf", QSettings::IniFormat);
    EXPECT_EQ(store.value("paralleltables").toString(), "1") << "the file's value is remembered";

    // Anything but a whole number from 1 to 16: the usage, exit 2.
    QTemporaryDir home;
    for (const char *n : {"0", "17", "two", ""}) {
        EXPECT_EQ(runProgram({"--no-window", "--parallel", n, job}, home.path(), &out, &err), 2) << n;
        EXPECT_TRUE(err.contains("Usage: tavrex")) << err.toStdString();
    }
    EXPECT_EQ(runProgram({"--no-window", job, "--parallel"}, home.path(), &out, &err), 2);
}

TEST_F(ReplayTest, TheProgressLineGoesToAStandardErrorTerminalOnlyAndLeavesTheLogLinesWhole)
{
    sandboxExec({"create table many (id int) engine=MyISAM", "insert into many select seq from seq_1_to_3000"},
                "tvx_replay");
    const QString job = writeJob("progress.qelt", "scott", {"tables1=many", "tables2=alpha"});
    // The log lines without the two time stamps, which differ between runs.
    const auto logLines = [](const QString &text) {
        QStringList lines = text.split('\n');
        lines.removeIf([](const QString &l) { return l.startsWith("Start time:") || l.startsWith("The end time:"); });
        return lines;
    };

    // Standard error redirected: nothing of the progress there.
    QString piped, err;
    ASSERT_EQ(runProgram({"--no-window", "--language", "en", job}, dir.path(), &piped, &err), 0) << err.toStdString();
    EXPECT_FALSE(err.contains("Tables:")) << err.toStdString();
    EXPECT_FALSE(err.contains('\r'));
    EXPECT_TRUE(piped.contains("Insert table MANY 3000 Rows ...Done\n"));

    // Standard error a terminal: one line, rewritten in place and cleared
    // before each log line; standard output the same as before (into a new
    // target, so that the same lines are written).
    target = dir.filePath("target2.db");
    writeJob("progress.qelt", "scott", {"tables1=many", "tables2=alpha"});
    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", dir.path() + "/config");
    env.insert("XDG_DATA_HOME", dir.path() + "/data");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.setChildProcessModifier([slave] { dup2(slave, STDERR_FILENO); });
    p.start(binaryDir() + "/app/tavrex", {"--no-window", "--language", "en", job});
    ASSERT_TRUE(p.waitForStarted());
    close(slave);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    QByteArray terminal, out;
    const auto drain = [&] {
        char buffer[4096];
        ssize_t n;
        while ((n = read(master, buffer, sizeof buffer)) > 0)
            terminal.append(buffer, n);
    };
    for (int i = 0; i < 1200 && p.state() != QProcess::NotRunning; ++i) {
        pollfd fd{master, POLLIN, 0};
        poll(&fd, 1, 50);
        drain();
        p.waitForFinished(50);
        out += p.readAllStandardOutput();
    }
    ASSERT_EQ(p.state(), QProcess::NotRunning);
    drain();
    close(master);
    out += p.readAllStandardOutput();
    EXPECT_EQ(p.exitCode(), 0);

    EXPECT_TRUE(terminal.contains("\rTables: 0 of 2 done | many: 0 of about 3,000 rows\x1b[K"))
        << terminal.toStdString();
    EXPECT_TRUE(terminal.contains("\rTables: 1 of 2 done | alpha: 0 of about ")) << terminal.toStdString();
    const qsizetype lastProgress = terminal.lastIndexOf("Tables:");
    EXPECT_TRUE(terminal.indexOf("\r\x1b[K", lastProgress) > lastProgress) << "the line is gone at the end";
    EXPECT_FALSE(out.contains("Tables:"));
    EXPECT_EQ(logLines(QString::fromLocal8Bit(out)), logLines(piped));
}
