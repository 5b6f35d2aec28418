// "Check" on the table page: the check of the window's settings against the
// throwaway MariaDB and an embedded target, its table in both languages, the
// details of a double click, and saving. With TAVREX_CHECK_SCREENSHOTS=DIR
// the windows are also saved as pictures there (for a look under Xvfb).

#include "connections/embedded/embeddedreader.h"
#include "tests/support/recordingprompts.h"
#include "tests/support/testenv.h"
#include "wizard/checkwindow.h"
#include "wizard/mainwindow.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <memory>

using namespace tavrex;
using namespace tavrex::test;

namespace {

class CheckWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        qputenv("XDG_DATA_HOME", dir.path().toUtf8());
        recreateDatabase("tvx_checkwin");
        sandboxExec({"set session sql_mode=''",
                     "create table events (id int primary key, at date, note varchar(20))",
                     "insert into events values (1,'0000-00-00','a'),(2,'2021-05-06','b'),(3,'0000-00-00','c')",
                     "create table tidy (id int primary key)", "insert into tidy values (1)"},
                    "tvx_checkwin");
        target = dir.filePath("target.db");
        WindowOptions options;
        options.prompts = &prompts;
        options.loadSettings = [](ControlValues &) {};
        options.saveSettings = [](const ControlValues &) {};
        window = std::make_unique<Taaform1>(std::move(options));
        window->show();
    }
    void TearDown() override
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == "checkwindow")
                delete w;
        window.reset();
    }

    template <typename T>
    T *control(QWidget *in, const char *name)
    {
        T *widget = in->findChild<T *>(QString::fromLatin1(name));
        if (!widget)
            ADD_FAILURE() << "no control " << name;
        return widget;
    }
    void click(const char *name) { QTest::mouseClick(control<QPushButton>(window.get(), name), Qt::LeftButton); }
    void setText(const char *name, const QString &text) { control<QLineEdit>(window.get(), name)->setText(text); }

    void walkToTablePage()
    {
        const MySqlSandbox &sb = mysqlSandbox();
        click("btnext");
        const QList<QRadioButton *> modes = control<QWidget>(window.get(), "accessmode")->findChildren<QRadioButton *>();
        ASSERT_EQ(modes.size(), 2);
        QTest::mouseClick(modes.at(1), Qt::LeftButton, {}, QPoint(7, modes.at(1)->height() / 2));
        setText("edthost", "127.0.0.1");
        setText("edtport", sb.port);
        setText("edtdatabase", "tvx_checkwin");
        setText("edtname", sb.user);
        setText("edtpassword", sb.password);
        click("btnext");
        setText("edtservice", "embedded:" + target);
        setText("edtoracleusername", "scott");
        setText("edtoraclepassword", "tiger");
        click("btnext");
        click("btnext");
        ASSERT_EQ(window->CurrentPage(), 5);
        click("Button2");  // every table
    }

    // Presses "Check" and returns the window it opened.
    CheckWindow *check()
    {
        click("btcheck");
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *c = qobject_cast<CheckWindow *>(w); c && c->isVisible())
                return c;
        return nullptr;
    }

    // The sequence a real double click delivers: press, release, double click.
    void doubleClick(QTableWidget *table, int row)
    {
        const QPoint at = table->visualItemRect(table->item(row, 1)).center();
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, at);
    }

    void screenshot(QWidget *w, const QString &name)
    {
        const QString folder = qEnvironmentVariable("TAVREX_CHECK_SCREENSHOTS");
        if (!folder.isEmpty())
            w->grab().save(folder + "/" + name + ".png");
    }

    QTemporaryDir dir;
    QString target;
    RecordingPrompts prompts;
    std::unique_ptr<Taaform1> window;
};

} // namespace

TEST_F(CheckWindowTest, CheckShowsATableRowPerTableWithDetailsAndSavesOwnerOnly)
{
    // The page-1 link switches the window from Chinese to English.
    QTest::mouseClick(control<QLabel>(window.get(), "lnklanguage"), Qt::LeftButton);
    ASSERT_EQ(window->LanguageCode(), "en");
    walkToTablePage();
    EXPECT_EQ(control<QPushButton>(window.get(), "btcheck")->text(), "Check");
    screenshot(window.get(), "page5-en");
    CheckWindow *shown = check();
    ASSERT_NE(shown, nullptr) << (prompts.shown.empty() ? "" : prompts.shown.back().text.toStdString());
    // The check wrote nothing into the target: there is none yet.
    EXPECT_TRUE(listEmbeddedTables(target, "SCOTT").isEmpty());

    QTableWidget *table = control<QTableWidget>(shown, "checktable");
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(table->horizontalHeaderItem(1)->text(), "MySQL table");
    const QStringList events{table->item(0, 1)->text(), table->item(0, 2)->text(), table->item(0, 3)->text(),
                             table->item(0, 4)->text(), table->item(0, 5)->text()};
    EXPECT_EQ(events, (QStringList{"events", "EVENTS", "create", "3", "2"}));
    EXPECT_EQ(table->item(0, 0)->toolTip(), "would be refused, changed or fail");
    EXPECT_EQ(table->item(1, 0)->toolTip(), "copied as it is");
    EXPECT_FALSE(table->item(0, 0)->icon().isNull());
    EXPECT_TRUE(control<QLabel>(shown, "checksummary")->text().startsWith("2 tables, 1 to look at"));
    screenshot(shown, "check-en");

    // A double click on a row opens that table's details.
    doubleClick(table, 0);
    QDialog *details = shown->findChild<QDialog *>("checkdetails");
    ASSERT_NE(details, nullptr);
    const QString text = control<QTextBrowser>(details, "checkdetailstext")->toPlainText();
    EXPECT_TRUE(text.contains("zero date")) << text.toStdString();
    EXPECT_TRUE(text.contains("0000-00-00"));
    EXPECT_FALSE(text.contains("tidy")) << "the details of that table only";
    screenshot(details, "details-en");

    // "Save...": the page and its JSON, owner-only.
    const QString saved = dir.filePath("plan.check.html");
    shown->setSavePathChooser([&] { return saved; });
    QTest::mouseClick(control<QPushButton>(shown, "btsavecheck"), Qt::LeftButton);
    for (const QString &file : {saved, dir.filePath("plan.check.json")}) {
        struct stat st = {};
        ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0) << file.toStdString();
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
}

TEST_F(CheckWindowTest, TheCheckTableInChinese)
{
    ASSERT_EQ(window->LanguageCode(), "cn");
    walkToTablePage();
    EXPECT_EQ(control<QPushButton>(window.get(), "btcheck")->text(), QString::fromUtf8("检查"));
    screenshot(window.get(), "page5-cn");
    CheckWindow *shown = check();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->windowTitle(), QString::fromUtf8("转换前检查"));
    QTableWidget *table = control<QTableWidget>(shown, "checktable");
    EXPECT_EQ(table->horizontalHeaderItem(1)->text(), QString::fromUtf8("MySQL 表"));
    EXPECT_EQ(table->item(0, 3)->text(), QString::fromUtf8("创建"));
    EXPECT_EQ(control<QPushButton>(shown, "btsavecheck")->text(), QString::fromUtf8("保存..."));
    screenshot(shown, "check-cn");
    doubleClick(table, 0);
    QDialog *details = shown->findChild<QDialog *>("checkdetails");
    ASSERT_NE(details, nullptr);
    EXPECT_TRUE(control<QTextBrowser>(details, "checkdetailstext")->toPlainText().contains(QString::fromUtf8("原因")));
    screenshot(details, "details-cn");
}
