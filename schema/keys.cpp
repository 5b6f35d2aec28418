#include "schema/keys.h"

#include "connections/mysql/mysqlclient.h"
#include "connections/oracle/oraclesession.h"
#include "engine/core/errors.h"
#include "engine/core/identifiers.h"
#include "schema/tabledefinition.h"

#include <stdexcept>

namespace tavrex {

namespace {

QString quotedList(const QStringList &columns)
{
    QStringList quoted;
    quoted.reserve(columns.size());
    for (const QString &column : columns)
        quoted.append(quoteOracleName(column));
    return quoted.join(QLatin1Char(','));
}

// The rows of one key: from a row whose Seq_in_index is 1 (or the first
// row) up to the row before the next such row.
struct KeyRows {
    int firstRow = 0;  // 0-based position in the listing
    int count = 0;
};

QVector<KeyRows> groupKeys(const QVector<IndexListingRow> &rows)
{
    QVector<KeyRows> keys;
    for (int i = 0; i < rows.size(); ++i) {
        if (keys.isEmpty() || rows.at(i).Seq_in_index == 1)
            keys.append({i, 0});
        ++keys.last().count;
    }
    return keys;
}

KeyStatement buildKey(const QVector<IndexListingRow> &rows, const KeyRows &key, const QString &shapedName,
                      const QString &targetName, bool uppercaseNames, const KeyNaming &naming)
{
    const IndexListingRow &first = rows.at(key.firstRow);
    KeyStatement statement;
    if (first.Seq_in_index != 1) {
        statement.refusal = QStringLiteral("Cannot convert table ") + targetName +
                            QStringLiteral(": its index listing starts inside key ") + first.Key_name;
        return statement;
    }
    const bool primary = first.Key_name == QLatin1String("PRIMARY");
    const QString name = claimKeyName(primary ? primaryKeyName(first.Table, key.firstRow + 1)
                                              : indexName(first.Key_name, shapedName),
                                      targetName, naming);
    if (!isQuotableName(name)) {
        statement.refusal = doubleQuoteProblem(
            targetName, (primary ? QStringLiteral("the constraint name ") : QStringLiteral("the index name ")) + name);
        return statement;
    }
    QStringList columns;
    for (int i = key.firstRow; i < key.firstRow + key.count; ++i) {
        const QString column = naming.columns ? naming.columns->oracleName(rows.at(i).Column_name)
                                              : ShapeName(cutName(rows.at(i).Column_name), uppercaseNames);
        if (!isQuotableName(column)) {
            statement.refusal = doubleQuoteProblem(targetName, QStringLiteral("the column name ") + column +
                                                                   QStringLiteral(" of key ") + first.Key_name);
            return statement;
        }
        columns.append(column);
    }
    statement.text = primary ? primaryKeyStatement(targetName, name, columns)
                             : createIndexStatement(targetName, name, columns);
    return statement;
}

} // namespace

QString claimKeyName(const QString &name, const QString &targetName, const KeyNaming &naming)
{
    if (!naming.objects)
        return name;
    QString note;
    const QString given = naming.objects->claim(name, targetName, &note);
    if (!note.isEmpty() && naming.notes)
        naming.notes->append(note);
    return given;
}

bool stopBeforeNextStatement(const KeyStepContext &context)
{
    if (!context.control)
        return false;
    context.control->keepResponsive();
    return context.control->StopRequested();
}

std::optional<ColumnNames> keyColumnNames(const QStringList &keyColumns,
                                          const std::function<QStringList()> &listColumns, bool uppercaseNames)
{
    if (!needsColumnListing(keyColumns))
        return std::nullopt;
    return ColumnNames(listColumns(), uppercaseNames);
}

bool needsColumnListing(const QStringList &columnNames)
{
    // Two columns come to one Oracle name only when a name is cut.
    for (const QString &name : columnNames)
        if (name.size() > OracleNameLimit)
            return true;
    return false;
}

QString primaryKeyName(const QString &tableValue, int rowNumber)
{
    return ShapeName(cutName(QStringLiteral("PRIMARY") + tableValue + QString::number(rowNumber)), true);
}

QString indexName(const QString &keyName, const QString &shapedName)
{
    return ShapeName(cutName(QStringLiteral("idx_") + keyName + shapedName), true);
}

QString primaryKeyStatement(const QString &targetName, const QString &constraintName, const QStringList &columns)
{
    return QStringLiteral("alter table ") + quoteOracleName(targetName) + QStringLiteral("  add constraint ") +
           quoteOracleName(constraintName) + QStringLiteral(" primary key (") + quotedList(columns) +
           QLatin1Char(')');
}

QString createIndexStatement(const QString &targetName, const QString &indexName, const QStringList &columns)
{
    return QStringLiteral("create index ") + quoteOracleName(indexName) + QStringLiteral(" on ") +
           quoteOracleName(targetName) + QStringLiteral(" (") + quotedList(columns) + QLatin1Char(')');
}

QString createTextIndexStatement(const QString &targetName, const QString &indexName, const QString &column)
{
    return createIndexStatement(targetName, indexName, {column}) + QStringLiteral(" indextype is ctxsys.context");
}

QVector<KeyStatement> BuildKeyStatements(const QVector<IndexListingRow> &rows, const QString &shapedName,
                                         const QString &targetName, bool uppercaseNames, const KeyNaming &naming)
{
    checkTableName(targetName);
    QVector<KeyStatement> statements;
    for (const KeyRows &key : groupKeys(rows))
        statements.append(buildKey(rows, key, shapedName, targetName, uppercaseNames, naming));
    return statements;
}

QString indexListingStatement(const QString &sourceName)
{
    return QStringLiteral("show index from ") + quoteMySqlName(sourceName);
}

QVector<IndexListingRow> readIndexListing(MySqlConnection &dataConnection, const QString &sourceName)
{
    const std::unique_ptr<MySqlResult> listing = dataConnection.listing(indexListingStatement(sourceName));
    const int table = listing->fieldIndex(QStringLiteral("Table"));
    const int keyName = listing->fieldIndex(QStringLiteral("Key_name"));
    const int seq = listing->fieldIndex(QStringLiteral("Seq_in_index"));
    const int column = listing->fieldIndex(QStringLiteral("Column_name"));
    if (table < 0 || keyName < 0 || seq < 0 || column < 0)
        throw std::runtime_error(
            ("The index listing of " + sourceName + " lacks one of Table, Key_name, Seq_in_index, Column_name")
                .toStdString());
    QVector<IndexListingRow> rows;
    while (listing->next())
        rows.append({listing->text(table), listing->text(keyName), listing->text(seq).toInt(),
                     listing->text(column)});
    return rows;
}

TStepResult CreateKeysAndIndexes(MySqlConnection &dataConnection, OracleSession &oracledata,
                                 const QString &sourceName, const QString &shapedName, const QString &targetName,
                                 bool uppercaseNames, TRunLog &log, const KeyStepContext &context)
{
    TStepResult result;
    auto fail = [&](const QString &message) {
        result.Ok = false;
        result.ErrorText = message;
        log.Append(message);
        log.Append(QStringLiteral(" "));
        result.Errors << message;
    };
    if (!isQuotableName(targetName)) {
        fail(tableNameProblem(targetName));
        return result;
    }
    const QVector<IndexListingRow> rows = readIndexListing(dataConnection, sourceName);
    QStringList keyColumns;
    for (const IndexListingRow &row : rows)
        keyColumns << row.Column_name;
    const std::optional<ColumnNames> columns = keyColumnNames(
        keyColumns,
        [&] {
            QStringList fields;
            for (const ColumnListingRow &field : readColumnListing(dataConnection, sourceName))
                fields << field.Field;
            return fields;
        },
        uppercaseNames);
    QStringList notes;
    const KeyNaming naming{columns ? &*columns : nullptr, context.objectNames, &notes};
    const QVector<KeyStatement> statements = BuildKeyStatements(rows, shapedName, targetName, uppercaseNames, naming);
    for (const QString &note : notes)
        log.Append(note);
    for (const KeyStatement &statement : statements) {
        if (stopBeforeNextStatement(context))
            return result;
        if (statement.refused()) {
            fail(statement.refusal);
            continue;
        }
        try {
            oracledata.execute(statement.text);
        } catch (const DatabaseError &e) {
            fail(e.message());
        }
    }
    return result;
}

} // namespace tavrex
