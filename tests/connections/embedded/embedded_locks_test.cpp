// Sessions of the embedded target against each other: row locks taken by
// SELECT ... FOR UPDATE, between sessions of one process and of several (one
// of them killed), when they end, and writers of different tables at once.

#include "connections/embedded/embeddedreader.h"
#include "connections/embedded/embeddedtarget.h"
#include "engine/core/errors.h"
#include "tests/support/qtprinters.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <functional>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>

namespace tavrex {
namespace {

const QString kBusy = QStringLiteral("ORA-00054: resource busy and acquire with NOWAIT specified or timeout expired");

OracleLogin login()
{
    OracleLogin l;
    l.user = QStringLiteral("scott");
    return l;
}

OracleValue num(qint64 v)
{
    return OracleValue::number(QString::number(v));
}

OracleRowBatch batchOf(const QStringList &columns, const QVector<QVector<OracleValue>> &rows)
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

// The first column of every row of a query, as text ("NULL" for null).
QStringList firstColumn(OracleSession &s, const QString &sql)
{
    QStringList out;
    auto reader = s.query(sql);
    while (reader->next()) {
        const OracleValue &v = reader->value(0);
        out.append(v.isNull() ? QStringLiteral("NULL") : v.textValue());
    }
    return out;
}

// The message of the DatabaseError the call throws ("" when none).
QString errorOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const DatabaseError &e) {
        return e.message();
    }
    return QString();
}

class EmbeddedLocks : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        auto s = open();
        s->execute(QStringLiteral("create table \"CLAIMS\" (\"ID\" number, \"NAME\" varchar2(10), \"TAG\" char(4), "
                                  "\"AMOUNT\" number(6,2), \"NOTE\" clob)"));
        ASSERT_TRUE(s->insertBatch(QStringLiteral("CLAIMS"),
                                   batchOf({"ID", "NAME", "TAG", "AMOUNT"},
                                           {{num(1), OracleValue::text("one"), OracleValue::text("a"),
                                             OracleValue::number("1.5")},
                                            {num(2), OracleValue::text("two"), OracleValue::null(), num(2)},
                                            {num(3), OracleValue::text("three"), OracleValue::text("a"),
                                             OracleValue::null()}}))
                        .ok);
    }
    std::unique_ptr<OracleSession> open() { return openEmbeddedSession(path_, login()); }

    QTemporaryDir dir_;
    QString path_ = dir_.filePath(QStringLiteral("target.db"));
};

// ------------------------------------------------------------------ queries

TEST_F(EmbeddedLocks, WhereConditionsCompareAsOracleDoes)
{
    auto s = open();
    struct Case {
        const char *where;
        QStringList ids;  // or the error
        QString error;
    };
    const Case cases[] = {
        {"\"ID\" = 2", {"2"}, {}},
        {"id = 2 and name = 'two'", {"2"}, {}},
        {"id = 2 and name = 'one'", {}, {}},
        {"\"ID\" = '3'", {"3"}, {}},                 // text into NUMBER by TO_NUMBER
        {"\"AMOUNT\" = 1.50", {"1"}, {}},            // exact, trailing zeros aside
        {"\"AMOUNT\" = 1.499", {}, {}},              // not rounded to the column's scale
        {"\"AMOUNT\" = 123456789", {}, {}},          // too many digits for the column: no row
        {"\"TAG\" = 'a'", {"1", "3"}, {}},           // CHAR: blank-padded comparison
        {"\"TAG\" is null", {"2"}, {}},
        {"\"NAME\" = ''", {}, {}},                   // '' is NULL, which equals nothing
        {"\"NAME\" = 'far too long a name'", {}, {}},
        {"\"ID\" = 'x'", {}, QStringLiteral("ORA-01722: invalid number")},
        {"\"NOTE\" = 'x'", {}, QStringLiteral("ORA-00932: inconsistent datatypes: expected - got CLOB")},
        {"\"NOPE\" = 1", {}, QStringLiteral("ORA-00904: \"NOPE\": invalid identifier")},
        {"\"ID\" in (1)", {}, QStringLiteral("ORA-00920: invalid relational operator")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.where);
        const QString sql = QStringLiteral("select \"ID\" from \"CLAIMS\" where ") + QLatin1String(c.where);
        QStringList got;
        const QString error = errorOf([&] { got = firstColumn(*s, sql); });
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(got, c.ids);
    }
    // The other select forms take the same clause; the verification's form
    // is unchanged.
    EXPECT_EQ(firstColumn(*s, "select * from CLAIMS where id = 3"), QStringList{"3"});
    EXPECT_EQ(firstColumn(*s, "select c.\"ID\", c.\"NAME\" from \"CLAIMS\" c where c.\"ID\" = 1"), QStringList{"1"});
    EXPECT_EQ(firstColumn(*s, "select c.\"ID\" from \"CLAIMS\" c"), (QStringList{"1", "2", "3"}));
    EXPECT_EQ(errorOf([&] { firstColumn(*s, "select x.\"ID\" from \"CLAIMS\" c"); }),
              "ORA-00904: \"X\".\"ID\": invalid identifier");
    EXPECT_EQ(errorOf([&] { firstColumn(*s, "select \"ID\" from \"CLAIMS\" for update nowait extra"); }),
              "ORA-00933: SQL command not properly ended");
}

