#pragma once

#include "connections/mysql/mysqlclient.h"
#include "connections/oracle/oraclesession.h"
#include "connections/rowbuffer.h"
#include "engine/core/runledger.h"
#include "engine/core/runlog.h"

#include <QString>

#include <cstdint>
#include <functional>

namespace tavrex {

// The counters of the row copy.
constexpr std::int64_t kProgressPeriod = 100;  // progress line, pump and stop test
constexpr std::int64_t kApplyPeriod = 5000;    // a batch is applied when counter % 5000 == 100
constexpr std::int64_t kApplyPhase = 100;
// A batch is also applied, early, right after the row with which the bytes it
// holds reach this cap (the buffered values plus the source values kept for
// the ledger), so memory stays bounded whatever the rows' size: a batch holds
// less than the cap plus one row. Below the cap the batches end after rows
// 100, 5100, 10100, ... and at the end; after an early apply the next batch
// still ends at the next of those points. Progress lines, pumps and stop
// tests stay every 100 rows. A text or binary value of the cap or more is
// not copied out of the source row: its batch refers to it there, and is
// sent and waited for before the next row is read.
constexpr std::int64_t kBatchByteCap = std::int64_t(64) * 1024 * 1024;

// The abort error of a stop request honoured inside the copy.
inline QString operationAbortedText() { return QStringLiteral("Operation aborted"); }

// "select * from `name`": the table named exactly as "show tables" listed it.
// With key columns, "... [where AFTER] order by `A`,`B`": the rows in key
// order, after a key when a condition is given (keyAfterCondition).
QString sourceRowsStatement(const QString &listedName, const QStringList &orderKey = {},
                            const QString &afterCondition = {});

// The apply state of the program (ApplyOk, ApplyErrorText): written by
// ApplyInserts and the rejection handler.
struct ApplyState {
    bool ApplyOk = true;
    QString ApplyErrorText;
};

// Called for a row that Oracle rejected during an apply: records the
// rejection and changes nothing else (the row is neither corrected nor retried).
void oracleinsertdataReconcileError(ApplyState &state, const QString &message);

// Sends the rows of a batch of the row buffer to targetName in one
// transaction and returns (ApplyOk, ApplyErrorText); *rejectedRow is the
// batch position of the row Oracle rejected, -1 when none was. An error of
// the apply itself, rather than a rejected row, throws DatabaseError.
ApplyState ApplyInserts(OracleSession &session, const QString &targetName, const OracleRowBatch &rows,
                        int *rejectedRow);

// A per-field error line repeats at most this often in one table's copy; the
// rest are counted and reported in one line after the table's insert line.
constexpr int kRepeatedLineLimit = 20;

// How the copy treats what it cannot write, and where it records it.
struct CopyOptions {
    // Rows that Oracle rejects are recorded and left out, and the other rows
    // of their batch are committed; otherwise the batch is rolled back and the
    // copy ends.
    bool continuePastRejected = false;
    RunLedger *ledger = nullptr;  // none: nothing is recorded
    // A batch is sent on a thread of its own while the next rows are read
    // and converted (one batch at most on its way, both within the byte
    // cap). The log, the ledger, the counts and the target are the same
    // either way; false sends each batch before reading on.
    bool sendAhead = true;
    // The run's "Make names uppercase": source fields go into the columns
    // that the table definition named for them (ColumnNames).
    bool uppercaseNames = false;
    // Called with the rows read so far at every pump point, before the pump.
    std::function<void(std::int64_t)> progress;

    // The record of the copy's progress. When set, each batch carries the
    // statement it returns, in the batch's own transaction, for the source
    // rows read when the batch left and the key of the last of them (empty
    // without orderKey); once the batch is committed, progressCommitted is
    // called with the same figures.
    std::function<QString(std::int64_t rowsRead, const QString &lastKey)> progressRecord;
    std::function<void(std::int64_t rowsRead, const QString &lastKey)> progressCommitted;
    // Read in the order of these key columns (empty: the server's order),
    // after the rows a MySQL condition excludes (an interrupted copy's last
    // key), the row positions of the ledger following rowsBefore.
    QStringList orderKey;
    QString afterCondition;
    std::int64_t rowsBefore = 0;
};

// What one copy did.
struct CopyCounts {
    std::int64_t rowsRead = 0;  // by this copy (a continued copy: after rowsBefore)
    std::int64_t rowsWritten = 0;  // rows committed in Oracle
    std::int64_t valuesRejected = 0;
    std::int64_t rowsRejected = 0;
    // Per-field error lines beyond the repeat limit: the line and how many
    // more times it came.
    std::vector<std::pair<QString, std::int64_t>> suppressedLines;
};

// The line written after a table's insert line for an error line that came
// more often than the repeat limit.
QString repeatedLineText(const QString &line, std::int64_t more);

// A source value as the ledger and the reload files write it: NULL empty,
// bytes as 0x and hex digits, everything else as its text.
QString sourceValueText(const MySqlValue &value);

// Copies every row of the MySQL table (listedName, read on the data
// connection) into the Oracle table targetName through the row buffer on
// oracleconn. The run appends "Insert table T... " before the call; the copy
// rewrites that last line with its progress and appends a line
// name + ":" + kind for every field it could not write. Every 100 rows it
// pumps and tests the stop request; a batch is applied after rows 100, 5100,
// 10100, ..., at the end, and whenever it holds kBatchByteCap bytes. Between
// those points it keeps the window responsive (RunControl::keepResponsive)
// while a long row arrives or a batch on its way is awaited. On success
// ErrorText is left as it was.
//
// A progress text never replaces a per-field error line: after error lines
// the next progress text is a line of its own. Every value left unwritten and
// every row not inserted is recorded in the ledger with its reason.
TStepResult CopyRows(MySqlConnection &data, OracleSession &oracleconn, RowBuffer &oracleinsertdata,
                     const QString &listedName, const QString &targetName, TRunLog &log, RunControl &control,
                     const CopyOptions &options = {}, CopyCounts *counts = nullptr);

} // namespace tavrex
