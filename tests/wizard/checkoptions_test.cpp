// Every row of the option table as the windows show it: a box (or a spin
// box for a number) of page 4 with its captions in both languages, whose
// state reaches the run's record and comes back from loaded values, and a
// control of the batch window whose state the recording carries. No server
// is needed.

#include "settings/checkoptions.h"
#include "tests/support/qtprinters.h"
#include "tests/support/recordingprompts.h"
#include "wizard/batchwindow.h"
#include "wizard/captions.h"
#include "wizard/mainwindow.h"

#include <QCheckBox>
#include <QLabel>
#include <QSpinBox>

#include <gtest/gtest.h>

using namespace tavrex;
using namespace tavrex::test;

namespace {

// The options with only the one given on (a number at its greatest, the
// others at their defaults).
ConversionOptions onlyOn(const CheckOption &option)
{
    ConversionOptions options;
    for (const CheckOption &other : kCheckOptions) {
        if (isNumberOption(other))
            options.*other.number = &other == &option ? other.maximum : numberDefault(other);
        else
            options.*other.setting = &other == &option;
    }
    return options;
}

// Whether a check box's field is on, a number's away from its default.
bool isOn(const ConversionOptions &options, const CheckOption &option)
{
    return isNumberOption(option) ? options.*option.number != numberDefault(option) : options.*option.setting;
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
        if (isNumberOption(option)) {
            auto *spin = window.findChild<QSpinBox *>(option.control);
            ASSERT_TRUE(spin);
            EXPECT_EQ(spin->value(), numberDefault(option)) << "the designed default";
            EXPECT_EQ(spin->minimum(), option.minimum);
            EXPECT_EQ(spin->maximum(), option.maximum);
            const QString label = QStringLiteral("lbl") + option.control;
            ASSERT_TRUE(window.findChild<QLabel *>(label));
            EXPECT_NE(captionFor(english, label), "");
            EXPECT_NE(captionFor(chn, label), "");
            EXPECT_EQ(window.findChild<QLabel *>(label)->toolTip(),
                      captionFor(toolTipTable(QStringLiteral("cn")), label));
            continue;
        }
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
        // A number's tip is its label's.
        const QString name = isNumberOption(option) ? QStringLiteral("lbl") + option.control : option.control;
        const QString englishTip = captionFor(toolTipTable(QStringLiteral("en")), name);
        EXPECT_GT(englishTip.size(), 20);
        EXPECT_EQ(window.findChild<QWidget *>(name)->toolTip(), englishTip);
    }
    for (const CheckOption &option : kCheckOptions) {
        SCOPED_TRACE(option.control);
        if (isNumberOption(option)) {
            // The number reaches its field of the record, and no other, and
            // loaded values set it.
            auto *spin = window.findChild<QSpinBox *>(option.control);
            const TConversionSettings before = window.currentSettings();
            spin->setValue(option.maximum);
            const TConversionSettings after = window.currentSettings();
            for (const CheckOption &other : kCheckOptions)
                EXPECT_EQ(isOn(after, other), isOn(before, other) != (&other == &option)) << other.control;
            spin->setValue(numberDefault(option));
            ControlValues loaded = window.controlValues();
            loaded.options = onlyOn(option);
            window.setControlValues(loaded);
            EXPECT_EQ(spin->value(), option.maximum);
            EXPECT_EQ(window.controlValues(), loaded);
            loaded.options = ConversionOptions{};
            window.setControlValues(loaded);
            continue;
        }
        QCheckBox *box = window.findChild<QCheckBox *>(option.control);

        // Ticking the box turns its field of the record, and no other.
        const TConversionSettings before = window.currentSettings();
        box->click();
        const TConversionSettings after = window.currentSettings();
        for (const CheckOption &other : kCheckOptions)
            EXPECT_EQ(isOn(after, other), isOn(before, other) != (&other == &option)) << other.control;
        box->click();

        // Loaded values tick this box alone.
        ControlValues loaded = window.controlValues();
        loaded.options = onlyOn(option);
        window.setControlValues(loaded);
        for (const CheckOption &other : kCheckOptions)
            if (!isNumberOption(other))
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
        if (isNumberOption(option)) {
            auto *spin = window.findChild<QSpinBox *>(option.control);
            ASSERT_TRUE(spin);
            EXPECT_EQ(spin->value(), option.maximum);
            auto *label = window.findChild<QLabel *>(QStringLiteral("lbl") + option.control);
            ASSERT_TRUE(label);
            EXPECT_NE(label->text(), "");
            EXPECT_EQ(label->text(), batchWindowOptionCaption(option.control));
        } else {
            auto *box = window.findChild<QCheckBox *>(option.control);
            ASSERT_TRUE(box);
            EXPECT_NE(box->text(), "");
            EXPECT_EQ(box->text(), batchWindowOptionCaption(option.control));
        }
        for (const CheckOption &other : kCheckOptions)
            if (!isNumberOption(other))
                EXPECT_EQ(window.findChild<QCheckBox *>(other.control)->isChecked(), &other == &option) << other.control;
        EXPECT_TRUE(sameOptions(window.recording().options, in.options));
    }
}
