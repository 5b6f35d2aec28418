#pragma once

#include "connections/mysql/mysqlclient.h"
#include "connections/oracle/oraclesession.h"
#include "connections/rowbuffer.h"
#include "engine/runlog.h"

#include <QString>

#include <cstdint>

namespace tavrex {

// The counters of the row copy.
constexpr std::int64_t kProgressPeriod = 100;  // progress line, pump and stop test
constexpr std::int64_t kApplyPeriod = 5000;    // a batch is applied when counter % 5000 == 100
constexpr std::int64_t kApplyPhase = 100;

// The abort error of a stop request honoured inside the copy.
inline QString operationAbortedText() { return QStringLiteral("Operation aborted"); }

// "select * from `name`": the table named exactly as "show tables" listed it.
QString sourceRowsStatement(const QString &listedName);

// The apply state of the program (ApplyOk, ApplyErrorText): written by
// ApplyInserts and the rejection handler.
struct ApplyState {
    bool ApplyOk = true;
    QString ApplyErrorText;
};

// Called for a row that Oracle rejected during an apply: records the
// rejection and changes nothing else (the row is neither corrected nor retried).
void oracleinsertdataReconcileError(ApplyState &state, const QString &message);

// Sends the rows the buffer holds in one transaction and returns
// (ApplyOk, ApplyErrorText). An error of the apply itself, rather than a
// rejected row, throws DatabaseError.
ApplyState ApplyInserts(RowBuffer &buffer);

// Copies every row of the MySQL table (listedName, read on the data
// connection) into the Oracle table targetName through the row buffer on
// oracleconn. The run appends "Insert table T... " before the call; the copy
// rewrites that last line with its progress and appends a line
// name + ":" + kind for every field it could not write. Every 100 rows it
// pumps and tests the stop request; a batch is applied after rows 100, 5100,
// 10100, ... and at the end. On success ErrorText is left as it was.
TStepResult CopyRows(MySqlConnection &data, OracleSession &oracleconn, RowBuffer &oracleinsertdata,
                     const QString &listedName, const QString &targetName, TRunLog &log, RunControl &control);

} // namespace tavrex
