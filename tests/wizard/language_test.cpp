// The interface language as an operator meets it: the link of page 1, the
// remembered choice, the command line's --language, Qt's own texts, and
// captions that fit their controls in both languages. No server is needed.

#include "tests/support/qtprinters.h"
#include "tests/support/recordingprompts.h"
#include "tests/support/testenv.h"
#include "wizard/captions.h"
#include "wizard/mainwindow.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

using namespace tavrex;
using namespace tavrex::test;

TEST(StartArguments, LanguageIsTakenOutAndTheRestAreTheBatchArguments)
{
    const struct {
        const char *name;
        QStringList arguments;
        QStringList rest;
        QString language;
        bool error;
    } cases[] = {
        {"none", {}, {}, {}, false},
        {"a file only", {"job.qelt"}, {"job.qelt"}, {}, false},
        {"before the file", {"--language", "en", "job.qelt"}, {"job.qelt"}, "en", false},
        {"after the file", {"job.qelt", "--language", "cn"}, {"job.qelt"}, "cn", false},
        {"with an equals sign", {"--language=en"}, {}, "en", false},
        {"the last one wins", {"--language", "cn", "--language=en"}, {}, "en", false},
        {"an unknown code", {"--language", "fr", "job.qelt"}, {"job.qelt"}, {}, true},
        {"a code in capitals", {"--language=EN"}, {}, {}, true},
        {"no code", {"job.qelt", "--language"}, {"job.qelt"}, {}, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const StartArguments parsed = parseStartArguments(c.arguments);
        EXPECT_EQ(parsed.arguments, c.rest);
        EXPECT_EQ(parsed.language, c.language);
        EXPECT_EQ(!parsed.error.isEmpty(), c.error) << parsed.error.toStdString();
    }
}

namespace {

const QStringList kEnglishSteps{"Welcome",        "Connect to Mysql server", "Connect to Oracle server",
                                "Conversion Settings", "Select table to convert", "Conversion is Completed"};
const QStringList kChineseSteps{"欢迎", "连接MYSQL", "连接Oracle", "设置", "选择要转换的表", "完成转换"};

class LanguageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        qputenv("XDG_DATA_HOME", dir.path().toUtf8());
    }
    void TearDown() override { window.reset(); }

    // Opens the window with a store that holds storedLanguage (none: a first
    // start) and the given command-line arguments.
    void open(std::optional<QString> storedLanguage = std::nullopt, const QStringList &arguments = {})
    {
        WindowOptions options;
        options.prompts = &prompts;
        options.arguments = arguments;
        options.helpFolder = sourceDir() + QStringLiteral("/docs/help");
        options.openUrl = [this](const QUrl &url) {
            opened.push_back(url);
            return browserWorks;
        };
        options.loadSettings = [storedLanguage](ControlValues &values) {
            if (storedLanguage)
                values.language = *storedLanguage;
        };
        options.saveSettings = [this](const ControlValues &values) { saved.push_back(values); };
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
    QString text(const char *name) { return control<QLabel>(name)->text(); }
    QStringList stepTexts()
    {
        QStringList texts;
        for (const char *name : {"Label1", "Label2", "Label3", "Label4", "Label5", "Label6"})
            texts.append(text(name));
        return texts;
    }
    void clickLink() { QTest::mouseClick(control<QLabel>("lnklanguage"), Qt::LeftButton); }
    QString savedLanguage()
    {
        window.reset();
        return saved.size() == 1 ? saved.front().language : QStringLiteral("<saved %1 times>").arg(saved.size());
    }
    // Qt's own text for the Yes button, as a message box would show it.
    static QString qtYes() { return QCoreApplication::translate("QPlatformTheme", "&Yes"); }

    QTemporaryDir dir;
    RecordingPrompts prompts;
    std::vector<QUrl> opened;
    bool browserWorks = true;
    std::vector<ControlValues> saved;
    std::unique_ptr<Taaform1> window;
};

} // namespace

TEST_F(LanguageTest, TheLinkAppliesTheOtherLanguageAtOnceAndIsRemembered)
{
    open();
    ASSERT_EQ(window->LanguageCode(), "cn");
    EXPECT_EQ(text("lnklanguage"), "English");
    EXPECT_TRUE(window->qtTranslationLoaded()) << "Qt's Chinese catalogue (package qt6-translations-l10n)";
    EXPECT_NE(qtYes(), "&Yes");

    clickLink();
    EXPECT_EQ(window->LanguageCode(), "en");
    EXPECT_EQ(stepTexts(), kEnglishSteps);
    EXPECT_EQ(text("lnklanguage"), "中文");
    EXPECT_EQ(text("Label8"), "Conversion Wizard");
    EXPECT_EQ(control<QCheckBox>("chkverify")->text(), "Verify copied data");
    EXPECT_EQ(control<QPushButton>("Button4")->text(), "< Remove all");
    EXPECT_EQ(control<QPushButton>("bthelp")->text(), "Help");
    EXPECT_EQ(text("queryclose"), "Close this Wizard ?") << "the text holders follow";
    EXPECT_FALSE(window->qtTranslationLoaded());
    EXPECT_EQ(qtYes(), "&Yes");
    EXPECT_EQ(window->CurrentPage(), 1);

    clickLink();
    EXPECT_EQ(window->LanguageCode(), "cn");
    EXPECT_EQ(stepTexts(), kChineseSteps);
    EXPECT_EQ(control<QPushButton>("Button4")->text(), "<去除全部");
    EXPECT_EQ(control<QCheckBox>("chkrejectrows")->text(), "跳过被拒绝的行继续复制");
    EXPECT_TRUE(window->qtTranslationLoaded());

    clickLink();
    EXPECT_EQ(savedLanguage(), "en");
    EXPECT_EQ(qtYes(), "&Yes") << "the window takes Qt's catalogue away with it";
}

