// The wizard window driven by its controls' names against the throwaway
// MariaDB and an embedded Oracle target in a temporary folder. The log
// folder is temporary too (XDG_DATA_HOME), and the settings store is replaced
// by a recorder, so the tests touch nothing of the user's.

#include "connections/embedded/embeddedreader.h"
#include "connections/profiles.h"
#include "tests/support/recordingprompts.h"
#include "tests/support/testenv.h"
#include "wizard/mainwindow.h"
#include "wizard/windowprompts.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <QClipboard>
#include <QHeaderView>
#include <QTextCursor>
#include <QKeyEvent>
#include <QToolButton>

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <stdexcept>
#include <vector>

using namespace tavrex;
using namespace tavrex::test;

namespace {

const QStringList kChineseSteps{"欢迎", "连接MYSQL", "连接Oracle", "设置", "选择要转换的表", "完成转换"};

class WizardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        qputenv("XDG_DATA_HOME", dir.path().toUtf8());
        database = QStringLiteral("tvx_wiz_%1").arg(::testing::UnitTest::GetInstance()->current_test_info()->name());
        database = database.left(60).toLower();
        recreateDatabase(database);
        targetPath = dir.filePath(QStringLiteral("target.db"));
    }

    void TearDown() override { window.reset(); }

    // Creates and shows the window; adjust changes its options first.
    void open(const std::function<void(WindowOptions &)> &adjust = {})
    {
        WindowOptions options;
        options.prompts = &prompts;
        options.helpFolder = sourceDir() + QStringLiteral("/docs/help");
        options.openUrl = [this](const QUrl &url) {
            opened.push_back(url);
            return true;
        };
        options.loadSettings = [this](ControlValues &) { ++loads; };
        options.saveSettings = [this](const ControlValues &values) { saved.push_back(values); };
        if (adjust)
            adjust(options);
        window = std::make_unique<Taaform1>(std::move(options));
        window->show();
    }

    template <typename T>
    T *control(const char *name)
    {
        T *widget = window->findChild<T *>(QString::fromLatin1(name));
        if (!widget)
            ADD_FAILURE() << "no control " << name;
        return widget;
    }
    QPushButton *button(const char *name) { return control<QPushButton>(name); }
    QListWidget *list(const char *name) { return control<QListWidget>(name); }
    void click(const char *name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    void setText(const char *name, const QString &text) { control<QLineEdit>(name)->setText(text); }

    // Item n of a radio group, clicked as the operator would.
    void choose(const char *group, int item)
    {
        const QList<QRadioButton *> items = control<QWidget>(group)->findChildren<QRadioButton *>();
        ASSERT_GT(items.size(), item);
        // On the indicator: the button reacts to its circle and its text only.
        QTest::mouseClick(items.at(item), Qt::LeftButton, {}, QPoint(7, items.at(item)->height() / 2));
    }

    void fillMySql()
    {
        const MySqlSandbox &sb = mysqlSandbox();
        choose("accessmode", 1);
        setText("edthost", QStringLiteral("127.0.0.1"));
        setText("edtport", sb.port);
        setText("edtdatabase", database);
        setText("edtname", sb.user);
        setText("edtpassword", sb.password);
    }
    void fillOracle()
    {
        setText("edtservice", QStringLiteral("embedded:") + targetPath);
        setText("edtoracleusername", QStringLiteral("scott"));
        setText("edtoraclepassword", QStringLiteral("tiger"));
    }

    // From page 1 to the table page, every step by "Next >".
    void walkToTablePage()
    {
        click("btnext");
        fillMySql();
        click("btnext");
        ASSERT_EQ(window->CurrentPage(), 3) << errorsShown().join('\n').toStdString();
        fillOracle();
        click("btnext");
        ASSERT_EQ(window->CurrentPage(), 4) << errorsShown().join('\n').toStdString();
        click("btnext");
        ASSERT_EQ(window->CurrentPage(), 5) << errorsShown().join('\n').toStdString();
    }

    // Chooses the named tables in that order, each by a double click.
    void chooseTables(const QStringList &names)
    {
        QListWidget *available = list("availabletables");
        for (const QString &name : names) {
            const QList<QListWidgetItem *> found = available->findItems(name, Qt::MatchExactly);
            ASSERT_EQ(found.size(), 1) << name.toStdString();
            // The sequence a real double click delivers: press, release, double click.
            const QPoint at = available->visualItemRect(found.first()).center();
            QTest::mouseClick(available->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(available->viewport(), Qt::LeftButton, {}, at);
        }
    }

    QStringList items(const char *name)
    {
        QStringList texts;
        QListWidget *l = list(name);
        for (int i = 0; i < l->count(); ++i)
            texts.append(l->item(i)->text());
        return texts;
    }
    QStringList stepTexts()
    {
        QStringList texts;
        for (const char *name : {"Label1", "Label2", "Label3", "Label4", "Label5", "Label6"})
            texts.append(control<QLabel>(name)->text());
        return texts;
    }
    int boldStep()
    {
        int bold = 0;
        for (int i = 1; i <= 6; ++i)
            if (control<QLabel>(QStringLiteral("Label%1").arg(i).toLatin1().constData())->font().bold())
                bold = bold == 0 ? i : -1;
        return bold;
    }
    QString memo() { return control<QPlainTextEdit>("sc")->toPlainText(); }
    int sheetInView() { return control<QStackedWidget>("pg")->currentIndex() + 1; }
    QStringList logFiles() { return QDir(GetLogFolder()).entryList({QStringLiteral("qelt_*.log")}, QDir::Files); }
    QStringList errorsShown()
    {
        QStringList texts;
        for (const RecordingPrompts::Shown &s : prompts.shown)
            if (s.kind == QLatin1String("error"))
                texts.append(s.text);
        return texts;
    }
    // Serves queued events (a close asked for during a run) with a bound.
    void settle(const std::function<bool()> &done)
    {
        for (int i = 0; i < 100 && !done(); ++i)
            QCoreApplication::processEvents();
    }

    QTemporaryDir dir;
    QString database;
    QString targetPath;
    RecordingPrompts prompts;
    std::vector<QUrl> opened;
    int loads = 0;
    std::vector<ControlValues> saved;
    std::unique_ptr<Taaform1> window;
};

} // namespace

