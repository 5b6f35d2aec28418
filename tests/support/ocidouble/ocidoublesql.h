#pragma once

// The statement texts the OCI test double (ocidouble.cpp) reads itself; every
// other text goes to the embedded target as it is.

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

namespace tavrex::ocidouble {

enum class StatementKind { Select, Insert, AlterSession, CreateTable, Commit, Rollback, Other };

// By the first keywords, after white space and comments.
StatementKind statementKind(const QString &sql);

// The SQL function that converts a bound text in an INSERT's VALUES.
enum class Conversion { None, Number, Timestamp, DsInterval, BinaryFloat, BinaryDouble, Geometry };

// INSERT INTO "T" ("A","B") VALUES (:1,TO_NUMBER(:2)): names kept exactly
// (unquoted ones upper-cased), and for each value its bind position (the
// order of the placeholders in the text) and the function that wraps it:
// TO_NUMBER(:n), TO_TIMESTAMP(:n, 'format'), TO_DSINTERVAL(:n),
// TO_BINARY_FLOAT(:n) or TO_BINARY_DOUBLE(:n), or SDO_GEOMETRY(:n[, srid]);
// or the literal NULL in place of a placeholder.
struct InsertShape {
    QString table;
    QStringList columns;
    QVector<int> positions;  // 1-based; 0 for a literal NULL
    QVector<Conversion> conversions;
    QStringList formats;  // TO_TIMESTAMP's format as written, else empty
    QVector<quint32> srids;  // SDO_GEOMETRY's SRID, 0 when none is written
};
std::optional<InsertShape> parseInsert(const QString &sql);

// ALTER SESSION SET NAME=value ...: the names upper-cased, quoted values
// without their quotes; nullopt when the text is not of that form.
std::optional<QHash<QString, QString>> parseAlterSession(const QString &sql);

} // namespace tavrex::ocidouble
