// The table and key steps against the throwaway MariaDB and the embedded
// Oracle target: real listings in, real DDL executed.
#include "schema/keys.h"
#include "schema/tabledefinition.h"

#include "connections/mysql/mysqlclient.h"
#include "connections/oracle/oraclesession.h"
#include "engine/core/errors.h"
#include "engine/catalogue.h"
#include "engine/core/identifiers.h"
#include "tests/support/qtprinters.h"
#include "tests/support/testenv.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace tavrex {
namespace {

const QString database = QStringLiteral("tavrex_schema_test");
const QString owner = QStringLiteral("scott");

class SchemaSteps : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::recreateDatabase(database);
        catalogue_.params() = test::sandboxParams(database);
        catalogue_.connect();
        data_.params() = test::sandboxParams(database, true);
        data_.connect();
        ASSERT_TRUE(dir_.isValid());
        // oracleconn and the connection of oracledata: two sessions on one target.
        OracleLogin login;
        login.service = QStringLiteral("embedded:") + dir_.filePath(QStringLiteral("target.db"));
        login.user = owner;
        login.password = QStringLiteral("tiger");
        oracleconn_ = openOracleSession(login);
        oracledata_ = openOracleSession(login);
    }

    void mysql(const QStringList &statements) { test::sandboxExec(statements, database); }

    // The table step and the key step of the run for one listed table.
    struct Converted {
        QString target;
        TStepResult table;
        TStepResult keys;
        QString statement;
    };
    Converted convert(const QString &listed, bool uppercase)
    {
        Converted c;
        const QString shaped = ShapeName(listed, uppercase);
        c.target = ShortenTableName(*oracleconn_, shaped, owner);
        c.table = CreateTable(catalogue_, *oracleconn_, listed, c.target, uppercase, &c.statement);
        c.keys = CreateKeysAndIndexes(data_, *oracledata_, listed, shaped, c.target, uppercase, log_);
        return c;
    }

    // "NUMBER", "VARCHAR2(40)", ... for each column of the target table.
    QStringList describeTarget(const QString &target)
    {
        QStringList columns;
        for (const OracleColumn &c :
             oracleconn_->describe(QStringLiteral("select * from ") + quoteOracleName(target) +
                                   QStringLiteral(" where 1=0"))) {
            QString type = c.type;
            if (c.type == QLatin1String("VARCHAR2"))
                type += QStringLiteral("(%1)").arg(c.length);
            if (!c.nullable)
                type += QStringLiteral(" NOT NULL");
            columns.append(c.name + QLatin1Char(' ') + type);
        }
        return columns;
    }

    bool exists(const QString &target) { return TableExists(*oracleconn_, target, owner); }

    MySqlConnection catalogue_;
    MySqlConnection data_;
    QTemporaryDir dir_;
    std::unique_ptr<OracleSession> oracleconn_;
    std::unique_ptr<OracleSession> oracledata_;
    TRunLog log_;
};

