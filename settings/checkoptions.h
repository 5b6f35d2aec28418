#pragma once

#include "engine/core/conversionsettings.h"

#include <QString>

#include <iterator>

namespace tavrex {

// One check-box option of the conversion and every name it goes by. The
// settings store, the batch settings file, the batch window, the wizard's
// page 4 and tavrex-run all walk the table below; none of them names an
// option by itself.
struct CheckOption {
    // The run's field. Its initializer in ConversionOptions is the designed
    // default: the check boxes start with it and tavrex-run's switch turns
    // the option away from it.
    bool ConversionOptions::*setting;
    // The object name of the check box, on page 4 and in the batch window
    // alike; the caption tables of wizard/captions.cpp give its texts under
    // this name.
    const char *control;
    // The name of the value in the settings store and of the line in the
    // batch settings file ("1" on, "0" off in both).
    const char *key;
    // tavrex-run's switch and its help line.
    const char *commandLine;
    const char *commandLineHelp;
};

// The check-box options, in the order of the page-4 check boxes, of the
// values in the settings store and of the lines of the batch settings file.
// A new check-box option is its field in ConversionOptions, one row here (at
// the end: the order is the files' order), its captions and its behaviour.
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
};

inline constexpr int kCheckOptionCount = int(std::size(kCheckOptions));

// The designed default of an option.
inline bool optionDefault(const CheckOption &option) { return ConversionOptions{}.*option.setting; }

// An option as the store and the batch file write it, and as they read it
// back: only "1" is on, so a missing value, "true" or "yes" reads as off
// (whatever the option's default).
inline QString optionText(bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); }
inline bool optionIsOn(const QString &text) { return text == QLatin1String("1"); }

// Whether two sets of options are alike, option by option. (Named rather
// than an operator==, which would also compare two whole settings records
// by their options alone.)
inline bool sameOptions(const ConversionOptions &a, const ConversionOptions &b)
{
    for (const CheckOption &option : kCheckOptions)
        if (a.*option.setting != b.*option.setting)
            return false;
    return true;
}

} // namespace tavrex