// ------------------------------------------------------------------ two sessions

TEST_F(EmbeddedLocks, ARowLockedForUpdateIsBusyForAnotherSessionOnly)
{
    auto a = open();
    auto b = open();
    auto c = open();
    EXPECT_EQ(firstColumn(*a, "select \"ID\" from \"CLAIMS\" where \"ID\" = 2 for update nowait"), QStringList{"2"});
    // The holder may lock it again; anyone may read it without a lock.
    EXPECT_EQ(firstColumn(*a, "select \"ID\" from \"CLAIMS\" where \"ID\" = 2 for update nowait"), QStringList{"2"});
    EXPECT_EQ(firstColumn(*b, "select \"ID\" from \"CLAIMS\" where \"ID\" = 2"), QStringList{"2"});
    try {
        firstColumn(*b, "select \"ID\" from \"CLAIMS\" where \"ID\" = 2 for update nowait");
        ADD_FAILURE() << "a row another session holds was locked";
    } catch (const DatabaseError &e) {
        EXPECT_EQ(e.message(), kBusy);
        EXPECT_EQ(e.code(), 54);
    }
    // A statement that fails keeps none of its rows: row 1, which it locked
    // before it met row 2, is free for a third session.
    EXPECT_EQ(errorOf([&] { firstColumn(*b, "select * from \"CLAIMS\" for update nowait"); }), kBusy);
    EXPECT_EQ(firstColumn(*c, "select \"ID\" from \"CLAIMS\" where \"ID\" = 1 for update nowait"), QStringList{"1"});
    // Rows of other sessions are free to lock, with or without NOWAIT.
    EXPECT_EQ(firstColumn(*b, "select \"ID\" from \"CLAIMS\" where \"TAG\" = 'a' and \"ID\" = 3 for update"),
              QStringList{"3"});
    // WAIT n ends with its own error while the row stays busy.
    EXPECT_EQ(errorOf([&] { firstColumn(*b, "select \"ID\" from \"CLAIMS\" where \"ID\" = 2 for update wait 0"); }),
              "ORA-30006: resource busy; acquire with WAIT timeout expired");
    // DDL on a table with another session's row lock is busy too.
    EXPECT_EQ(errorOf([&] { b->execute("create index \"CLAIMS_I\" on \"CLAIMS\" (\"ID\")"); }), kBusy);
    EXPECT_EQ(errorOf([&] { b->execute("drop table \"CLAIMS\""); }), kBusy);
    // The holders' own DDL first ends their transactions.
    c->execute("comment on table \"CLAIMS\" is 'claims'");
    a->execute("drop table \"CLAIMS\"");
}

TEST_F(EmbeddedLocks, TheLocksEndWithTheTransactionOrTheSession)
{
    const std::pair<const char *, std::function<void(std::unique_ptr<OracleSession> &)>> ends[] = {
        {"commit", [](auto &s) { s->execute("commit"); }},
        {"rollback", [](auto &s) { s->execute("rollback work"); }},
        {"DDL", [](auto &s) { s->execute("comment on table \"CLAIMS\" is 'claims'"); }},
        {"a committed batch", [](auto &s) { ASSERT_TRUE(s->insertBatch("CLAIMS", batchOf({"ID"}, {{num(9)}})).ok); }},
        {"a batch rolled back",
         [](auto &s) {
             ASSERT_FALSE(s->insertBatch("CLAIMS", batchOf({"NAME"}, {{OracleValue::text(QString(11, QLatin1Char('x')))}})).ok);
         }},
        {"the session's end", [](auto &s) { s.reset(); }},
    };
    for (const auto &end : ends) {
        SCOPED_TRACE(end.first);
        auto holder = open();
        auto other = open();
        firstColumn(*holder, "select \"ID\" from \"CLAIMS\" where \"ID\" = 2 for update nowait");
        ASSERT_EQ(errorOf([&] { firstColumn(*other, "select \"ID\" from \"CLAIMS\" where \"ID\" = 2 for update nowait"); }),
                  kBusy);
        end.second(holder);
        EXPECT_EQ(errorOf([&] { firstColumn(*other, "select \"ID\" from \"CLAIMS\" where \"ID\" = 2 for update nowait"); }),
                  QString());
    }
}

TEST_F(EmbeddedLocks, ForUpdateWithoutNowaitWaitsForTheHolder)
{
    auto holder = open();
    firstColumn(*holder, "select \"ID\" from \"CLAIMS\" where \"ID\" = 1 for update");
    std::atomic<bool> done{false};
    QStringList got;
    std::thread waiter([&] {
        auto s = open();
        const QString error =
            errorOf([&] { got = firstColumn(*s, "select \"NAME\" from \"CLAIMS\" where \"ID\" = 1 for update"); });
        if (!error.isEmpty())
            got = QStringList{error};
        done = true;
    });
    // While the holder keeps the row the waiter cannot have returned,
    // however long this pause is.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(done.load());
    holder->execute("commit");
    waiter.join();
    EXPECT_EQ(got, QStringList{"one"});
}

