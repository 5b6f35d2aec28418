#include "connections/rowbuffer.h"
#include "tests/support/qtprinters.h"

#include <gtest/gtest.h>

using namespace tavrex;

namespace {

MySqlValue mysql(MySqlValue::Type type, const QString &text)
{
    MySqlValue v;
    v.type = type;
    v.text = text;
    if (type == MySqlValue::Type::Integer)
        v.integer = text.toLongLong();
    if (type == MySqlValue::Type::Unsigned)
        v.unsignedInteger = text.toULongLong();
    if (type == MySqlValue::Type::Bytes)
        v.bytes = QByteArray::fromHex(text.toLatin1());
    return v;
}

OracleColumn column(const char *type)
{
    OracleColumn c;
    c.name = "C";
    c.type = type;
    return c;
}

QString show(const std::optional<OracleValue> &v)
{
    if (!v)
        return "<not convertible>";
    switch (v->kind()) {
    case OracleValue::Kind::Timestamp:
    case OracleValue::Kind::Interval:
    {
        const OracleTimestamp t = (*v).timestampValue();
        const OracleInterval &i = (*v).intervalValue();
        return (*v).kind() == OracleValue::Kind::Timestamp
                   ? QString::asprintf("TS:%04d-%02d-%02d %02d:%02d:%02d.%09d", t.date.year, t.date.month,
                                       t.date.day, t.date.hour, t.date.minute, t.date.second, t.nanosecond)
                   : QString::asprintf("I:%c%d %02d:%02d:%02d.%09d", i.negative ? '-' : '+', i.days, i.hours,
                                       i.minutes, i.seconds, i.nanosecond);
    }
    case OracleValue::Kind::BinaryNumber: return "F:" + v->textValue();
    case OracleValue::Kind::Null: return "NULL";
    case OracleValue::Kind::Number: return "N:" + v->textValue();
    case OracleValue::Kind::Text: return "T:" + v->textValue();
    case OracleValue::Kind::Bytes: return "B:" + QString::fromLatin1(v->bytesValue().toHex());
    case OracleValue::Kind::Geometry:
        return QStringLiteral("G:%1 ").arg(v->sridValue()) + QString::fromLatin1(v->wkbValue().toHex());
    case OracleValue::Kind::Date: {
        const OracleDate &d = v->dateValue();
        return QString::asprintf("D:%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day, d.hour, d.minute,
                                 d.second);
    }
    }
    return "?";
}

} // namespace