TEST_F(LanguageTest, TheStoredLanguageOpensTheWindowAndTheCommandLineOverridesItForOneStart)
{
    const struct {
        const char *name;
        std::optional<QString> stored;
        QStringList arguments;
        QString shown;
        QString remembered;
    } cases[] = {
        {"first start", std::nullopt, {}, "cn", "cn"},
        {"stored English", QStringLiteral("en"), {}, "en", "en"},
        {"stored Chinese, English asked for", QStringLiteral("cn"), {"--language", "en"}, "en", "cn"},
        {"stored English, Chinese asked for", QStringLiteral("en"), {"--language=cn"}, "cn", "en"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        saved.clear();
        open(c.stored, c.arguments);
        EXPECT_EQ(window->LanguageCode(), c.shown);
        EXPECT_EQ(stepTexts(), c.shown == "en" ? kEnglishSteps : kChineseSteps);
        EXPECT_FALSE(window->BatchMode()) << "--language is no batch settings file";
        EXPECT_TRUE(prompts.shown.empty());
        EXPECT_EQ(savedLanguage(), c.remembered);
    }
}

TEST_F(LanguageTest, AnUnusableLanguageOptionIsShownAndTheReplayStillReadsItsFile)
{
    open(QStringLiteral("en"), {"--language", "fr", "job.qelt"});
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, "error");
    EXPECT_TRUE(prompts.shown[0].text.contains("--language fr")) << prompts.shown[0].text.toStdString();
    EXPECT_EQ(window->LanguageCode(), "en") << "the stored language stays";
    EXPECT_TRUE(window->BatchMode());
    EXPECT_EQ(window->batchSettingsFile(), "job.qelt");
}

TEST_F(LanguageTest, PasswordsShowStarsAndAHelpPageNoBrowserOpensNamesItsFile)
{
    open();
    for (const char *name : {"edtpassword", "edtoraclepassword"}) {
        SCOPED_TRACE(name);
        QLineEdit *box = control<QLineEdit>(name);
        box->setText(QStringLiteral("tiger"));
        EXPECT_EQ(box->displayText(), "*****");
    }

    browserWorks = false;
    for (const QString &code : {languageChinese(), languageEnglish()}) {
        SCOPED_TRACE(code.toStdString());
        prompts.shown.clear();
        if (window->LanguageCode() != code)
            clickLink();
        QTest::mouseClick(control<QPushButton>("bthelp"), Qt::LeftButton);
        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_EQ(prompts.shown[0].kind, "information");
        const QString file = opened.back().toLocalFile();
        EXPECT_TRUE(file.endsWith(code == "en" ? helpPageEnglish() : helpPageChinese()));
        EXPECT_EQ(prompts.shown[0].text, text("helpmissing") + '\n' + file);
        EXPECT_EQ(text("helpmissing"), code == "en" ? "No browser could open the help page. The help file is:"
                                                    : "无法用浏览器打开帮助页面。帮助文件是:");
    }
}

namespace {

// What of a caption does not fit its control, empty when it fits. Labels
// that wrap must fit their height at their width; the others their width
// and height. Buttons and group titles are measured by their text.
QString clipped(QWidget *w)
{
    const QFontMetrics fm = w->fontMetrics();
    const auto tooSmall = [w](QSize need) {
        return need.width() > w->width() || need.height() > w->height()
                   ? QStringLiteral("needs %1x%2, has %3x%4")
                         .arg(need.width())
                         .arg(need.height())
                         .arg(w->width())
                         .arg(w->height())
                   : QString();
    };
    if (auto *l = qobject_cast<QLabel *>(w)) {
        if (l->text().isEmpty())
            return {};
        if (l->wordWrap())
            return tooSmall(QSize(0, l->heightForWidth(l->width())));
        return tooSmall(l->sizeHint());
    }
    if (qobject_cast<QCheckBox *>(w) || qobject_cast<QRadioButton *>(w))
        return tooSmall(w->sizeHint());
    if (auto *b = qobject_cast<QPushButton *>(w))
        return tooSmall(QSize(fm.horizontalAdvance(QString(b->text()).remove('&')) + 8, fm.height()));
    if (auto *g = qobject_cast<QGroupBox *>(w))
        return tooSmall(QSize(fm.horizontalAdvance(QString(g->title()).remove('&')) + 16, fm.height()));
    return {};
}

} // namespace

TEST_F(LanguageTest, EveryCaptionFitsItsControlOnEveryPageInBothLanguages)
{
    open();
    const ListChoice databases{{"information_schema", "mysql", "shop"}, 2};
    for (const QString &code : {languageChinese(), languageEnglish()}) {
        if (window->LanguageCode() != code)
            clickLink();
        for (int page = 1; page <= 6; ++page) {
            // The step label of the page in view is bold.
            window->previewPage(page, databases, {"customers"}, {"orders"});
            for (QWidget *w : window->findChildren<QWidget *>()) {
                if (!w->isVisibleTo(window.get()))
                    continue;
                const QString problem = clipped(w);
                EXPECT_TRUE(problem.isEmpty()) << code.toStdString() << " page " << page << ": "
                                               << w->objectName().toStdString() << " \""
                                               << w->property("text").toString().toStdString() << "\" "
                                               << problem.toStdString();
            }
        }
    }
}
