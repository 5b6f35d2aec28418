#pragma once

#include "connections/oracle/oraclesession.h"
#include "connections/sourcekey.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace tavrex {

// The record of conversions: two tables in the target schema that every run
// keeps, so that any machine replaying a job finds what earlier runs did.
//
// TAVREX_CONVERSIONS holds one row per Oracle table a run created or filled:
// the MySQL table it came from (server, database, table), the run, what the
// run did to it (created or merged), its state, and how far its copy has
// committed (the source rows read up to the last committed batch, and with a
// copy in key order the key columns and the key of that batch's last row).
// The copy's progress is written in the transaction of the batch it
// describes, so the record and the rows never disagree. The run that holds
// the table (host, process, since when) is written when it takes it.
//
// TAVREX_CLAIMS holds one row per name a run may claim (a MySQL table, an
// Oracle table); a run claims a name by locking its row in a session of its
// own (select ... for update nowait) for as long as it writes the table. The
// server releases the lock when that session ends, so a claim of a run that
// died never blocks; a second run finds the row locked (ORA-00054).
//
// TAVREX_RANGES holds one row per key range of a table copied in ranges at
// once: the range's place and bounds, how many source rows come before it
// in key order, and its state and committed progress, kept like a table's
// (the progress in the transaction of the batch it describes).
//
// A target without these tables behaves as a first run; they are created
// when a run first needs them (TAVREX_RANGES by the first copy in ranges).
inline QString conversionRecordTable() { return QStringLiteral("TAVREX_CONVERSIONS"); }
inline QString claimTable() { return QStringLiteral("TAVREX_CLAIMS"); }
inline QString rangeTable() { return QStringLiteral("TAVREX_RANGES"); }

enum class RecordState {
    Created,   // the run has taken the table and is creating (or merging into) it
    Copying,   // rows are being copied; ROWS_READ says how far the copy has committed
    Copied,    // every row was read and committed
    Verified,  // copied, then read back equal
    Failed,    // the table's conversion ended with an error (ROWS_READ still holds)
};
QString recordStateText(RecordState state);
std::optional<RecordState> recordStateFromText(const QString &text);

// Which MySQL table an Oracle table came from.
struct SourceTable {
    QString server;    // host:port as the profile names it
    QString database;
    QString table;     // as "show tables" lists it

    bool operator==(const SourceTable &o) const
    {
        return server == o.server && database == o.database && table == o.table;
    }
};

// The run that writes a table: an id, and who it is for the message of a
// second run.
struct RunIdentity {
    QString id;           // "2026-12-11 16:25:24 on HOST (process N)": tells runs apart
    QString host;
    qint64 process = 0;
    QDateTime started;

    static RunIdentity current(const QDateTime &started);
};

// One row of TAVREX_CONVERSIONS.
struct RecordEntry {
    QString target;
    SourceTable source;
    QString run;
    RecordState state = RecordState::Created;
    bool created = true;            // ACTION: "created" (the run made the table) or "merged"
    std::int64_t rowsRead = 0;      // source rows read up to the last committed batch
    std::int64_t rowsWritten = 0;   // rows the run committed into the table, once copied
    QStringList keyColumns;         // the key the copy read in order of; empty: no key order
    QString lastKey;                // the key of the last row read up to that batch (encodeKey)
    QString host;                   // the run that holds or held the table
    qint64 process = 0;
    QDateTime claimed;
};

// One row of TAVREX_RANGES: a key range of a table copied in ranges. The
// range holds the keys from firstKey (empty: from the least) up to, not
// including, endKey (empty: to the greatest); rowsBefore source rows come
// before it in key order, so its rows are numbered after them.
struct RangeEntry {
    QString target;
    int number = 0;                 // 1 to count
    int count = 0;
    QString firstKey;               // the key column's value as MySQL writes it
    QString endKey;
    std::int64_t rowsBefore = 0;
    QString run;
    RecordState state = RecordState::Created;
    std::int64_t rowsRead = 0;      // the range's rows read up to its last committed batch
    QString lastKey;                // the key of the last of them (encodeKey)
};

// The record in one Oracle session (the run's main one): reads, creates and
// changes it. Every change is committed at once, except the progress of a
// batch, which is a statement for the batch's own transaction.
class ConversionRecord {
public:
    explicit ConversionRecord(OracleSession &session, QString owner);

    // Reads the record; creates its tables first when they are missing.
    // Throws DatabaseError when it can neither read nor create them.
    void open();
    // Reads the record when the target has it, without creating anything.
    void openExisting();

    // The entry of an Oracle table; null when the record has none.
    const RecordEntry *entryOfTarget(const QString &target) const;
    // The entry of the latest table made from this MySQL table; null when
    // none.
    const RecordEntry *entryOfSource(const SourceTable &source) const;
    // Reads the entry of a table again (another run may have changed it).
    const RecordEntry *reload(const QString &target);

    // Writes the entry (a new row, or the table's row replaced), committed.
    void write(const RecordEntry &entry);
    // Changes the state of the table's entry (and the rows written, when
    // given), committed.
    void setState(const QString &target, RecordState state, std::int64_t rowsWritten = -1);
    // The statement that records a batch's progress, for the batch's own
    // transaction (OracleRowBatch::setStatementsBeforeCommit).
    QString progressStatement(const QString &target, std::int64_t rowsRead, const QString &lastKey) const;
    // The progress of a batch was committed: the entry in memory follows.
    void progressCommitted(const QString &target, std::int64_t rowsRead, const QString &lastKey);

    // Makes sure a claim row for the name exists (committed); a row that
    // another run inserted at the same moment is as good.
    void ensureClaimRow(const QString &name);

    // The key ranges of a table, in their order; empty when it has none.
    std::vector<RangeEntry> rangesOf(const QString &target) const;
    // Replaces the table's key ranges (none: removes them), committed.
    void writeRanges(const QString &target, const std::vector<RangeEntry> &ranges);
    // Changes the state of a range, committed.
    void setRangeState(const QString &target, int number, RecordState state);
    // The statement that records a range's batch, for the batch's own
    // transaction, and its counterpart once the batch is committed.
    QString rangeProgressStatement(const QString &target, int number, std::int64_t rowsRead,
                                   const QString &lastKey) const;
    void rangeProgressCommitted(const QString &target, int number, std::int64_t rowsRead, const QString &lastKey);

private:
    void createTables();
    // Creates a table of the record with its primary key, unless it is there.
    void createTable(const QString &name, const QString &columns, const QString &key);
    void readAll();
    void readRanges();
    void commit();

    OracleSession &session_;
    QString owner_;
    QHash<QString, RecordEntry> entries_;  // by target
    QHash<QString, RangeEntry> ranges_;    // by range id (rangeId)
};

// The claims of one run, in a session of their own. A claim is held until
// release() (a rollback, which ends the session's transaction) or the
// session's end.
class TableClaims {
public:
    explicit TableClaims(std::unique_ptr<OracleSession> session);
    ~TableClaims();

    // Locks the names' rows without waiting. False, with nothing held, when
    // another session holds one of them (ORA-00054); other errors throw.
    bool claim(const QStringList &names);
    // Releases every claim of this session.
    void release();

private:
    std::unique_ptr<OracleSession> session_;
    bool holding_ = false;
};

// The claim names of a source table and of a target table.
QString sourceClaimName(const SourceTable &source);
QString targetClaimName(const QString &target);

// "Table T is being converted by another run (HOST, process N, since HH:MM:SS)".
QString claimedByAnotherRunText(const QString &table, const RecordEntry *holder);

} // namespace tavrex