TEST_F(WizardTest, StartsOnPage1InChineseWithBackDisabled)
{
    open();
    EXPECT_EQ(window->windowTitle(), "Tavrex 4.0");
    EXPECT_EQ(window->size(), QSize(594, 425));
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "fixed size";
    EXPECT_EQ(window->CurrentPage(), 1);
    EXPECT_EQ(sheetInView(), 1);
    EXPECT_EQ(boldStep(), 1);
    EXPECT_FALSE(button("btback")->isEnabled());
    EXPECT_TRUE(button("btnext")->isEnabled());
    EXPECT_TRUE(button("btcancel")->isEnabled());
    EXPECT_TRUE(button("bthelp")->isEnabled());
    EXPECT_EQ(loads, 1) << "FormCreate loads the stored settings";
    EXPECT_FALSE(window->BatchMode());
    EXPECT_EQ(window->LanguageCode(), "cn");

    EXPECT_EQ(stepTexts(), kChineseSteps);
    const QStringList buttons{button("Button1")->text(), button("Button2")->text(), button("Button3")->text(),
                              button("Button4")->text()};
    EXPECT_EQ(buttons, (QStringList{"添加>", "添加全部>", "<去除", "<去除全部"}));
    EXPECT_EQ(button("btback")->text(), "< Back");
    EXPECT_EQ(button("btnext")->text(), "Next >");
    EXPECT_EQ(button("btcancel")->text(), "Close");
    EXPECT_EQ(button("bthelp")->text(), "帮助");
    for (const char *empty : {"Label8", "Label19", "Label20"})
        EXPECT_EQ(control<QLabel>(empty)->text(), "") << empty;

    // "Close" asks first; No keeps the window open.
    prompts.answers = {false};
    click("btcancel");
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, "question");
    EXPECT_EQ(prompts.shown[0].title, "Information");
    EXPECT_EQ(prompts.shown[0].text, "退出向导 ?");
    EXPECT_TRUE(window->isVisible());
    // Yes closes it.
    click("btcancel");
    EXPECT_FALSE(window->isVisible());
}

TEST_F(WizardTest, LocalAccessDisablesTheHostBoxInButtonFaceColour)
{
    open();
    click("btnext");
    QLineEdit *host = control<QLineEdit>("edthost");
    QLineEdit *port = control<QLineEdit>("edtport");
    const QPalette app = QApplication::palette();
    EXPECT_FALSE(host->isEnabled());
    EXPECT_EQ(host->palette().color(QPalette::Base), app.color(QPalette::Button));
    EXPECT_EQ(port->text(), "3306");

    choose("accessmode", 1);
    EXPECT_TRUE(host->isEnabled());
    EXPECT_EQ(host->palette().color(QPalette::Base), app.color(QPalette::Base));
    EXPECT_TRUE(port->isEnabled());

    choose("accessmode", 0);
    EXPECT_FALSE(host->isEnabled());
    EXPECT_TRUE(port->isEnabled());
}

TEST_F(WizardTest, AFullConversionByClickingShowsTheLogSavesItAndFinishEnds)
{
    sandboxExec({"create table customers (id int primary key, name varchar(20))",
                 "insert into customers values (1, 'Ann'), (2, 'Bo'), (3, 'Cy')",
                 "create table orders (id int, customer int, key by_customer (customer))",
                 "insert into orders select seq, seq % 3 + 1 from seq_1_to_250"},
                database);
    open();
    walkToTablePage();
    EXPECT_EQ(list("mysqldblist")->currentItem()->text(), database) << "page 2 chose the typed database";
    EXPECT_EQ(items("availabletables"), (QStringList{"customers", "orders"}));
    EXPECT_TRUE(items("selecttables").isEmpty());
    EXPECT_FALSE(button("btnext")->isEnabled()) << "nothing chosen yet";

    click("Button2");
    EXPECT_EQ(items("selecttables"), (QStringList{"customers", "orders"}));
    EXPECT_TRUE(button("btnext")->isEnabled());
    click("btnext");
    ASSERT_TRUE(errorsShown().isEmpty()) << errorsShown().join('\n').toStdString();

    // Page 6: the log in view, "Finish" the only enabled button.
    EXPECT_EQ(window->CurrentPage(), 6);
    EXPECT_EQ(sheetInView(), 6);
    EXPECT_EQ(boldStep(), 6);
    EXPECT_EQ(button("btnext")->text(), "Finish");
    EXPECT_TRUE(button("btnext")->isEnabled());
    EXPECT_FALSE(button("btback")->isEnabled());
    EXPECT_FALSE(button("btcancel")->isEnabled());
    EXPECT_FALSE(button("bthelp")->isEnabled());

    const QStringList lines = window->log().lines();
    EXPECT_EQ(memo(), lines.join('\n')) << "the memo mirrors the log, progress rewrites included";
    EXPECT_TRUE(lines.first().startsWith("Start time:"));
    EXPECT_TRUE(lines.contains("Create table CUSTOMERS...Done"));
    EXPECT_TRUE(lines.contains("Insert table CUSTOMERS 3 Rows ...Done"));
    EXPECT_TRUE(lines.contains("Insert table ORDERS 250 Rows ...Done"));
    const qsizetype completed = lines.indexOf("已经完成转换");
    ASSERT_GT(completed, 0);
    EXPECT_EQ(lines.at(completed + 1), "向导已经完成Mysql 数据库到Orccle的转换.");
    EXPECT_TRUE(lines.at(completed + 2).startsWith("The end time:"));
    EXPECT_EQ(lines.last(), "点击 'Finish' 离开本向导.");

    // The file holds every line but the last, in the log folder.
    ASSERT_EQ(logFiles().size(), 1);
    EXPECT_EQ(window->lastLogPath(), GetLogFolder() + logFiles().first());
    QFile file(window->lastLogPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(bytes.count("\r\n"), lines.size() - 1);
    EXPECT_TRUE(bytes.contains("Insert table ORDERS 250 Rows ...Done\r\n"));
    EXPECT_EQ(readEmbeddedTable(targetPath, "SCOTT", "ORDERS").size(), 250);
    EXPECT_EQ(readEmbeddedTable(targetPath, "SCOTT", "CUSTOMERS").size(), 3);

    // The logo opens the help page although "Help" is disabled.
    QTest::mouseClick(control<QWidget>("Image1"), Qt::LeftButton);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_TRUE(opened[0].isLocalFile());
    EXPECT_TRUE(opened[0].toLocalFile().endsWith("tavrex-help-cn.html"));
    EXPECT_TRUE(QFile::exists(opened[0].toLocalFile()));

    // "Finish" empties the log view and the chosen list and closes the window;
    // destroying it saves the settings.
    click("btnext");
    EXPECT_EQ(memo(), "");
    EXPECT_TRUE(items("selecttables").isEmpty());
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(saved.empty());
    window.reset();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].edtdatabase, database);
    EXPECT_EQ(saved[0].accessmode, 1);
    EXPECT_EQ(saved[0].edtservice, "embedded:" + targetPath);
}

