#pragma once

#include "connections/oracle/oraclesession.h"

#include <memory>

namespace tavrex {

// Opens a session through the Oracle client library for a service name that
// is not an embedded target (openOracleSession, connections/oracle/oracleconnection.cpp):
// loads the library on first use (connections/oracle/ociloader.h: TAVREX_OCI_LIBRARY,
// then libclntsh by the system's search path, then $ORACLE_HOME/lib) and
// connects (connections/oracle/ocisession.h). Throws DatabaseError: the load error
// with every place tried, or the server's "ORA-nnnnn: text".
std::unique_ptr<OracleSession> openOciSession(const OracleLogin &login);

} // namespace tavrex
