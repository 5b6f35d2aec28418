#include "engine/catalogue.h"

#include "connections/oracle/oraclesession.h"
#include "engine/core/errors.h"

namespace tavrex {

bool TableExists(OracleSession &session, const QString &tableName, const QString &owner)
{
    return session.queryCount(tableExistsStatement(tableName, owner)) > 0;
}

TStepResult DropTable(OracleSession &session, const QString &tableName, bool cascadeConstraints)
{
    TStepResult result;
    if (!isQuotableName(tableName)) {
        result.Ok = false;
        result.ErrorText = tableNameProblem(tableName);
        return result;
    }
    try {
        session.execute(dropTableStatement(tableName) +
                        (cascadeConstraints ? QStringLiteral(" cascade constraints") : QString()));
    } catch (const DatabaseError &e) {
        result.Ok = false;
        result.ErrorText = e.message();
    }
    return result;
}

QString ShortenTableName(OracleSession &session, const QString &shapedName, const QString &owner)
{
    if (shapedName.size() <= OracleNameLimit)
        return shapedName;
    const QString stem = shapedName.left(OracleNameLimit - 4);
    QString candidate;
    for (int suffix = 0; suffix <= 100; ++suffix) {
        candidate = stem + QStringLiteral("%1").arg(suffix, 4, 10, QLatin1Char('0'));
        if (!TableExists(session, candidate, owner))
            return candidate;
    }
    return candidate;
}

} // namespace tavrex