TEST_F(WizardTest, AConnectionFailureStaysOnItsPageWithTheClientsMessage)
{
    open();
    click("btnext");
    fillMySql();

    // MySQL: nothing listens on port 1.
    setText("edtport", QStringLiteral("1"));
    QString clientMessage;
    {
        MySqlConnection probe;
        probe.params() = mysqlCatalogueProfile(window->currentSettings());
        try {
            probe.connect();
        } catch (const DatabaseError &e) {
            clientMessage = e.message();
        }
    }
    ASSERT_FALSE(clientMessage.isEmpty());
    click("btnext");
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, "error");
    EXPECT_EQ(prompts.shown[0].title, "Tavrex 4.0");
    EXPECT_EQ(prompts.shown[0].text, standardErrorText(clientMessage));
    EXPECT_EQ(window->CurrentPage(), 2);
    EXPECT_EQ(sheetInView(), 2);
    EXPECT_TRUE(button("btback")->isEnabled());
    EXPECT_TRUE(button("btnext")->isEnabled());
    EXPECT_EQ(button("btnext")->text(), "Next >");

    // Oracle: the embedded target refuses an empty user as Oracle does.
    setText("edtport", mysqlSandbox().port);
    click("btnext");
    ASSERT_EQ(window->CurrentPage(), 3);
    fillOracle();
    setText("edtoracleusername", QString());
    OracleConnection oracle;
    oracle.params() = oracleProfile(window->currentSettings());
    QString oracleMessage;
    try {
        oracle.connect();
    } catch (const DatabaseError &e) {
        oracleMessage = e.message();
    }
    ASSERT_FALSE(oracleMessage.isEmpty());
    click("btnext");
    ASSERT_EQ(errorsShown().size(), 2);
    EXPECT_EQ(errorsShown().last(), standardErrorText(oracleMessage));
    EXPECT_EQ(window->CurrentPage(), 3);
    EXPECT_EQ(sheetInView(), 3);
}

TEST_F(WizardTest, ABlankDatabaseNameShowsItsMessageAndKeepsTheFocusThere)
{
    open();
    click("btnext");
    fillMySql();
    setText("edtdatabase", QStringLiteral("  \t "));
    click("btnext");
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, "information");
    EXPECT_EQ(prompts.shown[0].title, "Tavrex 4.0");
    EXPECT_EQ(prompts.shown[0].text, "请输入数据库名称");
    EXPECT_EQ(window->CurrentPage(), 2);
    EXPECT_EQ(window->focusWidget(), control<QWidget>("edtdatabase"));
}

TEST_F(WizardTest, TablePageMovesFollowNextAndBackEmptiesBothLists)
{
    sandboxExec({"create table b_t (id int)", "create table A_t (id int)", "create table c_t (id int)"}, database);
    open();
    walkToTablePage();
    const QStringList serverOrder = items("availabletables");
    ASSERT_EQ(serverOrder.size(), 3);

    click("Button1");
    EXPECT_EQ(items("availabletables"), serverOrder) << "nothing highlighted, nothing moves";
    EXPECT_FALSE(button("btnext")->isEnabled());

    chooseTables({"c_t"});
    EXPECT_EQ(items("selecttables"), QStringList{"c_t"});
    EXPECT_TRUE(button("btnext")->isEnabled());

    click("Button4");
    EXPECT_TRUE(items("selecttables").isEmpty());
    EXPECT_FALSE(button("btnext")->isEnabled());
    EXPECT_EQ(items("availabletables"), (QStringList{"A_t", "b_t", "c_t"})) << "sorted without regard to case";

    chooseTables({"b_t", "A_t"});
    EXPECT_EQ(items("selecttables"), (QStringList{"b_t", "A_t"}));

    // "< Back": page 4, both lists empty; forward again lists the tables in
    // sorted order now that a remove has sorted the list.
    click("btback");
    EXPECT_EQ(window->CurrentPage(), 4);
    EXPECT_EQ(boldStep(), 4);
    EXPECT_TRUE(items("availabletables").isEmpty());
    EXPECT_TRUE(items("selecttables").isEmpty());
    click("btnext");
    EXPECT_EQ(window->CurrentPage(), 5);
    EXPECT_EQ(items("availabletables"), (QStringList{"A_t", "b_t", "c_t"}));
    EXPECT_FALSE(button("btnext")->isEnabled());
}

TEST_F(WizardTest, AnErrorWhileCreatingIsShownAndTheWindowOpensOnPage1)
{
    open([](WindowOptions &options) {
        options.loadSettings = [](ControlValues &values) {
            values.edtdatabase = QStringLiteral("read before the error");
            throw std::runtime_error("settings store unreadable");
        };
    });
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, "error");
    EXPECT_EQ(prompts.shown[0].title, "Tavrex 4.0");
    EXPECT_EQ(prompts.shown[0].text, "settings store unreadable.");
    EXPECT_EQ(control<QLineEdit>("edtdatabase")->text(), "read before the error");
    EXPECT_EQ(window->CurrentPage(), 1);
    EXPECT_EQ(sheetInView(), 1);
    EXPECT_FALSE(button("btback")->isEnabled());
    EXPECT_TRUE(button("btnext")->isEnabled());
}

// Each later option of page 4 travels from its box into the record the steps
// and the run read, and into what the settings store saves; a loaded value
// ticks its box.
TEST_F(WizardTest, ThePageFourOptionsReachTheSettingsRecordAndTheStore)
{
    open();
    struct Option {
        const char *box;
        bool TConversionSettings::*field;
        bool ConversionOptions::*value;
    } const options[] = {
        {"chkrejectrows", &TConversionSettings::RejectRows, &ConversionOptions::RejectRows},
        {"chkverify", &TConversionSettings::Verify, &ConversionOptions::Verify},
        {"chkkeepdetails", &TConversionSettings::KeepDetails, &ConversionOptions::KeepDetails},
    };
    for (const Option &o : options) {
        SCOPED_TRACE(o.box);
        QCheckBox *box = control<QCheckBox>(o.box);
        ASSERT_TRUE(box);
        EXPECT_FALSE(box->isChecked()) << "off by default";
        box->click();
        // The boxes before this one were ticked by the loads below.
        for (const Option &other : options)
            EXPECT_EQ(window->currentSettings().*other.field, &other <= &o) << other.box;
        box->click();
        ControlValues loaded = window->controlValues();
        loaded.options.*o.value = true;
        window->setControlValues(loaded);
        EXPECT_TRUE(box->isChecked());
        EXPECT_TRUE(window->currentSettings().*o.field);
    }
    window.reset();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_TRUE(saved[0].options.RejectRows && saved[0].options.Verify && saved[0].options.KeepDetails);
}

