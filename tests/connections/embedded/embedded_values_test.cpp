// The pure parts of the embedded target: the statement reader and the value
// rules, table by table.

#include "connections/embedded/embeddedsql.h"
#include "connections/embedded/embeddedvalues.h"

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

} // namespace
} // namespace tavrex::embedded
