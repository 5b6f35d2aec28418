#pragma once

#include "connections/oraclesession.h"

#include <memory>

namespace tavrex {

// Opens a session through the Oracle client library for a service name that
// is not an embedded target.
std::unique_ptr<OracleSession> openOciSession(const OracleLogin &login);

} // namespace tavrex
