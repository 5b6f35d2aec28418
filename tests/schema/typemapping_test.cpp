#include "schema/typemapping.h"

#include "tests/support/qtprinters.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tavrex {
namespace {

struct ClauseCase {
    const char *name;
    const char *column;
    const char *type;
    bool uppercase;
    const char *clause;
};

// The worked examples of the mapping and its edge cases; the expected texts
// are the clauses blank for blank.
const ClauseCase clauseCases[] = {
    {"int", "id", "int(11)", true, "\"ID\"  number "},
    {"char keeps its length", "code", "char(36)", true, "\"CODE\" varchar2(36) "},
    {"varchar keeps its length", "title", "varchar(255)", true, "\"TITLE\" varchar2(255) "},
    {"long varchar", "body", "varchar(20000)", true, "\"BODY\" BLOB "},
    {"enum", "state", "enum('a','bc')", true, "\"STATE\" varchar2(8) "},
    {"set", "flags", "set('a','bc')", true, "\"FLAGS\" varchar2(8) "},
    {"mediumtext", "note", "mediumtext", true, "\"NOTE\" BLOB "},
    {"longblob has a leading blank", "picture", "longblob", true, "\"PICTURE\"  BLOB "},
    {"decimal loses precision and scale", "price", "decimal(10,2)", true, "\"PRICE\"  number "},
    {"datetime", "created", "datetime", true, "\"CREATED\"  date "},
    {"bit meets no rule", "mask", "bit(8)", true, "\"MASK\"  "},
    {"unsigned", "n", "int(10) unsigned", true, "\"N\"  number "},
    {"unsigned zerofill", "n", "bigint(20) unsigned zerofill", true, "\"N\"  number "},
    {"integer begins with int", "n", "integer", true, "\"N\"  number "},
    {"tests are case-sensitive", "n", "INT(11)", true, "\"N\"  "},
    {"no trimming", "n", " int(11)", true, "\"N\"  "},
    {"year", "y", "year(4)", true, "\"Y\"  number "},
    {"timestamp", "t", "timestamp", true, "\"T\"  date "},
    {"time", "t", "time", true, "\"T\"  date "},
    {"datetime with fractions meets no rule", "t", "datetime(6)", true, "\"T\"  "},
    {"varchar at the limit", "v", "varchar(4000)", true, "\"V\" varchar2(4000) "},
    {"varchar above the limit", "v", "varchar(4001)", true, "\"V\" BLOB "},
    {"varchar at the MySQL maximum", "v", "varchar(65535)", true, "\"V\" BLOB "},
    {"tinytext", "t", "tinytext", true, "\"T\" BLOB "},
    {"tinyblob", "b", "tinyblob", true, "\"B\"  BLOB "},
    {"text is an exact word", "t", "texts", true, "\"T\"  "},
    {"char(0) is carried over", "c", "char(0)", true, "\"C\" varchar2(0) "},
    {"char rest carried over unchanged", "c", "char(10) binary", true, "\"C\" varchar2(10) binary "},
    {"name kept with the option off", "OrderDate", "date", false, "\"OrderDate\"  date "},
    {"name raised with the option on", "OrderDate", "date", true, "\"ORDERDATE\"  date "},
    {"non-ASCII letters stay", "gr\xc3\xb6\xc3\x9f" "e", "int", true, "\"GR\xc3\xb6\xc3\x9f" "E\"  number "},
};

TEST(MapColumnType, BuildsTheClauseOfEachType)
{
    for (const ClauseCase &c : clauseCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(MapColumnType(QString::fromUtf8(c.column), QString::fromUtf8(c.type), c.uppercase),
                  QString::fromUtf8(c.clause));
    }
}

TEST(MapColumnType, LetsTheLengthConversionErrorOut)
{
    EXPECT_THROW(MapColumnType(QStringLiteral("v"), QStringLiteral("varchar(20) binary"), true),
                 std::invalid_argument);
    // char carries its rest over without reading the length.
    EXPECT_NO_THROW(MapColumnType(QStringLiteral("c"), QStringLiteral("char(20) binary"), true));
}

TEST(ParseTypeLength, ReadsTheIntegerBetweenTheParentheses)
{
    const struct {
        const char *type;
        int length;
    } cases[] = {
        {"varchar(255)", 255},
        {"  varchar(10)\t\r\n", 10},  // blanks and control characters trimmed
        {"varchar(+7)", 7},
        {"text", 0},                  // no parenthesis
        {"(12)", 0},                  // parenthesis in the first place
        {"varchar(2147483647)", 2147483647},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.type);
        EXPECT_EQ(ParseTypeLength(QString::fromUtf8(c.type)), c.length);
    }
}

TEST(ParseTypeLength, RefusesTextThatIsNotAnInteger)
{
    const struct {
        const char *type;
        const char *message;
    } cases[] = {
        {"varchar(abc)", "'abc' is not a valid integer value"},
        {"decimal(10,2)", "'10,2' is not a valid integer value"},
        {"varchar(255) binary", "'255) binar' is not a valid integer value"},
        {"varchar()", "'' is not a valid integer value"},
        {"varchar(", "'' is not a valid integer value"},
        {"varchar(-)", "'-' is not a valid integer value"},
        {"varchar(2147483648)", "'2147483648' is not a valid integer value"},
        {"varchar(99999999999999999999)", "'99999999999999999999' is not a valid integer value"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.type);
        try {
            ParseTypeLength(QString::fromUtf8(c.type));
            ADD_FAILURE() << "no conversion error";
        } catch (const std::invalid_argument &e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
}

} // namespace
} // namespace tavrex
