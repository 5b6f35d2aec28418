// The pure parts of the embedded target: the statement reader and the value
// rules, table by table.

#include "connections/embedded/embeddedsql.h"
#include "connections/embedded/embeddedvalues.h"
#include "connections/common/wkb.h"

#include <gtest/gtest.h>

namespace tavrex::embedded {
namespace {

TEST(EmbeddedSql, ReadsTheStatementFormsWithOraclesLexicalRules)
{
    Statement s = parseStatement(QStringLiteral("alter table ORDERS  add constraint PRIMARYorders1 primary key (id,line)"));
    EXPECT_EQ(s.kind, Statement::Kind::AddPrimaryKey);
    EXPECT_EQ(s.table, QStringLiteral("ORDERS"));
    EXPECT_EQ(s.name, QStringLiteral("PRIMARYORDERS1"));
    EXPECT_EQ(s.keyColumns, (QStringList{QStringLiteral("ID"), QStringLiteral("LINE")}));

    s = parseStatement(QStringLiteral("CREATE\r\nINDEX \"idx_Cust\" -- comment\r\n ON /* c */ \"Orders\" (\"Customer\", b)"));
    EXPECT_EQ(s.kind, Statement::Kind::CreateIndex);
    EXPECT_EQ(s.name, QStringLiteral("idx_Cust"));
    EXPECT_EQ(s.table, QStringLiteral("Orders"));
    EXPECT_EQ(s.keyColumns, (QStringList{QStringLiteral("Customer"), QStringLiteral("B")}));

    s = parseStatement(QStringLiteral("select count(*) cn from all_tables where table_name='It''s' and upper(owner)='SCOTT'"));
    EXPECT_EQ(s.kind, Statement::Kind::CountTables);
    EXPECT_EQ(s.tableLiteral, QStringLiteral("It's"));
    EXPECT_EQ(s.ownerLiteral, QStringLiteral("SCOTT"));

    s = parseStatement(QStringLiteral("Create table \"T\" (\r\n\"A\"  number(10,2)  , \r\n\"B\" varchar2(40)  )  "));
    ASSERT_EQ(s.columns.size(), 2);
    EXPECT_EQ(s.columns[0].type, OraType::Number);
    EXPECT_EQ(s.columns[0].precision, 10);
    EXPECT_EQ(s.columns[0].scale, 2);
    EXPECT_EQ(s.columns[1].type, OraType::Varchar2);
    EXPECT_EQ(s.columns[1].length, 40);
}

TEST(EmbeddedSql, ErrorsCarryOraclesNumberAsCode)
{
    struct Row {
        const char *sql;
        int code;
    } rows[] = {
        {"hello", 900},
        {"select 'abc from dual", 1756},
        {"create table t (a number) ~", 911},
        {"create index on t (a)", 953},
        {"create index i t (a)", 969},
        {"alter table t add constraint c primary (a)", 905},
        {"alter table t add constraint c primary key a", 906},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.sql);
        try {
            parseStatement(QString::fromLatin1(r.sql));
            ADD_FAILURE() << "no error";
        } catch (const DatabaseError &e) {
            EXPECT_EQ(e.code(), r.code) << e.message().toStdString();
        }
    }
}

TEST(EmbeddedValues, NumbersGetTheirCanonicalText)
{
    ColumnSpec money;
    money.scaled = true;
    money.precision = 12;
    money.scale = 2;
    struct Row {
        const char *in;
        const ColumnSpec *spec;
        NumberStatus status;
        const char *out;
    } rows[] = {
        {"0", nullptr, NumberStatus::Ok, "0"},
        {"-0.000", nullptr, NumberStatus::Ok, "0"},
        {"000123.4500", nullptr, NumberStatus::Ok, "123.45"},
        {".5", nullptr, NumberStatus::Ok, "0.5"},
        {"5.", nullptr, NumberStatus::Ok, "5"},
        {"-1.5E+10", nullptr, NumberStatus::Ok, "-15000000000"},
        {"18446744073709551615", nullptr, NumberStatus::Ok, "18446744073709551615"},
        {"1e-131", nullptr, NumberStatus::Ok, "0"},
        {"", nullptr, NumberStatus::Invalid, ""},
        {"1-", nullptr, NumberStatus::Invalid, ""},
        {"1e", nullptr, NumberStatus::Invalid, ""},
        {"9999999999.995", &money, NumberStatus::Precision, ""},
        {"9999999999.994", &money, NumberStatus::Ok, "9999999999.99"},
        {"-12.345", &money, NumberStatus::Ok, "-12.35"},
        // Rounded once, to the scale: not first to 38 digits (which would
        // make the 39-digit value end in ...5 and round up).
        {"1.44999999999999999999999999999999999995", &money, NumberStatus::Ok, "1.45"},
        {"1.444999999999999999999999999999999999995", &money, NumberStatus::Ok, "1.44"},
        // The usual shapes as MySQL sends them, and their near misses.
        {"-42", nullptr, NumberStatus::Ok, "-42"},
        {"-0", nullptr, NumberStatus::Ok, "0"},
        {"007", nullptr, NumberStatus::Ok, "7"},
        {"12.50", nullptr, NumberStatus::Ok, "12.5"},
        {"12.000", nullptr, NumberStatus::Ok, "12"},
        {"-0.50", nullptr, NumberStatus::Ok, "-0.5"},
        {"1234567890.12", &money, NumberStatus::Ok, "1234567890.12"},
        {"12345678901.5", &money, NumberStatus::Precision, ""},
        {"12.3456", &money, NumberStatus::Ok, "12.35"},
        {"12.3400", &money, NumberStatus::Ok, "12.34"},
        {"99999999999999999999999999999999999999", nullptr, NumberStatus::Ok,
         "99999999999999999999999999999999999999"},
        {"999999999999999999999999999999999999995", nullptr, NumberStatus::Ok,
         "1000000000000000000000000000000000000000"},
        {"1.2345678901234567890123456789012345678", nullptr, NumberStatus::Ok,
         "1.2345678901234567890123456789012345678"},
        {"1.23456789012345678901234567890123456789", nullptr, NumberStatus::Ok,
         "1.2345678901234567890123456789012345679"},
        {"12 ", nullptr, NumberStatus::Ok, "12"},
        {"1.2.3", nullptr, NumberStatus::Invalid, ""},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.in);
        std::string out;
        EXPECT_EQ(canonicalNumber(QString::fromLatin1(r.in), r.spec, out), r.status);
        if (r.status == NumberStatus::Ok && r.out) {
            EXPECT_EQ(out, r.out);
        }
    }
    std::string tiny;
    ASSERT_EQ(canonicalNumber(u"1e-130", nullptr, tiny), NumberStatus::Ok);
    EXPECT_EQ(tiny, "0." + std::string(129, '0') + "1");
    ASSERT_EQ(canonicalNumber(u"-0.25", nullptr, tiny, true), NumberStatus::Ok);
    EXPECT_EQ(tiny, "-.25");
}

