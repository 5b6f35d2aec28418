#include "schema/detailedtable.h"
#include "engine/core/identifiers.h"

#include <gtest/gtest.h>

using namespace tavrex;

namespace {

CatalogColumn catalogColumn(const char *name, const char *dataType, const char *columnType)
{
    CatalogColumn c;
    c.name = QString::fromUtf8(name);
    c.dataType = QString::fromUtf8(dataType);
    c.columnType = QString::fromUtf8(columnType);
    return c;
}

} // namespace

TEST(ColumnDefaults, MariaDbAndMySqlShowingsAreRead)
{
    using Kind = ColumnDefault::Kind;
    struct Case {
        const char *name;
        const char *shown;
        bool isNull;
        const char *extra;
        bool mariaDb;
        Kind kind;
        QString text;
    } cases[] = {
        {"no default", "", true, "", true, Kind::None, {}},
        {"MariaDB DEFAULT NULL", "NULL", false, "", true, Kind::None, {}},
        {"MariaDB quoted text", "'it''s'", false, "", true, Kind::Literal, "it's"},
        {"MariaDB escapes", "'a\\\\b\\nc\\0'", false, "", true, Kind::Literal, QString("a\\b\nc") + QChar(0)},
        {"MariaDB empty text", "''", false, "", true, Kind::Literal, ""},
        {"MariaDB number", "1.50", false, "", true, Kind::Literal, "1.50"},
        {"MariaDB bit", "b'101'", false, "", true, Kind::Literal, "b'101'"},
        {"MariaDB current_timestamp(3)", "current_timestamp(3)", false, "", true, Kind::CurrentTimestamp, {}},
        {"MariaDB expression", "uuid()", false, "", true, Kind::Expression, "uuid()"},
        {"MySQL text shown bare", "it's", false, "", false, Kind::Literal, "it's"},
        {"MySQL CURRENT_TIMESTAMP", "CURRENT_TIMESTAMP", false, "DEFAULT_GENERATED", false,
         Kind::CurrentTimestamp, {}},
        {"MySQL expression", "(rand())", false, "DEFAULT_GENERATED", false, Kind::Expression, "(rand())"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const ColumnDefault d = parseColumnDefault(QString::fromUtf8(c.shown), c.isNull, c.extra, c.mariaDb);
        EXPECT_EQ(d.kind, c.kind);
        EXPECT_EQ(d.text, c.text);
    }
}

TEST(ColumnDefaults, LiteralsBecomeOracleExpressionsOfTheColumnsType)
{
    using Kind = ColumnDefault::Kind;
    struct Case {
        const char *name;
        CatalogColumn column;
        Kind kind;
        const char *value;
        const char *expected;   // the DEFAULT expression; empty: none
        bool dropped;           // a note says why MySQL's default is not kept
    } cases[] = {
        {"integer", catalogColumn("a", "int", "int(11)"), Kind::Literal, "7", "7", false},
        {"bit literal", catalogColumn("a", "bit", "bit(9)"), Kind::Literal, "b'101'", "5", false},
        {"decimal", catalogColumn("a", "decimal", "decimal(5,2)"), Kind::Literal, "-1.50", "-1.50", false},
        {"double", catalogColumn("a", "double", "double"), Kind::Literal, "1.5e10", "TO_BINARY_DOUBLE('1.5e10')",
         false},
        {"float", catalogColumn("a", "float", "float"), Kind::Literal, "0.1", "TO_BINARY_FLOAT('0.1')", false},
        {"date", catalogColumn("a", "date", "date"), Kind::Literal, "2020-01-02",
         "TO_DATE('2020-01-02 00:00:00','YYYY-MM-DD HH24:MI:SS')", false},
        {"zero date", catalogColumn("a", "date", "date"), Kind::Literal, "0000-00-00", "", true},
        {"datetime now", catalogColumn("a", "datetime", "datetime"), Kind::CurrentTimestamp, "", "SYSDATE", false},
        {"text", catalogColumn("a", "varchar", "varchar(9)"), Kind::Literal, "it's", "'it''s'", false},
        {"empty text", catalogColumn("a", "varchar", "varchar(9)"), Kind::Literal, "", "", true},
        {"expression", catalogColumn("a", "varchar", "varchar(40)"), Kind::Expression, "uuid()", "", true},
        {"now on a time", catalogColumn("a", "time", "time"), Kind::CurrentTimestamp, "", "", true},
        {"negative time", catalogColumn("a", "time", "time(6)"), Kind::Literal, "-10:00:01.5",
         "TO_DSINTERVAL('-0 10:00:01.500000000')", false},
        {"binary padded", catalogColumn("a", "binary", "binary(4)"), Kind::Literal, "ab", "HEXTORAW('61620000')",
         false},
    };
    for (Case &c : cases) {
        SCOPED_TRACE(c.name);
        c.column.charLength = c.column.dataType == "binary" ? 4 : 40;
        c.column.precision = c.column.dataType == "bit" ? 9 : 5;
        c.column.scale = 2;
        c.column.fractionDigits = c.column.columnType.contains("(6)") ? 6 : 0;
        DetailedColumn column;
        column.column = c.column;
        column.defaultValue = {c.kind, QString::fromUtf8(c.value)};
        QString dropped;
        EXPECT_EQ(oracleDefaultExpression(column, MapDetailedType(c.column, "T"), &dropped), c.expected);
        EXPECT_EQ(!dropped.isEmpty(), c.dropped) << dropped.toStdString();
    }
    // A timestamp default keeps its fraction through a fixed nine-digit format.
    CatalogColumn ts = catalogColumn("a", "timestamp", "timestamp(6)");
    ts.fractionDigits = 6;
    DetailedColumn column;
    column.column = ts;
    column.defaultValue = {Kind::Literal, "2021-03-04 05:06:07.123456"};
    EXPECT_EQ(oracleDefaultExpression(column, MapDetailedType(ts, "T"), nullptr),
              "TO_TIMESTAMP('2021-03-04 05:06:07.123456000','YYYY-MM-DD HH24:MI:SS.FF9')");
    column.defaultValue = {Kind::CurrentTimestamp, {}};
    EXPECT_EQ(oracleDefaultExpression(column, MapDetailedType(ts, "T"), nullptr), "SYSTIMESTAMP");
}

TEST(DetailedTable, StatementCarriesNotNullDefaultsIdentityChecksAndComments)
{
    DetailedColumn id;
    id.column = catalogColumn("id", "int", "int(10) unsigned");
    id.column.isUnsigned = true;
    id.notNull = true;
    id.autoIncrement = true;
    DetailedColumn label;
    label.column = catalogColumn("label", "varchar", "varchar(20)");
    label.column.charLength = 20;
    label.column.maxCharBytes = 4;
    label.notNull = true;
    label.defaultValue = {ColumnDefault::Kind::Literal, "none"};
    label.comment = "shown to 'users'";
    DetailedColumn code = label;
    code.column.name = "code";
    code.defaultValue = {};
    code.comment.clear();
    DetailedColumn kind;
    kind.column = catalogColumn("kind", "enum", "enum('small','it''s','')");
    kind.column.maxCharBytes = 4;

    const DetailedTableStatements s =
        BuildDetailedTable({id, label, code, kind}, {{"label", 2}}, "the parents", "PARENT", true);
    EXPECT_TRUE(s.problem.isEmpty());
    EXPECT_EQ(s.createTable, "Create table \"PARENT\" (\r\n"
                             "\"ID\" NUMBER(10) GENERATED BY DEFAULT AS IDENTITY , \r\n"
                             "\"LABEL\" VARCHAR2(20) DEFAULT 'none' , \r\n"
                             "\"CODE\" VARCHAR2(20) NOT NULL , \r\n"
                             "\"KIND\" VARCHAR2(5) ) ");
    EXPECT_EQ(s.constraints, QStringList{"alter table \"PARENT\" add check (\"KIND\" in ('small','it''s'))"});
    EXPECT_EQ(s.comments, (QStringList{"comment on table \"PARENT\" is 'the parents'",
                                       "comment on column \"PARENT\".\"LABEL\" is 'shown to ''users'''"}));
    EXPECT_EQ(s.notes, QStringList{"Column LABEL of table PARENT holds 2 empty values, which Oracle stores as "
                                   "NULL: it is created without NOT NULL"});

    // A column without an Oracle type fails the table before anything is built.
    DetailedColumn address;
    address.column = catalogColumn("address", "inet6", "inet6");
    const DetailedTableStatements failed = BuildDetailedTable({id, address}, {}, {}, "PARENT", true);
    EXPECT_TRUE(failed.createTable.isEmpty());
    EXPECT_TRUE(failed.problem.contains("address")) << failed.problem.toStdString();
    EXPECT_TRUE(failed.problem.contains("inet6")) << failed.problem.toStdString();
}

TEST(DetailedKeys, PrimaryUniqueAndPlainKeysAndForeignKeyNames)
{
    const QVector<KeyStatement> keys = BuildDetailedKeyStatements(
        {{"PRIMARY", "child", true, {"id"}}, {"uq_ab", "child", true, {"a", "b"}}, {"ix_note", "child", false, {"note"}}},
        "CHILD", "CHILD", true);
    ASSERT_EQ(keys.size(), 3);
    EXPECT_EQ(keys[0].text, "alter table \"CHILD\"  add constraint \"PRIMARYCHILD1\" primary key (\"ID\")");
    EXPECT_EQ(keys[1].text, "alter table \"CHILD\" add constraint \"IDX_UQ_ABCHILD\" unique (\"A\",\"B\")");
    EXPECT_EQ(keys[2].text, "create index \"IDX_IX_NOTECHILD\" on \"CHILD\" (\"NOTE\")");

    ObjectNames used;
    const QString longName = "fk_a_rather_long_constraint_name_of_mysql";
    EXPECT_EQ(foreignKeyName(longName, "C", used), "FK_A_RATHER_LONG_CONSTRAINT_NA");
    EXPECT_EQ(foreignKeyName(longName, "C", used), "FK_A_RATHER_LONG_CONSTRAIN0000");
    EXPECT_EQ(foreignKeyName(longName, "C", used), "FK_A_RATHER_LONG_CONSTRAIN0001");
    EXPECT_EQ(foreignKeyStatement("C", "FK", {"P_ID"}, "P", {"ID"}, "SET NULL"),
              "alter table \"C\" add constraint \"FK\" foreign key (\"P_ID\") references \"P\" (\"ID\") "
              "on delete set null");
    EXPECT_EQ(foreignKeyStatement("C", "FK", {"P_ID"}, "P", {"ID"}, "RESTRICT"),
              "alter table \"C\" add constraint \"FK\" foreign key (\"P_ID\") references \"P\" (\"ID\")");
}

TEST(DetailedKeys, FulltextKeysBecomeOneTextIndexPerColumnAndSpatialKeysAreLeftOut)
{
    const QString text = " indextype is ctxsys.context";
    const QVector<KeyStatement> keys = BuildDetailedKeyStatements(
        {{"PRIMARY", "docs", true, {"id"}},
         {"ft_a", "docs", false, {"title", "body"}, "FULLTEXT"},
         {"ft_b", "docs", false, {"body"}, "FULLTEXT"},
         {"ft_c", "docs", false, {"note", "title"}, "FULLTEXT"},
         {"sp", "docs", false, {"shape"}, "SPATIAL"},
         {"ft_a_rather_long_fulltext_key", "docs", false, {"x", "y"}, "FULLTEXT"}},
        "DOCS", "DOCS", true);
    const struct {
        QString text;
        QStringList notes;
    } expected[] = {
        {"alter table \"DOCS\"  add constraint \"PRIMARYDOCS1\" primary key (\"ID\")", {}},
        {"create index \"IDX_FT_ADOCS\" on \"DOCS\" (\"TITLE\")" + text, {}},
        {"create index \"IDX_FT_ADOCS_2\" on \"DOCS\" (\"BODY\")" + text,
         {"FULLTEXT index ft_a of table DOCS covers 2 columns and becomes one Oracle Text index per column: "
          "IDX_FT_ADOCS (TITLE), IDX_FT_ADOCS_2 (BODY)"}},
        // Oracle allows one CONTEXT index per column: a column that has one
        // gets no other.
        {"", {"FULLTEXT index ft_b of table DOCS: BODY has an Oracle Text index already and gets no other"}},
        {"create index \"IDX_FT_CDOCS\" on \"DOCS\" (\"NOTE\")" + text,
         {"FULLTEXT index ft_c of table DOCS covers 2 columns and becomes one Oracle Text index per column: "
          "IDX_FT_CDOCS (NOTE)",
          "FULLTEXT index ft_c of table DOCS: TITLE has an Oracle Text index already and gets no other"}},
        {"", {"Spatial index sp of table DOCS is left out: Oracle's spatial index needs the extent of the layer "
              "registered first, which MySQL does not keep"}},
        // The name of a later part keeps within 30 characters.
        {"create index \"IDX_FT_A_RATHER_LONG_FULLTEXT_\" on \"DOCS\" (\"X\")" + text, {}},
        {"create index \"IDX_FT_A_RATHER_LONG_FULLTEX_2\" on \"DOCS\" (\"Y\")" + text,
         {"FULLTEXT index ft_a_rather_long_fulltext_key of table DOCS covers 2 columns and becomes one Oracle Text "
          "index per column: IDX_FT_A_RATHER_LONG_FULLTEXT_ (X), IDX_FT_A_RATHER_LONG_FULLTEX_2 (Y)"}},
    };
    ASSERT_EQ(keys.size(), int(std::size(expected)));
    for (int i = 0; i < keys.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(keys[i].refused());
        EXPECT_EQ(keys[i].text, expected[i].text);
        EXPECT_EQ(keys[i].notes, expected[i].notes);
    }
}