// Every MySQL column type, each in a table of its own: created with its
// mapped type, or refused by the target as a whole table.
TEST_F(SchemaSteps, EveryMySqlColumnTypeIsCreatedWithItsMappedTypeOrRefused)
{
    const struct {
        const char *mysqlType;
        const char *created;  // the described target column, or nullptr: refused
        const char *error;    // the start of the target's message when refused
    } cases[] = {
        {"tinyint", "NUMBER", nullptr},
        {"tinyint(1)", "NUMBER", nullptr},
        {"smallint unsigned", "NUMBER", nullptr},
        {"mediumint", "NUMBER", nullptr},
        {"int", "NUMBER", nullptr},
        {"int not null default 5", "NUMBER", nullptr},  // nullable, no default
        {"int(10) unsigned zerofill", "NUMBER", nullptr},
        {"bigint", "NUMBER", nullptr},
        {"decimal(10,2)", "NUMBER", nullptr},
        {"float", "NUMBER", nullptr},
        {"double", "NUMBER", nullptr},
        {"year", "NUMBER", nullptr},
        {"date", "DATE", nullptr},
        {"datetime", "DATE", nullptr},
        {"timestamp null", "DATE", nullptr},
        {"time", "DATE", nullptr},
        {"char(36)", "VARCHAR2(36)", nullptr},
        {"varchar(255)", "VARCHAR2(255)", nullptr},
        {"varchar(4000)", "VARCHAR2(4000)", nullptr},
        {"varchar(4001)", "BLOB", nullptr},
        {"enum('a','bc')", "VARCHAR2(8)", nullptr},
        {"set('a','bc')", "VARCHAR2(8)", nullptr},
        {"tinytext", "BLOB", nullptr},
        {"text", "BLOB", nullptr},
        {"mediumtext", "BLOB", nullptr},
        {"longtext", "BLOB", nullptr},
        {"json", "BLOB", nullptr},  // a longtext to MariaDB
        {"tinyblob", "BLOB", nullptr},
        {"blob", "BLOB", nullptr},
        {"mediumblob", "BLOB", nullptr},
        {"longblob", "BLOB", nullptr},
        {"char(0)", nullptr, "ORA-01723"},
        {"bit(1)", nullptr, "ORA-"},
        {"bit(8)", nullptr, "ORA-"},
        {"binary(4)", nullptr, "ORA-"},
        {"varbinary(10)", nullptr, "ORA-"},
        {"datetime(6)", nullptr, "ORA-"},
        {"time(3)", nullptr, "ORA-"},
        {"geometry", nullptr, "ORA-"},
        {"point", nullptr, "ORA-"},
        {"uuid", nullptr, "ORA-"},
        {"inet6", nullptr, "ORA-"},
    };
    QStringList ddl;
    for (size_t i = 0; i < std::size(cases); ++i)
        ddl << QStringLiteral("create table t%1 (c %2)").arg(i).arg(QLatin1String(cases[i].mysqlType));
    mysql(ddl);

    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto &c = cases[i];
        SCOPED_TRACE(c.mysqlType);
        const Converted t = convert(QStringLiteral("t%1").arg(i), true);
        if (c.created) {
            EXPECT_TRUE(t.table.Ok) << t.table.ErrorText.toStdString() << "\n" << t.statement.toStdString();
            EXPECT_EQ(describeTarget(t.target), QStringList{QStringLiteral("C ") + QLatin1String(c.created)});
        } else {
            EXPECT_FALSE(t.table.Ok) << t.statement.toStdString();
            EXPECT_TRUE(t.table.ErrorText.startsWith(QLatin1String(c.error))) << t.table.ErrorText.toStdString();
            EXPECT_FALSE(exists(t.target));
        }
        // No keys: nothing executed, nothing logged.
        EXPECT_TRUE(t.keys.Ok);
    }
    EXPECT_EQ(log_.size(), 0) << log_.lines().join('\n').toStdString();
}

// Tables whose names are lower case, mixed case, a reserved word, hold a
// blank or a single quote, or are too long, and a key over a column name
// longer than 30 characters: created with their keys in both cases.
class SchemaNames : public SchemaSteps, public ::testing::WithParamInterface<bool> {};

