#include "engine/core/identifiers.h"

#include "engine/core/textrules.h"

#include "engine/core/errors.h"

#include <QSet>

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

QString firstFreeName(const QString &name, const std::function<bool(const QString &)> &isTaken)
{
    if (!isTaken(name))
        return name;
    const QString stem = name.left(OracleNameLimit - 4);
    for (int suffix = 0; suffix <= 9999; ++suffix) {
        const QString candidate = stem + QStringLiteral("%1").arg(suffix, 4, 10, QLatin1Char('0'));
        if (!isTaken(candidate))
            return candidate;
    }
    throw std::runtime_error(QStringLiteral("Cannot find a free Oracle name for %1").arg(name).toStdString());
}

ColumnNames::ColumnNames(const QStringList &mysqlNames, bool uppercaseNames)
    : uppercase_(uppercaseNames), mysql_(mysqlNames)
{
    // Every column's own name is reserved first, so that a numbered name
    // never takes the name another column comes to by itself.
    QStringList natural;
    QHash<QString, int> keeper;  // name -> the column that keeps it
    for (int i = 0; i < mysqlNames.size(); ++i) {
        natural << ShapeName(cutName(mysqlNames.at(i)), uppercaseNames);
        keeper.insert(natural.last(), keeper.value(natural.last(), i));
    }
    QSet<QString> given(natural.begin(), natural.end());
    for (int i = 0; i < mysqlNames.size(); ++i) {
        QString name = natural.at(i);
        const int first = keeper.value(name);
        if (first != i) {
            name = firstFreeName(name, [&given](const QString &n) { return given.contains(n); });
            given.insert(name);
            renames_.push_back({i, first});
        }
        oracle_ << name;
        byMySqlName_.insert(mysqlNames.at(i), i);
    }
}

QString ColumnNames::oracleName(const QString &mysqlName) const
{
    const auto found = byMySqlName_.constFind(mysqlName);
    return found == byMySqlName_.constEnd() ? ShapeName(cutName(mysqlName), uppercase_) : oracle_.at(found.value());
}

QStringList ColumnNames::renameLines(const QString &tableName) const
{
    QStringList lines;
    for (const Rename &r : renames_)
        lines << QStringLiteral("Column %1 of table %2 is written into %3: %4 holds column %5")
                     .arg(mysql_.at(r.column), tableName, oracle_.at(r.column), oracle_.at(r.keeper),
                          mysql_.at(r.keeper));
    return lines;
}

std::vector<int> matchTargetColumns(const QStringList &fieldNames, bool uppercaseNames,
                                    const QStringList &targetColumns)
{
    const ColumnNames names(fieldNames, uppercaseNames);
    QHash<QString, int> exact;
    QHash<QString, QList<int>> byUpper;
    for (int c = 0; c < targetColumns.size(); ++c) {
        exact.insert(targetColumns.at(c), c);
        byUpper[asciiUpper(targetColumns.at(c))].append(c);
    }
    std::vector<int> match(size_t(fieldNames.size()), -1);
    std::vector<bool> taken(size_t(targetColumns.size()), false);
    // Exact names first, so that a column named exactly goes to its own
    // field even when an earlier field matches it by case alone.
    for (int f = 0; f < fieldNames.size(); ++f) {
        const int c = exact.value(names.oracleNames().at(f), -1);
        if (c >= 0 && !taken[size_t(c)]) {
            match[size_t(f)] = c;
            taken[size_t(c)] = true;
        }
    }
    for (int f = 0; f < fieldNames.size(); ++f) {
        if (match[size_t(f)] >= 0)
            continue;
        const QList<int> candidates = byUpper.value(asciiUpper(names.oracleNames().at(f)));
        if (candidates.size() == 1 && !taken[size_t(candidates.first())]) {
            match[size_t(f)] = candidates.first();
            taken[size_t(candidates.first())] = true;
        }
    }
    return match;
}

QString ObjectNames::claim(const QString &name, const QString &table, QString *note)
{
    const QString given = firstFreeName(name, [this](const QString &n) { return owners_.contains(n); });
    if (given != name && note)
        *note = QStringLiteral("Key %1 of table %2 is named %3: %1 is taken by table %4")
                    .arg(name, table, given, owners_.value(name));
    owners_.insert(given, table);
    return given;
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

} // namespace tavrex
