#include "tests/support/oracleconformance.h"

#include "engine/core/errors.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace tavrex::test {

namespace {

using Kind = ConformanceStep::Kind;
using Rows = QVector<QVector<OracleValue>>;

// ------------------------------------------------------------ step builders

// The bytes a reader's valueView must give for a value it can view.
QByteArray viewBytesOf(const OracleValue &v)
{
    switch (v.kind()) {
    case OracleValue::Kind::Number: return v.textValue().toUtf8();
    case OracleValue::Kind::Text: return v.isUtf8() ? v.utf8Value() : v.textValue().toUtf8();
    case OracleValue::Kind::Bytes: return v.bytesValue();
    case OracleValue::Kind::Date: {
        const OracleDate &d = v.dateValue();
        char text[32];
        std::snprintf(text, sizeof text, "%s%04d-%02d-%02d %02d:%02d:%02d", d.year < 0 ? "-" : "", std::abs(d.year),
                      d.month, d.day, d.hour, d.minute, d.second);
        return QByteArray(text);
    }
    default: return QByteArray();
    }
}

ConformanceStep exec(const QString &sql, const QString &error = QString())
{
    ConformanceStep s;
    s.kind = Kind::Execute;
    s.sql = sql;
    s.error = error;
    return s;
}

ConformanceStep count(const QString &sql, qint64 n)
{
    ConformanceStep s;
    s.kind = Kind::Count;
    s.sql = sql;
    s.count = n;
    return s;
}

ConformanceStep countFails(const QString &sql, const QString &error)
{
    ConformanceStep s = count(sql, 0);
    s.error = error;
    return s;
}

ConformanceStep describe(const QString &sql, QVector<OracleColumn> columns, const QString &error = QString())
{
    ConformanceStep s;
    s.kind = Kind::Describe;
    s.sql = sql;
    s.described = std::move(columns);
    s.error = error;
    return s;
}

// A batch every row of which is accepted.
ConformanceStep batch(const QString &table, const QStringList &columns, Rows rows)
{
    ConformanceStep s;
    s.kind = Kind::Batch;
    s.table = table;
    s.columns = columns;
    s.rows = std::move(rows);
    return s;
}

// A batch whose row `row` is rejected with `message`.
ConformanceStep rejected(const QString &table, const QStringList &columns, Rows rows, int row, const QString &message)
{
    ConformanceStep s = batch(table, columns, std::move(rows));
    s.rejectedRow = row;
    s.message = message;
    return s;
}

// A batch that fails as a statement (DatabaseError), not as a row.
ConformanceStep batchFails(const QString &table, const QStringList &columns, Rows rows, const QString &error)
{
    ConformanceStep s = batch(table, columns, std::move(rows));
    s.error = error;
    return s;
}

// A batch sent keeping its accepted rows; `rejections` lists the rows it
// rejects, in batch order.
ConformanceStep keeping(const QString &table, const QStringList &columns, Rows rows,
                        QVector<QPair<int, QString>> rejections = {})
{
    ConformanceStep s = batch(table, columns, std::move(rows));
    s.kind = Kind::KeepingBatch;
    s.rejections = std::move(rejections);
    return s;
}

ConformanceStep keepingFails(const QString &table, const QStringList &columns, Rows rows, const QString &error)
{
    ConformanceStep s = keeping(table, columns, std::move(rows));
    s.error = error;
    return s;
}

// The step's batch with statements in its own transaction.
ConformanceStep withStatements(ConformanceStep s, QStringList statements)
{
    s.beforeCommit = std::move(statements);
    return s;
}

// A query read back through OracleSession::query.
ConformanceStep query(const QString &sql, QVector<OracleColumn> columns, Rows expected, const QString &error = QString())
{
    ConformanceStep s;
    s.kind = Kind::Query;
    s.sql = sql;
    s.described = std::move(columns);
    s.rows = std::move(expected);
    s.error = error;
    return s;
}

ConformanceStep rows(const QString &table, Rows expected)
{
    ConformanceStep s;
    s.kind = Kind::Rows;
    s.table = table;
    s.rows = std::move(expected);
    return s;
}

OracleColumn col(const QString &name, const QString &type, int length = 0, int precision = 0, int scale = 0,
                 bool nullable = true)
{
    OracleColumn c;
    c.name = name;
    c.type = type;
    c.length = length;
    c.precision = precision;
    c.scale = scale;
    c.nullable = nullable;
    return c;
}

OracleValue num(const char *text)
{
    return OracleValue::number(QString::fromLatin1(text));
}
OracleValue txt(const QString &text)
{
    return OracleValue::text(text);
}
// A text given as UTF-8 bytes, as the row copy passes MySQL's text on.
OracleValue u8(const QString &text)
{
    return OracleValue::textUtf8(text.toUtf8());
}
OracleValue nul()
{
    return OracleValue::null();
}
OracleValue bin(const QByteArray &b)
{
    return OracleValue::bytes(b);
}
OracleValue dt(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    OracleDate date;
    date.year = y;
    date.month = mo;
    date.day = d;
    date.hour = h;
    date.minute = mi;
    date.second = s;
    return OracleValue::date(date);
}

QString countSql(const QString &table, const QString &owner)
{
    return QStringLiteral("select count(*) cn from all_tables where table_name='") + table +
           QStringLiteral("' and upper(owner)='") + owner + QStringLiteral("'");
}

const QString kInvalidSql = QStringLiteral("ORA-00900: invalid SQL statement");
const QString kNoTable = QStringLiteral("ORA-00942: table or view does not exist");
const QString kNameUsed = QStringLiteral("ORA-00955: name is already used by an existing object");
const QString kPrecision = QStringLiteral("ORA-01438: value larger than specified precision allowed for this column");

QString tooLarge(const QString &table, const QString &column, int actual, int maximum)
{
    return QStringLiteral("ORA-12899: value too large for column \"%OWNER%\".\"%1\".\"%2\" (actual: %3, maximum: %4)")
        .arg(table, column)
        .arg(actual)
        .arg(maximum);
}

QVector<ConformanceCase> buildCases()
{
    QVector<ConformanceCase> cases;
    const QString ordersDdl = QStringLiteral(
        "Create table \"ORDERS\" (\r\n\"ID\"  number  , \r\n\"LINE\"  number  , \r\n\"CUSTOMER\" varchar2(40)  , "
        "\r\n\"NOTE\" BLOB  ) ");
    const QVector<OracleColumn> ordersColumns = {col("ID", "NUMBER"), col("LINE", "NUMBER"),
                                                 col("CUSTOMER", "VARCHAR2", 40), col("NOTE", "BLOB")};

    // ---------------------------------------------------- catalogue query
    cases.append({"CountQueryFindsATableByItsExactNameAndUpperCasedOwner",
                  {"ORDERS", "orders"},
                  {exec(ordersDdl), count(countSql("ORDERS", "%OWNER%"), 1), count(countSql("orders", "%OWNER%"), 0),
                   count(countSql("ORDERS", "NOBODY"), 0),
                   count(QStringLiteral("SELECT COUNT ( * )  CN\r\nFROM ALL_TABLES\r\nWHERE TABLE_NAME = 'ORDERS'\r\n"
                                        "AND UPPER(OWNER) = '%OWNER%'"),
                         1),
                   exec(QStringLiteral("Create table \"orders\" ( \"a\" number )")),
                   count(countSql("orders", "%OWNER%"), 1)}});
    cases.append({"CountQueryLiteralsMayHoldDoubledQuotes",
                  {"O'NEIL"},
                  {exec(QStringLiteral("Create table \"O'NEIL\" ( \"A\" number )")),
                   count(countSql("O''NEIL", "%OWNER%"), 1), count(countSql("ONEIL", "%OWNER%"), 0)}});
    cases.append({"CountQueryOfAnotherFormIsNotAStatementTheTargetKnows",
                  {},
                  {countFails(QStringLiteral("select count(*) from"), QStringLiteral("ORA-00903: invalid table name")),
                   countFails(QStringLiteral("select count(*) from all_tables"), kInvalidSql),
                   countFails(QStringLiteral("select count(*) cn from all_tables where table_name='X' and"
                                             " upper(owner)='Y' 'Z'"),
                              QStringLiteral("ORA-00933: SQL command not properly ended"))}});

    // ---------------------------------------------------- statements refused
    cases.append({"StatementsOutsideTheAcceptedFormsAreInvalidSql",
                  {},
                  {exec(QStringLiteral("merge into t using s on (t.a = s.a) when matched then update set t.b = s.b"), kInvalidSql),
                   exec(QStringLiteral("select 1 from dual"), kInvalidSql), exec(QString(), kInvalidSql),
                   exec(QStringLiteral("truncate table t"), kInvalidSql),
                   exec(QStringLiteral("create view v as select * from t"), kInvalidSql),
                   exec(QStringLiteral("alter table t add (b number)"), kInvalidSql)}});

    // ---------------------------------------------------- drop table
    cases.append({"DropTableTakesQuotedAndUnquotedNames",
                  {"T1", "T2", "t3"},
                  {exec(QStringLiteral("Create table \"T1\" ( \"A\" number )")),
                   exec(QStringLiteral("drop table \"T1\"")), count(countSql("T1", "%OWNER%"), 0),
                   exec(QStringLiteral("drop table \"T1\""), kNoTable),
                   exec(QStringLiteral("Create table \"T2\" ( \"A\" number )")), exec(QStringLiteral("DROP TABLE t2")),
                   count(countSql("T2", "%OWNER%"), 0),
                   exec(QStringLiteral("Create table \"t3\" ( \"A\" number )")),
                   exec(QStringLiteral("drop table t3"), kNoTable), count(countSql("t3", "%OWNER%"), 1)}});

    // ---------------------------------------------------- create table
    cases.append({"CreateTableOfTheTableBuilderIsAcceptedAndDescribed",
                  {"ORDERS"},
                  {exec(ordersDdl), describe(QStringLiteral("select * from \"ORDERS\" where 1=0"), ordersColumns),
                   describe(QStringLiteral("SELECT *\r\nFROM orders\r\nWHERE 1 = 0"), ordersColumns)}});
    cases.append(
        {"EveryColumnTypeWithinOraclesLimitsIsAccepted",
         {"TYPES"},
         {exec(QStringLiteral("create table \"TYPES\" (\"V\" varchar2(4000), \"V1\" VARCHAR2(1), \"C\" char(2000),"
                              " \"C1\" char, \"N\" number, \"N38\" number(38), \"NPS\" number(10,2),"
                              " \"NNEG\" number(5,-2), \"NBIG\" number(1,127), \"D\" date, \"B\" blob, \"CL\" clob,"
                              " \"R\" raw(2000), \"VC\" varchar2(10 char), \"VB\" varchar2(10 byte))")),
          describe(QStringLiteral("select * from \"TYPES\" where 1=0"),
                   {col("V", "VARCHAR2", 4000), col("V1", "VARCHAR2", 1), col("C", "CHAR", 2000), col("C1", "CHAR", 1),
                    col("N", "NUMBER"), col("N38", "NUMBER", 0, 38), col("NPS", "NUMBER", 0, 10, 2),
                    col("NNEG", "NUMBER", 0, 5, -2), col("NBIG", "NUMBER", 0, 1, 127), col("D", "DATE"),
                    col("B", "BLOB"), col("CL", "CLOB"), col("R", "RAW", 2000), col("VC", "VARCHAR2", 10),
                    col("VB", "VARCHAR2", 10)})}});
    cases.append({"AColumnWithoutATypeOrWithAnUnknownTypeIsInvalidDatatype",
                  {"T"},
                  {exec(QStringLiteral("Create table \"T\" (\r\n\"ID\"  number  , \r\n\"MASK\"  )"),
                        QStringLiteral("ORA-00902: invalid datatype")),
                   exec(QStringLiteral("Create table \"T\" (\r\n\"MASK\"  , \r\n\"ID\"  number  )"),
                        QStringLiteral("ORA-00902: invalid datatype")),
                   exec(QStringLiteral("Create table \"T\" ( \"A\" datetime )"),
                        QStringLiteral("ORA-00902: invalid datatype")),
                   count(countSql("T", "%OWNER%"), 0)}});
    cases.append(
        {"LengthsOutOfRangeAreRefused",
         {"T"},
         {exec(QStringLiteral("create table \"T\" (\"A\" varchar2(4001))"),
               QStringLiteral("ORA-00910: specified length too long for its datatype")),
          exec(QStringLiteral("create table \"T\" (\"A\" char(2001))"),
               QStringLiteral("ORA-00910: specified length too long for its datatype")),
          exec(QStringLiteral("create table \"T\" (\"A\" raw(2001))"),
               QStringLiteral("ORA-00910: specified length too long for its datatype")),
          exec(QStringLiteral("create table \"T\" (\"A\" varchar2(0))"),
               QStringLiteral("ORA-01723: zero-length columns are not allowed")),
          exec(QStringLiteral("create table \"T\" (\"A\" char(0))"),
               QStringLiteral("ORA-01723: zero-length columns are not allowed")),
          exec(QStringLiteral("create table \"T\" (\"A\" varchar2)"),
               QStringLiteral("ORA-00906: missing left parenthesis")),
          exec(QStringLiteral("create table \"T\" (\"A\" number(39))"),
               QStringLiteral("ORA-01727: numeric precision specifier is out of range (1 to 38)")),
          exec(QStringLiteral("create table \"T\" (\"A\" number(0))"),
               QStringLiteral("ORA-01727: numeric precision specifier is out of range (1 to 38)")),
          exec(QStringLiteral("create table \"T\" (\"A\" number(10,128))"),
               QStringLiteral("ORA-01728: numeric scale specifier is out of range (-84 to 127)")),
          exec(QStringLiteral("create table \"T\" (\"A\" number(10,-85))"),
               QStringLiteral("ORA-01728: numeric scale specifier is out of range (-84 to 127)"))}});
    cases.append({"TwoColumnsOfOneNameAreADuplicateColumn",
                  {"T"},
                  {exec(QStringLiteral("create table \"T\" (\"A\" number, \"B\" date, \"A\" varchar2(5))"),
                        QStringLiteral("ORA-00957: duplicate column name")),
                   exec(QStringLiteral("create table \"T\" (\"A\" number, \"a\" number)"))}});
    cases.append({"IdentifiersLongerThanThirtyCharactersAreTooLong",
                  {"ABCDEFGHIJABCDEFGHIJABCDEFGHIJ"},
                  {exec(QStringLiteral("create table \"ABCDEFGHIJABCDEFGHIJABCDEFGHIJK\" (\"A\" number)"),
                        QStringLiteral("ORA-00972: identifier is too long")),
                   exec(QStringLiteral("create table \"ABCDEFGHIJABCDEFGHIJABCDEFGHIJ\" ("
                                       "\"ABCDEFGHIJABCDEFGHIJABCDEFGHIJK\" number)"),
                        QStringLiteral("ORA-00972: identifier is too long")),
                   exec(QStringLiteral("create table \"ABCDEFGHIJABCDEFGHIJABCDEFGHIJ\" ("
                                       "\"ABCDEFGHIJABCDEFGHIJABCDEFGHIJ\" number)"))}});
    cases.append({"ACountOfATablesRowsCountsThemAll",
                  {"T"},
                  {exec(QStringLiteral("create table \"T\" (\"ID\" number)")),
                   count(QStringLiteral("select count(*) cn from \"T\""), 0),
                   batch("T", {"ID"}, {{num("1")}, {num("2")}, {nul()}}),
                   count(QStringLiteral("select count(*) cn from \"T\""), 3),
                   countFails(QStringLiteral("select count(*) cn from \"NOPE\""), kNoTable)}});
    cases.append({"ASecondTableOfAUsedNameIsRefused",
                  {"T"},
                  {exec(QStringLiteral("create table \"T\" (\"A\" number)")),
                   exec(QStringLiteral("create table \"T\" (\"B\" number)"), kNameUsed),
                   exec(QStringLiteral("create table t (\"B\" number)"), kNameUsed)}});
    cases.append({"MalformedCreateTableStatementsGetOraclesSyntaxErrors",
                  {"T", "1T"},
                  {exec(QStringLiteral("create table \"T\" (\"A\" number"),
                        QStringLiteral("ORA-00907: missing right parenthesis")),
                   exec(QStringLiteral("create table \"T\" (\"A\" varchar2(10) character set utf8)"),
                        QStringLiteral("ORA-00907: missing right parenthesis")),
                   exec(QStringLiteral("create table \"T\" ()"), QStringLiteral("ORA-00904: : invalid identifier")),
                   exec(QStringLiteral("create table \"T\" (\"A\" number) nologging x"),
                        QStringLiteral("ORA-00922: missing or invalid option")),
                   exec(QStringLiteral("create table \"T\""), QStringLiteral("ORA-00906: missing left parenthesis")),
                   exec(QStringLiteral("create table 1T (\"A\" number)"), QStringLiteral("ORA-00903: invalid table name")),
                   exec(QStringLiteral("create table \"\" (\"A\" number)"),
                        QStringLiteral("ORA-01741: illegal zero-length identifier")),
                   exec(QStringLiteral("create table \"T (\"A\" number)"),
                        QStringLiteral("ORA-01740: missing double quote in identifier")),
                   exec(QStringLiteral("create table \"T\" (\"A\" date(7))"),
                        QStringLiteral("ORA-00907: missing right parenthesis"))}});

    // ---------------------------------------------------- primary key
    const QString ordersPk = QStringLiteral("alter table ORDERS  add constraint PRIMARYorders1 primary key (id,line)");
    cases.append(
        {"PrimaryKeyStatementOfTheKeyBuilderMakesItsColumnsNotNull",
         {"ORDERS"},
         {exec(ordersDdl), exec(ordersPk),
          describe(QStringLiteral("select * from \"ORDERS\" where 1=0"),
                   {col("ID", "NUMBER", 0, 0, 0, false), col("LINE", "NUMBER", 0, 0, 0, false),
                    col("CUSTOMER", "VARCHAR2", 40), col("NOTE", "BLOB")}),
          exec(QStringLiteral("alter table \"ORDERS\"  add constraint \"PK2\" primary key (\"CUSTOMER\")"),
               QStringLiteral("ORA-02260: table can have only one primary key"))}});
    cases.append({"QuotedUpperCaseAndUnquotedKeyStatementsMeanTheSame",
                  {"ORDERS"},
                  {exec(ordersDdl),
                   exec(QStringLiteral("alter table \"ORDERS\"  add constraint \"PRIMARYORDERS1\" primary key "
                                       "(\"ID\",\"LINE\")")),
                   exec(ordersPk, QStringLiteral("ORA-02260: table can have only one primary key")),
                   exec(QStringLiteral("create index idx_custORDERS on ORDERS (customer)")),
                   exec(QStringLiteral("create index \"IDX_CUSTORDERS\" on \"ORDERS\" (\"CUSTOMER\")"), kNameUsed)}});
    cases.append({"AConstraintNameIsUsedOncePerSchema",
                  {"A", "B"},
                  {exec(QStringLiteral("create table \"A\" (\"ID\" number)")),
                   exec(QStringLiteral("create table \"B\" (\"ID\" number)")),
                   exec(QStringLiteral("alter table A  add constraint PK_X primary key (id)")),
                   exec(QStringLiteral("alter table B  add constraint PK_X primary key (id)"),
                        QStringLiteral("ORA-02264: name already used by an existing constraint"))}});
    cases.append({"LobColumnsCannotBeKeyedOrIndexed",
                  {"ORDERS"},
                  {exec(ordersDdl),
                   exec(QStringLiteral("alter table ORDERS  add constraint PK_O primary key (id,note)"),
                        QStringLiteral("ORA-02329: column of datatype LOB cannot be unique or a primary key")),
                   exec(QStringLiteral("create index idx_noteORDERS on ORDERS (note)"),
                        QStringLiteral("ORA-02327: cannot create index on expression with datatype LOB"))}});
    cases.append({"KeyAndIndexStatementsOnAMissingTableOrColumnAreRefused",
                  {"ORDERS", "lower"},
                  {exec(QStringLiteral("alter table NOPE  add constraint PK_N primary key (id)"), kNoTable),
                   exec(QStringLiteral("create index I_N on NOPE (id)"), kNoTable),
                   describe(QStringLiteral("select * from \"NOPE\" where 1=0"), {}, kNoTable), exec(ordersDdl),
                   exec(QStringLiteral("alter table ORDERS  add constraint PK_O primary key (id,nope)"),
                        QStringLiteral("ORA-00904: \"NOPE\": invalid identifier")),
                   exec(QStringLiteral("create index I_O on ORDERS (\"id\")"),
                        QStringLiteral("ORA-00904: \"id\": invalid identifier")),
                   exec(QStringLiteral("Create table \"lower\" ( \"ID\" number )")),
                   exec(QStringLiteral("alter table lower  add constraint PK_L primary key (id)"), kNoTable)}});
    cases.append({"APrimaryKeyOverNullsOrDuplicatesCannotBeAdded",
                  {"T"},
                  {exec(QStringLiteral("create table \"T\" (\"ID\" number, \"V\" varchar2(5))")),
                   batch("T", {"ID", "V"}, {{num("1"), txt("a")}, {nul(), txt("b")}}),
                   exec(QStringLiteral("alter table T  add constraint PK_T primary key (id)"),
                        QStringLiteral("ORA-01449: column contains NULL values; cannot alter to NOT NULL")),
                   exec(QStringLiteral("alter table T  add constraint PK_T primary key (v)")),
                   exec(QStringLiteral("drop table T")),
                   exec(QStringLiteral("create table \"T\" (\"ID\" number, \"V\" varchar2(5))")),
                   batch("T", {"ID", "V"}, {{num("1"), txt("a")}, {num("1.0"), txt("b")}}),
                   exec(QStringLiteral("alter table T  add constraint PK_T primary key (id)"),
                        QStringLiteral("ORA-02437: cannot validate (%OWNER%.PK_T) - primary key violated"))}});

    // ---------------------------------------------------- indexes
    cases.append({"AnIndexOverAnIndexedColumnListIsRefused",
                  {"ORDERS"},
                  {exec(ordersDdl), exec(ordersPk), exec(QStringLiteral("create index idx_custORDERS on ORDERS (customer)")),
                   exec(QStringLiteral("create index idx_custORDERS on ORDERS (line)"), kNameUsed),
                   exec(QStringLiteral("create index idx_cust2 on ORDERS (customer)"),
                        QStringLiteral("ORA-01408: such column list already indexed")),
                   exec(QStringLiteral("create index idx_pk on ORDERS (id,line)"),
                        QStringLiteral("ORA-01408: such column list already indexed")),
                   exec(QStringLiteral("create index idx_rev on ORDERS (line,id)")),
                   exec(QStringLiteral("create index ORDERS on ORDERS (id)"))}});
    cases.append({"APrimaryKeyUsesAnExistingIndexOfItsColumns",
                  {"T"},
                  {exec(QStringLiteral("create table \"T\" (\"ID\" number)")),
                   exec(QStringLiteral("create index I_ID on T (id)")),
                   exec(QStringLiteral("alter table T  add constraint PK_T primary key (id)")),
                   exec(QStringLiteral("create index PK_T on T (id)"),
                        QStringLiteral("ORA-01408: such column list already indexed"))}});
    cases.append({"AnIndexAndATableMayShareANameButTwoIndexesMayNot",
                  {"A", "B"},
                  {exec(QStringLiteral("create table \"A\" (\"X\" number, \"Y\" number)")),
                   exec(QStringLiteral("create table \"B\" (\"X\" number)")),
                   exec(QStringLiteral("create index A on A (x)")),
                   exec(QStringLiteral("create index B on A (y)")),
                   exec(QStringLiteral("create index B on B (x)"), kNameUsed),
                   exec(QStringLiteral("alter table B  add constraint A primary key (x)"), kNameUsed)}});
    cases.append({"ReservedWordsCannotBeUnquotedNames",
                  {"T"},
                  {exec(QStringLiteral("create table \"T\" (\"LEVEL\" number, \"DATE\" date)")),
                   exec(QStringLiteral("create index I_L on T (level)"),
                        QStringLiteral("ORA-00904: : invalid identifier")),
                   exec(QStringLiteral("create index I_L on T (\"LEVEL\")")),
                   exec(QStringLiteral("create table order (\"A\" number)"),
                        QStringLiteral("ORA-00903: invalid table name"))}});

    // ---------------------------------------------------- batches and values
    cases.append({"ABatchIsInsertedInOrderAndReadsBackExactly",
                  {"ORDERS"},
                  {exec(ordersDdl),
                   batch("ORDERS", {"ID", "LINE", "CUSTOMER", "NOTE"},
                         {{num("1"), num("1"), txt("Ann"), bin(QByteArray("\x00\x01\xff", 3))},
                          {num("2"), num("-1.50"), txt(QString::fromUtf8("\xe5\xbc\xa0\xe4\xb8\x89")), nul()},
                          {num("3"), nul(), nul(), txt(QStringLiteral("note text"))}}),
                   rows("ORDERS", {{num("1"), num("1"), txt("Ann"), bin(QByteArray("\x00\x01\xff", 3))},
                                   {num("2"), num("-1.5"), txt(QString::fromUtf8("\xe5\xbc\xa0\xe4\xb8\x89")), nul()},
                                   {num("3"), nul(), nul(), bin(QByteArray("note text"))}})}});
    cases.append(
        {"NumbersKeepThirtyEightDigitsAndTheirCanonicalForm",
         {"N"},
         {exec(QStringLiteral("create table \"N\" (\"N\" number)")),
          batch("N", {"N"},
                {{num("1.50")}, {num("-0.50")}, {num("007")}, {num("1e3")}, {num("-0")}, {num("+12.5E-1")},
                 {num("12345678901234567890123456789012345678951")}, {num("0.123456789012345678901234567890123456785")},
                 {num("99999999999999999999999999999999999999.5")}, {num("1e-131")}, {num("9.99e125")},
                 {txt(QStringLiteral(" 42 "))}, {txt(QString())}}),
          rows("N", {{num("1.5")},
                     {num("-0.5")},
                     {num("7")},
                     {num("1000")},
                     {num("0")},
                     {num("1.25")},
                     {num("12345678901234567890123456789012345679000")},
                     {num("0.12345678901234567890123456789012345679")},
                     {num("100000000000000000000000000000000000000")},
                     {num("0")},
                     {num(("999" + std::string(123, '0')).c_str())},
                     {num("42")},
                     {nul()}}),
          rejected("N", {"N"}, {{num("1")}, {num("1e126")}}, 1, QStringLiteral("ORA-01426: numeric overflow")),
          rejected("N", {"N"}, {{txt(QStringLiteral("12a"))}}, 0, QStringLiteral("ORA-01722: invalid number"))}});
    cases.append({"NumbersAreRoundedToTheScaleAndCheckedAgainstThePrecision",
                  {"P"},
                  {exec(QStringLiteral("create table \"P\" (\"A\" number(5,2), \"B\" number(3), \"C\" number(5,-2))")),
                   batch("P", {"A", "B", "C"},
                         {{num("123.456"), num("999.4"), num("12345")}, {num("-0.005"), num("-999"), num("49")}}),
                   rows("P", {{num("123.46"), num("999"), num("12300")}, {num("-0.01"), num("-999"), num("0")}}),
                   rejected("P", {"A"}, {{num("1")}, {num("999.995")}}, 1, kPrecision),
                   rejected("P", {"B"}, {{num("999.5")}}, 0, kPrecision),
                   rejected("P", {"C"}, {{num("9999999.9")}}, 0, kPrecision),
                   rows("P", {{num("123.46"), num("999"), num("12300")}, {num("-0.01"), num("-999"), num("0")}})}});
    cases.append(
        {"DatesHoldYearsFromMinus4712To9999WithSecondsAndOraclesCalendar",
         {"D"},
         {exec(QStringLiteral("create table \"D\" (\"D\" date)")),
          batch("D", {"D"},
                {{dt(-4712, 1, 1)}, {dt(9999, 12, 31, 23, 59, 59)}, {dt(2024, 2, 29, 12, 30, 5)}, {dt(1500, 2, 29)},
                 {dt(-1, 2, 29)}, {dt(1, 1, 1)}}),
          rows("D", {{dt(-4712, 1, 1)}, {dt(9999, 12, 31, 23, 59, 59)}, {dt(2024, 2, 29, 12, 30, 5)}, {dt(1500, 2, 29)},
                     {dt(-1, 2, 29)}, {dt(1, 1, 1)}}),
          rejected("D", {"D"}, {{dt(0, 1, 1)}}, 0,
                   QStringLiteral("ORA-01841: (full) year must be between -4713 and +9999, and not be 0")),
          rejected("D", {"D"}, {{dt(10000, 1, 1)}}, 0,
                   QStringLiteral("ORA-01841: (full) year must be between -4713 and +9999, and not be 0")),
          rejected("D", {"D"}, {{dt(-4713, 12, 31)}}, 0,
                   QStringLiteral("ORA-01841: (full) year must be between -4713 and +9999, and not be 0")),
          rejected("D", {"D"}, {{dt(2023, 2, 29)}}, 0, QStringLiteral("ORA-01839: date not valid for month specified")),
          rejected("D", {"D"}, {{dt(1900, 2, 29)}}, 0, QStringLiteral("ORA-01839: date not valid for month specified")),
          rejected("D", {"D"}, {{dt(2023, 13, 1)}}, 0, QStringLiteral("ORA-01843: not a valid month")),
          rejected("D", {"D"}, {{dt(2023, 1, 32)}}, 0,
                   QStringLiteral("ORA-01847: day of month must be between 1 and last day of month")),
          rejected("D", {"D"}, {{dt(2023, 1, 1, 24)}}, 0, QStringLiteral("ORA-01850: hour must be between 0 and 23")),
          rejected("D", {"D"}, {{txt(QStringLiteral("2023-01-01"))}}, 0,
                   QStringLiteral("ORA-01861: literal does not match format string"))}});
    const QString chinese20 = QString::fromUtf8("\xe4\xb8\xad").repeated(20);
    cases.append({"TextLengthsCountCharactersWithinAByteCap",
                  {"S"},
                  {exec(QStringLiteral("create table \"S\" (\"C36\" varchar2(36), \"BIG\" varchar2(4000),"
                                       " \"B10\" varchar2(10 byte), \"E2\" varchar2(2))")),
                   batch("S", {"C36", "E2"},
                         {{txt(chinese20), txt(QString::fromUtf8("\xf0\x9f\x98\x80\xf0\x9f\x98\x81"))}}),
                   rows("S", {{txt(chinese20), nul(), nul(), txt(QString::fromUtf8("\xf0\x9f\x98\x80\xf0\x9f\x98\x81"))}}),
                   rejected("S", {"C36"}, {{txt(QString(37, QLatin1Char('x')))}}, 0, tooLarge("S", "C36", 37, 36)),
                   rejected("S", {"BIG"}, {{txt(QString::fromUtf8("\xe4\xb8\xad").repeated(2000))}}, 0,
                            tooLarge("S", "BIG", 6000, 4000)),
                   rejected("S", {"B10"}, {{txt(QString::fromUtf8("\xe4\xb8\xad").repeated(4))}}, 0,
                            tooLarge("S", "B10", 12, 10)),
                   rows("S", {{txt(chinese20), nul(), nul(), txt(QString::fromUtf8("\xf0\x9f\x98\x80\xf0\x9f\x98\x81"))}})}});
    // Text given as UTF-8 bytes follows the same rules as text given as a
    // string: lengths in characters within the byte cap, CHAR padding, ''
    // as NULL, and text read back as it went in.
    const QString emoji2 = QString::fromUtf8("\xf0\x9f\x98\x80\xf0\x9f\x98\x81");
    cases.append({"Utf8TextFollowsTheRulesOfText",
                  {"U"},
                  {exec(QStringLiteral("create table \"U\" (\"C36\" varchar2(36), \"BIG\" varchar2(4000),"
                                       " \"B10\" varchar2(10 byte), \"E2\" varchar2(2), \"C\" char(5), \"CL\" clob)")),
                   batch("U", {"C36", "E2", "C", "CL"},
                         {{u8(chinese20), u8(emoji2), u8(QString::fromUtf8("\xc3\xa9")), u8(chinese20)},
                          {u8(QString()), u8(QString()), u8(QStringLiteral("ab")), nul()}}),
                   rows("U", {{txt(chinese20), nul(), nul(), txt(emoji2), txt(QString::fromUtf8("\xc3\xa9    ")),
                               txt(chinese20)},
                              {nul(), nul(), nul(), nul(), txt(QStringLiteral("ab   ")), nul()}}),
                   rejected("U", {"C36"}, {{u8(QString(37, QLatin1Char('x')))}}, 0, tooLarge("U", "C36", 37, 36)),
                   rejected("U", {"E2"}, {{u8(emoji2 + QLatin1Char('x'))}}, 0, tooLarge("U", "E2", 3, 2)),
                   rejected("U", {"BIG"}, {{u8(QString::fromUtf8("\xe4\xb8\xad").repeated(2000))}}, 0,
                            tooLarge("U", "BIG", 6000, 4000)),
                   rejected("U", {"B10"}, {{u8(QString::fromUtf8("\xe4\xb8\xad").repeated(4))}}, 0,
                            tooLarge("U", "B10", 12, 10)),
                   rejected("U", {"C"}, {{u8(QStringLiteral("abcdef"))}}, 0, tooLarge("U", "C", 6, 5))}});
    cases.append({"CharValuesAreBlankPaddedAndRawValuesAreBoundedInBytes",
                  {"C"},
                  {exec(QStringLiteral("create table \"C\" (\"C\" char(5), \"R\" raw(4))")),
                   batch("C", {"C", "R"}, {{txt(QStringLiteral("ab")), bin(QByteArray("\x01\x02", 2))}}),
                   rows("C", {{txt(QStringLiteral("ab   ")), bin(QByteArray("\x01\x02", 2))}}),
                   rejected("C", {"R"}, {{bin(QByteArray("12345"))}}, 0, tooLarge("C", "R", 5, 4)),
                   rejected("C", {"C"}, {{txt(QStringLiteral("abcdef"))}}, 0, tooLarge("C", "C", 6, 5))}});
    cases.append({"ValuesOfOtherKindsAreConvertedAsOracleWouldOrRefused",
                  {"K"},
                  {exec(QStringLiteral("create table \"K\" (\"V\" varchar2(50), \"N\" number, \"D\" date, \"B\" blob)")),
                   batch("K", {"V", "B"}, {{num("0.50"), txt(QString::fromUtf8("\xc3\xa9t\xc3\xa9"))},
                                           {dt(2024, 5, 6, 7, 8, 9), bin(QByteArray("raw"))},
                                           {bin(QByteArray("\x0a\xff", 2)), nul()}}),
                   rows("K", {{txt(QStringLiteral(".5")), nul(), nul(), bin(QByteArray("\xc3\xa9t\xc3\xa9"))},
                              {txt(QStringLiteral("2024-05-06 07:08:09")), nul(), nul(), bin(QByteArray("raw"))},
                              {txt(QStringLiteral("0AFF")), nul(), nul(), nul()}}),
                   rejected("K", {"N"}, {{dt(2024, 1, 1)}}, 0,
                            QStringLiteral("ORA-00932: inconsistent datatypes: expected NUMBER got DATE")),
                   rejected("K", {"D"}, {{num("1")}}, 0,
                            QStringLiteral("ORA-00932: inconsistent datatypes: expected DATE got NUMBER"))}});
    cases.append({"RowsBreakingNotNullOrTheKeyRejectTheWholeBatch",
                  {"T"},
                  {exec(QStringLiteral("create table \"T\" (\"ID\" number, \"V\" varchar2(5))")),
                   exec(QStringLiteral("alter table T  add constraint PK_T primary key (id)")),
                   batch("T", {"ID", "V"}, {{num("1"), txt("a")}}),
                   rejected("T", {"ID", "V"}, {{num("2"), txt("b")}, {num("3"), txt("c")}, {num("1"), txt("d")}}, 2,
                            QStringLiteral("ORA-00001: unique constraint (%OWNER%.PK_T) violated")),
                   rejected("T", {"ID", "V"}, {{num("4"), txt("e")}, {nul(), txt("f")}}, 1,
                            QStringLiteral("ORA-01400: cannot insert NULL into (\"%OWNER%\".\"T\".\"ID\")")),
                   rejected("T", {"ID", "V"}, {{txt(QString()), txt("g")}}, 0,
                            QStringLiteral("ORA-01400: cannot insert NULL into (\"%OWNER%\".\"T\".\"ID\")")),
                   rejected("T", {"V"}, {{txt("h")}}, 0,
                            QStringLiteral("ORA-01400: cannot insert NULL into (\"%OWNER%\".\"T\".\"ID\")")),
                   rows("T", {{num("1"), txt("a")}})}});
    {
        // A batch's own statements (the record of a copy's progress) are
        // committed with its rows, and undone with them: by a rejected row,
        // or by a statement that fails, which fails the batch.
        auto progress = [](int n) { return QStringList{QStringLiteral("update \"P\" set \"N\" = %1").arg(n)}; };
        const QString noTable = QStringLiteral("ORA-00942: table or view does not exist");
        cases.append(
            {"ABatchsOwnStatementsAreCommittedWithItsRowsOrUndoneWithThem",
             {"T", "P"},
             {exec(QStringLiteral("create table \"T\" (\"ID\" number, \"V\" varchar2(3))")),
              exec(QStringLiteral("alter table T  add constraint PK_T primary key (id)")),
              exec(QStringLiteral("create table \"P\" (\"N\" number)")), batch("P", {"N"}, {{num("0")}}),
              withStatements(batch("T", {"ID", "V"}, {{num("1"), txt("a")}, {num("2"), txt("b")}}), progress(2)),
              rows("P", {{num("2")}}),
              withStatements(rejected("T", {"ID", "V"}, {{num("3"), txt("c")}, {num("1"), txt("d")}}, 1,
                                      QStringLiteral("ORA-00001: unique constraint (%OWNER%.PK_T) violated")),
                             progress(4)),
              withStatements(batchFails("T", {"ID", "V"}, {{num("5"), txt("e")}}, noTable),
                             {QStringLiteral("update \"NOPE\" set \"N\" = 5")}),
              rows("P", {{num("2")}}),
              // Keeping the accepted rows, the statements go with them.
              withStatements(keeping("T", {"ID", "V"}, {{num("6"), txt("f")}, {num("1"), txt("g")}},
                                     {{1, QStringLiteral("ORA-00001: unique constraint (%OWNER%.PK_T) violated")}}),
                             progress(6)),
              rows("P", {{num("6")}}),
              rows("T", {{num("1"), txt("a")}, {num("2"), txt("b")}, {num("6"), txt("f")}})}});
    }
    cases.append({"BatchStatementErrorsAreRaisedNotReportedAsRows",
                  {"T"},
                  {batch("NOPE", {"A"}, {}), batchFails("NOPE", {"A"}, {{num("1")}}, kNoTable),
                   exec(QStringLiteral("create table \"T\" (\"A\" number)")),
                   batchFails("T", {"A", "NOPE"}, {{num("1"), num("2")}},
                              QStringLiteral("ORA-00904: \"NOPE\": invalid identifier")),
                   batchFails("T", {"a"}, {{num("1")}}, QStringLiteral("ORA-00904: \"a\": invalid identifier")),
                   rows("T", {})}});

    // ---------------------------------------------------- keeping the accepted rows
    {
        // 6000 rows, the 3000th too long for its column: the 5999 others stay.
        Rows all, kept;
        for (int i = 1; i <= 6000; ++i) {
            const QVector<OracleValue> row = {num(QByteArray::number(i).constData()),
                                              txt(i == 3000 ? QStringLiteral("toolong") : QStringLiteral("r%1").arg(i % 97))};
            all.append(row);
            if (i != 3000)
                kept.append(row);
        }
        cases.append({"ABatchKeepingItsAcceptedRowsLosesOnlyTheRejectedOne",
                      {"BIG"},
                      {exec(QStringLiteral("create table \"BIG\" (\"ID\" number, \"V\" varchar2(5))")),
                       keeping("BIG", {"ID", "V"}, all, {{2999, tooLarge("BIG", "V", 7, 5)}}), rows("BIG", kept)}});
    }
    cases.append(
        {"ABatchKeepingItsAcceptedRowsListsEveryRejectedRowInBatchOrder",
         {"T"},
         {exec(QStringLiteral("create table \"T\" (\"ID\" number, \"V\" varchar2(3))")),
          exec(QStringLiteral("alter table T  add constraint PK_T primary key (id)")),
          batch("T", {"ID", "V"}, {{num("1"), txt("old")}}),
          // A number column that meets text in its middle rows is sent in
          // three arrays: the rows keep their positions across them.
          keeping("T", {"ID", "V"},
                  {{num("2"), txt("a")},
                   {num("1"), txt("dup")},
                   {nul(), txt("nul")},
                   {num("3"), txt("b")},
                   {txt(QStringLiteral("x")), txt("txt")},
                   {txt(QStringLiteral("4")), txt("c")},
                   {num("2"), txt("du2")},
                   {num("5"), txt("long")},
                   {num("6"), txt("d")}},
                  {{1, QStringLiteral("ORA-00001: unique constraint (%OWNER%.PK_T) violated")},
                   {2, QStringLiteral("ORA-01400: cannot insert NULL into (\"%OWNER%\".\"T\".\"ID\")")},
                   {4, QStringLiteral("ORA-01722: invalid number")},
                   {6, QStringLiteral("ORA-00001: unique constraint (%OWNER%.PK_T) violated")},
                   {7, tooLarge("T", "V", 4, 3)}}),
          rows("T", {{num("1"), txt("old")},
                     {num("2"), txt("a")},
                     {num("3"), txt("b")},
                     {num("4"), txt("c")},
                     {num("6"), txt("d")}})}});
    cases.append({"ABatchKeepingItsAcceptedRowsWithoutARejectionKeepsThemAll",
                  {"T"},
                  {exec(QStringLiteral("create table \"T\" (\"ID\" number, \"D\" date, \"B\" blob)")),
                   keeping("T", {"ID", "D", "B"},
                           {{num("1"), dt(2024, 2, 29, 23, 59, 58), bin(QByteArray("\x00\x01", 2))},
                            {num("2"), nul(), nul()}}),
                   rows("T", {{num("1"), dt(2024, 2, 29, 23, 59, 58), bin(QByteArray("\x00\x01", 2))},
                              {num("2"), nul(), nul()}})}});
    cases.append({"ABatchKeepingItsAcceptedRowsWhoseEveryRowIsRejectedLeavesTheTableAsItWas",
                  {"T"},
                  {exec(QStringLiteral("create table \"T\" (\"ID\" number not null, \"V\" varchar2(2))")),
                   batch("T", {"ID", "V"}, {{num("1"), txt("a")}}),
                   keeping("T", {"ID", "V"},
                           {{nul(), txt("a")}, {num("2"), txt("abc")}, {num("3"), dt(2020, 1, 1)}},
                           {{0, QStringLiteral("ORA-01400: cannot insert NULL into (\"%OWNER%\".\"T\".\"ID\")")},
                            {1, tooLarge("T", "V", 3, 2)},
                            {2, tooLarge("T", "V", 19, 2)}}),
                   rows("T", {{num("1"), txt("a")}}), keepingFails("NOPE", {"A"}, {{num("1")}}, kNoTable)}});

    // ---------------------------------------------------- reading rows back
    {
        const QString emoji = QString::fromUtf8("\xf0\x9f\x98\x80");
        const QString chinese = QString::fromUtf8("\xe4\xb8\xad\xe6\x96\x87");
        // Values over a megabyte, so that a LOB is read in more than one piece.
        QByteArray bigBytes(3 * 1024 * 1024 + 17, '\0');
        for (int i = 0; i < bigBytes.size(); ++i)
            bigBytes[i] = char(i * 7 % 251);
        const QString bigText = (chinese + emoji + QStringLiteral("abc")).repeated(200000);
        const Rows typed = {
            {num("-12.5"), num("0.5"), txt(QStringLiteral("a") + emoji), txt(QStringLiteral("ab   ")),
             dt(-4712, 1, 1, 0, 0, 0), bin(QByteArray("\x00\x01\x00", 3)), txt(chinese), bin(QByteArray("\xff\x00", 2))},
            {num("12345678901234567890123456789012345678"), num("-0.001"), txt(chinese), nul(), dt(9999, 12, 31, 23, 59, 59),
             bin(bigBytes), txt(bigText), nul()},
            {nul(), nul(), nul(), nul(), nul(), nul(), nul(), nul()}};
        cases.append({"AQueryReadsEveryColumnTypeBackTyped",
                      {"R"},
                      {exec(QStringLiteral("create table \"R\" (\"N\" number, \"S\" number(6,3), \"V\" varchar2(10),"
                                           " \"C\" char(5), \"D\" date, \"B\" blob, \"CL\" clob, \"RW\" raw(4))")),
                       batch("R", {"N", "S", "V", "C", "D", "B", "CL", "RW"}, typed),
                       query(QStringLiteral("select * from \"R\""),
                             {col("N", "NUMBER"), col("S", "NUMBER", 0, 6, 3), col("V", "VARCHAR2", 10), col("C", "CHAR", 5),
                              col("D", "DATE"), col("B", "BLOB"), col("CL", "CLOB"), col("RW", "RAW", 4)},
                             typed)}});
    }
    {
        Rows many;
        for (int i = 1; i <= 1234; ++i)
            many.append({num(QByteArray::number(i).constData()), txt(QStringLiteral("row %1").arg(i))});
        cases.append({"AQueryStreamsMoreRowsThanOneFetchHoldsInTheirOrder",
                      {"M"},
                      {exec(QStringLiteral("create table \"M\" (\"ID\" number, \"V\" varchar2(20))")),
                       query(QStringLiteral("select * from M"), {}, {}), batch("M", {"ID", "V"}, many),
                       query(QStringLiteral("select * from M"), {}, many),
                       query(QStringLiteral("select * from \"NOPE\""), {}, {}, kNoTable)}});
    }
    // ---------------------------------------------------- kept column details
    auto q = [](const char *text) { return QString::fromUtf8(text); };
    cases.append(
        {"TimestampIntervalAndBinaryNumberColumnsAreAcceptedAndDescribed",
         {"KEPT"},
         {exec(q("create table \"KEPT\" (\"F\" binary_float, \"D\" BINARY_DOUBLE, \"T\" timestamp, \"T3\" timestamp(3),"
                 " \"T0\" TIMESTAMP(0), \"I\" interval day(2) to second(6), \"I0\" INTERVAL DAY TO SECOND(0))")),
          describe(q("select * from \"KEPT\" where 1=0"),
                   {col("F", "BINARY_FLOAT"), col("D", "BINARY_DOUBLE"), col("T", "TIMESTAMP", 0, 0, 6),
                    col("T3", "TIMESTAMP", 0, 0, 3), col("T0", "TIMESTAMP", 0, 0, 0),
                    col("I", "INTERVAL DAY TO SECOND", 0, 2, 6), col("I0", "INTERVAL DAY TO SECOND", 0, 2, 0)})}});
    {
        OracleTimestamp ts;
        ts.date = {2024, 2, 29, 23, 59, 59};
        ts.nanosecond = 999999500;  // rounds up across the day into 1 March for TIMESTAMP(6)
        OracleTimestamp exact;
        exact.date = {1999, 12, 31, 8, 0, 1};
        exact.nanosecond = 123456000;
        OracleInterval back;  // MySQL's -838:59:59.5
        back.negative = true;
        back.days = 34;
        back.hours = 22;
        back.minutes = 59;
        back.seconds = 59;
        back.nanosecond = 500000000;
        OracleInterval tooLong;
        tooLong.days = 100;
        OracleTimestamp rolled;
        rolled.date = {2024, 3, 1, 0, 0, 0};
        const Rows stored = {{OracleValue::timestamp(exact), OracleValue::interval(back),
                              OracleValue::binaryNumber(q("1e+308")), OracleValue::binaryNumber(q("0.1"))},
                             {OracleValue::timestamp(rolled), nul(),
                              OracleValue::binaryNumber(q("-2.2250738585072014e-308")),
                              OracleValue::binaryNumber(q("3.4028235e+38"))},
                             {nul(), nul(), nul(), nul()}};
        cases.append(
            {"TimestampIntervalAndBinaryNumberValuesReadBackExactly",
             {"KEPT"},
             {exec(q("create table \"KEPT\" (\"T\" timestamp(6), \"I\" interval day(2) to second(6),"
                     " \"D\" binary_double, \"F\" binary_float)")),
              batch(q("KEPT"), {q("T"), q("I"), q("D"), q("F")},
                    {{OracleValue::timestamp(exact), OracleValue::interval(back), OracleValue::binaryNumber(q("1E+308")),
                      OracleValue::binaryNumber(q("0.1"))},
                     {OracleValue::timestamp(ts), nul(), OracleValue::binaryNumber(q("-2.2250738585072014E-308")),
                      OracleValue::binaryNumber(q("3.4028235E+38"))},
                     {nul(), nul(), nul(), nul()}}),
              rejected(q("KEPT"), {q("I")}, {{OracleValue::interval(tooLong)}}, 0,
                       q("ORA-01873: the leading precision of the interval is too small")),
              rejected(q("KEPT"), {q("F")}, {{OracleValue::binaryNumber(q("1E+39"))}}, 0,
                       q("ORA-01426: numeric overflow")),
              rows(q("KEPT"), stored),
              // And through a query: the same values, typed.
              query(q("select * from \"KEPT\""),
                    {col("T", "TIMESTAMP", 0, 0, 6), col("I", "INTERVAL DAY TO SECOND", 0, 2, 6),
                     col("D", "BINARY_DOUBLE"), col("F", "BINARY_FLOAT")},
                    stored)}});
    }
    cases.append({"FractionAndDayPrecisionsBeyondNineAreRefused",
                  {"T"},
                  {exec(q("create table \"T\" (\"A\" timestamp(10))"),
                        q("ORA-30088: datetime/interval precision is out of range")),
                   exec(q("create table \"T\" (\"A\" interval day(10) to second)"),
                        q("ORA-30088: datetime/interval precision is out of range"))}});
    cases.append(
        {"DefaultsFillTheColumnsABatchLeavesOut",
         {"DEFS"},
         {exec(q("create table \"DEFS\" (\"ID\" number(10) not null, \"QTY\" number(5) default 7 not null,"
                 " \"STATE\" varchar2(10) default 'new', \"PRICE\" number(10,2) default -1.50,"
                 " \"SINCE\" date default TO_DATE('2020-02-29 10:11:12', 'YYYY-MM-DD HH24:MI:SS'),"
                 " \"NOTE\" varchar2(5) default NULL)")),
          batch(q("DEFS"), {q("ID")}, {{num("1")}, {num("2")}}),
          batch(q("DEFS"), {q("ID"), q("QTY"), q("STATE")}, {{num("3"), num("9"), nul()}}),
          rows(q("DEFS"), {{num("1"), num("7"), txt(q("new")), num("-1.5"), dt(2020, 2, 29, 10, 11, 12), nul()},
                           {num("2"), num("7"), txt(q("new")), num("-1.5"), dt(2020, 2, 29, 10, 11, 12), nul()},
                           {num("3"), num("9"), nul(), num("-1.5"), dt(2020, 2, 29, 10, 11, 12), nul()}})}});
    cases.append({"ADefaultOfAnUnknownFunctionOrDateFormatIsRefused",
                  {"T"},
                  {exec(q("create table \"T\" (\"A\" date default to_date('2020-01-01', 'DD.MM.YYYY'))"),
                        q("ORA-01821: date format not recognized")),
                   exec(q("create table \"T\" (\"A\" number default nosuch('1'))"),
                        q("ORA-00904: \"NOSUCH\": invalid identifier"))}});
    cases.append(
        {"AnIdentityNumbersLeftOutRowsAndContinuesAfterTheLargestValueOnLimitValue",
         {"IDS"},
         {exec(q("create table \"IDS\" (\"ID\" number(10) generated by default as identity, \"NAME\" varchar2(10))")),
          describe(q("select * from \"IDS\" where 1=0"),
                   {col("ID", "NUMBER", 0, 10, 0, false), col("NAME", "VARCHAR2", 10)}),
          batch(q("IDS"), {q("NAME")}, {{txt(q("a"))}, {txt(q("b"))}}),
          batch(q("IDS"), {q("ID"), q("NAME")}, {{num("40"), txt(q("c"))}, {num("7"), txt(q("d"))}}),
          exec(q("alter table \"IDS\" modify (\"ID\" generated by default as identity (start with limit value))")),
          batch(q("IDS"), {q("NAME")}, {{txt(q("e"))}}),
          exec(q("ALTER TABLE IDS MODIFY ID GENERATED BY DEFAULT AS IDENTITY (START WITH 100)")),
          batch(q("IDS"), {q("NAME")}, {{txt(q("f"))}}),
          rejected(q("IDS"), {q("ID"), q("NAME")}, {{nul(), txt(q("g"))}}, 0,
                   q("ORA-01400: cannot insert NULL into (\"%OWNER%\".\"IDS\".\"ID\")")),
          rows(q("IDS"), {{num("1"), txt(q("a"))},
                          {num("2"), txt(q("b"))},
                          {num("40"), txt(q("c"))},
                          {num("7"), txt(q("d"))},
                          {num("41"), txt(q("e"))},
                          {num("100"), txt(q("f"))}})}});
    cases.append({"IdentityRulesOfTypeCountAndModify",
                  {"T"},
                  {exec(q("create table \"T\" (\"A\" varchar2(5) generated by default as identity)"),
                        q("ORA-30675: identity column must be a numeric type")),
                   exec(q("create table \"T\" (\"A\" number generated by default as identity,"
                          " \"B\" number generated by default as identity)"),
                        q("ORA-30669: table can only have one identity column")),
                   exec(q("create table \"T\" (\"A\" number generated by default as identity default 1)"),
                        q("ORA-30674: identity column cannot have a default value")),
                   exec(q("create table \"T\" (\"A\" number, \"B\" number generated by default as identity)")),
                   exec(q("alter table \"T\" modify (\"A\" generated by default as identity (start with limit value))"),
                        q("ORA-30673: column to be modified is not an identity column"))}});
    cases.append(
        {"AUniqueKeyRefusesEqualKeysButNotRowsWhoseKeyIsAllNull",
         {"U"},
         {exec(q("create table \"U\" (\"A\" number, \"B\" varchar2(5), \"C\" clob)")),
          exec(q("alter table \"U\" add constraint \"U_AB\" unique (\"A\",\"B\")")),
          batch(q("U"), {q("A"), q("B")}, {{num("1"), txt(q("x"))}, {nul(), nul()}, {nul(), nul()}, {num("1"), nul()}}),
          rejected(q("U"), {q("A"), q("B")}, {{num("2"), txt(q("y"))}, {num("1"), txt(q("x"))}}, 1,
                   q("ORA-00001: unique constraint (%OWNER%.U_AB) violated")),
          rejected(q("U"), {q("A"), q("B")}, {{num("1"), nul()}}, 0,
                   q("ORA-00001: unique constraint (%OWNER%.U_AB) violated")),
          exec(q("alter table \"U\" add constraint \"U_BA\" unique (\"B\",\"A\")"),
               q("ORA-02261: such unique or primary key already exists in the table")),
          exec(q("alter table \"U\" add constraint \"U_C\" unique (\"C\")"),
               q("ORA-02329: column of datatype LOB cannot be unique or a primary key")),
          exec(q("alter table \"U\" add constraint \"U_AB\" unique (\"B\")"),
               q("ORA-02264: name already used by an existing constraint")),
          rows(q("U"), {{num("1"), txt(q("x")), nul()}, {nul(), nul(), nul()}, {nul(), nul(), nul()},
                        {num("1"), nul(), nul()}})}});
    cases.append({"AUniqueKeyOverDuplicateRowsCannotBeValidated",
                  {"U"},
                  {exec(q("create table \"U\" (\"A\" number)")),
                   batch(q("U"), {q("A")}, {{num("5")}, {num("5")}}),
                   exec(q("alter table \"U\" add constraint \"U_A\" unique (\"A\")"),
                        q("ORA-02299: cannot validate (%OWNER%.U_A) - duplicate keys found"))}});
    cases.append(
        {"ACheckOfAnEnumsValuesRefusesOtherValuesAndPassesNull",
         {"CK"},
         {exec(q("create table \"CK\" (\"S\" varchar2(5))")),
          batch(q("CK"), {q("S")}, {{txt(q("a"))}, {nul()}}),
          exec(q("alter table \"CK\" add constraint \"CK_S\" check (\"S\" in ('a','it''s'))")),
          batch(q("CK"), {q("S")}, {{txt(q("it's"))}}),
          rejected(q("CK"), {q("S")}, {{txt(q("a"))}, {txt(q("b"))}}, 1,
                   q("ORA-02290: check constraint (%OWNER%.CK_S) violated")),
          exec(q("alter table \"CK\" add constraint \"CK_T\" check (\"S\" in ('a'))"),
               q("ORA-02293: cannot validate (%OWNER%.CK_T) - check constraint violated")),
          rows(q("CK"), {{txt(q("a"))}, {nul()}, {txt(q("it's"))}})}});
    cases.append(
        {"AForeignKeyNeedsItsParentRowUnlessAColumnIsNull",
         {"CHILD", "PARENT"},
         {exec(q("create table \"PARENT\" (\"ID\" number(10), \"CODE\" varchar2(5))")),
          exec(q("create table \"CHILD\" (\"ID\" number(10), \"PARENT_ID\" number(10))")),
          exec(q("alter table \"CHILD\" add constraint \"FK_NOKEY\" foreign key (\"PARENT_ID\") references \"PARENT\""),
               q("ORA-02268: referenced table does not have a primary key")),
          exec(q("alter table \"PARENT\" add constraint \"PK_PARENT\" primary key (\"ID\")")),
          batch(q("PARENT"), {q("ID")}, {{num("1")}, {num("2")}}),
          batch(q("CHILD"), {q("ID"), q("PARENT_ID")}, {{num("10"), num("1")}, {num("11"), num("3")}}),
          exec(q("alter table \"CHILD\" add constraint \"FK_CHILD\" foreign key (\"PARENT_ID\") references \"PARENT\""
                 " (\"ID\")"),
               q("ORA-02298: cannot validate (%OWNER%.FK_CHILD) - parent keys not found")),
          exec(q("alter table \"CHILD\" add constraint \"FK_CODE\" foreign key (\"PARENT_ID\") references \"PARENT\""
                 " (\"CODE\")"),
               q("ORA-02270: no matching unique or primary key for this column-list")),
          batch(q("PARENT"), {q("ID")}, {{num("3")}}),
          exec(q("alter table \"CHILD\" add constraint \"FK_CHILD\" foreign key (\"PARENT_ID\") references \"PARENT\"")),
          batch(q("CHILD"), {q("ID"), q("PARENT_ID")}, {{num("12"), num("2")}, {num("13"), nul()}}),
          rejected(q("CHILD"), {q("ID"), q("PARENT_ID")}, {{num("14"), num("9")}}, 0,
                   q("ORA-02291: integrity constraint (%OWNER%.FK_CHILD) violated - parent key not found")),
          exec(q("drop table \"PARENT\""), q("ORA-02449: unique/primary keys in table referenced by foreign keys")),
          exec(q("drop table \"PARENT\" cascade constraints")),
          batch(q("CHILD"), {q("ID"), q("PARENT_ID")}, {{num("15"), num("9")}}),
          rows(q("CHILD"), {{num("10"), num("1")}, {num("11"), num("3")}, {num("12"), num("2")}, {num("13"), nul()},
                            {num("15"), num("9")}})}});
    cases.append({"CommentsNeedAnExistingTableAndColumn",
                  {"CM"},
                  {exec(q("create table \"CM\" (\"A\" number)")),
                   exec(q("comment on table \"CM\" is 'Orders of ''today'''")),
                   exec(q("COMMENT ON COLUMN \"CM\".\"A\" IS 'the key'")),
                   exec(q("comment on column \"CM\".\"B\" is 'x'"), q("ORA-00904: \"B\": invalid identifier")),
                   exec(q("comment on table \"NONE\" is 'x'"), kNoTable)}});
    {
        // Geometries go in as WKB and SRID and come back in two parts
        // through SDO_UTIL.TO_WKBGEOMETRY and SDO_SRID; the table's own
        // select * is not asked for (a client reads an object only as one).
        const QByteArray point = QByteArray::fromHex("0101000000000000000000f03f0000000000000040");
        const QByteArray emptyCollection = QByteArray::fromHex("010700000000000000");
        QByteArray line = QByteArray::fromHex("0102000000f4010000");  // 500 points: 8009 bytes
        for (int i = 0; i < 500; ++i)
            line += QByteArray::fromHex("000000000000f03f0000000000000040");
        const QString read = q("select t.\"ID\", case when t.\"G\" is null then null else sdo_util.to_wkbgeometry(t.\"G\")"
                               " end, t.\"G\".sdo_srid from \"GEO\" t");
        cases.append(
            {"GeometriesKeepTheirWkbAndSridAndReadBackInTwoParts",
             {"GEO"},
             {exec(q("create table \"GEO\" (\"ID\" number, \"G\" SDO_GEOMETRY)")),
              describe(q("select * from \"GEO\" where 1=0"), {col("ID", "NUMBER"), col("G", "SDO_GEOMETRY")}),
              batch(q("GEO"), {q("ID"), q("G")},
                    {{num("1"), OracleValue::geometry(4326, point)},
                     {num("2"), nul()},
                     {num("3"), OracleValue::geometry(0, emptyCollection)},
                     {num("4"), OracleValue::geometry(3857, line)},
                     {num("5"), OracleValue::geometry(4326, point)}}),
              rejected(q("GEO"), {q("ID"), q("G")}, {{num("6"), txt(q("POINT(1 2)"))}}, 0,
                       q("ORA-00932: inconsistent datatypes: expected MDSYS.SDO_GEOMETRY got CHAR")),
              query(read, {},
                    {{num("1"), bin(point), num("4326")},
                     {num("2"), nul(), nul()},
                     {num("3"), bin(emptyCollection), nul()},
                     {num("4"), bin(line), num("3857")},
                     {num("5"), bin(point), num("4326")}}),
              exec(q("create index \"GEO_G\" on \"GEO\" (\"G\")"),
                   q("ORA-02327: cannot create index on expression with datatype ADT")),
              exec(q("alter table \"GEO\" add constraint \"GEO_PK\" primary key (\"G\")"),
                   q("ORA-02329: column of datatype ADT cannot be unique or a primary key"))}});
    }
    cases.append(
        {"AnOracleTextIndexTakesOneTextColumnAndOneIndexOfItsKindPerColumn",
         {"DOCS"},
         {exec(q("create table \"DOCS\" (\"ID\" number, \"T\" varchar2(100), \"B\" clob, \"N\" number)")),
          exec(q("create index \"DOCS_T\" on \"DOCS\" (\"T\") indextype is ctxsys.context")),
          exec(q("CREATE INDEX DOCS_B ON DOCS (B) INDEXTYPE IS CTXSYS.CONTEXT")),
          exec(q("create index \"DOCS_TB\" on \"DOCS\" (\"T\",\"B\") indextype is ctxsys.context"),
               q("ORA-29851: cannot build a domain index on more than one column")),
          exec(q("create index \"DOCS_T2\" on \"DOCS\" (\"T\") indextype is ctxsys.context"),
               q("ORA-29879: cannot create multiple domain indexes on a column list using same indextype")),
          exec(q("create index \"DOCS_N\" on \"DOCS\" (\"N\") indextype is ctxsys.context"),
               q("ORA-29855: error occurred in the execution of ODCIINDEXCREATE routine\n"
                 "ORA-20000: Oracle Text error:\nDRG-10509: invalid text column: N")),
          exec(q("create index \"DOCS_T\" on \"DOCS\" (\"ID\")"), kNameUsed),
          batch(q("DOCS"), {q("ID"), q("T"), q("B")}, {{num("1"), txt(q("searchable")), txt(q("text"))}})}});

    return cases;
}

QString withOwner(QString text, const QString &owner)
{
    return text.replace(QLatin1String("%OWNER%"), owner);
}

std::string s(const QString &q)
{
    return q.toStdString();
}

OracleRowBatch batchOf(const ConformanceStep &step, const QString &owner)
{
    QVector<OracleColumn> cols;
    for (const QString &c : step.columns) {
        OracleColumn oc;
        oc.name = c;
        cols.append(oc);
    }
    OracleRowBatch b(cols);
    for (const auto &row : step.rows) {
        const int r = b.appendRow();
        for (int c = 0; c < row.size(); ++c)
            b.at(r, c) = row[c];
    }
    QStringList statements;
    for (const QString &sql : step.beforeCommit)
        statements << withOwner(sql, owner);
    b.setStatementsBeforeCommit(statements);
    return b;
}

// The step's batch with its columns as the table describes them (a name the
// table lacks stays bare), converted by the session's preparer.
OracleRowBatch preparedBatchOf(OracleSession &session, const ConformanceStep &step, const QString &owner)
{
    QVector<OracleColumn> described;
    try {
        described = session.describe(describeStatement(step.table));
    } catch (const DatabaseError &) {
        return batchOf(step, owner);  // no such table: the insert says so
    }
    QVector<OracleColumn> cols;
    for (const QString &name : step.columns) {
        OracleColumn column;
        column.name = name;
        for (const OracleColumn &d : described)
            if (d.name == name)
                column = d;
        cols.append(column);
    }
    OracleRowBatch b(cols);
    for (const auto &row : step.rows) {
        const int r = b.appendRow();
        for (int c = 0; c < row.size(); ++c)
            b.at(r, c) = row[c];
    }
    b.setStatementsBeforeCommit(batchOf(step, owner).statementsBeforeCommit());
    if (std::unique_ptr<BatchPreparer> preparer = session.batchPreparer(step.table, cols))
        preparer->prepare(b);
    return b;
}

int oraNumber(const QString &message)
{
    return message.startsWith(QLatin1String("ORA-")) ? message.mid(4, 5).toInt() : 0;
}

} // namespace

