// What the OCI adapter itself decides, run on the client library's test
// double (TAVREX_OCI_LIBRARY, set by CTest): connect errors, statement errors
// with their context, batches cut into several array executes that still
// commit or roll back as one, and LOB binds placed after the others.

#include "connections/embedded/embeddedreader.h"
#include "connections/oracleworker.h"
#include "connections/oracle/oraclesession.h"
#include "engine/core/errors.h"
#include "tests/support/qtprinters.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

namespace tavrex {
// Failure output for rows read back.
void PrintTo(const OracleValue &v, std::ostream *os)
{
    switch (v.kind()) {
    case OracleValue::Kind::Null: *os << "NULL"; break;
    case OracleValue::Kind::Number: *os << "N:" << v.textValue().toStdString(); break;
    case OracleValue::Kind::Text: *os << "T:" << v.textValue().left(40).toStdString(); break;
    case OracleValue::Kind::Date: *os << "D:" << v.dateValue().year << "-" << v.dateValue().month; break;
    case OracleValue::Kind::Bytes: *os << "B:" << v.bytesValue().size() << " bytes"; break;
    case OracleValue::Kind::Timestamp: *os << "TS:" << v.timestampValue().nanosecond; break;
    case OracleValue::Kind::Interval: *os << "I:" << v.intervalValue().days; break;
    case OracleValue::Kind::BinaryNumber: *os << "F:" << v.textValue().toStdString(); break;
    case OracleValue::Kind::Geometry: *os << "G:" << v.sridValue() << " " << v.wkbValue().toHex().toStdString(); break;
    }
}
} // namespace tavrex

using namespace tavrex;

namespace {

using Rows = QVector<QVector<OracleValue>>;

OracleValue num(const char *t)
{
    return OracleValue::number(QString::fromLatin1(t));
}
OracleValue txt(const QString &t)
{
    return OracleValue::text(t);
}

OracleRowBatch batchOf(const QStringList &columns, const Rows &rows)
{
    QVector<OracleColumn> cols;
    for (const QString &name : columns) {
        OracleColumn c;
        c.name = name;
        cols.append(c);
    }
    OracleRowBatch b(cols);
    for (const auto &row : rows) {
        const int r = b.appendRow();
        for (int c = 0; c < row.size(); ++c)
            b.at(r, c) = row[c];
    }
    return b;
}

class OciSessionTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    OracleLogin login(const QString &user = QStringLiteral("scott")) const
    {
        OracleLogin l;
        l.service = path;
        l.user = user;
        l.password = QStringLiteral("tiger");
        return l;
    }
    Rows rows(const QString &table) const { return readEmbeddedTable(path, "SCOTT", table); }

    QTemporaryDir dir;
    QString path = dir.filePath("target.db");
};

} // namespace

