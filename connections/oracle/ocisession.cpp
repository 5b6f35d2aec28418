#include "connections/oracle/ocisession.h"

#include "connections/oracle/ocibatch.h"
#include "connections/oracle/ocihandles.h"
#include "engine/core/errors.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

namespace tavrex {

namespace {

using namespace oci;

// A run's bind buffers stay below this size (a single row may exceed it).
constexpr qint64 kRunBufferLimit = qint64(8) * 1024 * 1024;

// Set right after logon: lengths in characters (CREATE TABLE's VARCHAR2(n)
// holds n characters, whatever the database's default), '.' as the decimal
// separator of numbers bound as text, and the date format a DATE takes when
// it meets a character column.
const char kSessionSetup[] =
    "ALTER SESSION SET NLS_LENGTH_SEMANTICS=CHAR NLS_NUMERIC_CHARACTERS='.,' "
    "NLS_DATE_FORMAT='YYYY-MM-DD HH24:MI:SS'";

const OraText *oraText(const QByteArray &bytes)
{
    return reinterpret_cast<const OraText *>(bytes.constData());
}

bool succeeded(sword status)
{
    return status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO;
}

// The first error record of a handle, as the server wrote it but without
// the newline OCI ends every message with.
DatabaseError readError(const Api &api, void *handle, ub4 handleType, sword status, const char *call)
{
    if (status == OCI_INVALID_HANDLE)
        return DatabaseError(QStringLiteral("The Oracle client library refused a handle in %1").arg(QLatin1String(call)));
    OraText buffer[OCI_ERROR_MAXMSG_SIZE2];
    buffer[0] = 0;
    sb4 code = 0;
    if (handle && api.OCIErrorGet(handle, 1, nullptr, &code, buffer, ub4(sizeof buffer), handleType) == OCI_SUCCESS) {
        const char *text = reinterpret_cast<const char *>(buffer);
        QString message = QString::fromUtf8(text, qsizetype(qstrnlen(text, sizeof buffer)));
        while (!message.isEmpty() && message.back().isSpace())
            message.chop(1);
        return DatabaseError(message, code);
    }
    return DatabaseError(QStringLiteral("%1 failed with status %2 and left no error record")
                             .arg(QLatin1String(call))
                             .arg(status));
}

// Runs a teardown call when destroyed, once armed.
class Teardown {
public:
    Teardown() = default;
    Teardown(const Teardown &) = delete;
    Teardown &operator=(const Teardown &) = delete;
    ~Teardown()
    {
        if (call_)
            call_();
    }
    void arm(std::function<void()> call) { call_ = std::move(call); }

private:
    std::function<void()> call_;
};

// The temporary LOBs of one execute (the WKB of its geometries): each
// locator allocated, made a temporary BLOB and written; when the execute is
// done, each temporary LOB is freed, then its locator.
class TemporaryLobs {
public:
    TemporaryLobs(const Api &api, OCISvcCtx *svc, OCIError *err) : api_(api), svc_(svc), err_(err) {}
    TemporaryLobs(const TemporaryLobs &) = delete;
    TemporaryLobs &operator=(const TemporaryLobs &) = delete;
    ~TemporaryLobs()
    {
        for (const Lob &lob : lobs_) {
            if (lob.temporary)
                api_.OCILobFreeTemporary(svc_, err_, lob.locator);
            api_.OCIDescriptorFree(lob.locator, OCI_DTYPE_LOB);
        }
    }
    // A locator just allocated, freed from now on; its temporary LOB once
    // made (madeTemporary).
    void adopt(void *locator) { lobs_.push_back({static_cast<OCILobLocator *>(locator), false}); }
    void madeTemporary() { lobs_.back().temporary = true; }

private:
    struct Lob {
        OCILobLocator *locator;
        bool temporary;
    };
    const Api &api_;
    OCISvcCtx *svc_;
    OCIError *err_;
    std::vector<Lob> lobs_;
};

// One column's array bind: values at a fixed stride, indicators, lengths.
struct ColumnBuffer {
    std::vector<char> data;
    std::vector<sb2> indicators;
    std::vector<ub4> lengths;
};

// Fills a column's array bind for the rows of a run, at `width` bytes per
// value; a geometry's WKB goes into a temporary LOB that lob() makes.
void fillColumn(ColumnBuffer &b, const OracleRowBatch &batch, const InsertRun &run, int c, qint64 width,
                const std::function<OCILobLocator *(const QByteArray &)> &lob)
{
    const size_t rows = size_t(run.rowCount);
    if (b.data.size() < rows * size_t(width))
        b.data.resize(rows * size_t(width));
    b.indicators.resize(rows);
    b.lengths.resize(rows);
    for (size_t r = 0; r < rows; ++r) {
        const OracleValue &v = batch.at(run.firstRow + int(r), c);
        char *slot = b.data.data() + r * size_t(width);
        b.indicators[r] = OCI_IND_NOTNULL;
        switch (v.kind()) {
        case OracleValue::Kind::Null:
            b.indicators[r] = OCI_IND_NULL;
            b.lengths[r] = 0;
            break;
        case OracleValue::Kind::Number:
        case OracleValue::Kind::BinaryNumber:
        case OracleValue::Kind::Text:
            if (v.isUtf8()) {
                const QByteArray &utf8 = v.utf8Value();
                if (!utf8.isEmpty())
                    std::memcpy(slot, utf8.constData(), size_t(utf8.size()));
                b.lengths[r] = ub4(utf8.size());
                break;
            }
            b.lengths[r] = ub4(encodeUtf8(v.textValue(), slot) - slot);
            break;
        case OracleValue::Kind::Timestamp:
        case OracleValue::Kind::Interval:
            b.lengths[r] = ub4(encodeUtf8(conversionText(v), slot) - slot);
            break;
        case OracleValue::Kind::Date:
            encodeDate(v.dateValue(), reinterpret_cast<ub1 *>(slot));
            b.lengths[r] = 7;
            break;
        case OracleValue::Kind::Bytes: {
            const QByteArray &bytes = v.bytesValue();
            if (!bytes.isEmpty())
                std::memcpy(slot, bytes.constData(), size_t(bytes.size()));
            b.lengths[r] = ub4(bytes.size());
            break;
        }
        case OracleValue::Kind::Geometry: {
            OCILobLocator *locator = lob(v.wkbValue());
            std::memcpy(slot, &locator, sizeof locator);
            b.lengths[r] = ub4(sizeof locator);
            break;
        }
        }
    }
}

// Why a value of this width cannot be bound; empty when it can.
QString widthProblem(qint64 width, const QString &column)
{
    if (width <= SB4MAXVAL)
        return QString();
    return QStringLiteral("A value of %1 bytes for column \"%2\" is larger than the Oracle client library can bind "
                          "(2147483647 bytes)")
        .arg(width)
        .arg(column);
}

// A batch's runs as the adapter sends them, with their INSERT texts and their
// bind buffers filled on the thread that built the batch (OciPreparer).
class OciPreparedBatch final : public PreparedRows {
public:
    struct Run {
        InsertRun run;
        QString sql;
        std::vector<ColumnBuffer> buffers;  // by bind order; empty for a column written as NULL
    };
    QString table;
    QVector<QString> types;
    int rows = 0;
    std::vector<Run> runs;  // their buffers' memory serves the next batch's runs
};

// The bind buffers of a batch are filled before it is sent when they stay
// within this size together, and when no value needs the session (a
// geometry's temporary LOB); a batch of larger values is filled by the insert,
// one run at a time, so that its memory stays as it was.
constexpr qint64 kPreparedBufferLimit = qint64(16) * 1024 * 1024;

class OciPreparer final : public BatchPreparer {
public:
    OciPreparer(QString table, QVector<OracleColumn> columns)
        : table_(std::move(table)), columns_(std::move(columns))
    {
        for (const OracleColumn &c : columns_)
            types_.append(c.type);
        order_ = bindOrder(types_);
    }

