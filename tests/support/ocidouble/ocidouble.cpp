// The test double of the Oracle client library: a shared library that
// exports the OCI functions the adapter calls, declared by the double itself
// (ocidoubledecls.h, written from the OCI reference apart from the adapter's
// connections/oracle/ocidefs.h), and serves them from the embedded target. The connect identifier is the
// path of an embedded target file; statements go to an EmbeddedSession. The
// adapter loads it through TAVREX_OCI_LIBRARY, so its real code (loader,
// handles, binds, array executes, error records) runs in the tests.
//
// It follows the documented behaviours the adapter relies on:
// - handles have types and parents; a call given a freed handle or a handle
//   of the wrong type returns OCI_INVALID_HANDLE; freeing the environment
//   frees everything under it; OCIStmtRelease frees binds, defines and
//   parameter descriptors;
// - an environment created without OCI_THREADED belongs to the thread that
//   created it: a handle of it given on another thread is refused with
//   OCI_INVALID_HANDLE (and a line on stderr). With OCI_THREADED its handles
//   may move between threads; the double still expects one call at a time;
// - errors are records "ORA-nnnnn: text\n" on the error handle (on the
//   environment for environment and allocation errors), read with
//   OCIErrorGet; each call clears the record of the error handle it is given;
// - text is encoded in the environment's character set: OCI_CHARSET_AL32UTF8 when asked
//   for, else (charset 0, that is NLS_LANG) WE8ISO8859P1;
// - a new session counts lengths in BYTE and uses ',' as decimal separator,
//   as a server in a decimal-comma territory would: CREATE TABLE is refused
//   until ALTER SESSION SET NLS_LENGTH_SEMANTICS=CHAR (the embedded target
//   counts characters only), and a number bound as text with '.' is
//   ORA-01722 until NLS_NUMERIC_CHARACTERS='.,';
// - an array INSERT runs its rows in order and stops at the first rejected
//   row: OCI_ERROR, the row's message, OCI_ATTR_ROW_COUNT = the rows done
//   before it, which stay in the open transaction; OCI_COMMIT_ON_SUCCESS
//   commits when every row is accepted; OCITransRollback discards the open
//   transaction; OCITransCommit, DDL and OCISessionEnd commit it;
// - UPDATE and DELETE are checked at their execute (run through the target
//   and rolled back: an error of theirs comes from the execute) and join the
//   open transaction (kept, and run again at its commit with its rows in one
//   transaction of the target);
// - with OCI_BATCH_ERRORS every row is tried: the accepted ones join the open
//   transaction, the execute returns OCI_SUCCESS_WITH_INFO with ORA-24381
//   when any row failed, OCI_ATTR_NUM_DML_ERRORS counts the failed rows, and
//   OCIParamGet(errhp, OCI_HTYPE_ERROR, errhp, &rowErr, i) fills the error
//   handle the caller allocated for the i-th of them (0-based) with its record
//   and OCI_ATTR_DML_ROW_OFFSET. The server lists batch errors in no promised
//   order: the double lists them last row first;
// - OCI_DESCRIBE_ONLY describes a query without running it, OCI_PARSE_ONLY
//   checks an INSERT's table and columns without running it;
// - a bind longer than 4000 bytes after a LONG bind is ORA-24816;
// - a query executed with 0 iterations is run without a fetch; with n
//   iterations and defines it fetches n rows at once; OCIStmtFetch2 fills
//   the defines' arrays (element i at value + i * value_sz, indicators and
//   lengths at i) and sets OCI_ATTR_ROWS_FETCHED, returning OCI_NO_DATA when
//   fewer rows than asked were left; NUMBER defined as text reads as TO_CHAR
//   writes it (".5"), a value longer than its define is ORA-01406; a LOB
//   column is defined as an array of locators the caller allocated with
//   OCIDescriptorAlloc, read with OCILobGetLength2 and OCILobRead2 (BLOB in
//   bytes, CLOB in characters counted as UTF-16 code units, offsets 1-based);
// - BINARY_FLOAT / BINARY_DOUBLE are described as SQLT_IBFLOAT /
//   SQLT_IBDOUBLE and defined as native SQLT_BFLOAT / SQLT_BDOUBLE; TIMESTAMP
//   and INTERVAL DAY TO SECOND are described as SQLT_TIMESTAMP /
//   SQLT_INTERVAL_DS with the fraction digits in OCI_ATTR_SCALE and the day
//   digits in OCI_ATTR_PRECISION, defined over OCI_DTYPE_TIMESTAMP /
//   OCI_DTYPE_INTERVAL_DS descriptors read with OCIDateTimeGetDate,
//   OCIDateTimeGetTime and OCIIntervalGetDaySecond; an INSERT takes their
//   values as text through TO_TIMESTAMP(:n, 'format'), TO_DSINTERVAL(:n),
//   TO_BINARY_FLOAT(:n) and TO_BINARY_DOUBLE(:n), read as the target reads
//   those functions over a literal;
// - SDO_GEOMETRY is described as SQLT_NTY with OCI_ATTR_TYPE_NAME
//   "SDO_GEOMETRY" and OCI_ATTR_SCHEMA_NAME "MDSYS"; an INSERT takes a
//   geometry as SDO_GEOMETRY(:n[, srid]) over a BLOB bound as a locator
//   (SQLT_BLOB, an array of OCILobLocator*) that OCILobCreateTemporary made a
//   temporary LOB and OCILobWrite2 filled; a NULL there is refused (Oracle's
//   constructor fails on it), and a column's NULL may be the literal NULL
//   instead of a placeholder; a bind at a position the statement does not
//   have is ORA-01036.
//
// - a transaction also holds the row locks of SELECT ... FOR UPDATE, which
//   the embedded target keeps: OCITransCommit, OCITransRollback, the
//   statements COMMIT and ROLLBACK, DDL and OCISessionEnd release them, and a
//   row another session holds is ORA-00054 (NOWAIT) as the target reports it.
//
// A setting for benchmarks only: TAVREX_OCIDOUBLE_ROUNDTRIP_US, read at each
// OCIServerAttach, adds that many microseconds (a whole number, 0 to
// 1000000; 0 or unset: none) to every call that would reach a server over the
// network: OCIServerAttach, OCISessionBegin, OCISessionEnd, OCIStmtExecute,
// OCIStmtFetch2, OCITransCommit, OCITransRollback and the LOB calls
// (OCILobCreateTemporary, OCILobWrite2, OCILobRead2, OCILobGetLength2,
// OCILobFreeTemporary). Handle, attribute, bind, define and error calls stay
// local, as the client library keeps them. Any other value makes
// OCIServerAttach fail with a message naming the variable. Tests check only
// that the value is read and validated, never a time.
//
// What it does not prove: anything about Oracle's own behaviour beyond these
// rules. Rows of an open transaction are kept in memory and checked by
// running them through the embedded target and rolling back; only one
// table's rows with one column list may be open at a time.

#include "connections/embedded/embeddedsql.h"
#include "connections/embedded/embeddedtarget.h"
#include "engine/core/errors.h"
#include "tests/support/ocidouble/ocidoubledecls.h"
#include "tests/support/ocidouble/ocidoublesql.h"

// The double agrees with the adapter only where both follow the reference:
// it must never see the adapter's declarations.
#ifdef TAVREX_OCI_FUNCTIONS
#error "the OCI test double keeps its own declarations (ocidoubledecls.h)"
#endif

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <chrono>
#include <thread>
#include <type_traits>
#include <vector>

using namespace tavrex;
using namespace tavrex::ocidouble;

namespace {

using tavrex::ocidouble::InsertShape;
using tavrex::ocidouble::StatementKind;

constexpr ub4 kMaxIdentifier = 30;

// ------------------------------------------------------------ objects

struct Object {
    explicit Object(ub4 t, Object *p) : type(t), parent(p) {}
    virtual ~Object() = default;
    ub4 type;
    Object *parent;
    std::vector<Object *> children;
};

std::set<Object *> &live()
{
    static std::set<Object *> objects;
    return objects;
}

template <typename T>
T *adopt(T *object)
{
    live().insert(object);
    if (object->parent)
        object->parent->children.push_back(object);
    return object;
}

void destroy(Object *object)
{
    while (!object->children.empty())
        destroy(object->children.back());
    if (object->parent) {
        auto &siblings = object->parent->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), object), siblings.end());
    }
    live().erase(object);
    delete object;
}

// Whether the thread that calls may use the object's environment.
bool onItsThread(Object *object);

template <typename T>
T *as(const void *handle, ub4 type)
{
    auto *object = static_cast<Object *>(const_cast<void *>(handle));
    if (!handle || !live().count(object) || object->type != type || !onItsThread(object))
        return nullptr;
    return static_cast<T *>(object);
}

struct ErrorRecord {
    bool set = false;
    sb4 code = 0;
    QByteArray text;
};

struct Env : Object {
    Env() : Object(OCI_HTYPE_ENV, nullptr) {}
    ub2 charset = OCI_CHARSET_AL32UTF8;
    bool threaded = false;
    std::thread::id creator = std::this_thread::get_id();
    ErrorRecord record;

    QString decode(const void *bytes, qint64 size) const
    {
        const char *p = static_cast<const char *>(bytes);
        return charset == OCI_CHARSET_AL32UTF8 ? QString::fromUtf8(p, size) : QString::fromLatin1(p, size);
    }
    QByteArray encode(const QString &text) const { return charset == OCI_CHARSET_AL32UTF8 ? text.toUtf8() : text.toLatin1(); }
};

Env *envOf(Object *object)
{
    while (object->parent)
        object = object->parent;
    return static_cast<Env *>(object);
}

bool onItsThread(Object *object)
{
    const Env *env = envOf(object);
    if (env->threaded || env->creator == std::this_thread::get_id())
        return true;
    std::fprintf(stderr, "tavrex oci double: a handle of an environment created without OCI_THREADED was used on "
                         "a second thread\n");
    return false;
}

struct BatchError {
    ub4 offset = 0;
    ErrorRecord record;
};

struct Error : Object {
    explicit Error(Env *env) : Object(OCI_HTYPE_ERROR, env) {}
    ErrorRecord record;
    // The failed rows of the last execute in batch-error mode.
    std::vector<BatchError> batchErrors;
    // Of an error handle that OCIParamGet filled with one batch error.
    ub4 rowOffset = 0;
};