TEST_F(OciSessionTest, ConnectErrorsAreTheServersWordsWithoutTheTrailingNewline)
{
    struct Case {
        const char *name;
        OracleLogin login;
        int code;
        QString message;
    } cases[] = {
        {"an unknown connect identifier", [&] {
             OracleLogin l = login();
             l.service = dir.filePath("no/such/folder/target.db");
             return l;
         }(),
         12154, "ORA-12154: TNS:could not resolve the connect identifier specified"},
        {"no user name", login(QString()), 1017, "ORA-01017: invalid username/password; logon denied"},
        {"the operating-system account, which the server does not accept", [&] {
             OracleLogin l = login();
             l.osAuthentication = true;
             return l;
         }(),
         1017, "ORA-01017: invalid username/password; logon denied"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        try {
            openOracleSession(c.login);
            ADD_FAILURE() << "connected";
        } catch (const DatabaseError &e) {
            EXPECT_EQ(e.code(), c.code);
            EXPECT_EQ(e.message(), c.message);
        }
    }
    // The failed attempts left nothing behind that stops a good connect.
    EXPECT_NO_THROW(openOracleSession(login())->execute("create table \"T\" (\"A\" number)"));
}

TEST_F(OciSessionTest, AStatementErrorKeepsTheMessageAndNamesTheStatementInWhat)
{
    auto s = openOracleSession(login());
    const QString sql = QStringLiteral("Create table \"T\" ( \"A\" datetime )");
    try {
        s->execute(sql);
        FAIL() << "accepted";
    } catch (const DatabaseError &e) {
        EXPECT_EQ(e.message(), "ORA-00902: invalid datatype");
        EXPECT_EQ(e.code(), 902);
        EXPECT_EQ(std::string(e.what()), "ORA-00902: invalid datatype while executing \"" + sql.toStdString() + "\"");
    }
    // The session goes on after the error.
    s->execute("create table \"T\" (\"A\" number)");
    EXPECT_EQ(s->queryCount("select count(*) cn from all_tables where table_name='T' and upper(owner)='SCOTT'"), 1);
}

TEST_F(OciSessionTest, ABatchOfSeveralExecutesCommitsAndRollsBackAsOne)
{
    auto s = openOracleSession(login());
    s->execute("create table \"T\" (\"ID\" number, \"V\" varchar2(10))");
    s->execute("alter table T  add constraint PK_T primary key (id)");
    // ID changes kind from row to row, so each row is its own array execute.
    const BatchResult ok =
        s->insertBatch("T", batchOf({"ID", "V"}, {{num("1"), txt("a")}, {txt("2"), txt("b")}, {num("3"), txt("c")}}));
    EXPECT_TRUE(ok.ok) << ok.message.toStdString();
    const Rows committed = {{num("1"), txt("a")}, {num("2"), txt("b")}, {num("3"), txt("c")}};
    EXPECT_EQ(rows("T"), committed);

    // A rejection in the third execute takes back the rows of the first two.
    const BatchResult rejected = s->insertBatch(
        "T", batchOf({"ID", "V"},
                     {{num("4"), txt("d")}, {num("5"), txt("e")}, {txt("6"), txt("f")}, {num("7"), txt("g")},
                      {num("1"), txt("dup")}, {num("8"), txt("h")}}));
    EXPECT_FALSE(rejected.ok);
    EXPECT_EQ(rejected.rejectedRow, 4);
    EXPECT_EQ(rejected.message, "ORA-00001: unique constraint (SCOTT.PK_T) violated");
    EXPECT_EQ(rows("T"), committed);

    // Nothing of the rejected batch lingers in the next transaction.
    EXPECT_TRUE(s->insertBatch("T", batchOf({"ID", "V"}, {{num("9"), txt("i")}})).ok);
    s.reset();
    Rows after = committed;
    after.append({num("9"), txt("i")});
    EXPECT_EQ(rows("T"), after);
}

TEST_F(OciSessionTest, LobColumnsAreBoundAfterTheOthersWhateverTheTableOrder)
{
    auto s = openOracleSession(login());
    s->execute("create table \"L\" (\"B\" blob, \"C\" clob, \"V\" varchar2(4000), \"R\" raw(2000))");
    QByteArray blob(70000, '\0');
    for (int i = 0; i < blob.size(); ++i)
        blob[i] = char(i * 7);
    const QString clob = QString::fromUtf8("\xe4\xb8\xad").repeated(9000);  // 27000 bytes
    const OracleValue raw = OracleValue::bytes(QByteArray(2000, '\x01'));
    const Rows good = {{OracleValue::bytes(blob), txt(clob), txt(QString(4000, 'v')), raw}};
    const BatchResult r = s->insertBatch("L", batchOf({"B", "C", "V", "R"}, good));
    EXPECT_TRUE(r.ok) << r.message.toStdString();
    EXPECT_EQ(rows("L"), good);

    // A value over 4000 bytes in a plain column is the server's row error,
    // not a refusal of the binds' order.
    const BatchResult tooLong =
        s->insertBatch("L", batchOf({"B", "V"}, {{OracleValue::bytes(blob), txt(QString(4001, 'v'))}}));
    EXPECT_FALSE(tooLong.ok);
    EXPECT_EQ(tooLong.rejectedRow, 0);
    EXPECT_EQ(tooLong.message,
              "ORA-12899: value too large for column \"SCOTT\".\"L\".\"V\" (actual: 4001, maximum: 4000)");
}

TEST_F(OciSessionTest, TwoSessionsOnOneServerSeeEachOthersCommittedWork)
{
    auto first = openOracleSession(login());
    auto second = openOracleSession(login());
    first->execute("create table \"T\" (\"A\" number)");
    EXPECT_TRUE(second->insertBatch("T", batchOf({"A"}, {{num("1")}, {num("2")}})).ok);
    EXPECT_EQ(rows("T"), (Rows{{num("1")}, {num("2")}}));
    // A table dropped and made anew by the other session: the next batch is
    // prepared against the new one.
    first->execute("drop table \"T\"");
    first->execute("create table \"T\" (\"A\" varchar2(5), \"B\" number)");
    EXPECT_TRUE(second->insertBatch("T", batchOf({"A", "B"}, {{txt("x"), num("3")}})).ok);
    EXPECT_EQ(rows("T"), (Rows{{txt("x"), num("3")}}));
    first->execute("drop table \"T\"");
    try {
        second->insertBatch("T", batchOf({"A", "B"}, {{txt("x"), num("3")}}));
        ADD_FAILURE() << "inserted into a dropped table";
    } catch (const DatabaseError &e) {
        EXPECT_EQ(e.message(), "ORA-00942: table or view does not exist");
    }
}

TEST_F(OciSessionTest, ASessionsWorkMovesToTheOracleWorkerAndBack)
{
    // Opened here, the session sends a batch, counts and reads on the
    // worker's thread, then goes on here: its environment is made for it.
    auto s = openOracleSession(login());
    s->execute("create table \"T\" (\"A\" number)");
    RunControl control;
    OracleWorker worker(*s);
    const BatchResult sent = worker.run(control, [](OracleSession &o) {
        return o.insertBatch("T", batchOf({"A"}, {{num("1")}, {num("2")}}));
    });
    EXPECT_TRUE(sent.ok) << sent.message.toStdString();
    EXPECT_EQ(worker.run(control, [](OracleSession &o) { return o.queryCount("select count(*) cn from \"T\""); }), 2);
    const Rows read = worker.run(control, [](OracleSession &o) {
        Rows r;
        auto reader = o.query("select * from \"T\"");
        while (reader->next())
            r.append({reader->value(0)});
        return r;
    });
    EXPECT_EQ(read, (Rows{{num("1")}, {num("2")}}));
    EXPECT_TRUE(worker.session().insertBatch("T", batchOf({"A"}, {{num("3")}})).ok);
    EXPECT_EQ(s->queryCount("select count(*) cn from \"T\""), 3);
}

// Row locks through the adapter: the double hands the statements to sessions
// of the embedded target, and the server's ORA-00054 arrives word for word.
TEST_F(OciSessionTest, ARowLockedForUpdateIsBusyForAnotherSessionUntilTheTransactionEnds)
{
    const QString lockOne = "select \"ID\" from \"CLAIMS\" where \"ID\" = 1 for update nowait";
    auto tryLock = [&](OracleSession &s) -> QString {
        try {
            auto reader = s.query(lockOne);
            if (!reader->next())
                return "no row";
            return reader->value(0).textValue();
        } catch (const DatabaseError &e) {
            return QStringLiteral("%1 (%2)").arg(e.message()).arg(e.code());
        }
    };
    const QString busy = "ORA-00054: resource busy and acquire with NOWAIT specified or timeout expired (54)";
    auto holder = openOracleSession(login());
    auto other = openOracleSession(login());
    holder->execute("create table \"CLAIMS\" (\"ID\" number)");
    ASSERT_TRUE(holder->insertBatch("CLAIMS", batchOf({"ID"}, {{num("1")}, {num("2")}})).ok);

    const std::pair<const char *, std::function<void()>> ends[] = {
        {"commit", [&] { holder->execute("commit"); }},
        {"rollback", [&] { holder->execute("rollback"); }},
        {"a committed batch", [&] { ASSERT_TRUE(holder->insertBatch("CLAIMS", batchOf({"ID"}, {{num("3")}})).ok); }},
        {"the session's end", [&] { holder.reset(); }},
    };
    for (const auto &end : ends) {
        SCOPED_TRACE(end.first);
        if (!holder)
            holder = openOracleSession(login());
        EXPECT_EQ(tryLock(*holder), "1");
        EXPECT_EQ(tryLock(*other), busy);
        end.second();
        EXPECT_EQ(tryLock(*other), "1");
        other->execute("rollback");
    }
}

// The benchmarks' delay per server call is read when a server is attached;
// a value that is not a number of microseconds in range refuses the attach.
TEST_F(OciSessionTest, TheRoundTripSettingIsReadAndValidatedAtTheAttach)
{
    const char *name = "TAVREX_OCIDOUBLE_ROUNDTRIP_US";
    for (const char *bad : {"abc", "-5", "1000001", "1.5"}) {
        SCOPED_TRACE(bad);
        qputenv(name, bad);
        try {
            openOracleSession(login());
            ADD_FAILURE() << "the attach took " << bad;
        } catch (const DatabaseError &e) {
            EXPECT_TRUE(e.message().contains(QStringLiteral("TAVREX_OCIDOUBLE_ROUNDTRIP_US must be a whole number of "
                                                            "microseconds from 0 to 1000000, not \"%1\"")
                                                 .arg(QLatin1String(bad))))
                << e.message().toStdString();
        }
    }
    for (const char *good : {"0", "1", "1000"}) {
        SCOPED_TRACE(good);
        qputenv(name, good);
        EXPECT_NO_THROW(openOracleSession(login())->execute("create table \"R" + QString::fromLatin1(good) + "\" (\"A\" number)"));
    }
    qunsetenv(name);
}
