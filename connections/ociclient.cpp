#include "connections/ociclient.h"

#include "engine/errors.h"

namespace tavrex {

std::unique_ptr<OracleSession> openOciSession(const OracleLogin &login)
{
    // This build reaches Oracle only through the embedded target; the adapter
    // for the Oracle client library plugs in here.
    throw DatabaseError(
        QStringLiteral("Cannot connect to the Oracle service \"%1\": this needs the Oracle client library "
                       "(libclntsh.so from the Oracle Instant Client), which this build of Tavrex cannot use yet. "
                       "To convert into an embedded target file instead, enter the service name embedded:PATH.")
            .arg(login.service));
}

} // namespace tavrex
