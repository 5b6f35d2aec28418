// Files written on a full disk: the old file stays whole and the error names
// the path and the system's reason. The disk is a small tmpfs, which only
// root can mount (as in CI); elsewhere these tests are skipped.
#include "engine/core/runlog.h"
#include "engine/core/textrules.h"
#include "settings/batchfile.h"
#include "settings/launcher.h"
#include "settings/settingsstore.h"
#include "tests/support/qtprinters.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

#include <functional>

using namespace tavrex;

namespace {

// A 64 KiB tmpfs for the life of the test program.
class SmallDisk {
public:
    SmallDisk()
    {
        if (::geteuid() != 0 || !folder_.isValid())
            return;
        mounted_ = ::mount("tmpfs", QFile::encodeName(folder_.path()).constData(), "tmpfs", 0, "size=64k") == 0;
    }
    ~SmallDisk()
    {
        if (mounted_)
            ::umount(QFile::encodeName(folder_.path()).constData());
    }
    bool mounted() const { return mounted_; }
    QString path() const { return folder_.path(); }

private:
    QTemporaryDir folder_;
    bool mounted_ = false;
};

SmallDisk *disk = nullptr;

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writePlain(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// Takes every free block of the disk.
void fillDisk(const QString &folder)
{
    QFile f(folder + "/filler");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray block(512, 'f');
    while (f.write(block) == block.size()) {
    }
}

class FullDisk : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!disk || !disk->mounted())
            GTEST_SKIP() << "mounting a small tmpfs needs root (as in CI): the full-disk tests did not run";
        QDir dir(disk->path());
        for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot))
            dir.remove(name);
    }
    QString file(const QString &name) const { return disk->path() + "/" + name; }
    QStringList filesOnDisk() const
    {
        return QDir(disk->path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
};

} // namespace

TEST_F(FullDisk, ReplacingAFileKeepsTheOldOneWholeAndNamesThePathAndTheReason)
{
    const QStringList bigLines(400, QString(100, QLatin1Char('x')));
    struct Case {
        const char *name;
        const char *file;
        std::function<void(const QString &)> write;
    } cases[] = {
        {"log", "job.log",
         [&](const QString &path) {
             TRunLog log;
             for (const QString &line : bigLines)
                 log.Append(line);
             log.SaveToFile(path);
         }},
        {"report through the shared writer (small enough for a buffer)", "job.report.json",
         [&](const QString &path) { writeFileReplacing(path, QByteArray(9000, '{'), false); }},
        {"batch settings file", "job.qelt", [&](const QString &path) { writeBatchFile(path, bigLines); }},
        {"launcher", "job.desktop",
         [&](const QString &path) { CreateShortcut("/opt/tavrex/" + QString(30000, 'p'), "/jobs/job.qelt", path); }},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        SetUp();
        const QString path = file(k.file);
        const QByteArray good = "the good old content\r\n";
        writePlain(path, good);
        fillDisk(disk->path());
        try {
            k.write(path);
            ADD_FAILURE() << "a write on a full disk reported success";
        } catch (const std::runtime_error &e) {
            const QString message = QString::fromUtf8(e.what());
            EXPECT_TRUE(message.contains(path)) << e.what();
            EXPECT_TRUE(message.contains("No space left on device")) << e.what();
        }
        EXPECT_EQ(readAll(path), good);
        QStringList expected{QString::fromLatin1(k.file), "filler"};
        expected.sort();
        EXPECT_EQ(filesOnDisk(), expected) << "no scratch file left";
    }
}

TEST_F(FullDisk, AFailedAppendIsReportedAndTheFileKeepsWholeLines)
{
    const QString path = file("job.rejects.csv");
    writePlain(path, "table,row,reason\r\n");
    fillDisk(disk->path());
    // The last block of the old file still has room for a few lines; the
    // append that needs a new block fails.
    AppendingTextFile ledger;
    ASSERT_TRUE(ledger.open(path));
    int appended = 0;
    const QString line = "shop,17,ORA-12899: value too large for column " + QString(60, 'c');
    while (appended < 1000 && ledger.appendLine(line))
        ++appended;
    ASSERT_LT(appended, 1000) << "a full disk took every line";
    EXPECT_TRUE(ledger.errorText().contains(path)) << ledger.errorText().toStdString();
    EXPECT_TRUE(ledger.errorText().contains("No space left on device")) << ledger.errorText().toStdString();
    EXPECT_FALSE(ledger.appendLine("later")) << "a failed ledger does not go on with holes";

    QByteArray expected = "table,row,reason\r\n";
    for (int i = 0; i < appended; ++i)
        expected += line.toLocal8Bit() + "\r\n";
    EXPECT_EQ(readAll(path), expected);
}

TEST_F(FullDisk, SavedSettingsThatDoNotFitLeaveTheStoredOnes)
{
    const QString storePath = qEnvironmentVariable("XDG_CONFIG_HOME") + "/Kestrova/Tavrex.conf";
    ControlValues before;
    before.edtname = "ann";
    SaveSettings(before);
    const QByteArray stored = readAll(storePath);
    ASSERT_TRUE(stored.contains("ann"));
    fillDisk(disk->path());

    ControlValues after;
    after.edtname = QString(40000, 'b');
    try {
        SaveSettings(after);
        ADD_FAILURE() << "settings saved on a full disk";
    } catch (const std::runtime_error &e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains(storePath)) << e.what();
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains("No space left on device")) << e.what();
    }
    EXPECT_EQ(readAll(storePath), stored);
    ControlValues loaded;
    LoadSettings(loaded);
    EXPECT_EQ(loaded.edtname, "ann");
}

TEST(AppendingTextFile, AppendsBelowTheOldLinesAndEachLineIsInTheFileAtOnce)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("ledger.csv");
    writePlain(path, "old\r\n");
    AppendingTextFile ledger;
    ASSERT_TRUE(ledger.open(path));
    ASSERT_TRUE(ledger.appendLine("first"));
    // Read while still open: nothing is held back for a later flush, so a
    // killed run keeps it.
    EXPECT_EQ(readAll(path), "old\r\nfirst\r\n");
    ASSERT_TRUE(ledger.appendLine(""));
    ASSERT_TRUE(ledger.flush());
    EXPECT_EQ(readAll(path), "old\r\nfirst\r\n\r\n");
    EXPECT_TRUE(ledger.errorText().isEmpty());

    AppendingTextFile nowhere;
    EXPECT_FALSE(nowhere.open(dir.filePath("no/such/folder/ledger.csv")));
    EXPECT_TRUE(nowhere.errorText().contains("no/such/folder/ledger.csv")) << nowhere.errorText().toStdString();
    EXPECT_FALSE(nowhere.appendLine("x"));
}

int main(int argc, char **argv)
{
    SmallDisk small;
    disk = &small;
    // The settings store lives on the small disk too; set before Qt computes
    // its paths.
    QTemporaryDir fallbackHome;
    qputenv("XDG_CONFIG_HOME", (small.mounted() ? small.path() + "/config" : fallbackHome.path()).toUtf8());
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    disk = nullptr;
    return result;
}
