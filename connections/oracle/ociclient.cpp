#include "connections/oracle/ociclient.h"

#include "connections/oracle/ociloader.h"
#include "connections/oracle/ocisession.h"

namespace tavrex {

std::unique_ptr<OracleSession> openOciSession(const OracleLogin &login)
{
    return connectOciSession(loadOciLibrary(), login);
}

} // namespace tavrex
