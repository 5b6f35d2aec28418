#pragma once

#include "settings/checkoptions.h"

#include <QString>

namespace tavrex {

// The state of the wizard's settings controls, as the settings store and the
// batch settings file read and write them. A choice is its item index, -1
// for no item chosen; the character-set drop-down has both its item index
// and its text (a replay may set a text that is no entry of the list).
struct ControlValues {
    int accessmode = 0;           // "&Local" 0, "&Romote" 1
    QString edtdatabase;
    QString edtname;
    QString edtpassword;
    QString edthost;
    QString edtport = QStringLiteral("3306");
    int cbcharsetIndex = 0;       // 0 "Default" ... 36 "utf8"
    QString cbcharsetText = QStringLiteral("Default");
    QString edtservice;
    QString edtoracleusername;
    QString edtoraclepassword;
    int processtable = 0;         // Overwrite 0, Merge 1, Skip 2
    ConversionOptions options;    // the check boxes of page 4 (kCheckOptions)
    // The interface language the page-1 link chose last ("en" or "cn"); the
    // settings store keeps it, the batch file does not.
    QString language = QStringLiteral("cn");

    bool operator==(const ControlValues &o) const;
};

// Copies the control values into the fields of a settings record (the
// database list, the table lists and the batch-only fields stay as they are).
void applyControlValues(const ControlValues &values, TConversionSettings &settings);

} // namespace tavrex
