#pragma once

#include "engine/core/conversionsettings.h"

#include <QString>

#include <iterator>

namespace tavrex {

// One option of the conversion and every name it goes by: a check box, or a
// number in a spin box. The settings store, the batch settings file, the
// batch window, the wizard's page 4 and tavrex-run all walk the table below;
// none of them names an option by itself.
struct CheckOption {
    // The run's field of a check box; null for a number. Its initializer in
    // ConversionOptions is the designed default: the check boxes start with
    // it and tavrex-run's switch turns the option away from it.
    bool ConversionOptions::*setting;
    // The object name of the control, on page 4 and in the batch window
    // alike; the caption tables of wizard/captions.cpp give its texts under
    // this name (a spin box's text is that of its label, named
    // "lbl" + the control's name).
    const char *control;
    // The name of the value in the settings store and of the line in the
    // batch settings file ("1" on, "0" off in both; a number in decimals).
    const char *key;
    // tavrex-run's switch (a number's takes the number) and its help line.
    const char *commandLine;
    const char *commandLineHelp;
    // A number: its field, and the least and the greatest value. A value
    // outside them, or no whole number, reads as the designed default.
    int ConversionOptions::*number = nullptr;
    int minimum = 0;
    int maximum = 0;
};

// The options, in the order of the page-4 controls, of the values in the
// settings store and of the lines of the batch settings file. A new option
// is its field in ConversionOptions, one row here (at the end: the order is
// the files' order), its captions and its behaviour.
inline constexpr CheckOption kCheckOptions[] = {
    {&ConversionOptions::DefinitionsOnly, "chktabledefi", "tabledefonly", "definitions-only",
     "Create the tables, copy no rows."},
    {&ConversionOptions::SkipIndexes, "chkskipindex", "skipindex", "skip-indexes", "Create no keys or indexes."},
    {&ConversionOptions::UppercaseNames, "chkuppercase", "nameuppercase", "keep-case", "Do not make names upper case."},
    {&ConversionOptions::BlobToText, "chkblobtotext", "blobtotext", "blob-to-text",
     "Tick \"Convert BLOB to text\" (the copy is alike)."},
    {&ConversionOptions::RejectRows, "chkrejectrows", "rejectrows", "reject-rows",
     "Continue past rows Oracle rejects."},
    {&ConversionOptions::Verify, "chkverify", "verify", "verify", "Read every copied table back and compare."},
    {&ConversionOptions::KeepDetails, "chkkeepdetails", "keepdetails", "keep-details",
     "Keep column details (sizes, defaults, keys)."},
    {&ConversionOptions::Resume, "chkresume", "resume", "resume",
     "Continue an interrupted conversion of the same tables."},
    {nullptr, "spnparallel", "paralleltables", "parallel", "Convert this many tables at once (1 to 16).",
     &ConversionOptions::ParallelTables, kMinParallelTables, kMaxParallelTables},
};

inline constexpr int kCheckOptionCount = int(std::size(kCheckOptions));

// Whether the option is a number rather than a check box.
inline bool isNumberOption(const CheckOption &option) { return option.number != nullptr; }

// The designed default of a check box.
inline bool optionDefault(const CheckOption &option)
{
    return option.setting ? ConversionOptions{}.*option.setting : false;
}
// The designed default of a number.
inline int numberDefault(const CheckOption &option) { return option.number ? ConversionOptions{}.*option.number : 0; }

// An option as the store and the batch file write it, and as they read it
// back: only "1" is on, so a missing value, "true" or "yes" reads as off
// (whatever the option's default).
inline QString optionText(bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); }
inline bool optionIsOn(const QString &text) { return text == QLatin1String("1"); }

// A number as the store and the batch file read it: a whole number within
// the option's bounds, else (a missing value too) the designed default.
inline int numberFromText(const CheckOption &option, const QString &text)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok, 10);
    return ok && n >= option.minimum && n <= option.maximum ? n : numberDefault(option);
}

// The value of any option as the store and the batch file write it.
inline QString optionValueText(const ConversionOptions &options, const CheckOption &option)
{
    return isNumberOption(option) ? QString::number(options.*option.number) : optionText(options.*option.setting);
}
// Sets an option from the text the store or the batch file holds for it (a
// missing check box reads as off, a missing number as its default).
inline void setOptionFromText(ConversionOptions &options, const CheckOption &option, const QString &text)
{
    if (isNumberOption(option))
        options.*option.number = numberFromText(option, text);
    else
        options.*option.setting = optionIsOn(text);
}
// Copies one option's value.
inline void copyOption(ConversionOptions &to, const ConversionOptions &from, const CheckOption &option)
{
    if (isNumberOption(option))
        to.*option.number = from.*option.number;
    else
        to.*option.setting = from.*option.setting;
}

// Whether two sets of options are alike, option by option. (Named rather
// than an operator==, which would also compare two whole settings records
// by their options alone.)
inline bool sameOptions(const ConversionOptions &a, const ConversionOptions &b)
{
    for (const CheckOption &option : kCheckOptions)
        if (optionValueText(a, option) != optionValueText(b, option))
            return false;
    return true;
}

} // namespace tavrex