struct Server : Object {
    explicit Server(Env *env) : Object(OCI_HTYPE_SERVER, env) {}
    QString path;
    bool attached = false;
    unsigned roundTripUs = 0;  // TAVREX_OCIDOUBLE_ROUNDTRIP_US at the attach
};

// The delay of a call that reaches the server (see the header comment).
void roundTrip(const Server *server)
{
    if (server && live().count(const_cast<Server *>(server)) && server->roundTripUs > 0)
        std::this_thread::sleep_for(std::chrono::microseconds(server->roundTripUs));
}

// The rows of the open transaction, not yet in the file.
struct Pending {
    QString table;
    QStringList columns;
    OracleRowBatch rows;
    // UPDATE and DELETE statements of the transaction, run at its commit
    // (with its rows, in their transaction).
    QStringList changes;
};

struct Session : Object {
    explicit Session(Env *env) : Object(OCI_HTYPE_SESSION, env) {}
    ~Session() override { end(); }
    QString user;
    QString password;
    std::unique_ptr<OracleSession> target;
    bool charSemantics = false;
    QChar decimal = QLatin1Char(',');
    Pending pending;
    OracleRowBatch chunk;  // the rows of one execute, its memory kept

    EmbeddedSession &embedded() { return static_cast<EmbeddedSession &>(*target); }
    void commit();
    void rollback();
    void end()
    {
        if (!target)
            return;
        try {
            commit();  // ending a session commits its transaction
        } catch (...) {
        }
        target.reset();
    }
};

struct SvcCtx : Object {
    explicit SvcCtx(Env *env) : Object(OCI_HTYPE_SVCCTX, env) {}
    Server *server = nullptr;
    Session *session = nullptr;
};


struct Bind : Object {
    explicit Bind(Object *stmt) : Object(OCI_HTYPE_BIND, stmt) {}
    char *value = nullptr;
    sb8 size = 0;
    ub2 dty = 0;
    char *indicators = nullptr;
    char *lengths = nullptr;
    ub4 valueSkip = 0;
    ub4 indicatorSkip = sizeof(sb2);
    ub4 lengthSkip = sizeof(ub4);
};

struct Define : Object {
    explicit Define(Object *stmt) : Object(OCI_HTYPE_DEFINE, stmt) {}
    void *value = nullptr;
    sb4 size = 0;
    ub2 dty = 0;
    sb2 *indicator = nullptr;
    ub2 *length = nullptr;
};

struct Param : Object {
    explicit Param(Object *stmt) : Object(OCI_DTYPE_PARAM, stmt) {}
    QByteArray name;
    QByteArray typeName, schemaName;  // of an object type column
    ub2 dataType = 0, dataSize = 0, charSize = 0;
    sb2 precision = 0;
    sb1 scale = 0;
    ub1 isNull = 1, charsetForm = 0;
};

// A LOB locator: after a fetch, the value of its row; or, made temporary,
// the bytes written into it.
struct Lob : Object {
    explicit Lob(Env *env) : Object(OCI_DTYPE_LOB, env) {}
    bool filled = false;
    bool temporary = false;
    bool characters = false;
    QByteArray bytes;
    QString text;
};

// A TIMESTAMP or INTERVAL DAY TO SECOND descriptor: after a fetch, the
// value of its row.
struct DateTime : Object {
    explicit DateTime(Env *env) : Object(OCI_DTYPE_TIMESTAMP, env) {}
    bool filled = false;
    OracleTimestamp value;
};

struct Interval : Object {
    explicit Interval(Env *env) : Object(OCI_DTYPE_INTERVAL_DS, env) {}
    bool filled = false;
    OracleInterval value;
};

struct Stmt : Object {
    Stmt(Env *env, SvcCtx *s) : Object(OCI_HTYPE_STMT, env), svc(s) {}
    SvcCtx *svc;
    QString sql;
    StatementKind kind = StatementKind::Other;
    std::optional<InsertShape> insert;
    std::map<ub4, Bind *> binds;
    std::map<ub4, Define *> defines;
    QVector<OracleColumn> described;
    ub4 rowCount = 0;
    ub4 dmlErrors = 0;
    std::unique_ptr<OracleRowReader> reader;  // of an executed query
    ub4 rowsFetched = 0;
    ub4 prefetch = 1;
};

// ------------------------------------------------------------ errors

struct Failure {
    sb4 code;
    QString text;
};

Failure ora(int code, const QString &text)
{
    return {code, QStringLiteral("ORA-%1: %2").arg(code, 5, 10, QLatin1Char('0')).arg(text)};
}

Failure misuse(const QString &text)
{
    return {0, QStringLiteral("tavrex oci double: ") + text};
}

void record(Error *err, const Failure &f)
{
    if (!err)
        return;
    err->record = {true, f.code, envOf(err)->encode(f.text + QLatin1Char('\n'))};
}

// Runs a call: a Failure becomes OCI_ERROR with its record, a DatabaseError
// of the embedded target its ORA record; nothing crosses the C boundary.
template <typename F>
sword guarded(Error *err, F &&body)
{
    if (err)
        err->record = ErrorRecord();
    try {
        return body();
    } catch (const Failure &f) {
        record(err, f);
    } catch (const DatabaseError &e) {
        record(err, {e.code(), e.message()});
    } catch (const std::exception &e) {
        record(err, misuse(QStringLiteral("internal error: %1").arg(QString::fromUtf8(e.what()))));
    } catch (...) {
        record(err, misuse(QStringLiteral("internal error")));
    }
    return OCI_ERROR;
}

// ------------------------------------------------------------ transactions

void Session::commit()
{
    if (pending.rows.rowCount() == 0) {
        const QStringList changes = std::move(pending.changes);
        pending = Pending();
        for (const QString &sql : changes)
            target->execute(sql);
    } else {
        Pending rows = std::move(pending);
        pending = Pending();
        rows.rows.setStatementsBeforeCommit(rows.changes);
        const BatchResult r = target->insertBatch(rows.table, rows.rows);
        if (!r.ok)
            throw misuse(QStringLiteral("a row checked when it was sent was rejected at commit: ") + r.message);
    }
    target->execute(QStringLiteral("commit"));  // the transaction's row locks
}

void Session::rollback()
{
    pending = Pending();
    target->execute(QStringLiteral("rollback"));
}

// Runs the rows through the target and rolls them back: the first rejected
// row, or every rejected row when keepAccepted; ok when every row is accepted.
BatchResult validate(Session &s, const QString &table, const OracleRowBatch &batch, bool keepAccepted = false)
{
    s.embedded().setCommitGate([] { return false; });
    BatchResult result;
    try {
        result = keepAccepted ? s.target->insertBatchKeepingAccepted(table, batch)
                              : s.target->insertBatch(table, batch);
    } catch (...) {
        s.embedded().setCommitGate({});
        throw;
    }
    s.embedded().setCommitGate({});
    return result;
}

// Copies rows into the open transaction. Bytes and UTF-8 texts are copied
// deeply: a chunk reads bytes in place from the caller's bind buffers, which
// live only as long as the call, and keeps texts in its own memory, which the
// next execute reuses.
void appendRows(OracleRowBatch &to, const OracleRowBatch &from, int count)
{
    auto deep = [](const QByteArray &b) { return QByteArray(b.constData(), b.size()); };
    for (int r = 0; r < count; ++r) {
        const int row = to.appendRow();
        for (int c = 0; c < from.columnCount(); ++c) {
            const OracleValue &v = from.at(r, c);
            if (v.kind() == OracleValue::Kind::Bytes)
                to.at(row, c) = OracleValue::bytes(deep(v.bytesValue()));
            else if (v.isUtf8())
                to.at(row, c) = v.kind() == OracleValue::Kind::Number ? OracleValue::numberUtf8(deep(v.utf8Value()))
                                                                      : OracleValue::textUtf8(deep(v.utf8Value()));
            else
                to.at(row, c) = v;
        }
    }
}

// The open rows for a check of the rows after `checked`. LOB values take
// part in no key or check: only their kind and whether they are empty (NULL)
// matter, so a byte or character of their kind stands for every one that is
// not empty, and the full values are written once, at the commit. (The rows
// before `checked` passed their own check already.)
OracleRowBatch forCheck(Session &s, const QString &table, const OracleRowBatch &rows, int checked)
{
    const QVector<OracleColumn> described =
        s.target->describe(QStringLiteral("select * from \"") + table + QStringLiteral("\" where 1=0"));
    std::vector<bool> lob(size_t(rows.columnCount()), false);
    for (int c = 0; c < rows.columnCount(); ++c) {
        for (const OracleColumn &d : described) {
            if (d.name == rows.columns()[c].name)
                lob[size_t(c)] = d.type == QLatin1String("BLOB") || d.type == QLatin1String("CLOB");
        }
    }
    OracleRowBatch out;
    out.reset(rows.columns(), rows.rowCount());
    for (int r = 0; r < rows.rowCount(); ++r) {
        const int row = out.appendRow();
        for (int c = 0; c < rows.columnCount(); ++c) {
            const OracleValue &v = rows.at(r, c);
            // Only bytes and text stand in: a value of another kind keeps
            // whatever its conversion into the LOB makes of it.
            const bool bytes = v.kind() == OracleValue::Kind::Bytes, text = v.kind() == OracleValue::Kind::Text;
            const bool empty = bytes ? v.bytesValue().isEmpty()
                               : text ? (v.isUtf8() ? v.utf8Value().isEmpty() : v.textValue().isEmpty())
                                      : true;
            if (!lob[size_t(c)] || v.isNull() || (r >= checked && empty))
                out.at(row, c) = v;
            else if (v.kind() == OracleValue::Kind::Bytes)
                out.at(row, c) = OracleValue::bytes(QByteArray(1, 'x'));
            else
                out.at(row, c) = OracleValue::text(QStringLiteral("x"));
        }
    }
    return out;
}

// The open transaction, ready for rows of the shape; its row count.
int openPending(Session &s, const InsertShape &shape)
{
    Pending &p = s.pending;
    const int before = p.rows.rowCount();
    if (before > 0 && (p.table != shape.table || p.columns != shape.columns))
        throw misuse(QStringLiteral("the open transaction holds rows of another table or column list"));
    if (before == 0) {
        p.table = shape.table;
        p.columns = shape.columns;
        p.rows.reset(s.chunk.columns(), 0);
    }
    return before;
}

