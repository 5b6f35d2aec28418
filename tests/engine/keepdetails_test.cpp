// "Keep column details" end to end: a MariaDB schema with every type and
// attribute converted through ConversionRun into an embedded target, then
// read back from the target's dictionary and rows.

#include "connections/embedded/embeddedreader.h"
#include "connections/embedded/embeddedtarget.h"
#include "connections/verify.h"
#include "engine/conversionrun.h"
#include "tests/support/testenv.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace tavrex;
using namespace tavrex::test;

namespace {

// Rows of a query on the target file's dictionary, each as texts ("NULL"
// for null).
QVector<QStringList> dictionary(const QString &path, const QString &sql)
{
    sqlite3 *db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt *st = nullptr;
    QVector<QStringList> out;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << sqlite3_errmsg(db);
    } else {
        while (sqlite3_step(st) == SQLITE_ROW) {
            QStringList row;
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                const auto *t = reinterpret_cast<const char *>(sqlite3_column_text(st, c));
                row.append(t ? QString::fromUtf8(t) : QStringLiteral("NULL"));
            }
            out.append(row);
        }
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

OracleValue num(const char *text) { return OracleValue::number(QString::fromLatin1(text)); }
OracleValue txt(const QString &text) { return OracleValue::text(text); }
OracleValue bin(const char *hex) { return OracleValue::bytes(QByteArray::fromHex(hex)); }
OracleValue ieee(const char *text) { return OracleValue::binaryNumber(QString::fromLatin1(text)); }
OracleValue date(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return OracleValue::date(OracleDate{y, mo, d, h, mi, s});
}
OracleValue stamp(int y, int mo, int d, int h, int mi, int s, int ns)
{
    return OracleValue::timestamp(OracleTimestamp{OracleDate{y, mo, d, h, mi, s}, ns});
}
OracleValue span(bool negative, int d, int h, int mi, int s, int ns)
{
    return OracleValue::interval(OracleInterval{negative, d, h, mi, s, ns});
}
const OracleValue null;

} // namespace

namespace tavrex {
// Failures show values readably.
void PrintTo(const OracleValue &v, std::ostream *os)
{
    switch (v.kind()) {
    case OracleValue::Kind::Null: *os << "NULL"; return;
    case OracleValue::Kind::Number: *os << "number " << v.textValue().toStdString(); return;
    case OracleValue::Kind::BinaryNumber: *os << "ieee " << v.textValue().toStdString(); return;
    case OracleValue::Kind::Text: *os << "text '" << v.textValue().toStdString() << "'"; return;
    case OracleValue::Kind::Bytes: *os << "bytes " << v.bytesValue().toHex().toStdString(); return;
    case OracleValue::Kind::Geometry:
        *os << "geometry " << v.sridValue() << " " << v.wkbValue().toHex().toStdString();
        return;
    case OracleValue::Kind::Date:
    case OracleValue::Kind::Timestamp: {
        const OracleTimestamp t = v.timestampValue();
        *os << "date " << t.date.year << "-" << t.date.month << "-" << t.date.day << " " << t.date.hour << ":"
            << t.date.minute << ":" << t.date.second << "." << t.nanosecond;
        return;
    }
    case OracleValue::Kind::Interval: {
        const OracleInterval &i = v.intervalValue();
        *os << "interval " << (i.negative ? "-" : "+") << i.days << " " << i.hours << ":" << i.minutes << ":"
            << i.seconds << "." << i.nanosecond;
        return;
    }
    }
}
} // namespace tavrex

