#include "schema/detailedmapping.h"

#include "tests/support/qtprinters.h"

#include <gtest/gtest.h>

namespace tavrex {
namespace {

using Family = DetailedType::Family;

CatalogColumn column(const char *dataType, const char *columnType)
{
    CatalogColumn c;
    c.name = QStringLiteral("C");
    c.dataType = QString::fromLatin1(dataType);
    c.columnType = QString::fromLatin1(columnType);
    c.isUnsigned = c.columnType.contains(QLatin1String("unsigned"));
    return c;
}

CatalogColumn text(const char *dataType, qint64 chars, int maxCharBytes)
{
    CatalogColumn c = column(dataType, "");
    c.columnType = QStringLiteral("%1(%2)").arg(QLatin1String(dataType)).arg(chars);
    c.charLength = chars;
    c.maxCharBytes = maxCharBytes;
    return c;
}

CatalogColumn numeric(const char *dataType, int precision, int scale)
{
    CatalogColumn c = column(dataType, "");
    c.columnType = QStringLiteral("%1(%2,%3)").arg(QLatin1String(dataType)).arg(precision).arg(scale);
    c.precision = precision;
    c.scale = scale;
    return c;
}

CatalogColumn fraction(const char *dataType, int digits)
{
    CatalogColumn c = column(dataType, dataType);
    c.fractionDigits = digits;
    return c;
}

CatalogColumn bits(int n)
{
    CatalogColumn c = column("bit", "");
    c.columnType = QStringLiteral("bit(%1)").arg(n);
    c.precision = n;
    return c;
}

CatalogColumn binary(const char *dataType, qint64 bytes)
{
    CatalogColumn c = column(dataType, "");
    c.columnType = QStringLiteral("%1(%2)").arg(QLatin1String(dataType)).arg(bytes);
    c.charLength = bytes;
    return c;
}

struct TypeCase {
    const char *name;
    CatalogColumn column;
    const char *type;
    Family family;
};

// Every row of the mapping, signed and unsigned, with and without fractions,
// and the character limits for each width of the longest character (1 byte:
// latin1, 2: ucs2, 3: utf8mb3, 4: utf8mb4).
const TypeCase typeCases[] = {
    {"tinyint", column("tinyint", "tinyint(4)"), "NUMBER(3)", Family::Number},
    {"tinyint unsigned", column("tinyint", "tinyint(3) unsigned"), "NUMBER(3)", Family::Number},
    {"smallint", column("smallint", "smallint(6)"), "NUMBER(5)", Family::Number},
    {"smallint unsigned", column("smallint", "smallint(5) unsigned"), "NUMBER(5)", Family::Number},
    {"mediumint", column("mediumint", "mediumint(9)"), "NUMBER(7)", Family::Number},
    {"mediumint unsigned", column("mediumint", "mediumint(8) unsigned"), "NUMBER(8)", Family::Number},
    {"int", column("int", "int(11)"), "NUMBER(10)", Family::Number},
    {"int unsigned", column("int", "int(10) unsigned"), "NUMBER(10)", Family::Number},
    {"bigint", column("bigint", "bigint(20)"), "NUMBER(19)", Family::Number},
    {"bigint unsigned zerofill", column("bigint", "bigint(20) unsigned zerofill"), "NUMBER(20)", Family::Number},
    {"bit(1)", bits(1), "NUMBER(1)", Family::Number},
    {"bit(8) holds 255", bits(8), "NUMBER(3)", Family::Number},
    {"bit(10) holds 1023", bits(10), "NUMBER(4)", Family::Number},
    {"bit(64) holds 18446744073709551615", bits(64), "NUMBER(20)", Family::Number},
    {"decimal", numeric("decimal", 10, 2), "NUMBER(10,2)", Family::Number},
    {"decimal without scale", numeric("decimal", 12, 0), "NUMBER(12,0)", Family::Number},
    {"decimal at 38 digits", numeric("decimal", 38, 10), "NUMBER(38,10)", Family::Number},
    {"decimal above 38 digits", numeric("decimal", 39, 4), "NUMBER", Family::Number},
    {"decimal at the MySQL maximum", numeric("decimal", 65, 30), "NUMBER", Family::Number},
    {"float", column("float", "float"), "BINARY_FLOAT", Family::BinaryFloat},
    {"float unsigned", column("float", "float unsigned"), "BINARY_FLOAT", Family::BinaryFloat},
    {"double", column("double", "double"), "BINARY_DOUBLE", Family::BinaryDouble},
    {"year", column("year", "year(4)"), "NUMBER(4)", Family::Number},
    {"date", column("date", "date"), "DATE", Family::Date},
    {"datetime", fraction("datetime", 0), "DATE", Family::Date},
    {"datetime(3)", fraction("datetime", 3), "TIMESTAMP(3)", Family::Timestamp},
    {"timestamp", fraction("timestamp", 0), "DATE", Family::Date},
    {"timestamp(6)", fraction("timestamp", 6), "TIMESTAMP(6)", Family::Timestamp},
    {"time", fraction("time", 0), "INTERVAL DAY(2) TO SECOND(0)", Family::Interval},
    {"time(6)", fraction("time", 6), "INTERVAL DAY(2) TO SECOND(6)", Family::Interval},
    {"char latin1", text("char", 2000, 1), "CHAR(2000)", Family::Char},
    {"char utf8mb4 at 2000 bytes", text("char", 500, 4), "CHAR(500)", Family::Char},
    {"char utf8mb4 above 2000 bytes", text("char", 501, 4), "VARCHAR2(501)", Family::Varchar2},
    {"char utf8mb3 at 2000 bytes", text("char", 666, 3), "CHAR(666)", Family::Char},
    {"char utf8mb3 above 2000 bytes", text("char", 667, 3), "VARCHAR2(667)", Family::Varchar2},
    {"char ucs2 above 2000 bytes", text("char", 1001, 2), "VARCHAR2(1001)", Family::Varchar2},
    {"char(0)", text("char", 0, 4), "CHAR(1)", Family::Char},
    {"varchar latin1 at 4000 bytes", text("varchar", 4000, 1), "VARCHAR2(4000)", Family::Varchar2},
    {"varchar latin1 above 4000 bytes", text("varchar", 4001, 1), "CLOB", Family::Clob},
    {"varchar ucs2 at 4000 bytes", text("varchar", 2000, 2), "VARCHAR2(2000)", Family::Varchar2},
    {"varchar ucs2 above 4000 bytes", text("varchar", 2001, 2), "CLOB", Family::Clob},
    {"varchar utf8mb3 at 4000 bytes", text("varchar", 1333, 3), "VARCHAR2(1333)", Family::Varchar2},
    {"varchar utf8mb3 above 4000 bytes", text("varchar", 1334, 3), "CLOB", Family::Clob},
    {"varchar utf8mb4 at 4000 bytes", text("varchar", 1000, 4), "VARCHAR2(1000)", Family::Varchar2},
    {"varchar utf8mb4 above 4000 bytes", text("varchar", 1001, 4), "CLOB", Family::Clob},
    {"varchar(0)", text("varchar", 0, 4), "VARCHAR2(1)", Family::Varchar2},
    {"tinytext", column("tinytext", "tinytext"), "CLOB", Family::Clob},
    {"text", column("text", "text"), "CLOB", Family::Clob},
    {"mediumtext", column("mediumtext", "mediumtext"), "CLOB", Family::Clob},
    {"longtext", column("longtext", "longtext"), "CLOB", Family::Clob},
    {"json", column("json", "json"), "CLOB", Family::Clob},
    {"binary", binary("binary", 16), "RAW(16)", Family::Raw},
    {"varbinary at 2000 bytes", binary("varbinary", 2000), "RAW(2000)", Family::Raw},
    {"varbinary above 2000 bytes", binary("varbinary", 2001), "BLOB", Family::Blob},
    {"binary(0)", binary("binary", 0), "RAW(1)", Family::Raw},
    {"tinyblob", column("tinyblob", "tinyblob"), "BLOB", Family::Blob},
    {"blob", column("blob", "blob"), "BLOB", Family::Blob},
    {"mediumblob", column("mediumblob", "mediumblob"), "BLOB", Family::Blob},
    {"longblob", column("longblob", "longblob"), "BLOB", Family::Blob},
    {"enum takes its longest value", column("enum", "enum('a','bcd','ef')"), "VARCHAR2(3)", Family::Varchar2},
    {"set takes every value and the commas", column("set", "set('a','bcd','ef')"), "VARCHAR2(8)",
     Family::Varchar2},
    {"geometry", column("geometry", "geometry"), "SDO_GEOMETRY", Family::Geometry},
    {"point", column("point", "point"), "SDO_GEOMETRY", Family::Geometry},
    {"linestring", column("linestring", "linestring"), "SDO_GEOMETRY", Family::Geometry},
    {"polygon", column("polygon", "polygon"), "SDO_GEOMETRY", Family::Geometry},
    {"multipoint", column("multipoint", "multipoint"), "SDO_GEOMETRY", Family::Geometry},
    {"multilinestring", column("multilinestring", "multilinestring"), "SDO_GEOMETRY", Family::Geometry},
    {"multipolygon", column("multipolygon", "multipolygon"), "SDO_GEOMETRY", Family::Geometry},
    {"geometrycollection", column("geometrycollection", "geometrycollection"), "SDO_GEOMETRY", Family::Geometry},
    {"geomcollection (MySQL 8)", column("geomcollection", "geomcollection"), "SDO_GEOMETRY", Family::Geometry},
};

TEST(MapDetailedType, KeepsEveryValueOfEachType)
{
    for (const TypeCase &c : typeCases) {
        SCOPED_TRACE(c.name);
        const DetailedType t = MapDetailedType(c.column, QStringLiteral("T"));
        EXPECT_EQ(t.type, QString::fromLatin1(c.type));
        EXPECT_EQ(int(t.family), int(c.family));
        EXPECT_FALSE(t.failed());
        EXPECT_EQ(t.logLine.isEmpty(), QString::fromLatin1(c.type) != QLatin1String("NUMBER"));
    }
}

TEST(MapDetailedType, ADecimalWiderThanNumberBecomesNumberWithALogLine)
{
    CatalogColumn c = numeric("decimal", 50, 10);
    c.name = QStringLiteral("AMOUNT");
    const DetailedType t = MapDetailedType(c, QStringLiteral("LEDGER"));
    EXPECT_EQ(t.type, QStringLiteral("NUMBER"));
    EXPECT_EQ(t.logLine, QStringLiteral("Column AMOUNT of table LEDGER: decimal(50,10) is wider than Oracle's 38 "
                                        "digits and becomes NUMBER; values keep their first 38 significant digits"));
}

TEST(MapDetailedType, UnknownTypesFailTheTableNamingColumnAndType)
{
    const struct {
        const char *dataType;
        const char *columnType;
    } cases[] = {
        {"inet6", "inet6"},
        {"uuid", "uuid"},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.dataType);
        CatalogColumn c = column(k.dataType, k.columnType);
        c.name = QStringLiteral("shape");
        const DetailedType t = MapDetailedType(c, QStringLiteral("MAPS"));
        EXPECT_TRUE(t.failed());
        EXPECT_TRUE(t.type.isEmpty());
        EXPECT_EQ(t.problem, QStringLiteral("Cannot convert table MAPS: the column shape has the type %1, which has "
                                            "no Oracle type")
                                 .arg(QLatin1String(k.columnType)));
    }
}

TEST(MapDetailedType, EnumChecksItsNonEmptyValues)
{
    const DetailedType t = MapDetailedType(column("enum", "enum('','new','it''s')"), QStringLiteral("T"));
    EXPECT_EQ(t.type, QStringLiteral("VARCHAR2(4)"));
    EXPECT_EQ(t.checkValues, (QStringList{QStringLiteral("new"), QStringLiteral("it's")}));
    // A set is not checked: any combination of its values is stored.
    EXPECT_TRUE(MapDetailedType(column("set", "set('a','b')"), QStringLiteral("T")).checkValues.isEmpty());
}

TEST(ParseEnumValues, UndoesDoubledQuotesAndKeepsCommasInsideValues)
{
    EXPECT_EQ(parseEnumValues(QStringLiteral("enum('a','b,c','it''s','')")),
              (QStringList{QStringLiteral("a"), QStringLiteral("b,c"), QStringLiteral("it's"), QString()}));
    EXPECT_EQ(parseEnumValues(QStringLiteral("set('x')")), QStringList{QStringLiteral("x")});
    EXPECT_TRUE(parseEnumValues(QStringLiteral("varchar(10)")).isEmpty());
}

} // namespace
} // namespace tavrex
