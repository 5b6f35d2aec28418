#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

namespace tavrex {

// What the run does with a target table that already exists. The values are
// the item indexes of the "processtable" choice and are stored as such.
enum class TExistingTablePolicy : std::int32_t {
    Overwrite = 0,
    Merge = 1,
    Skip = 2,
};

// The switches of one conversion, each shown on page 4 (a check box, or a
// spin box for a number). A field's initializer is the option's designed
// default. The table that ties each field to its control, its stored key and
// its batch-file key is settings/checkoptions.h; the run reads the fields by
// name.
struct ConversionOptions {
    bool DefinitionsOnly = false;
    bool SkipIndexes = false;
    bool UppercaseNames = true;
    bool BlobToText = false;
    bool RejectRows = false;       // continue past rows Oracle rejects
    bool Verify = false;           // read every copied table back and compare
    bool KeepDetails = false;      // keep column details (sizes, defaults, keys)
    bool Resume = false;           // read keyed tables in key order and continue an interrupted run
    int ParallelTables = 1;        // tables converted at once (1 to 16)
};

// The range of "Tables at once".
constexpr int kMinParallelTables = 1;
constexpr int kMaxParallelTables = 16;

// Every option of one conversion. The wizard keeps one instance whose fields
// mirror its page controls; the settings store and the batch file fill it too.
struct TConversionSettings : ConversionOptions {
    int AccessMode = 0;            // 0 = local ("localhost"), 1 = remote (Host)
    QString Host;
    QString Port = QStringLiteral("3306");
    QString ConnectDatabase;
    QString SourceDatabase;        // the chosen entry of the database list
    bool SourceDatabaseChosen = false;  // false: no entry chosen in the list
    QString MySqlUser;
    QString MySqlPassword;
    QString ServerCharSet;         // empty: none is sent ("Default")
    QString OracleService;
    QString OracleUser;
    QString OraclePassword;
    TExistingTablePolicy ExistingTables = TExistingTablePolicy::Overwrite;
    QStringList SelectedTables;
    bool AllTables = false;        // batch mode only
    // With several tables at once, a table whose primary key is one integer
    // column and whose estimated rows pass this figure is copied in key
    // ranges at once. The environment's TAVREX_RANGE_THRESHOLD, when it is
    // a whole number, takes its place.
    std::int64_t RangeRowThreshold = 1000000;
};

// The entries of the character-set drop-down, in order; entry 0 "Default"
// stands for no character set.
const QStringList &serverCharSetEntries();

// ServerCharSet as the run reads it from the drop-down: the text while the
// list choice is past the first entry, empty otherwise (index < 1).
QString serverCharSetForChoice(int itemIndex, const QString &text);

} // namespace tavrex