// The unattended run: the start timer's one press carries the wizard from
// page 1 through every step to the run, with nested presses.
TEST_F(WizardTest, TheStartTimerWalksEveryPageByItselfInBatchMode)
{
    sandboxExec({"create table customers (id int primary key)", "insert into customers values (1), (2)",
                 "create table other (id int)"},
                database);
    const struct {
        const char *name;
        QString oracleUser;
        QStringList tables;  // what the batch file names
        int wantPage;
        bool wantLog;
        QString wantError;  // a part of the error box's text
        bool foreignTarget = false;  // the Oracle service names a SQLite file of another program
    } cases[] = {
        {"the run converts the named tables and closes the window", "scott", {"customers", "nosuch"}, 6, true, {}},
        {"no table matched: the run converts none", "scott", {"nosuch"}, 6, true, {}},
        {"a failed Oracle login ends the chain on page 3", "", {"customers"}, 3, false, "ORA-"},
        {"a SQLite file of another program ends the chain on page 3", "scott", {"customers"}, 3, false,
         "foreign.db\": the file is not a Tavrex target", true},
    };
    const QString foreignPath = dir.filePath(QStringLiteral("foreign.db"));
    {
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(foreignPath).constData(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE notes (id INTEGER PRIMARY KEY, body TEXT)", nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        prompts.shown.clear();
        saved.clear();
        const QString job = dir.filePath(QStringLiteral("job.qelt"));
        const QString jobLog = dir.filePath(QStringLiteral("job.log"));
        QFile::remove(jobLog);
        QStringList chosen;
        open([&](WindowOptions &options) {
            options.arguments = {job};
            options.batchStart = [&](Taaform1 &w) {
                EXPECT_EQ(w.batchSettingsFile(), job);
                ControlValues v = w.controlValues();
                v.accessmode = 1;
                v.edthost = QStringLiteral("127.0.0.1");
                v.edtport = mysqlSandbox().port;
                v.edtdatabase = database;
                v.edtname = mysqlSandbox().user;
                v.edtpassword = mysqlSandbox().password;
                v.edtservice = QStringLiteral("embedded:") + (c.foreignTarget ? foreignPath : targetPath);
                v.edtoracleusername = c.oracleUser;
                w.setControlValues(v);
                w.armStartTimer();
            };
            options.batchTableChoice = [&](Taaform1 &w) {
                EXPECT_EQ(w.CurrentPage(), 5);
                for (const QString &name : c.tables)
                    if (w.highlightAvailable(name))
                        w.Button1Click();
                chosen = w.tableLists().selected();
            };
        });
        EXPECT_TRUE(window->BatchMode());
        ASSERT_TRUE(window->Timer1()->isActive());
        EXPECT_EQ(window->Timer1()->interval(), 1000);
        EXPECT_EQ(window->CurrentPage(), 1);

        window->Timer1Timer();
        EXPECT_FALSE(window->Timer1()->isActive()) << "it fires once";
        EXPECT_EQ(window->CurrentPage(), c.wantPage);
        EXPECT_EQ(QFile::exists(jobLog), c.wantLog) << "the batch log goes next to the settings file";
        if (c.wantError.isEmpty()) {
            EXPECT_TRUE(errorsShown().isEmpty()) << errorsShown().join('\n').toStdString();
            const QStringList wantChosen = c.tables.contains("customers") ? QStringList{"customers"} : QStringList{};
            EXPECT_EQ(chosen, wantChosen);
            EXPECT_EQ(window->log().lines().contains("Insert table CUSTOMERS 2 Rows ...Done"), !wantChosen.isEmpty());
            settle([this] { return !window->isVisible(); });
            EXPECT_FALSE(window->isVisible()) << "the end of the run closes the window";
        } else {
            ASSERT_EQ(errorsShown().size(), 1);
            EXPECT_TRUE(errorsShown().first().contains(c.wantError)) << errorsShown().first().toStdString();
            EXPECT_EQ(sheetInView(), c.wantPage);
            settle([] { return false; });
            EXPECT_TRUE(window->isVisible()) << "the operator takes over";
        }
        window.reset();
        EXPECT_EQ(saved.size(), 1u);
    }
}

TEST_F(WizardTest, AMoveKeepsTheHighlightOfTheEntriesThatStay)
{
    open();
    window->previewPage(5, ListChoice{}, {"a", "b", "c"}, {"x", "y"});
    auto *selected = window->findChild<QListWidget *>("selecttables");
    auto *available = window->findChild<QListWidget *>("availabletables");
    ASSERT_TRUE(selected && available);
    selected->item(1)->setSelected(true);  // y
    available->item(2)->setSelected(true);  // c, left where it is
    ASSERT_TRUE(window->highlightAvailable("a"));
    available->item(2)->setSelected(true);
    window->Button1Click();  // moves the highlighted entries: a and c
    ASSERT_EQ(window->tableLists().selected(), (QStringList{"x", "y", "a", "c"}));
    ASSERT_EQ(selected->count(), 4);
    EXPECT_TRUE(selected->item(1)->isSelected()) << "y stays highlighted, so \"< Remove\" still acts on it";
    window->Button3Click();
    EXPECT_FALSE(window->tableLists().selected().contains("y"));
}

TEST_F(WizardTest, APressDuringTheRunNeverStartsASecondRun)
{
    sandboxExec({"create table items (id int)", "insert into items select seq from seq_1_to_300"}, database);
    const QString job = dir.filePath(QStringLiteral("early.qelt"));
    open([&](WindowOptions &options) {
        options.arguments = {job};
        options.batchStart = [&](Taaform1 &w) {
            ControlValues v = w.controlValues();
            v.accessmode = 1;
            v.edthost = QStringLiteral("127.0.0.1");
            v.edtport = mysqlSandbox().port;
            v.edtdatabase = database;
            v.edtname = mysqlSandbox().user;
            v.edtpassword = mysqlSandbox().password;
            v.edtservice = QStringLiteral("embedded:") + targetPath;
            v.edtoracleusername = QStringLiteral("scott");
            w.setControlValues(v);
            w.armStartTimer();
        };
        options.batchTableChoice = [](Taaform1 &w) { w.Button2Click(); };
    });
    ASSERT_TRUE(window->Timer1()->isActive());
    // Presses served by the run's pumps: the overdue start timer and the
    // operator's "Next >" and "< Back".
    int pumps = 0;
    window->setPump([&] {
        if (++pumps == 2) {
            window->Timer1Timer();
            window->btnextClick();
            window->btbackClick();
        }
    });
    // The operator presses "Next >" on page 1 before the timer fires: that
    // press carries the whole chain, and the timer is off from then on.
    window->btnextClick();
    EXPECT_FALSE(window->Timer1()->isActive());
    EXPECT_GE(pumps, 2);
    EXPECT_EQ(window->log().lines().filter(QRegularExpression("^Start time:")).size(), 1);
    EXPECT_EQ(window->log().lines().filter("Insert table ITEMS 300 Rows ...Done").size(), 1);
    EXPECT_EQ(window->CurrentPage(), 6);
}

TEST_F(WizardTest, TheProgressBarsShowTheTablesAndTheRowsAgainstTheEstimateAtEveryPumpPoint)
{
    // MyISAM keeps an exact row count, so the server's estimate is 1000.
    sandboxExec({"create table big (id int) engine=MyISAM", "insert into big select seq from seq_1_to_1000",
                 "create table small (id int) engine=MyISAM", "insert into small values (1), (2), (3)"},
                database);
    open();
    window->lnklanguageClick();
    ASSERT_EQ(window->LanguageCode(), "en");
    // One second passes between two pump points.
    std::int64_t now = 0;
    window->setRateClock([&now] { return now; });
    walkToTablePage();
    chooseTables({"big", "small"});

    struct Seen {
        int tables, tablesMaximum, rows, rowsMaximum;
        QString tablesText, rowsText, rateText;
        bool shown;
    };
    std::vector<Seen> seen;
    QProgressBar *tables = control<QProgressBar>("pbtables");
    QProgressBar *rows = control<QProgressBar>("pbrows");
    window->setPump([&] {
        seen.push_back({tables->value(), tables->maximum(), rows->value(), rows->maximum(),
                        control<QLabel>("lbltables")->text(), control<QLabel>("lblrows")->text(),
                        control<QLabel>("lblrate")->text(), control<QWidget>("runprogress")->isVisible()});
        now += 1000;
    });
    click("btnext");
    ASSERT_TRUE(errorsShown().isEmpty()) << errorsShown().join('\n').toStdString();

    // The top of big, its row polls at 100 ... 1000, the top of small (3 rows: no row poll).
    ASSERT_EQ(seen.size(), 12u);
    for (std::size_t i = 0; i <= 10; ++i) {
        SCOPED_TRACE(i);
        const int copied = int(i) * 100;
        EXPECT_TRUE(seen[i].shown);
        EXPECT_EQ(seen[i].tables, 0);
        EXPECT_EQ(seen[i].tablesMaximum, 2);
        EXPECT_EQ(seen[i].tablesText, "Tables: 0 of 2 done");
        EXPECT_EQ(seen[i].rows, copied) << "thousandths of the estimate";
        EXPECT_EQ(seen[i].rowsMaximum, 1000);
        EXPECT_EQ(seen[i].rowsText, QStringLiteral("big: %1 of about 1,000 rows").arg(QLocale(QLocale::English).toString(copied)));
        // From the third second on, the time the table still needs.
        const QString remaining = i >= 3 && i < 10 ? QStringLiteral(", about 0:%1 left").arg(10 - i, 2, 10, QChar('0'))
                                                   : QString();
        EXPECT_EQ(seen[i].rateText, i == 0 ? QString() : "100 rows/s" + remaining);
    }
    EXPECT_EQ(seen[11].tables, 1);
    EXPECT_EQ(seen[11].rows, 0);
    EXPECT_EQ(seen[11].rowsText, "small: 0 of about 3 rows");
    EXPECT_EQ(seen[11].rateText, "") << "the rate starts again with each table";

    // The run completed: both bars full, then the results take their place.
    EXPECT_EQ(tables->value(), 2);
    EXPECT_EQ(rows->value(), rows->maximum());
    EXPECT_FALSE(control<QWidget>("runprogress")->isVisible());
    EXPECT_EQ(control<QTabWidget>("runview")->currentWidget(), control<QTableWidget>("results"));
}

TEST_F(WizardTest, TheResultsListEveryTableAndADoubleClickOnAFailedOneShowsItsLogLines)
{
    // A column type the mapping cannot read fails its table; the next converts.
    sandboxExec({"create table comp (id int, v varchar(100) compressed)", "insert into comp values (1, 'x')",
                 "create table later (id int)", "insert into later values (1), (2)"},
                database);
    open();
    window->lnklanguageClick();
    walkToTablePage();
    chooseTables({"comp", "later"});
    click("btnext");
    ASSERT_TRUE(errorsShown().isEmpty()) << errorsShown().join('\n').toStdString();
    ASSERT_EQ(window->CurrentPage(), 6);

    QTabWidget *view = control<QTabWidget>("runview");
    QTableWidget *results = control<QTableWidget>("results");
    QPlainTextEdit *log = control<QPlainTextEdit>("sc");
    EXPECT_EQ(view->currentWidget(), results) << "the results come first after a run";
    EXPECT_EQ(view->tabText(view->indexOf(results)), "Results");
    EXPECT_EQ(view->tabText(view->indexOf(log)), "Log");
    QStringList headers;
    for (int c = 0; c < results->columnCount(); ++c) {
        // A caption too wide for its column is cut at its end and whole in its tip.
        const QTableWidgetItem *h = results->horizontalHeaderItem(c);
        if (h->text().endsWith(QChar(0x2026))) {
            EXPECT_TRUE(h->toolTip().startsWith(h->text().chopped(1))) << h->toolTip().toStdString();
            headers << h->toolTip();
        } else {
            headers << h->text();
        }
    }
    EXPECT_EQ(headers, (QStringList{"", "MySQL table", "Oracle table", "Rows", "Rejected", "Verified", "Seconds"}));

    ASSERT_EQ(results->rowCount(), 2);
    const auto cells = [results](int row) {
        QStringList texts;
        for (int c = 1; c <= 5; ++c)
            texts << results->item(row, c)->text();
        return texts;
    };
    EXPECT_EQ(cells(0), (QStringList{"comp", "COMP", "0", "0 / 0", "no"}));
    EXPECT_EQ(cells(1), (QStringList{"later", "LATER", "2", "0 / 0", "no"}));
    EXPECT_TRUE(QRegularExpression("^\\d+\\.\\d$").match(results->item(1, 6)->text()).hasMatch());
    EXPECT_TRUE(results->item(0, 0)->toolTip().startsWith("Failed\n\nCannot convert column v"));
    EXPECT_EQ(results->item(1, 0)->toolTip(), "Converted");
    EXPECT_FALSE(results->item(0, 0)->icon().isNull());
    // The name whole, then the error at a glance.
    EXPECT_TRUE(results->item(0, 1)->toolTip().startsWith("comp\n\nCannot convert column v"));
    EXPECT_EQ(results->item(1, 2)->toolTip(), "LATER");
    for (int c = 0; c < results->columnCount(); ++c)
        EXPECT_EQ(results->horizontalHeader()->sectionResizeMode(c), QHeaderView::Interactive) << c;

    const auto doubleClick = [results](int row) {
        const QPoint at = results->visualItemRect(results->item(row, 1)).center();
        QTest::mouseClick(results->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(results->viewport(), Qt::LeftButton, {}, at);
    };
    // A table without a problem has nothing to show.
    doubleClick(1);
    EXPECT_EQ(view->currentWidget(), results);

    // The failed table: its lines from its first step line to its error,
    // selected in the log.
    doubleClick(0);
    EXPECT_EQ(view->currentWidget(), log);
    const QStringList shown = log->textCursor().selectedText().replace(QChar(0x2029), '\n').split('\n');
    ASSERT_GE(shown.size(), 2);
    EXPECT_EQ(shown.first(), "Create table COMP... ");
    EXPECT_TRUE(shown.last().startsWith("Cannot convert column v")) << shown.last().toStdString();
    const QStringList lines = window->log().lines();
    EXPECT_EQ(shown, lines.mid(lines.indexOf("Create table COMP... "), shown.size())) << "whole lines, in order";
    EXPECT_FALSE(shown.join('\n').contains("LATER"));

    // The keyboard: Return on a row is the double click, Ctrl+C copies the
    // rows chosen with a header, and Tab leaves the table.
    log->setTextCursor(QTextCursor(log->document()));
    view->setCurrentWidget(results);
    results->setFocus();
    results->setCurrentCell(0, 1);
    QTest::keyClick(results, Qt::Key_Return);
    EXPECT_EQ(view->currentWidget(), log);
    EXPECT_EQ(log->textCursor().selectedText().section(QChar(0x2029), 0, 0), "Create table COMP... ");

    view->setCurrentWidget(results);
    results->setFocus();
    results->selectAll();
    QTest::keyClick(results, Qt::Key_C, Qt::ControlModifier);
    const QStringList copied = QGuiApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(copied.size(), 3);
    EXPECT_EQ(copied[0], "Status\tMySQL table\tOracle table\tRows\tRejected\tVerified\tSeconds");
    EXPECT_TRUE(copied[1].startsWith("Failed\tcomp\tCOMP\t0\t0 / 0\tno\t")) << copied[1].toStdString();
    EXPECT_TRUE(copied[2].startsWith("Converted\tlater\tLATER\t2\t")) << copied[2].toStdString();

    results->setFocus();
    QTest::keyClick(results, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), results) << "Tab leaves the table";
    EXPECT_EQ(results->currentColumn(), 1) << "and moves no cell";
}

namespace {

// A run of a large table followed by a small one; "Stop" is pressed from
// inside the run's third pump, which is the row copy's poll after 200 rows.
class StopTest : public WizardTest {
protected:
    void SetUp() override
    {
        WizardTest::SetUp();
        sandboxExec({"create table big (id int)", "insert into big select seq from seq_1_to_1000",
                     "create table after_big (id int)", "insert into after_big values (1), (2), (3)"},
                    database);
    }

    void runWithActionAtPump(int pump, const std::function<void()> &action)
    {
        walkToTablePage();
        chooseTables({"big", "after_big"});
        ASSERT_EQ(items("selecttables"), (QStringList{"big", "after_big"}));
        window->setPump([this, pump, action] {
            if (++pumps == pump)
                action();
            QCoreApplication::processEvents();
        });
        click("btnext");
    }
    void pressStop() { QTest::mouseClick(button("btcancel"), Qt::LeftButton); }

    qsizetype lineAfter(const QString &startOfLine)
    {
        const QStringList lines = window->log().lines();
        for (qsizetype i = 0; i + 1 < lines.size(); ++i)
            if (lines.at(i).startsWith(startOfLine))
                return i + 1;
        return -1;
    }

    std::size_t saved_values() const { return saved.size(); }

    int pumps = 0;
};

} // namespace

TEST_F(StopTest, StopAnsweredYesEndsTheRunWithoutALogFile)
{
    open();
    prompts.answers = {true};
    runWithActionAtPump(3, [this] {
        EXPECT_EQ(button("btcancel")->text(), "Stop");
        EXPECT_FALSE(button("btback")->isEnabled());
        EXPECT_FALSE(button("btnext")->isEnabled());
        pressStop();
    });
    ASSERT_TRUE(errorsShown().isEmpty()) << errorsShown().join('\n').toStdString();
    ASSERT_FALSE(prompts.shown.empty());
    EXPECT_EQ(prompts.shown[0].title, "Info");
    EXPECT_EQ(prompts.shown[0].text, "Stop");

    const qsizetype aborted = lineAfter("Insert table BIG ");
    ASSERT_GT(aborted, 0);
    EXPECT_EQ(window->log().lines().at(aborted), "Operation aborted");
    EXPECT_FALSE(window->log().lines().join('\n').contains("AFTER_BIG")) << "the run ended at the next table";
    EXPECT_TRUE(logFiles().isEmpty());
    EXPECT_EQ(memo(), window->log().lines().join('\n'));
    // The log and the progress where the run stopped stay in view; the
    // progress names the table stopped and the rows it keeps.
    EXPECT_EQ(control<QTabWidget>("runview")->currentWidget(), control<QPlainTextEdit>("sc"));
    EXPECT_TRUE(control<QWidget>("runprogress")->isVisible());
    const qsizetype kept = readEmbeddedTable(targetPath, "SCOTT", "BIG").size();
    EXPECT_GT(kept, 0);
    EXPECT_EQ(control<QLabel>("lbltables")->text(), "在 big 停止: 表已完成 0 / 2");
    EXPECT_EQ(control<QLabel>("lblrows")->text(), QStringLiteral("big: Oracle 中保留 %1 行").arg(kept));
    EXPECT_EQ(control<QLabel>("lblrate")->text(), "");
    // The results: the stopped table with its rows, the one never begun.
    QTabWidget *view = control<QTabWidget>("runview");
    QTableWidget *results = control<QTableWidget>("results");
    EXPECT_TRUE(view->isTabVisible(view->indexOf(results)));
    ASSERT_EQ(results->rowCount(), 2);
    EXPECT_EQ(results->item(0, 1)->text(), "big");
    EXPECT_EQ(results->item(0, 3)->text(), QString::number(kept));
    EXPECT_EQ(results->item(0, 5)->text(), "已停止");
    EXPECT_EQ(results->item(0, 0)->data(Qt::UserRole).toInt(), int(TableStatus::Stopped));
    EXPECT_EQ(results->item(1, 1)->text(), "after_big");
    EXPECT_EQ(results->item(1, 3)->text(), "未开始");
    EXPECT_EQ(results->columnSpan(1, 3), 4) << "across the figures";
    EXPECT_EQ(results->item(1, 0)->data(Qt::UserRole).toInt(), int(TableStatus::NotStarted));
    EXPECT_FALSE(control<QToolButton>("btnopenfolder")->isVisible()) << "no record was saved";

    // Stopped: the log stays in view with "< Back" and "Close".
    EXPECT_EQ(window->CurrentPage(), 5);
    EXPECT_EQ(sheetInView(), 6);
    EXPECT_TRUE(button("btback")->isEnabled());
    EXPECT_FALSE(button("btnext")->isEnabled());
    EXPECT_EQ(button("btcancel")->text(), "Close");
    EXPECT_TRUE(button("btcancel")->isEnabled());

    // "< Back" leads to page 4 with both lists empty, and the wizard goes on.
    click("btback");
    EXPECT_EQ(window->CurrentPage(), 4);
    EXPECT_EQ(sheetInView(), 4);
    EXPECT_EQ(boldStep(), 4);
    EXPECT_TRUE(items("availabletables").isEmpty());
    EXPECT_TRUE(items("selecttables").isEmpty());
    click("btnext");
    EXPECT_EQ(window->CurrentPage(), 5) << "no stop request is left to block the wizard";

    // The third button asks the close question again.
    prompts.answers = {false};
    click("btcancel");
    EXPECT_EQ(prompts.shown.back().title, "Information");
    EXPECT_TRUE(window->isVisible());
}

TEST_F(StopTest, StopAnsweredNoLetsTheRunComplete)
{
    open();
    prompts.answers = {false};
    runWithActionAtPump(3, [this] { pressStop(); });
    ASSERT_TRUE(errorsShown().isEmpty()) << errorsShown().join('\n').toStdString();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Stop");
    EXPECT_EQ(window->CurrentPage(), 6);
    EXPECT_EQ(button("btnext")->text(), "Finish");
    EXPECT_TRUE(window->log().lines().contains("Insert table BIG 1000 Rows ...Done"));
    EXPECT_TRUE(window->log().lines().contains("Insert table AFTER_BIG 3 Rows ...Done"));
    EXPECT_EQ(logFiles().size(), 1);
    EXPECT_EQ(readEmbeddedTable(targetPath, "SCOTT", "BIG").size(), 1000);
}

TEST_F(StopTest, TheCloseBoxDuringARunAsksStopThenSavesTheStoppedRunsRecordAndCloses)
{
    open();
    prompts.answers = {true};
    runWithActionAtPump(3, [this] {
        EXPECT_EQ(boldStep(), 6) << "the step list marks the log page in view";
        window->close();
        EXPECT_TRUE(window->isVisible()) << "the window waits for the run to end";
    });
    ASSERT_TRUE(errorsShown().isEmpty()) << errorsShown().join('\n').toStdString();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, "question");
    EXPECT_EQ(prompts.shown[0].title, "Info");
    EXPECT_EQ(prompts.shown[0].text, "Stop");
    const qsizetype aborted = lineAfter("Insert table BIG ");
    ASSERT_GT(aborted, 0);
    EXPECT_EQ(window->log().lines().at(aborted), "Operation aborted");
    EXPECT_FALSE(window->log().lines().join('\n').contains("AFTER_BIG"));

    // Saved as a stopped replay saves: the log with its summary and end
    // line, and the report saying "stopped".
    ASSERT_EQ(logFiles().size(), 1);
    QFile file(GetLogFolder() + logFiles().first());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString saved = QString::fromLocal8Bit(file.readAll());
    EXPECT_TRUE(saved.contains("Operation aborted\r\n"));
    EXPECT_TRUE(saved.contains("The end time:"));
    QFile report(reportPathForLog(GetLogFolder() + logFiles().first()));
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    EXPECT_TRUE(report.readAll().contains("\"stopped\"")) << "the report's outcome";

    settle([this] { return !window->isVisible(); });
    EXPECT_FALSE(window->isVisible());
    window.reset();
    EXPECT_EQ(saved_values(), 1u);
}