namespace {

// The source: parents and children loaded in both orders, a child whose
// rows break its foreign key, a key to a table left out of the run, and one
// table with every type.
const QStringList kSchema{
    "create table parent (id int unsigned not null auto_increment, code varchar(10) not null,"
    " label varchar(20) not null default 'none', kind enum('small','large') not null default 'small',"
    " created datetime not null default current_timestamp, primary key (id), unique key uq_code (code))"
    " engine=InnoDB comment 'the parents'",
    "insert into parent values (1, 'a', '', 'small', '2020-01-01 00:00:00'), (5, 'b', 'x', 'large',"
    " '2020-01-02 03:04:05'), (9, 'c', '', 'small', '2021-01-01 00:00:00')",
    "create table child (id int not null primary key, parent_id int unsigned, a int not null, b int not null,"
    " note varchar(30) comment 'a note', unique key uq_ab (a, b), key ix_note (note),"
    " constraint fk_child_parent foreign key (parent_id) references parent (id) on delete cascade) engine=InnoDB",
    "insert into child values (1, 1, 1, 1, 'one'), (2, 5, 1, 2, null), (3, null, 2, 1, 'three')",
    "set foreign_key_checks = 0",
    "create table orphan (id int not null primary key, parent_id int unsigned,"
    " constraint fk_orphan_parent foreign key (parent_id) references parent (id)) engine=InnoDB",
    "insert into orphan values (1, 9), (2, 42)",
    "set foreign_key_checks = 1",
    "create table unselected (id int not null primary key) engine=InnoDB",
    "create table outside (id int not null primary key, u_id int,"
    " constraint fk_outside foreign key (u_id) references unselected (id)) engine=InnoDB",
    "create table every_type (id bigint not null auto_increment primary key,"
    " ti tinyint, tu tinyint unsigned, si smallint, mi mediumint, mu mediumint unsigned, i int not null default 7,"
    " bu bigint unsigned, b1 bit(1), b9 bit(9) default b'101', d decimal(10,2) default 1.50, dw decimal(65,30),"
    " f float, db double default 1.5e10, y year, dt date default '2020-01-02',"
    " dtt datetime default current_timestamp, ts6 timestamp(6) null default '2021-03-04 05:06:07.123456',"
    " dt3 datetime(3), tm time, tm6 time(6) default '-10:00:01.5', c char(5) not null,"
    " cl char(255) character set latin1, v varchar(1000) character set utf8mb4 default 'it''s',"
    " vc varchar(1001) character set utf8mb4, tx text, bn binary(4) default 'ab', vb varbinary(2001),"
    " bl blob, e enum('x','y z') default 'x', st set('a','bb'), u varchar(40) default (uuid()))"
    " engine=InnoDB comment 'all of them'",
    "insert into every_type values (1, 127, 255, -32768, 8388607, 16777215, -2147483648,"
    " 18446744073709551615, b'1', b'111111111', 12345678.91,"
    " '12345678901234567890.123456789012345678901234567890', 0.1, 1e308, 2024, '2024-02-29',"
    " '2024-01-02 03:04:05', '2021-03-04 05:06:07.000001', '1999-12-31 23:59:59.999', '838:59:59',"
    " '-00:00:01.000001', 'ab', 'x', '王五', repeat('z', 1001), 'text', x'00010203', x'00ff', x'deadbeef',"
    " 'y z', 'a,bb', 'u1')",
    "insert into every_type values (100, -128, 0, 32767, -8388608, 0, 2147483647, 0, b'0', b'0', -0.01,"
    " -1, -2.5, -1e-300, 1901, '1000-01-01', '9999-12-31 23:59:59', '1970-01-01 00:00:01.999999',"
    " '2000-01-01 00:00:00.000', '-838:59:59', '00:00:00.5', 'abcde', '', '', '', '', x'ffffffff', x'', x'',"
    " 'x', '', 'u2')",
    "insert into every_type (id, c) values (2, 'n')",
};

class KeepDetails : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        database = QStringLiteral("tvx_keep_%1")
                       .arg(::testing::UnitTest::GetInstance()->current_test_info()->name())
                       .left(60)
                       .toLower();
        recreateDatabase(database);
        sandboxExec(kSchema, database);
        targetPath = dir.filePath("target.db");
        const MySqlSandbox &sb = mysqlSandbox();
        s.AccessMode = 1;
        s.Host = "127.0.0.1";
        s.Port = sb.port;
        s.MySqlUser = sb.user;
        s.MySqlPassword = sb.password;
        s.ConnectDatabase = database;
        s.SourceDatabase = database;
        s.OracleService = "embedded:" + targetPath;
        s.OracleUser = "scott";
        s.UppercaseNames = true;
        s.KeepDetails = true;
        db.mysqlconnect.params() = mysqlCatalogueProfile(s);
        db.mysqlconnect.connect();
        step3Click(db, s);
    }

    // Runs over the tables; returns the lines the run wrote before its summary.
    QStringList run(const QStringList &tables)
    {
        const int before = log.size();
        s.SelectedTables = tables;
        ConversionRun r(db, s, log, control);
        r.setClock([] { return QDateTime(QDate(2024, 1, 2), QTime(9, 15, 5)); });
        r.setLocale(QLocale::c());
        r.setLogFolder(dir.filePath("logs/"));
        QDir().mkpath(dir.filePath("logs"));
        EXPECT_EQ(r.run(), RunOutcome::Completed);
        report = r.report();
        QStringList lines = log.lines().mid(before + 1);
        const qsizetype summary = lines.indexOf(QRegularExpression("^(Problem in table |Summary: ).*"));
        return lines.mid(0, summary);
    }

    const TableResult &result(const QString &source) const
    {
        for (const TableResult &t : report.tables)
            if (t.source == source)
                return t;
        throw std::runtime_error("no result for " + source.toStdString());
    }

    QVector<QStringList> query(const QString &sql) { return dictionary(targetPath, sql); }

    QTemporaryDir dir;
    QString database;
    QString targetPath;
    TConversionSettings s;
    DatabaseObjects db;
    TRunLog log;
    RunControl control;
    RunReport report;
};

} // namespace

