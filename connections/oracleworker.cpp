#include "connections/oracleworker.h"

#include <stdexcept>

namespace tavrex {

OracleWorker::OracleWorker(OracleSession &session, Where where) : session_(session), where_(where) {}

OracleWorker::~OracleWorker()
{
    if (busy_) {
        cancel();
        waitQuietly();
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void OracleWorker::start(Job job)
{
    if (busy_)
        throw std::logic_error("OracleWorker::start: the job before has not been waited for");
    cancelled_.store(false, std::memory_order_relaxed);
    if (where_ == Where::CallersThread) {
        outcome_ = nullptr;
        try {
            job(session_);
        } catch (...) {
            outcome_ = std::current_exception();
        }
        busy_ = true;
        return;
    }
    if (!thread_.joinable())
        thread_ = std::thread([this] { serve(); });
    {
        std::lock_guard<std::mutex> lock(mutex_);
        job_ = std::move(job);
        done_ = false;
        outcome_ = nullptr;
    }
    busy_ = true;
    wake_.notify_all();
}

bool OracleWorker::waitFor(std::chrono::milliseconds period)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return ended_.wait_for(lock, period, [this] { return done_; });
}

std::exception_ptr OracleWorker::wait(RunControl &control)
{
    if (!busy_)
        return nullptr;
    try {
        while (!waitFor(kWaitSlice))
            control.keepResponsive();
    } catch (...) {
        // The job may use what the caller's frames hold: it ends before they do.
        cancel();
        waitQuietly();
        throw;
    }
    busy_ = false;
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(outcome_, nullptr);
}

void OracleWorker::waitQuietly()
{
    {
        std::unique_lock<std::mutex> lock(mutex_);
        ended_.wait(lock, [this] { return done_; });
        outcome_ = nullptr;
    }
    busy_ = false;
}

OracleSession &OracleWorker::session()
{
    if (busy_)
        throw std::logic_error("OracleWorker::session: a job still owns the session");
    return session_;
}

void OracleWorker::serve()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return quit_ || job_; });
        if (!job_)
            return;
        Job job = std::move(job_);
        job_ = nullptr;
        lock.unlock();
        std::exception_ptr outcome;
        try {
            job(session_);
        } catch (...) {
            outcome = std::current_exception();
        }
        // The job's captures go before the caller hears that it has ended.
        job = nullptr;
        lock.lock();
        outcome_ = outcome;
        done_ = true;
        ended_.notify_all();
    }
}

} // namespace tavrex
