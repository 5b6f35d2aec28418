// Verification of a copied table (connections/verify.h): a MariaDB table of
// the mapped types is copied into the embedded target by the row copy, then
// compared; the target is changed behind the run's back through its SQLite
// file to show each kind of difference.

#include "connections/embedded/embeddedtarget.h"
#include "connections/rowcopy.h"
#include "connections/verify.h"
#include "engine/core/errors.h"
#include "tests/support/testenv.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace tavrex::test {
namespace {

TEST(NormalisedNumber, EqualNumbersShareOneFormAndOthersAreRefused)
{
    struct Case {
        const char *text;
        const char *form;
    };
    const Case cases[] = {
        {"0.50", "5E-1"},   {".5", "5E-1"},   {"5e-1", "5E-1"},    {"-12.5", "-125E-1"}, {"100", "1E2"},
        {"1E+2", "1E2"},    {"-0", "0"},      {"0.000", "0"},      {"007", "7E0"},       {"1e308", "1E308"},
        {"-.001", "-1E-3"}, {"1.2.3", ""},    {"abc", ""},         {"", ""},             {"1e", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(normalisedNumber(QString::fromLatin1(c.text)), QByteArray(c.form));
    }
}

class VerifyFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        recreateDatabase(QStringLiteral("tavrex_verify"));
        // Zero dates need a lenient mode; TIME beyond a day and a DOUBLE
        // beyond NUMBER's range are values MySQL holds and Oracle cannot.
        sandboxExec({QStringLiteral("set session sql_mode=''"),
                     QStringLiteral(
                         "create table t (id int primary key, d decimal(30,5), f double, v varchar(50), c char(5),"
                         " dt datetime, da date, tm time, b longblob, bit1 bit(1)) character set utf8mb4"),
                     QStringLiteral("insert into t values"
                                    " (1, -12345678901234567890.12345, 1.5, 'plain', 'ab', '2024-02-29 23:59:58',"
                                    " '1000-01-01', '12:34:56', x'00ff00', b'1'),"
                                    " (2, 0.5, -2.5e-10, '\\xe4\\xb8\\xad\\xe6\\x96\\x87 \\xf0\\x9f\\x98\\x80', '', "
                                    " '9999-12-31 23:59:59', '0000-00-00', '838:59:59', '', b'0'),"
                                    " (3, null, null, null, null, null, null, null, null, null),"
                                    " (4, 99999999999999999999999.99999, 1.7976931348623157e308, 'x', 'abcde',"
                                    " '0000-00-00 00:00:00', '1582-10-10', '-01:00:00', x'61', b'1')")},
                    QStringLiteral("tavrex_verify"));
        data.params() = sandboxParams(QStringLiteral("tavrex_verify"));
        data.connect();
        path = dir.filePath(QStringLiteral("target.db"));
        OracleLogin login;
        login.user = QStringLiteral("scott");
        oracle = openEmbeddedSession(path, login);
        oracle->execute(QStringLiteral(
            "create table \"T\" (\"ID\" number(10), \"D\" number(30,5), \"F\" number, \"V\" varchar2(50), "
            "\"C\" char(5), \"DT\" date, \"DA\" date, \"TM\" date, \"B\" blob, \"BIT1\" number(1))"));
    }

    void copy()
    {
        RowBuffer buffer;
        TRunLog log;
        log.Append(QStringLiteral("Insert table T... "));
        const TStepResult r = CopyRows(data, *oracle, buffer, QStringLiteral("t"), QStringLiteral("T"), log, control);
        ASSERT_TRUE(r.Ok) << r.ErrorText.toStdString();
    }

