#pragma once

// Owners for the two libsqlite3 handles the embedded target uses, and small
// helpers that turn a failing SQLite call into DatabaseError. Used by the
// embedded session, its catalogue and the reader; nothing outside
// connections/embedded includes this header.

#include "engine/core/errors.h"

#include <QByteArray>
#include <QString>

#include <sqlite3.h>

#include <utility>

namespace tavrex::embedded {

// A SQLite failure that is not an Oracle error (I/O, a lock held past the
// busy timeout, a damaged file): the message names the file and SQLite's text.
inline DatabaseError sqliteError(sqlite3 *db, const QString &path, const char *what)
{
    const char *msg = db ? sqlite3_errmsg(db) : "out of memory";
    return DatabaseError(QStringLiteral("Embedded target \"%1\": %2: %3")
                             .arg(path, QString::fromUtf8(what), QString::fromUtf8(msg)));
}

// One open database connection; closes it on destruction.
class SqliteDb {
public:
    SqliteDb() = default;
    explicit SqliteDb(sqlite3 *db) : db_(db) {}
    SqliteDb(const SqliteDb &) = delete;
    SqliteDb &operator=(const SqliteDb &) = delete;
    SqliteDb(SqliteDb &&o) noexcept : db_(std::exchange(o.db_, nullptr)) {}
    SqliteDb &operator=(SqliteDb &&o) noexcept
    {
        if (this != &o) {
            reset();
            db_ = std::exchange(o.db_, nullptr);
        }
        return *this;
    }
    ~SqliteDb() { reset(); }

    void reset()
    {
        if (db_)
            sqlite3_close_v2(db_);
        db_ = nullptr;
    }
    sqlite3 *get() const { return db_; }
    sqlite3 **out() { return &db_; }

private:
    sqlite3 *db_ = nullptr;
};

// One prepared statement; finalizes it on destruction.
class SqliteStmt {
public:
    SqliteStmt() = default;
    SqliteStmt(const SqliteStmt &) = delete;
    SqliteStmt &operator=(const SqliteStmt &) = delete;
    SqliteStmt(SqliteStmt &&o) noexcept : stmt_(std::exchange(o.stmt_, nullptr)) {}
    SqliteStmt &operator=(SqliteStmt &&o) noexcept
    {
        if (this != &o) {
            reset();
            stmt_ = std::exchange(o.stmt_, nullptr);
        }
        return *this;
    }
    ~SqliteStmt() { reset(); }

    void reset()
    {
        if (stmt_)
            sqlite3_finalize(stmt_);
        stmt_ = nullptr;
    }
    sqlite3_stmt *get() const { return stmt_; }
    explicit operator bool() const { return stmt_ != nullptr; }

    // Prepares sql on db; throws DatabaseError naming path on failure.
    static SqliteStmt prepare(sqlite3 *db, const QString &path, const QByteArray &sql)
    {
        SqliteStmt s;
        if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &s.stmt_, nullptr) != SQLITE_OK)
            throw sqliteError(db, path, "prepare");
        return s;
    }

    void bindText(int pos, const QString &text)
    {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(stmt_, pos, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
    void bindInt(int pos, qint64 v) { sqlite3_bind_int64(stmt_, pos, v); }

    // Steps once: true for a row, false when done; throws on an error.
    bool step(sqlite3 *db, const QString &path)
    {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        throw sqliteError(db, path, "step");
    }

    QString text(int col) const
    {
        const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(stmt_, col));
        return p ? QString::fromUtf8(p, sqlite3_column_bytes(stmt_, col)) : QString();
    }
    qint64 integer(int col) const { return sqlite3_column_int64(stmt_, col); }

private:
    sqlite3_stmt *stmt_ = nullptr;
};

// Runs statements without results; throws DatabaseError naming path.
inline void sqliteExec(sqlite3 *db, const QString &path, const char *sql)
{
    char *err = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        const QString msg = QString::fromUtf8(err ? err : sqlite3_errmsg(db));
        sqlite3_free(err);
        throw DatabaseError(QStringLiteral("Embedded target \"%1\": %2").arg(path, msg));
    }
}

// A SQLite identifier in double quotes (inner quotes doubled).
inline QString sqliteQuote(const QString &name)
{
    QString q = name;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

} // namespace tavrex::embedded