const QVector<ConformanceCase> &conformanceCases()
{
    static const QVector<ConformanceCase> cases = buildCases();
    return cases;
}

std::string conformanceName(const ::testing::TestParamInfo<std::tuple<OracleTargetFactory, ConformanceCase>> &info)
{
    return std::get<0>(info.param).name + "_" + std::get<1>(info.param).name;
}

void PrintTo(const OracleTargetFactory &factory, std::ostream *os)
{
    *os << factory.name;
}

void PrintTo(const ConformanceCase &c, std::ostream *os)
{
    *os << c.name;
}

std::string describeValue(const OracleValue &v)
{
    switch (v.kind()) {
    case OracleValue::Kind::Null: return "NULL";
    case OracleValue::Kind::Number: return "number(" + s(v.textValue()) + ")";
    case OracleValue::Kind::Text: return "text('" + s(v.textValue()) + "')";
    case OracleValue::Kind::Date: {
        const OracleDate &d = v.dateValue();
        std::ostringstream o;
        o << "date(" << d.year << "-" << d.month << "-" << d.day << " " << d.hour << ":" << d.minute << ":"
          << d.second << ")";
        return o.str();
    }
    case OracleValue::Kind::Bytes: return "bytes(" + v.bytesValue().toHex().toStdString() + ")";
    case OracleValue::Kind::BinaryNumber: return "binary(" + s(v.textValue()) + ")";
    case OracleValue::Kind::Geometry:
        return "geometry(" + std::to_string(v.sridValue()) + ", " + v.wkbValue().toHex().toStdString() + ")";
    case OracleValue::Kind::Timestamp: {
        const OracleTimestamp t = v.timestampValue();
        std::ostringstream o;
        o << "timestamp(" << t.date.year << "-" << t.date.month << "-" << t.date.day << " " << t.date.hour << ":"
          << t.date.minute << ":" << t.date.second << "." << t.nanosecond << ")";
        return o.str();
    }
    case OracleValue::Kind::Interval: {
        const OracleInterval &i = v.intervalValue();
        std::ostringstream o;
        o << "interval(" << (i.negative ? "-" : "+") << i.days << " " << i.hours << ":" << i.minutes << ":"
          << i.seconds << "." << i.nanosecond << ")";
        return o.str();
    }
    }
    return "?";
}

