// The Oracle worker: where its jobs run, how their outcomes come back, and
// that neither its destruction nor a failing look at the window leaves a job
// running behind the caller or ends the program.

#include "connections/oracleworker.h"
#include "engine/core/errors.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

using namespace tavrex;

namespace {

// A session whose count query answers with the number in its text, or
// throws the error its text names; it notes the thread it was asked on.
class ThreadSession : public OracleSession {
public:
    void execute(const QString &) override {}
    qint64 queryCount(const QString &sql) override
    {
        thread = std::this_thread::get_id();
        if (sql == QLatin1String("ora"))
            throw DatabaseError(QStringLiteral("ORA-00942: table or view does not exist"), 942);
        if (sql == QLatin1String("other"))
            throw std::runtime_error("not a database error");
        return sql.toLongLong();
    }
    QVector<OracleColumn> describe(const QString &) override { return {}; }
    BatchResult insertBatch(const QString &, const OracleRowBatch &) override { return {}; }
    std::thread::id thread;
};

// A job that takes a while, so that whoever waits for it has to.
constexpr std::chrono::milliseconds kSlowJob{150};

} // namespace

TEST(OracleWorker, JobsRunWhereAskedAndTheirResultsAndErrorsComeBack)
{
    const struct {
        OracleWorker::Where where;
        bool ownThread;
    } cases[] = {{OracleWorker::Where::OwnThread, true}, {OracleWorker::Where::CallersThread, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.ownThread ? "own thread" : "caller's thread");
        ThreadSession session;
        RunControl control;
        OracleWorker worker(session, c.where);
        const auto count = [](const char *sql) { return [sql](OracleSession &s) { return s.queryCount(sql); }; };

        EXPECT_EQ(worker.run(control, count("42")), 42);
        EXPECT_EQ(session.thread != std::this_thread::get_id(), c.ownThread);
        EXPECT_FALSE(worker.busy());
        EXPECT_EQ(&worker.session(), &session) << "the session is handed back";

        // A job's exception is its outcome, rethrown to the caller as it came;
        // the worker serves the next job.
        try {
            worker.run(control, count("ora"));
            ADD_FAILURE() << "the job's error did not come back";
        } catch (const DatabaseError &e) {
            EXPECT_EQ(e.message(), QStringLiteral("ORA-00942: table or view does not exist"));
            EXPECT_EQ(e.code(), 942);
        }
        EXPECT_THROW(worker.run(control, count("other")), std::runtime_error);
        worker.start(count("ora"));
        const std::exception_ptr outcome = worker.wait(control);
        ASSERT_NE(outcome, nullptr) << "wait() returns the outcome";
        EXPECT_THROW(std::rethrow_exception(outcome), DatabaseError);
        EXPECT_EQ(worker.wait(control), nullptr) << "an outcome is taken once";
        EXPECT_EQ(worker.run(control, count("7")), 7);
    }
}

TEST(OracleWorker, TheSessionIsTheJobsUntilItIsWaitedFor)
{
    ThreadSession session;
    RunControl control;
    OracleWorker worker(session);
    std::atomic<bool> release{false};
    worker.start([&](OracleSession &) {
        while (!release)
            std::this_thread::yield();
    });
    EXPECT_TRUE(worker.busy());
    EXPECT_THROW(worker.session(), std::logic_error);
    EXPECT_THROW(worker.start([](OracleSession &) {}), std::logic_error) << "one job at a time";
    EXPECT_FALSE(worker.waitFor(std::chrono::milliseconds(0)));
    release = true;
    EXPECT_EQ(worker.wait(control), nullptr);
    EXPECT_EQ(&worker.session(), &session);
}

TEST(OracleWorker, DestructionWaitsForTheJobThatRuns)
{
    // A job that ignores the cancel, one that stops on it, and one whose
    // error nobody takes: each has ended when the destructor returns, and
    // nothing it threw escapes.
    ThreadSession session;
    for (const bool cooperative : {false, true}) {
        SCOPED_TRACE(cooperative ? "stops when cancelled" : "runs to its end");
        std::atomic<bool> started{false};
        std::atomic<bool> ended{false};
        std::atomic<bool> sawCancel{false};
        {
            OracleWorker worker(session);
            worker.start([&](OracleSession &) {
                started = true;
                // (Bounded, so that a destructor that never cancels fails
                // the test instead of hanging it.)
                const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
                while (cooperative && !worker.cancelled() && std::chrono::steady_clock::now() < giveUp)
                    std::this_thread::yield();
                sawCancel = worker.cancelled();
                std::this_thread::sleep_for(kSlowJob);
                ended = true;
            });
            while (!started)
                std::this_thread::yield();
        }
        EXPECT_TRUE(ended);
        if (cooperative) {
            EXPECT_TRUE(sawCancel);
        }
    }
    {
        OracleWorker worker(session);
        worker.start([](OracleSession &) {
            std::this_thread::sleep_for(kSlowJob);
            throw DatabaseError(QStringLiteral("ORA-03113: end-of-file on communication channel"));
        });
    }
}

TEST(OracleWorker, AFailingLookAtTheWindowEndsTheWaitOnlyAfterTheJob)
{
    // The responsive pump throws while a job still runs: the exception
    // reaches the caller, after the job has ended (it writes into the
    // caller's frame), and the worker serves the next job.
    ThreadSession session;
    RunControl control;
    control.setResponsivePeriod(std::chrono::milliseconds(0));
    int pumps = 0;
    control.setResponsivePump([&] {
        ++pumps;
        throw std::runtime_error("the window failed");
    });
    OracleWorker worker(session);
    std::atomic<bool> ended{false};
    EXPECT_THROW(worker.run(control,
                            [&](OracleSession &s) {
                                std::this_thread::sleep_for(kSlowJob);
                                ended = true;
                                return s.queryCount("1");
                            }),
                 std::runtime_error);
    EXPECT_EQ(pumps, 1);
    EXPECT_TRUE(ended);
    EXPECT_FALSE(worker.busy());
    control.setResponsivePump(nullptr);
    EXPECT_EQ(worker.run(control, [](OracleSession &s) { return s.queryCount("5"); }), 5);
}
