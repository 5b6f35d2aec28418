#include "engine/core/identifiers.h"

#include "tests/support/qtprinters.h"

#include <gtest/gtest.h>

namespace tavrex {
namespace {

TEST(ShapeName, RaisesOnlyAsciiLettersWhenAsked)
{
    const struct {
        const char *name;
        bool uppercase;
        const char *shaped;
    } cases[] = {
        {"Order_Items", true, "ORDER_ITEMS"},
        {"gr\xc3\xb6\xc3\x9f" "e", true, "GR\xc3\xb6\xc3\x9f" "E"},  // ö and ß stay
        {"caf\xc3\xa9 1$#", true, "CAF\xc3\xa9 1$#"},
        {"Order_Items", false, "Order_Items"},
        {"gr\xc3\xb6\xc3\x9f" "e", false, "gr\xc3\xb6\xc3\x9f" "e"},
        {"", true, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString shaped = ShapeName(QString::fromUtf8(c.name), c.uppercase);
        EXPECT_EQ(shaped, QString::fromUtf8(c.shaped));
        EXPECT_EQ(shaped.size(), QString::fromUtf8(c.name).size());
    }
}

TEST(CatalogueStatements, EmbedNamesSafely)
{
    const struct {
        const char *name;
        QString statement;
        const char *expected;
    } cases[] = {
        {"existence query", tableExistsStatement(QStringLiteral("ORDERS"), QStringLiteral("scott")),
         "select count(*) cn from all_tables where table_name='ORDERS' and upper(owner)='SCOTT'"},
        {"existence query keeps the name's case",
         tableExistsStatement(QStringLiteral("orders"), QStringLiteral("Sc_1")),
         "select count(*) cn from all_tables where table_name='orders' and upper(owner)='SC_1'"},
        {"single quotes doubled", tableExistsStatement(QStringLiteral("O'BRIEN"), QStringLiteral("o'neil")),
         "select count(*) cn from all_tables where table_name='O''BRIEN' and upper(owner)='O''NEIL'"},
        {"a name cannot change the statement",
         tableExistsStatement(QStringLiteral("x' or '1'='1"), QStringLiteral("scott")),
         "select count(*) cn from all_tables where table_name='x'' or ''1''=''1' and upper(owner)='SCOTT'"},
        {"drop", dropTableStatement(QStringLiteral("my table")), "drop table \"my table\""},
        {"drop keeps single quotes", dropTableStatement(QStringLiteral("o'brien")), "drop table \"o'brien\""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.statement, QString::fromUtf8(c.expected));
    }
}

TEST(CatalogueStatements, RefuseATableNameWithADoubleQuote)
{
    const QString expected = QStringLiteral(
        "Cannot convert table a\"b: its name contains a double quote, which an Oracle name cannot hold");
    for (auto build : {+[] { tableExistsStatement(QStringLiteral("a\"b"), QStringLiteral("scott")); },
                       +[] { dropTableStatement(QStringLiteral("a\"b")); },
                       +[] { checkTableName(QStringLiteral("a\"b")); }}) {
        try {
            build();
            ADD_FAILURE() << "name accepted";
        } catch (const IdentifierError &e) {
            EXPECT_EQ(e.message(), expected);
            EXPECT_STREQ(e.what(), expected.toUtf8().constData());
        }
    }
    EXPECT_NO_THROW(checkTableName(QStringLiteral("o'brien")));
}

} // namespace
} // namespace tavrex