    // Runs a statement on the target's file, behind the session's back.
    void changeTarget(const char *sql)
    {
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
        char *err = nullptr;
        const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &err);
        const std::string message = err ? err : "";
        sqlite3_free(err);
        sqlite3_close(db);
        ASSERT_EQ(rc, SQLITE_OK) << message;
    }

    VerifyResult verify(const QStringList &keys = {QStringLiteral("id")})
    {
        return verifyTable(data, *oracle, QStringLiteral("t"), QStringLiteral("T"), keys, control);
    }

    QTemporaryDir dir;
    QString path;
    MySqlConnection data;
    std::unique_ptr<OracleSession> oracle;
    RunControl control;
};

TEST_F(VerifyFixture, ACopyOfEveryMappedTypeIsEqualExceptTheDoubleBeyondNumbersRange)
{
    copy();
    const VerifyResult r = verify();
    EXPECT_EQ(r.sourceRows, 4);
    EXPECT_EQ(r.targetRows, 4);
    // Row 4's DOUBLE 1.79E308 cannot be a NUMBER: the copy wrote NULL, and
    // verification says so; every other value (zero dates, TIMEs beyond a
    // day and a skipped day of 1582 being reported by the copy) is equal.
    EXPECT_FALSE(r.equal());
    EXPECT_EQ(r.sourceOnly, 1);
    EXPECT_EQ(r.targetOnly, 1);
    EXPECT_EQ(r.differingRows(), 1);
    EXPECT_EQ(r.differingKeys, QStringList{QStringLiteral("4")});
}

TEST_F(VerifyFixture, TheSameTableWithoutTheUnrepresentableDoubleIsEqualAndTheCountIsKept)
{
    sandboxExec({QStringLiteral("update t set f = 1e100 where id = 4")}, QStringLiteral("tavrex_verify"));
    copy();
    const VerifyResult r = verify();
    EXPECT_TRUE(r.equal()) << r.sourceOnly << " / " << r.targetOnly;
    EXPECT_EQ(r.sourceRows, 4);
    EXPECT_TRUE(r.differingKeys.isEmpty());
}

