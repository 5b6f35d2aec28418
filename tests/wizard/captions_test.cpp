#include "tests/support/qtprinters.h"
#include "tests/support/testenv.h"
#include "wizard/captions.h"
#include "wizard/windowprompts.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>
#include <QWidget>

#include <gtest/gtest.h>

using namespace tavrex;

namespace {

QStringList keysOf(const QStringList &table)
{
    QStringList keys;
    for (const QString &row : table)
        keys.append(rowKey(row));
    return keys;
}

} // namespace

TEST(CaptionTables, BothHoldTheSameKeysInTheSameOrderTheLaterRowsAfterTheFirst44)
{
    const QStringList english = englishTable(QStringLiteral("/opt/tavrex/help"));
    const QStringList chn = chnTable(QStringLiteral("/opt/tavrex/help"));
    ASSERT_EQ(english.size(), 52);
    EXPECT_EQ(keysOf(english), keysOf(chn));
    EXPECT_EQ(keysOf(english).first(), "Label1");
    EXPECT_EQ(keysOf(english).at(13), "Label15") << "row 14 comes before Label14";
    EXPECT_EQ(keysOf(english).at(42), "helpurl");
    EXPECT_EQ(keysOf(english).at(43), "queryclose");
    EXPECT_EQ(keysOf(english).mid(44),
              (QStringList{"chkrejectrows", "chkverify", "chkkeepdetails", "chkresume", "lblspnparallel",
                           "lnklanguage", "lblservicehint", "helpmissing"}));
    EXPECT_EQ(keysOf(english).removeDuplicates(), 0);
}

TEST(CaptionTables, CaptionsThatAreEasyToGetWrong)
{
    struct Row {
        const char *key;
        const char *english;
        const char *chinese;
    };
    const Row rows[] = {
        {"Label8", "Conversion Wizard", ""},
        {"Label9", "This wizard helps you move Mysql database to Oracle  server.", "本向导将实现Mysql 的表到Oracle的转换"},
        {"Label19", "Enter the same values that you specify for standard Oracle applications", ""},
        {"Label20", "Link Oracle Enterprise Manager Console.", ""},
        {"Label21", "&Service:", "Service 名称:"},
        {"Label23", "&Password", "密码:"},
        {"edtport111", "Port number:", "端口号:"},
        {"Label29", "Conversion is Completed", "已经完成转换"},
        {"Label30", "Wizard has migrated your MySQL database to Oracle server successfully.",
         "向导已经完成Mysql 数据库到Orccle的转换."},
        {"Label32", "Click 'Finish' to exit the wizard.", "点击 'Finish' 离开本向导."},
        {"GroupBox1", "Port settings", "Port settings"},
        {"queryclose", "Close this Wizard ?", "退出向导 ?"},
        {"chkrejectrows", "Continue past rejected rows", "跳过被拒绝的行继续复制"},
        {"chkverify", "Verify copied data", "校验复制的数据"},
        {"chkkeepdetails", "Keep column details", "保留列的属性"},
        {"lnklanguage", "中文", "English"},
    };
    const QStringList english = englishTable(QString());
    const QStringList chn = chnTable(QString());
    for (const Row &row : rows) {
        SCOPED_TRACE(row.key);
        EXPECT_EQ(captionFor(english, row.key), QString::fromUtf8(row.english));
        EXPECT_EQ(captionFor(chn, row.key), QString::fromUtf8(row.chinese));
    }
}

TEST(CaptionTables, HelpAddressesNameTheInstalledPagesOfEachLanguage)
{
    const QString folder = test::sourceDir() + QStringLiteral("/docs/help");
    const QUrl english(captionFor(englishTable(folder), QStringLiteral("helpurl")));
    const QUrl chinese(captionFor(chnTable(folder), QStringLiteral("helpurl")));
    ASSERT_TRUE(english.isLocalFile());
    ASSERT_TRUE(chinese.isLocalFile());
    EXPECT_EQ(QFileInfo(english.toLocalFile()).fileName(), helpPageEnglish());
    EXPECT_EQ(QFileInfo(chinese.toLocalFile()).fileName(), helpPageChinese());
    EXPECT_TRUE(QFileInfo::exists(english.toLocalFile())) << english.toString().toStdString();
    EXPECT_TRUE(QFileInfo::exists(chinese.toLocalFile())) << chinese.toString().toStdString();
}

