#pragma once

#include "connections/oraclesession.h"

#include <QString>

#include <memory>

namespace tavrex {

// Opens a session on the embedded Oracle-compatible target stored in the
// SQLite file at path (relative to the working folder; created when missing).
std::unique_ptr<OracleSession> openEmbeddedSession(const QString &path, const OracleLogin &login);

} // namespace tavrex
