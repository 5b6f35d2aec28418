#include "connections/embedded/embeddedcatalog.h"

#include "connections/embedded/sqlitehandle.h"

#include <QHash>
#include <QSet>

namespace tavrex::embedded {

namespace {

const char kCreateCatalogue[] =
    "CREATE TABLE IF NOT EXISTS tavrex_meta(key TEXT PRIMARY KEY, value TEXT);"
    "INSERT OR IGNORE INTO tavrex_meta(key, value) VALUES ('format', '1'), ('next_sys_c', '10001');"
    "CREATE TABLE IF NOT EXISTS tavrex_tables("
    " owner TEXT NOT NULL, table_name TEXT NOT NULL, sqlite_name TEXT NOT NULL,"
    " PRIMARY KEY (owner, table_name));"
    "CREATE TABLE IF NOT EXISTS tavrex_tab_columns("
    " owner TEXT NOT NULL, table_name TEXT NOT NULL, column_id INTEGER NOT NULL,"
    " column_name TEXT NOT NULL, sqlite_name TEXT NOT NULL, data_type TEXT NOT NULL,"
    " data_length INTEGER NOT NULL, char_used TEXT NOT NULL, data_precision INTEGER NOT NULL,"
    " data_scale INTEGER NOT NULL, scaled INTEGER NOT NULL, nullable TEXT NOT NULL,"
    " data_default TEXT, identity_column TEXT NOT NULL DEFAULT 'NO',"
    " PRIMARY KEY (owner, table_name, column_id));"
    "CREATE TABLE IF NOT EXISTS tavrex_indexes("
    " owner TEXT NOT NULL, index_name TEXT NOT NULL, table_name TEXT NOT NULL,"
    " uniqueness TEXT NOT NULL, sqlite_name TEXT NOT NULL, index_type TEXT NOT NULL DEFAULT 'NORMAL',"
    " ityp_owner TEXT, ityp_name TEXT, PRIMARY KEY (owner, index_name));"
    "CREATE TABLE IF NOT EXISTS tavrex_ind_columns("
    " owner TEXT NOT NULL, index_name TEXT NOT NULL, column_position INTEGER NOT NULL,"
    " column_name TEXT NOT NULL, PRIMARY KEY (owner, index_name, column_position));"
    "CREATE TABLE IF NOT EXISTS tavrex_constraints("
    " owner TEXT NOT NULL, constraint_name TEXT NOT NULL, constraint_type TEXT NOT NULL,"
    " table_name TEXT NOT NULL, index_name TEXT NOT NULL, sqlite_index TEXT NOT NULL,"
    " r_constraint_name TEXT, search_condition TEXT, delete_rule TEXT, sqlite_trigger TEXT,"
    " PRIMARY KEY (owner, constraint_name));"
    "CREATE TABLE IF NOT EXISTS tavrex_cons_columns("
    " owner TEXT NOT NULL, constraint_name TEXT NOT NULL, position INTEGER NOT NULL,"
    " column_name TEXT NOT NULL, PRIMARY KEY (owner, constraint_name, position));"
    "CREATE TABLE IF NOT EXISTS tavrex_tab_comments("
    " owner TEXT NOT NULL, table_name TEXT NOT NULL, comments TEXT,"
    " PRIMARY KEY (owner, table_name));"
    "CREATE TABLE IF NOT EXISTS tavrex_col_comments("
    " owner TEXT NOT NULL, table_name TEXT NOT NULL, column_name TEXT NOT NULL, comments TEXT,"
    " PRIMARY KEY (owner, table_name, column_name));"
    "CREATE TABLE IF NOT EXISTS tavrex_tab_identity_cols("
    " owner TEXT NOT NULL, table_name TEXT NOT NULL, column_name TEXT NOT NULL,"
    " sequence_name TEXT NOT NULL, next_value INTEGER NOT NULL, PRIMARY KEY (owner, table_name));";

// Columns that files written before them lack: added when such a file is
// opened, with the values that hold for what it holds.
const struct {
    const char *table;
    const char *column;
    const char *declaration;
} kAddedColumns[] = {
    {"tavrex_tab_columns", "data_default", "TEXT"},
    {"tavrex_tab_columns", "identity_column", "TEXT NOT NULL DEFAULT 'NO'"},
    {"tavrex_constraints", "r_constraint_name", "TEXT"},
    {"tavrex_constraints", "search_condition", "TEXT"},
    {"tavrex_constraints", "delete_rule", "TEXT"},
    {"tavrex_constraints", "sqlite_trigger", "TEXT"},
    {"tavrex_indexes", "index_type", "TEXT NOT NULL DEFAULT 'NORMAL'"},
    {"tavrex_indexes", "ityp_owner", "TEXT"},
    {"tavrex_indexes", "ityp_name", "TEXT"},
};

const char kCatalogueTables[] =
    "('tavrex_meta', 'tavrex_tables', 'tavrex_tab_columns', 'tavrex_indexes', 'tavrex_ind_columns',"
    " 'tavrex_constraints', 'tavrex_cons_columns', 'tavrex_tab_comments', 'tavrex_col_comments',"
    " 'tavrex_tab_identity_cols')";
constexpr int kCatalogueTableCount = 10;

bool hasColumn(sqlite3 *db, const QString &path, const char *table, const char *column)
{
    SqliteStmt q = SqliteStmt::prepare(db, path, QByteArray("SELECT 1 FROM pragma_table_info(?1) WHERE name = ?2"));
    q.bindText(1, QString::fromLatin1(table));
    q.bindText(2, QString::fromLatin1(column));
    return q.step(db, path);
}

QByteArray utf8(const char *s)
{
    return QByteArray(s);
}

using ColumnNames = QSet<QString>;

ColumnNames columnNames(sqlite3 *db, const QString &path, const QString &table)
{
    SqliteStmt q = SqliteStmt::prepare(db, path, QByteArray("SELECT lower(name) FROM pragma_table_info(?1)"));
    q.bindText(1, table);
    ColumnNames names;
    while (q.step(db, path))
        names.insert(q.text(0));
    return names;
}

// The dictionary's tables and their columns as this version creates them
// (names in lower case), read from the tables kCreateCatalogue makes.
const QHash<QString, ColumnNames> &dictionaryShape()
{
    static const QHash<QString, ColumnNames> shape = [] {
        QHash<QString, ColumnNames> out;
        SqliteDb memory;
        const QString where = QStringLiteral(":memory:");
        if (sqlite3_open(":memory:", memory.out()) != SQLITE_OK)
            throw sqliteError(memory.get(), where, "open");
        sqliteExec(memory.get(), where, kCreateCatalogue);
        SqliteStmt q = SqliteStmt::prepare(memory.get(), where,
                                           QByteArray("SELECT name FROM sqlite_schema WHERE type = 'table'"));
        while (q.step(memory.get(), where))
            out.insert(q.text(0), columnNames(memory.get(), where, q.text(0)));
        return out;
    }();
    return shape;
}

} // namespace

Catalog::Catalog(sqlite3 *db, QString path, QString owner)
    : db_(db), path_(std::move(path)), owner_(std::move(owner))
{
}

void Catalog::create(sqlite3 *db, const QString &path)
{
    {
        // A file that has its dictionary needs no write lock: opening a
        // session never waits for another session's batch.
        SqliteStmt q = SqliteStmt::prepare(
            db, path,
            QByteArray("SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name IN ") + kCatalogueTables);
        bool complete = q.step(db, path) && q.integer(0) >= kCatalogueTableCount;
        for (const auto &added : kAddedColumns)
            complete = complete && hasColumn(db, path, added.table, added.column);
        if (complete)
            return;
    }
    sqliteExec(db, path, "BEGIN IMMEDIATE");
    try {
        sqliteExec(db, path, kCreateCatalogue);
        for (const auto &added : kAddedColumns) {
            if (!hasColumn(db, path, added.table, added.column))
                sqliteExec(db, path,
                           (QByteArray("ALTER TABLE ") + added.table + " ADD COLUMN " + added.column + ' ' +
                            added.declaration)
                               .constData());
        }
        sqliteExec(db, path, "COMMIT");
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

QString Catalog::foreignContent(sqlite3 *db, const QString &path)
{
    const QHash<QString, ColumnNames> &shape = dictionaryShape();
    bool anyObject = false;
    QStringList dictionary;  // the dictionary's tables the file holds
    {
        SqliteStmt q = SqliteStmt::prepare(db, path, QByteArray("SELECT type, lower(name) FROM sqlite_schema"));
        while (q.step(db, path)) {
            anyObject = true;
            if (q.text(0) == QLatin1String("table") && shape.contains(q.text(1)))
                dictionary.append(q.text(1));
        }
    }
    if (!anyObject)
        return QString();
    const QString otherShape = QStringLiteral("the file is not a Tavrex target (its dictionary has another shape)");
    if (!dictionary.contains(QLatin1String("tavrex_meta")) || !dictionary.contains(QLatin1String("tavrex_tables"))) {
        return dictionary.isEmpty()
                   ? QStringLiteral("the file is not a Tavrex target (it holds tables of another database)")
                   : otherShape;
    }
    // Every column this version knows, and at least those that files
    // written before the added ones have.
    for (const QString &table : dictionary) {
        const ColumnNames has = columnNames(db, path, table);
        const ColumnNames &known = shape[table];
        if (!known.contains(has))
            return otherShape;
        for (const QString &column : known) {
            bool added = false;
            for (const auto &a : kAddedColumns)
                added = added || (table == QLatin1String(a.table) && column == QLatin1String(a.column));
            if (!added && !has.contains(column))
                return otherShape;
        }
    }
    return QString();
}

bool Catalog::findTable(const QString &name, TableInfo *out) const
{
    SqliteStmt t = SqliteStmt::prepare(
        db_, path_, utf8("SELECT sqlite_name FROM tavrex_tables WHERE owner = ?1 AND table_name = ?2"));
    t.bindText(1, owner_);
    t.bindText(2, name);
    if (!t.step(db_, path_))
        return false;
    if (!out)
        return true;
    out->name = name;
    out->sqliteName = t.text(0);
    out->columns.clear();
    out->sqliteColumns.clear();
    SqliteStmt c = SqliteStmt::prepare(
        db_, path_,
        utf8("SELECT column_name, sqlite_name, data_type, data_length, char_used, data_precision, data_scale,"
             " scaled, nullable, data_default, identity_column FROM tavrex_tab_columns"
             " WHERE owner = ?1 AND table_name = ?2 ORDER BY column_id"));
    c.bindText(1, owner_);
    c.bindText(2, name);
    while (c.step(db_, path_)) {
        ColumnSpec s;
        s.name = c.text(0);
        if (!oraTypeFromName(c.text(2), &s.type))
            throw DatabaseError(QStringLiteral("Embedded target \"%1\": unknown column type %2 in the catalogue")
                                    .arg(path_, c.text(2)));
        s.length = int(c.integer(3));
        s.byteSemantics = c.text(4) == QLatin1String("B");
        s.precision = int(c.integer(5));
        s.scale = int(c.integer(6));
        s.scaled = c.integer(7) != 0;
        s.nullable = c.text(8) != QLatin1String("N");
        if (s.type == OraType::Timestamp)
            s.fraction = s.scale;
        if (s.type == OraType::Interval) {
            s.dayPrecision = s.precision;
            s.fraction = s.scale;
        }
        if (sqlite3_column_type(c.get(), 9) != SQLITE_NULL)
            s.defaultText = c.text(9);
        s.identity = c.text(10) == QLatin1String("YES");
        out->columns.append(s);
        out->sqliteColumns.append(c.text(1));
    }
    return true;
}

QStringList Catalog::tableNames() const
{
    SqliteStmt t = SqliteStmt::prepare(db_, path_,
                                       utf8("SELECT table_name FROM tavrex_tables WHERE owner = ?1 ORDER BY rowid"));
    t.bindText(1, owner_);
    QStringList names;
    while (t.step(db_, path_))
        names.append(t.text(0));
    return names;
}

QVector<IndexInfo> Catalog::indexes(const QString &table) const
{
    SqliteStmt t = SqliteStmt::prepare(
        db_, path_,
        utf8("SELECT index_name, table_name, uniqueness, sqlite_name, index_type, ityp_owner, ityp_name"
             " FROM tavrex_indexes WHERE owner = ?1 AND (?2 IS NULL OR table_name = ?2) ORDER BY rowid"));
    t.bindText(1, owner_);
    if (!table.isEmpty())
        t.bindText(2, table);
    QVector<IndexInfo> out;
    while (t.step(db_, path_)) {
        IndexInfo i;
        i.name = t.text(0);
        i.table = t.text(1);
        i.unique = t.text(2) == QLatin1String("UNIQUE");
        i.sqliteName = t.text(3);
        i.type = t.text(4);
        i.itypOwner = t.text(5);
        i.itypName = t.text(6);
        out.append(i);
    }
    for (IndexInfo &i : out) {
        SqliteStmt c = SqliteStmt::prepare(
            db_, path_,
            utf8("SELECT column_name FROM tavrex_ind_columns WHERE owner = ?1 AND index_name = ?2"
                 " ORDER BY column_position"));
        c.bindText(1, owner_);
        c.bindText(2, i.name);
        while (c.step(db_, path_))
            i.columns.append(c.text(0));
    }
    return out;
}

QVector<ConstraintInfo> Catalog::constraints(const QString &table) const
{
    SqliteStmt t = SqliteStmt::prepare(
        db_, path_,
        utf8("SELECT constraint_name, table_name, constraint_type, index_name, sqlite_index, r_constraint_name,"
             " search_condition, delete_rule, sqlite_trigger FROM tavrex_constraints"
             " WHERE owner = ?1 AND (?2 IS NULL OR table_name = ?2) ORDER BY rowid"));
    t.bindText(1, owner_);
    if (!table.isEmpty())
        t.bindText(2, table);
    QVector<ConstraintInfo> out;
    while (t.step(db_, path_)) {
        ConstraintInfo c;
        c.name = t.text(0);
        c.table = t.text(1);
        c.type = t.text(2);
        c.indexName = t.text(3);
        c.sqliteIndex = t.text(4);
        c.rConstraintName = t.text(5);
        c.searchCondition = t.text(6);
        c.deleteRule = t.text(7);
        c.sqliteTrigger = t.text(8);
        out.append(c);
    }
    for (ConstraintInfo &c : out) {
        SqliteStmt s = SqliteStmt::prepare(
            db_, path_,
            utf8("SELECT column_name FROM tavrex_cons_columns WHERE owner = ?1 AND constraint_name = ?2"
                 " ORDER BY position"));
        s.bindText(1, owner_);
        s.bindText(2, c.name);
        while (s.step(db_, path_))
            c.columns.append(s.text(0));
    }
    return out;
}

bool Catalog::indexExists(const QString &name) const
{
    SqliteStmt t = SqliteStmt::prepare(
        db_, path_, utf8("SELECT 1 FROM tavrex_indexes WHERE owner = ?1 AND index_name = ?2"));
    t.bindText(1, owner_);
    t.bindText(2, name);
    return t.step(db_, path_);
}

bool Catalog::constraintExists(const QString &name) const
{
    SqliteStmt t = SqliteStmt::prepare(
        db_, path_, utf8("SELECT 1 FROM tavrex_constraints WHERE owner = ?1 AND constraint_name = ?2"));
    t.bindText(1, owner_);
    t.bindText(2, name);
    return t.step(db_, path_);
}

QString Catalog::freeSqliteName(const QString &candidate) const
{
    // SQLite keeps names beginning with "sqlite_" for itself.
    QString base = candidate;
    if (base.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive))
        base.prepend(QLatin1Char('~'));
    SqliteStmt t = SqliteStmt::prepare(
        db_, path_, utf8("SELECT 1 FROM sqlite_schema WHERE name = ?1 COLLATE NOCASE"));
    QString name = base;
    for (int n = 2;; ++n) {
        sqlite3_reset(t.get());
        t.bindText(1, name);
        if (!t.step(db_, path_))
            return name;
        name = base + QLatin1Char('#') + QString::number(n);
    }
}

qint64 Catalog::nextSystemNumber() const
{
    SqliteStmt t = SqliteStmt::prepare(db_, path_, utf8("SELECT value FROM tavrex_meta WHERE key = 'next_sys_c'"));
    qint64 n = t.step(db_, path_) ? t.text(0).toLongLong() : 10001;
    SqliteStmt u = SqliteStmt::prepare(db_, path_,
                                       utf8("UPDATE tavrex_meta SET value = ?1 WHERE key = 'next_sys_c'"));
    u.bindText(1, QString::number(n + 1));
    u.step(db_, path_);
    return n;
}

void Catalog::insertTable(const TableInfo &table) const
{
    SqliteStmt t = SqliteStmt::prepare(
        db_, path_, utf8("INSERT INTO tavrex_tables(owner, table_name, sqlite_name) VALUES (?1, ?2, ?3)"));
    t.bindText(1, owner_);
    t.bindText(2, table.name);
    t.bindText(3, table.sqliteName);
    t.step(db_, path_);
    SqliteStmt c = SqliteStmt::prepare(
        db_, path_,
        utf8("INSERT INTO tavrex_tab_columns(owner, table_name, column_id, column_name, sqlite_name, data_type,"
             " data_length, char_used, data_precision, data_scale, scaled, nullable, data_default, identity_column)"
             " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14)"));
    for (int i = 0; i < table.columns.size(); ++i) {
        const ColumnSpec &s = table.columns[i];
        sqlite3_reset(c.get());
        c.bindText(1, owner_);
        c.bindText(2, table.name);
        c.bindInt(3, i + 1);
        c.bindText(4, s.name);
        c.bindText(5, table.sqliteColumns[i]);
        c.bindText(6, dictionaryTypeName(s));
        c.bindInt(7, s.length);
        c.bindText(8, s.byteSemantics ? QStringLiteral("B") : QStringLiteral("C"));
        // As Oracle's dictionary: the day digits of an interval in
        // data_precision, the fraction digits in data_scale.
        c.bindInt(9, s.type == OraType::Interval ? s.dayPrecision : s.precision);
        c.bindInt(10, s.type == OraType::Timestamp || s.type == OraType::Interval ? s.fraction : s.scale);
        c.bindInt(11, s.scaled ? 1 : 0);
        c.bindText(12, s.nullable ? QStringLiteral("Y") : QStringLiteral("N"));
        if (s.defaultText.isNull())
            sqlite3_bind_null(c.get(), 13);
        else
            c.bindText(13, s.defaultText);
        c.bindText(14, s.identity ? QStringLiteral("YES") : QStringLiteral("NO"));
        c.step(db_, path_);
    }
}

void Catalog::deleteTable(const QString &name) const
{
    const char *statements[] = {
        "DELETE FROM tavrex_ind_columns WHERE owner = ?1 AND index_name IN"
        " (SELECT index_name FROM tavrex_indexes WHERE owner = ?1 AND table_name = ?2)",
        "DELETE FROM tavrex_indexes WHERE owner = ?1 AND table_name = ?2",
        "DELETE FROM tavrex_cons_columns WHERE owner = ?1 AND constraint_name IN"
        " (SELECT constraint_name FROM tavrex_constraints WHERE owner = ?1 AND table_name = ?2)",
        "DELETE FROM tavrex_constraints WHERE owner = ?1 AND table_name = ?2",
        "DELETE FROM tavrex_tab_columns WHERE owner = ?1 AND table_name = ?2",
        "DELETE FROM tavrex_tab_comments WHERE owner = ?1 AND table_name = ?2",
        "DELETE FROM tavrex_col_comments WHERE owner = ?1 AND table_name = ?2",
        "DELETE FROM tavrex_tab_identity_cols WHERE owner = ?1 AND table_name = ?2",
        "DELETE FROM tavrex_tables WHERE owner = ?1 AND table_name = ?2",
    };
    for (const char *sql : statements) {
        SqliteStmt s = SqliteStmt::prepare(db_, path_, utf8(sql));
        s.bindText(1, owner_);
        s.bindText(2, name);
        s.step(db_, path_);
    }
}

void Catalog::insertIndex(const IndexInfo &index) const
{
    SqliteStmt t = SqliteStmt::prepare(
        db_, path_,
        utf8("INSERT INTO tavrex_indexes(owner, index_name, table_name, uniqueness, sqlite_name, index_type,"
             " ityp_owner, ityp_name) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)"));
    t.bindText(1, owner_);
    t.bindText(2, index.name);
    t.bindText(3, index.table);
    t.bindText(4, index.unique ? QStringLiteral("UNIQUE") : QStringLiteral("NONUNIQUE"));
    t.bindText(5, index.sqliteName);
    t.bindText(6, index.type);
    if (index.isDomain()) {
        t.bindText(7, index.itypOwner);
        t.bindText(8, index.itypName);
    }
    t.step(db_, path_);
    SqliteStmt c = SqliteStmt::prepare(
        db_, path_,
        utf8("INSERT INTO tavrex_ind_columns(owner, index_name, column_position, column_name)"
             " VALUES (?1, ?2, ?3, ?4)"));
    for (int i = 0; i < index.columns.size(); ++i) {
        sqlite3_reset(c.get());
        c.bindText(1, owner_);
        c.bindText(2, index.name);
        c.bindInt(3, i + 1);
        c.bindText(4, index.columns[i]);
        c.step(db_, path_);
    }
}

void Catalog::insertConstraint(const ConstraintInfo &constraint) const
{
    SqliteStmt t = SqliteStmt::prepare(
        db_, path_,
        utf8("INSERT INTO tavrex_constraints(owner, constraint_name, constraint_type, table_name, index_name,"
             " sqlite_index, r_constraint_name, search_condition, delete_rule, sqlite_trigger)"
             " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)"));
    t.bindText(1, owner_);
    t.bindText(2, constraint.name);
    t.bindText(3, constraint.type);
    t.bindText(4, constraint.table);
    t.bindText(5, constraint.indexName);
    t.bindText(6, constraint.sqliteIndex);
    // Oracle's dictionary leaves what does not apply NULL.
    auto bindOrNull = [&t](int pos, const QString &value) {
        if (value.isEmpty())
            sqlite3_bind_null(t.get(), pos);
        else
            t.bindText(pos, value);
    };
    bindOrNull(7, constraint.rConstraintName);
    bindOrNull(8, constraint.searchCondition);
    bindOrNull(9, constraint.deleteRule);
    bindOrNull(10, constraint.sqliteTrigger);
    t.step(db_, path_);
    SqliteStmt c = SqliteStmt::prepare(
        db_, path_,
        utf8("INSERT INTO tavrex_cons_columns(owner, constraint_name, position, column_name)"
             " VALUES (?1, ?2, ?3, ?4)"));
    for (int i = 0; i < constraint.columns.size(); ++i) {
        sqlite3_reset(c.get());
        c.bindText(1, owner_);
        c.bindText(2, constraint.name);
        c.bindInt(3, i + 1);
        c.bindText(4, constraint.columns[i]);
        c.step(db_, path_);
    }
}

void Catalog::setNotNull(const QString &table, const QStringList &columns) const
{
    SqliteStmt t = SqliteStmt::prepare(
        db_, path_,
        utf8("UPDATE tavrex_tab_columns SET nullable = 'N' WHERE owner = ?1 AND table_name = ?2"
             " AND column_name = ?3"));
    for (const QString &c : columns) {
        sqlite3_reset(t.get());
        t.bindText(1, owner_);
        t.bindText(2, table);
        t.bindText(3, c);
        t.step(db_, path_);
    }
}

bool Catalog::findConstraint(const QString &name, ConstraintInfo *out) const
{
    for (const ConstraintInfo &c : constraints()) {
        if (c.name == name) {
            if (out)
                *out = c;
            return true;
        }
    }
    return false;
}

QVector<ConstraintInfo> Catalog::referencingKeys(const QString &table) const
{
    QVector<ConstraintInfo> out;
    const QVector<ConstraintInfo> all = constraints();
    for (const ConstraintInfo &c : all) {
        if (c.type != QLatin1String("R"))
            continue;
        for (const ConstraintInfo &parent : all) {
            if (parent.name == c.rConstraintName && parent.table == table)
                out.append(c);
        }
    }
    return out;
}

void Catalog::deleteConstraint(const QString &name) const
{
    const char *statements[] = {
        "DELETE FROM tavrex_cons_columns WHERE owner = ?1 AND constraint_name = ?2",
        "DELETE FROM tavrex_constraints WHERE owner = ?1 AND constraint_name = ?2",
    };
    for (const char *sql : statements) {
        SqliteStmt s = SqliteStmt::prepare(db_, path_, utf8(sql));
        s.bindText(1, owner_);
        s.bindText(2, name);
        s.step(db_, path_);
    }
}

void Catalog::setTableComment(const QString &table, const QString &comment) const
{
    SqliteStmt s = SqliteStmt::prepare(
        db_, path_, utf8("INSERT OR REPLACE INTO tavrex_tab_comments(owner, table_name, comments) VALUES (?1, ?2, ?3)"));
    s.bindText(1, owner_);
    s.bindText(2, table);
    if (comment.isEmpty())
        sqlite3_bind_null(s.get(), 3);  // '' is NULL: the comment is removed
    else
        s.bindText(3, comment);
    s.step(db_, path_);
}

void Catalog::setColumnComment(const QString &table, const QString &column, const QString &comment) const
{
    SqliteStmt s = SqliteStmt::prepare(
        db_, path_,
        utf8("INSERT OR REPLACE INTO tavrex_col_comments(owner, table_name, column_name, comments)"
             " VALUES (?1, ?2, ?3, ?4)"));
    s.bindText(1, owner_);
    s.bindText(2, table);
    s.bindText(3, column);
    if (comment.isEmpty())
        sqlite3_bind_null(s.get(), 4);
    else
        s.bindText(4, comment);
    s.step(db_, path_);
}

QString Catalog::tableComment(const QString &table) const
{
    SqliteStmt s = SqliteStmt::prepare(
        db_, path_, utf8("SELECT comments FROM tavrex_tab_comments WHERE owner = ?1 AND table_name = ?2"));
    s.bindText(1, owner_);
    s.bindText(2, table);
    return s.step(db_, path_) ? s.text(0) : QString();
}

QString Catalog::columnComment(const QString &table, const QString &column) const
{
    SqliteStmt s = SqliteStmt::prepare(
        db_, path_,
        utf8("SELECT comments FROM tavrex_col_comments WHERE owner = ?1 AND table_name = ?2 AND column_name = ?3"));
    s.bindText(1, owner_);
    s.bindText(2, table);
    s.bindText(3, column);
    return s.step(db_, path_) ? s.text(0) : QString();
}

bool Catalog::findIdentity(const QString &table, IdentityInfo *out) const
{
    SqliteStmt s = SqliteStmt::prepare(
        db_, path_,
        utf8("SELECT column_name, sequence_name, next_value FROM tavrex_tab_identity_cols"
             " WHERE owner = ?1 AND table_name = ?2"));
    s.bindText(1, owner_);
    s.bindText(2, table);
    if (!s.step(db_, path_))
        return false;
    if (out) {
        out->table = table;
        out->column = s.text(0);
        out->sequenceName = s.text(1);
        out->nextValue = s.integer(2);
    }
    return true;
}

void Catalog::insertIdentity(const IdentityInfo &identity) const
{
    SqliteStmt s = SqliteStmt::prepare(
        db_, path_,
        utf8("INSERT INTO tavrex_tab_identity_cols(owner, table_name, column_name, sequence_name, next_value)"
             " VALUES (?1, ?2, ?3, ?4, ?5)"));
    s.bindText(1, owner_);
    s.bindText(2, identity.table);
    s.bindText(3, identity.column);
    s.bindText(4, identity.sequenceName);
    sqlite3_bind_int64(s.get(), 5, identity.nextValue);
    s.step(db_, path_);
}

void Catalog::setIdentityNext(const QString &table, qint64 nextValue) const
{
    SqliteStmt s = SqliteStmt::prepare(
        db_, path_,
        utf8("UPDATE tavrex_tab_identity_cols SET next_value = ?3 WHERE owner = ?1 AND table_name = ?2"));
    s.bindText(1, owner_);
    s.bindText(2, table);
    sqlite3_bind_int64(s.get(), 3, nextValue);
    s.step(db_, path_);
}

} // namespace tavrex::embedded
