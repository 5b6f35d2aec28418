#include "connections/embedded/embeddedtarget.h"

#include "engine/core/textrules.h"

#include "connections/embedded/embeddedsessionimpl.h"
#include "connections/embedded/embeddedsql.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>
#include <optional>
#include <thread>
#include <vector>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tavrex {

using namespace embedded;

namespace {

// SQLite's busy handler of every session: a write waits for another
// session's write transaction as long as it lasts (a key built over a large
// table can take minutes), as an Oracle session waits for another's locks;
// the pause grows from 1 ms to 20 ms. Every write transaction of the target
// begins IMMEDIATE, so it waits here for the write lock instead of failing
// with SQLITE_BUSY when a read would have to become a write.
int waitForWriter(void *, int attempt)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(20, 1 << std::min(attempt, 5))));
    return 1;
}


DatabaseError openError(const QString &path, const QString &reason)
{
    return DatabaseError(QStringLiteral("Cannot open the embedded target \"%1\": %2").arg(path, reason));
}

// Creates a missing file readable and writable by its owner only: SQLite
// would create it with the umask's permissions, and its -wal and -shm files
// take the main file's.
void createPrivateFile(const QString &path)
{
#ifdef Q_OS_UNIX
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno == EEXIST)
            return;
        throw openError(path, QStringLiteral("the file cannot be created (%1)").arg(QString::fromLocal8Bit(std::strerror(errno))));
    }
    ::fchmod(fd, 0600);
    ::close(fd);
#else
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw openError(path, QStringLiteral("the file cannot be created (%1)").arg(f.errorString()));
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
#endif
}

// Refuses an existing file that is not one of this target's before anything
// is written to it: a file that is not a SQLite database, or one whose
// tables are another program's (Catalog::foreignContent). The file is read
// as immutable, which takes no lock and makes no -wal or -shm file. Pages in
// a log of its own (the file in use, or left by a program that ended
// without copying them) are not seen that way: the session's connection
// looks again before it changes anything.
void refuseForeignFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw openError(path, QStringLiteral("the file cannot be read (%1)").arg(f.errorString()));
    if (f.read(16) != QByteArray("SQLite format 3", 16))
        throw openError(path, QStringLiteral("the file is not a SQLite database"));
    f.close();
    if (QFileInfo(path + QStringLiteral("-wal")).size() > 0)
        return;
    const QByteArray uri =
        QByteArray("file:") + QFile::encodeName(path).toPercentEncoding("/") + QByteArray("?immutable=1");
    SqliteDb db;
    QString reason;
    if (sqlite3_open_v2(uri.constData(), db.out(), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) != SQLITE_OK) {
        reason = QString::fromUtf8(sqlite3_errmsg(db.get()));
    } else {
        try {
            reason = Catalog::foreignContent(db.get(), path);
        } catch (const DatabaseError &) {
            reason = QString::fromUtf8(sqlite3_errmsg(db.get()));
        }
    }
    if (!reason.isEmpty())
        throw openError(path, reason);
}

// The declared SQLite type of a column. It is there for a person reading the
// file, and it sets SQLite's column affinity so that nothing is converted on
// the way in: NUMBER and DATE are stored as text (exact decimal text,
// 'YYYY-MM-DD HH24:MI:SS'), hence NUMBER_TEXT and DATE_TEXT; RAW as a blob.
// VARCHAR2(n BYTE) shows as VARCHAR2_BYTE(n).
QString sqliteType(const ColumnSpec &c)
{
    switch (c.type) {
    case OraType::Number:
        if (!c.scaled)
            return QStringLiteral("NUMBER_TEXT");
        return QStringLiteral("NUMBER_TEXT(%1,%2)").arg(c.precision > 0 ? c.precision : kNumberDigits).arg(c.scale);
    case OraType::Varchar2:
        return QStringLiteral("%1(%2)").arg(c.byteSemantics ? "VARCHAR2_BYTE" : "VARCHAR2").arg(c.length);
    case OraType::Char: return QStringLiteral("%1(%2)").arg(c.byteSemantics ? "CHAR_BYTE" : "CHAR").arg(c.length);
    case OraType::Date: return QStringLiteral("DATE_TEXT");
    case OraType::Blob: return QStringLiteral("BLOB");
    case OraType::Clob: return QStringLiteral("CLOB");
    case OraType::Raw: return QStringLiteral("RAW_BLOB(%1)").arg(c.length);
    // REAL affinity for the IEEE numbers; TEXT affinity (and no "INT" in
    // the name, which would give INTEGER) for the timestamp and interval texts.
    case OraType::BinaryFloat: return QStringLiteral("BINARY_FLOAT");
    case OraType::BinaryDouble: return QStringLiteral("BINARY_DOUBLE");
    case OraType::Timestamp: return QStringLiteral("TIMESTAMP_TEXT(%1)").arg(c.fraction);
    case OraType::Interval: return QStringLiteral("DAY_TO_SECOND_TEXT(%1,%2)").arg(c.dayPrecision).arg(c.fraction);
    // BLOB affinity: the SRID's 4 bytes and the WKB (storedGeometry).
    case OraType::Geometry: return QStringLiteral("SDO_GEOMETRY_BLOB");
    }
    return QString();
}

[[noreturn]] void tableMissing()
{
    throw oraError(942, QStringLiteral("table or view does not exist"));
}

QString invalidIdentifier(const QString &name)
{
    return QStringLiteral("\"%1\": invalid identifier").arg(name);
}

// Resolves the key columns of a statement against the table: their specs,
// ORA-00904 for the first unknown one.
QVector<ColumnSpec> keyColumnSpecs(const TableInfo &table, const QStringList &names, QStringList *sqliteNames)
{
    QVector<ColumnSpec> specs;
    for (const QString &name : names) {
        int found = -1;
        for (int i = 0; i < table.columns.size(); ++i) {
            if (table.columns[i].name == name) {
                found = i;
                break;
            }
        }
        if (found < 0)
            throw oraError(904, invalidIdentifier(name));
        specs.append(table.columns[found]);
        sqliteNames->append(table.sqliteColumns[found]);
    }
    return specs;
}

QString quotedList(const QStringList &names)
{
    QStringList q;
    for (const QString &n : names)
        q.append(sqliteQuote(n));
    return q.join(QLatin1Char(','));
}

} // namespace

// ------------------------------------------------------------------ open

