#pragma once

// The embedded target's checkpoints on a thread of their own. Private to
// connections/embedded.

#include "connections/embedded/sqlitehandle.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace tavrex::embedded {

// Copies the pages that commits put into the write-ahead log back into the
// database file, with a connection and a thread of its own, so that the
// connection that writes (the batch inserts) does not stop for it: SQLite
// would otherwise do it on the committing connection whenever the log holds
// 1000 pages. The checkpoints are passive: they never wait for the writer nor
// stop it, and what is committed is safe in the log either way.
//
// The log file is kept within a bound of bytes (each page takes its size
// plus a 24-byte frame header there, after a 32-byte file header): a write
// transaction of the writer (a batch, a DDL statement) that would take the
// log past the bound waits first (beforeWrite()) until a checkpoint made
// while no transaction of the writer is open has copied all of it, so that
// the transaction starts the log from its beginning again. (During the
// commit itself the writer still reads the file as it was before, which
// keeps a checkpoint from copying the pages it just wrote.) What a
// transaction will write is not known before it ends: it is taken to be as
// much as the writer's last transaction wrote. A transaction is never split,
// so one that writes more than that can carry the log past the bound by the
// difference; and pages that other connections commit into the log are seen
// at the writer's next commit.
class Checkpointer {
public:
    static constexpr std::int64_t kDefaultLimitBytes = std::int64_t(64) * 1024 * 1024;
    static constexpr int kCadenceFrames = 1000;  // SQLite's own checkpoint point

    // Takes over the checkpoints of writer (its automatic ones stop); null
    // when the second connection cannot be opened, and the writer then keeps
    // checkpointing itself.
    static std::unique_ptr<Checkpointer> attach(sqlite3 *writer, const QString &path);
    ~Checkpointer();
    Checkpointer(const Checkpointer &) = delete;
    Checkpointer &operator=(const Checkpointer &) = delete;

    // The bound of the log file in bytes.
    void setLimitBytes(std::int64_t bytes);
    // What a write transaction is taken to write into the log: as much as
    // the writer's last one (a batch after a batch), or a few pages (a
    // change of a few rows, such as the record of conversions' UPDATE after
    // a batch), which leaves the estimate of the next transaction at the
    // last one's that was not small, and waits only when the log would pass
    // twice its bound.
    enum class Expected { AsTheLast, FewPages };
    static constexpr int kFewPages = 64;
    // Called before a write transaction of the writer begins; waits for a
    // full checkpoint when the transaction would take the log past its bound.
    void beforeWrite(Expected expected = Expected::AsTheLast);

private:
    Checkpointer(sqlite3 *writer, SqliteDb own, int pageSize);
    static int committed(void *self, sqlite3 *db, const char *schema, int frames);
    void serve();

    sqlite3 *writer_;
    SqliteDb own_;
    int pageSize_;
    int limitFrames_ = 0;          // the pages the bound holds
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::uint64_t requested_ = 0;  // checkpoints asked for
    std::uint64_t copied_ = 0;     // the last request a finished checkpoint covers
    int frames_ = 0;               // pages in the log after the writer's last commit
    int lastFrames_ = 0;           // pages the writer's last transaction wrote (the last not small one)
    bool small_ = false;           // the open transaction was announced as FewPages
    int signalledFrames_ = 0;      // pages in the log at the last checkpoint asked for
    bool quit_ = false;
    std::thread thread_;
};

} // namespace tavrex::embedded
