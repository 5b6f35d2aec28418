#pragma once

// The row locks of the embedded target: SELECT ... FOR UPDATE takes them,
// COMMIT, ROLLBACK, DDL and the end of the session release them, and DDL on a
// table waits for none of another session's (ORA-00054). Private to
// connections/embedded.
//
// The locks are open-file-description locks (fcntl F_OFD_SETLK) on bytes of
// a side file next to the target, "PATH-locks", which holds no data. Each
// session opens the file itself, so its locks conflict with every other
// session's, of this process or another; the kernel drops them when the
// session closes the file, and when its process ends in any way (SIGKILL
// included): a lock is never left behind by a session that no longer exists.
// (A process-associated lock, F_SETLK, would not do: it belongs to the
// process, so two sessions of one process would never conflict, and closing
// any descriptor of the file would drop all of the process's locks.)
//
// A row is the byte at (table key << 40) + (rowid mod 2^40), the table key
// being the rowid of the table's row in the dictionary (below 2^22; larger
// keys are folded into that range). A folded key or rowid can make two rows
// share a byte: a false conflict, never a missed one. A table's DDL takes
// the table's whole range for the statement.

#include <QString>

#include <cstdint>
#include <memory>
#include <set>
#include <vector>

namespace tavrex::embedded {

class RowLocks {
public:
    // How long a lock request waits for another session's lock.
    struct Wait {
        enum class Kind { No, Forever, Seconds };
        Kind kind = Kind::No;
        int seconds = 0;
    };

    // Opens (creates, readable by its owner only) PATH-locks. Throws
    // DatabaseError naming the file when it cannot be opened.
    static std::unique_ptr<RowLocks> open(const QString &targetPath);
    ~RowLocks();
    RowLocks(const RowLocks &) = delete;
    RowLocks &operator=(const RowLocks &) = delete;

    // Locks the rows of the table, in rowid order, for the session's
    // transaction; rows it holds already are kept. False when another
    // session holds one of them and the wait ended (at once for Wait::No):
    // then the rows this call took are released again and the session holds
    // what it held before.
    bool lockRows(std::int64_t tableKey, const std::vector<std::int64_t> &rowids, const Wait &wait);
    // Releases rows this session holds (rows a statement locked but does not
    // return).
    void releaseRows(std::int64_t tableKey, const std::vector<std::int64_t> &rowids);
    bool holds(std::int64_t tableKey, std::int64_t rowid) const;
    // The end of the transaction: every row lock of the session goes.
    void releaseAll();
    std::size_t heldCount() const { return held_.size(); }

    // The whole table for one DDL statement, without waiting; false when
    // another session holds a row of it. The session must hold no lock of
    // its own then (DDL ends its transaction first). endTableLock drops it.
    bool tryLockTable(std::int64_t tableKey);
    void endTableLock(std::int64_t tableKey);

private:
    RowLocks(int fd, QString path) : fd_(fd), path_(std::move(path)) {}
    bool tryLock(std::int64_t offset, std::int64_t length);
    void unlock(std::int64_t offset, std::int64_t length);

    int fd_;
    QString path_;
    std::set<std::int64_t> held_;  // the bytes of the rows this session holds
};

} // namespace tavrex::embedded
