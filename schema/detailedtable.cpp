#include "schema/detailedtable.h"

#include "connections/mysql/mysqlclient.h"
#include "connections/oracle/oraclesession.h"
#include "connections/rowbuffer.h"
#include "engine/core/errors.h"
#include "engine/core/identifiers.h"

#include <QRegularExpression>
#include <QSet>

#include <stdexcept>

namespace tavrex {

namespace {

using Family = DetailedType::Family;

bool isCurrentTimestamp(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^(current_timestamp|now|localtime|localtimestamp)"
                                                      "(\\s*\\(\\s*\\d*\\s*\\))?$"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re.match(text.trimmed()).hasMatch();
}

bool isPlainNumber(const QString &text, bool exponent)
{
    static const QRegularExpression plain(QStringLiteral("^[+-]?(\\d+(\\.\\d*)?|\\.\\d+)$"));
    static const QRegularExpression withExponent(
        QStringLiteral("^[+-]?(\\d+(\\.\\d*)?|\\.\\d+)([eE][+-]?\\d+)?$"));
    return (exponent ? withExponent : plain).match(text).hasMatch();
}

// 'it''s' and 'a\nb' as MariaDB shows a literal default: the value inside.
QString unquoteMariaDbLiteral(const QString &quoted)
{
    QString value;
    const QStringView inner = QStringView(quoted).mid(1, quoted.size() - 2);
    for (qsizetype i = 0; i < inner.size(); ++i) {
        const QChar c = inner.at(i);
        if (c == QLatin1Char('\'') && i + 1 < inner.size() && inner.at(i + 1) == QLatin1Char('\'')) {
            value += c;
            ++i;
        } else if (c == QLatin1Char('\\') && i + 1 < inner.size()) {
            const QChar e = inner.at(++i);
            switch (e.unicode()) {
            case '0': value += QChar(0); break;
            case 'n': value += QLatin1Char('\n'); break;
            case 'r': value += QLatin1Char('\r'); break;
            case 't': value += QLatin1Char('\t'); break;
            case 'b': value += QChar(8); break;
            case 'Z': value += QChar(0x1A); break;
            case '%':
            case '_': value += QLatin1Char('\\'); value += e; break;  // kept as MySQL keeps them
            default: value += e; break;
            }
        } else {
            value += c;
        }
    }
    return value;
}

// b'101' as a decimal number; empty when it is not a bit literal.
QString bitLiteralValue(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^[bB]'([01]{1,64})'$"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return QString();
    bool ok = false;
    const quint64 value = m.captured(1).toULongLong(&ok, 2);
    return ok ? QString::number(value) : QString();
}

QString twoDigits(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

QString dateText(const OracleDate &d)
{
    return QStringLiteral("%1-%2-%3 %4:%5:%6")
        .arg(d.year, 4, 10, QLatin1Char('0'))
        .arg(twoDigits(d.month), twoDigits(d.day), twoDigits(d.hour), twoDigits(d.minute), twoDigits(d.second));
}

QString nanoText(int nanosecond)
{
    return QStringLiteral("%1").arg(nanosecond, 9, 10, QLatin1Char('0'));
}

QString literal(const QString &text)
{
    return QLatin1Char('\'') + quoteOracleLiteral(text) + QLatin1Char('\'');
}

// The names the columns have in the Oracle table.
ColumnNames columnNames(const QVector<DetailedColumn> &columns, bool uppercaseNames)
{
    QStringList names;
    for (const DetailedColumn &c : columns)
        names << c.column.name;
    return ColumnNames(names, uppercaseNames);
}

QString quotedList(const QStringList &names)
{
    QStringList quoted;
    for (const QString &n : names)
        quoted.append(quoteOracleName(n));
    return quoted.join(QLatin1Char(','));
}

QString sqlLiteral(const QString &text)
{
    return mysqlTextLiteral(text);
}

// The columns that need counting: NOT NULL columns whose Oracle type stores
// a zero-length value as NULL.
bool mayHoldEmpty(const DetailedColumn &c, const DetailedType &t)
{
    return c.notNull && !c.autoIncrement &&
           (t.isCharacter() || t.family == Family::Raw || t.family == Family::Blob);
}

// The number of '' (or zero-length bytes) in each such column, in one query.
QHash<QString, qint64> countEmptyValues(MySqlConnection &catalogue, const QString &database,
                                        const QString &sourceName, const QVector<DetailedColumn> &columns,
                                        const QString &targetName)
{
    QHash<QString, qint64> counts;
    QStringList sums, names;
    for (const DetailedColumn &c : columns) {
        const DetailedType t = MapDetailedType(c.column, targetName);
        if (t.failed())
            return counts;  // the table fails anyway: no need to read it
        if (!mayHoldEmpty(c, t))
            continue;
        sums.append(QStringLiteral("sum(length(%1) = 0)").arg(quoteMySqlName(c.column.name)));
        names.append(c.column.name);
    }
    if (sums.isEmpty())
        return counts;
    const auto result = catalogue.listing(QStringLiteral("select %1 from %2.%3")
                                              .arg(sums.join(QStringLiteral(", ")), quoteMySqlName(database),
                                                   quoteMySqlName(sourceName)));
    if (result->next()) {
        for (int i = 0; i < names.size(); ++i)
            counts.insert(names.at(i), result->isNull(i) ? 0 : result->text(i).toLongLong());
    }
    return counts;
}

QString readTableComment(MySqlConnection &catalogue, const QString &database, const QString &sourceName)
{
    const auto result = catalogue.listing(
        QStringLiteral("select table_comment, table_type from information_schema.tables where table_schema = %1 "
                       "and table_name = %2")
            .arg(sqlLiteral(database), sqlLiteral(sourceName)));
    if (result->next() && result->text(1) == QLatin1String("BASE TABLE"))
        return result->text(0);
    return QString();
}

} // namespace

ColumnDefault parseColumnDefault(const QString &columnDefault, bool isNull, const QString &extra, bool mariaDb)
{
    ColumnDefault d;
    if (isNull)
        return d;
    const QString text = columnDefault;
    if (mariaDb) {
        if (text.compare(QLatin1String("NULL"), Qt::CaseInsensitive) == 0)
            return d;
        if (text.size() >= 2 && text.startsWith(QLatin1Char('\'')) && text.endsWith(QLatin1Char('\''))) {
            d.kind = ColumnDefault::Kind::Literal;
            d.text = unquoteMariaDbLiteral(text);
            return d;
        }
        if (isCurrentTimestamp(text)) {
            d.kind = ColumnDefault::Kind::CurrentTimestamp;
            return d;
        }
        if (isPlainNumber(text, true) || !bitLiteralValue(text).isEmpty()) {
            d.kind = ColumnDefault::Kind::Literal;
            d.text = text;
            return d;
        }
        d.kind = ColumnDefault::Kind::Expression;
        d.text = text;
        return d;
    }
    if (isCurrentTimestamp(text)) {
        d.kind = ColumnDefault::Kind::CurrentTimestamp;
        return d;
    }
    d.kind = extra.contains(QLatin1String("DEFAULT_GENERATED"), Qt::CaseInsensitive)
                 ? ColumnDefault::Kind::Expression
                 : ColumnDefault::Kind::Literal;
    d.text = text;
    return d;
}

QString oracleDefaultExpression(const DetailedColumn &column, const DetailedType &type, QString *dropped)
{
    const ColumnDefault &d = column.defaultValue;
    auto drop = [&](const QString &why) {
        if (dropped)
            *dropped = why;
        return QString();
    };
    if (dropped)
        dropped->clear();
    switch (d.kind) {
    case ColumnDefault::Kind::None:
        return QString();
    case ColumnDefault::Kind::Expression:
        return drop(QStringLiteral("its default %1 is an expression, which is not kept").arg(d.text));
    case ColumnDefault::Kind::CurrentTimestamp:
        if (type.family == Family::Date)
            return QStringLiteral("SYSDATE");
        if (type.family == Family::Timestamp)
            return QStringLiteral("SYSTIMESTAMP");
        return drop(QStringLiteral("its default CURRENT_TIMESTAMP does not fit its type %1 and is not kept")
                        .arg(type.type));
    case ColumnDefault::Kind::Literal:
        break;
    }
    const QString &v = d.text;
    const QString notKept = QStringLiteral("its default '%1' is not a value of %2 and is not kept").arg(v, type.type);
    switch (type.family) {
    case Family::Number: {
        const QString bits = bitLiteralValue(v);
        if (!bits.isEmpty())
            return bits;
        if (!isPlainNumber(v, false))
            return drop(notKept);
        return v.startsWith(QLatin1Char('+')) ? v.mid(1) : v;
    }
    case Family::BinaryFloat:
    case Family::BinaryDouble:
        if (!isPlainNumber(v, true))
            return drop(notKept);
        return QStringLiteral("%1('%2')")
            .arg(type.family == Family::BinaryFloat ? QLatin1String("TO_BINARY_FLOAT")
                                                    : QLatin1String("TO_BINARY_DOUBLE"),
                 v);
    case Family::Date: {
        const auto date = v.size() <= 10 ? parseMySqlDate(v) : parseMySqlDateTime(v);
        if (!date)
            return drop(notKept);
        return QStringLiteral("TO_DATE('%1','YYYY-MM-DD HH24:MI:SS')").arg(dateText(*date));
    }
    case Family::Timestamp: {
        const auto ts = parseMySqlTimestamp(v.size() <= 10 ? v + QStringLiteral(" 00:00:00") : v);
        if (!ts)
            return drop(notKept);
        return QStringLiteral("TO_TIMESTAMP('%1.%2','YYYY-MM-DD HH24:MI:SS.FF9')")
            .arg(dateText(ts->date), nanoText(ts->nanosecond));
    }
    case Family::Interval: {
        const auto i = parseMySqlInterval(v);
        if (!i)
            return drop(notKept);
        return QStringLiteral("TO_DSINTERVAL('%1%2 %3:%4:%5.%6')")
            .arg(i->negative ? QStringLiteral("-") : QStringLiteral("+"))
            .arg(i->days)
            .arg(twoDigits(i->hours), twoDigits(i->minutes), twoDigits(i->seconds), nanoText(i->nanosecond));
    }
    case Family::Char:
    case Family::Varchar2:
    case Family::Clob:
        if (v.isEmpty())
            return drop(QStringLiteral("its default '' is NULL in Oracle and is not kept"));
        return literal(v);
    case Family::Raw:
    case Family::Blob: {
        QByteArray bytes = v.toUtf8();
        if (column.column.dataType == QLatin1String("binary") && bytes.size() < column.column.charLength)
            bytes.append(QByteArray(int(column.column.charLength - bytes.size()), '\0'));
        if (bytes.isEmpty())
            return drop(QStringLiteral("its default '' is NULL in Oracle and is not kept"));
        return QStringLiteral("HEXTORAW('%1')").arg(QString::fromLatin1(bytes.toHex().toUpper()));
    }
    case Family::Geometry:
        return drop(notKept);
    case Family::Unsupported:
        break;
    }
    return QString();
}

DetailedTableStatements BuildDetailedTable(const QVector<DetailedColumn> &columns,
                                           const QHash<QString, qint64> &emptyValues, const QString &tableComment,
                                           const QString &targetName, bool uppercaseNames)
{
    checkTableName(targetName);
    DetailedTableStatements out;
    const QString table = quoteOracleName(targetName);
    QStringList lines;
    lines.append(QStringLiteral("Create table ") + table + QStringLiteral(" ("));
    const ColumnNames names = columnNames(columns, uppercaseNames);
    out.notes.append(names.renameLines(targetName));
    for (int i = 0; i < columns.size(); ++i) {
        const DetailedColumn &c = columns.at(i);
        const QString name = names.oracleNames().at(i);
        if (!isQuotableName(name)) {
            out.problem = doubleQuoteProblem(targetName, QStringLiteral("the column name ") + name);
            return out;
        }
        const DetailedType type = MapDetailedType(c.column, targetName);
        if (type.failed()) {
            out.problem = type.problem;
            return out;
        }
        if (!type.logLine.isEmpty())
            out.notes.append(type.logLine);
        QString line = quoteOracleName(name) + QLatin1Char(' ') + type.type;
        QString dropped;
        const QString defaultExpression = oracleDefaultExpression(c, type, &dropped);
        if (!dropped.isEmpty())
            out.notes.append(QStringLiteral("Column %1 of table %2: %3").arg(name, targetName, dropped));
        if (c.extra.contains(QLatin1String("on update"), Qt::CaseInsensitive))
            out.notes.append(QStringLiteral("Column %1 of table %2: its ON UPDATE rule is not kept (%3)")
                                 .arg(name, targetName, c.extra));
        if (c.autoIncrement) {
            line += QStringLiteral(" GENERATED BY DEFAULT AS IDENTITY");
        } else {
            if (!defaultExpression.isEmpty())
                line += QStringLiteral(" DEFAULT ") + defaultExpression;
            const qint64 empty = emptyValues.value(c.column.name, 0);
            if (c.notNull && empty > 0)
                out.notes.append(QStringLiteral("Column %1 of table %2 holds %3 empty %4, which Oracle stores as "
                                                "NULL: it is created without NOT NULL")
                                     .arg(name, targetName)
                                     .arg(empty)
                                     .arg(empty == 1 ? QStringLiteral("value") : QStringLiteral("values")));
            else if (c.notNull)
                line += QStringLiteral(" NOT NULL");
        }
        if (i + 1 < columns.size())
            line += QStringLiteral(" , ");
        lines.append(line);
        if (!type.checkValues.isEmpty()) {
            QStringList values;
            for (const QString &v : type.checkValues)
                values.append(literal(v));
            out.constraints.append(QStringLiteral("alter table %1 add check (%2 in (%3))")
                                       .arg(table, quoteOracleName(name), values.join(QLatin1Char(','))));
        }
        if (!c.comment.isEmpty())
            out.comments.append(QStringLiteral("comment on column %1.%2 is %3")
                                    .arg(table, quoteOracleName(name), literal(c.comment)));
    }
    if (!tableComment.isEmpty())
        out.comments.prepend(QStringLiteral("comment on table %1 is %2").arg(table, literal(tableComment)));
    out.createTable = lines.join(QStringLiteral("\r\n")) + QStringLiteral(" ) ");
    return out;
}

QVector<DetailedColumn> readDetailedColumns(MySqlConnection &catalogue, const QString &database,
                                            const QString &sourceName)
{
    const auto result = catalogue.listing(
        QStringLiteral("select c.column_name, c.data_type, c.column_type, c.character_maximum_length, s.maxlen, "
                       "c.numeric_precision, c.numeric_scale, c.datetime_precision, c.is_nullable, "
                       "c.column_default, c.extra, c.column_comment, version() "
                       "from information_schema.columns c left join information_schema.character_sets s "
                       "on s.character_set_name = c.character_set_name "
                       "where c.table_schema = %1 and c.table_name = %2 order by c.ordinal_position")
            .arg(sqlLiteral(database), sqlLiteral(sourceName)));
    QVector<DetailedColumn> columns;
    while (result->next()) {
        DetailedColumn d;
        CatalogColumn &c = d.column;
        c.name = result->text(0);
        c.dataType = result->text(1);  // lower-cased by the ASCII rule below
        for (QChar &ch : c.dataType)
            if (ch >= QLatin1Char('A') && ch <= QLatin1Char('Z'))
                ch = QChar(ch.unicode() + ('a' - 'A'));
        c.columnType = result->text(2);
        c.charLength = result->text(3).toLongLong();
        c.maxCharBytes = result->text(4).toInt();
        c.precision = result->text(5).toInt();
        c.scale = result->text(6).toInt();
        c.fractionDigits = result->text(7).toInt();
        c.isUnsigned = c.columnType.contains(QLatin1String("unsigned"), Qt::CaseInsensitive);
        c.values = parseEnumValues(c.columnType);
        d.notNull = result->text(8) == QLatin1String("NO");
        d.extra = result->text(10);
        d.autoIncrement = d.extra.contains(QLatin1String("auto_increment"), Qt::CaseInsensitive);
        d.defaultValue = parseColumnDefault(result->text(9), result->isNull(9), d.extra,
                                            result->text(12).contains(QLatin1String("MariaDB"), Qt::CaseInsensitive));
        d.comment = result->text(11);
        columns.append(d);
    }
    if (columns.isEmpty())
        throw std::runtime_error(QStringLiteral("Table %1 has no columns in database %2")
                                     .arg(sourceName, database)
                                     .toStdString());
    return columns;
}

TStepResult CreateDetailedTable(MySqlConnection &catalogue, OracleSession &oracleconn, const QString &database,
                                const QString &sourceName, const QString &targetName, bool uppercaseNames,
                                QStringList *notes, QString *lastStatement)
{
    TStepResult result;
    QStringList ownNotes;
    QStringList &lines = notes ? *notes : ownNotes;
    lines.clear();
    if (lastStatement)
        lastStatement->clear();
    if (!isQuotableName(targetName)) {
        result.Ok = false;
        result.ErrorText = tableNameProblem(targetName);
        return result;
    }
    const QVector<DetailedColumn> columns = readDetailedColumns(catalogue, database, sourceName);
    const QHash<QString, qint64> empty = countEmptyValues(catalogue, database, sourceName, columns, targetName);
    const DetailedTableStatements statements =
        BuildDetailedTable(columns, empty, readTableComment(catalogue, database, sourceName), targetName,
                           uppercaseNames);
    lines = statements.notes;
    if (!statements.problem.isEmpty()) {
        result.Ok = false;
        result.ErrorText = statements.problem;
        return result;
    }
    if (lastStatement)
        *lastStatement = statements.createTable;
    try {
        oracleconn.execute(statements.createTable);
    } catch (const DatabaseError &e) {
        result.Ok = false;
        result.ErrorText = e.message();
        return result;
    }
    // The CHECK constraints and comments of a created table: the first
    // failure is the step's error, any further one a line after it.
    for (const QString &statement : statements.constraints + statements.comments) {
        try {
            oracleconn.execute(statement);
        } catch (const DatabaseError &e) {
            if (result.Ok) {
                result.Ok = false;
                result.ErrorText = e.message();
            } else {
                lines.append(e.message());
            }
        }
    }
    return result;
}

namespace {

// The name of the part-th Oracle Text index of a FULLTEXT key (1-based): the
// key's index name, then that name with "_2", "_3", ... in place of its last
// characters when it would pass 30 characters.
QString textIndexName(const QString &name, int part)
{
    if (part == 1)
        return name;
    const QString suffix = QLatin1Char('_') + QString::number(part);
    return name.left(OracleNameLimit - suffix.size()) + suffix;
}

// A FULLTEXT key as Oracle Text (CONTEXT) indexes: one per column, a column
// that has one already left out.
void appendTextIndexes(QVector<KeyStatement> &statements, const DetailedKey &key, const QString &name,
                       const QStringList &columns, const QString &targetName, QSet<QString> &textIndexed)
{
    QStringList made, skipped;
    for (const QString &column : columns) {
        if (textIndexed.contains(column)) {
            skipped.append(column);
            continue;
        }
        textIndexed.insert(column);
        KeyStatement s;
        const QString partName = textIndexName(name, int(made.size()) + 1);
        s.text = createTextIndexStatement(targetName, partName, column);
        statements.append(s);
        made.append(QStringLiteral("%1 (%2)").arg(partName, column));
    }
    QStringList notes;
    if (columns.size() > 1)
        notes.append(QStringLiteral("FULLTEXT index %1 of table %2 covers %3 columns and becomes one Oracle Text "
                                    "index per column: %4")
                         .arg(key.name, targetName)
                         .arg(columns.size())
                         .arg(made.isEmpty() ? QStringLiteral("none") : made.join(QStringLiteral(", "))));
    if (!skipped.isEmpty())
        notes.append(QStringLiteral("FULLTEXT index %1 of table %2: %3 %4 an Oracle Text index already and %5 no "
                                    "other")
                         .arg(key.name, targetName, skipped.join(QStringLiteral(", ")),
                              skipped.size() == 1 ? QStringLiteral("has") : QStringLiteral("have"),
                              skipped.size() == 1 ? QStringLiteral("gets") : QStringLiteral("get")));
    // The notes ride on the key's last statement, or on one of their own.
    if (notes.isEmpty())
        return;
    if (made.isEmpty())
        statements.append(KeyStatement());
    statements.last().notes = notes;
}

} // namespace

QVector<KeyStatement> BuildDetailedKeyStatements(const QVector<DetailedKey> &keys, const QString &shapedName,
                                                 const QString &targetName, bool uppercaseNames,
                                                 const KeyNaming &naming)
{
    checkTableName(targetName);
    QVector<KeyStatement> statements;
    QSet<QString> textIndexed;  // the columns that have an Oracle Text index
    for (const DetailedKey &key : keys) {
        KeyStatement s;
        const bool primary = key.name == QLatin1String("PRIMARY");
        const QString name =
            claimKeyName(primary ? primaryKeyName(key.table, 1) : indexName(key.name, shapedName), targetName, naming);
        if (!isQuotableName(name)) {
            s.refusal = doubleQuoteProblem(
                targetName, (primary ? QStringLiteral("the constraint name ") : QStringLiteral("the index name ")) + name);
            statements.append(s);
            continue;
        }
        QStringList columns;
        for (const QString &column : key.columns) {
            const QString shaped =
                naming.columns ? naming.columns->oracleName(column) : ShapeName(cutName(column), uppercaseNames);
            if (!isQuotableName(shaped)) {
                s.refusal = doubleQuoteProblem(targetName, QStringLiteral("the column name ") + shaped +
                                                               QStringLiteral(" of key ") + key.name);
                break;
            }
            columns.append(shaped);
        }
        if (s.refused()) {
            statements.append(s);
            continue;
        }
        if (key.indexType == QLatin1String("SPATIAL")) {
            s.notes << QStringLiteral("Spatial index %1 of table %2 is left out: Oracle's spatial index needs the "
                                    "extent of the layer registered first, which MySQL does not keep")
                         .arg(key.name, targetName);
            statements.append(s);
            continue;
        }
        if (key.indexType == QLatin1String("FULLTEXT")) {
            appendTextIndexes(statements, key, name, columns, targetName, textIndexed);
            continue;
        }
        if (primary)
            s.text = primaryKeyStatement(targetName, name, columns);
        else if (key.unique)
            s.text = QStringLiteral("alter table %1 add constraint %2 unique (%3)")
                         .arg(quoteOracleName(targetName), quoteOracleName(name), quotedList(columns));
        else
            s.text = createIndexStatement(targetName, name, columns);
        statements.append(s);
    }
    return statements;
}

namespace {

// The keys of a table: the primary key first, then the unique keys, then the
// others, each with its columns in key order.
QVector<DetailedKey> readDetailedKeys(MySqlConnection &catalogue, const QString &database, const QString &sourceName)
{
    const auto result = catalogue.listing(
        QStringLiteral("select index_name, non_unique, column_name, table_name, index_type "
                       "from information_schema.statistics where table_schema = %1 and table_name = %2 "
                       "order by index_name <> 'PRIMARY', non_unique, index_name, seq_in_index")
            .arg(sqlLiteral(database), sqlLiteral(sourceName)));
    QVector<DetailedKey> keys;
    while (result->next()) {
        const QString name = result->text(0);
        if (keys.isEmpty() || keys.last().name != name) {
            DetailedKey key;
            key.name = name;
            key.unique = result->text(1) == QLatin1String("0");
            key.table = result->text(3);
            key.indexType = result->text(4).toUpper();
            keys.append(key);
        }
        keys.last().columns.append(result->text(2));
    }
    return keys;
}

void logFailure(TStepResult &result, TRunLog &log, const QString &message)
{
    result.Ok = false;
    result.ErrorText = message;
    result.Errors << message;
    log.Append(message);
    log.Append(QStringLiteral(" "));
}

} // namespace

TStepResult CreateDetailedKeys(MySqlConnection &catalogue, OracleSession &oracledata, const QString &database,
                               const QString &sourceName, const QString &shapedName, const QString &targetName,
                               bool uppercaseNames, TRunLog &log, const KeyStepContext &context,
                               QStringList *notes)
{
    TStepResult result;
    if (notes)
        notes->clear();
    if (!isQuotableName(targetName)) {
        logFailure(result, log, tableNameProblem(targetName));
        return result;
    }
    const QVector<DetailedKey> keys = readDetailedKeys(catalogue, database, sourceName);
    QStringList keyColumns;
    for (const DetailedKey &key : keys)
        keyColumns << key.columns;
    const std::optional<ColumnNames> columns = keyColumnNames(
        keyColumns,
        [&] {
            QStringList names;
            for (const DetailedColumn &c : readDetailedColumns(catalogue, database, sourceName))
                names << c.column.name;
            return names;
        },
        uppercaseNames);
    QStringList renames;
    const KeyNaming naming{columns ? &*columns : nullptr, context.objectNames, &renames};
    const QVector<KeyStatement> statements =
        BuildDetailedKeyStatements(keys, shapedName, targetName, uppercaseNames, naming);
    for (const QString &rename : renames)
        log.Append(rename);
    for (const KeyStatement &statement : statements) {
        if (notes)
            notes->append(statement.notes);
        if (stopBeforeNextStatement(context))
            return result;
        if (statement.refused()) {
            logFailure(result, log, statement.refusal);
            continue;
        }
        if (statement.text.isEmpty())
            continue;
        try {
            oracledata.execute(statement.text);
        } catch (const DatabaseError &e) {
            logFailure(result, log, e.message());
        }
    }
    return result;
}

TStepResult ContinueIdentities(MySqlConnection &catalogue, OracleSession &oracleconn, const QString &database,
                               const QString &sourceName, const QString &targetName, bool uppercaseNames,
                               TRunLog &log, const KeyStepContext &context)
{
    TStepResult result;
    if (!isQuotableName(targetName))
        return result;  // the table step refused it already
    const QVector<DetailedColumn> columns = readDetailedColumns(catalogue, database, sourceName);
    const ColumnNames names = columnNames(columns, uppercaseNames);
    for (int i = 0; i < columns.size(); ++i) {
        if (!columns.at(i).autoIncrement)
            continue;
        const QString &name = names.oracleNames().at(i);
        if (!isQuotableName(name))
            continue;  // the table step refused it already
        if (stopBeforeNextStatement(context))
            return result;
        try {
            oracleconn.execute(QStringLiteral("alter table %1 modify %2 generated by default as identity "
                                              "(start with limit value)")
                                   .arg(quoteOracleName(targetName), quoteOracleName(name)));
        } catch (const DatabaseError &e) {
            logFailure(result, log, e.message());
        }
    }
    return result;
}

QVector<DetailedForeignKey> readForeignKeys(MySqlConnection &catalogue, const QString &database,
                                            const QString &sourceName)
{
    const auto result = catalogue.listing(
        QStringLiteral("select k.constraint_name, k.column_name, k.referenced_table_schema, "
                       "k.referenced_table_name, k.referenced_column_name, r.delete_rule, r.update_rule "
                       "from information_schema.key_column_usage k "
                       "join information_schema.referential_constraints r "
                       "on r.constraint_schema = k.constraint_schema and r.constraint_name = k.constraint_name "
                       "and r.table_name = k.table_name "
                       "where k.table_schema = %1 and k.table_name = %2 and k.referenced_table_name is not null "
                       "order by k.constraint_name, k.ordinal_position")
            .arg(sqlLiteral(database), sqlLiteral(sourceName)));
    QVector<DetailedForeignKey> keys;
    while (result->next()) {
        const QString name = result->text(0);
        if (keys.isEmpty() || keys.last().name != name) {
            DetailedForeignKey key;
            key.name = name;
            key.referencedSchema = result->text(2);
            key.referencedTable = result->text(3);
            key.deleteRule = result->text(5);
            key.updateRule = result->text(6);
            keys.append(key);
        }
        keys.last().columns.append(result->text(1));
        keys.last().referencedColumns.append(result->text(4));
    }
    return keys;
}

QString foreignKeyName(const QString &constraintName, const QString &table, ObjectNames &used, QString *note)
{
    return used.claim(ShapeName(cutName(constraintName), true), table, note);
}

QString foreignKeyStatement(const QString &targetName, const QString &name, const QStringList &columns,
                            const QString &referencedTarget, const QStringList &referencedColumns,
                            const QString &deleteRule)
{
    QString text = QStringLiteral("alter table %1 add constraint %2 foreign key (%3) references %4 (%5)")
                       .arg(quoteOracleName(targetName), quoteOracleName(name), quotedList(columns),
                            quoteOracleName(referencedTarget), quotedList(referencedColumns));
    if (deleteRule == QLatin1String("CASCADE"))
        text += QStringLiteral(" on delete cascade");
    else if (deleteRule == QLatin1String("SET NULL"))
        text += QStringLiteral(" on delete set null");
    return text;
}

TStepResult CreateForeignKeys(MySqlConnection &catalogue, OracleSession &oracledata, const QString &database,
                              const QString &sourceName, const QString &targetName,
                              const QHash<QString, QString> &runTargets, bool uppercaseNames,
                              ObjectNames &usedNames, TRunLog &log, RunControl *control)
{
    TStepResult result;
    auto fail = [&](const QString &message) {
        result.Ok = false;
        result.ErrorText = message;
        result.Errors << message;
        log.Append(message);
    };
    // The Oracle names of a table's columns, read once per table when a key
    // names a column whose name is cut.
    QHash<QString, ColumnNames> tableColumns;
    const auto oracleColumns = [&](const QString &table, const QStringList &names) {
        QStringList out;
        const bool listed = needsColumnListing(names);
        if (listed && !tableColumns.contains(table))
            tableColumns.insert(table, columnNames(readDetailedColumns(catalogue, database, table), uppercaseNames));
        for (const QString &n : names)
            out << (listed ? tableColumns.value(table).oracleName(n) : ShapeName(cutName(n), uppercaseNames));
        return out;
    };
    const KeyStepContext context{nullptr, control};
    try {
        for (const DetailedForeignKey &key : readForeignKeys(catalogue, database, sourceName)) {
            if (stopBeforeNextStatement(context))
                return result;
            const auto parent = runTargets.constFind(key.referencedTable);
            if (key.referencedSchema != database || parent == runTargets.constEnd()) {
                log.Append(QStringLiteral("Foreign key %1 of table %2 refers to table %3, which is not in this "
                                          "conversion: it is left out")
                               .arg(key.name, targetName, key.referencedTable));
                log.Append(QString());
                continue;
            }
            QString note;
            const QString name = foreignKeyName(key.name, targetName, usedNames, &note);
            if (!note.isEmpty())
                log.Append(note);
            const QString line = QStringLiteral("Create foreign key %1 on %2").arg(name, targetName);
            log.Append(line + QStringLiteral("... "));
            const QStringList columns = oracleColumns(sourceName, key.columns);
            const QStringList referenced = oracleColumns(key.referencedTable, key.referencedColumns);
            QString refusal;
            for (const QString &n : columns + referenced + QStringList{name, targetName, parent.value()}) {
                if (!isQuotableName(n) && refusal.isEmpty())
                    refusal = doubleQuoteProblem(targetName, QStringLiteral("the name ") + n +
                                                                 QStringLiteral(" of foreign key ") + key.name);
            }
            if (!refusal.isEmpty()) {
                fail(refusal);
            } else {
                try {
                    oracledata.execute(foreignKeyStatement(targetName, name, columns, parent.value(), referenced,
                                                           key.deleteRule));
                    log.RewriteLast(line + QStringLiteral("...Done"));
                } catch (const DatabaseError &e) {
                    fail(e.message());
                }
            }
            const QStringList kept{QStringLiteral("RESTRICT"), QStringLiteral("NO ACTION")};
            if (!kept.contains(key.updateRule))
                log.Append(QStringLiteral("Foreign key %1: its ON UPDATE %2 is not kept (Oracle has none)")
                               .arg(name, key.updateRule));
            if (!kept.contains(key.deleteRule) && key.deleteRule != QLatin1String("CASCADE") &&
                key.deleteRule != QLatin1String("SET NULL"))
                log.Append(QStringLiteral("Foreign key %1: its ON DELETE %2 is not kept").arg(name, key.deleteRule));
            log.Append(QString());
        }
    } catch (const std::exception &e) {
        // A catalogue that cannot be read ends the step with that error.
        const QString message = errorMessage(e);
        fail(message);
        log.Append(QString());
    }
    return result;
}

} // namespace tavrex