TEST_F(StopTest, TheCloseBoxAnsweredNoChangesNothingAndIdleItAsksTheCloseQuestion)
{
    open();
    prompts.answers = {false};
    runWithActionAtPump(3, [this] { window->close(); });
    ASSERT_TRUE(errorsShown().isEmpty()) << errorsShown().join('\n').toStdString();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Stop");
    EXPECT_EQ(window->CurrentPage(), 6) << "the run went on to its end";
    EXPECT_TRUE(window->log().lines().contains("Insert table AFTER_BIG 3 Rows ...Done"));
    settle([] { return false; });
    EXPECT_TRUE(window->isVisible());

    // Idle, the close box asks the close question of "Close".
    prompts.answers = {false, true};
    window->close();
    EXPECT_EQ(prompts.shown.back().title, "Information");
    EXPECT_EQ(prompts.shown.back().text, "退出向导 ?");
    EXPECT_TRUE(window->isVisible());
    window->close();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(StopTest, AFailedRunKeepsItsButtonsAndAStopAfterItLeavesNoRequestBehind)
{
    open();
    // The log folder turns into a file: the run's save fails.
    const QString folder = GetLogFolder();
    ASSERT_TRUE(QDir(folder).removeRecursively());
    QFile blocker(folder.chopped(1));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    runWithActionAtPump(0, [] {});
    ASSERT_EQ(errorsShown().size(), 1);
    EXPECT_TRUE(errorsShown().first().contains(folder.chopped(1))) << errorsShown().first().toStdString();
    EXPECT_EQ(window->CurrentPage(), 5);
    EXPECT_EQ(sheetInView(), 6);
    EXPECT_FALSE(button("btback")->isEnabled());
    EXPECT_FALSE(button("btnext")->isEnabled());
    EXPECT_EQ(button("btcancel")->text(), "Stop");
    EXPECT_NE(window->log().LastLine(), "点击 'Finish' 离开本向导.") << "the run ended at the save";

    prompts.answers = {true};
    pressStop();
    EXPECT_TRUE(button("btback")->isEnabled());
    EXPECT_EQ(button("btcancel")->text(), "Close");
    click("btback");
    EXPECT_EQ(window->CurrentPage(), 4);
    click("btnext");
    EXPECT_EQ(window->CurrentPage(), 5) << "the stop after the failed run blocks nothing";
}

namespace {

// A port on loopback that takes connections and never answers: the MySQL
// client waits there for the server's greeting until its time-out.
class BlackholedPort {
public:
    BlackholedPort()
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr *>(&address), length) != 0 || ::listen(fd_, 8) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr *>(&address), &length) != 0)
            return;
        port_ = ntohs(address.sin_port);
    }
    ~BlackholedPort()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

