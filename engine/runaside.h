#pragma once

#include "engine/core/runlog.h"

#include <chrono>
#include <future>
#include <thread>

namespace tavrex {

// Runs one long statement (a count of a large table, say) on a thread of its
// own while the window's thread waits for it and keeps the window responsive;
// returns what the work returned or throws what it threw. The work must touch
// nothing but what the window's thread leaves alone until it has ended (the
// Oracle session of the step). A stop request taken meanwhile is tested by
// the caller afterwards, as at any pump point.
template <typename Work>
auto runAside(RunControl &control, Work work) -> decltype(work())
{
    std::packaged_task<decltype(work())()> task(std::move(work));
    auto result = task.get_future();
    std::thread thread(std::move(task));
    while (result.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
        control.keepResponsive();
    thread.join();
    return result.get();
}

} // namespace tavrex
