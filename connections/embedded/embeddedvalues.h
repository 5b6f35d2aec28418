#pragma once

// The Oracle value rules of the embedded target, as pure functions: Oracle
// error texts, column types, NUMBER canonical form and rounding, DATE
// validation and its stored text, length semantics, and the conversion of one
// bound value into the form a column stores. The session's batch insert and
// the reader call these; the conformance and unit tests check them directly.

#include "connections/oracle/oraclesession.h"
#include "engine/errors.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <string>

namespace tavrex::embedded {

// "ORA-nnnnn: text": the message form of every Oracle error of the target.
QString oraMessage(int code, const QString &text);
// The DatabaseError for an Oracle error: message as above, the number as code.
DatabaseError oraError(int code, const QString &text);

// The column types the target stores. Other Oracle types are refused at
// CREATE TABLE with ORA-00902 (the target keeps no representation for them).
enum class OraType { Number, Varchar2, Char, Date, Blob, Clob, Raw };

QString oraTypeName(OraType type);
// Reads the catalogue's type name back; false for an unknown name.
bool oraTypeFromName(const QString &name, OraType *type);
bool isLob(OraType type);

// One column as the catalogue keeps it.
struct ColumnSpec {
    QString name;                // the Oracle column name, exactly
    OraType type = OraType::Number;
    int length = 0;              // VARCHAR2 / CHAR: characters (bytes when byteSemantics); RAW: bytes
    bool byteSemantics = false;  // VARCHAR2(n BYTE) / CHAR(n BYTE); the default counts characters
    int precision = 0;           // NUMBER(p[,s]); 0 for NUMBER without precision
    int scale = 0;
    bool scaled = false;         // NUMBER(p), NUMBER(p,s), NUMBER(*,s): values are rounded to scale
    bool nullable = true;
};

OracleColumn toOracleColumn(const ColumnSpec &spec);

// Largest byte lengths of a value, whatever the length semantics
// (MAX_STRING_SIZE=STANDARD).
constexpr int kVarchar2MaxBytes = 4000;
constexpr int kCharMaxBytes = 2000;
constexpr int kRawMaxBytes = 2000;
// Significant decimal digits a NUMBER keeps.
constexpr int kNumberDigits = 38;

// Outcome of converting a decimal text into a NUMBER.
enum class NumberStatus { Ok, Invalid, Overflow, Precision };

// Converts decimal text the way Oracle's implicit TO_NUMBER does (blanks
// around it, an optional sign, digits with an optional fraction, an optional
// exponent) into the canonical exact text of the stored NUMBER: rounded half
// away from zero to 38 significant digits, then to the column's scale when the
// column has one (spec may be null: an unconstrained NUMBER), then checked
// against its precision and against NUMBER's range (below 1E-130 becomes 0;
// 1E126 and beyond overflow). Canonical text: plain positional digits, no
// exponent, no trailing fraction zeros, "0" for zero; values below 1 carry a
// leading "0" ("0.5"), or none when toCharForm is set (Oracle's TO_CHAR form,
// ".5", used when a number goes into a text column). out is cleared first.
NumberStatus canonicalNumber(QStringView text, const ColumnSpec *spec, std::string &out, bool toCharForm = false);

// 0 when the date is a valid Oracle DATE, else the ORA number; *message gets
// the full "ORA-nnnnn: text". Years -4712..9999 without 0; the Julian calendar
// before 1583 decides 29 February, as Oracle's calendar does.
int validateDate(const OracleDate &date, QString *message);
// 'YYYY-MM-DD HH24:MI:SS' with a leading '-' for years before Christ
// ("-4712-01-01 00:00:00"); out is cleared first.
void formatDate(const OracleDate &date, std::string &out);
QString formatDate(const OracleDate &date);
// Reads the stored text back; false when it is not of that form.
bool parseStoredDate(const QByteArray &text, OracleDate *date);

// Characters (Unicode code points) and UTF-8 bytes of a text.
int codePoints(QStringView text);
int utf8Length(QStringView text);

// What one column stores for one bound value.
struct StoredValue {
    enum class Kind { Null, Text16, Utf8, Blob };
    Kind kind = Kind::Null;
    const QString *text16 = nullptr;  // Text16: points into the batch or at ownText
    QString ownText;                  // a padded CHAR value
    std::string utf8;                 // numbers, dates, hexadecimal text of bytes
    QByteArray blob;                  // BLOB and RAW bytes (shared, not copied)
};

// Converts one value into what the column stores, following Oracle's implicit
// conversions as this target defines them (see embeddedvalues.cpp for the
// table). qualifiedName is "OWNER"."TABLE"."COLUMN" for the ORA-12899 and
// ORA-01400 texts. Returns 0, or the ORA number with *message set; out is
// overwritten either way. The returned value points into value, so value must
// outlive out.
int convertValue(const OracleValue &value, const ColumnSpec &column, const QString &qualifiedName,
                 StoredValue &out, QString *message);

} // namespace tavrex::embedded