TEST_F(KeepDetails, ParentsAndChildrenKeepTheirKeysInEitherLoadOrder)
{
    const QStringList lines = run({"child", "parent", "orphan", "outside"});

    // The foreign keys come after every table, each a step of its own; the
    // orphan's rows break its key, which is that step's error.
    const qsizetype first = lines.indexOf("Create foreign key FK_CHILD_PARENT on CHILD...Done");
    ASSERT_GE(first, 0) << lines.join("\n").toStdString();
    EXPECT_EQ(lines.mid(first),
              (QStringList{"Create foreign key FK_CHILD_PARENT on CHILD...Done", "",
                           "Create foreign key FK_ORPHAN_PARENT on ORPHAN... ",
                           "ORA-02298: cannot validate (SCOTT.FK_ORPHAN_PARENT) - parent keys not found", "",
                           "Foreign key fk_outside of table OUTSIDE refers to table unselected, which is not in "
                           "this conversion: it is left out",
                           ""}));
    EXPECT_TRUE(lines.contains("Column LABEL of table PARENT holds 2 empty values, which Oracle stores as NULL: "
                               "it is created without NOT NULL"));
    EXPECT_EQ(result("orphan").errors,
              QStringList{"ORA-02298: cannot validate (SCOTT.FK_ORPHAN_PARENT) - parent keys not found"});
    EXPECT_TRUE(result("child").errors.isEmpty()) << result("child").errors.join("\n").toStdString();
    EXPECT_TRUE(result("parent").errors.isEmpty()) << result("parent").errors.join("\n").toStdString();
    EXPECT_EQ(report.outcome, RunResultOutcome::CompletedWithErrors);

    EXPECT_EQ(query("select column_name, data_type, nullable, coalesce(data_default, '<none>'), identity_column"
                    " from tavrex_tab_columns where table_name = 'PARENT' order by column_id"),
              (QVector<QStringList>{{"ID", "NUMBER", "N", "\"SCOTT\".\"ISEQ$$_10001\".nextval", "YES"},
                                    {"CODE", "VARCHAR2", "N", "<none>", "NO"},
                                    {"LABEL", "VARCHAR2", "Y", "'none'", "NO"},
                                    {"KIND", "VARCHAR2", "N", "'small'", "NO"},
                                    {"CREATED", "DATE", "N", "SYSDATE", "NO"}}));
    EXPECT_EQ(query("select table_name, constraint_name, constraint_type, coalesce(r_constraint_name, ''),"
                    " coalesce(search_condition, ''), coalesce(delete_rule, '') from tavrex_constraints"
                    " where (constraint_type <> 'C' or table_name = 'PARENT') and table_name not like 'TAVREX%'"
                    " order by table_name, constraint_name"),
              (QVector<QStringList>{
                  {"CHILD", "FK_CHILD_PARENT", "R", "PRIMARYPARENT1", "", "CASCADE"},
                  {"CHILD", "IDX_UQ_ABCHILD", "U", "", "", ""},
                  {"CHILD", "PRIMARYCHILD1", "P", "", "", ""},
                  {"ORPHAN", "PRIMARYORPHAN1", "P", "", "", ""},
                  {"OUTSIDE", "PRIMARYOUTSIDE1", "P", "", "", ""},
                  {"PARENT", "IDX_UQ_CODEPARENT", "U", "", "", ""},
                  {"PARENT", "PRIMARYPARENT1", "P", "", "", ""},
                  {"PARENT", "SYS_C0010002", "C", "", "\"KIND\" in ('small','large')", ""}}));
    EXPECT_EQ(query("select index_name, uniqueness from tavrex_indexes where table_name = 'CHILD'"
                    " order by index_name"),
              (QVector<QStringList>{{"IDX_FK_CHILD_PARENTCHILD", "NONUNIQUE"},  // MySQL's index of the key
                                    {"IDX_IX_NOTECHILD", "NONUNIQUE"},
                                    {"IDX_UQ_ABCHILD", "UNIQUE"},
                                    {"PRIMARYCHILD1", "UNIQUE"}}));
    EXPECT_EQ(query("select table_name, comments from tavrex_tab_comments"),
              (QVector<QStringList>{{"PARENT", "the parents"}}));
    EXPECT_EQ(query("select table_name, column_name, comments from tavrex_col_comments"),
              (QVector<QStringList>{{"CHILD", "NOTE", "a note"}}));
    // The identity continues after the largest id, not after the row count.
    EXPECT_EQ(query("select table_name, next_value from tavrex_tab_identity_cols"),
              (QVector<QStringList>{{"PARENT", "10"}}));

    EXPECT_EQ(readEmbeddedTable(targetPath, "SCOTT", "PARENT"),
              (QVector<QVector<OracleValue>>{{num("1"), txt("a"), null, txt("small"), date(2020, 1, 1)},
                                             {num("5"), txt("b"), txt("x"), txt("large"), date(2020, 1, 2, 3, 4, 5)},
                                             {num("9"), txt("c"), null, txt("small"), date(2021, 1, 1)}}));

    // Converting again over the same target: the parent others refer to is
    // dropped with its foreign keys and everything is built anew.
    const QStringList again = run({"child", "parent", "orphan", "outside"});
    EXPECT_TRUE(again.contains("Drop table PARENT...Done")) << again.join("\n").toStdString();
    EXPECT_TRUE(again.contains("Create foreign key FK_CHILD_PARENT on CHILD...Done"))
        << again.join("\n").toStdString();
    EXPECT_EQ(result("parent").errors, QStringList());
}