TEST(CaptionTables, LookupIgnoresCaseTakesTheFirstRowAndYieldsEmptyWithoutOne)
{
    const QStringList table{"Label1=first", "label1=second", "Label2=a=b", "broken", "Label3="};
    EXPECT_EQ(captionFor(table, "LABEL1"), "first");
    EXPECT_EQ(captionFor(table, "Label2"), "a=b");
    EXPECT_EQ(captionFor(table, "Label3"), "");
    EXPECT_EQ(captionFor(table, "broken"), "");
    EXPECT_EQ(captionFor(table, "Label9"), "");
}

namespace {

// A small window with one control of each kind the walk meets.
struct CaptionFixture {
    CaptionFixture()
    {
        const auto named = [](QWidget *w, const char *name) {
            w->setObjectName(QString::fromLatin1(name));
            return w;
        };
        step = static_cast<QLabel *>(named(new QLabel("design", &root), "Label1"));
        lowerCaseName = static_cast<QLabel *>(named(new QLabel("design", &root), "label7"));
        unlisted = static_cast<QLabel *>(named(new QLabel("design", &root), "Label99"));
        group = static_cast<QGroupBox *>(named(new QGroupBox("design", &root), "accessmode"));
        item = static_cast<QRadioButton *>(named(new QRadioButton("&Local", group), "localitem"));
        check = static_cast<QCheckBox *>(named(new QCheckBox("design", &root), "chkuppercase"));
        edit = static_cast<QLineEdit *>(named(new QLineEdit("edit text", &root), "Label2"));
        add = static_cast<QPushButton *>(named(new QPushButton("Add >", &root), "Button1"));
        help = static_cast<QPushButton *>(named(new QPushButton("Help", &root), "bthelp"));
        shortcut = static_cast<QPushButton *>(named(new QPushButton("design", &root), "btcreatebat"));
        next = static_cast<QPushButton *>(named(new QPushButton("Next >", &root), "btnext"));
    }
    void apply(const QString &code) { ApplyLanguage(root, code, englishTable(QString()), chnTable(QString())); }

    QWidget root;
    QLabel *step, *lowerCaseName, *unlisted;
    QGroupBox *group;
    QRadioButton *item;
    QCheckBox *check;
    QLineEdit *edit;
    QPushButton *add, *help, *shortcut, *next;
};

} // namespace

TEST(ApplyLanguage, ChineseSetsCaptionsOfLabelsGroupsAndCheckBoxesAndTheFixedButtons)
{
    CaptionFixture f;
    f.apply(languageChinese());
    EXPECT_EQ(f.step->text(), "欢迎");
    EXPECT_EQ(f.lowerCaseName->text(), "欢迎使用数据库转换向导");
    EXPECT_EQ(f.unlisted->text(), "") << "a label without a row gets an empty caption";
    EXPECT_EQ(f.group->title(), "存取模式");
    EXPECT_EQ(f.item->text(), "&Local") << "items of a radio group keep their texts";
    EXPECT_EQ(f.check->text(), "名称转换为大写");
    EXPECT_EQ(f.edit->text(), "edit text") << "edit boxes are no captions";
    EXPECT_EQ(f.add->text(), "添加>");
    EXPECT_EQ(f.help->text(), "帮助");
    EXPECT_EQ(f.shortcut->text(), "创建快捷方式");
    EXPECT_EQ(f.next->text(), "Next >");
}