TEST_P(SchemaNames, TablesAndKeysAreCreatedWhateverTheCaseOption)
{
    const bool uppercase = GetParam();
    mysql({"create table orders (id int, line int, customer varchar(40), note text, primary key (id, line), "
           "key cust (customer))",
           "create table OrderItems (Id int primary key, OrderId int, unique key ByOrder (OrderId, Id))",
           "create table `select` (`from` int primary key, `my col` varchar(40), key `by name` (`my col`(5)))",
           "create table `my table` (id int primary key, a_column_name_of_thirty_five_chars int, "
           "key long_col (a_column_name_of_thirty_five_chars))",
           "create table `o'brien` (id int primary key, name varchar(20), key nm (name))",
           "create table customer_addresses_grouped_by_region (id int primary key, city varchar(30), "
           "key city (city))"});
    const struct {
        const char *listed;
        const char *target;  // with the option on / off
        const char *targetKept;
        QStringList columns;
        QStringList columnsKept;
        int keys;
    } cases[] = {
        {"orders", "ORDERS", "orders",
         {"ID NUMBER NOT NULL", "LINE NUMBER NOT NULL", "CUSTOMER VARCHAR2(40)", "NOTE BLOB"},
         {"id NUMBER NOT NULL", "line NUMBER NOT NULL", "customer VARCHAR2(40)", "note BLOB"}, 2},
        {"OrderItems", "ORDERITEMS", "OrderItems", {"ID NUMBER NOT NULL", "ORDERID NUMBER"},
         {"Id NUMBER NOT NULL", "OrderId NUMBER"}, 2},
        {"select", "SELECT", "select", {"FROM NUMBER NOT NULL", "MY COL VARCHAR2(40)"},
         {"from NUMBER NOT NULL", "my col VARCHAR2(40)"}, 2},
        {"my table", "MY TABLE", "my table", {"ID NUMBER NOT NULL", "A_COLUMN_NAME_OF_THIRTY_FIVE_C NUMBER"},
         {"id NUMBER NOT NULL", "a_column_name_of_thirty_five_c NUMBER"}, 2},
        {"o'brien", "O'BRIEN", "o'brien", {"ID NUMBER NOT NULL", "NAME VARCHAR2(20)"},
         {"id NUMBER NOT NULL", "name VARCHAR2(20)"}, 2},
        {"customer_addresses_grouped_by_region", "CUSTOMER_ADDRESSES_GROUPED0000", "customer_addresses_grouped0000",
         {"ID NUMBER NOT NULL", "CITY VARCHAR2(30)"}, {"id NUMBER NOT NULL", "city VARCHAR2(30)"}, 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.listed);
        const Converted t = convert(QString::fromUtf8(c.listed), uppercase);
        EXPECT_EQ(t.target, QString::fromUtf8(uppercase ? c.target : c.targetKept));
        EXPECT_TRUE(t.table.Ok) << t.table.ErrorText.toStdString() << "\n" << t.statement.toStdString();
        // The primary key made its columns NOT NULL.
        EXPECT_EQ(describeTarget(t.target), uppercase ? c.columns : c.columnsKept);
        EXPECT_TRUE(t.keys.Ok) << t.keys.ErrorText.toStdString();
        EXPECT_EQ(log_.size(), 0) << log_.lines().join('\n').toStdString();

        // The keys are there under their names: adding them again fails for
        // each of them.
        log_.Clear();
        const QString shaped = ShapeName(QString::fromUtf8(c.listed), uppercase);
        const TStepResult again =
            CreateKeysAndIndexes(data_, *oracledata_, QString::fromUtf8(c.listed), shaped, t.target, uppercase, log_);
        EXPECT_FALSE(again.Ok);
        EXPECT_EQ(log_.size(), 2 * c.keys) << log_.lines().join('\n').toStdString();
        for (int i = 0; i < log_.size(); i += 2) {
            EXPECT_TRUE(log_.lines().at(i).startsWith(QLatin1String("ORA-"))) << log_.lines().at(i).toStdString();
            EXPECT_EQ(log_.lines().at(i + 1), QStringLiteral(" "));
        }
        log_.Clear();
    }

    // The primary key holds over both of its columns.
    const QString orders = uppercase ? QStringLiteral("ORDERS") : QStringLiteral("orders");
    OracleRowBatch rows(oracleconn_->describe(QStringLiteral("select * from ") + quoteOracleName(orders) +
                                              QStringLiteral(" where 1=0")));
    for (const char *line : {"1", "2", "1"}) {
        const int row = rows.appendRow();
        rows.at(row, 0) = OracleValue::number(QStringLiteral("7"));
        rows.at(row, 1) = OracleValue::number(QString::fromLatin1(line));
    }
    const BatchResult inserted = oracleconn_->insertBatch(orders, rows);
    EXPECT_FALSE(inserted.ok);
    EXPECT_EQ(inserted.rejectedRow, 2);
    EXPECT_TRUE(
        inserted.message.startsWith(QLatin1String("ORA-00001: unique constraint (SCOTT.PRIMARYORDERS1) violated")))
        << inserted.message.toStdString();
}

INSTANTIATE_TEST_SUITE_P(CaseOption, SchemaNames, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool> &info) {
                             return info.param ? "Uppercase" : "NamesKept";
                         });

TEST_F(SchemaSteps, AFailingKeyLeavesItsMessageAndTheOtherKeysAreStillCreated)
{
    mysql({"create table docs (id int primary key, body text, title varchar(100), key k_body (body(10)), "
           "key k_title (title))",
           // The two tables agree in their first 23 characters and share a
           // long key name: constraint and index names collide after the cut.
           "create table a_long_table_name_shared_one (id int primary key, a int, b int, "
           "key a_key_name_that_is_long_enough_x (a))",
           "create table a_long_table_name_shared_two (id int primary key, a int, b int, "
           "key a_key_name_that_is_long_enough_x (a), key k2 (b))"});

    const Converted docs = convert(QStringLiteral("docs"), true);
    ASSERT_TRUE(docs.table.Ok) << docs.table.ErrorText.toStdString();
    EXPECT_FALSE(docs.keys.Ok);
    ASSERT_EQ(log_.size(), 2) << log_.lines().join('\n').toStdString();
    EXPECT_TRUE(log_.lines().at(0).startsWith(QLatin1String("ORA-02327"))) << log_.lines().at(0).toStdString();
    EXPECT_EQ(log_.lines().at(1), QStringLiteral(" "));
    EXPECT_EQ(docs.keys.ErrorText, log_.lines().at(0));  // the later success does not reset it
    log_.Clear();

    const Converted one = convert(QStringLiteral("a_long_table_name_shared_one"), true);
    EXPECT_TRUE(one.table.Ok);
    EXPECT_TRUE(one.keys.Ok) << one.keys.ErrorText.toStdString();
    EXPECT_EQ(log_.size(), 0);

    const Converted two = convert(QStringLiteral("a_long_table_name_shared_two"), true);
    EXPECT_TRUE(two.table.Ok);
    EXPECT_FALSE(two.keys.Ok);
    ASSERT_EQ(log_.size(), 4) << log_.lines().join('\n').toStdString();
    EXPECT_TRUE(log_.lines().at(0).startsWith(QLatin1String("ORA-02264"))) << log_.lines().at(0).toStdString();
    EXPECT_EQ(log_.lines().at(1), QStringLiteral(" "));
    EXPECT_TRUE(log_.lines().at(2).startsWith(QLatin1String("ORA-00955"))) << log_.lines().at(2).toStdString();
    EXPECT_EQ(log_.lines().at(3), QStringLiteral(" "));
    EXPECT_EQ(two.keys.ErrorText, log_.lines().at(2));
    // k2 came after the failures and was created: adding it again fails.
    EXPECT_THROW(oracledata_->execute(QStringLiteral("create index \"IDX_K2A_LONG_TABLE_NAME_SHARED\" on "
                                                     "\"A_LONG_TABLE_NAME_SHARED_TWO\" (\"B\")")),
                 DatabaseError);
}

