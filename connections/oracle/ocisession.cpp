#include "connections/oracle/ocisession.h"

#include "connections/oracle/ocibatch.h"
#include "connections/oracle/ocihandles.h"
#include "engine/errors.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

namespace tavrex {

namespace {

using namespace oci;

// A run's bind buffers stay below this size (a single row may exceed it).
constexpr qint64 kRunBufferLimit = qint64(16) * 1024 * 1024;

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

// One column's array bind: values at a fixed stride, indicators, lengths.
struct ColumnBuffer {
    std::vector<char> data;
    std::vector<sb2> indicators;
    std::vector<ub4> lengths;
};

class OciSession final : public OracleSession {
public:
    OciSession(const Api &api, const OracleLogin &login);

    void execute(const QString &sql) override;
    qint64 queryCount(const QString &sql) override;
    QVector<OracleColumn> describe(const QString &sql) override;
    BatchResult insertBatch(const QString &table, const OracleRowBatch &batch) override;

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
    QVector<QString> columnTypes(const QString &table, const OracleRowBatch &batch);
    Statement parsedInsert(const QString &sql);
    void bindRun(Statement &stmt, const OracleRowBatch &batch, const InsertRun &run, const QVector<int> &order,
                 const QVector<QString> &types);
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
    OCIEnv *env = nullptr;
    const sword created =
        api_.OCIEnvNlsCreate(&env, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr, AL32UTF8, AL32UTF8);
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
    ub4 count = 0;
    check(api_.OCIAttrGet(stmt.get(), OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, err_.get()),
          "OCIAttrGet");
    QVector<OracleColumn> columns;
    columns.reserve(int(count));
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
        columns.append(columnFromDescribe(item));
    }
    return columns;
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
        describe(QStringLiteral("select * from \"") + table + QStringLiteral("\" where 1=0"));
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

void OciSession::bindRun(Statement &stmt, const OracleRowBatch &batch, const InsertRun &run,
                         const QVector<int> &order, const QVector<QString> &types)
{
    const size_t rows = size_t(run.rowCount);
    if (buffers_.size() < size_t(order.size()))
        buffers_.resize(size_t(order.size()));
    for (int i = 0; i < order.size(); ++i) {
        const int c = order[i];
        const qint64 width = run.widths[c];
        if (width > SB4MAXVAL)
            throw DatabaseError(QStringLiteral("A value of %1 bytes for column \"%2\" is larger than the Oracle "
                                               "client library can bind (2147483647 bytes)")
                                    .arg(width)
                                    .arg(batch.columns()[c].name));
        ColumnBuffer &b = buffers_[size_t(i)];
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
            case OracleValue::Kind::Text: b.lengths[r] = ub4(encodeUtf8(v.textValue(), slot) - slot); break;
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
            }
        }
        OCIBind *bind = nullptr;
        check(api_.OCIBindByPos2(stmt.get(), &bind, err_.get(), ub4(i + 1), b.data.data(), sb8(width),
                                 bindType(run.kinds[c], types[c]), b.indicators.data(), b.lengths.data(), nullptr, 0,
                                 nullptr, OCI_DEFAULT),
              "OCIBindByPos2");
        check(api_.OCIBindArrayOfStruct(bind, err_.get(), ub4(width), ub4(sizeof(sb2)), ub4(sizeof(ub4)), 0),
              "OCIBindArrayOfStruct");
    }
}

BatchResult OciSession::insertBatch(const QString &table, const OracleRowBatch &batch)
{
    if (batch.rowCount() == 0)
        return BatchResult{};
    bool open = false;  // a run has executed: the transaction holds rows
    QString sql;
    try {
        const QVector<QString> types = columnTypes(table, batch);
        const QVector<int> order = bindOrder(types);
        const QVector<InsertRun> runs = planInsertRuns(batch, kRunBufferLimit);
        for (int i = 0; i < runs.size(); ++i) {
            const InsertRun &run = runs[i];
            sql = insertStatement(table, batch.columns(), order, run.kinds);
            Statement stmt = parsedInsert(sql);
            bindRun(stmt, batch, run, order, types);
            const ub4 mode = i + 1 == runs.size() ? OCI_COMMIT_ON_SUCCESS : OCI_DEFAULT;
            const sword status =
                api_.OCIStmtExecute(svc_.get(), stmt.get(), err_.get(), ub4(run.rowCount), 0, nullptr, nullptr, mode);
            open = true;
            if (succeeded(status))
                continue;
            // The message and the row count first: the rollback reuses the
            // error handle. The array stopped at the failing row, so the rows
            // done before it are its position in the run.
            DatabaseError error = readError(api_, err_.get(), OCI_HTYPE_ERROR, status, "OCIStmtExecute");
            ub4 done = 0;
            api_.OCIAttrGet(stmt.get(), OCI_HTYPE_STMT, &done, nullptr, OCI_ATTR_ROW_COUNT, err_.get());
            open = false;
            const bool lost = status == OCI_INVALID_HANDLE || isSessionLost(error.code());
            try {
                rollback();
            } catch (const DatabaseError &) {
                if (!lost)
                    throw;
            }
            if (lost)
                throw error;
            BatchResult result;
            result.ok = false;
            result.rejectedRow = run.firstRow + int(std::min<ub4>(done, ub4(run.rowCount - 1)));
            result.message = error.message();
            return result;
        }
        return BatchResult{};
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

} // namespace

std::unique_ptr<OracleSession> connectOciSession(const oci::Api &api, const OracleLogin &login)
{
    return std::make_unique<OciSession>(api, login);
}

} // namespace tavrex