// Adds the accepted rows of the session's chunk to the open transaction, in
// batch-error mode. Returns the rejected rows by their position in the chunk.
std::vector<RejectedRow> applyChunkKeepingAccepted(Session &s, const InsertShape &shape)
{
    Pending &p = s.pending;
    const int before = openPending(s, shape);
    appendRows(p.rows, s.chunk, s.chunk.rowCount());
    BatchResult r;
    try {
        r = validate(s, shape.table, forCheck(s, shape.table, p.rows, before), true);
    } catch (...) {
        while (p.rows.rowCount() > before)
            p.rows.removeLastRow();
        throw;
    }
    std::vector<RejectedRow> out;
    if (r.rejected.empty())
        return out;
    std::vector<bool> drop(size_t(p.rows.rowCount()), false);
    for (const RejectedRow &row : r.rejected) {
        if (row.row < before)
            throw misuse(QStringLiteral("a row of the open transaction was rejected when checked again: ") +
                         row.message);
        drop[size_t(row.row)] = true;
        out.push_back({row.row - before, row.message});
    }
    // A failed row takes no part in the transaction.
    OracleRowBatch kept;
    kept.reset(p.rows.columns(), p.rows.rowCount());
    for (int row = 0; row < p.rows.rowCount(); ++row) {
        if (drop[size_t(row)])
            continue;
        const int to = kept.appendRow();
        for (int c = 0; c < p.rows.columnCount(); ++c)
            kept.at(to, c) = p.rows.at(row, c);
    }
    p.rows = std::move(kept);
    return out;
}

// Adds the session's chunk of rows to the open transaction, committing when
// asked. Returns the rejected row's position in the chunk, or -1.
int applyChunk(Session &s, const InsertShape &shape, bool commit, QString *message)
{
    Pending &p = s.pending;
    OracleRowBatch &chunk = s.chunk;
    const int before = openPending(s, shape);
    BatchResult r;
    if (before == 0 && commit) {
        // The usual case: a whole transaction in one execute, after the
        // UPDATE and DELETE statements it may hold.
        chunk.setStatementsBeforeCommit(p.changes);
        r = s.target->insertBatch(shape.table, chunk);
        if (r.ok) {
            p = Pending();
            return -1;
        }
        appendRows(p.rows, chunk, r.rejectedRow);
    } else {
        appendRows(p.rows, chunk, chunk.rowCount());
        try {
            r = commit ? s.target->insertBatch(shape.table, p.rows)
                       : validate(s, shape.table, forCheck(s, shape.table, p.rows, before));
        } catch (...) {
            // A statement that fails as a whole leaves the transaction as it was.
            while (p.rows.rowCount() > before)
                p.rows.removeLastRow();
            throw;
        }
        if (r.ok) {
            if (commit)
                p = Pending();
            return -1;
        }
        // The target rolled back; the rows before the rejected one stay open.
        while (p.rows.rowCount() > r.rejectedRow)
            p.rows.removeLastRow();
    }
    *message = r.message;
    return std::max(0, r.rejectedRow - before);
}

// ------------------------------------------------------------ statements

Session &sessionOf(SvcCtx *svc)
{
    if (!svc->session || !live().count(svc->session) || !svc->session->target)
        throw ora(3114, QStringLiteral("not connected to ORACLE"));
    return *svc->session;
}

void checkInsertShape(Session &s, const InsertShape &shape)
{
    const QVector<OracleColumn> columns =
        s.target->describe(QStringLiteral("select * from \"") + shape.table + QStringLiteral("\" where 1=0"));
    QSet<QString> seen;
    for (const QString &name : shape.columns) {
        if (ub4(name.size()) > kMaxIdentifier)
            throw ora(972, QStringLiteral("identifier is too long"));
        if (seen.contains(name))
            throw ora(957, QStringLiteral("duplicate column name"));
        seen.insert(name);
        const bool known = std::any_of(columns.begin(), columns.end(), [&](const OracleColumn &c) {
            return c.name == name;
        });
        if (!known)
            throw ora(904, QStringLiteral("\"%1\": invalid identifier").arg(name));
    }
}

bool isLong(ub2 dty)
{
    return dty == SQLT_LNG || dty == SQLT_LBI;
}

// A text bound into TO_TIMESTAMP, TO_DSINTERVAL, TO_BINARY_FLOAT or
// TO_BINARY_DOUBLE, converted by the target's own reading of that function
// over a literal (its formats, ranges and ORA errors).
OracleValue converted(Conversion conversion, const QString &text, const QString &format)
{
    QString function;
    switch (conversion) {
    case Conversion::Timestamp: function = QStringLiteral("TO_TIMESTAMP"); break;
    case Conversion::DsInterval: function = QStringLiteral("TO_DSINTERVAL"); break;
    case Conversion::BinaryFloat: function = QStringLiteral("TO_BINARY_FLOAT"); break;
    case Conversion::BinaryDouble: function = QStringLiteral("TO_BINARY_DOUBLE"); break;
    default: throw misuse(QStringLiteral("no conversion function"));
    }
    auto quoted = [](QString literal) {
        return QLatin1Char('\'') + literal.replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
    };
    QString expression = function + QLatin1Char('(') + quoted(text);
    if (conversion == Conversion::Timestamp)
        expression += QStringLiteral(", ") + quoted(format);
    expression += QLatin1Char(')');
    return embedded::parseDefault(expression).value;
}

// One bound value of one row; a value its conversion refuses sets
// rowFailure, the row's error. srid: of a geometry's SDO_GEOMETRY(:n, srid).
OracleValue boundValue(OracleRowBatch &chunk, const Env &env, const Bind &b, ub4 row, Conversion conversion,
                       const QString &format, quint32 srid, QChar decimal, std::optional<Failure> *rowFailure)
{
    const bool toNumber = conversion == Conversion::Number;
    if (b.indicators && *reinterpret_cast<const sb2 *>(b.indicators + size_t(row) * b.indicatorSkip) == OCI_IND_NULL) {
        if (conversion == Conversion::Geometry)
            throw misuse(QStringLiteral("SDO_GEOMETRY over a NULL BLOB, which Oracle's constructor refuses"));
        return OracleValue::null();
    }
    if ((conversion == Conversion::Geometry) != (b.dty == SQLT_BLOB))
        throw misuse(QStringLiteral("only a BLOB locator is modelled as SDO_GEOMETRY's argument, and only there"));
    const ub4 length = b.lengths ? *reinterpret_cast<const ub4 *>(b.lengths + size_t(row) * b.lengthSkip)
                                 : ub4(b.size);
    if (sb8(length) > b.size)
        throw misuse(QStringLiteral("a bound length of %1 bytes exceeds the bind's value_sz %2").arg(length).arg(b.size));
    const char *data = b.value + size_t(row) * b.valueSkip;
    switch (b.dty) {
    case SQLT_CHR:
    case SQLT_LNG: {
        // Valid UTF-8 text and plain numbers of a UTF-8 session go on as
        // their bytes (copied into the chunk: the caller's buffers live only
        // as long as the call), exactly what decoding them would give.
        const QByteArrayView bytes(data, qsizetype(length));
        if (env.charset == OCI_CHARSET_AL32UTF8 && length > 0 && bytes.isValidUtf8()) {
            if (conversion == Conversion::None)
                return OracleValue::textUtf8(chunk.keepBytes(data, qsizetype(length)));
            if (toNumber && decimal == QLatin1Char('.') && !bytes.contains(','))
                return OracleValue::numberUtf8(chunk.keepBytes(data, qsizetype(length)));
        }
        QString text = env.decode(data, length);
        if (conversion == Conversion::None)
            return OracleValue::text(text);
        if (text.isEmpty())
            return OracleValue::null();  // TO_NUMBER('') and the others are NULL
        if (conversion == Conversion::Timestamp || conversion == Conversion::DsInterval) {
            try {
                return converted(conversion, text, format);
            } catch (const DatabaseError &e) {
                *rowFailure = Failure{e.code(), e.message()};
                return OracleValue::null();
            }
        }
        // A number bound as text is read with the session's decimal
        // separator; the other separator is a group mark, not allowed here.
        const QChar other = decimal == QLatin1Char('.') ? QLatin1Char(',') : QLatin1Char('.');
        if (text.contains(other))
            *rowFailure = ora(1722, QStringLiteral("invalid number"));
        text.replace(decimal, QLatin1Char('.'));
        // The IEEE number itself is read by the target for its column type.
        return toNumber ? OracleValue::number(text) : converted(conversion, text, format);
    }
    case SQLT_DAT: {
        if (length != 7)
            throw misuse(QStringLiteral("a SQLT_DAT value of %1 bytes").arg(length));
        const auto *d = reinterpret_cast<const ub1 *>(data);
        OracleDate date;
        date.year = (int(d[0]) - 100) * 100 + (int(d[1]) - 100);
        date.month = d[2];
        date.day = d[3];
        date.hour = d[4] - 1;
        date.minute = d[5] - 1;
        date.second = d[6] - 1;
        if (conversion != Conversion::None)
            throw misuse(QStringLiteral("a conversion function over a SQLT_DAT bind"));
        return OracleValue::date(date);
    }
    case SQLT_BIN:
    case SQLT_LBI:
        if (conversion != Conversion::None)
            throw misuse(QStringLiteral("a conversion function over a binary bind"));
        return OracleValue::bytes(QByteArray::fromRawData(data, qsizetype(length)));
    case SQLT_BLOB: {
        // The element is the address of a locator.
        void *element = nullptr;
        if (length != sizeof element)
            throw misuse(QStringLiteral("a SQLT_BLOB bind of %1 bytes rather than a locator's address").arg(length));
        std::memcpy(&element, data, sizeof element);
        const Lob *lob = as<Lob>(element, OCI_DTYPE_LOB);
        if (!lob || !lob->temporary)
            throw misuse(QStringLiteral("a SQLT_BLOB bind whose element %1 is not a temporary LOB").arg(row));
        return OracleValue::geometry(srid, lob->bytes);
    }
    default: throw misuse(QStringLiteral("bind type %1 is not modelled").arg(b.dty));
    }
}