    void prepare(OracleRowBatch &batch) override
    {
        std::unique_ptr<PreparedRows> kept = batch.takePrepared();
        const bool filled = batch.columns() == columns_ && fill(batch, kept);
        batch.setPrepared(std::move(kept), filled);
    }

private:
    bool fill(const OracleRowBatch &batch, std::unique_ptr<PreparedRows> &kept)
    {
        const QVector<InsertRun> runs = planInsertRuns(batch, kRunBufferLimit);
        qint64 total = 0;
        for (const InsertRun &run : runs) {
            for (int c = 0; c < run.kinds.size(); ++c) {
                if (run.kinds[c] == OracleValue::Kind::Geometry ||
                    !widthProblem(run.widths[c], batch.columns()[c].name).isEmpty())
                    return false;
                total += qint64(run.rowCount) * run.widths[c];
            }
        }
        if (total > kPreparedBufferLimit)
            return false;
        if (!dynamic_cast<OciPreparedBatch *>(kept.get()))
            kept = std::make_unique<OciPreparedBatch>();
        auto &p = static_cast<OciPreparedBatch &>(*kept);
        p.table = table_;
        p.types = types_;
        p.rows = batch.rowCount();
        p.runs.resize(size_t(runs.size()));
        const std::function<OCILobLocator *(const QByteArray &)> noLob;
        for (int i = 0; i < runs.size(); ++i) {
            OciPreparedBatch::Run &r = p.runs[size_t(i)];
            r.run = runs[i];
            r.sql = insertStatement(table_, batch.columns(), order_, r.run, types_);
            r.buffers.resize(size_t(order_.size()));
            for (int k = 0; k < order_.size(); ++k) {
                const int c = order_[k];
                if (isBound(r.run, c, types_[c]))
                    fillColumn(r.buffers[size_t(k)], batch, r.run, c, r.run.widths[c], noLob);
            }
        }
        return true;
    }

    const QString table_;
    const QVector<OracleColumn> columns_;
    QVector<QString> types_;
    QVector<int> order_;
};

class OciRowReader;

class OciSession final : public OracleSession {
    friend class OciRowReader;

public:
    OciSession(const Api &api, const OracleLogin &login);

    void execute(const QString &sql) override;
    qint64 queryCount(const QString &sql) override;
    QVector<OracleColumn> describe(const QString &sql) override;
    BatchResult insertBatch(const QString &table, const OracleRowBatch &batch) override;
    BatchResult insertBatchKeepingAccepted(const QString &table, const OracleRowBatch &batch) override;
    std::unique_ptr<OracleRowReader> query(const QString &sql) override;
    std::unique_ptr<BatchPreparer> batchPreparer(const QString &table, const QVector<OracleColumn> &columns) override;

private:
    void check(sword status, const char *call)
    {
        if (!succeeded(status))
            throw readError(api_, err_.get(), OCI_HTYPE_ERROR, status, call);
    }
    template <typename T>
    void allocate(Handle<T> &handle, const char *call)
    {
        const sword status = api_.OCIHandleAlloc(env_.get(), handle.slot(), Handle<T>::type, 0, nullptr);
        if (!succeeded(status))
            throw readError(api_, env_.get(), OCI_HTYPE_ENV, status, call);
    }
    Statement prepare(const QString &sql);
    void run(const QString &sql);
    QVector<OracleColumn> describeNow(const QString &sql);
    QVector<DescribedItem> selectList(Statement &stmt);
    QVector<QString> columnTypes(const QString &table, const OracleRowBatch &batch);
    Statement parsedInsert(const QString &sql);
    void bindRun(Statement &stmt, const OracleRowBatch &batch, const InsertRun &run, const QVector<int> &order,
                 const QVector<QString> &types, TemporaryLobs &lobs);
    void bindBuffers(Statement &stmt, const InsertRun &run, const QVector<int> &order, const QVector<QString> &types,
                     std::vector<ColumnBuffer> &buffers);
    OCILobLocator *temporaryBlob(const QByteArray &bytes, TemporaryLobs &lobs);
    BatchResult insertRows(const QString &table, const OracleRowBatch &batch, bool keepAccepted);
    std::vector<RejectedRow> batchErrors(Statement &stmt);
    void rollback() { check(api_.OCITransRollback(svc_.get(), err_.get(), OCI_DEFAULT), "OCITransRollback"); }