TEST_F(VerifyFixture, ChangesBehindTheRunsBackAreFoundWithTheirKeys)
{
    // Row 2 holds a value large enough to be hashed piece by piece.
    sandboxExec({QStringLiteral("update t set f = 1e100 where id = 4"),
                 QStringLiteral("update t set b = repeat(x'ab', 3 * 1024 * 1024) where id = 2")},
                QStringLiteral("tavrex_verify"));
    struct Case {
        const char *name;
        const char *sql;
        qint64 sourceOnly, targetOnly;
        QStringList keys;
    };
    const Case cases[] = {
        {"a missing row", "delete from \"SCOTT.T\" where \"ID\" = '2'", 1, 0, {"2"}},
        {"an altered text", "update \"SCOTT.T\" set \"V\" = 'plain!' where \"ID\" = '1'", 1, 1, {"1"}},
        {"an altered blob", "update \"SCOTT.T\" set \"B\" = x'00ff01' where \"ID\" = '1'", 1, 1, {"1"}},
        {"an altered large blob of the same length", "update \"SCOTT.T\" set \"B\" = zeroblob(3 * 1024 * 1024) where \"ID\" = '2'",
         1, 1, {"2"}},
        {"an extra row", "insert into \"SCOTT.T\" (\"ID\") values ('9')", 0, 1, {}},
        {"a duplicated row", "insert into \"SCOTT.T\" select * from \"SCOTT.T\" where \"ID\" = '3'", 0, 1, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        oracle->execute(QStringLiteral("drop table \"T\""));
        oracle->execute(QStringLiteral(
            "create table \"T\" (\"ID\" number(10), \"D\" number(30,5), \"F\" number, \"V\" varchar2(50), "
            "\"C\" char(5), \"DT\" date, \"DA\" date, \"TM\" date, \"B\" blob, \"BIT1\" number(1))"));
        copy();
        ASSERT_TRUE(verify().equal());
        changeTarget(c.sql);
        const VerifyResult r = verify();
        EXPECT_FALSE(r.equal());
        EXPECT_EQ(r.sourceOnly, c.sourceOnly);
        EXPECT_EQ(r.targetOnly, c.targetOnly);
        EXPECT_EQ(r.differingKeys, c.keys);
        // Without a key the rows are still counted.
        const VerifyResult unkeyed = verify({});
        EXPECT_EQ(unkeyed.differingRows(), r.differingRows());
        EXPECT_TRUE(unkeyed.differingKeys.isEmpty());
    }
}

// Geometries compare as SRID and WKB: a changed SRID or coordinate differs,
// the same geometry in the other byte order does not.
TEST_F(VerifyFixture, GeometriesCompareByTheirSridAndTheirWkbInEitherByteOrder)
{
    sandboxExec({QStringLiteral("create table g (id int primary key, shape geometry)"),
                 QStringLiteral("insert into g values (1, st_geomfromtext('POINT(1 2)', 4326)), (2, null),"
                                " (3, st_geomfromtext('POLYGON((0 0,4 0,4 4,0 0))')),"
                                " (4, st_geomfromtext('GEOMETRYCOLLECTION EMPTY', 4326))")},
                QStringLiteral("tavrex_verify"));
    // Row 1's stored form: the SRID 4326 (E6100000), then POINT(1 2).
    const char *point = "0101000000000000000000F03F0000000000000040";
    struct Case {
        const char *name;
        QString stored;  // the new stored form of row 1
        bool equal;
    } cases[] = {
        {"the same point written big endian", "E6100000" "00000000013FF00000000000004000000000000000", true},
        {"another SRID", QStringLiteral("110F0000") + point, false},
        {"no SRID", QStringLiteral("00000000") + point, false},
        {"another coordinate", "E6100000" "0101000000000000000000F03F0000000000000840", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        try {
            oracle->execute(QStringLiteral("drop table \"G\""));
        } catch (const DatabaseError &) {
            // the first case: none yet
        }
        oracle->execute(QStringLiteral("create table \"G\" (\"ID\" number(10), \"SHAPE\" SDO_GEOMETRY)"));
        RowBuffer buffer;
        TRunLog log;
        log.Append(QStringLiteral("Insert table G... "));
        ASSERT_TRUE(CopyRows(data, *oracle, buffer, QStringLiteral("g"), QStringLiteral("G"), log, control).Ok);
        const auto check = [&] {
            return verifyTable(data, *oracle, QStringLiteral("g"), QStringLiteral("G"), {QStringLiteral("id")}, control);
        };
        const VerifyResult before = check();
        ASSERT_TRUE(before.equal()) << before.sourceOnly << " / " << before.targetOnly;
        EXPECT_EQ(before.sourceRows, 4);
        changeTarget(QStringLiteral("update \"SCOTT.G\" set \"SHAPE\" = x'%1' where \"ID\" = '1'")
                         .arg(c.stored)
                         .toUtf8()
                         .constData());
        const VerifyResult r = check();
        EXPECT_EQ(r.equal(), c.equal);
        if (!c.equal) {
            EXPECT_EQ(r.differingRows(), 1);
            EXPECT_EQ(r.differingKeys, QStringList{QStringLiteral("1")});
        }
    }
}

TEST_F(VerifyFixture, AStopRequestAtAPumpEndsTheVerification)
{
    sandboxExec({QStringLiteral("create table n (id int)"),
                 QStringLiteral("insert into n select seq from seq_1_to_250")},
                QStringLiteral("tavrex_verify"));
    oracle->execute(QStringLiteral("create table \"N\" (\"ID\" number)"));
    int pumps = 0;
    control.setPump([&] {
        if (++pumps == 2)
            control.requestStop();
    });
    const VerifyResult r = verifyTable(data, *oracle, QStringLiteral("n"), QStringLiteral("N"), {}, control);
    EXPECT_TRUE(r.stopped);
    EXPECT_FALSE(r.equal());
    EXPECT_EQ(pumps, 2);
}

} // namespace
} // namespace tavrex::test