TEST(EmbeddedValues, DatesAreStoredAsSortableTextAndReadBack)
{
    const OracleDate dates[] = {{-4712, 1, 1, 0, 0, 0}, {1, 2, 3, 4, 5, 6}, {9999, 12, 31, 23, 59, 59}};
    const char *texts[] = {"-4712-01-01 00:00:00", "0001-02-03 04:05:06", "9999-12-31 23:59:59"};
    for (int i = 0; i < 3; ++i) {
        std::string s;
        formatDate(dates[i], s);
        EXPECT_EQ(s, texts[i]);
        OracleDate back;
        ASSERT_TRUE(parseStoredDate(QByteArray(texts[i]), &back));
        EXPECT_TRUE(back == dates[i]);
    }
}

TEST(EmbeddedValues, LengthsCountCodePointsAndUtf8Bytes)
{
    const QString mixed = QString::fromUtf8("a\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80");
    EXPECT_EQ(mixed.size(), 5);
    EXPECT_EQ(codePoints(mixed), 4);
    EXPECT_EQ(utf8Length(mixed), 10);
}

// A geometry's WKB is checked before it is stored: what Oracle's constructor
// cannot read is refused with its Java error; a geometry written big endian
// has one little-endian form, which the verification compares.
TEST(EmbeddedValues, GeometriesAreStoredWhenTheirWkbIsOneWholeGeometry)
{
    const QByteArray pointLe = QByteArray::fromHex("0101000000000000000000f03f0000000000000040");
    const QByteArray pointBe = QByteArray::fromHex("00000000013ff00000000000004000000000000000");
    struct Case {
        const char *name;
        QByteArray wkb;
        const char *problem;     // empty: stored
        const char *littleEndian;  // hex; empty: as given
    } cases[] = {
        {"a point", pointLe, "", ""},
        {"a point written big endian", pointBe, "", "0101000000000000000000f03f0000000000000040"},
        {"an empty collection", QByteArray::fromHex("010700000000000000"), "", ""},
        {"a polygon with a hole",
         QByteArray::fromHex("0103000000020000000400000000000000000000000000000000000000000000000000f03f000000000000"
                             "0000000000000000f03f000000000000f03f00000000000000000000000000000000040000000000000000"
                             "00e03f000000000000e03f000000000000e83f000000000000e03f000000000000e83f000000000000e83f"
                             "000000000000e03f000000000000e03f"),
         "", ""},
        {"a big-endian point inside a little-endian collection",
         QByteArray::fromHex("01070000000100000000000000013ff00000000000004000000000000000"), "",
         "0107000000010000000101000000000000000000f03f0000000000000040"},
        {"a 3D point (ISO code 1001)", QByteArray::fromHex("01e9030000000000000000f03f00000000000000400000000000000840"),
         "", ""},
        {"a type that does not exist", QByteArray::fromHex("0108000000"), "Unknown WKB label: 8", ""},
        {"an extended WKB flag", QByteArray::fromHex("0101000020e6100000000000000000f03f0000000000000040"),
         "Unknown WKB label: 536870913", ""},
        {"a truncated point", pointLe.left(15), "the WKB ends at byte 15 before its geometry does", ""},
        {"bytes after the geometry", pointLe + QByteArray(1, '\0'), "the WKB holds 1 bytes after its geometry", ""},
        {"no byte order", QByteArray::fromHex("0201000000"), "byte 0 of the WKB is 2, which is no byte order", ""},
        {"a multipoint holding a linestring",
         QByteArray::fromHex("01040000000100000001020000000000000000"), "a multipoint in the WKB holds a linestring", ""},
        {"a count beyond the bytes", QByteArray::fromHex("0102000000ffffffff"),
         "the WKB ends at byte 9 before its geometry does", ""},
    };
    ColumnSpec column;
    column.name = QStringLiteral("G");
    column.type = OraType::Geometry;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        StoredValue out;
        QString message;
        const int code = convertValue(OracleValue::geometry(4326, c.wkb), column, QStringLiteral("\"S\".\"T\".\"G\""),
                                      out, &message);
        if (*c.problem) {
            EXPECT_EQ(code, 29532);
            EXPECT_EQ(message, QStringLiteral("ORA-29532: Java call terminated by uncaught Java exception: "
                                              "java.lang.RuntimeException: "
                                              "oracle.spatial.util.GeometryExceptionWithContext: ") +
                                   QString::fromLatin1(c.problem));
            EXPECT_TRUE(littleEndianWkb(c.wkb).isEmpty());
            continue;
        }
        ASSERT_EQ(code, 0) << message.toStdString();
        EXPECT_EQ(out.kind, StoredValue::Kind::Blob);
        quint32 srid = 0;
        QByteArray wkb;
        ASSERT_TRUE(parseStoredGeometry(out.blob, &srid, &wkb));
        EXPECT_EQ(srid, 4326u);
        EXPECT_EQ(wkb, c.wkb);
        EXPECT_EQ(littleEndianWkb(c.wkb).toHex(), *c.littleEndian ? QByteArray(c.littleEndian) : c.wkb.toHex());
    }

    // Other values are not geometries, and a geometry is no other value.
    StoredValue out;
    QString message;
    EXPECT_EQ(convertValue(OracleValue::text(QStringLiteral("POINT(1 2)")), column, QStringLiteral("G"), out, &message),
              932);
    EXPECT_EQ(message, QStringLiteral("ORA-00932: inconsistent datatypes: expected MDSYS.SDO_GEOMETRY got CHAR"));
    ColumnSpec blob;
    blob.type = OraType::Blob;
    EXPECT_EQ(convertValue(OracleValue::geometry(0, pointLe), blob, QStringLiteral("B"), out, &message), 932);
    EXPECT_EQ(message, QStringLiteral("ORA-00932: inconsistent datatypes: expected BLOB got MDSYS.SDO_GEOMETRY"));
    column.nullable = false;
    EXPECT_EQ(convertValue(OracleValue(), column, QStringLiteral("\"S\".\"T\".\"G\""), out, &message), 1400);
}

} // namespace
} // namespace tavrex::embedded
