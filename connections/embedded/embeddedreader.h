#pragma once

// Reading an embedded target's file from outside any session: the tests
// check what a batch left behind, and the demo shows a converted table. This
// is deliberately not part of OracleSession, whose interface stays what the
// conversion needs. Every function opens its own SQLite connection and sees
// committed data only; errors throw DatabaseError (ORA-00942 for a table the
// owner does not have, a message naming the path when the file cannot be
// opened).

#include "connections/oracle/oraclesession.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace tavrex {

// The owner's tables, in the order they were created.
QStringList listEmbeddedTables(const QString &path, const QString &owner);

// Every row of the table in insertion order, each value typed by its column:
// NUMBER as number text, VARCHAR2 / CHAR / CLOB as text, DATE as date,
// BLOB / RAW as bytes, SDO_GEOMETRY as geometry (its WKB and SRID), NULL as
// null.
QVector<QVector<OracleValue>> readEmbeddedTable(const QString &path, const QString &owner, const QString &table);

// The table's columns as a describe reports them.
QVector<OracleColumn> describeEmbeddedTable(const QString &path, const QString &owner, const QString &table);

struct EmbeddedIndex {
    QString name;
    QString table;
    QStringList columns;
    bool unique = false;
    QString type;       // as ALL_INDEXES.INDEX_TYPE: "NORMAL", or "DOMAIN" for an Oracle Text index
    QString itypOwner;  // a domain index's indextype: "CTXSYS" "CONTEXT"; empty otherwise
    QString itypName;
};
// The owner's indexes (those of primary keys included), in creation order.
QVector<EmbeddedIndex> listEmbeddedIndexes(const QString &path, const QString &owner);

struct EmbeddedConstraint {
    QString name;
    QString table;
    QString type;  // "P": primary key
    QStringList columns;
    QString indexName;  // the index that serves it
};
QVector<EmbeddedConstraint> listEmbeddedConstraints(const QString &path, const QString &owner);

} // namespace tavrex
