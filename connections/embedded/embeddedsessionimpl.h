#pragma once

// The inside of EmbeddedSession, shared by embeddedtarget.cpp (open, DDL,
// count and describe) and embeddedinsert.cpp (the batch insert). Private to
// connections/embedded.

#include "connections/embedded/embeddedcatalog.h"
#include "connections/embedded/embeddedcheckpoint.h"
#include "connections/embedded/embeddedlocks.h"
#include "connections/embedded/embeddedtarget.h"
#include "connections/embedded/sqlitehandle.h"

#include <functional>

namespace tavrex {

struct EmbeddedSession::Impl {
    QString path;
    QString owner;
    embedded::SqliteDb db;
    std::function<void(int)> observer;
    std::function<bool()> commitGate;

    // The INSERT of the last batch, kept prepared while the next batch goes
    // to the same table with the same columns.
    QByteArray insertSql;
    embedded::SqliteStmt insert;

    embedded::Catalog catalog() const { return embedded::Catalog(db.get(), path, owner); }

    // The row locks of the session's open transaction (SELECT ... FOR
    // UPDATE); COMMIT, ROLLBACK, DDL and a batch that commits or rolls back
    // release them, and so does closing the session.
    std::unique_ptr<embedded::RowLocks> locks;
    // The end of the session's transaction.
    void endTransaction()
    {
        if (locks)
            locks->releaseAll();
    }

    // Last, so that it goes before the connection it serves.
    std::unique_ptr<embedded::Checkpointer> checkpointer;
};

namespace embedded {

// The value of column c of the statement's current row, as a column of that
// type stores it. Shared by the session's query and embeddedreader.h.
OracleValue readStoredValue(sqlite3_stmt *s, int c, OraType type, const QString &path, const QString &table);

// BEGIN IMMEDIATE ... COMMIT, rolled back when left without commit(). The
// write lock is taken at the start, so a second connection waits (busy
// timeout) instead of failing half-way.
class WriteTransaction {
public:
    WriteTransaction(sqlite3 *db, const QString &path) : db_(db), path_(path)
    {
        sqliteExec(db_, path_, "BEGIN IMMEDIATE");
        open_ = true;
    }
    WriteTransaction(const WriteTransaction &) = delete;
    WriteTransaction &operator=(const WriteTransaction &) = delete;
    ~WriteTransaction() { rollback(); }

    void commit()
    {
        sqliteExec(db_, path_, "COMMIT");
        open_ = false;
    }
    void rollback()
    {
        if (open_)
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        open_ = false;
    }

private:
    sqlite3 *db_;
    const QString &path_;
    bool open_ = false;
};

} // namespace embedded
} // namespace tavrex