// ------------------------------------------------------------------ processes

// A child process that opens its own session, locks row 1 of CLAIMS, writes a
// byte to `ready` and then follows `then`.
pid_t lockInChild(const QString &path, int ready, const std::function<void(OracleSession &)> &then)
{
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    int code = 3;
    try {
        auto s = openEmbeddedSession(path, login());
        firstColumn(*s, "select \"ID\" from \"CLAIMS\" where \"ID\" = 1 for update nowait");
        const char c = 'l';
        if (::write(ready, &c, 1) == 1) {
            then(*s);
            code = 0;
        }
    } catch (...) {
    }
    ::_exit(code);
}

TEST_F(EmbeddedLocks, AnotherProcessesLockIsBusyUntilItCommitsOrIsKilled)
{
    int ready[2], go[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(go), 0);
    char c = 0;
    // A process that commits when told to.
    const pid_t committer = lockInChild(path_, ready[1], [&](OracleSession &s) {
        char g = 0;
        if (::read(go[0], &g, 1) == 1)
            s.execute("commit");
        const char d = 'c';
        (void)!::write(ready[1], &d, 1);
        ::pause();
    });
    ASSERT_GT(committer, 0);
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    auto s = open();
    EXPECT_EQ(errorOf([&] { firstColumn(*s, "select \"ID\" from \"CLAIMS\" where \"ID\" = 1 for update nowait"); }),
              kBusy);
    ASSERT_EQ(::write(go[1], "g", 1), 1);
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    EXPECT_EQ(errorOf([&] { firstColumn(*s, "select \"ID\" from \"CLAIMS\" where \"ID\" = 1 for update nowait"); }),
              QString());
    s->execute("rollback");
    ::kill(committer, SIGKILL);
    ::waitpid(committer, nullptr, 0);

    // A process killed while it holds the lock leaves none behind.
    const pid_t victim = lockInChild(path_, ready[1], [](OracleSession &) {
        for (;;)
            ::pause();
    });
    ASSERT_GT(victim, 0);
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    EXPECT_EQ(errorOf([&] { firstColumn(*s, "select \"ID\" from \"CLAIMS\" where \"ID\" = 1 for update nowait"); }),
              kBusy);
    ASSERT_EQ(::kill(victim, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(victim, &status, 0), victim);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(errorOf([&] { firstColumn(*s, "select \"ID\" from \"CLAIMS\" where \"ID\" = 1 for update nowait"); }),
              QString());
    for (int fd : {ready[0], ready[1], go[0], go[1]})
        ::close(fd);
}

// ------------------------------------------------------------------ writers at once

// Four writers, each 50 committed batches into a table of its own, with the
// log bound small enough that checkpoints run between them all along.
void writeBatches(const QString &path, int writer)
{
    auto s = openEmbeddedSession(path, login());
    static_cast<EmbeddedSession &>(*s).setLogLimitBytes(256 * 1024);
    const QString table = QStringLiteral("W%1").arg(writer);
    for (int b = 0; b < 50; ++b) {
        QVector<QVector<OracleValue>> rows;
        for (int r = 0; r < 200; ++r)
            rows.append({num(b * 200 + r), OracleValue::text(QString(100, QLatin1Char('a' + writer)))});
        const BatchResult result = s->insertBatch(table, batchOf({"ID", "PAD"}, rows));
        if (!result.ok)
            throw DatabaseError(result.message);
    }
}

TEST_F(EmbeddedLocks, WritersOfDifferentTablesWaitForEachOtherAndNeverFail)
{
    {
        auto s = open();
        for (int w = 0; w < 8; ++w)
            s->execute(QStringLiteral("create table \"W%1\" (\"ID\" number, \"PAD\" varchar2(100))").arg(w));
    }
    // Threads of this process.
    std::vector<std::thread> threads;
    std::vector<QString> errors(4);
    for (int w = 0; w < 4; ++w) {
        threads.emplace_back([&, w] {
            try {
                writeBatches(path_, w);
            } catch (const std::exception &e) {
                errors[size_t(w)] = QString::fromUtf8(e.what());
            }
        });
    }
    for (auto &t : threads)
        t.join();
    for (const QString &e : errors)
        EXPECT_EQ(e, QString());
    // Processes (no session of this process is open across the fork).
    std::vector<pid_t> children;
    for (int w = 4; w < 8; ++w) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int code = 0;
            try {
                writeBatches(path_, w);
            } catch (const std::exception &e) {
                std::fprintf(stderr, "writer %d: %s\n", w, e.what());
                code = 1;
            }
            ::_exit(code);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a writer process failed";
    }
    for (int w = 0; w < 8; ++w) {
        const auto rows = readEmbeddedTable(path_, QStringLiteral("SCOTT"), QStringLiteral("W%1").arg(w));
        ASSERT_EQ(rows.size(), 10000) << "table W" << w;
        EXPECT_EQ(rows.back()[0], num(9999));
    }
}

} // namespace
} // namespace tavrex