sword executeInsert(Session &s, Stmt &st, ub4 iters, ub4 rowoff, ub4 mode, Error *err)
{
    if (!st.insert)
        throw misuse(QStringLiteral("an INSERT of a form the double does not read: ") + st.sql);
    const InsertShape &shape = *st.insert;
    if (mode & OCI_PARSE_ONLY) {
        checkInsertShape(s, shape);
        return OCI_SUCCESS;
    }
    if (iters == 0)
        throw ora(24333, QStringLiteral("zero iteration count"));
    const Env &env = *envOf(&st);
    std::vector<const Bind *> binds;  // none for a literal NULL
    int placeholders = 0;
    for (int position : shape.positions) {
        if (position == 0) {
            binds.push_back(nullptr);
            continue;
        }
        ++placeholders;
        auto it = st.binds.find(ub4(position));
        if (it == st.binds.end())
            throw ora(1008, QStringLiteral("not all variables bound"));
        binds.push_back(it->second);
    }
    if (!st.binds.empty() && st.binds.rbegin()->first > ub4(placeholders))
        throw ora(1036, QStringLiteral("illegal variable name/number"));
    // Long binds (the LOB data interface) must come last.
    for (ub4 r = rowoff; r < rowoff + iters; ++r) {
        bool afterLong = false;
        for (const auto &entry : st.binds) {
            const Bind &b = *entry.second;
            const bool isNull = b.indicators &&
                                *reinterpret_cast<const sb2 *>(b.indicators + size_t(r) * b.indicatorSkip) ==
                                    OCI_IND_NULL;
            const ub4 length =
                b.lengths ? *reinterpret_cast<const ub4 *>(b.lengths + size_t(r) * b.lengthSkip) : ub4(b.size);
            if (afterLong && !isLong(b.dty) && !isNull && length > 4000)
                throw ora(24816, QStringLiteral("Expanded non LONG bind data supplied after actual LONG or LOB column"));
            afterLong = afterLong || isLong(b.dty);
        }
    }
    QVector<OracleColumn> columns;
    for (const QString &name : shape.columns) {
        OracleColumn c;
        c.name = name;
        columns.append(c);
    }
    OracleRowBatch &chunk = s.chunk;
    chunk.reset(columns, int(iters));
    // The value of bind c in an iteration; NULL for a literal NULL.
    auto valueAt = [&](size_t c, ub4 iteration, std::optional<Failure> *failure) {
        return binds[c] ? boundValue(chunk, env, *binds[c], iteration, shape.conversions[int(c)],
                                     shape.formats[int(c)], shape.srids[int(c)], s.decimal, failure)
                        : OracleValue::null();
    };
    if (mode & OCI_BATCH_ERRORS) {
        if (mode & OCI_COMMIT_ON_SUCCESS)
            throw misuse(QStringLiteral("OCI_COMMIT_ON_SUCCESS with OCI_BATCH_ERRORS is not modelled"));
        std::vector<BatchError> errors;
        std::vector<ub4> iteration;  // of each chunk row
        for (ub4 r = 0; r < iters; ++r) {
            const int row = chunk.appendRow();
            std::optional<Failure> failure;
            for (size_t c = 0; c < binds.size() && !failure; ++c)
                chunk.at(row, int(c)) = valueAt(c, rowoff + r, &failure);
            if (failure) {
                chunk.removeLastRow();
                errors.push_back({r, {true, failure->code, env.encode(failure->text + QLatin1Char('\n'))}});
            } else {
                iteration.push_back(r);
            }
        }
        std::vector<RejectedRow> rejected;
        try {
            rejected = applyChunkKeepingAccepted(s, shape);
        } catch (...) {
            chunk.clear();
            throw;
        }
        chunk.clear();  // it points into the caller's buffers
        for (const RejectedRow &r : rejected)
            errors.push_back({iteration[size_t(r.row)],
                              {true, r.message.mid(4, 5).toInt(), env.encode(r.message + QLatin1Char('\n'))}});
        std::sort(errors.begin(), errors.end(),
                  [](const BatchError &a, const BatchError &b) { return a.offset > b.offset; });
        st.dmlErrors = ub4(errors.size());
        st.rowCount = iters - ub4(errors.size());
        err->batchErrors = std::move(errors);
        if (st.dmlErrors == 0)
            return OCI_SUCCESS;
        record(err, ora(24381, QStringLiteral("error(s) in array DML")));
        return OCI_SUCCESS_WITH_INFO;
    }
    int badRow = -1;
    std::optional<Failure> failure;
    for (ub4 r = 0; r < iters && badRow < 0; ++r) {
        const int row = chunk.appendRow();
        for (size_t c = 0; c < binds.size() && !failure; ++c)
            chunk.at(row, int(c)) = valueAt(c, rowoff + r, &failure);
        if (failure) {
            badRow = int(r);
            chunk.removeLastRow();
        }
    }
    const bool commit = (mode & OCI_COMMIT_ON_SUCCESS) && badRow < 0;
    QString message;
    const int rejected = applyChunk(s, shape, commit, &message);
    chunk.clear();  // it points into the caller's buffers
    if (rejected >= 0) {
        st.rowCount = ub4(rejected);
        record(err, {message.mid(4, 5).toInt(), message});
        return OCI_ERROR;
    }
    if (badRow >= 0) {
        st.rowCount = ub4(badRow);
        throw *failure;
    }
    st.rowCount = iters;
    return OCI_SUCCESS;
}

void alterSession(Session &s, const QString &sql)
{
    const auto settings = ocidouble::parseAlterSession(sql);
    if (!settings)
        throw ora(922, QStringLiteral("missing or invalid option"));
    for (auto it = settings->begin(); it != settings->end(); ++it) {
        const QString value = it.value().toUpper();
        if (it.key() == QLatin1String("NLS_LENGTH_SEMANTICS")) {
            if (value != QLatin1String("CHAR") && value != QLatin1String("BYTE"))
                throw ora(12705, QStringLiteral("Cannot access NLS data files or invalid environment specified"));
            s.charSemantics = value == QLatin1String("CHAR");
        } else if (it.key() == QLatin1String("NLS_NUMERIC_CHARACTERS")) {
            if (value.size() != 2 || value[0] == value[1])
                throw ora(12705, QStringLiteral("Cannot access NLS data files or invalid environment specified"));
            s.decimal = value[0];
        } else if (it.key() != QLatin1String("NLS_DATE_FORMAT")) {
            throw ora(2248, QStringLiteral("invalid option for ALTER SESSION"));
        }
    }
}

// What the describe of a column reports, as Oracle would for that column
// in an OCI_CHARSET_AL32UTF8 database with character length semantics.
void describeInto(Param &p, const OracleColumn &c, const Env &env)
{
    p.name = env.encode(c.name);
    p.isNull = c.nullable ? 1 : 0;
    const QString &t = c.type;
    if (t == QLatin1String("VARCHAR2") || t == QLatin1String("CHAR")) {
        p.dataType = t == QLatin1String("CHAR") ? SQLT_AFC : SQLT_CHR;
        p.charSize = ub2(c.length);
        p.dataSize = ub2(std::min(c.length * 4, t == QLatin1String("CHAR") ? 2000 : 4000));
        p.charsetForm = 1;
    } else if (t == QLatin1String("NUMBER")) {
        p.dataType = SQLT_NUM;
        p.dataSize = 22;
        p.precision = sb2(c.precision);
        p.scale = c.precision == 0 && c.scale == 0 ? sb1(-127) : sb1(c.scale);
    } else if (t == QLatin1String("DATE")) {
        p.dataType = SQLT_DAT;
        p.dataSize = 7;
    } else if (t == QLatin1String("RAW")) {
        p.dataType = SQLT_BIN;
        p.dataSize = ub2(c.length);
    } else if (t == QLatin1String("BLOB")) {
        p.dataType = SQLT_BLOB;
        p.dataSize = 4000;
    } else if (t == QLatin1String("CLOB")) {
        p.dataType = SQLT_CLOB;
        p.dataSize = 4000;
        p.charsetForm = 1;
    } else if (t == QLatin1String("BINARY_FLOAT") || t == QLatin1String("BINARY_DOUBLE")) {
        const bool single = t == QLatin1String("BINARY_FLOAT");
        p.dataType = single ? SQLT_IBFLOAT : SQLT_IBDOUBLE;
        p.dataSize = single ? 4 : 8;
    } else if (t == QLatin1String("TIMESTAMP")) {
        // The fraction digits in the scale.
        p.dataType = SQLT_TIMESTAMP;
        p.dataSize = 11;
        p.scale = sb1(c.scale);
    } else if (t == QLatin1String("SDO_GEOMETRY")) {
        p.dataType = SQLT_NTY;
        p.typeName = "SDO_GEOMETRY";
        p.schemaName = "MDSYS";
    } else if (t == QLatin1String("INTERVAL DAY TO SECOND")) {
        // The day digits in the precision, the fraction digits in the scale.
        p.dataType = SQLT_INTERVAL_DS;
        p.dataSize = 11;
        p.precision = sb2(c.precision);
        p.scale = sb1(c.scale);
    } else {
        throw misuse(QStringLiteral("column type %1 is not modelled").arg(t));
    }
}

// Oracle's TO_CHAR form of a canonical number: no zero before the point.
QByteArray numberText(const QString &canonical)
{
    QByteArray t = canonical.toLatin1();
    if (t.startsWith("0."))
        t.remove(0, 1);
    else if (t.startsWith("-0."))
        t.remove(1, 1);
    return t;
}

// The number of a BINARY_FLOAT / BINARY_DOUBLE value as the target reads it
// back: its shortest decimal text, "Inf", "-Inf" or "Nan".
double ieeeValue(const QString &text)
{
    if (text == QLatin1String("Nan"))
        return std::nan("");
    if (text == QLatin1String("Inf") || text == QLatin1String("-Inf"))
        return text.startsWith(QLatin1Char('-')) ? -HUGE_VAL : HUGE_VAL;
    const QByteArray latin = text.toLatin1();
    double value = 0;
    const auto r = std::from_chars(latin.constData(), latin.constData() + latin.size(), value);
    if (r.ec != std::errc() || r.ptr != latin.constData() + latin.size())
        throw misuse(QStringLiteral("a binary number read back as \"%1\"").arg(text));
    return value;
}