TEST(RowBuffer, ConvertsEachSourceValueForItsTargetColumn)
{
    using T = MySqlValue::Type;
    struct Case {
        const char *name;
        T type;
        const char *value;
        const char *target;
        const char *expected;
    } cases[] = {
        {"null into anything", T::Null, "", "NUMBER", "NULL"},
        {"bigint min", T::Integer, "-9223372036854775808", "NUMBER", "N:-9223372036854775808"},
        {"bigint unsigned max", T::Unsigned, "18446744073709551615", "NUMBER", "N:18446744073709551615"},
        {"decimal(65,30) exact", T::Decimal, "-12345678901234567890123456789012345.123456789012345678901234567891",
         "NUMBER", "N:-12345678901234567890123456789012345.123456789012345678901234567891"},
        {"double near NUMBER's top", T::Float, "9.99e125", "NUMBER", "N:9.99e125"},
        {"double beyond NUMBER", T::Float, "1.7976931348623157e308", "NUMBER", "<not convertible>"},
        {"tiny double", T::Float, "4.9e-324", "NUMBER", "N:4.9e-324"},
        {"numeric text", T::Text, "42.5", "NUMBER", "N:42.5"},
        {"other text", T::Text, "4x", "NUMBER", "<not convertible>"},
        {"date into NUMBER", T::Date, "2024-01-01", "NUMBER", "<not convertible>"},
        {"text", T::Text, "汉字 😀", "VARCHAR2", "T:汉字 😀"},
        {"integer into text", T::Integer, "-5", "VARCHAR2", "T:-5"},
        {"bytes that are not UTF-8 into text", T::Bytes, "00ff", "VARCHAR2", "<not convertible>"},
        {"UTF-8 bytes into text", T::Bytes, "e8a1a8", "VARCHAR2", "T:表"},
        {"text into NVARCHAR2", T::Text, "x", "NVARCHAR2", "T:x"},
        {"decimal into BINARY_DOUBLE", T::Decimal, "2.5", "BINARY_DOUBLE", "F:2.5"},
        {"double beyond NUMBER into BINARY_DOUBLE", T::Float, "1e308", "BINARY_DOUBLE", "F:1e308"},
        {"float into BINARY_FLOAT", T::Float, "0.1", "BINARY_FLOAT", "F:0.1"},
        {"datetime with microseconds into TIMESTAMP", T::DateTime, "2024-01-02 03:04:05.000123", "TIMESTAMP",
         "TS:2024-01-02 03:04:05.000123000"},
        {"date into TIMESTAMP", T::Date, "2024-02-29", "TIMESTAMP", "TS:2024-02-29 00:00:00.000000000"},
        {"zero datetime into TIMESTAMP", T::DateTime, "0000-00-00 00:00:00.000", "TIMESTAMP", "<not convertible>"},
        {"time into INTERVAL", T::Time, "09:15:05", "INTERVAL DAY TO SECOND", "I:+0 09:15:05.000000000"},
        {"longest negative time into INTERVAL", T::Time, "-838:59:59.500000", "INTERVAL DAY TO SECOND",
         "I:-34 22:59:59.500000000"},
        {"minus zero time is zero", T::Time, "-00:00:00", "INTERVAL DAY TO SECOND", "I:+0 00:00:00.000000000"},
        {"malformed time", T::Time, "9:5", "INTERVAL DAY TO SECOND", "<not convertible>"},
        {"datetime into TIMESTAMP(6)", T::DateTime, "2024-01-02 03:04:05", "TIMESTAMP(6)", "D:2024-01-02 03:04:05"},
        {"date", T::Date, "2024-02-29", "DATE", "D:2024-02-29 00:00:00"},
        {"zero date", T::Date, "0000-00-00", "DATE", "<not convertible>"},
        {"impossible date", T::Date, "2023-02-29", "DATE", "<not convertible>"},
        {"zero day", T::Date, "2024-01-00", "DATE", "<not convertible>"},
        {"skipped reform day", T::Date, "1582-10-10", "DATE", "<not convertible>"},
        {"datetime", T::DateTime, "9999-12-31 23:59:59", "DATE", "D:9999-12-31 23:59:59"},
        {"datetime zero fraction", T::DateTime, "2024-01-02 09:15:05.000000", "DATE", "D:2024-01-02 09:15:05"},
        {"datetime with a fraction", T::DateTime, "2024-01-02 09:15:05.5", "DATE", "<not convertible>"},
        {"zero datetime", T::DateTime, "0000-00-00 00:00:00", "DATE", "<not convertible>"},
        {"time of day", T::Time, "09:15:05", "DATE", "D:1900-01-01 09:15:05"},
        {"last second of a day", T::Time, "23:59:59", "DATE", "D:1900-01-01 23:59:59"},
        {"time beyond a day", T::Time, "24:00:00", "DATE", "<not convertible>"},
        {"long time", T::Time, "838:59:59", "DATE", "<not convertible>"},
        {"negative time", T::Time, "-00:00:01", "DATE", "<not convertible>"},
        {"text into DATE", T::Text, "2024-01-01", "DATE", "<not convertible>"},
        {"bytes with NULs", T::Bytes, "0000ff00", "BLOB", "B:0000ff00"},
        {"text into BLOB as UTF-8", T::Text, "é", "BLOB", "B:c3a9"},
        {"number into BLOB", T::Integer, "1", "BLOB", "<not convertible>"},
        {"unknown target type", T::Integer, "1", "XMLTYPE", "<not convertible>"},
        // MySQL's stored geometry: the SRID (little endian), then the WKB.
        {"geometry into SDO_GEOMETRY", T::Bytes, "e6100000010700000000000000", "SDO_GEOMETRY",
         "G:4326 010700000000000000"},
        {"geometry without an SRID", T::Bytes, "000000000101000000000000000000f03f0000000000000040", "SDO_GEOMETRY",
         "G:0 0101000000000000000000f03f0000000000000040"},
        {"bytes shorter than an SRID", T::Bytes, "e61000", "SDO_GEOMETRY", "<not convertible>"},
        {"text into SDO_GEOMETRY", T::Text, "POINT(1 2)", "SDO_GEOMETRY", "<not convertible>"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(show(convertForColumn(mysql(c.type, QString::fromUtf8(c.value)), column(c.target))),
                  QString::fromUtf8(c.expected));
    }
}

TEST(RowBuffer, NumberTextAcceptsOnlyDecimalNumbersOracleCanHold)
{
    for (const char *ok : {"0", "-0", "+1", "1.", ".5", "0.000", "1E+125", "9.9e125", "0.01e127", "1e-130",
                           "123456789012345678901234567890123456789012345"}) {
        SCOPED_TRACE(ok);
        EXPECT_TRUE(numberText(QString(ok)).has_value());
    }
    for (const char *bad : {"", "-", ".", "e5", "1e", "1e+", "1.2.3", " 1", "1 ", "inf", "NaN", "0x10", "1e126",
                            "10e125", "-1E126", "1,5"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(numberText(QString(bad)).has_value());
    }
}