// The client's time-out, for the length of one test.
class ClientTimeout {
public:
    explicit ClientTimeout(const char *seconds) { qputenv("TAVREX_MYSQL_TIMEOUT", seconds); }
    ~ClientTimeout() { qunsetenv("TAVREX_MYSQL_TIMEOUT"); }
};

} // namespace

TEST_F(WizardTest, AConnectToAHostThatNeverAnswersKeepsTheWindowServedAndCanBeGivenUp)
{
    BlackholedPort blackhole;
    ASSERT_GT(blackhole.port(), 0);
    // Long enough that only a give-up ends the wait inside this test.
    ClientTimeout timeout("60");
    open();
    click("btnext");
    fillMySql();
    setText("edtport", QString::number(blackhole.port()));

    struct Way {
        const char *name;
        std::function<void()> giveUp;
    };
    const Way ways[] = {
        {"Esc in the focused box", [this] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); }},
        {"the third button", [this] { click("btcancel"); }},
    };
    for (const Way &way : ways) {
        SCOPED_TRACE(way.name);
        bool connecting = false;
        bool busyCursor = false;
        int served = 0;
        QTimer ticks;
        ticks.setInterval(10);
        QObject::connect(&ticks, &QTimer::timeout, [&] {
            // The window's events are served while the client waits.
            if (++served < 5)
                return;
            ticks.stop();
            connecting = window->connecting();
            busyCursor = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::BusyCursor;
            way.giveUp();
        });
        ticks.start();
        const std::size_t before = prompts.shown.size();
        click("btnext");
        ticks.stop();
        EXPECT_GE(served, 5);
        EXPECT_TRUE(connecting);
        EXPECT_TRUE(busyCursor);
        EXPECT_EQ(prompts.shown.size(), before) << "a give-up shows no box (nor a close question)";
        EXPECT_FALSE(window->connecting());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the cursor is back";
        EXPECT_EQ(window->CurrentPage(), 2);
        EXPECT_TRUE(window->isVisible());
        EXPECT_TRUE(button("btnext")->isEnabled());
        EXPECT_EQ(button("btcancel")->text(), "Close");
    }

    // The wizard goes on with a server that answers.
    setText("edtport", mysqlSandbox().port);
    click("btnext");
    EXPECT_EQ(window->CurrentPage(), 3) << errorsShown().join('\n').toStdString();
}

