#pragma once

// The embedded Oracle-compatible target: an Oracle schema kept in one SQLite
// file. openOracleSession (connections/oracle/oracleconnection.cpp) calls
// openEmbeddedSession for a service name "embedded:PATH"; the conversion then
// uses the session through the OracleSession interface only. Tests reach the
// EmbeddedSession class for its one test hook; everything else about the file
// is read through connections/embedded/embeddedreader.h.
//
// What the target accepts and enforces: see connections/embedded/README.md.

#include "connections/oracle/oraclesession.h"

#include <QString>

#include <functional>
#include <memory>

namespace tavrex {

namespace embedded {
struct Statement;
}

// Opens a session on the embedded Oracle-compatible target stored in the
// SQLite file at path (relative to the working folder; created when missing,
// readable by its owner only). The schema owner is the login user upper-cased
// by the ASCII rule; the password is not checked. Throws DatabaseError: the
// Oracle logon error for an empty user, otherwise a message naming the path
// (missing folder, a file that cannot be written, is not a database or holds
// another program's tables; such a file is left as it was).
std::unique_ptr<OracleSession> openEmbeddedSession(const QString &path, const OracleLogin &login);

// The session of the embedded target. Each session is its own SQLite
// connection (WAL mode; a write waits for another session's), so two sessions on one file
// behave like two Oracle sessions: DDL commits at once and is visible to the
// other; a batch is one transaction, visible only after its commit.
class EmbeddedSession : public OracleSession {
public:
    ~EmbeddedSession() override;

    void execute(const QString &sql) override;
    qint64 queryCount(const QString &sql) override;
    QVector<OracleColumn> describe(const QString &sql) override;
    BatchResult insertBatch(const QString &table, const OracleRowBatch &batch) override;
    BatchResult insertBatchKeepingAccepted(const QString &table, const OracleRowBatch &batch) override;
    // "select * from T" (rows in insertion order), the describe query (no
    // rows) and the catalogue count (one row).
    std::unique_ptr<OracleRowReader> query(const QString &sql) override;
    // Converts a batch's values into what their columns store on the
    // thread that built it, from the table's columns as they are now.
    std::unique_ptr<BatchPreparer> batchPreparer(const QString &table, const QVector<OracleColumn> &columns) override;

    const QString &path() const;
    const QString &owner() const;

    // Test hook: called inside insertBatch after each accepted row (0-based
    // position), while the batch's transaction is still open. Tests use it to
    // look at the file from outside during a batch, or to be killed there.
    void setRowObserver(std::function<void(int row)> observer);
    // Test hook: asked once a batch has every row it keeps, or an UPDATE or
    // DELETE has changed its rows, just before the commit; false rolls the
    // batch or the statement back instead, and the batch still returns what
    // it found. The OCI test double checks the rows and statements of a
    // transaction it keeps open this way.
    void setCommitGate(std::function<bool()> gate);
    // Test hook: the bound of the write-ahead log file in bytes (64 MiB
    // unless set); a write that would take the log past it waits for the
    // background checkpoint first.
    void setLogLimitBytes(qint64 bytes);

private:
    friend std::unique_ptr<OracleSession> openEmbeddedSession(const QString &, const OracleLogin &);
    struct Impl;
    explicit EmbeddedSession(std::unique_ptr<Impl> impl);
    BatchResult insertRows(const QString &table, const OracleRowBatch &batch, bool keepAccepted);
    // An UPDATE or a DELETE, in the transaction that is open.
    void changeRows(const embedded::Statement &st);
    std::unique_ptr<Impl> d_;
};

} // namespace tavrex
