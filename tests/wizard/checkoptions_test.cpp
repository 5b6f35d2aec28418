// Every row of the check-box option table as the windows show it: a box of
// page 4 with its captions in both languages, whose state reaches the run's
// record and comes back from loaded values, and a box of the batch window
// whose state the recording carries. No server is needed.

#include "settings/checkoptions.h"
#include "tests/support/qtprinters.h"
#include "tests/support/recordingprompts.h"
#include "wizard/batchwindow.h"
#include "wizard/captions.h"
#include "wizard/mainwindow.h"

#include <QCheckBox>

#include <gtest/gtest.h>

using namespace tavrex;
using namespace tavrex::test;

namespace {

// The options with only the one given on.
ConversionOptions onlyOn(const CheckOption &option)
{
    ConversionOptions options;
    for (const CheckOption &other : kCheckOptions)
        options.*other.setting = &other == &option;
    return options;
}

} // namespace

TEST(CheckOptionBoxes, EachIsABoxOfPageFourThatTheRunsRecordFollows)
{
    RecordingPrompts prompts;
    WindowOptions options;
    options.prompts = &prompts;
    options.loadSettings = [](ControlValues &) {};
    options.saveSettings = [](const ControlValues &) {};
    Taaform1 window(std::move(options));
    const QStringList english = englishTable(QString());
    const QStringList chn = chnTable(QString());
    for (const CheckOption &option : kCheckOptions) {
        SCOPED_TRACE(option.control);
        auto *box = window.findChild<QCheckBox *>(option.control);
        ASSERT_TRUE(box);
        EXPECT_EQ(box->isChecked(), optionDefault(option)) << "the designed default";
        EXPECT_NE(captionFor(english, option.control), "");
        EXPECT_NE(captionFor(chn, option.control), "");
        // A tool tip that says what it does, in the window's language.
        const QString chineseTip = captionFor(toolTipTable(QStringLiteral("cn")), option.control);
        EXPECT_NE(chineseTip, "");
        EXPECT_EQ(box->toolTip(), chineseTip);
    }
    window.lnklanguageClick();
    ASSERT_EQ(window.LanguageCode(), "en");
    for (const CheckOption &option : kCheckOptions) {
        SCOPED_TRACE(option.control);
        const QString englishTip = captionFor(toolTipTable(QStringLiteral("en")), option.control);
        EXPECT_GT(englishTip.size(), 20);
        EXPECT_EQ(window.findChild<QCheckBox *>(option.control)->toolTip(), englishTip);
    }
    for (const CheckOption &option : kCheckOptions) {
        SCOPED_TRACE(option.control);
        QCheckBox *box = window.findChild<QCheckBox *>(option.control);

        // Ticking the box turns its field of the record, and no other.
        const TConversionSettings before = window.currentSettings();
        box->click();
        const TConversionSettings after = window.currentSettings();
        for (const CheckOption &other : kCheckOptions)
            EXPECT_EQ(after.*other.setting, (before.*other.setting) != (&other == &option)) << other.control;
        box->click();

        // Loaded values tick this box alone.
        ControlValues loaded = window.controlValues();
        loaded.options = onlyOn(option);
        window.setControlValues(loaded);
        for (const CheckOption &other : kCheckOptions)
            EXPECT_EQ(window.findChild<QCheckBox *>(other.control)->isChecked(), &other == &option) << other.control;
        EXPECT_EQ(window.controlValues(), loaded);
    }
}

TEST(CheckOptionBoxes, EachIsABoxOfTheBatchWindowThatTheRecordingCarries)
{
    RecordingPrompts prompts;
    Tmarfrm_bat window(prompts);
    for (const CheckOption &option : kCheckOptions) {
        SCOPED_TRACE(option.control);
        BatchWindowInput in;
        in.options = onlyOn(option);
        window.fill(in);
        auto *box = window.findChild<QCheckBox *>(option.control);
        ASSERT_TRUE(box);
        EXPECT_NE(box->text(), "");
        EXPECT_EQ(box->text(), batchWindowOptionCaption(option.control));
        for (const CheckOption &other : kCheckOptions)
            EXPECT_EQ(window.findChild<QCheckBox *>(other.control)->isChecked(), &other == &option) << other.control;
        EXPECT_TRUE(sameOptions(window.recording().options, in.options));
    }
}
