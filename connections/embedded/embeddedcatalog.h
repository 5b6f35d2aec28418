#pragma once

// The embedded target's own data dictionary inside the SQLite file, read and
// written by the session (DDL, batch insert) and read by the reader. The
// tables are named after Oracle's dictionary views so that a person who opens
// the file with the sqlite3 shell finds their way:
//   tavrex_tables        (owner, table_name, sqlite_name)       ~ ALL_TABLES
//   tavrex_tab_columns   (owner, table_name, column_id, column_name, sqlite_name,
//                         data_type, data_length, char_used, data_precision,
//                         data_scale, scaled, nullable)         ~ ALL_TAB_COLUMNS
//   tavrex_indexes       (owner, index_name, table_name, uniqueness, sqlite_name)
//   tavrex_ind_columns   (owner, index_name, column_position, column_name)
//   tavrex_constraints   (owner, constraint_name, constraint_type, table_name,
//                         index_name, sqlite_index)
//   tavrex_cons_columns  (owner, constraint_name, position, column_name)
//   tavrex_meta          (key, value): format version, system-name counter
// Each user table is a SQLite table named "OWNER.TABLE" whose columns carry
// the Oracle column names; sqlite_name differs from that only where SQLite,
// which compares names without regard to ASCII case, would see a clash.

#include "connections/embedded/embeddedvalues.h"

#include <QString>
#include <QStringList>
#include <QVector>

struct sqlite3;

namespace tavrex::embedded {

struct TableInfo {
    QString name;
    QString sqliteName;
    QVector<ColumnSpec> columns;  // in column_id order
    QStringList sqliteColumns;    // the SQLite column name of each
};

struct IndexInfo {
    QString name;
    QString table;
    QStringList columns;
    bool unique = false;
    QString sqliteName;
};

struct ConstraintInfo {
    QString name;
    QString table;
    QString type;  // "P"
    QStringList columns;
    QString indexName;
    QString sqliteIndex;  // the SQLite unique index that enforces it
};

class Catalog {
public:
    Catalog(sqlite3 *db, QString path, QString owner);

    // Creates the dictionary tables when the file has none yet.
    static void create(sqlite3 *db, const QString &path);

    bool findTable(const QString &name, TableInfo *out) const;
    QStringList tableNames() const;  // in creation order
    // Indexes / constraints of one table, or of the schema when table is empty.
    QVector<IndexInfo> indexes(const QString &table = QString()) const;
    QVector<ConstraintInfo> constraints(const QString &table = QString()) const;
    bool indexExists(const QString &name) const;
    bool constraintExists(const QString &name) const;

    // A SQLite object name that no table or index of the file uses, compared
    // as SQLite compares (ASCII case ignored): candidate, else candidate#2 ...
    QString freeSqliteName(const QString &candidate) const;
    // The next number for a SYS_Cnnnnnnn name.
    qint64 nextSystemNumber() const;

    void insertTable(const TableInfo &table) const;
    void deleteTable(const QString &name) const;
    void insertIndex(const IndexInfo &index) const;
    void insertConstraint(const ConstraintInfo &constraint) const;
    void setNotNull(const QString &table, const QStringList &columns) const;

    sqlite3 *db() const { return db_; }
    const QString &path() const { return path_; }
    const QString &owner() const { return owner_; }

private:
    sqlite3 *db_;
    QString path_;
    QString owner_;
};

} // namespace tavrex::embedded