// Writes one fetched value into element i of a define.
void writeDefine(const Define &d, ub4 i, const OracleValue &v, const OracleColumn &column, const Env &env)
{
    sb2 *indicator = d.indicator ? d.indicator + i : nullptr;
    ub2 *length = d.length ? d.length + i : nullptr;
    char *slot = static_cast<char *>(d.value) + size_t(i) * size_t(d.size);
    const bool lob = d.dty == SQLT_BLOB || d.dty == SQLT_CLOB;
    if (lob) {
        // The element is a locator the caller allocated.
        Lob *locator = as<Lob>(*reinterpret_cast<void **>(slot), OCI_DTYPE_LOB);
        if (!locator)
            throw misuse(QStringLiteral("a LOB define whose element %1 is not an allocated LOB locator").arg(i));
        const bool clob = d.dty == SQLT_CLOB;
        if (column.type != (clob ? QLatin1String("CLOB") : QLatin1String("BLOB")))
            throw ora(932, QStringLiteral("inconsistent datatypes: expected %1 got %2")
                               .arg(column.type, clob ? QStringLiteral("CLOB") : QStringLiteral("BLOB")));
        locator->filled = !v.isNull();
        locator->characters = clob;
        locator->bytes = v.kind() == OracleValue::Kind::Bytes ? v.bytesValue() : QByteArray();
        locator->text = v.kind() == OracleValue::Kind::Text ? v.textValue() : QString();
    }
    const bool timestamp = d.dty == SQLT_TIMESTAMP;
    const bool interval = d.dty == SQLT_INTERVAL_DS;
    if (timestamp || interval) {
        // The element is a descriptor the caller allocated, of the type of
        // the define.
        void *element = *reinterpret_cast<void **>(slot);
        const OracleValue::Kind kind = timestamp ? OracleValue::Kind::Timestamp : OracleValue::Kind::Interval;
        if (!v.isNull() && v.kind() != kind)
            throw ora(932, QStringLiteral("inconsistent datatypes: expected %1 got %2")
                               .arg(timestamp ? QStringLiteral("TIMESTAMP") : QStringLiteral("INTERVAL DAY TO SECOND"),
                                    column.type));
        if (timestamp) {
            DateTime *into = as<DateTime>(element, OCI_DTYPE_TIMESTAMP);
            if (!into)
                throw misuse(QStringLiteral("a TIMESTAMP define whose element %1 is not an allocated "
                                            "OCI_DTYPE_TIMESTAMP descriptor").arg(i));
            into->filled = !v.isNull();
            into->value = v.isNull() ? OracleTimestamp() : v.timestampValue();
        } else {
            Interval *into = as<Interval>(element, OCI_DTYPE_INTERVAL_DS);
            if (!into)
                throw misuse(QStringLiteral("an INTERVAL define whose element %1 is not an allocated "
                                            "OCI_DTYPE_INTERVAL_DS descriptor").arg(i));
            into->filled = !v.isNull();
            into->value = v.isNull() ? OracleInterval() : v.intervalValue();
        }
    }
    if (v.isNull()) {
        if (!indicator)
            throw ora(1405, QStringLiteral("fetched column value is NULL"));
        *indicator = OCI_IND_NULL;
        return;
    }
    if (lob || timestamp || interval) {
        if (indicator)
            *indicator = OCI_IND_NOTNULL;
        return;
    }
    auto put = [&](const QByteArray &bytes) {
        if (bytes.size() > d.size)
            throw ora(1406, QStringLiteral("fetched column value was truncated"));
        std::memcpy(slot, bytes.constData(), size_t(bytes.size()));
        if (length)
            *length = ub2(bytes.size());
    };
    switch (d.dty) {
    case SQLT_INT: {
        bool ok = false;
        const qint64 n = v.kind() == OracleValue::Kind::Number ? v.textValue().toLongLong(&ok) : 0;
        if (!ok)
            throw ora(1722, QStringLiteral("invalid number"));
        switch (d.size) {
        case 1: *reinterpret_cast<sb1 *>(slot) = sb1(n); break;
        case 2: *reinterpret_cast<sb2 *>(slot) = sb2(n); break;
        case 4: *reinterpret_cast<sb4 *>(slot) = sb4(n); break;
        case 8: *reinterpret_cast<sb8 *>(slot) = sb8(n); break;
        default: throw misuse(QStringLiteral("SQLT_INT define of %1 bytes").arg(d.size));
        }
        if (length)
            *length = ub2(d.size);
        break;
    }
    case SQLT_CHR:
        if (v.kind() == OracleValue::Kind::Number)
            put(numberText(v.textValue()));
        else if (v.kind() == OracleValue::Kind::Text)
            put(env.encode(v.textValue()));
        else
            throw misuse(QStringLiteral("a %1 column defined as text is not modelled").arg(column.type));
        break;
    case SQLT_DAT: {
        if (v.kind() != OracleValue::Kind::Date)
            throw ora(932, QStringLiteral("inconsistent datatypes: expected DATE got %1").arg(column.type));
        const OracleDate &date = v.dateValue();
        char bytes[7] = {char(date.year / 100 + 100), char(date.year % 100 + 100), char(date.month),
                         char(date.day),              char(date.hour + 1),        char(date.minute + 1),
                         char(date.second + 1)};
        put(QByteArray(bytes, 7));
        break;
    }
    case SQLT_BIN:
        if (v.kind() != OracleValue::Kind::Bytes)
            throw ora(932, QStringLiteral("inconsistent datatypes: expected BINARY got %1").arg(column.type));
        put(v.bytesValue());
        break;
    case SQLT_BFLOAT:
    case SQLT_BDOUBLE: {
        // The IEEE number itself, in the machine's byte order.
        if (v.kind() != OracleValue::Kind::BinaryNumber)
            throw misuse(QStringLiteral("a %1 column defined as a native IEEE number is not modelled").arg(column.type));
        const double number = ieeeValue(v.textValue());
        if (d.dty == SQLT_BFLOAT) {
            const float single = float(number);
            put(QByteArray(reinterpret_cast<const char *>(&single), sizeof single));
        } else {
            put(QByteArray(reinterpret_cast<const char *>(&number), sizeof number));
        }
        break;
    }
    default: throw misuse(QStringLiteral("define type %1 is not modelled").arg(d.dty));
    }
    if (indicator)
        *indicator = OCI_IND_NOTNULL;
}

// Fetches up to n rows of the statement's query into its defines.
ub4 fetchRows(Stmt &st, ub4 n)
{
    if (!st.reader)
        throw ora(1002, QStringLiteral("fetch out of sequence"));
    const Env &env = *envOf(&st);
    const QVector<OracleColumn> &columns = st.reader->columns();
    for (const auto &entry : st.defines) {
        if (entry.first > ub4(columns.size()))
            throw ora(1007, QStringLiteral("variable not in select list"));
    }
    ub4 got = 0;
    while (got < n && st.reader->next()) {
        for (const auto &entry : st.defines)
            writeDefine(*entry.second, got, st.reader->value(int(entry.first - 1)), columns[int(entry.first - 1)],
                        env);
        ++got;
    }
    st.rowsFetched = got;
    return got;
}

} // namespace

// ------------------------------------------------------------ the exports

