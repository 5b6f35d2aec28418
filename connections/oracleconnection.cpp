#include "connections/oracleconnection.h"

#include "connections/embedded/embeddedtarget.h"
#include "connections/oracle/ociclient.h"
#include "engine/core/errors.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace tavrex {

namespace {
const QString kEmbeddedPrefix = QStringLiteral("embedded:");
}

OracleLogin oracleLoginFromParams(const Params &params)
{
    OracleLogin login;
    login.service = params.value(QStringLiteral("Database"));
    login.user = params.value(QStringLiteral("User_Name"));
    login.password = params.value(QStringLiteral("Password"));
    bool ok = false;
    const int rows = params.value(QStringLiteral("RowsetSize")).toInt(&ok);
    if (ok && rows > 0)
        login.prefetchRows = rows;
    login.osAuthentication =
        params.value(QStringLiteral("OS Authentication")).compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0;
    login.trimChar = params.value(QStringLiteral("Trim Char")).compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0;
    return login;
}

BatchResult OracleSession::insertBatchKeepingAccepted(const QString &table, const OracleRowBatch &batch)
{
    // The rows still to try, by their position in the batch.
    std::vector<int> remaining(size_t(batch.rowCount()));
    for (int i = 0; i < batch.rowCount(); ++i)
        remaining[size_t(i)] = i;
    std::vector<RejectedRow> rejected;
    while (!remaining.empty()) {
        OracleRowBatch attempt(batch.columns());
        attempt.setStatementsBeforeCommit(batch.statementsBeforeCommit());
        for (int row : remaining) {
            const int r = attempt.appendRow();
            for (int c = 0; c < batch.columnCount(); ++c)
                attempt.at(r, c) = batch.at(row, c);
        }
        const BatchResult result = insertBatch(table, attempt);
        if (result.ok)
            break;
        if (result.rejectedRow < 0 || result.rejectedRow >= int(remaining.size()))
            return result;  // a rejection without a row: nothing was kept
        rejected.push_back({remaining[size_t(result.rejectedRow)], result.message});
        remaining.erase(remaining.begin() + result.rejectedRow);
        if (remaining.empty() && !batch.statementsBeforeCommit().isEmpty()) {
            // Every row was rejected: the batch's statements still commit.
            for (const QString &sql : batch.statementsBeforeCommit())
                execute(sql);
            execute(QStringLiteral("commit"));
        }
    }
    std::sort(rejected.begin(), rejected.end(),
              [](const RejectedRow &a, const RejectedRow &b) { return a.row < b.row; });
    BatchResult out;
    if (!rejected.empty()) {
        out.ok = false;
        out.rejectedRow = rejected.front().row;
        out.message = rejected.front().message;
    }
    out.rejected = std::move(rejected);
    return out;
}

std::unique_ptr<OracleRowReader> OracleSession::query(const QString &)
{
    throw DatabaseError(QStringLiteral("This Oracle session cannot read rows back"));
}

std::unique_ptr<OracleSession> openOracleSession(const OracleLogin &login)
{
    if (login.service.startsWith(kEmbeddedPrefix))
        return openEmbeddedSession(login.service.mid(kEmbeddedPrefix.size()), login);
    return openOciSession(login);
}

void OracleConnection::connect()
{
    close();
    const OracleLogin login = oracleLoginFromParams(params_);
    if (!whileWaiting_) {
        session_ = openOracleSession(login);
        return;
    }
    // The session is opened on a thread of its own while this one serves
    // the waits. What the thread leaves is shared, so a connect given up
    // (whileWaiting throws) leaves the thread nothing dangling: the session
    // it may still open is closed with the last reference.
    struct Pending {
        std::mutex mutex;
        std::condition_variable ended;
        bool done = false;
        std::unique_ptr<OracleSession> session;
        std::exception_ptr error;
    };
    auto pending = std::make_shared<Pending>();
    std::thread([pending, login] {
        std::unique_ptr<OracleSession> session;
        std::exception_ptr error;
        try {
            session = openOracleSession(login);
        } catch (...) {
            error = std::current_exception();
        }
        const std::lock_guard<std::mutex> lock(pending->mutex);
        pending->session = std::move(session);
        pending->error = error;
        pending->done = true;
        pending->ended.notify_all();
    }).detach();
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(pending->mutex);
            if (pending->ended.wait_for(lock, std::chrono::milliseconds(20), [&] { return pending->done; }))
                break;
        }
        whileWaiting_();
    }
    const std::lock_guard<std::mutex> lock(pending->mutex);
    if (pending->error)
        std::rethrow_exception(pending->error);
    session_ = std::move(pending->session);
}

OracleSession &OracleConnection::session()
{
    if (!session_)
        throw DatabaseError(QStringLiteral("The Oracle connection is not open"));
    return *session_;
}

} // namespace tavrex
