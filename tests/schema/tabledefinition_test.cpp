#include "schema/tabledefinition.h"

#include "engine/core/identifiers.h"

#include "tests/support/qtprinters.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tavrex {
namespace {

QString lines(std::initializer_list<const char *> parts)
{
    QStringList list;
    for (const char *part : parts)
        list.append(QString::fromUtf8(part));
    return list.join(QStringLiteral("\r\n"));
}

TEST(BuildCreateTableText, BuildsTheStatementBlankForBlank)
{
    const struct {
        const char *name;
        QVector<ColumnListingRow> columns;
        const char *target;
        bool uppercase;
        QString statement;
    } cases[] = {
        {"the orders example",
         {{"id", "int(11)"}, {"customer", "varchar(40)"}, {"note", "text"}},
         "ORDERS",
         true,
         lines({"Create table \"ORDERS\" (", "\"ID\"  number  , ", "\"CUSTOMER\" varchar2(40)  , ",
                "\"NOTE\" BLOB  ) "})},
        {"one column has no separator", {{"a", "int(11)"}}, "T", true,
         lines({"Create table \"T\" (", "\"A\"  number  ) "})},
        {"names kept with the option off",
         {{"Id", "int(11)"}, {"Customer", "char(4)"}},
         "Orders",
         false,
         lines({"Create table \"Orders\" (", "\"Id\"  number  , ", "\"Customer\" varchar2(4)  ) "})},
        {"long column names cut to 30, then raised; the later of two that meet takes a number",
         {{"a_column_name_of_thirty_five_chars", "int"}, {"a_column_name_of_thirty_five_chars_2", "date"}},
         "T",
         true,
         lines({"Create table \"T\" (", "\"A_COLUMN_NAME_OF_THIRTY_FIVE_C\"  number  , ",
                "\"A_COLUMN_NAME_OF_THIRTY_FI0000\"  date  ) "})},
        {"an unmapped type leaves the clause without a type", {{"flag", "bit(1)"}, {"n", "int"}}, "T", true,
         lines({"Create table \"T\" (", "\"FLAG\"   , ", "\"N\"  number  ) "})},
        {"target name written as it comes, single quote included", {{"a", "int"}}, "O'BRIEN", true,
         lines({"Create table \"O'BRIEN\" (", "\"A\"  number  ) "})},
        {"blanks and reserved words stay inside the quotes", {{"select", "int"}, {"my col", "int"}},
         "my table", false, lines({"Create table \"my table\" (", "\"select\"  number  , ", "\"my col\"  number  ) "})},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(BuildCreateTableText(c.columns, QString::fromUtf8(c.target), c.uppercase), c.statement);
    }
}

TEST(BuildCreateTableText, RefusesNamesWithADoubleQuote)
{
    try {
        BuildCreateTableText({{"a", "int"}}, QStringLiteral("A\"B"), true);
        ADD_FAILURE() << "target name accepted";
    } catch (const IdentifierError &e) {
        EXPECT_EQ(e.message(),
                  QStringLiteral("Cannot convert table A\"B: its name contains a double quote, which an Oracle name "
                                 "cannot hold"));
    }
    try {
        BuildCreateTableText({{"a", "int"}, {"x\"y", "int"}}, QStringLiteral("T"), true);
        ADD_FAILURE() << "column name accepted";
    } catch (const IdentifierError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Cannot convert table T: the column name x\"y contains a double "
                                              "quote, which an Oracle name cannot hold"));
    }
    // Only the 30 characters that are sent count.
    const QString quoteBeyondTheCut = QString(30, QLatin1Char('c')) + QLatin1Char('"');
    EXPECT_EQ(BuildCreateTableText({{quoteBeyondTheCut, "int"}}, QStringLiteral("T"), false),
              lines({"Create table \"T\" (", "\"cccccccccccccccccccccccccccccc\"  number  ) "}));
}

TEST(BuildCreateTableText, LetsTheLengthConversionErrorOut)
{
    EXPECT_THROW(BuildCreateTableText({{"a", "varchar(10) binary"}}, QStringLiteral("T"), true), std::invalid_argument);
}

TEST(ListingStatements, NameTheTableAsListedInBackticks)
{
    const struct {
        const char *listed;
        const char *statement;
    } cases[] = {
        {"orders", "show FIELDS from `orders`"},
        {"OrderItems", "show FIELDS from `OrderItems`"},
        {"my table", "show FIELDS from `my table`"},
        {"select", "show FIELDS from `select`"},
        {"odd`name", "show FIELDS from `odd``name`"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.listed);
        EXPECT_EQ(columnListingStatement(QString::fromUtf8(c.listed)), QString::fromUtf8(c.statement));
    }
}

} // namespace
} // namespace tavrex