TEST_F(SchemaSteps, ANameWithADoubleQuoteFailsItsTableAndTheOthersGoOn)
{
    mysql({"create table `a\"b` (id int primary key)",
           "create table quoted_col (id int primary key, `x\"y` int)",
           "create table fine (id int primary key)"});

    const QString quoted = QStringLiteral("A\"B");
    EXPECT_THROW(checkTableName(quoted), IdentifierError);
    EXPECT_THROW(TableExists(*oracleconn_, quoted, owner), IdentifierError);
    const TStepResult table = CreateTable(catalogue_, *oracleconn_, QStringLiteral("a\"b"), quoted, true);
    EXPECT_FALSE(table.Ok);
    EXPECT_EQ(table.ErrorText, tableNameProblem(quoted));
    const TStepResult keys =
        CreateKeysAndIndexes(data_, *oracledata_, QStringLiteral("a\"b"), quoted, quoted, true, log_);
    EXPECT_FALSE(keys.Ok);
    EXPECT_EQ(log_.lines(), (QStringList{tableNameProblem(quoted), QStringLiteral(" ")}));
    log_.Clear();

    const Converted column = convert(QStringLiteral("quoted_col"), false);
    EXPECT_FALSE(column.table.Ok);
    EXPECT_EQ(column.table.ErrorText,
              QStringLiteral("Cannot convert table quoted_col: the column name x\"y contains a double quote, which an "
                             "Oracle name cannot hold"));
    EXPECT_TRUE(column.statement.isEmpty());
    EXPECT_FALSE(exists(QStringLiteral("quoted_col")));
    log_.Clear();  // its primary key failed: the table is missing

    const Converted fine = convert(QStringLiteral("fine"), true);
    EXPECT_TRUE(fine.table.Ok) << fine.table.ErrorText.toStdString();
    EXPECT_TRUE(fine.keys.Ok) << fine.keys.ErrorText.toStdString();
    EXPECT_TRUE(exists(QStringLiteral("FINE")));
}

TEST_F(SchemaSteps, ColumnsThatShareTheirFirst30CharactersGetAColumnEach)
{
    // The later column takes the numbered name, and its key follows it.
    mysql({"create table twins (a_column_name_of_thirty_five_chars_1 int, "
           "a_column_name_of_thirty_five_chars_2 int primary key)"});
    const Converted twins = convert(QStringLiteral("twins"), true);
    EXPECT_TRUE(twins.table.Ok) << twins.table.ErrorText.toStdString();
    EXPECT_TRUE(twins.keys.Ok) << twins.keys.ErrorText.toStdString();
    EXPECT_EQ(describeTarget(QStringLiteral("TWINS")),
              (QStringList{"A_COLUMN_NAME_OF_THIRTY_FIVE_C NUMBER", "A_COLUMN_NAME_OF_THIRTY_FI0000 NUMBER NOT NULL"}));
}

TEST_F(SchemaSteps, ListingErrorsLeaveTheSteps)
{
    try {
        CreateTable(catalogue_, *oracleconn_, QStringLiteral("missing"), QStringLiteral("MISSING"), true);
        ADD_FAILURE() << "no error for a missing table";
    } catch (const DatabaseError &e) {
        EXPECT_EQ(e.code(), 1146) << e.message().toStdString();
    }
    // Upper-casing the listed name would not find the table: MySQL names
    // are case-sensitive here, so the steps read the name as listed.
    mysql({"create table lower_only (id int primary key)"});
    EXPECT_THROW(CreateKeysAndIndexes(data_, *oracledata_, QStringLiteral("LOWER_ONLY"), QStringLiteral("LOWER_ONLY"),
                                      QStringLiteral("LOWER_ONLY"), true, log_),
                 DatabaseError);
    EXPECT_EQ(log_.size(), 0);
}

} // namespace
} // namespace tavrex
