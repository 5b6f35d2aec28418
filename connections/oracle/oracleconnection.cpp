#include "connections/oracle/oracleconnection.h"

#include "connections/embedded/embeddedtarget.h"
#include "connections/oracle/ociclient.h"
#include "engine/errors.h"

namespace tavrex {

namespace {
const QString kEmbeddedPrefix = QStringLiteral("embedded:");
}

OracleLogin oracleLoginFromParams(const Params &params)
{
    OracleLogin login;
    login.service = params.value(QStringLiteral("Database"));
    login.user = params.value(QStringLiteral("User_Name"));
    login.password = params.value(QStringLiteral("Password"));
    bool ok = false;
    const int rows = params.value(QStringLiteral("RowsetSize")).toInt(&ok);
    if (ok && rows > 0)
        login.prefetchRows = rows;
    login.osAuthentication =
        params.value(QStringLiteral("OS Authentication")).compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0;
    login.trimChar = params.value(QStringLiteral("Trim Char")).compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0;
    return login;
}

std::unique_ptr<OracleSession> openOracleSession(const OracleLogin &login)
{
    if (login.service.startsWith(kEmbeddedPrefix))
        return openEmbeddedSession(login.service.mid(kEmbeddedPrefix.size()), login);
    return openOciSession(login);
}

void OracleConnection::connect()
{
    close();
    session_ = openOracleSession(oracleLoginFromParams(params_));
}

OracleSession &OracleConnection::session()
{
    if (!session_)
        throw DatabaseError(QStringLiteral("The Oracle connection is not open"));
    return *session_;
}

} // namespace tavrex