TEST(ApplyLanguage, EnglishKeepsTheDesignedButtonCaptionsAndOtherCodesChangeNothing)
{
    CaptionFixture english;
    english.apply(languageEnglish());
    EXPECT_EQ(english.step->text(), "Welcome");
    EXPECT_EQ(english.group->title(), "Access mode");
    EXPECT_EQ(english.unlisted->text(), "");
    EXPECT_EQ(english.add->text(), "Add >");
    EXPECT_EQ(english.help->text(), "Help");
    EXPECT_EQ(english.shortcut->text(), "Create Shortcut File");

    CaptionFixture back;
    back.apply(languageChinese());
    back.apply(languageEnglish());
    EXPECT_EQ(back.step->text(), "Welcome");
    EXPECT_EQ(back.add->text(), "Add >") << "a switch back from Chinese restores the designed captions";
    EXPECT_EQ(back.help->text(), "Help");

    CaptionFixture other;
    other.apply(QStringLiteral("EN"));
    EXPECT_EQ(other.step->text(), "design");
    EXPECT_EQ(other.unlisted->text(), "design");
    EXPECT_EQ(other.shortcut->text(), "design");
}

TEST(StandardErrorBox, AddsAFullStopWhenTheLastCharacterIsAboveIt)
{
    const struct {
        const char *message;
        const char *shown;
    } cases[] = {
        {"Lost connection to server during query", "Lost connection to server during query."},
        {"Unknown database 'shop'", "Unknown database 'shop'"},
        {"Can't connect to server on '127.0.0.1' (111)", "Can't connect to server on '127.0.0.1' (111)"},
        {"ORA-01017: invalid username/password; logon denied", "ORA-01017: invalid username/password; logon denied."},
        {"List index out of bounds (-1)", "List index out of bounds (-1)"},
        {"Already ends.", "Already ends."},
        {"Ends in a slash /", "Ends in a slash /."},
        {"Ends in a dash -", "Ends in a dash -"},
        {"Ends in a question ?", "Ends in a question ?."},
        {"无法连接", "无法连接."},
        {"", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(standardErrorText(QString::fromUtf8(c.message)), QString::fromUtf8(c.shown));
    }
}

TEST(MessageBoxes, AListInTheMessageGoesUnderTheDetails)
{
    const struct {
        const char *name;
        QString message;
        QString text;
        QString details;
    } cases[] = {
        {"one line", "Unknown database 'shop'", "Unknown database 'shop'", ""},
        {"lines without a list", "first\nsecond", "first\nsecond", ""},
        {"the places tried for the client library",
         "Cannot load the Oracle client library. Places tried, in this order:\n"
         "  libclntsh.so (TAVREX_OCI_LIBRARY): not found\n"
         "  the library search path: not found\n"
         "To install the Oracle Instant Client: unzip it and start Tavrex again.",
         "Cannot load the Oracle client library. Places tried, in this order: see the details.\n"
         "To install the Oracle Instant Client: unzip it and start Tavrex again.",
         "libclntsh.so (TAVREX_OCI_LIBRARY): not found\nthe library search path: not found"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const BoxText shown = splitBoxText(c.message);
        EXPECT_EQ(shown.text, c.text);
        EXPECT_EQ(shown.details, c.details);
    }
}

TEST(MessageBoxes, ABoxIsWideEnoughForItsTitleAndKeepsItsDetails)
{
    const QString title = QStringLiteral("Tavrex 4.0");
    auto box = makeMessageBox(MessageKind::Information, nullptr, title, QStringLiteral("请输入数据库名称"));
    box->show();
    QFont titleFont = box->font();
    titleFont.setBold(true);
    EXPECT_GE(box->width(), QFontMetrics(titleFont).horizontalAdvance(title) + 100)
        << "a short text must not make the box narrower than its title";
    box->hide();

    auto error = makeMessageBox(MessageKind::Error, nullptr, title, QStringLiteral("short"), QStringLiteral("long"));
    EXPECT_EQ(error->text(), "short");
    EXPECT_EQ(error->detailedText(), "long");
    EXPECT_EQ(error->icon(), QMessageBox::Critical);
}
