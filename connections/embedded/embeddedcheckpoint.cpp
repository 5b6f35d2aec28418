#include "connections/embedded/embeddedcheckpoint.h"

#include <QFile>

#include <algorithm>

namespace tavrex::embedded {

std::unique_ptr<Checkpointer> Checkpointer::attach(sqlite3 *writer, const QString &path)
{
    SqliteDb own;
    const QByteArray native = QFile::encodeName(path);
    if (sqlite3_open_v2(native.constData(), own.out(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK)
        return nullptr;
    // A connection learns that the file is in WAL mode from its first read.
    if (sqlite3_exec(own.get(), "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) != SQLITE_OK)
        return nullptr;
    int pageSize = 0;
    {
        sqlite3_stmt *q = nullptr;
        if (sqlite3_prepare_v2(own.get(), "PRAGMA page_size", -1, &q, nullptr) == SQLITE_OK &&
            sqlite3_step(q) == SQLITE_ROW)
            pageSize = sqlite3_column_int(q, 0);
        sqlite3_finalize(q);
    }
    if (pageSize <= 0)
        return nullptr;
    std::unique_ptr<Checkpointer> c(new Checkpointer(writer, std::move(own), pageSize));
    sqlite3_wal_hook(writer, &Checkpointer::committed, c.get());
    return c;
}

Checkpointer::Checkpointer(sqlite3 *writer, SqliteDb own, int pageSize)
    : writer_(writer), own_(std::move(own)), pageSize_(pageSize)
{
    setLimitBytes(kDefaultLimitBytes);
    // The pages the writer writes into the log are counted from here on.
    int current = 0, highest = 0;
    sqlite3_db_status(writer_, SQLITE_DBSTATUS_CACHE_WRITE, &current, &highest, 1);
    thread_ = std::thread([this] { serve(); });
}

void Checkpointer::setLimitBytes(std::int64_t bytes)
{
    constexpr std::int64_t kFileHeader = 32, kFrameHeader = 24;
    std::lock_guard<std::mutex> lock(mutex_);
    limitFrames_ = int(std::max<std::int64_t>(1, (bytes - kFileHeader) / (pageSize_ + kFrameHeader)));
}

Checkpointer::~Checkpointer()
{
    // The writer checkpoints itself again (and at its close) from now on.
    sqlite3_wal_autocheckpoint(writer_, 1000);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

// SQLite's hook after every commit of the writer, on the committing thread.
int Checkpointer::committed(void *self, sqlite3 *db, const char *, int frames)
{
    auto *c = static_cast<Checkpointer *>(self);
    // The pages this transaction wrote into the log (with any page it
    // wrote twice, and those of a transaction rolled back since the last
    // commit: never fewer).
    int written = 0, highest = 0;
    sqlite3_db_status(db, SQLITE_DBSTATUS_CACHE_WRITE, &written, &highest, 1);
    std::lock_guard<std::mutex> lock(c->mutex_);
    c->frames_ = frames;
    if (!c->small_)
        c->lastFrames_ = written;
    // A checkpoint every kCadenceFrames pages, as SQLite's own would come,
    // or at once when the log started again from its beginning.
    if (frames < c->signalledFrames_ || frames - c->signalledFrames_ >= kCadenceFrames) {
        c->signalledFrames_ = frames;
        ++c->requested_;
        c->wake_.notify_all();
    }
    return SQLITE_OK;
}

void Checkpointer::beforeWrite(Expected expected)
{
    std::unique_lock<std::mutex> lock(mutex_);
    small_ = expected == Expected::FewPages;
    // A change of a few rows waits only when it would take the log past
    // twice its bound: a log that a batch larger than the bound carried past
    // it is brought back by the next batch's wait, and the change that
    // follows such a batch (its record's UPDATE) does not stop the
    // conversion's thread for the checkpoint of the whole batch.
    const std::int64_t room = small_ ? 2 * std::int64_t(limitFrames_) : limitFrames_;
    if (frames_ == 0 || std::int64_t(frames_) + (small_ ? kFewPages : lastFrames_) <= room)
        return;
    const std::uint64_t mine = ++requested_;
    wake_.notify_all();
    done_.wait(lock, [this, mine] { return copied_ >= mine || quit_; });
    frames_ = 0;
}

void Checkpointer::serve()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return quit_ || requested_ > copied_; });
        if (quit_)
            break;
        const std::uint64_t covers = requested_;
        lock.unlock();
        // A failure leaves the pages in the log, where they are safe; the
        // next checkpoint, or the writer's at its close, copies them.
        sqlite3_wal_checkpoint_v2(own_.get(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
        lock.lock();
        copied_ = covers;
        done_.notify_all();
    }
    done_.notify_all();
    lock.unlock();
    own_.reset();
}

} // namespace tavrex::embedded
