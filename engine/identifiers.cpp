#include "engine/identifiers.h"

#include "engine/textrules.h"

#include "connections/oracle/oraclesession.h"
#include "engine/errors.h"

namespace tavrex {

IdentifierError::IdentifierError(const QString &message)
    : std::runtime_error(message.toStdString()), message_(message)
{
}

QString ShapeName(const QString &name, bool uppercaseNames)
{
    return uppercaseNames ? asciiUpper(name) : name;
}

QString cutName(const QString &name)
{
    return name.left(OracleNameLimit);
}

bool isQuotableName(const QString &name)
{
    return !name.contains(QLatin1Char('"'));
}

QString doubleQuoteProblem(const QString &tableName, const QString &what)
{
    return QStringLiteral("Cannot convert table ") + tableName + QStringLiteral(": ") + what +
           QStringLiteral(" contains a double quote, which an Oracle name cannot hold");
}

QString tableNameProblem(const QString &tableName)
{
    return doubleQuoteProblem(tableName, QStringLiteral("its name"));
}

void checkTableName(const QString &tableName)
{
    if (!isQuotableName(tableName))
        throw IdentifierError(tableNameProblem(tableName));
}

QString quoteOracleName(const QString &name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}

QString quoteOracleLiteral(const QString &text)
{
    QString doubled = text;
    doubled.replace(QLatin1Char('\''), QStringLiteral("''"));
    return doubled;
}

QString tableExistsStatement(const QString &tableName, const QString &owner)
{
    checkTableName(tableName);
    return QStringLiteral("select count(*) cn from all_tables where table_name='") + quoteOracleLiteral(tableName) +
           QStringLiteral("' and upper(owner)='") + quoteOracleLiteral(ShapeName(owner, true)) +
           QStringLiteral("'");
}

QString dropTableStatement(const QString &tableName)
{
    checkTableName(tableName);
    return QStringLiteral("drop table ") + quoteOracleName(tableName);
}

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