    const Api &api_;
    const OracleLogin login_;
    // Destroyed in reverse order: session end, detach, then the handles, the
    // environment last.
    Handle<OCIEnv> env_;
    Handle<OCIError> err_;
    Handle<OCIServer> server_;
    Handle<OCISvcCtx> svc_;
    Handle<OCISession> user_;
    Teardown detach_;
    Teardown endSession_;
    std::vector<ColumnBuffer> buffers_;
};

OciSession::OciSession(const Api &api, const OracleLogin &login)
    : api_(api), login_(login), env_(api), err_(api), server_(api), svc_(api), user_(api)
{
    // The session's work runs on the Oracle worker's thread as well as on
    // the thread that opened it (README.md, "Threads").
    OCIEnv *env = nullptr;
    const sword created =
        api_.OCIEnvNlsCreate(&env, OCI_THREADED, nullptr, nullptr, nullptr, nullptr, 0, nullptr, AL32UTF8, AL32UTF8);
    if (!succeeded(created)) {
        // The reason, if any, is on the environment: read it before freeing.
        if (!env)
            throw DatabaseError(QStringLiteral("The Oracle client library could not create its environment "
                                               "(OCIEnvNlsCreate returned %1); check its installation and "
                                               "ORACLE_HOME")
                                    .arg(created));
        const DatabaseError e = readError(api_, env, OCI_HTYPE_ENV, created, "OCIEnvNlsCreate");
        api_.OCIHandleFree(env, OCI_HTYPE_ENV);
        throw e;
    }
    env_.adopt(env);
    allocate(err_, "OCIHandleAlloc");
    allocate(server_, "OCIHandleAlloc");
    allocate(svc_, "OCIHandleAlloc");
    allocate(user_, "OCIHandleAlloc");

    const QByteArray service = login_.service.toUtf8();
    check(api_.OCIServerAttach(server_.get(), err_.get(), oraText(service), sb4(service.size()), OCI_DEFAULT),
          "OCIServerAttach");
    detach_.arm([this] { api_.OCIServerDetach(server_.get(), err_.get(), OCI_DEFAULT); });
    check(api_.OCIAttrSet(svc_.get(), OCI_HTYPE_SVCCTX, server_.get(), 0, OCI_ATTR_SERVER, err_.get()),
          "OCIAttrSet");

    ub4 credentials = OCI_CRED_EXT;
    QByteArray user, password;
    if (!login_.osAuthentication) {
        credentials = OCI_CRED_RDBMS;
        user = login_.user.toUtf8();
        password = login_.password.toUtf8();
        check(api_.OCIAttrSet(user_.get(), OCI_HTYPE_SESSION, user.data(), ub4(user.size()), OCI_ATTR_USERNAME,
                              err_.get()),
              "OCIAttrSet");
        check(api_.OCIAttrSet(user_.get(), OCI_HTYPE_SESSION, password.data(), ub4(password.size()),
                              OCI_ATTR_PASSWORD, err_.get()),
              "OCIAttrSet");
    }
    // OCI_SUCCESS_WITH_INFO here is a warning such as a password about to
    // expire: the session is open.
    check(api_.OCISessionBegin(svc_.get(), err_.get(), user_.get(), credentials, OCI_DEFAULT), "OCISessionBegin");
    // Ending a session commits its open transaction: roll back first, so a
    // batch that did not finish can never be committed by a close.
    endSession_.arm([this] {
        api_.OCITransRollback(svc_.get(), err_.get(), OCI_DEFAULT);
        api_.OCISessionEnd(svc_.get(), err_.get(), user_.get(), OCI_DEFAULT);
    });
    check(api_.OCIAttrSet(svc_.get(), OCI_HTYPE_SVCCTX, user_.get(), 0, OCI_ATTR_SESSION, err_.get()),
          "OCIAttrSet");
    run(QString::fromLatin1(kSessionSetup));
}

Statement OciSession::prepare(const QString &sql)
{
    const QByteArray text = sql.toUtf8();
    Statement stmt(api_, err_.get());
    check(api_.OCIStmtPrepare2(svc_.get(), stmt.slot(), err_.get(), oraText(text), ub4(text.size()), nullptr, 0,
                               OCI_NTV_SYNTAX, OCI_DEFAULT),
          "OCIStmtPrepare2");
    return stmt;
}

void OciSession::run(const QString &sql)
{
    Statement stmt = prepare(sql);
    check(api_.OCIStmtExecute(svc_.get(), stmt.get(), err_.get(), 1, 0, nullptr, nullptr, OCI_DEFAULT),
          "OCIStmtExecute");
}

void OciSession::execute(const QString &sql)
{
    try {
        run(sql);
    } catch (DatabaseError &e) {
        e.addContext(QStringLiteral("while executing \"%1\"").arg(sql));
        throw;
    }
}

qint64 OciSession::queryCount(const QString &sql)
{
    try {
        Statement stmt = prepare(sql);
        ub4 prefetch = ub4(std::max(1, login_.prefetchRows));
        check(api_.OCIAttrSet(stmt.get(), OCI_HTYPE_STMT, &prefetch, 0, OCI_ATTR_PREFETCH_ROWS, err_.get()),
              "OCIAttrSet");
        sb8 value = 0;
        sb2 indicator = OCI_IND_NOTNULL;
        ub2 length = 0;
        OCIDefine *define = nullptr;
        check(api_.OCIDefineByPos(stmt.get(), &define, err_.get(), 1, &value, sb4(sizeof value), SQLT_INT,
                                  &indicator, &length, nullptr, OCI_DEFAULT),
              "OCIDefineByPos");
        // With a define, one iteration executes the query and fetches its row.
        const sword status =
            api_.OCIStmtExecute(svc_.get(), stmt.get(), err_.get(), 1, 0, nullptr, nullptr, OCI_DEFAULT);
        if (status == OCI_NO_DATA)
            throw DatabaseError(QStringLiteral("The count query returned no row"));
        check(status, "OCIStmtExecute");
        return indicator == OCI_IND_NULL ? 0 : qint64(value);
    } catch (DatabaseError &e) {
        e.addContext(QStringLiteral("while executing \"%1\"").arg(sql));
        throw;
    }
}

QVector<OracleColumn> OciSession::describeNow(const QString &sql)
{
    Statement stmt = prepare(sql);
    check(api_.OCIStmtExecute(svc_.get(), stmt.get(), err_.get(), 0, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY),
          "OCIStmtExecute");
    QVector<OracleColumn> columns;
    for (const DescribedItem &item : selectList(stmt))
        columns.append(columnFromDescribe(item));
    return columns;
}

// The select list of an executed (or described) query.
QVector<DescribedItem> OciSession::selectList(Statement &stmt)
{
    ub4 count = 0;
    check(api_.OCIAttrGet(stmt.get(), OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, err_.get()),
          "OCIAttrGet");
    QVector<DescribedItem> items;
    items.reserve(int(count));
    for (ub4 pos = 1; pos <= count; ++pos) {
        ParamDescriptor param(api_);
        check(api_.OCIParamGet(stmt.get(), OCI_HTYPE_STMT, err_.get(), param.slot(), pos), "OCIParamGet");
        auto get = [&](void *value, ub4 attribute, ub4 *size = nullptr) {
            check(api_.OCIAttrGet(param.get(), OCI_DTYPE_PARAM, value, size, attribute, err_.get()), "OCIAttrGet");
        };
        OraText *name = nullptr;
        ub4 nameBytes = 0;
        ub1 nullable = 1;
        DescribedItem item;
        get(&name, OCI_ATTR_NAME, &nameBytes);
        get(&item.dataType, OCI_ATTR_DATA_TYPE);
        get(&item.dataSize, OCI_ATTR_DATA_SIZE);
        get(&item.precision, OCI_ATTR_PRECISION);
        get(&item.scale, OCI_ATTR_SCALE);
        get(&nullable, OCI_ATTR_IS_NULL);
        // The character attributes only where they mean something.
        const bool characters = item.dataType == SQLT_CHR || item.dataType == SQLT_AFC;
        if (characters)
            get(&item.charSize, OCI_ATTR_CHAR_SIZE);
        if (characters || item.dataType == SQLT_CLOB)
            get(&item.charsetForm, OCI_ATTR_CHARSET_FORM);
        item.name = QString::fromUtf8(reinterpret_cast<const char *>(name), qsizetype(nameBytes));
        item.nullable = nullable != 0;
        if (item.dataType == SQLT_NTY) {
            OraText *typeName = nullptr, *schema = nullptr;
            ub4 typeBytes = 0, schemaBytes = 0;
            get(&typeName, OCI_ATTR_TYPE_NAME, &typeBytes);
            get(&schema, OCI_ATTR_SCHEMA_NAME, &schemaBytes);
            const QString type = QString::fromUtf8(reinterpret_cast<const char *>(typeName), qsizetype(typeBytes));
            const QString owner = QString::fromUtf8(reinterpret_cast<const char *>(schema), qsizetype(schemaBytes));
            item.typeName = owner.isEmpty() || owner == QLatin1String("MDSYS") ? type : owner + QLatin1Char('.') + type;
        }
        items.append(item);
    }
    return items;
}

QVector<OracleColumn> OciSession::describe(const QString &sql)
{
    try {
        return describeNow(sql);
    } catch (DatabaseError &e) {
        e.addContext(QStringLiteral("while executing \"%1\"").arg(sql));
        throw;
    }
}

// The column types of a batch: as the batch carries them (the row buffer's
// batches come from a describe), else from a describe of the table now.
QVector<QString> OciSession::columnTypes(const QString &table, const OracleRowBatch &batch)
{
    QVector<QString> types;
    bool unknown = false;
    for (const OracleColumn &c : batch.columns()) {
        types.append(c.type);
        unknown = unknown || c.type.isEmpty();
    }
    if (!unknown)
        return types;
    const QVector<OracleColumn> described =
        describe(describeStatement(table));
    for (int c = 0; c < types.size(); ++c) {
        for (const OracleColumn &d : described) {
            if (types[c].isEmpty() && d.name == batch.columns()[c].name)
                types[c] = d.type;
        }
    }
    return types;
}

// The INSERT prepared and parsed before its rows are bound: the statement's
// own errors (no such table or column) are raised as errors, and every error
// of the execute that follows belongs to a row. Parsing each time also keeps
// a table dropped by another session from passing as a rejected row.
Statement OciSession::parsedInsert(const QString &sql)
{
    Statement stmt = prepare(sql);
    check(api_.OCIStmtExecute(svc_.get(), stmt.get(), err_.get(), 1, 0, nullptr, nullptr, OCI_PARSE_ONLY),
          "OCIStmtExecute");
    return stmt;
}

// A temporary BLOB holding the bytes.
OCILobLocator *OciSession::temporaryBlob(const QByteArray &bytes, TemporaryLobs &lobs)
{
    void *locator = nullptr;
    const sword allocated = api_.OCIDescriptorAlloc(env_.get(), &locator, OCI_DTYPE_LOB, 0, nullptr);
    if (!succeeded(allocated))
        throw readError(api_, env_.get(), OCI_HTYPE_ENV, allocated, "OCIDescriptorAlloc");
    lobs.adopt(locator);
    auto *lob = static_cast<OCILobLocator *>(locator);
    check(api_.OCILobCreateTemporary(svc_.get(), err_.get(), lob, 0, SQLCS_IMPLICIT, OCI_TEMP_BLOB, 0,
                                     OCI_DURATION_SESSION),
          "OCILobCreateTemporary");
    lobs.madeTemporary();
    if (!bytes.isEmpty()) {
        ub8 byteAmount = ub8(bytes.size()), charAmount = 0;
        check(api_.OCILobWrite2(svc_.get(), err_.get(), lob, &byteAmount, &charAmount, 1,
                                const_cast<char *>(bytes.constData()), ub8(bytes.size()), OCI_ONE_PIECE, nullptr,
                                nullptr, 0, SQLCS_IMPLICIT),
              "OCILobWrite2");
    }
    return lob;
}

void OciSession::bindRun(Statement &stmt, const OracleRowBatch &batch, const InsertRun &run,
                         const QVector<int> &order, const QVector<QString> &types, TemporaryLobs &lobs)
{
    const size_t rows = size_t(run.rowCount);
    buffers_.resize(size_t(order.size()));
    // The buffers are kept for the next run, but together they stay within
    // the run limit (or this run's own size, for a single large row): a
    // buffer that grew for an earlier run and would push the total past it
    // is given back first, so a session never holds the largest width of
    // every column at once.
    qint64 kept = 0, needed = 0;
    for (int i = 0; i < order.size(); ++i) {
        const qint64 need = qint64(rows) * run.widths[order[i]];
        needed += need;
        kept += std::max(qint64(buffers_[size_t(i)].data.capacity()), need);
    }
    if (kept > std::max(kRunBufferLimit, needed)) {
        for (int i = 0; i < order.size(); ++i) {
            std::vector<char> &data = buffers_[size_t(i)].data;
            if (qint64(data.capacity()) > qint64(rows) * run.widths[order[i]])
                std::vector<char>().swap(data);
        }
    }
    const auto lob = [this, &lobs](const QByteArray &wkb) { return temporaryBlob(wkb, lobs); };
    for (int i = 0; i < order.size(); ++i) {
        const int c = order[i];
        if (!isBound(run, c, types[c]))
            continue;  // written as NULL
        const QString problem = widthProblem(run.widths[c], batch.columns()[c].name);
        if (!problem.isEmpty())
            throw DatabaseError(problem);
        fillColumn(buffers_[size_t(i)], batch, run, c, run.widths[c], lob);
    }
    bindBuffers(stmt, run, order, types, buffers_);
}

// Binds the filled buffers of a run, by position in bind order.
void OciSession::bindBuffers(Statement &stmt, const InsertRun &run, const QVector<int> &order,
                             const QVector<QString> &types, std::vector<ColumnBuffer> &buffers)
{
    ub4 position = 0;
    for (int i = 0; i < order.size(); ++i) {
        const int c = order[i];
        if (!isBound(run, c, types[c]))
            continue;  // written as NULL
        const qint64 width = run.widths[c];
        ColumnBuffer &b = buffers[size_t(i)];
        OCIBind *bind = nullptr;
        check(api_.OCIBindByPos2(stmt.get(), &bind, err_.get(), ++position, b.data.data(), sb8(width),
                                 bindType(run.kinds[c], types[c]), b.indicators.data(), b.lengths.data(), nullptr, 0,
                                 nullptr, OCI_DEFAULT),
              "OCIBindByPos2");
        check(api_.OCIBindArrayOfStruct(bind, err_.get(), ub4(width), ub4(sizeof(sb2)), ub4(sizeof(ub4)), 0),
              "OCIBindArrayOfStruct");
    }
}

std::unique_ptr<BatchPreparer> OciSession::batchPreparer(const QString &table, const QVector<OracleColumn> &columns)
{
    for (const OracleColumn &c : columns)
        if (c.type.isEmpty())
            return nullptr;
    return std::make_unique<OciPreparer>(table, columns);
}

BatchResult OciSession::insertBatch(const QString &table, const OracleRowBatch &batch)
{
    return insertRows(table, batch, false);
}

BatchResult OciSession::insertBatchKeepingAccepted(const QString &table, const OracleRowBatch &batch)
{
    return insertRows(table, batch, true);
}

// The batch errors of the last execute of stmt, each with its row's offset in
// the run. The records are read through two error handles of our own: one
// that OCIParamGet fills with a row's error, one for the calls that read it,
// so that the execute's error handle keeps its records while they are read.
std::vector<RejectedRow> OciSession::batchErrors(Statement &stmt)
{
    ub4 count = 0;
    check(api_.OCIAttrGet(stmt.get(), OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_NUM_DML_ERRORS, err_.get()),
          "OCIAttrGet");
    std::vector<RejectedRow> out;
    if (count == 0)
        return out;
    Handle<OCIError> rowError(api_), reader(api_);
    allocate(rowError, "OCIHandleAlloc");
    allocate(reader, "OCIHandleAlloc");
    out.reserve(count);
    for (ub4 i = 0; i < count; ++i) {
        void *slot = rowError.get();
        check(api_.OCIParamGet(err_.get(), OCI_HTYPE_ERROR, err_.get(), &slot, i), "OCIParamGet");
        ub4 offset = 0;
        const sword got =
            api_.OCIAttrGet(slot, OCI_HTYPE_ERROR, &offset, nullptr, OCI_ATTR_DML_ROW_OFFSET, reader.get());
        if (!succeeded(got))
            throw readError(api_, reader.get(), OCI_HTYPE_ERROR, got, "OCIAttrGet");
        const DatabaseError rowFailure = readError(api_, slot, OCI_HTYPE_ERROR, OCI_ERROR, "OCIStmtExecute");
        if (isSessionLost(rowFailure.code()))
            throw rowFailure;
        out.push_back({int(offset), rowFailure.message()});
    }
    return out;
}

BatchResult OciSession::insertRows(const QString &table, const OracleRowBatch &batch, bool keepAccepted)
{
    if (batch.rowCount() == 0)
        return BatchResult{};
    bool open = false;  // a run has executed: the transaction holds rows
    QString sql;
    try {
        const QVector<QString> types = columnTypes(table, batch);
        const QVector<int> order = bindOrder(types);
        // The runs filled before the batch was sent, when they were filled
        // for this table and these column types.
        auto *ready = const_cast<OciPreparedBatch *>(dynamic_cast<const OciPreparedBatch *>(batch.prepared()));
        if (ready && (ready->table != table || ready->types != types || ready->rows != batch.rowCount()))
            ready = nullptr;
        const QVector<InsertRun> runs = ready ? QVector<InsertRun>() : planInsertRuns(batch, kRunBufferLimit);
        const int runCount = ready ? int(ready->runs.size()) : int(runs.size());
        // The batch's own statements go first, in the transaction that the
        // rows' last execute commits: a rejected row rolls them back with the
        // rows before it.
        for (const QString &statement : batch.statementsBeforeCommit()) {
            sql = statement;
            open = true;
            run(statement);
        }
        std::vector<RejectedRow> rejected;
        for (int i = 0; i < runCount; ++i) {
            const InsertRun &run = ready ? ready->runs[size_t(i)].run : runs[i];
            sql = ready ? ready->runs[size_t(i)].sql : insertStatement(table, batch.columns(), order, run, types);
            Statement stmt = parsedInsert(sql);
            TemporaryLobs lobs(api_, svc_.get(), err_.get());
            if (ready)
                bindBuffers(stmt, run, order, types, ready->runs[size_t(i)].buffers);
            else
                bindRun(stmt, batch, run, order, types, lobs);
            // Keeping the accepted rows, every run is sent in batch-error mode
            // and the commit follows the last one (whether a commit on success
            // covers an execute with batch errors is not documented).
            const bool last = i + 1 == runCount;
            const ub4 mode = keepAccepted ? OCI_BATCH_ERRORS : last ? OCI_COMMIT_ON_SUCCESS : OCI_DEFAULT;
            const sword status =
                api_.OCIStmtExecute(svc_.get(), stmt.get(), err_.get(), ub4(run.rowCount), 0, nullptr, nullptr, mode);
            open = true;
            if (succeeded(status) && !keepAccepted)
                continue;
            // The message and the row count first: the rollback reuses the
            // error handle. The array stopped at the failing row, so the rows
            // done before it are its position in the run.
            DatabaseError error = succeeded(status) ? DatabaseError(QString())
                                                    : readError(api_, err_.get(), OCI_HTYPE_ERROR, status,
                                                                "OCIStmtExecute");
            // In batch-error mode the rows' errors are reported as ORA-24381
            // ("error(s) in array DML"), with a warning or an error status;
            // every other error belongs to the statement.
            if (keepAccepted && (succeeded(status) || error.code() == 24381)) {
                for (RejectedRow &r : batchErrors(stmt)) {
                    if (r.row < 0 || r.row >= run.rowCount)
                        throw DatabaseError(QStringLiteral("The Oracle client library reported a failed row at "
                                                           "offset %1 of an array of %2 rows")
                                                .arg(r.row)
                                                .arg(run.rowCount));
                    r.row += run.firstRow;
                    rejected.push_back(std::move(r));
                }
                continue;
            }
            ub4 done = 0;
            api_.OCIAttrGet(stmt.get(), OCI_HTYPE_STMT, &done, nullptr, OCI_ATTR_ROW_COUNT, err_.get());
            const bool lost = status == OCI_INVALID_HANDLE || isSessionLost(error.code());
            if (keepAccepted || lost)
                throw error;  // rolled back below
            open = false;
            rollback();
            BatchResult result;
            result.ok = false;
            result.rejectedRow = run.firstRow + int(std::min<ub4>(done, ub4(run.rowCount - 1)));
            result.message = error.message();
            return result;
        }
        BatchResult result;
        if (keepAccepted) {
            check(api_.OCITransCommit(svc_.get(), err_.get(), OCI_DEFAULT), "OCITransCommit");
            open = false;
            // The server lists batch errors in an order of its own.
            std::sort(rejected.begin(), rejected.end(),
                      [](const RejectedRow &a, const RejectedRow &b) { return a.row < b.row; });
            if (!rejected.empty()) {
                result.ok = false;
                result.rejectedRow = rejected.front().row;
                result.message = rejected.front().message;
            }
            result.rejected = std::move(rejected);
        }
        return result;
    } catch (DatabaseError &e) {
        if (open) {
            try {
                rollback();
            } catch (const DatabaseError &) {
                // the first error is the one to report
            }
        }
        if (!sql.isEmpty())
            e.addContext(QStringLiteral("while executing \"%1\"").arg(sql));
        throw;
    } catch (...) {
        // Any other failure (a bind buffer that cannot be allocated) must not
        // leave the rows of earlier executes to a later commit.
        if (open) {
            try {
                rollback();
            } catch (...) {
            }
        }
        throw;
    }
}

// ------------------------------------------------------------ reading rows

// A query's rows by array fetch: every column is defined over an array of
// rowsPerFetch values, so memory holds that many rows whatever the table's
// size. LOB columns are defined as locators and read one value at a time with
// OCILobRead2 when their row is reached.
class OciRowReader final : public OracleRowReader {
public:
    OciRowReader(OciSession &session, Statement stmt, const QVector<DescribedItem> &items);
    ~OciRowReader() override;

