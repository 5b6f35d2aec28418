#include "connections/ociclient.h"

#include "connections/ociloader.h"
#include "connections/ocisession.h"

namespace tavrex {

std::unique_ptr<OracleSession> openOciSession(const OracleLogin &login)
{
    return connectOciSession(loadOciLibrary(), login);
}

} // namespace tavrex