TEST_F(KeepDetails, EveryTypeKeepsItsSizeDefaultAndValue)
{
    const QStringList lines = run({"every_type"});
    EXPECT_EQ(lines.first(), "Create table EVERY_TYPE...Done");
    EXPECT_TRUE(lines.contains("Column U of table EVERY_TYPE: its default uuid() is an expression, which is not "
                               "kept"))
        << lines.join("\n").toStdString();
    EXPECT_TRUE(lines.contains("Insert table EVERY_TYPE 3 Rows ...Done")) << lines.join("\n").toStdString();

    struct Column {
        const char *name;
        const char *type;
        int length, precision, scale;
        bool nullable;
        const char *defaultText;
    } expected[] = {
        {"ID", "NUMBER", 0, 19, 0, false, "\"SCOTT\".\"ISEQ$$_10001\".nextval"},
        {"TI", "NUMBER", 0, 3, 0, true, nullptr},
        {"TU", "NUMBER", 0, 3, 0, true, nullptr},
        {"SI", "NUMBER", 0, 5, 0, true, nullptr},
        {"MI", "NUMBER", 0, 7, 0, true, nullptr},
        {"MU", "NUMBER", 0, 8, 0, true, nullptr},
        {"I", "NUMBER", 0, 10, 0, false, "7"},
        {"BU", "NUMBER", 0, 20, 0, true, nullptr},
        {"B1", "NUMBER", 0, 1, 0, true, nullptr},
        {"B9", "NUMBER", 0, 3, 0, true, "5"},
        {"D", "NUMBER", 0, 10, 2, true, "1.50"},
        {"DW", "NUMBER", 0, 0, 0, true, nullptr},
        {"F", "BINARY_FLOAT", 0, 0, 0, true, nullptr},
        {"DB", "BINARY_DOUBLE", 0, 0, 0, true, "TO_BINARY_DOUBLE('15000000000')"},
        {"Y", "NUMBER", 0, 4, 0, true, nullptr},
        {"DT", "DATE", 0, 0, 0, true, "TO_DATE('2020-01-02 00:00:00','YYYY-MM-DD HH24:MI:SS')"},
        {"DTT", "DATE", 0, 0, 0, true, "SYSDATE"},
        {"TS6", "TIMESTAMP", 0, 0, 6, true,
         "TO_TIMESTAMP('2021-03-04 05:06:07.123456000','YYYY-MM-DD HH24:MI:SS.FF9')"},
        {"DT3", "TIMESTAMP", 0, 0, 3, true, nullptr},
        {"TM", "INTERVAL DAY TO SECOND", 0, 2, 0, true, nullptr},
        {"TM6", "INTERVAL DAY TO SECOND", 0, 2, 6, true, "TO_DSINTERVAL('-0 10:00:01.500000000')"},
        {"C", "CHAR", 5, 0, 0, false, nullptr},
        {"CL", "CHAR", 255, 0, 0, true, nullptr},
        {"V", "VARCHAR2", 1000, 0, 0, true, "'it''s'"},
        {"VC", "CLOB", 0, 0, 0, true, nullptr},
        {"TX", "CLOB", 0, 0, 0, true, nullptr},
        {"BN", "RAW", 4, 0, 0, true, "HEXTORAW('61620000')"},
        {"VB", "BLOB", 0, 0, 0, true, nullptr},
        {"BL", "BLOB", 0, 0, 0, true, nullptr},
        {"E", "VARCHAR2", 3, 0, 0, true, "'x'"},
        {"ST", "VARCHAR2", 4, 0, 0, true, nullptr},
        {"U", "VARCHAR2", 40, 0, 0, true, nullptr},
    };
    const QVector<OracleColumn> columns = describeEmbeddedTable(targetPath, "SCOTT", "EVERY_TYPE");
    const QVector<QStringList> defaults =
        query("select column_name, coalesce(data_default, '<none>') from tavrex_tab_columns"
              " where table_name = 'EVERY_TYPE' order by column_id");
    ASSERT_EQ(columns.size(), int(std::size(expected)));
    ASSERT_EQ(defaults.size(), int(std::size(expected)));
    for (int i = 0; i < columns.size(); ++i) {
        const Column &e = expected[i];
        SCOPED_TRACE(e.name);
        EXPECT_EQ(columns[i], (OracleColumn{e.name, e.type, e.length, e.precision, e.scale, e.nullable}));
        EXPECT_EQ(defaults[i].at(1), e.defaultText ? QString::fromUtf8(e.defaultText) : QStringLiteral("<none>"));
    }
    EXPECT_EQ(query("select search_condition from tavrex_constraints where constraint_type = 'C'"),
              QVector<QStringList>{{"\"E\" in ('x','y z')"}});
    EXPECT_EQ(query("select comments from tavrex_tab_comments"), QVector<QStringList>{{"all of them"}});
    EXPECT_EQ(query("select next_value from tavrex_tab_identity_cols"), QVector<QStringList>{{"101"}});

    const QString z1001 = QString(1001, QLatin1Char('z'));
    const QVector<QVector<OracleValue>> rows = readEmbeddedTable(targetPath, "SCOTT", "EVERY_TYPE");
    const QVector<QVector<OracleValue>> expectedRows{
        {num("1"), num("127"), num("255"), num("-32768"), num("8388607"), num("16777215"), num("-2147483648"),
         num("18446744073709551615"), num("1"), num("511"), num("12345678.91"),
         num("12345678901234567890.123456789012345679"), ieee("0.1"), ieee("1e+308"), num("2024"),
         date(2024, 2, 29), date(2024, 1, 2, 3, 4, 5), stamp(2021, 3, 4, 5, 6, 7, 1000),
         stamp(1999, 12, 31, 23, 59, 59, 999000000), span(false, 34, 22, 59, 59, 0), span(true, 0, 0, 0, 1, 1000),
         txt("ab   "), txt("x" + QString(254, QLatin1Char(' '))), txt("王五"), txt(z1001), txt("text"),
         bin("00010203"), bin("00ff"), bin("deadbeef"), txt("y z"), txt("a,bb"), txt("u1")},
        {num("2"), null, null, null, null, null, num("7"), null, null, num("5"), num("1.5"), null, null,
         ieee("1.5e+10"), null, date(2020, 1, 2), OracleValue(), stamp(2021, 3, 4, 5, 6, 7, 123456000), null,
         null, span(true, 0, 10, 0, 1, 500000000), txt("n    "), null, txt("it's"), null, null,
         bin("61620000"), null, null, txt("x"), null, OracleValue()},
        {num("100"), num("-128"), num("0"), num("32767"), num("-8388608"), num("0"), num("2147483647"), num("0"),
         num("0"), num("0"), num("-0.01"), num("-1"), ieee("-2.5"), ieee("-1e-300"), num("1901"),
         date(1000, 1, 1), date(9999, 12, 31, 23, 59, 59), stamp(1970, 1, 1, 0, 0, 1, 999999000),
         stamp(2000, 1, 1, 0, 0, 0, 0), span(true, 34, 22, 59, 59, 0), span(false, 0, 0, 0, 0, 500000000),
         txt("abcde"), null, null, null, null, bin("ffffffff"), null, null, txt("x"), null, txt("u2")},
    };
    ASSERT_EQ(rows.size(), expectedRows.size());
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < rows[r].size(); ++c) {
            SCOPED_TRACE(QStringLiteral("row %1 column %2").arg(r).arg(expected[c].name).toStdString());
            if (r == 1 && (c == 16 || c == 31))
                continue;  // the server's clock and a fresh uuid(): not compared
            EXPECT_EQ(rows[r][c], expectedRows[r][c]);
        }
    }
}

