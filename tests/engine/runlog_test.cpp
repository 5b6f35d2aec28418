#include "engine/core/runlog.h"
#include "tests/support/qtprinters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

#include <unistd.h>

using namespace tavrex;

namespace {
QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "<missing>";
    return f.readAll();
}
} // namespace

TEST(RunLog, AppendRewriteAndLastLine)
{
    TRunLog log;
    EXPECT_EQ(log.LastLine(), "");
    log.Append("Insert table T... ");
    log.Append("NAME:TWideStringField");  // a per-field error line
    log.RewriteLast("Insert table T 100 Rows ");
    EXPECT_EQ(log.lines(), (QStringList{"Insert table T... ", "Insert table T 100 Rows "}));
    log.RewriteLast(log.LastLine() + "...Done");
    log.Append("");
    EXPECT_EQ(log.lines(), (QStringList{"Insert table T... ", "Insert table T 100 Rows ...Done", ""}));
    log.Clear();
    EXPECT_EQ(log.size(), 0);
}

TEST(RunLog, ObserverSeesEveryChange)
{
    TRunLog log;
    QStringList seen;
    log.setObserver([&](TRunLog::Change change, const QString &line) {
        seen << QString::number(int(change)) + ":" + line;
    });
    QStringList heard;
    log.addListener([&](TRunLog::Change change, const QString &line) {
        heard << QString::number(int(change)) + ":" + line;
    });
    log.Append("a");
    log.RewriteLast("b");
    log.Clear();
    EXPECT_EQ(seen, (QStringList{"0:a", "1:b", "2:"}));
    EXPECT_EQ(heard, seen);
}

TEST(RunLog, SavesCrLfLinesInTheLocaleCodePageWithoutBom)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("qelt_20240102_091505.log");
    TRunLog log;
    log.Append("Start time:2024-01-02 09:15:05");
    log.Append("");
    log.Append("已经完成转换");
    log.SaveToFile(path);

    QStringEncoder encoder(QStringConverter::System);
    const QByteArray expected = QByteArray("Start time:2024-01-02 09:15:05\r\n\r\n") +
                                QByteArray(encoder.encode(QStringLiteral("已经完成转换"))) + "\r\n";
    EXPECT_EQ(readAll(path), expected);
    EXPECT_FALSE(readAll(path).startsWith("\xEF\xBB\xBF"));

    // A second save replaces the file whole.
    log.Clear();
    log.Append("x");
    log.SaveToFile(path);
    EXPECT_EQ(readAll(path), "x\r\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"qelt_20240102_091505.log"})
        << "no temporary file is left behind";
}

TEST(RunLog, AFailedSaveNamesThePath)
{
    QTemporaryDir dir;
    TRunLog log;
    log.Append("x");
    const QString missing = dir.filePath("no/such/folder/a.log");
    try {
        log.SaveToFile(missing);
        FAIL() << "saved into a missing folder";
    } catch (const std::runtime_error &e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains(QDir::toNativeSeparators(missing))) << e.what();
    }
}

TEST(RunLog, AFailedSaveInAnUnwritableFolderKeepsTheOldFile)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write into any folder";
    QTemporaryDir dir;
    TRunLog log;
    log.Append("x");
    const QString path = dir.filePath("keep.log");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old\r\n");
    }
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_THROW(log.SaveToFile(path), std::runtime_error);
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(readAll(path), "old\r\n");
}

TEST(RunLog, LogFolderFollowsTheUserDataFolder)
{
    QTemporaryDir dir;
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", dir.path().toUtf8());
    EXPECT_EQ(GetLogFolder(), dir.path() + "/Orvendel/");
    EnsureLogFolder();
    EXPECT_TRUE(QFileInfo(dir.path() + "/Orvendel").isDir());
    qunsetenv("XDG_DATA_HOME");
    EXPECT_EQ(GetLogFolder(), QDir::homePath() + "/.local/share/Orvendel/");
    if (!saved.isNull())
        qputenv("XDG_DATA_HOME", saved);
}

TEST(RunControl, PumpRunsTheCallbackAndStopIsAPlainFlag)
{
    RunControl control;
    control.pump();  // no callback: nothing happens
    int pumps = 0;
    control.setPump([&] {
        ++pumps;
        control.requestStop();
    });
    EXPECT_FALSE(control.StopRequested());
    control.pump();
    EXPECT_EQ(pumps, 1);
    EXPECT_TRUE(control.StopRequested());
    control.clearStop();
    EXPECT_FALSE(control.StopRequested());
}
