#pragma once

// The OracleSession of the Oracle client library. openOciSession
// (connections/oracle/ociclient.cpp) connects one through the loaded library for
// every service name that is not an embedded target.

#include "connections/oracle/ocidefs.h"
#include "connections/oracle/oraclesession.h"

#include <memory>

namespace tavrex {

// Connects through the bound library: a UTF-8 environment (AL32UTF8 for both
// character sets), the login's service as the connect identifier, its user
// and password (or the operating-system account when osAuthentication is
// set), then sets the session to count VARCHAR2/CHAR lengths in characters,
// to '.' as the decimal separator and to the date format
// YYYY-MM-DD HH24:MI:SS, so that bound texts mean the same everywhere.
// Throws DatabaseError with the server's "ORA-nnnnn: text".
//
// Statements: DDL is executed directly; the count query fetches its one row
// through an integer define with the login's prefetch rows; describe uses
// OCI_DESCRIBE_ONLY. insertBatch prepares one INSERT naming every batch
// column (LOB columns last) and sends the rows as array executes, normally
// one per batch, committed with the last; a rejected row is found by the row
// count, the batch rolled back, and its position and message returned. The
// batch's own statements (statementsBeforeCommit) are executed before its
// rows, in their transaction. A batch that the session's preparer made ready
// is bound from its filled buffers (batchPreparer).
// insertBatchKeepingAccepted sends the same arrays in batch-error mode, so
// that one execute reports every rejected row (OCI_ATTR_NUM_DML_ERRORS, then
// each row's error handle and OCI_ATTR_DML_ROW_OFFSET), and commits the
// accepted rows with OCITransCommit.
// Texts are bound as they are, trailing blanks included; the profile's
// "Trim Char" and "BlobSize" concern values read back, and this session
// reads none but the count.
std::unique_ptr<OracleSession> connectOciSession(const oci::Api &api, const OracleLogin &login);

} // namespace tavrex