    const QVector<OracleColumn> &columns() const override { return columns_; }
    bool next() override;
    const OracleValue &value(int column) const override { return row_[column]; }

private:
    // How a column is fetched and what value it gives: the one mapping from
    // described types to values, so a new type adds its case here.
    enum class Read { Number, Text, Date, Bytes, Blob, Clob, Float, Double, Timestamp, Interval };
    struct Column {
        Read read = Read::Text;
        ub2 dty = SQLT_CHR;
        sb4 width = 0;
        // Of a column defined over descriptors (LOB locators, timestamps,
        // intervals): their type, 0 for a column read into data.
        ub4 descriptorType = 0;
        std::vector<char> data;
        std::vector<sb2> indicators;
        std::vector<ub2> lengths;
        std::vector<void *> descriptors;
    };
    static Column columnFor(const DescribedItem &item);
    OracleValue decode(Column &c, int slot);
    QByteArray readLob(OCILobLocator *locator, bool characters);
    OracleTimestamp readTimestamp(void *descriptor);
    OracleInterval readInterval(void *descriptor);

    OciSession &s_;
    Statement stmt_;
    QVector<OracleColumn> columns_;
    std::vector<Column> fetch_;
    QVector<OracleValue> row_;
    int rowsPerFetch_ = 1;
    int fetched_ = 0;   // rows of the last fetch
    int position_ = 0;  // the current row's slot in them
    bool ended_ = false;  // the last fetch reached the end
};

// The decimal text of an IEEE number: the shortest that reads back as the
// same float or double; "Inf", "-Inf" and "Nan" for the others.
template <typename Real>
QString binaryNumberText(Real value)
{
    if (std::isnan(value))
        return QStringLiteral("Nan");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-Inf") : QStringLiteral("Inf");
    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, written.ptr - buffer);
}

// A fetch array stays below this many bytes (one row may exceed it).
constexpr qint64 kFetchBufferLimit = qint64(4) * 1024 * 1024;
constexpr int kMaxRowsPerFetch = 500;
// Texts of NUMBER: up to 40 digits, sign, point and exponent.
constexpr sb4 kNumberTextBytes = 64;
// One OCILobRead2 reads at most this many bytes or characters.
constexpr ub8 kLobPiece = 1024 * 1024;

OciRowReader::Column OciRowReader::columnFor(const DescribedItem &item)
{
    Column c;
    switch (item.dataType) {
    case SQLT_NUM:
        // As text: the session set '.' as the decimal separator, and the text
        // is exact where a binary number is not.
        c.read = Read::Number;
        c.dty = SQLT_CHR;
        c.width = kNumberTextBytes;
        break;
    case SQLT_CHR:
    case SQLT_AFC:
        c.read = Read::Text;
        c.dty = SQLT_CHR;
        // UTF-8 takes up to 4 bytes per character.
        c.width = std::max<sb4>({sb4(item.dataSize), sb4(item.charSize) * 4, 1});
        break;
    case SQLT_DAT:
        c.read = Read::Date;
        c.dty = SQLT_DAT;
        c.width = 7;
        break;
    case SQLT_BIN:
        c.read = Read::Bytes;
        c.dty = SQLT_BIN;
        c.width = std::max<sb4>(sb4(item.dataSize), 1);
        break;
    case SQLT_BLOB:
    case SQLT_CLOB:
        c.read = item.dataType == SQLT_BLOB ? Read::Blob : Read::Clob;
        c.dty = item.dataType;
        c.width = sb4(sizeof(OCILobLocator *));
        c.descriptorType = OCI_DTYPE_LOB;
        break;
    // The IEEE numbers natively, bit for bit: their decimal text is written
    // here, the shortest that reads back as the same number.
    case SQLT_IBFLOAT:
        c.read = Read::Float;
        c.dty = SQLT_BFLOAT;
        c.width = sb4(sizeof(float));
        break;
    case SQLT_IBDOUBLE:
        c.read = Read::Double;
        c.dty = SQLT_BDOUBLE;
        c.width = sb4(sizeof(double));
        break;
    // Descriptors, read by their parts: no text format of the session
    // takes part.
    case SQLT_TIMESTAMP:
        c.read = Read::Timestamp;
        c.dty = SQLT_TIMESTAMP;
        c.width = sb4(sizeof(OCIDateTime *));
        c.descriptorType = OCI_DTYPE_TIMESTAMP;
        break;
    case SQLT_INTERVAL_DS:
        c.read = Read::Interval;
        c.dty = SQLT_INTERVAL_DS;
        c.width = sb4(sizeof(OCIInterval *));
        c.descriptorType = OCI_DTYPE_INTERVAL_DS;
        break;
    default:
        throw DatabaseError(QStringLiteral("The column %1 of type %2 cannot be read back")
                                .arg(item.name, columnFromDescribe(item).type));
    }
    return c;
}

OciRowReader::OciRowReader(OciSession &session, Statement stmt, const QVector<DescribedItem> &items)
    : s_(session), stmt_(std::move(stmt))
{
    qint64 rowBytes = 0;
    for (const DescribedItem &item : items) {
        columns_.append(columnFromDescribe(item));
        fetch_.push_back(columnFor(item));
        rowBytes += fetch_.back().width + qint64(sizeof(sb2) + sizeof(ub2));
    }
    row_.resize(columns_.size());
    rowsPerFetch_ = int(std::clamp<qint64>(kFetchBufferLimit / std::max<qint64>(rowBytes, 1), 1, kMaxRowsPerFetch));
    const Api &api = s_.api_;
    for (size_t i = 0; i < fetch_.size(); ++i) {
        Column &c = fetch_[i];
        c.indicators.assign(size_t(rowsPerFetch_), OCI_IND_NULL);
        c.lengths.assign(size_t(rowsPerFetch_), 0);
        void *buffer = nullptr;
        if (c.descriptorType) {
            c.descriptors.assign(size_t(rowsPerFetch_), nullptr);
            for (void *&descriptor : c.descriptors) {
                const sword status =
                    api.OCIDescriptorAlloc(s_.env_.get(), &descriptor, c.descriptorType, 0, nullptr);
                if (!succeeded(status))
                    throw readError(api, s_.env_.get(), OCI_HTYPE_ENV, status, "OCIDescriptorAlloc");
            }
            buffer = c.descriptors.data();
        } else {
            c.data.resize(size_t(rowsPerFetch_) * size_t(c.width));
            buffer = c.data.data();
        }
        OCIDefine *define = nullptr;
        s_.check(api.OCIDefineByPos(stmt_.get(), &define, s_.err_.get(), ub4(i + 1), buffer, c.width, c.dty,
                                    c.indicators.data(), c.lengths.data(), nullptr, OCI_DEFAULT),
                 "OCIDefineByPos");
    }
}

OciRowReader::~OciRowReader()
{
    stmt_.reset();
    for (Column &c : fetch_) {
        for (void *descriptor : c.descriptors) {
            if (descriptor)
                s_.api_.OCIDescriptorFree(descriptor, c.descriptorType);
        }
    }
}

bool OciRowReader::next()
{
    if (position_ + 1 < fetched_) {
        ++position_;
    } else {
        if (ended_)
            return false;
        const sword status =
            s_.api_.OCIStmtFetch2(stmt_.get(), s_.err_.get(), ub4(rowsPerFetch_), OCI_FETCH_NEXT, 0, OCI_DEFAULT);
        if (status == OCI_NO_DATA)
            ended_ = true;
        else
            s_.check(status, "OCIStmtFetch2");
        ub4 rows = 0;
        s_.check(s_.api_.OCIAttrGet(stmt_.get(), OCI_HTYPE_STMT, &rows, nullptr, OCI_ATTR_ROWS_FETCHED,
                                    s_.err_.get()),
                 "OCIAttrGet");
        fetched_ = int(rows);
        position_ = 0;
        if (fetched_ == 0) {
            ended_ = true;
            return false;
        }
    }
    for (size_t i = 0; i < fetch_.size(); ++i)
        row_[int(i)] = decode(fetch_[i], position_);
    return true;
}

OracleValue OciRowReader::decode(Column &c, int slot)
{
    if (c.indicators[size_t(slot)] == OCI_IND_NULL)
        return OracleValue::null();
    const char *data = c.data.data() + size_t(slot) * size_t(c.width);
    const int length = c.lengths[size_t(slot)];
    switch (c.read) {
    case Read::Number: {
        // TO_CHAR writes no zero before the point (".5", "-.5").
        QString text = QString::fromLatin1(data, length);
        if (text.startsWith(QLatin1Char('.')))
            text.prepend(QLatin1Char('0'));
        else if (text.startsWith(QLatin1String("-.")))
            text.insert(1, QLatin1Char('0'));
        return OracleValue::number(text);
    }
    case Read::Text: return OracleValue::text(QString::fromUtf8(data, length));
    case Read::Date: return OracleValue::date(decodeDate(reinterpret_cast<const ub1 *>(data)));
    case Read::Bytes: return OracleValue::bytes(QByteArray(data, length));
    case Read::Blob:
        return OracleValue::bytes(readLob(static_cast<OCILobLocator *>(c.descriptors[size_t(slot)]), false));
    case Read::Clob:
        return OracleValue::text(
            QString::fromUtf8(readLob(static_cast<OCILobLocator *>(c.descriptors[size_t(slot)]), true)));
    case Read::Float: {
        float f = 0;
        std::memcpy(&f, data, sizeof f);
        return OracleValue::binaryNumber(binaryNumberText(f));
    }
    case Read::Double: {
        double d = 0;
        std::memcpy(&d, data, sizeof d);
        return OracleValue::binaryNumber(binaryNumberText(d));
    }
    case Read::Timestamp: return OracleValue::timestamp(readTimestamp(c.descriptors[size_t(slot)]));
    case Read::Interval: return OracleValue::interval(readInterval(c.descriptors[size_t(slot)]));
    }
    return OracleValue::null();
}

OracleTimestamp OciRowReader::readTimestamp(void *descriptor)
{
    const Api &api = s_.api_;
    auto *datetime = static_cast<OCIDateTime *>(descriptor);
    sb2 year = 0;
    ub1 month = 0, day = 0, hour = 0, minute = 0, second = 0;
    ub4 nanosecond = 0;
    s_.check(api.OCIDateTimeGetDate(s_.env_.get(), s_.err_.get(), datetime, &year, &month, &day),
             "OCIDateTimeGetDate");
    s_.check(api.OCIDateTimeGetTime(s_.env_.get(), s_.err_.get(), datetime, &hour, &minute, &second, &nanosecond),
             "OCIDateTimeGetTime");
    OracleTimestamp ts;
    ts.date = {year, month, day, hour, minute, second};
    ts.nanosecond = int(nanosecond);
    return ts;
}

OracleInterval OciRowReader::readInterval(void *descriptor)
{
    sb4 days = 0, hours = 0, minutes = 0, seconds = 0, nanosecond = 0;
    s_.check(s_.api_.OCIIntervalGetDaySecond(s_.env_.get(), s_.err_.get(), &days, &hours, &minutes, &seconds,
                                             &nanosecond, static_cast<const OCIInterval *>(descriptor)),
             "OCIIntervalGetDaySecond");
    // The parts carry the sign of a negative interval.
    OracleInterval iv;
    iv.negative = days < 0 || hours < 0 || minutes < 0 || seconds < 0 || nanosecond < 0;
    auto magnitude = [](sb4 v) { return v < 0 ? int(-qint64(v)) : int(v); };
    iv.days = magnitude(days);
    iv.hours = magnitude(hours);
    iv.minutes = magnitude(minutes);
    iv.seconds = magnitude(seconds);
    iv.nanosecond = magnitude(nanosecond);
    return iv;
}

// The whole value of a LOB, in pieces of at most kLobPiece bytes or
// characters, each asked for at its offset.
QByteArray OciRowReader::readLob(OCILobLocator *locator, bool characters)
{
    const Api &api = s_.api_;
    ub8 length = 0;
    s_.check(api.OCILobGetLength2(s_.svc_.get(), s_.err_.get(), locator, &length), "OCILobGetLength2");
    QByteArray out;
    QByteArray buffer;
    ub8 offset = 1;
    while (offset <= length) {
        const ub8 amount = std::min(kLobPiece, length - offset + 1);
        // A character takes at most 4 bytes of UTF-8.
        const ub8 bufferBytes = characters ? amount * 4 : amount;
        buffer.resize(qsizetype(bufferBytes));
        ub8 bytes = characters ? 0 : amount;
        ub8 chars = characters ? amount : 0;
        s_.check(api.OCILobRead2(s_.svc_.get(), s_.err_.get(), locator, &bytes, &chars, offset, buffer.data(),
                                 bufferBytes, OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT),
                 "OCILobRead2");
        const ub8 advanced = characters ? chars : bytes;
        if (advanced == 0 || bytes > bufferBytes)
            throw DatabaseError(QStringLiteral("OCILobRead2 read %1 of the %2 %3 of a LOB at offset %4")
                                    .arg(advanced)
                                    .arg(length)
                                    .arg(characters ? QStringLiteral("characters") : QStringLiteral("bytes"))
                                    .arg(offset));
        out.append(buffer.constData(), qsizetype(bytes));
        offset += advanced;
    }
    return out;
}

std::unique_ptr<OracleRowReader> OciSession::query(const QString &sql)
{
    try {
        Statement stmt = prepare(sql);
        // A query executed without iterations is run, not fetched.
        check(api_.OCIStmtExecute(svc_.get(), stmt.get(), err_.get(), 0, 0, nullptr, nullptr, OCI_DEFAULT),
              "OCIStmtExecute");
        const QVector<DescribedItem> items = selectList(stmt);
        return std::make_unique<OciRowReader>(*this, std::move(stmt), items);
    } catch (DatabaseError &e) {
        e.addContext(QStringLiteral("while executing \"%1\"").arg(sql));
        throw;
    }
}

} // namespace

std::unique_ptr<OracleSession> connectOciSession(const oci::Api &api, const OracleLogin &login)
{
    return std::make_unique<OciSession>(api, login);
}

} // namespace tavrex
