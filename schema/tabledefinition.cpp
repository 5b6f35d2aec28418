#include "schema/tabledefinition.h"

#include "connections/mysql/mysqlclient.h"
#include "connections/oracle/oraclesession.h"
#include "engine/core/errors.h"
#include "engine/core/identifiers.h"
#include "schema/typemapping.h"

#include <QStringList>

#include <stdexcept>

namespace tavrex {

QString BuildCreateTableText(const QVector<ColumnListingRow> &columns, const QString &targetName,
                             bool uppercaseNames)
{
    checkTableName(targetName);
    QStringList lines;
    lines.append(QStringLiteral("Create table ") + quoteOracleName(targetName) + QStringLiteral(" ("));
    const ColumnNames names = tableColumnNames(columns, uppercaseNames);
    for (int i = 0; i < columns.size(); ++i) {
        const QString &name = names.oracleNames().at(i);
        if (!isQuotableName(name))
            throw IdentifierError(
                doubleQuoteProblem(targetName, QStringLiteral("the column name ") + cutName(columns.at(i).Field)));
        QString line;
        try {
            line = MapColumnType(name, columns.at(i).Type, uppercaseNames);
        } catch (const std::invalid_argument &e) {
            // The table fails with the column and its type named.
            throw std::invalid_argument(QStringLiteral("Cannot convert column %1 of type %2: %3")
                                            .arg(columns.at(i).Field, columns.at(i).Type, QString::fromUtf8(e.what()))
                                            .toStdString());
        }
        if (i + 1 < columns.size())
            line += QStringLiteral(" , ");
        lines.append(line);
    }
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral(" ) ");
}

ColumnNames tableColumnNames(const QVector<ColumnListingRow> &columns, bool uppercaseNames)
{
    QStringList fields;
    for (const ColumnListingRow &c : columns)
        fields << c.Field;
    return ColumnNames(fields, uppercaseNames);
}

QString columnListingStatement(const QString &sourceName)
{
    return QStringLiteral("show FIELDS from ") + quoteMySqlName(sourceName);
}

QVector<ColumnListingRow> readColumnListing(MySqlConnection &catalogue, const QString &sourceName)
{
    const std::unique_ptr<MySqlResult> listing = catalogue.listing(columnListingStatement(sourceName));
    const int field = listing->fieldIndex(QStringLiteral("Field"));
    const int type = listing->fieldIndex(QStringLiteral("Type"));
    if (field < 0 || type < 0)
        throw std::runtime_error(("The column listing of " + sourceName + " has no Field or Type column")
                                     .toStdString());
    QVector<ColumnListingRow> rows;
    while (listing->next())
        rows.append({listing->text(field), listing->text(type)});
    return rows;
}

QString BuildCreateTable(MySqlConnection &catalogue, const QString &sourceName, const QString &targetName,
                         bool uppercaseNames, QStringList *notes)
{
    const QVector<ColumnListingRow> columns = readColumnListing(catalogue, sourceName);
    if (notes)
        *notes = tableColumnNames(columns, uppercaseNames).renameLines(targetName);
    return BuildCreateTableText(columns, targetName, uppercaseNames);
}

TStepResult CreateTable(MySqlConnection &catalogue, OracleSession &oracleconn, const QString &sourceName,
                        const QString &targetName, bool uppercaseNames, QString *lastStatement, QStringList *notes)
{
    if (notes)
        notes->clear();
    TStepResult result;
    if (lastStatement)
        lastStatement->clear();
    if (!isQuotableName(targetName)) {
        result.Ok = false;
        result.ErrorText = tableNameProblem(targetName);
        return result;
    }
    QString statement;
    try {
        statement = BuildCreateTable(catalogue, sourceName, targetName, uppercaseNames, notes);
    } catch (const IdentifierError &e) {
        result.Ok = false;
        result.ErrorText = e.message();
        return result;
    }
    if (lastStatement)
        *lastStatement = statement;
    try {
        oracleconn.execute(statement);
    } catch (const DatabaseError &e) {
        result.Ok = false;
        result.ErrorText = e.message();
    }
    return result;
}

} // namespace tavrex
