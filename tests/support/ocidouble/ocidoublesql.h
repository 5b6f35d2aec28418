#pragma once

// The statement texts the OCI test double (ocidouble.cpp) reads itself; every
// other text goes to the embedded target as it is.

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

namespace tavrex::ocidouble {

enum class StatementKind { Select, Insert, AlterSession, CreateTable, Other };

// By the first keywords, after white space and comments.
StatementKind statementKind(const QString &sql);

// INSERT INTO "T" ("A","B") VALUES (:1,TO_NUMBER(:2)): names kept exactly
// (unquoted ones upper-cased), and for each value its bind position (the
// order of the placeholders in the text) and whether TO_NUMBER wraps it.
struct InsertShape {
    QString table;
    QStringList columns;
    QVector<int> positions;  // 1-based
    QVector<bool> toNumber;
};
std::optional<InsertShape> parseInsert(const QString &sql);

// ALTER SESSION SET NAME=value ...: the names upper-cased, quoted values
// without their quotes; nullopt when the text is not of that form.
std::optional<QHash<QString, QString>> parseAlterSession(const QString &sql);

} // namespace tavrex::ocidouble
