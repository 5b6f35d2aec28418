#include "connections/embedded/embeddedtarget.h"

#include "engine/textrules.h"

#include "connections/embedded/embeddedsessionimpl.h"
#include "connections/embedded/embeddedsql.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tavrex {

using namespace embedded;

namespace {

constexpr int kBusyTimeoutMs = 60000;


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
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
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
    const QString ddl = QStringLiteral("CREATE TABLE %1 (%2)").arg(sqliteQuote(t.sqliteName), defs.join(QLatin1String(", ")));
    sqliteExec(db, cat.path(), ddl.toUtf8().constData());
    cat.insertTable(t);
    tx.commit();
}

void dropTable(const Catalog &cat, const Statement &st)
{
    sqlite3 *db = cat.db();
    WriteTransaction tx(db, cat.path());
    TableInfo t;
    if (!cat.findTable(st.table, &t))
        tableMissing();
    // Dropping the SQLite table drops its SQLite indexes; Oracle drops the
    // table's indexes and constraints with it.
    sqliteExec(db, cat.path(), (QStringLiteral("DROP TABLE ") + sqliteQuote(t.sqliteName)).toUtf8().constData());
    cat.deleteTable(t.name);
    tx.commit();
}

void addPrimaryKey(const Catalog &cat, const Statement &st)
{
    sqlite3 *db = cat.db();
    WriteTransaction tx(db, cat.path());
    TableInfo t;
    if (!cat.findTable(st.table, &t))
        tableMissing();
    QStringList sqliteCols;
    const QVector<ColumnSpec> specs = keyColumnSpecs(t, st.keyColumns, &sqliteCols);
    for (const ColumnSpec &c : specs) {
        if (isLob(c.type))
            throw oraError(2329, QStringLiteral("column of datatype LOB cannot be unique or a primary key"));
    }
    for (const ConstraintInfo &c : cat.constraints(t.name)) {
        if (c.type == QLatin1String("P"))
            throw oraError(2260, QStringLiteral("table can have only one primary key"));
    }
    QString name = st.name;
    if (name.isEmpty())
        name = QStringLiteral("SYS_C%1").arg(cat.nextSystemNumber(), 7, 10, QLatin1Char('0'));
    if (cat.constraintExists(name))
        throw oraError(2264, QStringLiteral("name already used by an existing constraint"));

    // An index whose leading columns are the key's columns (in any order)
    // serves the key; otherwise the key gets a unique index of its own name.
    QString indexName;
    {
        const QSet<QString> keySet(st.keyColumns.begin(), st.keyColumns.end());
        int bestLength = 0;
        for (const IndexInfo &i : cat.indexes(t.name)) {
            if (i.columns.size() < st.keyColumns.size())
                continue;
            const QStringList lead = i.columns.mid(0, st.keyColumns.size());
            if (QSet<QString>(lead.begin(), lead.end()) != keySet || lead.size() != keySet.size())
                continue;
            if (indexName.isEmpty() || i.columns.size() < bestLength) {
                indexName = i.name;
                bestLength = int(i.columns.size());
            }
        }
    }
    const bool ownIndex = indexName.isEmpty();
    if (ownIndex) {
        indexName = name;
        if (cat.indexExists(indexName))
            throw oraError(955, QStringLiteral("name is already used by an existing object"));
    }

    {
        QStringList conds;
        for (const QString &c : sqliteCols)
            conds.append(sqliteQuote(c) + QLatin1String(" IS NULL"));
        SqliteStmt q = SqliteStmt::prepare(db, cat.path(),
                                           QStringLiteral("SELECT 1 FROM %1 WHERE %2 LIMIT 1")
                                               .arg(sqliteQuote(t.sqliteName), conds.join(QLatin1String(" OR ")))
                                               .toUtf8());
        if (q.step(db, cat.path()))
            throw oraError(1449, QStringLiteral("column contains NULL values; cannot alter to NOT NULL"));
    }

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
    if (ownIndex) {
        IndexInfo i;
        i.name = indexName;
        i.table = t.name;
        i.columns = st.keyColumns;
        i.unique = true;
        i.sqliteName = sqliteIndex;
        cat.insertIndex(i);
    }
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
    for (const ColumnSpec &c : specs) {
        if (isLob(c.type))
            throw oraError(2327, QStringLiteral("cannot create index on expression with datatype LOB"));
    }
    for (const IndexInfo &i : cat.indexes(t.name)) {
        if (i.columns == st.keyColumns)
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

} // namespace

void EmbeddedSession::execute(const QString &sql)
{
    const Statement st = parseStatement(sql);
    Catalog cat = d_->catalog();
    switch (st.kind) {
    case Statement::Kind::CreateTable: createTable(cat, st); break;
    case Statement::Kind::DropTable: dropTable(cat, st); break;
    case Statement::Kind::AddPrimaryKey: addPrimaryKey(cat, st); break;
    case Statement::Kind::CreateIndex: createIndex(cat, st); break;
    case Statement::Kind::CountTables: countTables(cat, st); break;
    case Statement::Kind::DescribeTable: describeTable(cat, st); break;
    case Statement::Kind::SelectTable: throw oraError(900, QStringLiteral("invalid SQL statement"));
    }
}

namespace {

// The rows of one table in insertion order, stepped through one SQLite
// statement: only the current row is held.
class TableReader final : public OracleRowReader {
public:
    // withRows false: the describe query, which returns no row.
    TableReader(sqlite3 *db, const QString &path, TableInfo table, bool withRows)
        : db_(db), path_(path), table_(std::move(table)), done_(!withRows)
    {
        for (const ColumnSpec &c : table_.columns)
            columns_.append(toOracleColumn(c));
        row_.resize(columns_.size());
        if (done_)
            return;
        QStringList cols;
        for (const QString &c : table_.sqliteColumns)
            cols.append(sqliteQuote(c));
        if (cols.isEmpty())
            cols.append(QStringLiteral("NULL"));
        stmt_ = SqliteStmt::prepare(db_, path_,
                                    QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid")
                                        .arg(cols.join(QLatin1Char(',')), sqliteQuote(table_.sqliteName))
                                        .toUtf8());
    }

    const QVector<OracleColumn> &columns() const override { return columns_; }
    bool next() override
    {
        if (done_ || !stmt_.step(db_, path_)) {
            done_ = true;
            return false;
        }
        for (int c = 0; c < columns_.size(); ++c)
            row_[c] = readStoredValue(stmt_.get(), c, table_.columns[c].type, path_, table_.name);
        return true;
    }
    const OracleValue &value(int column) const override { return row_[column]; }

private:
    sqlite3 *db_;
    QString path_;
    TableInfo table_;
    SqliteStmt stmt_;
    QVector<OracleColumn> columns_;
    QVector<OracleValue> row_;
    bool done_;
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
    case Statement::Kind::SelectTable:
    case Statement::Kind::DescribeTable: {
        TableInfo t;
        if (!cat.findTable(st.table, &t))
            tableMissing();
        return std::make_unique<TableReader>(d_->db.get(), d_->path, std::move(t),
                                             st.kind == Statement::Kind::SelectTable);
    }
    case Statement::Kind::CountTables: return std::make_unique<CountReader>(countTables(cat, st));
    default: throw oraError(900, QStringLiteral("invalid SQL statement"));
    }
}

qint64 EmbeddedSession::queryCount(const QString &sql)
{
    const Statement st = parseStatement(sql);
    if (st.kind != Statement::Kind::CountTables)
        throw oraError(900, QStringLiteral("invalid SQL statement"));
    return countTables(d_->catalog(), st);
}

QVector<OracleColumn> EmbeddedSession::describe(const QString &sql)
{
    const Statement st = parseStatement(sql);
    if (st.kind == Statement::Kind::DescribeTable)
        return describeTable(d_->catalog(), st);
    if (st.kind == Statement::Kind::CountTables) {
        OracleColumn cn;
        cn.name = QStringLiteral("CN");
        cn.type = QStringLiteral("NUMBER");
        return {cn};
    }
    throw oraError(900, QStringLiteral("invalid SQL statement"));
}

} // namespace tavrex
