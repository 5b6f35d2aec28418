// Settings files in error: every message names the file, the key and the
// text, and the window then opens as an ordinary window that no press turns
// into an unattended run.
#include "settings/batchfile.h"
#include "tests/support/qtprinters.h"
#include "tests/support/recordingprompts.h"
#include "wizard/batchmode.h"
#include "wizard/batchwindow.h"
#include "wizard/mainwindow.h"

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace tavrex;
using namespace tavrex::test;

namespace {

QString writeJob(const QTemporaryDir &dir, const QByteArray &content)
{
    const QString path = dir.filePath("job.qelt");
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
    return path;
}

struct BadFile {
    const char *name;
    QByteArray content;
    const char *message;
};

const BadFile badFiles[] = {
    {"no accessmode", "mysqldatabase=shop\r\nprocesstable=0\r\n",
     "job.qelt: accessmode: '' is not a valid integer value."},
    {"a word for accessmode", "accessmode=remote\r\nprocesstable=0\r\n",
     "job.qelt: accessmode: 'remote' is not a valid integer value."},
    {"no processtable", "accessmode=1\r\n", "job.qelt: processtable: '' is not a valid integer value."},
    {"a fraction for processtable", "accessmode=1\r\nPROCESSTABLE=1.5\r\n",
     "job.qelt: processtable: '1.5' is not a valid integer value."},
};

} // namespace

TEST(BadBatchFile, EachErrorNamesTheFileTheKeyAndTheText)
{
    QTemporaryDir dir;
    for (const BadFile &k : badFiles) {
        SCOPED_TRACE(k.name);
        const BatchValues values = loadBatchFile(writeJob(dir, k.content));
        ControlValues controls;
        try {
            ApplyBatchSettings(values, controls);
            ADD_FAILURE() << "a bad settings file was applied";
        } catch (const std::invalid_argument &e) {
            EXPECT_STREQ(e.what(), k.message);
        }
    }
}

TEST(BadBatchFile, ATableNameWithALineBreakIsRefusedAtRecording)
{
    struct Case {
        const char *name;
        QString table;
        const char *shown;
    } cases[] = {
        {"line feed", "order\nitems", "order\\nitems"},
        {"carriage return", "order\ritems", "order\\ritems"},
        {"both", "order\r\nitems", "order\\r\\nitems"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        BatchRecording r;
        r.allTables = false;
        r.tables = {"customers", k.table};
        try {
            batchFileLines(r);
            ADD_FAILURE() << "a split table line was written";
        } catch (const std::invalid_argument &e) {
            EXPECT_TRUE(QString::fromUtf8(e.what()).contains(QString::fromLatin1(k.shown))) << e.what();
        }
    }
    BatchRecording host;
    host.host = "db\nexample";
    try {
        batchFileLines(host);
        ADD_FAILURE() << "a split host line was written";
    } catch (const std::invalid_argument &e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains("host")) << e.what();
    }
}

// The remembered settings point to a server that refuses at once: a press of
// "Next >" that went on into the unattended run would show its connect error.
TEST(BadBatchFile, TheWindowOpensOnPage1WithoutBatchModeAndNextDoesNotRun)
{
    QTemporaryDir dir;
    for (const BadFile &k : badFiles) {
        SCOPED_TRACE(k.name);
        const QString job = writeJob(dir, k.content);
        RecordingPrompts prompts;
        BatchReplay replay;
        WindowOptions options;
        options.prompts = &prompts;
        options.arguments = {job};
        options.loadSettings = [](ControlValues &c) {
            c.accessmode = 1;
            c.edthost = "127.0.0.1";
            c.edtport = "1";
            c.edtdatabase = "remembered";
            c.edtname = "ann";
        };
        options.saveSettings = [](const ControlValues &) {};
        installBatchMode(options, replay, []() -> Tmarfrm_bat & {
            throw std::logic_error("no batch window in this test");
        });
        Taaform1 window(std::move(options));
        window.show();

        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_EQ(prompts.shown.front().kind, "error");
        EXPECT_TRUE(prompts.shown.front().text.contains(QString::fromUtf8(k.message)))
            << prompts.shown.front().text.toStdString();
        EXPECT_FALSE(window.BatchMode());
        EXPECT_EQ(window.CurrentPage(), 1);
        EXPECT_FALSE(window.Timer1() && window.Timer1()->isActive()) << "the start timer is not armed";

        QTest::mouseClick(window.findChild<QPushButton *>("btnext"), Qt::LeftButton);
        EXPECT_EQ(window.CurrentPage(), 2) << "one page on, as in an ordinary window";
        EXPECT_EQ(prompts.shown.size(), 1u) << "nothing more was started";
    }
}