TEST_F(WizardTest, AConnectThatTimesOutShowsTheClientsErrorAndStaysOnItsPage)
{
    BlackholedPort blackhole;
    ASSERT_GT(blackhole.port(), 0);
    ClientTimeout timeout("1");
    open();
    click("btnext");
    fillMySql();
    setText("edtport", QString::number(blackhole.port()));
    int served = 0;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] { ++served; });
    ticks.start(10);
    click("btnext");
    ticks.stop();
    EXPECT_GT(served, 0) << "the window was served during the wait";
    ASSERT_EQ(errorsShown().size(), 1);
    EXPECT_TRUE(errorsShown().first().contains(
        QStringLiteral("the MySQL server 127.0.0.1:%1 did not answer within 1 seconds").arg(blackhole.port())))
        << errorsShown().first().toStdString();
    EXPECT_EQ(window->CurrentPage(), 2);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(WizardTest, ReturnPressesNextOrTheFocusedButtonAndPageOneStartsOnNext)
{
    open();
    EXPECT_EQ(window->focusWidget(), button("btnext")) << "not the language link";
    QTest::keyClick(window->focusWidget(), Qt::Key_Return);
    EXPECT_EQ(window->CurrentPage(), 2);
    EXPECT_EQ(window->LanguageCode(), "cn") << "Return did not switch the language";

    // Return in a box of the page is "Next >" (its step runs).
    fillMySql();
    QTest::keyClick(control<QLineEdit>("edtport"), Qt::Key_Enter, Qt::KeypadModifier);
    ASSERT_EQ(window->CurrentPage(), 3) << errorsShown().join('\n').toStdString();

    // A focused button takes Return as its own press.
    button("btback")->setFocus();
    QTest::keyClick(button("btback"), Qt::Key_Return);
    EXPECT_EQ(window->CurrentPage(), 2);

    // On a check box too, Return goes on; a disabled "Next >" takes none.
    click("btnext");
    fillOracle();
    click("btnext");
    ASSERT_EQ(window->CurrentPage(), 4);
    QCheckBox *option = control<QCheckBox>("chkverify");
    option->setFocus();
    QTest::keyClick(option, Qt::Key_Return);
    ASSERT_EQ(window->CurrentPage(), 5) << errorsShown().join('\n').toStdString();
    EXPECT_FALSE(button("btnext")->isEnabled());
    QTest::keyClick(list("availabletables"), Qt::Key_Return);
    EXPECT_EQ(window->CurrentPage(), 5);
    EXPECT_TRUE(errorsShown().isEmpty());
}