// Bit values are written as the numbers their bits make; the verification
// reads the source's bits as the same numbers.
TEST_F(KeepDetails, BitColumnsAreVerifiedAsTheNumbersTheCopyWrote)
{
    sandboxExec({"create table bits (id int not null primary key, b1 bit(1), b5 bit(5), b64 bit(64))",
                 "insert into bits values (1, b'1', b'10101', x'8000000000000001'),"
                 " (2, b'0', b'00000', x'ffffffffffffffff'), (3, b'1', null, null)"},
                database);
    s.Verify = true;
    const QStringList lines = run({"bits"});
    EXPECT_TRUE(lines.contains("Verify table BITS: 3 rows equal")) << lines.join("\n").toStdString();
    EXPECT_EQ(verificationText(result("bits").verified), "equal");
    EXPECT_EQ(readEmbeddedTable(targetPath, "SCOTT", "BITS"),
              (QVector<QVector<OracleValue>>{{num("1"), num("1"), num("21"), num("9223372036854775809")},
                                             {num("2"), num("0"), num("0"), num("18446744073709551615")},
                                             {num("3"), num("1"), null, null}}));

    // A value changed behind the run's back is still found, also in the
    // last digit of a 20-digit number.
    sqlite3 *file = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(targetPath).constData(), &file), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(file,
                           "update \"SCOTT.BITS\" set \"B5\" = '20' where \"ID\" = '1';"
                           "update \"SCOTT.BITS\" set \"B64\" = '18446744073709551614' where \"ID\" = '2'",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(file);
    MySqlConnection data;
    data.params() = sandboxParams(database);
    data.connect();
    OracleLogin login;
    login.user = "scott";
    const std::unique_ptr<OracleSession> oracle = openEmbeddedSession(targetPath, login);
    const VerifyResult v = verifyTable(data, *oracle, "bits", "BITS", {"id"}, control);
    EXPECT_EQ(v.differingRows(), 2);
    EXPECT_EQ(v.differingKeys, (QStringList{"1", "2"}));

    // Without the details the bit columns have no Oracle type: the table is
    // not made, and nothing is said equal or different.
    s.KeepDetails = false;
    const QStringList plain = run({"bits"});
    EXPECT_TRUE(plain.contains("ORA-00902: invalid datatype")) << plain.join("\n").toStdString();
    EXPECT_TRUE(plain.contains("Verify table BITS: not verified: the copy did not complete"))
        << plain.join("\n").toStdString();
    EXPECT_EQ(verificationText(result("bits").verified), "not verified");
}