std::unique_ptr<OracleSession> openEmbeddedSession(const QString &path, const OracleLogin &login)
{
    if (login.user.isEmpty())
        throw oraError(1017, QStringLiteral("invalid username/password; logon denied"));
    if (path.isEmpty())
        throw openError(path, QStringLiteral("no file is named (the service name is embedded:PATH)"));

    const QFileInfo info(path);
    const QDir folder = info.absoluteDir();
    if (!folder.exists())
        throw openError(path, QStringLiteral("the folder \"%1\" does not exist").arg(folder.path()));
    if (info.exists()) {
        if (info.isDir())
            throw openError(path, QStringLiteral("it is a folder, not a file"));
        if (!info.isWritable())
            throw openError(path, QStringLiteral("the file is not writable"));
        // An empty file is a new target, like a missing one.
        if (info.size() > 0)
            refuseForeignFile(path);
    } else {
        createPrivateFile(path);
    }

    auto impl = std::make_unique<EmbeddedSession::Impl>();
    impl->path = path;
    impl->owner = asciiUpper(login.user);
    const QByteArray native = QFile::encodeName(path);
    const int rc = sqlite3_open_v2(native.constData(), impl->db.out(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                                   nullptr);
    if (rc != SQLITE_OK)
        throw openError(path, QString::fromUtf8(impl->db.get() ? sqlite3_errmsg(impl->db.get()) : sqlite3_errstr(rc)));
    sqlite3 *db = impl->db.get();
    if (sqlite3_db_readonly(db, "main") == 1)
        throw openError(path, QStringLiteral("the file is not writable"));
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_handler(db, &waitForWriter, nullptr);
    // A file whose pages are in its log (see refuseForeignFile) is read
    // once more through this connection. Until it has been found to be a
    // target, closing the connection must not copy that log into the file.
    const bool hadShm = QFileInfo::exists(path + QStringLiteral("-shm"));
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    QString foreign;
    try {
        foreign = Catalog::foreignContent(db, path);
    } catch (const DatabaseError &e) {
        foreign = e.message();
    }
    if (!foreign.isEmpty()) {
        impl->db.reset();
        if (!hadShm)
            QFile::remove(path + QStringLiteral("-shm"));
        throw openError(path, foreign);
    }
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
    try {
        // WAL: readers never wait for the writer and see only committed
        // batches; NORMAL synchronous keeps every commit through a killed
        // process (only a power cut can lose the last ones).
        SqliteStmt wal = SqliteStmt::prepare(db, path, QByteArray("PRAGMA journal_mode=WAL"));
        if (!wal.step(db, path) || wal.text(0).compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
            throw openError(path, QStringLiteral("the file cannot be put in WAL mode"));
        wal.reset();
        sqliteExec(db, path, "PRAGMA synchronous=NORMAL");
        Catalog::create(db, path);
        impl->checkpointer = Checkpointer::attach(db, path);
        impl->locks = RowLocks::open(path);
    } catch (const DatabaseError &e) {
        if (e.message().startsWith(QLatin1String("Cannot open")))
            throw;
        throw openError(path, e.message());
    }
    return std::unique_ptr<OracleSession>(new EmbeddedSession(std::move(impl)));
}

EmbeddedSession::EmbeddedSession(std::unique_ptr<Impl> impl) : d_(std::move(impl)) {}

EmbeddedSession::~EmbeddedSession() = default;

const QString &EmbeddedSession::path() const
{
    return d_->path;
}

const QString &EmbeddedSession::owner() const
{
    return d_->owner;
}

void EmbeddedSession::setLogLimitBytes(qint64 bytes)
{
    if (d_->checkpointer)
        d_->checkpointer->setLimitBytes(bytes);
}

void EmbeddedSession::setRowObserver(std::function<void(int)> observer)
{
    d_->observer = std::move(observer);
}

void EmbeddedSession::setCommitGate(std::function<bool()> gate)
{
    d_->commitGate = std::move(gate);
}

// ------------------------------------------------------------------ statements

namespace {

void createTable(const Catalog &cat, const Statement &st)
{
    sqlite3 *db = cat.db();
    WriteTransaction tx(db, cat.path());
    if (cat.findTable(st.table, nullptr))
        throw oraError(955, QStringLiteral("name is already used by an existing object"));

    TableInfo t;
    t.name = st.table;
    t.columns = st.columns;
    t.sqliteName = cat.freeSqliteName(cat.owner() + QLatin1Char('.') + st.table);
    // SQLite compares column names without regard to ASCII case, and rowid,
    // oid and _rowid_ would hide the row order: such names get a suffix.
    QStringList taken = {QStringLiteral("rowid"), QStringLiteral("oid"), QStringLiteral("_rowid_")};
    QStringList defs;
    for (const ColumnSpec &c : st.columns) {
        QString name = c.name;
        for (int n = 2; taken.contains(name, Qt::CaseInsensitive); ++n)
            name = c.name + QLatin1Char('#') + QString::number(n);
        taken.append(name);
        t.sqliteColumns.append(name);
        defs.append(sqliteQuote(name) + QLatin1Char(' ') + sqliteType(c));
    }
    // An identity column takes its values from a sequence of its own, which
    // the dictionary shows as the column's default, as Oracle's does.
    IdentityInfo identity;
    for (ColumnSpec &c : t.columns) {
        if (!c.identity)
            continue;
        if (!identity.column.isEmpty())
            throw oraError(30669, QStringLiteral("table can only have one identity column"));
        identity.table = t.name;
        identity.column = c.name;
        identity.sequenceName = QStringLiteral("ISEQ$$_%1").arg(cat.nextSystemNumber());
        c.defaultText = QStringLiteral("\"%1\".\"%2\".nextval").arg(cat.owner(), identity.sequenceName);
    }
    const QString ddl = QStringLiteral("CREATE TABLE %1 (%2)").arg(sqliteQuote(t.sqliteName), defs.join(QLatin1String(", ")));
    sqliteExec(db, cat.path(), ddl.toUtf8().constData());
    cat.insertTable(t);
    if (!identity.column.isEmpty())
        cat.insertIdentity(identity);
    tx.commit();
}

void dropTable(const Catalog &cat, const Statement &st)
{
    sqlite3 *db = cat.db();
    WriteTransaction tx(db, cat.path());
    TableInfo t;
    if (!cat.findTable(st.table, &t))
        tableMissing();
    // Foreign keys of other tables that refer to this one: refused, or
    // dropped with CASCADE CONSTRAINTS (their triggers live on their tables).
    for (const ConstraintInfo &fk : cat.referencingKeys(t.name)) {
        if (fk.table == t.name)
            continue;
        if (!st.cascadeConstraints)
            throw oraError(2449, QStringLiteral("unique/primary keys in table referenced by foreign keys"));
        sqliteExec(db, cat.path(),
                   (QStringLiteral("DROP TRIGGER IF EXISTS ") + sqliteQuote(fk.sqliteTrigger)).toUtf8().constData());
        cat.deleteConstraint(fk.name);
    }
    // Dropping the SQLite table drops its SQLite indexes and triggers; Oracle
    // drops the table's indexes and constraints with it.
    sqliteExec(db, cat.path(), (QStringLiteral("DROP TABLE ") + sqliteQuote(t.sqliteName)).toUtf8().constData());
    cat.deleteTable(t.name);
    tx.commit();
}

// The index that serves a key: an index of the table whose leading columns
// are the key's columns in any order (the shortest such), or none.
QString servingIndex(const Catalog &cat, const QString &table, const QStringList &keyColumns)
{
    const QSet<QString> keySet(keyColumns.begin(), keyColumns.end());
    QString found;
    int bestLength = 0;
    for (const IndexInfo &i : cat.indexes(table)) {
        if (i.isDomain() || i.columns.size() < keyColumns.size())
            continue;
        const QStringList lead = i.columns.mid(0, keyColumns.size());
        if (QSet<QString>(lead.begin(), lead.end()) != keySet || lead.size() != keySet.size())
            continue;
        if (found.isEmpty() || i.columns.size() < bestLength) {
            found = i.name;
            bestLength = int(i.columns.size());
        }
    }
    return found;
}

// The index of a key: the index that serves it, or else one of the key's own
// name, which must then be free. ownIndex tells which.
QString keyIndexName(const Catalog &cat, const QString &table, const QStringList &keyColumns, const QString &name,
                     bool *ownIndex)
{
    QString indexName = servingIndex(cat, table, keyColumns);
    *ownIndex = indexName.isEmpty();
    if (*ownIndex) {
        indexName = name;
        if (cat.indexExists(indexName))
            throw oraError(955, QStringLiteral("name is already used by an existing object"));
    }
    return indexName;
}

// Records the unique index a key made for itself.
void recordKeyIndex(const Catalog &cat, const QString &table, const QStringList &keyColumns,
                    const QString &indexName, const QString &sqliteIndex)
{
    IndexInfo i;
    i.name = indexName;
    i.table = table;
    i.columns = keyColumns;
    i.unique = true;
    i.sqliteName = sqliteIndex;
    cat.insertIndex(i);
}

QString sqliteLiteral(const QString &text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString constraintNameFor(const Catalog &cat, const Statement &st)
{
    QString name = st.name;
    if (name.isEmpty())
        name = QStringLiteral("SYS_C%1").arg(cat.nextSystemNumber(), 7, 10, QLatin1Char('0'));
    if (cat.constraintExists(name))
        throw oraError(2264, QStringLiteral("name already used by an existing constraint"));
    return name;
}

// A BEFORE INSERT trigger that refuses a row with an Oracle error when the
// condition holds for it; the batch insert passes the message on.
QString createRefusingTrigger(const Catalog &cat, const TableInfo &t, const QString &constraint,
                              const QString &condition, const QString &message)
{
    const QString trigger = cat.freeSqliteName(cat.owner() + QLatin1Char('.') + constraint + QStringLiteral("#ins"));
    sqliteExec(cat.db(), cat.path(),
               QStringLiteral("CREATE TRIGGER %1 BEFORE INSERT ON %2 WHEN %3 BEGIN SELECT RAISE(ABORT, %4); END")
                   .arg(sqliteQuote(trigger), sqliteQuote(t.sqliteName), condition, sqliteLiteral(message))
                   .toUtf8()
                   .constData());
    return trigger;
}

bool anyRow(const Catalog &cat, const QString &sql)
{
    SqliteStmt q = SqliteStmt::prepare(cat.db(), cat.path(), sql.toUtf8());
    return q.step(cat.db(), cat.path());
}

bool sameColumnSet(const QStringList &a, const QStringList &b)
{
    return a.size() == b.size() && QSet<QString>(a.begin(), a.end()) == QSet<QString>(b.begin(), b.end());
}

// The table a key goes on and the SQLite names of the key's columns;
// refuses a LOB column, which no unique key or primary key may hold.
TableInfo keyTable(const Catalog &cat, const Statement &st, QStringList *sqliteCols)
{
    TableInfo t;
    if (!cat.findTable(st.table, &t))
        tableMissing();
    for (const ColumnSpec &c : keyColumnSpecs(t, st.keyColumns, sqliteCols)) {
        if (isLob(c.type))
            throw oraError(2329, QStringLiteral("column of datatype LOB cannot be unique or a primary key"));
        if (c.type == OraType::Geometry)
            throw oraError(2329, QStringLiteral("column of datatype ADT cannot be unique or a primary key"));
    }
    return t;
}

void addPrimaryKey(const Catalog &cat, const Statement &st)
{
    sqlite3 *db = cat.db();
    WriteTransaction tx(db, cat.path());
    QStringList sqliteCols;
    const TableInfo t = keyTable(cat, st, &sqliteCols);
    for (const ConstraintInfo &c : cat.constraints(t.name)) {
        if (c.type == QLatin1String("P"))
            throw oraError(2260, QStringLiteral("table can have only one primary key"));
    }
    const QString name = constraintNameFor(cat, st);

    // An index whose leading columns are the key's columns (in any order)
    // serves the key; otherwise the key gets a unique index of its own name.
    bool ownIndex = false;
    const QString indexName = keyIndexName(cat, t.name, st.keyColumns, name, &ownIndex);

    QStringList anyNull;
    for (const QString &c : sqliteCols)
        anyNull.append(sqliteQuote(c) + QLatin1String(" IS NULL"));
    if (anyRow(cat, QStringLiteral("SELECT 1 FROM %1 WHERE %2 LIMIT 1")
                        .arg(sqliteQuote(t.sqliteName), anyNull.join(QLatin1String(" OR ")))))
        throw oraError(1449, QStringLiteral("column contains NULL values; cannot alter to NOT NULL"));

    // The key is enforced by a SQLite unique index (NUMBER, DATE and CHAR
    // values are stored in one canonical text each, so equal values are
    // equal texts).
    const QString sqliteIndex = cat.freeSqliteName(cat.owner() + QLatin1Char('.') + name);
    const QByteArray ddl = QStringLiteral("CREATE UNIQUE INDEX %1 ON %2 (%3)")
                               .arg(sqliteQuote(sqliteIndex), sqliteQuote(t.sqliteName), quotedList(sqliteCols))
                               .toUtf8();
    char *err = nullptr;
    const int rc = sqlite3_exec(db, ddl.constData(), nullptr, nullptr, &err);
    sqlite3_free(err);
    if (rc != SQLITE_OK) {
        if ((rc & 0xff) == SQLITE_CONSTRAINT)
            throw oraError(2437, QStringLiteral("cannot validate (%1.%2) - primary key violated").arg(cat.owner(), name));
        throw sqliteError(db, cat.path(), "create index");
    }

    cat.setNotNull(t.name, st.keyColumns);
    if (ownIndex)
        recordKeyIndex(cat, t.name, st.keyColumns, indexName, sqliteIndex);
    ConstraintInfo c;
    c.name = name;
    c.table = t.name;
    c.type = QStringLiteral("P");
    c.columns = st.keyColumns;
    c.indexName = indexName;
    c.sqliteIndex = sqliteIndex;
    cat.insertConstraint(c);
    tx.commit();
}

// Oracle's unique key: rows whose key columns are all NULL are not
// compared; the others are equal when every column is equal or NULL in both.
void addUnique(const Catalog &cat, const Statement &st)
{
    sqlite3 *db = cat.db();
    WriteTransaction tx(db, cat.path());
    QStringList sqliteCols;
    const TableInfo t = keyTable(cat, st, &sqliteCols);
    for (const ConstraintInfo &c : cat.constraints(t.name)) {
        if ((c.type == QLatin1String("P") || c.type == QLatin1String("U")) && sameColumnSet(c.columns, st.keyColumns))
            throw oraError(2261, QStringLiteral("such unique or primary key already exists in the table"));
    }
    const QString name = constraintNameFor(cat, st);
    bool ownIndex = false;
    const QString indexName = keyIndexName(cat, t.name, st.keyColumns, name, &ownIndex);

    QStringList notAllNull, sameKey, sameKeyNew, someNotNullA;
    for (const QString &c : sqliteCols) {
        notAllNull.append(QStringLiteral("NEW.%1 IS NOT NULL").arg(sqliteQuote(c)));
        sameKey.append(QStringLiteral("a.%1 IS b.%1").arg(sqliteQuote(c)));
        sameKeyNew.append(QStringLiteral("k.%1 IS NEW.%1").arg(sqliteQuote(c)));
        someNotNullA.append(QStringLiteral("a.%1 IS NOT NULL").arg(sqliteQuote(c)));
    }
    if (anyRow(cat, QStringLiteral("SELECT 1 FROM %1 a JOIN %1 b ON a.rowid < b.rowid AND %2 WHERE (%3) LIMIT 1")
                        .arg(sqliteQuote(t.sqliteName), sameKey.join(QLatin1String(" AND ")),
                             someNotNullA.join(QLatin1String(" OR ")))))
        throw oraError(2299, QStringLiteral("cannot validate (%1.%2) - duplicate keys found").arg(cat.owner(), name));

    QString sqliteIndex;
    if (ownIndex) {
        sqliteIndex = cat.freeSqliteName(cat.owner() + QLatin1Char('.') + name);
        sqliteExec(db, cat.path(),
                   QStringLiteral("CREATE INDEX %1 ON %2 (%3)")
                       .arg(sqliteQuote(sqliteIndex), sqliteQuote(t.sqliteName), quotedList(sqliteCols))
                       .toUtf8()
                       .constData());
        recordKeyIndex(cat, t.name, st.keyColumns, indexName, sqliteIndex);
    }
    ConstraintInfo c;
    c.name = name;
    c.table = t.name;
    c.type = QStringLiteral("U");
    c.columns = st.keyColumns;
    c.indexName = indexName;
    c.sqliteIndex = sqliteIndex;
    c.sqliteTrigger = createRefusingTrigger(
        cat, t, name,
        QStringLiteral("(%1) AND EXISTS (SELECT 1 FROM %2 k WHERE %3)")
            .arg(notAllNull.join(QLatin1String(" OR ")), sqliteQuote(t.sqliteName),
                 sameKeyNew.join(QLatin1String(" AND "))),
        oraMessage(1, QStringLiteral("unique constraint (%1.%2) violated").arg(cat.owner(), name)));
    cat.insertConstraint(c);
    tx.commit();
}

// CHECK ("A" IN ('x','y')): a NULL passes, as in Oracle.
void addCheck(const Catalog &cat, const Statement &st)
{
    sqlite3 *db = cat.db();
    WriteTransaction tx(db, cat.path());
    TableInfo t;
    if (!cat.findTable(st.table, &t))
        tableMissing();
    QStringList sqliteCols;
    keyColumnSpecs(t, {st.checkColumn}, &sqliteCols);
    const QString name = constraintNameFor(cat, st);
    QStringList literals;
    for (const QString &v : st.checkValues)
        literals.append(sqliteLiteral(v));
    const QString column = sqliteQuote(sqliteCols.first());
    if (anyRow(cat, QStringLiteral("SELECT 1 FROM %1 WHERE %2 IS NOT NULL AND %2 NOT IN (%3) LIMIT 1")
                        .arg(sqliteQuote(t.sqliteName), column, literals.join(QLatin1Char(',')))))
        throw oraError(2293, QStringLiteral("cannot validate (%1.%2) - check constraint violated").arg(cat.owner(), name));
    ConstraintInfo c;
    c.name = name;
    c.table = t.name;
    c.type = QStringLiteral("C");
    c.columns = QStringList{st.checkColumn};
    c.searchCondition = st.condition;
    c.sqliteTrigger = createRefusingTrigger(
        cat, t, name,
        QStringLiteral("NEW.%1 IS NOT NULL AND NEW.%1 NOT IN (%2)").arg(column, literals.join(QLatin1Char(','))),
        oraMessage(2290, QStringLiteral("check constraint (%1.%2) violated").arg(cat.owner(), name)));
    cat.insertConstraint(c);
    tx.commit();
}

// FOREIGN KEY: a row with a NULL in any of its columns is not checked; the
// others need a parent row with equal values (stored forms are canonical,
// so equal values are equal texts).
void addForeignKey(const Catalog &cat, const Statement &st)
{
    sqlite3 *db = cat.db();
    WriteTransaction tx(db, cat.path());
    TableInfo child, parent;
    if (!cat.findTable(st.table, &child))
        tableMissing();
    QStringList childCols;
    const QVector<ColumnSpec> childSpecs = keyColumnSpecs(child, st.keyColumns, &childCols);
    if (!cat.findTable(st.refTable, &parent))
        tableMissing();
    QStringList refColumns = st.refColumns;
    ConstraintInfo parentKey;
    if (refColumns.isEmpty()) {
        bool found = false;
        for (const ConstraintInfo &c : cat.constraints(parent.name)) {
            if (c.type == QLatin1String("P")) {
                parentKey = c;
                found = true;
            }
        }
        if (!found)
            throw oraError(2268, QStringLiteral("referenced table does not have a primary key"));
        refColumns = parentKey.columns;
    }
    QStringList parentCols;
    const QVector<ColumnSpec> parentSpecs = keyColumnSpecs(parent, refColumns, &parentCols);
    if (refColumns.size() != st.keyColumns.size())
        throw oraError(2256, QStringLiteral("number of referencing columns must match referenced columns"));
    if (!st.refColumns.isEmpty()) {
        bool found = false;
        for (const ConstraintInfo &c : cat.constraints(parent.name)) {
            if ((c.type == QLatin1String("P") || c.type == QLatin1String("U")) && sameColumnSet(c.columns, refColumns)) {
                parentKey = c;
                found = true;
                break;
            }
        }
        if (!found)
            throw oraError(2270, QStringLiteral("no matching unique or primary key for this column-list"));
    }
    for (int i = 0; i < childSpecs.size(); ++i) {
        if (childSpecs[i].type != parentSpecs[i].type)
            throw oraError(2267, QStringLiteral("column type incompatible with referenced column type"));
    }
    const QString name = constraintNameFor(cat, st);

    QStringList allSet, allSetNew, match, matchNew;
    for (int i = 0; i < childCols.size(); ++i) {
        allSet.append(QStringLiteral("c.%1 IS NOT NULL").arg(sqliteQuote(childCols[i])));
        allSetNew.append(QStringLiteral("NEW.%1 IS NOT NULL").arg(sqliteQuote(childCols[i])));
        match.append(QStringLiteral("p.%1 = c.%2").arg(sqliteQuote(parentCols[i]), sqliteQuote(childCols[i])));
        matchNew.append(QStringLiteral("p.%1 = NEW.%2").arg(sqliteQuote(parentCols[i]), sqliteQuote(childCols[i])));
    }
    if (anyRow(cat, QStringLiteral("SELECT 1 FROM %1 c WHERE %2 AND NOT EXISTS (SELECT 1 FROM %3 p WHERE %4) LIMIT 1")
                        .arg(sqliteQuote(child.sqliteName), allSet.join(QLatin1String(" AND ")),
                             sqliteQuote(parent.sqliteName), match.join(QLatin1String(" AND ")))))
        throw oraError(2298, QStringLiteral("cannot validate (%1.%2) - parent keys not found").arg(cat.owner(), name));

    ConstraintInfo c;
    c.name = name;
    c.table = child.name;
    c.type = QStringLiteral("R");
    c.columns = st.keyColumns;
    c.rConstraintName = parentKey.name;
    c.deleteRule = st.deleteRule;
    c.sqliteTrigger = createRefusingTrigger(
        cat, child, name,
        QStringLiteral("%1 AND NOT EXISTS (SELECT 1 FROM %2 p WHERE %3)")
            .arg(allSetNew.join(QLatin1String(" AND ")), sqliteQuote(parent.sqliteName),
                 matchNew.join(QLatin1String(" AND "))),
        oraMessage(2291,
                   QStringLiteral("integrity constraint (%1.%2) violated - parent key not found").arg(cat.owner(), name)));
    cat.insertConstraint(c);
    tx.commit();
}

// Compares two canonical NUMBER texts.
int compareNumbers(const QString &a, const QString &b)
{
    const bool negA = a.startsWith(QLatin1Char('-')), negB = b.startsWith(QLatin1Char('-'));
    if (negA != negB)
        return negA ? -1 : 1;
    const QString x = negA ? a.mid(1) : a, y = negB ? b.mid(1) : b;
    const qsizetype dx = x.indexOf(QLatin1Char('.')), dy = y.indexOf(QLatin1Char('.'));
    const qsizetype ix = dx < 0 ? x.size() : dx, iy = dy < 0 ? y.size() : dy;
    int order = ix != iy ? (ix < iy ? -1 : 1) : x.compare(y);
    order = order < 0 ? -1 : order > 0 ? 1 : 0;
    return negA ? -order : order;
}

// ALTER TABLE ... MODIFY col GENERATED BY DEFAULT AS IDENTITY (START WITH ...):
// LIMIT VALUE puts the next value after the largest value the column holds
// (an empty table keeps the next value it had).
void modifyIdentity(const Catalog &cat, const Statement &st)
{
    sqlite3 *db = cat.db();
    WriteTransaction tx(db, cat.path());
    TableInfo t;
    if (!cat.findTable(st.table, &t))
        tableMissing();
    QStringList sqliteCols;
    keyColumnSpecs(t, {st.column}, &sqliteCols);
    IdentityInfo identity;
    if (!cat.findIdentity(t.name, &identity) || identity.column != st.column)
        throw oraError(30673, QStringLiteral("column to be modified is not an identity column"));
    qint64 next = st.startWith;
    if (st.startWithLimitValue) {
        next = identity.nextValue;
        SqliteStmt q = SqliteStmt::prepare(db, cat.path(),
                                           QStringLiteral("SELECT %1 FROM %2 WHERE %1 IS NOT NULL")
                                               .arg(sqliteQuote(sqliteCols.first()), sqliteQuote(t.sqliteName))
                                               .toUtf8());
        QString largest;
        while (q.step(db, cat.path())) {
            const QString v = q.text(0);
            if (largest.isEmpty() || compareNumbers(v, largest) > 0)
                largest = v;
        }
        if (!largest.isEmpty()) {
            bool ok = false;
            const qint64 top = largest.toLongLong(&ok);
            if (!ok || top == std::numeric_limits<qint64>::max())
                throw oraError(1426, QStringLiteral("numeric overflow"));
            next = top + 1;
        }
    }
    cat.setIdentityNext(t.name, next);
    tx.commit();
}

void commentOn(const Catalog &cat, const Statement &st)
{
    WriteTransaction tx(cat.db(), cat.path());
    TableInfo t;
    if (!cat.findTable(st.table, &t))
        tableMissing();
    if (st.kind == Statement::Kind::CommentOnTable) {
        cat.setTableComment(t.name, st.comment);
    } else {
        QStringList sqliteCols;
        keyColumnSpecs(t, {st.column}, &sqliteCols);
        cat.setColumnComment(t.name, st.column, st.comment);
    }
    tx.commit();
}

// An Oracle Text (CONTEXT) index: a domain index, recorded in the dictionary
// only (the target answers no CONTAINS query). It takes one column of a type
// Oracle Text reads, and one such index per column.
void createTextIndex(const Catalog &cat, const TableInfo &t, const Statement &st, const QVector<ColumnSpec> &specs)
{
    if (specs.size() > 1)
        throw oraError(29851, QStringLiteral("cannot build a domain index on more than one column"));
    const ColumnSpec &c = specs.first();
    if (c.type != OraType::Varchar2 && c.type != OraType::Char && c.type != OraType::Clob && c.type != OraType::Blob)
        throw DatabaseError(oraMessage(29855, QStringLiteral("error occurred in the execution of ODCIINDEXCREATE "
                                                             "routine")) +
                                QLatin1Char('\n') + oraMessage(20000, QStringLiteral("Oracle Text error:")) +
                                QStringLiteral("\nDRG-10509: invalid text column: ") + c.name,
                            29855);
    for (const IndexInfo &i : cat.indexes(t.name)) {
        if (i.isDomain() && i.columns == st.keyColumns)
            throw oraError(29879, QStringLiteral("cannot create multiple domain indexes on a column list using "
                                                 "same indextype"));
    }
    IndexInfo i;
    i.name = st.name;
    i.table = t.name;
    i.columns = st.keyColumns;
    i.type = QStringLiteral("DOMAIN");
    i.itypOwner = QStringLiteral("CTXSYS");
    i.itypName = QStringLiteral("CONTEXT");
    cat.insertIndex(i);
}

void createIndex(const Catalog &cat, const Statement &st)
{
    sqlite3 *db = cat.db();
    WriteTransaction tx(db, cat.path());
    TableInfo t;
    if (!cat.findTable(st.table, &t))
        tableMissing();
    if (cat.indexExists(st.name))
        throw oraError(955, QStringLiteral("name is already used by an existing object"));
    QStringList sqliteCols;
    const QVector<ColumnSpec> specs = keyColumnSpecs(t, st.keyColumns, &sqliteCols);
    if (!st.indexType.isEmpty()) {
        createTextIndex(cat, t, st, specs);
        tx.commit();
        return;
    }
    for (const ColumnSpec &c : specs) {
        if (isLob(c.type))
            throw oraError(2327, QStringLiteral("cannot create index on expression with datatype LOB"));
        if (c.type == OraType::Geometry)
            throw oraError(2327, QStringLiteral("cannot create index on expression with datatype ADT"));
    }
    for (const IndexInfo &i : cat.indexes(t.name)) {
        if (!i.isDomain() && i.columns == st.keyColumns)
            throw oraError(1408, QStringLiteral("such column list already indexed"));
    }
    IndexInfo i;
    i.name = st.name;
    i.table = t.name;
    i.columns = st.keyColumns;
    i.unique = false;
    i.sqliteName = cat.freeSqliteName(cat.owner() + QLatin1Char('.') + st.name);
    sqliteExec(db, cat.path(),
               QStringLiteral("CREATE INDEX %1 ON %2 (%3)")
                   .arg(sqliteQuote(i.sqliteName), sqliteQuote(t.sqliteName), quotedList(sqliteCols))
                   .toUtf8()
                   .constData());
    cat.insertIndex(i);
    tx.commit();
}

qint64 countTables(const Catalog &cat, const Statement &st)
{
    // upper(owner) is Oracle's UPPER, so the stored owner is upper-cased by
    // the Unicode rules before it is compared with the literal.
    SqliteStmt q = SqliteStmt::prepare(cat.db(), cat.path(),
                                       QByteArray("SELECT owner FROM tavrex_tables WHERE table_name = ?1"));
    q.bindText(1, st.tableLiteral);
    qint64 n = 0;
    while (q.step(cat.db(), cat.path())) {
        if (q.text(0).toUpper() == st.ownerLiteral)
            ++n;
    }
    return n;
}

qint64 countRows(const Catalog &cat, const Statement &st)
{
    TableInfo t;
    if (!cat.findTable(st.table, &t))
        tableMissing();
    SqliteStmt q = SqliteStmt::prepare(cat.db(), cat.path(),
                                       QStringLiteral("SELECT count(*) FROM %1").arg(sqliteQuote(t.sqliteName)).toUtf8());
    q.step(cat.db(), cat.path());
    return sqlite3_column_int64(q.get(), 0);
}

QVector<OracleColumn> describeTable(const Catalog &cat, const Statement &st)
{
    TableInfo t;
    if (!cat.findTable(st.table, &t))
        tableMissing();
    QVector<OracleColumn> out;
    for (const ColumnSpec &c : t.columns)
        out.append(toOracleColumn(c));
    return out;
}

[[noreturn]] void resourceBusy()
{
    throw oraError(54, QStringLiteral("resource busy and acquire with NOWAIT specified or timeout expired"));
}

// The key of a table in the row locks: its row in the dictionary; 0 when
// there is no such table.
std::int64_t tableKey(const Catalog &cat, const QString &table)
{
    SqliteStmt q = SqliteStmt::prepare(
        cat.db(), cat.path(), QByteArray("SELECT rowid FROM tavrex_tables WHERE owner = ?1 AND table_name = ?2"));
    q.bindText(1, cat.owner());
    q.bindText(2, table);
    return q.step(cat.db(), cat.path()) ? q.integer(0) : 0;
}

// DDL that changes a table (drops it, adds keys, indexes or checks, changes
// its identity) takes the whole table from the row locks for the statement:
// ORA-00054 when another session holds a row of it, as Oracle's DDL gives
// when it cannot lock the table at once.
class TableLock {
public:
    TableLock(RowLocks *locks, const Catalog &cat, const Statement &st)
    {
        switch (st.kind) {
        case Statement::Kind::DropTable:
        case Statement::Kind::AddPrimaryKey:
        case Statement::Kind::CreateIndex:
        case Statement::Kind::AddUnique:
        case Statement::Kind::AddCheck:
        case Statement::Kind::AddForeignKey:
        case Statement::Kind::ModifyIdentity: break;
        default: return;
        }
        key_ = locks ? tableKey(cat, st.table) : 0;
        if (key_ == 0)
            return;  // no such table: the statement reports it
        if (!locks->tryLockTable(key_))
            resourceBusy();
        locks_ = locks;
    }
    TableLock(const TableLock &) = delete;
    TableLock &operator=(const TableLock &) = delete;
    ~TableLock()
    {
        if (locks_)
            locks_->endTableLock(key_);
    }

private:
    RowLocks *locks_ = nullptr;
    std::int64_t key_ = 0;
};

} // namespace

namespace {

// TAVREX_EMBEDDED_STATEMENTS=FILE: every statement given to execute() is
// appended to FILE as it came, one JSON text a line, so that what a run sent
// can be read back whole (the tests hold the check's statements against it).
void traceStatement(const QString &sql)
{
    static const QString path = qEnvironmentVariable("TAVREX_EMBEDDED_STATEMENTS");
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    QJsonArray line{sql};
    QByteArray text = QJsonDocument(line).toJson(QJsonDocument::Compact);
    file.write(text.mid(1, text.size() - 2) + '\n');
}

} // namespace

void EmbeddedSession::execute(const QString &sql)
{
    traceStatement(sql);
    const Statement st = parseStatement(sql);
    Catalog cat = d_->catalog();
    if (st.kind == Statement::Kind::Commit || st.kind == Statement::Kind::Rollback) {
        // A batch commits or rolls back its own rows; what is left of a
        // transaction between statements is its row locks.
        d_->endTransaction();
        return;
    }
    if (st.kind == Statement::Kind::Update || st.kind == Statement::Kind::Delete) {
        // Rows change in a transaction of their own here (the record of
        // conversions commits each change at once); unlike DDL, they end
        // none of the session's row locks. Such a change writes a few pages,
        // so it does not wait for a checkpoint that a batch as large as the
        // last one would.
        if (d_->checkpointer)
            d_->checkpointer->beforeWrite(embedded::Checkpointer::Expected::FewPages);
        WriteTransaction tx(d_->db.get(), d_->path);
        changeRows(st);
        if (d_->commitGate && !d_->commitGate())
            return;  // rolled back by the transaction's end
        tx.commit();
        return;
    }
    const bool writes = st.kind != Statement::Kind::CountTables && st.kind != Statement::Kind::CountRows &&
                        st.kind != Statement::Kind::DescribeTable && st.kind != Statement::Kind::SelectTable &&
                        st.kind != Statement::Kind::SelectColumns;
    if (writes) {
        d_->endTransaction();  // DDL commits the session's transaction first
        if (d_->checkpointer)
            d_->checkpointer->beforeWrite();
    }
    const TableLock tableLock(writes ? d_->locks.get() : nullptr, cat, st);
    switch (st.kind) {
    case Statement::Kind::CreateTable: createTable(cat, st); break;
    case Statement::Kind::DropTable: dropTable(cat, st); break;
    case Statement::Kind::AddPrimaryKey: addPrimaryKey(cat, st); break;
    case Statement::Kind::CreateIndex: createIndex(cat, st); break;
    case Statement::Kind::CountTables: countTables(cat, st); break;
    case Statement::Kind::CountRows: countRows(cat, st); break;
    case Statement::Kind::DescribeTable: describeTable(cat, st); break;
    case Statement::Kind::AddUnique: addUnique(cat, st); break;
    case Statement::Kind::AddCheck: addCheck(cat, st); break;
    case Statement::Kind::AddForeignKey: addForeignKey(cat, st); break;
    case Statement::Kind::ModifyIdentity: modifyIdentity(cat, st); break;
    case Statement::Kind::CommentOnTable:
    case Statement::Kind::CommentOnColumn: commentOn(cat, st); break;
    case Statement::Kind::SelectTable:
    case Statement::Kind::SelectColumns:
    case Statement::Kind::Update:
    case Statement::Kind::Delete:
    case Statement::Kind::Commit:
    case Statement::Kind::Rollback: throw oraError(900, QStringLiteral("invalid SQL statement"));
    }
}

namespace {

// A value of a WHERE condition as the column stores it, owned.
struct BoundValue {
    enum class Kind { Text, Blob, Real };
    Kind kind = Kind::Text;
    QByteArray bytes;
    double real = 0;
};

// A query's WHERE clause over the table's SQLite columns, its literals in
// the columns' stored forms. never: a condition no row meets.
struct WhereClause {
    QString sql;
    std::vector<BoundValue> values;  // ?1, ?2, ... in order
    bool never = false;

    void bind(sqlite3_stmt *stmt) const
    {
        for (size_t i = 0; i < values.size(); ++i) {
            const BoundValue &v = values[i];
            const int pos = int(i) + 1;
            if (v.kind == BoundValue::Kind::Real)
                sqlite3_bind_double(stmt, pos, v.real);
            else if (v.kind == BoundValue::Kind::Blob)
                sqlite3_bind_blob(stmt, pos, v.bytes.constData(), int(v.bytes.size()), SQLITE_TRANSIENT);
            else
                sqlite3_bind_text(stmt, pos, v.bytes.constData(), int(v.bytes.size()), SQLITE_TRANSIENT);
        }
    }
};

// Compiles the conditions: each literal is converted as an INSERT would
// convert it into the column (text into NUMBER by TO_NUMBER, a CHAR literal
// blank-padded), but a NUMBER literal is compared exactly, not rounded to
// the column's scale. A literal the column could not hold (too long, too
// many digits) matches no row, as in Oracle; one of another type fails as
// Oracle's implicit conversion fails (ORA-01722, ORA-01861, ORA-00932). A
// LOB or geometry column cannot be compared (ORA-00932).
WhereClause compileWhere(const TableInfo &t, const QVector<Condition> &where, const QString &owner)
{
    WhereClause w;
    QStringList terms;
    for (const Condition &c : where) {
        int found = -1;
        for (int i = 0; i < t.columns.size() && found < 0; ++i) {
            if (t.columns[i].name == c.column)
                found = i;
        }
        if (found < 0)
            throw oraError(904, invalidIdentifier(c.column));
        const QString column = sqliteQuote(t.sqliteColumns[found]);
        if (c.isNull) {
            terms.append(column + QStringLiteral(" IS NULL"));
            continue;
        }
        ColumnSpec spec = t.columns[found];
        if (isLob(spec.type) || spec.type == OraType::Geometry)
            throw oraError(932, QStringLiteral("inconsistent datatypes: expected - got %1")
                                    .arg(spec.type == OraType::Geometry ? QStringLiteral("MDSYS.SDO_GEOMETRY")
                                                                        : oraTypeName(spec.type)));
        if (c.literal.kind() == OracleValue::Kind::Text && c.literal.textValue().isEmpty()) {
            w.never = true;  // '' is NULL, which equals nothing
            continue;
        }
        spec.nullable = true;
        spec.identity = false;
        if (spec.type == OraType::Number) {
            spec.scaled = false;
            spec.precision = 0;
        }
        StoredValue stored;
        QString message;
        const int code = convertValue(c.literal, spec, QStringLiteral("\"%1\".\"%2\".\"%3\"").arg(owner, t.name, spec.name),
                                      stored, &message);
        if (code == 12899 || code == 1438) {
            w.never = true;
            continue;
        }
        if (code != 0)
            throw DatabaseError(message, code);
        BoundValue v;
        switch (stored.kind) {
        case StoredValue::Kind::Null: w.never = true; continue;
        case StoredValue::Kind::Text16: v.bytes = stored.text16->toUtf8(); break;
        case StoredValue::Kind::Text8: v.bytes = *stored.text8; break;
        case StoredValue::Kind::Utf8: v.bytes = QByteArray(stored.utf8.data(), qsizetype(stored.utf8.size())); break;
        case StoredValue::Kind::Blob:
            v.kind = BoundValue::Kind::Blob;
            v.bytes = stored.blob;
            break;
        case StoredValue::Kind::Real:
            v.kind = BoundValue::Kind::Real;
            v.real = stored.real;
            break;
        }
        w.values.push_back(v);
        terms.append(QStringLiteral("%1 = ?%2").arg(column).arg(w.values.size()));
    }
    w.sql = terms.join(QLatin1String(" AND "));
    return w;
}

// The rowids of the rows that meet the clause, in order.
std::vector<std::int64_t> matchingRowids(const Catalog &cat, const TableInfo &t, const WhereClause &w)
{
    std::vector<std::int64_t> out;
    if (w.never)
        return out;
    QString sql = QStringLiteral("SELECT rowid FROM ") + sqliteQuote(t.sqliteName);
    if (!w.sql.isEmpty())
        sql += QStringLiteral(" WHERE ") + w.sql;
    sql += QStringLiteral(" ORDER BY rowid");
    SqliteStmt q = SqliteStmt::prepare(cat.db(), cat.path(), sql.toUtf8());
    w.bind(q.get());
    while (q.step(cat.db(), cat.path()))
        out.push_back(q.integer(0));
    return out;
}

// SELECT ... FOR UPDATE: locks the rows that meet the query's conditions
// and returns their rowids, in order. The rows are read, locked (waiting as
// the clause says), and read again until every row that meets the
// conditions is locked: a row another session added meanwhile is locked
// too, and a table dropped meanwhile is ORA-00942. On failure the rows this
// statement locked are released; those the transaction held before stay.
std::vector<std::int64_t> lockMatchingRows(const Catalog &cat, RowLocks &locks, const Statement &st, TableInfo *t,
                                           WhereClause *w)
{
    RowLocks::Wait wait;
    switch (st.forUpdate.kind) {
    case RowLockClause::Kind::NoWait: wait.kind = RowLocks::Wait::Kind::No; break;
    case RowLockClause::Kind::WaitSeconds:
        wait.kind = RowLocks::Wait::Kind::Seconds;
        wait.seconds = st.forUpdate.seconds;
        break;
    default: wait.kind = RowLocks::Wait::Kind::Forever; break;
    }
    std::int64_t key = 0;
    std::vector<std::int64_t> taken;  // locked by this statement
    auto giveBack = [&] {
        locks.releaseRows(key, taken);
        taken.clear();
    };
    for (;;) {
        const std::int64_t now = cat.findTable(st.table, t) ? tableKey(cat, st.table) : 0;
        if (now != key)
            giveBack();
        key = now;
        if (key == 0)
            tableMissing();
        try {
            *w = compileWhere(*t, st.where, cat.owner());
        } catch (...) {
            giveBack();
            throw;
        }
        const std::vector<std::int64_t> rows = matchingRowids(cat, *t, *w);
        std::vector<std::int64_t> missing;
        for (std::int64_t r : rows) {
            if (!locks.holds(key, r))
                missing.push_back(r);
        }
        if (missing.empty()) {
            // Rows this statement locked that no longer meet the conditions.
            std::vector<std::int64_t> stale;
            for (std::int64_t r : taken) {
                if (!std::binary_search(rows.begin(), rows.end(), r))
                    stale.push_back(r);
            }
            locks.releaseRows(key, stale);
            return rows;
        }
        if (!locks.lockRows(key, missing, wait)) {
            giveBack();
            if (wait.kind == RowLocks::Wait::Kind::Seconds)
                throw oraError(30006, QStringLiteral("resource busy; acquire with WAIT timeout expired"));
            resourceBusy();
        }
        taken.insert(taken.end(), missing.begin(), missing.end());
    }
}

// The rows of one table in insertion order, stepped through one SQLite
// statement: only the current row is held.
class TableReader final : public OracleRowReader {
public:
    // withRows false: the describe query, which returns no row. items: the
    // select list of a SelectColumns query (resolved here: ORA-00904 for an
    // unknown column, ORA-00932 for a geometry part of another type); none:
    // every column whole. where: the rows that meet it; lockedRows (sorted),
    // when given: only those of them (the rows a FOR UPDATE locked).
    TableReader(sqlite3 *db, const QString &path, TableInfo table, bool withRows,
                const QVector<SelectItem> &items = {}, WhereClause where = {},
                std::optional<std::vector<std::int64_t>> lockedRows = std::nullopt)
        : db_(db), path_(path), table_(std::move(table)), done_(!withRows || where.never),
          lockedRows_(std::move(lockedRows))
    {
        if (items.isEmpty()) {
            for (int c = 0; c < table_.columns.size(); ++c)
                outputs_.push_back({c, SelectItem::Part::Whole});
        }
        for (const SelectItem &item : items) {
            int found = -1;
            for (int c = 0; c < table_.columns.size() && found < 0; ++c) {
                if (table_.columns[c].name == item.column)
                    found = c;
            }
            if (found < 0)
                throw oraError(904, invalidIdentifier(item.column));
            if (item.part != SelectItem::Part::Whole && table_.columns[found].type != OraType::Geometry)
                throw oraError(932, QStringLiteral("inconsistent datatypes: expected MDSYS.SDO_GEOMETRY got %1")
                                        .arg(oraTypeName(table_.columns[found].type)));
            outputs_.push_back({found, item.part});
        }
        for (const Output &o : outputs_) {
            OracleColumn c = toOracleColumn(table_.columns[o.source]);
            if (o.part != SelectItem::Part::Whole) {
                c = OracleColumn();
                c.name = items[columns_.size()].text;
                c.type = o.part == SelectItem::Part::Wkb ? QStringLiteral("BLOB") : QStringLiteral("NUMBER");
            }
            columns_.append(c);
        }
        row_.resize(columns_.size());
        read_.assign(size_t(columns_.size()), false);
        if (done_)
            return;
        QStringList cols;
        for (const QString &c : table_.sqliteColumns)
            cols.append(sqliteQuote(c));
        if (cols.isEmpty())
            cols.append(QStringLiteral("NULL"));
        // The rowid comes after the table's columns, which keep their places.
        if (lockedRows_)
            cols.append(QStringLiteral("rowid"));
        stmt_ = SqliteStmt::prepare(db_, path_,
                                    QStringLiteral("SELECT %1 FROM %2%3 ORDER BY rowid")
                                        .arg(cols.join(QLatin1Char(',')), sqliteQuote(table_.sqliteName),
                                             where.sql.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where.sql)
                                        .toUtf8());
        where.bind(stmt_.get());
        rowidColumn_ = int(table_.sqliteColumns.isEmpty() ? 1 : table_.sqliteColumns.size());
    }

    const QVector<OracleColumn> &columns() const override { return columns_; }
    bool next() override
    {
        onRow_ = false;
        for (;;) {
            if (done_ || !stmt_.step(db_, path_)) {
                done_ = true;
                return false;
            }
            if (!lockedRows_ || std::binary_search(lockedRows_->begin(), lockedRows_->end(),
                                                   sqlite3_column_int64(stmt_.get(), rowidColumn_)))
                break;
        }
        onRow_ = true;
        std::fill(read_.begin(), read_.end(), false);
        return true;
    }
    // A value is converted when it is first asked for: a reader of the
    // stored bytes (valueView) never pays for the conversion.
    const OracleValue &value(int column) const override
    {
        if (onRow_ && !read_[size_t(column)]) {
            const Output &o = outputs_[size_t(column)];
            OracleValue v = readStoredValue(stmt_.get(), o.source, table_.columns[o.source].type, path_, table_.name);
            // A geometry's parts, as SDO_UTIL.TO_WKBGEOMETRY and SDO_SRID give them.
            if (o.part == SelectItem::Part::Wkb && !v.isNull())
                v = OracleValue::bytes(v.wkbValue());
            else if (o.part == SelectItem::Part::Srid)
                v = v.isNull() || v.sridValue() == 0 ? OracleValue::null()
                                                     : OracleValue::number(QString::number(v.sridValue()));
            row_[column] = std::move(v);
            read_[size_t(column)] = true;
        }
        return row_[column];
    }
    bool valueView(int output, View *view) const override
    {
        if (!onRow_ || outputs_[size_t(output)].part != SelectItem::Part::Whole)
            return false;
        const int column = outputs_[size_t(output)].source;
        sqlite3_stmt *s = stmt_.get();
        // A null pointer is a NULL, a zero-length BLOB or a failed
        // allocation: only then is the stored type asked for.
        auto isNull = [s, column] { return sqlite3_column_type(s, column) == SQLITE_NULL; };
        const OraType type = table_.columns[column].type;
        if (type == OraType::Blob || type == OraType::Raw) {
            const char *p = static_cast<const char *>(sqlite3_column_blob(s, column));
            const int n = sqlite3_column_bytes(s, column);
            if (!p && n > 0)
                return false;
            *view = !p && isNull() ? View() : View{OracleValue::Kind::Bytes, QByteArrayView(p, n)};
            return true;
        }
        OracleValue::Kind kind;
        switch (type) {
        case OraType::Number: kind = OracleValue::Kind::Number; break;
        case OraType::Varchar2:
        case OraType::Char:
        case OraType::Clob: kind = OracleValue::Kind::Text; break;
        case OraType::Date: kind = OracleValue::Kind::Date; break;
        default: return false;
        }
        const char *p = reinterpret_cast<const char *>(sqlite3_column_text(s, column));
        if (!p) {
            if (!isNull())
                return false;
            *view = View();
            return true;
        }
        const QByteArrayView t(p, sqlite3_column_bytes(s, column));
        // A DATE's stored form is the view's form; anything else (which
        // value() reads by the general pattern or refuses) goes there.
        if (kind == OracleValue::Kind::Date && !isPositionalDate(t))
            return false;
        *view = View{kind, t};
        return true;
    }

private:
    // "[-]YYYY-MM-DD HH:MM:SS" with every digit in its place (and no year -0).
    static bool isPositionalDate(QByteArrayView t)
    {
        if (t.startsWith('-')) {
            t = t.sliced(1);
            if (t.startsWith("0000"))
                return false;
        }
        if (t.size() != 19)
            return false;
        for (qsizetype i = 0; i < 19; ++i) {
            const char c = t[i];
            const bool ok = i == 4 || i == 7 ? c == '-' : i == 10 ? c == ' ' : i == 13 || i == 16 ? c == ':'
                                                                               : c >= '0' && c <= '9';
            if (!ok)
                return false;
        }
        return true;
    }

    // Where each column of the result comes from.
    struct Output {
        int source;  // the table's column
        SelectItem::Part part;
    };

    sqlite3 *db_;
    QString path_;
    TableInfo table_;
    SqliteStmt stmt_;
    std::vector<Output> outputs_;
    QVector<OracleColumn> columns_;
    mutable QVector<OracleValue> row_;
    mutable std::vector<bool> read_;  // which values of the current row row_ holds
    bool onRow_ = false;
    bool done_;
    std::optional<std::vector<std::int64_t>> lockedRows_;
    int rowidColumn_ = 0;
};

// The one row of the catalogue count.
class CountReader final : public OracleRowReader {
public:
    explicit CountReader(qint64 n)
    {
        OracleColumn cn;
        cn.name = QStringLiteral("CN");
        cn.type = QStringLiteral("NUMBER");
        columns_ = {cn};
        value_ = OracleValue::number(QString::number(n));
    }
    const QVector<OracleColumn> &columns() const override { return columns_; }
    bool next() override { return !read_ && (read_ = true); }
    const OracleValue &value(int) const override { return value_; }

private:
    QVector<OracleColumn> columns_;
    OracleValue value_;
    bool read_ = false;
};

} // namespace

std::unique_ptr<OracleRowReader> EmbeddedSession::query(const QString &sql)
{
    const Statement st = parseStatement(sql);
    const Catalog cat = d_->catalog();
    switch (st.kind) {
    case Statement::Kind::DescribeTable: {
        TableInfo t;
        if (!cat.findTable(st.table, &t))
            tableMissing();
        return std::make_unique<TableReader>(d_->db.get(), d_->path, std::move(t), false);
    }
    case Statement::Kind::SelectTable:
    case Statement::Kind::SelectColumns: {
        TableInfo t;
        WhereClause where;
        std::optional<std::vector<std::int64_t>> locked;
        if (st.forUpdate.kind != RowLockClause::Kind::None) {
            locked = lockMatchingRows(cat, *d_->locks, st, &t, &where);
        } else {
            if (!cat.findTable(st.table, &t))
                tableMissing();
            where = compileWhere(t, st.where, cat.owner());
        }
        return std::make_unique<TableReader>(d_->db.get(), d_->path, std::move(t), true, st.items, std::move(where),
                                             std::move(locked));
    }
    case Statement::Kind::CountTables: return std::make_unique<CountReader>(countTables(cat, st));
    case Statement::Kind::CountRows: return std::make_unique<CountReader>(countRows(cat, st));
    default: throw oraError(900, QStringLiteral("invalid SQL statement"));
    }
}

qint64 EmbeddedSession::queryCount(const QString &sql)
{
    const Statement st = parseStatement(sql);
    if (st.kind == Statement::Kind::CountRows)
        return countRows(d_->catalog(), st);
    if (st.kind != Statement::Kind::CountTables)
        throw oraError(900, QStringLiteral("invalid SQL statement"));
    return countTables(d_->catalog(), st);
}

QVector<OracleColumn> EmbeddedSession::describe(const QString &sql)
{
    const Statement st = parseStatement(sql);
    if (st.kind == Statement::Kind::DescribeTable)
        return describeTable(d_->catalog(), st);
    if (st.kind == Statement::Kind::CountTables || st.kind == Statement::Kind::CountRows) {
        OracleColumn cn;
        cn.name = QStringLiteral("CN");
        cn.type = QStringLiteral("NUMBER");
        return {cn};
    }
    throw oraError(900, QStringLiteral("invalid SQL statement"));
}

namespace {

int columnIndexOf(const TableInfo &t, const QString &name)
{
    for (int c = 0; c < t.columns.size(); ++c)
        if (t.columns[c].name == name)
            return c;
    throw oraError(904, invalidIdentifier(name));
}

void bindStored(sqlite3 *db, const QString &path, sqlite3_stmt *stmt, int pos, const StoredValue &s)
{
    int rc = SQLITE_OK;
    switch (s.kind) {
    case StoredValue::Kind::Null: rc = sqlite3_bind_null(stmt, pos); break;
    case StoredValue::Kind::Text16:
        rc = sqlite3_bind_text16(stmt, pos, s.text16->utf16(), int(s.text16->size() * 2), SQLITE_TRANSIENT);
        break;
    case StoredValue::Kind::Text8:
        rc = sqlite3_bind_text(stmt, pos, s.text8->constData(), int(s.text8->size()), SQLITE_TRANSIENT);
        break;
    case StoredValue::Kind::Utf8:
        rc = sqlite3_bind_text(stmt, pos, s.utf8.data(), int(s.utf8.size()), SQLITE_TRANSIENT);
        break;
    case StoredValue::Kind::Real: rc = sqlite3_bind_double(stmt, pos, s.real); break;
    case StoredValue::Kind::Blob:
        rc = sqlite3_bind_blob(stmt, pos, s.blob.constData(), int(s.blob.size()), SQLITE_TRANSIENT);
        break;
    }
    if (rc != SQLITE_OK)
        throw sqliteError(db, path, "bind");
}

} // namespace

void EmbeddedSession::changeRows(const Statement &st)
{
    sqlite3 *db = d_->db.get();
    const QString &path = d_->path;
    TableInfo t;
    if (!d_->catalog().findTable(st.table, &t))
        tableMissing();

    QString sql = st.kind == Statement::Kind::Update ? QStringLiteral("UPDATE ") : QStringLiteral("DELETE FROM ");
    sql += sqliteQuote(t.sqliteName);
    const WhereClause where = compileWhere(t, st.where, d_->owner);
    if (where.never)
        return;  // no row can match
    // The values in the order of their parameters, each with its column.
    std::vector<std::pair<const OracleValue *, int>> params;
    if (st.kind == Statement::Kind::Update) {
        sql += QStringLiteral(" SET ");
        for (int i = 0; i < st.assignments.size(); ++i) {
            const int c = columnIndexOf(t, st.assignments[i].column);
            sql += (i ? QStringLiteral(",") : QString()) + sqliteQuote(t.sqliteColumns[c]) +
                   QStringLiteral("=?%1").arg(i + 1 + int(where.values.size()));
            params.emplace_back(&st.assignments[i].value, c);
        }
    }
    // The conditions bind ?1..?n, the values set follow them.
    if (!where.sql.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.sql;
    SqliteStmt stmt = SqliteStmt::prepare(db, path, sql.toUtf8());
    where.bind(stmt.get());
    std::vector<StoredValue> stored(params.size());
    for (size_t p = 0; p < params.size(); ++p) {
        const ColumnSpec &column = t.columns[params[p].second];
        const QString qualified = QStringLiteral("\"%1\".\"%2\".\"%3\"").arg(d_->owner, t.name, column.name);
        const int position = int(where.values.size() + p) + 1;
        QString message;
        if (params[p].first->isNull()) {
            if (!column.nullable)
                throw DatabaseError(oraMessage(1407, QStringLiteral("cannot update (%1) to NULL").arg(qualified)));
            sqlite3_bind_null(stmt.get(), position);
            continue;
        }
        if (convertValue(*params[p].first, column, qualified, stored[p], &message) != 0)
            throw DatabaseError(message);
        bindStored(db, path, stmt.get(), position, stored[p]);
    }
    const int rc = sqlite3_step(stmt.get());
    if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY)
        throw oraError(1, QStringLiteral("unique constraint violated"));
    if (rc != SQLITE_DONE)
        throw sqliteError(db, path, "update");
}

} // namespace tavrex
