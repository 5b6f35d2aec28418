#pragma once

#include <QString>
#include <QStringList>

namespace tavrex {

// One column as the MySQL catalogue (information_schema.COLUMNS) describes
// it; the "Keep column details" table step reads these and hands each to
// MapDetailedType.
struct CatalogColumn {
    QString name;             // COLUMN_NAME as MySQL has it
    QString dataType;         // DATA_TYPE, lower case: "int", "varchar", "geometry", ...
    QString columnType;       // COLUMN_TYPE: "int(10) unsigned", "enum('a','b')", ...
    qint64 charLength = 0;    // CHARACTER_MAXIMUM_LENGTH: characters; bytes for binary and varbinary
    int maxCharBytes = 0;     // the longest character of the column's character set, in bytes
                              // (information_schema.CHARACTER_SETS.MAXLEN); 0 when it has none
    int precision = 0;        // NUMERIC_PRECISION: decimal digits, or the bits of a bit column
    int scale = 0;            // NUMERIC_SCALE
    int fractionDigits = 0;   // DATETIME_PRECISION: digits of a fraction of a second
    bool isUnsigned = false;  // COLUMN_TYPE says "unsigned"
    QStringList values;       // enum and set: the values in order (parseEnumValues of COLUMN_TYPE)
};

// The Oracle type of one column under "Keep column details".
struct DetailedType {
    enum class Family {
        Unsupported, Number, BinaryFloat, BinaryDouble, Date, Timestamp, Interval,
        Char, Varchar2, Clob, Raw, Blob, Geometry,
    };
    Family family = Family::Unsupported;
    QString type;          // the Oracle type text: "NUMBER(10)", "VARCHAR2(40)", "TIMESTAMP(6)", "SDO_GEOMETRY", ...
    QString problem;       // not empty: the table cannot be converted, for this reason
    QString logLine;       // not empty: a line for the conversion log (a decimal wider than NUMBER)
    QStringList checkValues;  // enum: the values its CHECK constraint allows (empty values left out)

    bool failed() const { return !problem.isEmpty(); }
    bool isCharacter() const
    {
        return family == Family::Char || family == Family::Varchar2 || family == Family::Clob;
    }
};

// Oracle's limits the mapping keeps to (MAX_STRING_SIZE=STANDARD).
constexpr int kDetailedCharMaxBytes = 2000;
constexpr int kDetailedVarchar2MaxBytes = 4000;
constexpr int kDetailedRawMaxBytes = 2000;
constexpr int kDetailedNumberDigits = 38;

// The Oracle type that keeps every value of the MySQL column: sized
// numbers for the integer types and bit, NUMBER(p,s) for decimal,
// BINARY_FLOAT / BINARY_DOUBLE, DATE / TIMESTAMP(n) by the fraction digits,
// INTERVAL DAY(2) TO SECOND(n) for time, CHAR / VARCHAR2 while the longest
// value fits Oracle's byte limit in the column's character set and CLOB
// beyond, RAW / BLOB for the binary types, VARCHAR2 with a CHECK of its values
// for enum and VARCHAR2 for set, SDO_GEOMETRY for every spatial type (geometry,
// point, linestring, polygon and their multi types and collection). A type
// Oracle has no counterpart for fails the table with a problem naming the
// column and its type (tableName is the name the message gives the table). A
// decimal wider than 38 digits becomes NUMBER with a log line. Pure.
DetailedType MapDetailedType(const CatalogColumn &column, const QString &tableName);

// The values of an enum or set COLUMN_TYPE, in order, with the doubled
// quotes undone: "enum('a','it''s')" gives a and it's. Empty for any other
// type text.
QStringList parseEnumValues(const QString &columnType);

// The decimal digits of 2^bits − 1, the largest value of bit(bits), for
// bits 1 to 64.
int bitDigits(int bits);

} // namespace tavrex