TEST(WindowPlacement, TheWindowFitsTheAvailableAreaAndNeverStartsOffIt)
{
    struct Case {
        const char *name;
        QRect available;
        QMargins frame;
        QSize client;
        QPoint topLeft;
    };
    const QSize design(594, 425);
    const QMargins frame(1, 23, 1, 1);
    const Case cases[] = {
        {"1920x1080 at 1x: the designed size, centred", QRect(0, 0, 1920, 1080), frame, design, QPoint(662, 315)},
        {"1024x600 at 1x", QRect(0, 0, 1024, 600), frame, design, QPoint(214, 75)},
        {"1024x600 at 1.5x: too low, the full height and room for the bar", QRect(0, 0, 683, 400), frame,
         QSize(608, 376), QPoint(36, 0)},
        {"1024x600 at 2x: too narrow and too low", QRect(0, 0, 512, 300), frame, QSize(510, 276), QPoint(0, 0)},
        {"a panel at the top: below it", QRect(0, 30, 1024, 570), frame, design, QPoint(214, 90)},
        {"a second screen to the left", QRect(-1280, 0, 1280, 1024), QMargins(), design, QPoint(-937, 299)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const WindowPlacement place = placeWindow(design, c.available, c.frame, 14);
        EXPECT_EQ(place.client, c.client);
        EXPECT_EQ(place.topLeft, c.topLeft);
        const QRect outer(place.topLeft, place.client.grownBy(c.frame));
        EXPECT_TRUE(c.available.contains(outer)) << "inside the available area";
    }
}

TEST(OptionRows, TheDesignedPitchWhileTheyFitThenCloserThenTheColumnScrolls)
{
    // The column from the options' top to the foot of page 4: 226 pixels.
    EXPECT_EQ(optionRowPitch(7, 226), 22) << "today's seven options keep their places";
    EXPECT_EQ(optionRowPitch(8, 226), 22);
    EXPECT_EQ(optionRowPitch(9, 226), 20) << "two more still fit";
    EXPECT_LE(9 * optionRowPitch(9, 226) + 44, 226);
    EXPECT_EQ(optionRowPitch(12, 226), 18) << "never closer than 18: the column scrolls";
}

TEST_F(WizardTest, ARowWithRejectedValuesListsThemByReasonAndTheFolderOfTheRecordOpens)
{
    // 25 zero dates and one time past a day: more than the 20 lines a row shows.
    sandboxExec({"set sql_mode=''", "create table d (id int, v date, t time)",
                 "insert into d select seq, if(seq <= 25, '0000-00-00', '2024-01-01'), if(seq = 30, '100:00:00', "
                 "'10:00:00') from seq_1_to_40"},
                database);
    open();
    walkToTablePage();
    chooseTables({"d"});
    click("btnext");
    ASSERT_TRUE(errorsShown().isEmpty()) << errorsShown().join('\n').toStdString();
    QTableWidget *results = control<QTableWidget>("results");
    ASSERT_EQ(results->rowCount(), 1);
    EXPECT_EQ(results->item(0, 4)->text(), "26 / 0");

    // The tool tip lists the ledger's records of the table grouped by
    // reason: the first reason's lines, the other after them, cut at 20.
    const QStringList tip = results->item(0, 3)->toolTip().split('\n');
    const qsizetype first = tip.indexOf(QRegularExpression("^zero date: v, 第 1 行: 0000-00-00$"));
    ASSERT_GE(first, 0) << results->item(0, 3)->toolTip().toStdString();
    const QStringList listed = tip.mid(first, 20);
    EXPECT_EQ(listed.filter(QRegularExpression("^zero date: v, ")).size(), 19);
    EXPECT_EQ(listed.last(), "... 记录文件中还有 7 条") << "26 records, 19 shown";
    EXPECT_TRUE(tip.contains("双击查看此表的日志"));

    // "Open folder" opens the log folder in the desktop's file manager.
    QToolButton *folder = control<QToolButton>("btnopenfolder");
    ASSERT_TRUE(folder->isVisible());
    EXPECT_EQ(folder->text(), "打开文件夹");
    opened.clear();
    QTest::mouseClick(folder, Qt::LeftButton);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(QDir(opened[0].toLocalFile()).canonicalPath(), QDir(GetLogFolder()).canonicalPath());
    EXPECT_TRUE(QFile::exists(ledgerPathForLog(window->lastLogPath())));
}