extern "C" {

sword OCIEnvNlsCreate(OCIEnv **envp, ub4 mode, void *, void *(*)(void *, size_t), void *(*)(void *, void *, size_t),
                      void (*)(void *, void *), size_t, void **, ub2 charset, ub2 ncharset)
{
    if (!envp)
        return OCI_INVALID_HANDLE;
    Env *env = adopt(new Env());
    env->threaded = (mode & OCI_THREADED) != 0;
    *envp = reinterpret_cast<OCIEnv *>(static_cast<Object *>(env));
    auto refuse = [&](const QString &text) {
        env->charset = OCI_CHARSET_AL32UTF8;
        env->record = {true, 0, env->encode(misuse(text).text + QLatin1Char('\n'))};
        return OCI_ERROR;
    };
    if ((charset == 0) != (ncharset == 0))
        return refuse(QStringLiteral("OCIEnvNlsCreate takes both character sets or neither"));
    if (charset == 0)
        env->charset = OCI_CHARSET_WE8ISO8859P1;  // NLS_LANG of this client
    else if (charset == OCI_CHARSET_AL32UTF8 && ncharset == OCI_CHARSET_AL32UTF8)
        env->charset = OCI_CHARSET_AL32UTF8;
    else
        return refuse(QStringLiteral("character sets %1/%2 are not modelled").arg(charset).arg(ncharset));
    return OCI_SUCCESS;
}

sword OCIHandleAlloc(const void *parenth, void **hndlpp, ub4 type, size_t, void **)
{
    Env *env = as<Env>(parenth, OCI_HTYPE_ENV);
    if (!env || !hndlpp)
        return OCI_INVALID_HANDLE;
    env->record = ErrorRecord();
    Object *made = nullptr;
    switch (type) {
    case OCI_HTYPE_ERROR: made = adopt(new Error(env)); break;
    case OCI_HTYPE_SERVER: made = adopt(new Server(env)); break;
    case OCI_HTYPE_SVCCTX: made = adopt(new SvcCtx(env)); break;
    case OCI_HTYPE_SESSION: made = adopt(new Session(env)); break;
    default:
        env->record = {true, 0, env->encode(misuse(QStringLiteral("handle type %1").arg(type)).text + QLatin1Char('\n'))};
        return OCI_ERROR;
    }
    *hndlpp = made;
    return OCI_SUCCESS;
}

sword OCIHandleFree(void *hndlp, ub4 type)
{
    // Statements come from OCIStmtPrepare2 and go back with OCIStmtRelease.
    if (type == OCI_HTYPE_STMT || type == OCI_HTYPE_BIND || type == OCI_HTYPE_DEFINE)
        return OCI_INVALID_HANDLE;
    Object *object = as<Object>(hndlp, type);
    if (!object)
        return OCI_INVALID_HANDLE;
    destroy(object);
    return OCI_SUCCESS;
}

sword OCIDescriptorAlloc(const void *parenth, void **descpp, ub4 type, size_t, void **)
{
    Env *env = as<Env>(parenth, OCI_HTYPE_ENV);
    if (!env || !descpp)
        return OCI_INVALID_HANDLE;
    switch (type) {
    case OCI_DTYPE_LOB: *descpp = adopt(new Lob(env)); break;
    case OCI_DTYPE_TIMESTAMP: *descpp = adopt(new DateTime(env)); break;
    case OCI_DTYPE_INTERVAL_DS: *descpp = adopt(new Interval(env)); break;
    default:
        env->record = {true, 0, env->encode(misuse(QStringLiteral("descriptor type %1").arg(type)).text + QLatin1Char('\n'))};
        return OCI_ERROR;
    }
    return OCI_SUCCESS;
}

sword OCIDescriptorFree(void *descp, ub4 type)
{
    if (type != OCI_DTYPE_PARAM && type != OCI_DTYPE_LOB && type != OCI_DTYPE_TIMESTAMP &&
        type != OCI_DTYPE_INTERVAL_DS)
        return OCI_INVALID_HANDLE;
    Object *object = as<Object>(descp, type);
    if (!object)
        return OCI_INVALID_HANDLE;
    destroy(object);
    return OCI_SUCCESS;
}

sword OCIErrorGet(void *hndlp, ub4 recordno, OraText *, sb4 *errcodep, OraText *bufp, ub4 bufsiz, ub4 type)
{
    const ErrorRecord *rec = nullptr;
    if (type == OCI_HTYPE_ERROR) {
        if (Error *err = as<Error>(hndlp, OCI_HTYPE_ERROR))
            rec = &err->record;
    } else if (type == OCI_HTYPE_ENV) {
        if (Env *env = as<Env>(hndlp, OCI_HTYPE_ENV))
            rec = &env->record;
    }
    if (!rec || !bufp || bufsiz == 0)
        return OCI_INVALID_HANDLE;
    if (recordno != 1 || !rec->set)
        return OCI_NO_DATA;
    const size_t n = std::min(size_t(bufsiz) - 1, size_t(rec->text.size()));
    std::memcpy(bufp, rec->text.constData(), n);
    bufp[n] = 0;
    if (errcodep)
        *errcodep = rec->code;
    return OCI_SUCCESS;
}

sword OCIServerAttach(OCIServer *srvhp, OCIError *errhp, const OraText *dblink, sb4 dblink_len, ub4)
{
    Server *srv = as<Server>(srvhp, OCI_HTYPE_SERVER);
    Error *err = as<Error>(errhp, OCI_HTYPE_ERROR);
    if (!srv || !err)
        return OCI_INVALID_HANDLE;
    return guarded(err, [&] {
        const QByteArray delay = qgetenv("TAVREX_OCIDOUBLE_ROUNDTRIP_US");
        bool ok = true;
        const uint us = delay.isEmpty() ? 0 : delay.toUInt(&ok);
        if (!ok || us > 1000000)
            throw misuse(QStringLiteral("TAVREX_OCIDOUBLE_ROUNDTRIP_US must be a whole number of microseconds from 0 "
                                        "to 1000000, not \"%1\"")
                             .arg(QString::fromLocal8Bit(delay)));
        srv->roundTripUs = us;
        roundTrip(srv);
        const QString path = envOf(srv)->decode(dblink, dblink_len);
        const QFileInfo file(path);
        if (path.isEmpty() || !file.absoluteDir().exists())
            throw ora(12154, QStringLiteral("TNS:could not resolve the connect identifier specified"));
        srv->path = path;
        srv->attached = true;
        return OCI_SUCCESS;
    });
}

sword OCIServerDetach(OCIServer *srvhp, OCIError *errhp, ub4)
{
    Server *srv = as<Server>(srvhp, OCI_HTYPE_SERVER);
    Error *err = as<Error>(errhp, OCI_HTYPE_ERROR);
    if (!srv || !err)
        return OCI_INVALID_HANDLE;
    srv->attached = false;
    return OCI_SUCCESS;
}

sword OCISessionBegin(OCISvcCtx *svchp, OCIError *errhp, OCISession *usrhp, ub4 credt, ub4)
{
    SvcCtx *svc = as<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    Error *err = as<Error>(errhp, OCI_HTYPE_ERROR);
    Session *usr = as<Session>(usrhp, OCI_HTYPE_SESSION);
    if (!svc || !err || !usr)
        return OCI_INVALID_HANDLE;
    return guarded(err, [&] {
        if (!svc->server || !live().count(svc->server) || !svc->server->attached)
            throw misuse(QStringLiteral("OCISessionBegin on a service context without an attached server"));
        if (usr->target)
            throw misuse(QStringLiteral("OCISessionBegin on a session already begun"));
        roundTrip(svc->server);
        if (credt != OCI_CRED_RDBMS)
            throw ora(1017, QStringLiteral("invalid username/password; logon denied"));
        OracleLogin login;
        login.service = svc->server->path;
        login.user = usr->user;
        login.password = usr->password;
        usr->target = openEmbeddedSession(svc->server->path, login);
        return OCI_SUCCESS;
    });
}

sword OCISessionEnd(OCISvcCtx *svchp, OCIError *errhp, OCISession *usrhp, ub4)
{
    SvcCtx *svc = as<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    Error *err = as<Error>(errhp, OCI_HTYPE_ERROR);
    Session *usr = as<Session>(usrhp, OCI_HTYPE_SESSION);
    if (!svc || !err || !usr)
        return OCI_INVALID_HANDLE;
    return guarded(err, [&] {
        roundTrip(svc->server);
        usr->end();
        if (svc->session == usr)
            svc->session = nullptr;
        return OCI_SUCCESS;
    });
}

sword OCIAttrSet(void *trgthndlp, ub4 trghndltyp, void *attributep, ub4 size, ub4 attrtype, OCIError *errhp)
{
    Error *err = as<Error>(errhp, OCI_HTYPE_ERROR);
    Object *target = as<Object>(trgthndlp, trghndltyp);
    if (!err || !target)
        return OCI_INVALID_HANDLE;
    return guarded(err, [&] {
        if (trghndltyp == OCI_HTYPE_SVCCTX && attrtype == OCI_ATTR_SERVER) {
            Server *srv = as<Server>(attributep, OCI_HTYPE_SERVER);
            if (!srv)
                return OCI_INVALID_HANDLE;
            static_cast<SvcCtx *>(target)->server = srv;
        } else if (trghndltyp == OCI_HTYPE_SVCCTX && attrtype == OCI_ATTR_SESSION) {
            Session *usr = as<Session>(attributep, OCI_HTYPE_SESSION);
            if (!usr)
                return OCI_INVALID_HANDLE;
            static_cast<SvcCtx *>(target)->session = usr;
        } else if (trghndltyp == OCI_HTYPE_SESSION && attrtype == OCI_ATTR_USERNAME) {
            static_cast<Session *>(target)->user = envOf(target)->decode(attributep, size);
        } else if (trghndltyp == OCI_HTYPE_SESSION && attrtype == OCI_ATTR_PASSWORD) {
            static_cast<Session *>(target)->password = envOf(target)->decode(attributep, size);
        } else if (trghndltyp == OCI_HTYPE_STMT && attrtype == OCI_ATTR_PREFETCH_ROWS) {
            static_cast<Stmt *>(target)->prefetch = *static_cast<const ub4 *>(attributep);
        } else {
            throw ora(24315, QStringLiteral("illegal attribute type"));
        }
        return OCI_SUCCESS;
    });
}

sword OCIAttrGet(const void *trgthndlp, ub4 trghndltyp, void *attributep, ub4 *sizep, ub4 attrtype,
                 OCIError *errhp)
{
    Error *err = as<Error>(errhp, OCI_HTYPE_ERROR);
    Object *target = as<Object>(trgthndlp, trghndltyp);
    if (!err || !target || !attributep)
        return OCI_INVALID_HANDLE;
    return guarded(err, [&] {
        auto put = [&](const auto &value) {
            std::memcpy(attributep, &value, sizeof value);
            if (sizep)
                *sizep = ub4(sizeof value);
        };
        if (trghndltyp == OCI_HTYPE_STMT) {
            const Stmt &st = *static_cast<Stmt *>(target);
            if (attrtype == OCI_ATTR_ROW_COUNT)
                put(ub4(st.rowCount));
            else if (attrtype == OCI_ATTR_ROWS_FETCHED)
                put(ub4(st.rowsFetched));
            else if (attrtype == OCI_ATTR_NUM_DML_ERRORS)
                put(ub4(st.dmlErrors));
            else if (attrtype == OCI_ATTR_PARAM_COUNT)
                put(ub4(st.described.size()));
            else
                throw ora(24315, QStringLiteral("illegal attribute type"));
            return OCI_SUCCESS;
        }
        if (trghndltyp == OCI_DTYPE_PARAM) {
            const Param &p = *static_cast<Param *>(target);
            switch (attrtype) {
            case OCI_ATTR_NAME:
                *static_cast<const char **>(attributep) = p.name.constData();
                if (sizep)
                    *sizep = ub4(p.name.size());
                break;
            case OCI_ATTR_DATA_TYPE: put(p.dataType); break;
            case OCI_ATTR_DATA_SIZE: put(p.dataSize); break;
            case OCI_ATTR_CHAR_SIZE: put(p.charSize); break;
            case OCI_ATTR_PRECISION: put(p.precision); break;
            case OCI_ATTR_SCALE: put(p.scale); break;
            case OCI_ATTR_IS_NULL: put(p.isNull); break;
            case OCI_ATTR_CHARSET_FORM: put(p.charsetForm); break;
            case OCI_ATTR_TYPE_NAME:
            case OCI_ATTR_SCHEMA_NAME: {
                const QByteArray &text = attrtype == OCI_ATTR_TYPE_NAME ? p.typeName : p.schemaName;
                *static_cast<const char **>(attributep) = text.constData();
                if (sizep)
                    *sizep = ub4(text.size());
                break;
            }
            default: throw ora(24315, QStringLiteral("illegal attribute type"));
            }
            return OCI_SUCCESS;
        }
        if (trghndltyp == OCI_HTYPE_ERROR && attrtype == OCI_ATTR_DML_ROW_OFFSET) {
            put(ub4(static_cast<Error *>(target)->rowOffset));
            return OCI_SUCCESS;
        }
        throw ora(24315, QStringLiteral("illegal attribute type"));
    });
}

sword OCIParamGet(const void *hndlp, ub4 htype, OCIError *errhp, void **parmdpp, ub4 pos)
{
    Error *err = as<Error>(errhp, OCI_HTYPE_ERROR);
    if (htype == OCI_HTYPE_ERROR) {
        // One batch error (0-based pos) into an error handle the caller
        // allocated and passes in *parmdpp.
        Error *from = as<Error>(hndlp, OCI_HTYPE_ERROR);
        Error *into = parmdpp ? as<Error>(*parmdpp, OCI_HTYPE_ERROR) : nullptr;
        if (!err || !from || !into)
            return OCI_INVALID_HANDLE;
        if (pos >= ub4(from->batchErrors.size())) {
            record(err, ora(24334, QStringLiteral("no descriptor for this position")));
            return OCI_ERROR;
        }
        into->record = from->batchErrors[pos].record;
        into->rowOffset = from->batchErrors[pos].offset;
        return OCI_SUCCESS;
    }
    Stmt *st = as<Stmt>(hndlp, OCI_HTYPE_STMT);
    if (!err || !st || htype != OCI_HTYPE_STMT || !parmdpp)
        return OCI_INVALID_HANDLE;
    return guarded(err, [&] {
        if (pos < 1 || pos > ub4(st->described.size()))
            throw ora(24334, QStringLiteral("no descriptor for this position"));
        auto param = std::make_unique<Param>(st);
        describeInto(*param, st->described[int(pos - 1)], *envOf(st));
        *parmdpp = adopt(param.release());
        return OCI_SUCCESS;
    });
}

sword OCIStmtPrepare2(OCISvcCtx *svchp, OCIStmt **stmtp, OCIError *errhp, const OraText *stmt, ub4 stmt_len,
                      const OraText *key, ub4, ub4 language, ub4 mode)
{
    SvcCtx *svc = as<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    Error *err = as<Error>(errhp, OCI_HTYPE_ERROR);
    if (!svc || !err || !stmtp || !stmt)
        return OCI_INVALID_HANDLE;
    return guarded(err, [&] {
        if (language != OCI_NTV_SYNTAX || mode != OCI_DEFAULT || key)
            throw misuse(QStringLiteral("OCIStmtPrepare2 without a statement cache takes OCI_NTV_SYNTAX and "
                                        "OCI_DEFAULT"));
        Stmt *st = adopt(new Stmt(envOf(svc), svc));
        st->sql = envOf(svc)->decode(stmt, stmt_len);
        st->kind = ocidouble::statementKind(st->sql);
        if (st->kind == StatementKind::Insert)
            st->insert = ocidouble::parseInsert(st->sql);
        *stmtp = reinterpret_cast<OCIStmt *>(static_cast<Object *>(st));
        return OCI_SUCCESS;
    });
}

sword OCIStmtRelease(OCIStmt *stmtp, OCIError *errhp, const OraText *, ub4, ub4 mode)
{
    Stmt *st = as<Stmt>(stmtp, OCI_HTYPE_STMT);
    Error *err = as<Error>(errhp, OCI_HTYPE_ERROR);
    if (!st || !err)
        return OCI_INVALID_HANDLE;
    return guarded(err, [&] {
        if (mode != OCI_DEFAULT)
            throw ora(24300, QStringLiteral("bad value for mode"));
        destroy(st);
        return OCI_SUCCESS;
    });
}

sword OCIStmtExecute(OCISvcCtx *svchp, OCIStmt *stmtp, OCIError *errhp, ub4 iters, ub4 rowoff,
                     const OCISnapshot *, OCISnapshot *, ub4 mode)
{
    SvcCtx *svc = as<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    Stmt *st = as<Stmt>(stmtp, OCI_HTYPE_STMT);
    Error *err = as<Error>(errhp, OCI_HTYPE_ERROR);
    if (!svc || !st || !err || st->svc != svc)
        return OCI_INVALID_HANDLE;
    st->rowCount = 0;
    st->dmlErrors = 0;
    err->batchErrors.clear();
    return guarded(err, [&] {
        roundTrip(svc->server);
        Session &s = sessionOf(svc);
        switch (st->kind) {
        case StatementKind::Change:
            // Checked now, as a server checks a statement at its execute (run
            // through the target and rolled back), and kept for the commit,
            // which runs it in the transaction's own.
            s.embedded().setCommitGate([] { return false; });
            try {
                s.target->execute(st->sql);
            } catch (...) {
                s.embedded().setCommitGate({});
                throw;
            }
            s.embedded().setCommitGate({});
            s.pending.changes.append(st->sql);
            if (mode & OCI_COMMIT_ON_SUCCESS)
                s.commit();
            return OCI_SUCCESS;
        case StatementKind::Commit: s.commit(); return OCI_SUCCESS;
        case StatementKind::Rollback: s.rollback(); return OCI_SUCCESS;
        case StatementKind::Select: {
            if (mode & OCI_DESCRIBE_ONLY) {
                st->described = s.target->describe(st->sql);
                return OCI_SUCCESS;
            }
            st->reader = s.target->query(st->sql);
            st->described = st->reader->columns();
            st->rowsFetched = 0;
            if (iters == 0)
                return OCI_SUCCESS;
            st->rowCount = fetchRows(*st, iters);
            return st->rowCount < iters ? OCI_NO_DATA : OCI_SUCCESS;
        }
        case StatementKind::Insert: return executeInsert(s, *st, iters, rowoff, mode, err);
        case StatementKind::AlterSession: alterSession(s, st->sql); return OCI_SUCCESS;
        case StatementKind::CreateTable:
            if (!s.charSemantics)
                throw misuse(QStringLiteral("CREATE TABLE under NLS_LENGTH_SEMANTICS=BYTE is not modelled (the "
                                            "embedded target counts characters)"));
            [[fallthrough]];
        case StatementKind::Other:
            s.commit();  // DDL commits the open transaction first
            s.target->execute(st->sql);
            return OCI_SUCCESS;
        }
        return OCI_SUCCESS;
    });
}

sword OCIDefineByPos(OCIStmt *stmtp, OCIDefine **defnp, OCIError *errhp, ub4 position, void *valuep, sb4 value_sz,
                     ub2 dty, void *indp, ub2 *rlenp, ub2 *, ub4)
{
    Stmt *st = as<Stmt>(stmtp, OCI_HTYPE_STMT);
    Error *err = as<Error>(errhp, OCI_HTYPE_ERROR);
    if (!st || !err || !defnp || position == 0)
        return OCI_INVALID_HANDLE;
    return guarded(err, [&] {
        Define *&d = st->defines[position];
        if (!d)
            d = adopt(new Define(st));
        d->value = valuep;
        d->size = value_sz;
        d->dty = dty;
        d->indicator = static_cast<sb2 *>(indp);
        d->length = rlenp;
        *defnp = reinterpret_cast<OCIDefine *>(static_cast<Object *>(d));
        return OCI_SUCCESS;
    });
}

sword OCIBindByPos2(OCIStmt *stmtp, OCIBind **bindp, OCIError *errhp, ub4 position, void *valuep, sb8 value_sz,
                    ub2 dty, void *indp, ub4 *alenp, ub2 *, ub4 maxarr_len, ub4 *curelep, ub4 mode)
{
    Stmt *st = as<Stmt>(stmtp, OCI_HTYPE_STMT);
    Error *err = as<Error>(errhp, OCI_HTYPE_ERROR);
    if (!st || !err || !bindp || position == 0)
        return OCI_INVALID_HANDLE;
    return guarded(err, [&] {
        if (value_sz > SB4MAXVAL)
            throw ora(24452, QStringLiteral("value_sz exceeding SB4MAXVAL is not supported"));
        if (maxarr_len != 0 || curelep || mode != OCI_DEFAULT)
            throw misuse(QStringLiteral("PL/SQL array binds and bind modes are not modelled"));
        Bind *&b = st->binds[position];
        if (!b)
            b = adopt(new Bind(st));
        b->value = static_cast<char *>(valuep);
        b->size = value_sz;
        b->dty = dty;
        b->indicators = static_cast<char *>(indp);
        b->lengths = reinterpret_cast<char *>(alenp);
        b->valueSkip = ub4(value_sz);
        b->indicatorSkip = sizeof(sb2);
        b->lengthSkip = sizeof(ub4);
        *bindp = reinterpret_cast<OCIBind *>(static_cast<Object *>(b));
        return OCI_SUCCESS;
    });
}

sword OCIBindArrayOfStruct(OCIBind *bindp, OCIError *errhp, ub4 pvskip, ub4 indskip, ub4 alskip, ub4)
{
    Bind *b = as<Bind>(bindp, OCI_HTYPE_BIND);
    Error *err = as<Error>(errhp, OCI_HTYPE_ERROR);
    if (!b || !err)
        return OCI_INVALID_HANDLE;
    b->valueSkip = pvskip;
    b->indicatorSkip = indskip;
    b->lengthSkip = alskip;
    return OCI_SUCCESS;
}

sword OCIStmtFetch2(OCIStmt *stmtp, OCIError *errhp, ub4 nrows, ub2 orientation, sb4, ub4 mode)
{
    Stmt *st = as<Stmt>(stmtp, OCI_HTYPE_STMT);
    Error *err = as<Error>(errhp, OCI_HTYPE_ERROR);
    if (!st || !err)
        return OCI_INVALID_HANDLE;
    return guarded(err, [&] {
        if (orientation != OCI_FETCH_NEXT || mode != OCI_DEFAULT)
            throw misuse(QStringLiteral("fetch orientation %1, mode %2 are not modelled").arg(orientation).arg(mode));
        if (nrows == 0)
            throw misuse(QStringLiteral("a fetch of 0 rows"));
        roundTrip(st->svc->server);
        return fetchRows(*st, nrows) < nrows ? OCI_NO_DATA : OCI_SUCCESS;
    });
}

sword OCILobGetLength2(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub8 *lenp)
{
    SvcCtx *svc = as<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    Error *err = as<Error>(errhp, OCI_HTYPE_ERROR);
    Lob *lob = as<Lob>(locp, OCI_DTYPE_LOB);
    if (!svc || !err || !lob || !lenp)
        return OCI_INVALID_HANDLE;
    return guarded(err, [&] {
        roundTrip(svc->server);
        if (!lob->filled)
            throw ora(22275, QStringLiteral("invalid LOB locator specified"));
        *lenp = lob->characters ? ub8(lob->text.size()) : ub8(lob->bytes.size());
        return OCI_SUCCESS;
    });
}

sword OCILobRead2(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub8 *byte_amtp, ub8 *char_amtp,
                  ub8 offset, void *bufp, ub8 bufl, ub1 piece, void *,
                  sb4 (*cbfp)(void *, const void *, ub8, ub1, void **, ub8 *), ub2 csid, ub1 csfrm)
{
    SvcCtx *svc = as<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    Error *err = as<Error>(errhp, OCI_HTYPE_ERROR);
    Lob *lob = as<Lob>(locp, OCI_DTYPE_LOB);
    if (!svc || !err || !lob || !byte_amtp || !char_amtp || !bufp)
        return OCI_INVALID_HANDLE;
    return guarded(err, [&] {
        roundTrip(svc->server);
        if (piece != OCI_ONE_PIECE || cbfp || csid != 0 || csfrm != SQLCS_IMPLICIT)
            throw misuse(QStringLiteral("streamed LOB reads, callbacks and other character sets are not modelled"));
        if (!lob->filled)
            throw ora(22275, QStringLiteral("invalid LOB locator specified"));
        if (offset == 0)
            throw ora(24801, QStringLiteral("illegal parameter value in OCI lob function"));
        const Env &env = *envOf(lob);
        if (!lob->characters) {
            const ub8 size = ub8(lob->bytes.size());
            const ub8 from = std::min(offset - 1, size);
            const ub8 amount = std::min({*byte_amtp, size - from, bufl});
            std::memcpy(bufp, lob->bytes.constData() + from, size_t(amount));
            *byte_amtp = amount;
            *char_amtp = 0;
            return OCI_SUCCESS;
        }
        // A CLOB read by characters (*byte_amtp 0), as many whole ones as
        // the buffer holds, never half of a surrogate pair.
        if (*byte_amtp != 0)
            throw misuse(QStringLiteral("CLOB reads by a byte amount are not modelled"));
        const ub8 size = ub8(lob->text.size());
        const ub8 from = std::min(offset - 1, size);
        ub8 chars = std::min(*char_amtp, size - from);
        QByteArray bytes;
        for (;;) {
            if (chars > 0 && from + chars < size && QChar::isHighSurrogate(lob->text[qsizetype(from + chars - 1)].unicode()))
                --chars;
            bytes = env.encode(lob->text.mid(qsizetype(from), qsizetype(chars)));
            if (ub8(bytes.size()) <= bufl || chars == 0)
                break;
            chars = chars / 2;
        }
        std::memcpy(bufp, bytes.constData(), size_t(bytes.size()));
        *byte_amtp = ub8(bytes.size());
        *char_amtp = chars;
        return OCI_SUCCESS;
    });
}

sword OCILobCreateTemporary(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub2 csid, ub1 csfrm,
                            ub1 lobtype, int, ub2 duration)
{
    SvcCtx *svc = as<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    Error *err = as<Error>(errhp, OCI_HTYPE_ERROR);
    Lob *lob = as<Lob>(locp, OCI_DTYPE_LOB);
    if (!svc || !err || !lob)
        return OCI_INVALID_HANDLE;
    return guarded(err, [&] {
        roundTrip(svc->server);
        sessionOf(svc);
        if (lobtype != OCI_TEMP_BLOB || csid != 0 || csfrm != SQLCS_IMPLICIT || duration != OCI_DURATION_SESSION)
            throw misuse(QStringLiteral("temporary LOBs other than a session's BLOB are not modelled"));
        if (lob->temporary)
            throw misuse(QStringLiteral("a locator made temporary twice"));
        lob->temporary = true;
        lob->filled = true;
        lob->characters = false;
        lob->bytes.clear();
        return OCI_SUCCESS;
    });
}

sword OCILobWrite2(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub8 *byte_amtp, ub8 *char_amtp,
                   ub8 offset, void *bufp, ub8 buflen, ub1 piece, void *,
                   sb4 (*cbfp)(void *, void *, ub8 *, ub1 *, void **, ub8 *), ub2 csid, ub1 csfrm)
{
    SvcCtx *svc = as<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    Error *err = as<Error>(errhp, OCI_HTYPE_ERROR);
    Lob *lob = as<Lob>(locp, OCI_DTYPE_LOB);
    if (!svc || !err || !lob || !byte_amtp || !char_amtp || !bufp)
        return OCI_INVALID_HANDLE;
    return guarded(err, [&] {
        roundTrip(svc->server);
        sessionOf(svc);
        if (piece != OCI_ONE_PIECE || cbfp || csid != 0 || csfrm != SQLCS_IMPLICIT)
            throw misuse(QStringLiteral("streamed LOB writes, callbacks and character sets are not modelled"));
        if (!lob->temporary)
            throw misuse(QStringLiteral("writes into a LOB other than a temporary one are not modelled"));
        if (offset == 0)
            throw ora(24801, QStringLiteral("illegal parameter value in OCI lob function"));
        const ub8 amount = std::min(*byte_amtp, buflen);
        if (offset - 1 > ub8(lob->bytes.size()))
            lob->bytes.append(QByteArray(qsizetype(offset - 1 - ub8(lob->bytes.size())), '\0'));
        lob->bytes = lob->bytes.left(qsizetype(offset - 1)) +
                     QByteArray(static_cast<const char *>(bufp), qsizetype(amount)) +
                     lob->bytes.mid(qsizetype(offset - 1 + amount));
        *byte_amtp = amount;
        *char_amtp = 0;
        return OCI_SUCCESS;
    });
}

sword OCILobFreeTemporary(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp)
{
    SvcCtx *svc = as<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    Error *err = as<Error>(errhp, OCI_HTYPE_ERROR);
    Lob *lob = as<Lob>(locp, OCI_DTYPE_LOB);
    if (!svc || !err || !lob)
        return OCI_INVALID_HANDLE;
    return guarded(err, [&] {
        roundTrip(svc->server);
        if (!lob->temporary)
            throw misuse(QStringLiteral("OCILobFreeTemporary on a LOB that is not temporary"));
        lob->temporary = false;
        lob->filled = false;
        lob->bytes.clear();
        return OCI_SUCCESS;
    });
}

// hndl is the environment or a user session; a descriptor not filled by a
// fetch holds no value to read.
sword OCIDateTimeGetDate(void *hndl, OCIError *err, const OCIDateTime *datetime, sb2 *yr, ub1 *mnth, ub1 *dy)
{
    Error *e = as<Error>(err, OCI_HTYPE_ERROR);
    const DateTime *from = as<DateTime>(datetime, OCI_DTYPE_TIMESTAMP);
    if (!e || !from || (!as<Env>(hndl, OCI_HTYPE_ENV) && !as<Session>(hndl, OCI_HTYPE_SESSION)) || !yr || !mnth || !dy)
        return OCI_INVALID_HANDLE;
    return guarded(e, [&] {
        if (!from->filled)
            throw misuse(QStringLiteral("OCIDateTimeGetDate on a descriptor that holds no fetched value"));
        *yr = sb2(from->value.date.year);
        *mnth = ub1(from->value.date.month);
        *dy = ub1(from->value.date.day);
        return OCI_SUCCESS;
    });
}

sword OCIDateTimeGetTime(void *hndl, OCIError *err, OCIDateTime *datetime, ub1 *hr, ub1 *mm, ub1 *ss, ub4 *fsec)
{
    Error *e = as<Error>(err, OCI_HTYPE_ERROR);
    const DateTime *from = as<DateTime>(datetime, OCI_DTYPE_TIMESTAMP);
    if (!e || !from || (!as<Env>(hndl, OCI_HTYPE_ENV) && !as<Session>(hndl, OCI_HTYPE_SESSION)) || !hr || !mm || !ss ||
        !fsec)
        return OCI_INVALID_HANDLE;
    return guarded(e, [&] {
        if (!from->filled)
            throw misuse(QStringLiteral("OCIDateTimeGetTime on a descriptor that holds no fetched value"));
        *hr = ub1(from->value.date.hour);
        *mm = ub1(from->value.date.minute);
        *ss = ub1(from->value.date.second);
        *fsec = ub4(from->value.nanosecond);
        return OCI_SUCCESS;
    });
}

// A negative interval has the sign on each of its parts.
sword OCIIntervalGetDaySecond(void *hndl, OCIError *err, sb4 *dy, sb4 *hr, sb4 *mm, sb4 *ss, sb4 *fsec,
                              const OCIInterval *interval)
{
    Error *e = as<Error>(err, OCI_HTYPE_ERROR);
    const Interval *from = as<Interval>(interval, OCI_DTYPE_INTERVAL_DS);
    if (!e || !from || (!as<Env>(hndl, OCI_HTYPE_ENV) && !as<Session>(hndl, OCI_HTYPE_SESSION)) || !dy || !hr || !mm ||
        !ss || !fsec)
        return OCI_INVALID_HANDLE;
    return guarded(e, [&] {
        if (!from->filled)
            throw misuse(QStringLiteral("OCIIntervalGetDaySecond on a descriptor that holds no fetched value"));
        const OracleInterval &v = from->value;
        const sb4 sign = v.negative ? -1 : 1;
        *dy = sign * sb4(v.days);
        *hr = sign * sb4(v.hours);
        *mm = sign * sb4(v.minutes);
        *ss = sign * sb4(v.seconds);
        *fsec = sign * sb4(v.nanosecond);
        return OCI_SUCCESS;
    });
}

sword OCITransCommit(OCISvcCtx *svchp, OCIError *errhp, ub4 flags)
{
    SvcCtx *svc = as<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    Error *err = as<Error>(errhp, OCI_HTYPE_ERROR);
    if (!svc || !err)
        return OCI_INVALID_HANDLE;
    return guarded(err, [&] {
        if (flags != OCI_DEFAULT)
            throw misuse(QStringLiteral("two-phase commit flags are not modelled"));
        roundTrip(svc->server);
        sessionOf(svc).commit();
        return OCI_SUCCESS;
    });
}

sword OCITransRollback(OCISvcCtx *svchp, OCIError *errhp, ub4)
{
    SvcCtx *svc = as<SvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    Error *err = as<Error>(errhp, OCI_HTYPE_ERROR);
    if (!svc || !err)
        return OCI_INVALID_HANDLE;
    return guarded(err, [&] {
        roundTrip(svc->server);
        sessionOf(svc).rollback();
        return OCI_SUCCESS;
    });
}

} // extern "C"