std::string describeRows(const QVector<QVector<OracleValue>> &rows)
{
    std::string out;
    for (const auto &row : rows) {
        out += "[";
        for (int i = 0; i < row.size(); ++i)
            out += (i ? ", " : "") + describeValue(row[i]);
        out += "]\n";
    }
    return out;
}

std::string describeColumns(const QVector<OracleColumn> &columns)
{
    std::ostringstream o;
    for (const OracleColumn &c : columns)
        o << s(c.name) << " " << s(c.type) << " len=" << c.length << " p=" << c.precision << " s=" << c.scale
          << (c.nullable ? " null" : " not-null") << "\n";
    return o.str();
}

TEST_P(OracleConformance, Case)
{
    const OracleTargetFactory &factory = std::get<0>(GetParam());
    const ConformanceCase &cs = std::get<1>(GetParam());
    if (!factory.make)
        GTEST_SKIP() << factory.name << " is not configured here";
    for (const std::string &name : cs.notYetServedBy) {
        if (name == factory.name)
            GTEST_SKIP() << factory.name << " cannot serve this case yet: " << cs.notYetServedWhy;
    }
    std::unique_ptr<OracleTargetInstance> target = factory.make();
    if (!target)
        GTEST_SKIP() << factory.name << " is not configured here";
    std::unique_ptr<OracleSession> session = target->open();
    const QString owner = target->owner();
    auto dropAll = [&] {
        for (const QString &t : cs.tables) {
            try {
                session->execute(QStringLiteral("drop table \"") + t + QStringLiteral("\""));
            } catch (const DatabaseError &) {
            }
        }
    };
    dropAll();

    int stepNo = 0;
    for (const ConformanceStep &step : cs.steps) {
        ++stepNo;
        SCOPED_TRACE("step " + std::to_string(stepNo) + ": " + s(step.sql.isEmpty() ? step.table : step.sql));
        const QString error = withOwner(step.error, owner);
        try {
            switch (step.kind) {
            case Kind::Execute: session->execute(withOwner(step.sql, owner)); break;
            case Kind::Count: EXPECT_EQ(session->queryCount(withOwner(step.sql, owner)), step.count); break;
            case Kind::Describe: {
                const QVector<OracleColumn> got = session->describe(withOwner(step.sql, owner));
                EXPECT_TRUE(got == step.described) << "got:\n"
                                                    << describeColumns(got) << "expected:\n"
                                                    << describeColumns(step.described);
                break;
            }
            case Kind::Batch: {
                const OracleRowBatch b =
                    factory.prepareBatches ? preparedBatchOf(*session, step, owner) : batchOf(step, owner);
                const BatchResult res = session->insertBatch(step.table, b);
                if (step.rejectedRow < 0) {
                    EXPECT_TRUE(res.ok) << "rejected row " << res.rejectedRow << ": " << s(res.message);
                } else {
                    EXPECT_FALSE(res.ok);
                    EXPECT_EQ(res.rejectedRow, step.rejectedRow);
                    EXPECT_EQ(s(res.message), s(withOwner(step.message, owner)));
                }
                break;
            }
            case Kind::KeepingBatch: {
                const OracleRowBatch b =
                    factory.prepareBatches ? preparedBatchOf(*session, step, owner) : batchOf(step, owner);
                const BatchResult res = session->insertBatchKeepingAccepted(step.table, b);
                std::vector<std::pair<int, std::string>> got, expected;
                for (const RejectedRow &r : res.rejected)
                    got.emplace_back(r.row, s(r.message));
                for (const auto &r : step.rejections)
                    expected.emplace_back(r.first, s(withOwner(r.second, owner)));
                EXPECT_EQ(got, expected);
                EXPECT_EQ(res.ok, expected.empty());
                if (!expected.empty()) {
                    EXPECT_EQ(res.rejectedRow, expected.front().first);
                    EXPECT_EQ(s(res.message), expected.front().second);
                }
                break;
            }
            case Kind::Query: {
                std::unique_ptr<OracleRowReader> reader = session->query(withOwner(step.sql, owner));
                if (!step.described.isEmpty()) {
                    EXPECT_TRUE(reader->columns() == step.described) << "got:\n"
                                                                   << describeColumns(reader->columns())
                                                                   << "expected:\n"
                                                                   << describeColumns(step.described);
                }
                Rows got;
                while (reader->next()) {
                    QVector<OracleValue> row;
                    for (int c = 0; c < reader->columns().size(); ++c) {
                        // A reader that views its bytes must view what value() gives.
                        OracleRowReader::View view;
                        const bool viewed = reader->valueView(c, &view);
                        const QByteArray viewBytes = view.bytes.toByteArray();
                        row.append(reader->value(c));
                        if (viewed) {
                            EXPECT_EQ(int(view.kind), int(row.back().kind())) << "row " << got.size() << " column " << c;
                            EXPECT_TRUE(viewBytes == viewBytesOf(row.back()))
                                << "row " << got.size() << " column " << c << ": viewed \""
                                << viewBytes.left(60).toStdString() << "\"";
                        }
                    }
                    got.append(row);
                }
                EXPECT_FALSE(reader->next()) << "a reader past its end moved again";
                EXPECT_EQ(got.size(), step.rows.size());
                if (!(got == step.rows)) {
                    for (int r = 0; r < std::min(got.size(), step.rows.size()); ++r) {
                        if (!(got[r] == step.rows[r])) {
                            ADD_FAILURE() << "row " << r << " differs; got:\n"
                                          << describeRows({got[r]}).substr(0, 2000) << "expected:\n"
                                          << describeRows({step.rows[r]}).substr(0, 2000);
                            break;
                        }
                    }
                }
                break;
            }
            case Kind::Rows: {
                const auto got = target->readTable(step.table);
                if (got) {
                    EXPECT_TRUE(*got == step.rows) << "got:\n"
                                                   << describeRows(*got) << "expected:\n"
                                                   << describeRows(step.rows);
                }
                break;
            }
            }
            EXPECT_TRUE(error.isEmpty()) << "expected the error " << s(error);
        } catch (const DatabaseError &e) {
            if (error.isEmpty()) {
                ADD_FAILURE() << "unexpected error " << s(e.message());
            } else {
                EXPECT_EQ(s(e.message()), s(error));
                EXPECT_EQ(e.code(), oraNumber(error));
            }
        }
    }
    dropAll();
}

} // namespace tavrex::test
