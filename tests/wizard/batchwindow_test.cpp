#include "wizard/batchwindow.h"
#include "tests/support/qtprinters.h"
#include "tests/support/recordingprompts.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tavrex;
using namespace tavrex::test;

namespace {

BatchWindowInput sampleInput()
{
    BatchWindowInput in;
    in.mysqlHost = "localhost";
    in.port = "3306";
    in.database = "shop";
    in.mysqlUser = "root";
    in.mysqlPassword = "pw";
    in.oracleService = "embedded:t.db";
    in.oracleUser = "scott";
    in.oraclePassword = "tiger";
    in.policyCaption = "Merge";
    in.characterSet = "Default";
    in.options.SkipIndexes = true;
    in.options.KeepDetails = true;
    in.selectedTables = {"orders", "order items", "客户"};
    return in;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

TEST(BatchWindow, ShowsTheSettingsAndChoosesAllTablesAtFirst)
{
    RecordingPrompts prompts;
    Tmarfrm_bat window(prompts);
    window.fill(sampleInput());
    EXPECT_EQ(window.windowTitle(), "创建快捷方式");
    EXPECT_EQ(window.size(), QSize(631, 329));
    EXPECT_EQ(window.findChild<QLineEdit *>("edtmysqlip")->text(), "localhost");
    EXPECT_EQ(window.findChild<QLineEdit *>("edtoracleexits")->text(), "Merge");
    EXPECT_EQ(window.findChild<QLineEdit *>("edtmysqlpassword")->echoMode(), QLineEdit::Normal);
    EXPECT_TRUE(window.findChild<QCheckBox *>("chkskipindex")->isChecked());
    EXPECT_TRUE(window.findChild<QCheckBox *>("chkkeepdetails")->isChecked());
    EXPECT_FALSE(window.findChild<QCheckBox *>("chkverify")->isChecked());
    for (const QCheckBox *option : window.findChildren<QCheckBox *>()) {
        SCOPED_TRACE(option->objectName().toStdString());
        EXPECT_LE(option->sizeHint().width(), option->width()) << "the caption fits its box";
    }
    EXPECT_TRUE(window.findChild<QListWidget *>("mysqltableselect")->isHidden());
    EXPECT_TRUE(window.findChild<QPushButton *>("bttableselect")->isHidden());
    EXPECT_TRUE(window.recording().allTables);

    window.findChildren<QRadioButton *>().first()->click();  // item 0: the chosen tables
    EXPECT_FALSE(window.findChild<QListWidget *>("mysqltableselect")->isHidden());
    EXPECT_FALSE(window.findChild<QPushButton *>("bttableselect")->isHidden());

    window.findChild<QPushButton *>("bttableselect")->click();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text,
              "现在将返回到上一个界面,当你选择好要导入的表后,请点击\"创建快捷方式\"按钮,重新进入这个界面");
}

TEST(BatchWindow, RecordingWritesTheSettingsFileAndTheLauncher)
{
    QTemporaryDir dir;
    RecordingPrompts prompts;
    Tmarfrm_bat window(prompts);
    window.fill(sampleInput());
    window.findChildren<QRadioButton *>().first()->click();
    window.findChild<QCheckBox *>("chkuppercase")->setChecked(false);  // changes only what is written
    window.findChild<QCheckBox *>("chkrejectrows")->setChecked(true);
    window.setMainValues([] { return BatchMainValues{0, "db.example.org", 1}; });
    window.setProgramPath("/opt/tavrex/bin/tavrex");
    window.setChooseFile([&] { return dir.filePath("nightly.desktop"); });
    window.findChild<QPushButton *>("Button1")->click();

    const QString settingsFile = dir.filePath("nightly.qelt");
    const QByteArray expected =
        "accessmode=0\r\nmysqldatabase=shop\r\nport=3306\r\nmysqlu=root\r\nmysqlp=pw\r\nhost=db.example.org\r\n"
        "oracleh=embedded:t.db\r\noracleu=scott\r\noraclep=tiger\r\nprocesstable=1\r\ncharacter_set=Default\r\n"
        "tabledefonly=0\r\nskipindex=1\r\nnameuppercase=0\r\nblobtotext=0\r\nrejectrows=1\r\nverify=0\r\n"
        "keepdetails=1\r\nresume=0\r\nparalleltables=1\r\nalltables=0\r\n"
        "tables1=orders\r\ntables2=order items\r\ntables3=" +
        QString("客户").toLocal8Bit() + "\r\n";
    EXPECT_EQ(readAll(settingsFile), expected);
    EXPECT_TRUE(QFileInfo(dir.filePath("nightly.desktop")).isExecutable());
    EXPECT_TRUE(QString::fromUtf8(readAll(dir.filePath("nightly.desktop")))
                    .contains("Exec=\"/opt/tavrex/bin/tavrex\" \"" + settingsFile + "\"\n"));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, recordingMessage(dir.filePath("nightly.desktop"), settingsFile,
                                                      dir.filePath("nightly.log")));
    EXPECT_EQ(prompts.shown[0].text.count('\r'), 2);
    EXPECT_FALSE(prompts.shown[0].text.contains('\n'));

    // A name typed with the settings file's extension still gets a launcher
    // of its own beside the settings file.
    prompts.shown.clear();
    window.setChooseFile([&] { return dir.filePath("weekly.qelt"); });
    window.findChild<QPushButton *>("Button1")->click();
    EXPECT_TRUE(readAll(dir.filePath("weekly.qelt.qelt")).startsWith("accessmode=0\r\n"));
    EXPECT_TRUE(readAll(dir.filePath("weekly.qelt.desktop")).startsWith("[Desktop Entry]"));
    EXPECT_FALSE(QFile::exists(dir.filePath("weekly.qelt")));

    // A cancelled dialog writes nothing; a file that cannot be written shows
    // the error and keeps the window open.
    prompts.shown.clear();
    window.setChooseFile([] { return QString(); });
    window.findChild<QPushButton *>("Button1")->click();
    EXPECT_TRUE(prompts.shown.empty());
    window.setChooseFile([&] { return dir.filePath("missing/job.desktop"); });
    window.findChild<QPushButton *>("Button1")->click();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, "error");
    EXPECT_TRUE(prompts.shown[0].text.contains("missing/job.qelt"));
}