namespace {

// The geometry of one value as MySQL itself reports it (ST_SRID and
// ST_AsBinary), independent of the copy's reading of the stored form.
QVector<QVector<OracleValue>> mysqlGeometries(const QString &database, const QString &table,
                                              const QStringList &columns)
{
    QStringList items{QStringLiteral("id")};
    for (const QString &c : columns)
        items << QStringLiteral("st_srid(%1), hex(st_asbinary(%1))").arg(c);
    MySqlConnection my;
    my.params() = sandboxParams(database);
    my.connect();
    const auto result = my.query(QStringLiteral("select %1 from %2 order by id").arg(items.join(", "), table));
    QVector<QVector<OracleValue>> rows;
    while (result->next()) {
        QVector<OracleValue> row{OracleValue::number(result->text(0))};
        for (int c = 0; c < columns.size(); ++c) {
            const int at = 1 + 2 * c;
            row.append(result->isNull(at + 1) ? OracleValue()
                                              : OracleValue::geometry(result->text(at).toUInt(),
                                                                      QByteArray::fromHex(result->text(at + 1).toLatin1())));
        }
        rows.append(row);
    }
    return rows;
}

} // namespace

TEST_F(KeepDetails, GeometryOfEveryKindArrivesWithItsWkbAndSridAndVerifiesEqual)
{
    const struct Kind {
        const char *column;
        const char *type;
        const char *wkt;  // of row 1; row 2 is NULL (but pt), row 3 as given below
        int srid;
    } kinds[] = {
        {"g", "geometry", "POLYGON((0 0,10 0,10 10,0 10,0 0),(2 2,3 2,3 3,2 2))", 3857},
        {"pt", "point not null", "POINT(-71.0603 42.3583)", 4326},
        {"ls", "linestring", "LINESTRING(0 0,1 1,2 0.5)", 4326},
        {"pg", "polygon", "POLYGON((1 1,4 1,4 4,1 1))", 27700},
        {"mpt", "multipoint", "MULTIPOINT(1 1,2 2)", 4326},
        {"mls", "multilinestring", "MULTILINESTRING((0 0,1 1),(2 2,3 3))", 4326},
        {"mpg", "multipolygon", "MULTIPOLYGON(((0 0,1 0,1 1,0 0)),((5 5,6 5,6 6,5 5)))", 2154},
        {"gc", "geometrycollection", "GEOMETRYCOLLECTION(POINT(1 2),LINESTRING(0 0,3 4))", 4326},
    };
    QStringList definitions{"id int primary key"}, columns, row1{"1"}, row2{"2"};
    for (const Kind &k : kinds) {
        definitions << QStringLiteral("%1 %2").arg(k.column, k.type);
        columns << k.column;
        row1 << QStringLiteral("st_geomfromtext('%1', %2)").arg(k.wkt).arg(k.srid);
        row2 << (QLatin1String(k.column) == QLatin1String("pt") ? "point(0, 0)" : "null");
    }
    // Row 3: an empty collection, and geometries without an SRID (0).
    const QString row3 = "3, st_geomfromtext('POINT(5 5)'), point(1.5, -2.25), null, null, null, null, null, "
                         "st_geomfromtext('GEOMETRYCOLLECTION EMPTY', 4326)";
    sandboxExec({QStringLiteral("create table places (%1, spatial index sp_pt (pt))").arg(definitions.join(", ")),
                 QStringLiteral("insert into places values (%1), (%2), (%3)")
                     .arg(row1.join(", "), row2.join(", "), row3)},
                database);
    s.Verify = true;
    const QStringList lines = run({"places"});

    EXPECT_EQ(lines.first(), "Create table PLACES...Done");
    EXPECT_TRUE(lines.contains("Spatial index sp_pt of table PLACES is left out: Oracle's spatial index needs the "
                               "extent of the layer registered first, which MySQL does not keep"))
        << lines.join("\n").toStdString();
    EXPECT_TRUE(lines.contains("Verify table PLACES: 3 rows equal")) << lines.join("\n").toStdString();
    EXPECT_TRUE(result("places").errors.isEmpty()) << result("places").errors.join("\n").toStdString();

    QVector<QStringList> types{{"ID", "NUMBER"}};
    for (const QString &c : columns)
        types.append({c.toUpper(), "SDO_GEOMETRY"});
    EXPECT_EQ(query("select column_name, data_type from tavrex_tab_columns where table_name = 'PLACES'"
                    " order by column_id"),
              types);
    const QVector<QVector<OracleValue>> expected = mysqlGeometries(database, "places", columns);
    ASSERT_EQ(expected.size(), 3);
    EXPECT_EQ(expected[2].last(), OracleValue::geometry(4326, QByteArray::fromHex("010700000000000000")));
    EXPECT_EQ(expected[2][1].sridValue(), 0u);
    const QVector<QVector<OracleValue>> rows = readEmbeddedTable(targetPath, "SCOTT", "PLACES");
    ASSERT_EQ(rows.size(), expected.size());
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < columns.size(); ++c) {
            SCOPED_TRACE(QStringLiteral("row %1 column %2").arg(r + 1).arg(columns[c]).toStdString());
            EXPECT_EQ(rows[r][c + 1], expected[r][c + 1]);
        }
    }
}

