#include "schema/keys.h"

#include "engine/core/identifiers.h"

#include "tests/support/qtprinters.h"

#include <gtest/gtest.h>

namespace tavrex {
namespace {

QStringList texts(const QVector<KeyStatement> &statements)
{
    QStringList list;
    for (const KeyStatement &s : statements)
        list.append(s.refused() ? QStringLiteral("refused: ") + s.refusal : s.text);
    return list;
}

// The listing of the orders example: primary key (id, line), keys cust
// (customer) and dates (created, shipped).
const QVector<IndexListingRow> ordersListing = {
    {"orders", "PRIMARY", 1, "id"},       {"orders", "PRIMARY", 2, "line"}, {"orders", "cust", 1, "customer"},
    {"orders", "dates", 1, "created"},    {"orders", "dates", 2, "shipped"},
};

TEST(BuildKeyStatements, BuildsTheStatementsOfTheListingInOrder)
{
    const struct {
        const char *name;
        QVector<IndexListingRow> rows;
        const char *shaped;
        const char *target;
        bool uppercase;
        QStringList statements;
    } cases[] = {
        {"the orders example, names raised",
         ordersListing,
         "ORDERS",
         "ORDERS",
         true,
         {"alter table \"ORDERS\"  add constraint \"PRIMARYORDERS1\" primary key (\"ID\",\"LINE\")",
          "create index \"IDX_CUSTORDERS\" on \"ORDERS\" (\"CUSTOMER\")",
          "create index \"IDX_DATESORDERS\" on \"ORDERS\" (\"CREATED\",\"SHIPPED\")"}},
        {"the orders example, names kept: table and columns as created, key names raised",
         ordersListing,
         "orders",
         "orders",
         false,
         {"alter table \"orders\"  add constraint \"PRIMARYORDERS1\" primary key (\"id\",\"line\")",
          "create index \"IDX_CUSTORDERS\" on \"orders\" (\"customer\")",
          "create index \"IDX_DATESORDERS\" on \"orders\" (\"created\",\"shipped\")"}},
        {"no rows, no statements", {}, "T", "T", true, {}},
        {"a key starts only where Seq_in_index restarts at 1",
         {{"t", "a", 1, "x"}, {"t", "b", 2, "y"}, {"t", "a", 1, "z"}},
         "T",
         "T",
         true,
         {"create index \"IDX_AT\" on \"T\" (\"X\",\"Y\")", "create index \"IDX_AT\" on \"T\" (\"Z\")"}},
        {"the constraint counts the row of its first column",
         {{"t", "k", 1, "x"}, {"t", "PRIMARY", 1, "id"}},
         "T",
         "T",
         true,
         {"create index \"IDX_KT\" on \"T\" (\"X\")",
          "alter table \"T\"  add constraint \"PRIMARYT2\" primary key (\"ID\")"}},
        {"composed names cut to 30 characters, column names cut to 30 as the table has them",
         {{"a_table_name_of_twenty_six", "PRIMARY", 1, "a_column_name_of_thirty_five_chars"},
          {"a_table_name_of_twenty_six", "a_key_name_of_twenty_six_x", 1, "b"}},
         "A_TABLE_NAME_OF_TWENTY_SIX",
         "A_TABLE_NAME_OF_TWENTY_SIX",
         true,
         {"alter table \"A_TABLE_NAME_OF_TWENTY_SIX\"  add constraint \"PRIMARYA_TABLE_NAME_OF_TWENTY_\" primary key "
          "(\"A_COLUMN_NAME_OF_THIRTY_FIVE_C\")",
          "create index \"IDX_A_KEY_NAME_OF_TWENTY_SIX_X\" on \"A_TABLE_NAME_OF_TWENTY_SIX\" (\"B\")"}},
        {"a shortened target keeps the shaped name in its index names",
         {{"customer_addresses_by_region_x_y", "city", 1, "city"}},
         "CUSTOMER_ADDRESSES_BY_REGION_X_Y",
         "CUSTOMER_ADDRESSES_BY_REGI0000",
         true,
         {"create index \"IDX_CITYCUSTOMER_ADDRESSES_BY_\" on \"CUSTOMER_ADDRESSES_BY_REGI0000\" (\"CITY\")"}},
        {"single quotes, blanks and reserved words stay inside the quotes",
         {{"o'brien", "PRIMARY", 1, "select"}, {"o'brien", "by name", 1, "my col"}},
         "o'brien",
         "o'brien",
         false,
         {"alter table \"o'brien\"  add constraint \"PRIMARYO'BRIEN1\" primary key (\"select\")",
          "create index \"IDX_BY NAMEO'BRIEN\" on \"o'brien\" (\"my col\")"}},
        {"a key with a double quote is refused, the others are built",
         {{"t", "PRIMARY", 1, "id"}, {"t", "k", 1, "a\"b"}, {"t", "k\"2", 1, "c"}, {"t", "k3", 1, "c"}},
         "T",
         "T",
         false,
         {"alter table \"T\"  add constraint \"PRIMARYT1\" primary key (\"id\")",
          "refused: Cannot convert table T: the column name a\"b of key k contains a double quote, which an Oracle "
          "name cannot hold",
          "refused: Cannot convert table T: the index name IDX_K\"2T contains a double quote, which an Oracle name "
          "cannot hold",
          "create index \"IDX_K3T\" on \"T\" (\"c\")"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(texts(BuildKeyStatements(c.rows, QString::fromUtf8(c.shaped), QString::fromUtf8(c.target),
                                           c.uppercase)),
                  c.statements);
    }
}

TEST(BuildKeyStatements, RefusesATargetWithADoubleQuote)
{
    EXPECT_THROW(BuildKeyStatements(ordersListing, QStringLiteral("A\"B"), QStringLiteral("A\"B"), true),
                 IdentifierError);
}

TEST(ListingStatements, NameTheIndexedTableAsListedInBackticks)
{
    EXPECT_EQ(indexListingStatement(QStringLiteral("orders")), QStringLiteral("show index from `orders`"));
    EXPECT_EQ(indexListingStatement(QStringLiteral("my `odd` table")),
              QStringLiteral("show index from `my ``odd`` table`"));
}

} // namespace
} // namespace tavrex
