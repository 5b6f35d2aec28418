#include "connections/embedded/embeddedreader.h"

#include "connections/embedded/embeddedcatalog.h"
#include "connections/embedded/embeddedsessionimpl.h"
#include "connections/embedded/sqlitehandle.h"

#include <QFile>
#include <QFileInfo>

namespace tavrex {

using namespace embedded;

namespace {

SqliteDb openForReading(const QString &path)
{
    if (!QFileInfo(path).isFile())
        throw DatabaseError(QStringLiteral("Cannot read the embedded target \"%1\": no such file").arg(path));
    SqliteDb db;
    const QByteArray native = QFile::encodeName(path);
    // Read-write without create: reading a WAL file may have to recover it
    // (after a killed writer), which needs write access to its -shm file.
    if (sqlite3_open_v2(native.constData(), db.out(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK)
        throw DatabaseError(QStringLiteral("Cannot read the embedded target \"%1\": %2")
                                .arg(path, QString::fromUtf8(sqlite3_errmsg(db.get()))));
    sqlite3_busy_timeout(db.get(), 60000);
    return db;
}

TableInfo tableOf(const Catalog &cat, const QString &table)
{
    TableInfo t;
    if (!cat.findTable(table, &t))
        throw oraError(942, QStringLiteral("table or view does not exist"));
    return t;
}

} // namespace

namespace embedded {

OracleValue readStoredValue(sqlite3_stmt *s, int c, OraType type, const QString &path, const QString &table)
{
    if (sqlite3_column_type(s, c) == SQLITE_NULL)
        return OracleValue::null();
    // The one mapping of stored forms to values; a new column type adds its
    // case here.
    switch (type) {
    case OraType::Number:
        return OracleValue::number(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, c)),
                                                     sqlite3_column_bytes(s, c)));
    case OraType::Varchar2:
    case OraType::Char:
    case OraType::Clob: {
        // Stored as UTF-8: handed on as its bytes, decoded only when read as a text.
        const char *p = reinterpret_cast<const char *>(sqlite3_column_text(s, c));
        return OracleValue::textUtf8(QByteArray(p, sqlite3_column_bytes(s, c)));
    }
    case OraType::Date: {
        const QByteArray text(reinterpret_cast<const char *>(sqlite3_column_text(s, c)), sqlite3_column_bytes(s, c));
        OracleDate d;
        if (!parseStoredDate(text, &d))
            throw DatabaseError(QStringLiteral("Embedded target \"%1\": a DATE of %2 is stored as \"%3\"")
                                    .arg(path, table, QString::fromUtf8(text)));
        return OracleValue::date(d);
    }
    case OraType::Timestamp:
    case OraType::Interval: {
        const QByteArray text(reinterpret_cast<const char *>(sqlite3_column_text(s, c)), sqlite3_column_bytes(s, c));
        OracleTimestamp ts;
        OracleInterval iv;
        const bool isTimestamp = type == OraType::Timestamp;
        if (isTimestamp ? !parseStoredTimestamp(text, &ts) : !parseStoredInterval(text, &iv))
            throw DatabaseError(QStringLiteral("Embedded target \"%1\": a %2 of %3 is stored as \"%4\"")
                                    .arg(path, oraTypeName(type), table, QString::fromUtf8(text)));
        return isTimestamp ? OracleValue::timestamp(ts) : OracleValue::interval(iv);
    }
    case OraType::BinaryFloat:
    case OraType::BinaryDouble:
        return OracleValue::binaryNumber(
            binaryNumberText(sqlite3_column_double(s, c), type == OraType::BinaryFloat));
    case OraType::Blob:
    case OraType::Raw: {
        const void *p = sqlite3_column_blob(s, c);
        return OracleValue::bytes(QByteArray(static_cast<const char *>(p), sqlite3_column_bytes(s, c)));
    }
    case OraType::Geometry: {
        const QByteArrayView stored(static_cast<const char *>(sqlite3_column_blob(s, c)), sqlite3_column_bytes(s, c));
        quint32 srid = 0;
        QByteArray wkb;
        if (!parseStoredGeometry(stored, &srid, &wkb))
            throw DatabaseError(QStringLiteral("Embedded target \"%1\": an SDO_GEOMETRY of %2 is stored in %3 bytes")
                                    .arg(path, table)
                                    .arg(stored.size()));
        return OracleValue::geometry(srid, std::move(wkb));
    }
    }
    return OracleValue::null();
}

} // namespace embedded

QStringList listEmbeddedTables(const QString &path, const QString &owner)
{
    SqliteDb db = openForReading(path);
    return Catalog(db.get(), path, owner).tableNames();
}

QVector<QVector<OracleValue>> readEmbeddedTable(const QString &path, const QString &owner, const QString &table)
{
    SqliteDb db = openForReading(path);
    // One read transaction, so the catalogue and the rows agree.
    sqliteExec(db.get(), path, "BEGIN");
    const Catalog cat(db.get(), path, owner);
    const TableInfo t = tableOf(cat, table);
    QStringList cols;
    for (const QString &c : t.sqliteColumns)
        cols.append(sqliteQuote(c));
    if (cols.isEmpty())
        cols.append(QStringLiteral("NULL"));
    SqliteStmt q = SqliteStmt::prepare(
        db.get(), path,
        QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(cols.join(QLatin1Char(',')), sqliteQuote(t.sqliteName)).toUtf8());
    QVector<QVector<OracleValue>> rows;
    while (q.step(db.get(), path)) {
        QVector<OracleValue> row;
        row.reserve(t.columns.size());
        for (int c = 0; c < t.columns.size(); ++c)
            row.append(readStoredValue(q.get(), c, t.columns[c].type, path, table));
        rows.append(row);
    }
    q.reset();
    sqliteExec(db.get(), path, "COMMIT");
    return rows;
}

QVector<OracleColumn> describeEmbeddedTable(const QString &path, const QString &owner, const QString &table)
{
    SqliteDb db = openForReading(path);
    const TableInfo t = tableOf(Catalog(db.get(), path, owner), table);
    QVector<OracleColumn> out;
    for (const ColumnSpec &c : t.columns)
        out.append(toOracleColumn(c));
    return out;
}

QVector<EmbeddedIndex> listEmbeddedIndexes(const QString &path, const QString &owner)
{
    SqliteDb db = openForReading(path);
    QVector<EmbeddedIndex> out;
    for (const IndexInfo &i : Catalog(db.get(), path, owner).indexes())
        out.append(EmbeddedIndex{i.name, i.table, i.columns, i.unique, i.type, i.itypOwner, i.itypName});
    return out;
}

QVector<EmbeddedConstraint> listEmbeddedConstraints(const QString &path, const QString &owner)
{
    SqliteDb db = openForReading(path);
    QVector<EmbeddedConstraint> out;
    for (const ConstraintInfo &c : Catalog(db.get(), path, owner).constraints())
        out.append(EmbeddedConstraint{c.name, c.table, c.type, c.columns, c.indexName});
    return out;
}

} // namespace tavrex