TEST_F(KeepDetails, FulltextIndexesBecomeOracleTextIndexesOfOneColumnEach)
{
    sandboxExec({"create table articles (id int primary key, title varchar(200), body text, note varchar(100),"
                 " fulltext ft_title (title), fulltext ft_text (body, note)) engine=InnoDB",
                 "insert into articles values (1, 'Spatial data', 'Points and polygons', 'n'), (2, null, null, null)"},
                database);
    const QStringList lines = run({"articles"});
    EXPECT_TRUE(lines.contains("FULLTEXT index ft_text of table ARTICLES covers 2 columns and becomes one Oracle Text "
                               "index per column: IDX_FT_TEXTARTICLES (BODY), IDX_FT_TEXTARTICLES_2 (NOTE)"))
        << lines.join("\n").toStdString();
    EXPECT_TRUE(result("articles").errors.isEmpty()) << result("articles").errors.join("\n").toStdString();
    EXPECT_EQ(query("select i.index_name, i.index_type, coalesce(i.ityp_owner, '-'), coalesce(i.ityp_name, '-'),"
                    " group_concat(c.column_name) from tavrex_indexes i join tavrex_ind_columns c"
                    " on c.owner = i.owner and c.index_name = i.index_name where i.table_name = 'ARTICLES'"
                    " group by i.index_name order by i.index_name"),
              (QVector<QStringList>{{"IDX_FT_TEXTARTICLES", "DOMAIN", "CTXSYS", "CONTEXT", "BODY"},
                                    {"IDX_FT_TEXTARTICLES_2", "DOMAIN", "CTXSYS", "CONTEXT", "NOTE"},
                                    {"IDX_FT_TITLEARTICLES", "DOMAIN", "CTXSYS", "CONTEXT", "TITLE"},
                                    {"PRIMARYARTICLES1", "NORMAL", "-", "-", "ID"}}));
    QVector<EmbeddedIndex> listed = listEmbeddedIndexes(targetPath, "SCOTT");
    listed.removeIf([](const EmbeddedIndex &i) { return i.table.startsWith("TAVREX_"); });  // the record's keys
    ASSERT_EQ(listed.size(), 4);
    EXPECT_EQ(listed[1].type, "DOMAIN");
    EXPECT_EQ(listed[1].itypOwner + "." + listed[1].itypName, "CTXSYS.CONTEXT");
}
