#pragma once

// The embedded target's own data dictionary inside the SQLite file, read and
// written by the session (DDL, batch insert) and read by the reader. The
// tables are named after Oracle's dictionary views so that a person who opens
// the file with the sqlite3 shell finds their way:
//   tavrex_tables        (owner, table_name, sqlite_name)       ~ ALL_TABLES
//   tavrex_tab_columns   (owner, table_name, column_id, column_name, sqlite_name,
//                         data_type, data_length, char_used, data_precision,
//                         data_scale, scaled, nullable, data_default,
//                         identity_column)                      ~ ALL_TAB_COLUMNS
//   tavrex_indexes       (owner, index_name, table_name, uniqueness, sqlite_name,
//                         index_type, ityp_owner, ityp_name)   ~ ALL_INDEXES
//   tavrex_ind_columns   (owner, index_name, column_position, column_name)
//   tavrex_constraints   (owner, constraint_name, constraint_type, table_name,
//                         index_name, sqlite_index, r_constraint_name,
//                         search_condition, delete_rule, sqlite_trigger)
//   tavrex_cons_columns  (owner, constraint_name, position, column_name)
//   tavrex_tab_comments  (owner, table_name, comments)          ~ ALL_TAB_COMMENTS
//   tavrex_col_comments  (owner, table_name, column_name, comments) ~ ALL_COL_COMMENTS
//   tavrex_tab_identity_cols (owner, table_name, column_name, sequence_name,
//                         next_value)   ~ ALL_TAB_IDENTITY_COLS with its sequence's next number
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
    QString sqliteName;  // empty for a domain index, which has no SQLite index
    QString type = QStringLiteral("NORMAL");  // index_type: "NORMAL" or "DOMAIN"
    QString itypOwner;   // a domain index's indextype: "CTXSYS"
    QString itypName;    // "CONTEXT"

    bool isDomain() const { return type == QLatin1String("DOMAIN"); }
};

struct ConstraintInfo {
    QString name;
    QString table;
    QString type;  // "P" primary key, "U" unique, "R" foreign key, "C" check
    QStringList columns;
    QString indexName;        // P, U: the index that serves it
    QString sqliteIndex;      // P: the SQLite unique index that enforces it
    QString rConstraintName;  // R: the parent's primary or unique key
    QString searchCondition;  // C: the condition as written
    QString deleteRule;       // R: "NO ACTION", "CASCADE" or "SET NULL"
    QString sqliteTrigger;    // U, R, C: the SQLite trigger that enforces it
};

struct IdentityInfo {
    QString table;
    QString column;
    QString sequenceName;
    qint64 nextValue = 1;
};

class Catalog {
public:
    Catalog(sqlite3 *db, QString path, QString owner);

    // Creates the dictionary tables when the file has none yet.
    static void create(sqlite3 *db, const QString &path);
    // Why the database on db is not one of this target's files: it holds
    // tables but no dictionary ("it holds tables of another database"), or a
    // dictionary of another shape than any this target has written. Empty
    // when it holds this target's dictionary (an earlier version's too, which
    // create() completes) or nothing at all. Only reads.
    static QString foreignContent(sqlite3 *db, const QString &path);

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
    // The constraint of that name, or false.
    bool findConstraint(const QString &name, ConstraintInfo *out) const;
    // The foreign keys whose parent key belongs to the table.
    QVector<ConstraintInfo> referencingKeys(const QString &table) const;
    void deleteConstraint(const QString &name) const;

    void setTableComment(const QString &table, const QString &comment) const;
    void setColumnComment(const QString &table, const QString &column, const QString &comment) const;
    QString tableComment(const QString &table) const;
    QString columnComment(const QString &table, const QString &column) const;

    // The identity column of the table, or false.
    bool findIdentity(const QString &table, IdentityInfo *out) const;
    void insertIdentity(const IdentityInfo &identity) const;
    void setIdentityNext(const QString &table, qint64 nextValue) const;

    sqlite3 *db() const { return db_; }
    const QString &path() const { return path_; }
    const QString &owner() const { return owner_; }

private:
    sqlite3 *db_;
    QString path_;
    QString owner_;
};

} // namespace tavrex::embedded
