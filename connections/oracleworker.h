#pragma once

#include "connections/oracle/oraclesession.h"
#include "engine/core/runlog.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>

namespace tavrex {

// The one way Oracle work leaves the window's thread: the owner of an Oracle
// session while a job runs on it. A job is given the session on the
// worker's thread; the caller leaves the session alone from start() until
// wait() has handed it back, and only then reads what the job wrote. Jobs
// run one at a time, in the order they were started, on one thread that
// the first job starts and the destructor joins.
//
// Nothing a job throws ends the program: it is the job's outcome, which
// wait() returns (and run() rethrows) on the caller's thread. wait() never
// returns, normally or by an exception, while the job still runs: when the
// responsive pump throws, the job is cancelled and waited for first. The
// destructor cancels a job that still runs and waits for it.
//
// Cancelling is cooperative: a job that can stop early (the verification's
// reading of a long table) polls cancelled(); the others run to their end.
class OracleWorker {
public:
    // Where the jobs run: on the worker's own thread, or on the caller's
    // thread inside start() (the copy that sends each batch before reading
    // on). Both ways give the same outcomes through wait().
    enum class Where { OwnThread, CallersThread };
    using Job = std::function<void(OracleSession &)>;
    // How long wait() waits between two looks at the window.
    static constexpr std::chrono::milliseconds kWaitSlice{20};

    explicit OracleWorker(OracleSession &session, Where where = Where::OwnThread);
    ~OracleWorker();
    OracleWorker(const OracleWorker &) = delete;
    OracleWorker &operator=(const OracleWorker &) = delete;

    // Starts the job; the session is the job's until wait() hands it back.
    // A job started before must have been waited for (std::logic_error).
    void start(Job job);
    // Whether a job was started and its outcome not yet taken by wait().
    bool busy() const { return busy_; }
    // Waits at most period for the job to end; true when it has (or when
    // there is none). The session stays the job's until wait().
    bool waitFor(std::chrono::milliseconds period);
    // Waits for the job to end, keeping the window responsive
    // (control.keepResponsive() at every slice), and hands the session back:
    // returns what the job threw, null when it returned (or there was none).
    std::exception_ptr wait(RunControl &control);
    // Runs work(session) as a job and waits for it as wait() does; returns
    // what it returned or throws what it threw.
    template <typename Work>
    auto run(RunControl &control, Work work) -> std::invoke_result_t<Work &, OracleSession &>;

    // Asks the job that runs to end early; cleared by the next start().
    void cancel() { cancelled_.store(true, std::memory_order_relaxed); }
    bool cancelled() const { return cancelled_.load(std::memory_order_relaxed); }

    // The session, for the caller's own statements between jobs; a job still
    // owns it until wait() (std::logic_error).
    OracleSession &session();

private:
    void serve();
    // Waits for the job without looking at the window (after a failed pump,
    // and at destruction).
    void waitQuietly();

    OracleSession &session_;
    const Where where_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable ended_;
    Job job_;                  // the job to run, taken by the thread
    bool done_ = true;         // the last job has ended
    bool quit_ = false;
    std::exception_ptr outcome_;  // what the last job threw
    bool busy_ = false;        // the caller's side: started, not yet waited for
    std::atomic<bool> cancelled_{false};
    std::thread thread_;
};

template <typename Work>
auto OracleWorker::run(RunControl &control, Work work) -> std::invoke_result_t<Work &, OracleSession &>
{
    using Result = std::invoke_result_t<Work &, OracleSession &>;
    if constexpr (std::is_void_v<Result>) {
        start([&work](OracleSession &s) { work(s); });
        if (std::exception_ptr e = wait(control))
            std::rethrow_exception(e);
    } else {
        std::optional<Result> result;
        start([&work, &result](OracleSession &s) { result.emplace(work(s)); });
        if (std::exception_ptr e = wait(control))
            std::rethrow_exception(e);
        return std::move(*result);
    }
}

} // namespace tavrex
