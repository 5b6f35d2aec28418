// A MySQL server that freezes, drops or kills a session: no call hangs, a
// listing survives a lost session, a stream fails and the next statement
// reconnects.
#include "connections/mysql/mysqlclient.h"
#include "engine/core/errors.h"
#include "tests/support/ownserver.h"
#include "tests/support/testenv.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <memory>

using namespace tavrex;
using namespace tavrex::test;

namespace {

QStringList column(MySqlConnection &c, const QString &sql, bool asListing = false)
{
    QStringList out;
    auto r = asListing ? c.listing(sql) : c.query(sql);
    while (r->next())
        out << r->text(0);
    return out;
}

bool lostSessionCode(int code)
{
    return code == 2006 || code == 2013 || code == 1927;
}

} // namespace

TEST(MySqlTimeouts, TheEnvironmentSetsAllThreeAndNonsenseKeepsTheDefaults)
{
    struct Case {
        const char *name;
        QByteArray value;  // null: unset
        unsigned connect, read, write;
    } cases[] = {
        {"unset", QByteArray(), 30, 600, 600},
        {"two seconds", "2", 2, 2, 2},
        {"an hour", "3600", 3600, 3600, 3600},
        {"zero", "0", 30, 600, 600},
        {"negative", "-5", 30, 600, 600},
        {"not a number", "ten", 30, 600, 600},
        {"empty", "", 30, 600, 600},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        ScopedEnv env("TAVREX_MYSQL_TIMEOUT", k.value);
        const MySqlTimeouts t = mysqlTimeouts();
        EXPECT_EQ(t.connect, k.connect);
        EXPECT_EQ(t.read, k.read);
        EXPECT_EQ(t.write, k.write);
    }
}

TEST(MySqlFrozenServer, StatementsStreamsAndConnectsEndWithAnErrorNamingTheServer)
{
    OwnServer server;
    const QString serverName = "127.0.0.1:" + server.port();
    // The fixture is made with the usual time-outs: on a busy machine its
    // insert may take longer than the short one of the test.
    server.exec({"create database tvx_frozen", "create table tvx_frozen.big (id int, pad char(200))",
                 "insert into tvx_frozen.big select seq, repeat('x', 200) from tvx_frozen.seq_1_to_200000"});
    ScopedEnv env("TAVREX_MYSQL_TIMEOUT", "2");

    MySqlConnection c;
    c.params() = server.params();
    c.connect();
    // The data session's own long server-side wait stays.
    EXPECT_EQ(column(c, "select @@session.net_write_timeout"), QStringList{"31536000"});

    auto expectTimeout = [&](const char *what, auto &&call, const char *words) {
        SCOPED_TRACE(what);
        const auto started = std::chrono::steady_clock::now();
        try {
            call();
            ADD_FAILURE() << "a frozen server answered";
        } catch (const DatabaseError &e) {
            EXPECT_EQ(e.code(), 2013) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(serverName)) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(QString::fromLatin1(words))) << e.message().toStdString();
        }
        // Bounded, far below the ten-minute default: the variable took effect.
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));
    };

    {
        Frozen frozen(server.pid());
        expectTimeout("a statement", [&] { c.query("select 1"); }, "sent nothing for 2 seconds");
        MySqlConnection other;
        other.params() = server.params();
        expectTimeout("a connect", [&] { other.connect(); }, "did not answer within 2 seconds");
    }
    // The next statement reconnects once the server answers again.
    EXPECT_EQ(column(c, "select count(*) from tvx_frozen.big"), QStringList{"200000"});

    {
        // The second stream reads through the client's non-blocking calls,
        // which serve the window while they wait: it times out the same way.
        MySqlConnection d;
        d.params() = server.params();
        d.connect();
        auto plain = c.query("select * from tvx_frozen.big");
        auto serving = d.query("select * from tvx_frozen.big");
        int served = 0;
        serving->serveWaits([&] { ++served; });
        ASSERT_TRUE(plain->next());
        ASSERT_TRUE(serving->next());
        Frozen frozen(server.pid());
        expectTimeout("a stream", [&] { while (plain->next()) {} }, "sent nothing for 2 seconds");
        expectTimeout("a stream serving waits", [&] { while (serving->next()) {} }, "sent nothing for 2 seconds");
        EXPECT_GE(served, 20) << "called in slices of the two seconds";
    }
    EXPECT_EQ(column(c, "select 7"), QStringList{"7"});
}

TEST(MySqlKilledSession, EveryListingRunsAgainOnANewSession)
{
    recreateDatabase("tvx_killed");
    sandboxExec({"create table shop (id int primary key, name varchar(20), key k_name (name))"}, "tvx_killed");
    MySqlConnection c;
    c.params() = sandboxParams("tvx_killed");
    c.connect();
    struct Case {
        const char *statement;
        const char *firstValue;
    } cases[] = {
        {"show tables", "shop"},
        {"show FIELDS from `shop`", "id"},
        {"show index from `shop`", "shop"},
        {"select table_name from information_schema.tables where table_schema = 'tvx_killed'", "shop"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.statement);
        const QString before = column(c, "select connection_id()").value(0);
        sandboxExec({"KILL " + before});
        const QStringList rows = column(c, k.statement, true);
        ASSERT_FALSE(rows.isEmpty());
        EXPECT_EQ(rows.first(), k.firstValue);
        EXPECT_NE(column(c, "select connection_id()").value(0), before) << "a new session ran it";
    }
    EXPECT_TRUE(column(c, "show databases ", true).contains("tvx_killed"));
}

TEST(MySqlKilledSession, AStatementIsNotRunAgainButTheNextStatementReconnects)
{
    recreateDatabase("tvx_killed2");
    sandboxExec({"create table big (id int)", "insert into big select seq from seq_1_to_100000"}, "tvx_killed2");
    MySqlConnection c;
    c.params() = sandboxParams("tvx_killed2");
    c.connect();

    sandboxExec({"KILL " + column(c, "select connection_id()").value(0)});
    try {
        c.query("select count(*) from big");
        FAIL() << "a statement on a killed session ran";
    } catch (const DatabaseError &e) {
        EXPECT_TRUE(lostSessionCode(e.code())) << e.code() << " " << e.message().toStdString();
    }
    EXPECT_EQ(column(c, "select count(*) from big"), QStringList{"100000"});
    // A stream killed in the middle of its rows: see
    // MySqlConnection.ALostSessionFailsTheReadAndTheConnectionReconnects.
}
