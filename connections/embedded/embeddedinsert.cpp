// EmbeddedSession::insertBatch and insertBatchKeepingAccepted: the batch
// inserts of the embedded target. One SQLite transaction per batch; one
// prepared INSERT over every column of the table, kept prepared for the next
// batch of the same shape; values bound directly (UTF-16 text as it is,
// numbers and dates as their stored text, bytes as blobs), no SQL text per
// row. A batch that its preparer converted already (embeddedprepare.h) is
// bound from that form; the others are converted here, row by row.

#include "connections/embedded/embeddeddefaults.h"
#include "connections/embedded/embeddedprepare.h"
#include "connections/embedded/embeddedsessionimpl.h"
#include "connections/embedded/embeddedsql.h"

#include <QSet>

#include <climits>
#include <vector>

namespace tavrex {

using namespace embedded;

std::unique_ptr<BatchPreparer> EmbeddedSession::batchPreparer(const QString &table,
                                                              const QVector<OracleColumn> &columns)
{
    auto prepared = std::make_shared<PreparedTable>();
    prepared->owner = d_->owner;
    if (!d_->catalog().findTable(table, &prepared->table))
        return nullptr;
    const TableInfo &t = prepared->table;
    for (const OracleColumn &column : columns) {
        int found = -1;
        for (int c = 0; c < t.columns.size(); ++c)
            if (t.columns[c].name == column.name)
                found = c;
        if (found < 0)
            return nullptr;  // the insert words that error
        prepared->tableColumn.push_back(found);
        prepared->qualified.append(QStringLiteral("\"%1\".\"%2\".\"%3\"").arg(d_->owner, t.name, column.name));
    }
    return std::make_unique<EmbeddedPreparer>(std::move(prepared));
}

BatchResult EmbeddedSession::insertBatch(const QString &table, const OracleRowBatch &batch)
{
    return insertRows(table, batch, false);
}

BatchResult EmbeddedSession::insertBatchKeepingAccepted(const QString &table, const OracleRowBatch &batch)
{
    return insertRows(table, batch, true);
}

// keepAccepted false: the first rejected row rolls the batch back and ends it.
// keepAccepted true: a rejected row is listed and left out (a failed SQLite
// statement undoes only its own row, as a rejected row of Oracle's array DML
// does), every row is tried, and the accepted ones are committed together.
BatchResult EmbeddedSession::insertRows(const QString &table, const OracleRowBatch &batch, bool keepAccepted)
{
    BatchResult result;
    if (batch.rowCount() == 0)
        return result;  // nothing is sent

    sqlite3 *db = d_->db.get();
    const QString &path = d_->path;
    const Catalog cat = d_->catalog();
    if (d_->checkpointer)
        d_->checkpointer->beforeWrite();
    WriteTransaction tx(db, path);

    // The statement errors (raised by the apply itself, not a rejected row).
    TableInfo t;
    if (!cat.findTable(table, &t))
        throw oraError(942, QStringLiteral("table or view does not exist"));
    const int tableColumns = int(t.columns.size());
    std::vector<int> source(size_t(tableColumns), -1);  // batch column of each table column
    {
        QSet<QString> seen;
        for (int b = 0; b < batch.columnCount(); ++b) {
            const QString &name = batch.columns()[b].name;
            if (name.size() > kMaxIdentifier)
                throw oraError(972, QStringLiteral("identifier is too long"));
            if (seen.contains(name))
                throw oraError(957, QStringLiteral("duplicate column name"));
            seen.insert(name);
            int found = -1;
            for (int c = 0; c < tableColumns; ++c) {
                if (t.columns[c].name == name) {
                    found = c;
                    break;
                }
            }
            if (found < 0)
                throw oraError(904, QStringLiteral("\"%1\": invalid identifier").arg(name));
            source[size_t(found)] = b;
        }
    }
    QString primaryKey;
    for (const ConstraintInfo &c : cat.constraints(t.name)) {
        if (c.type == QLatin1String("P"))
            primaryKey = c.name;
    }

    // Columns the batch leaves out take their DEFAULT or identity, else NULL.
    OmittedColumns omitted(cat, t, source);
    QString sql = QStringLiteral("INSERT INTO ") + sqliteQuote(t.sqliteName) + QStringLiteral(" (");
    QString params;
    for (int c = 0; c < tableColumns; ++c) {
        if (c > 0) {
            sql += QLatin1Char(',');
            params += QLatin1Char(',');
        }
        sql += sqliteQuote(t.sqliteColumns[c]);
        params += QLatin1Char('?');
    }
    sql += QStringLiteral(") VALUES (") + params + QLatin1Char(')');
    const QByteArray sqlUtf8 = sql.toUtf8();
    if (!d_->insert || d_->insertSql != sqlUtf8) {
        d_->insert.reset();
        d_->insertSql.clear();
        d_->insert = SqliteStmt::prepare(db, path, sqlUtf8);
        d_->insertSql = sqlUtf8;
    }
    sqlite3_stmt *stmt = d_->insert.get();
    sqlite3_reset(stmt);

    QStringList qualified;
    for (const ColumnSpec &c : t.columns)
        qualified.append(QStringLiteral("\"%1\".\"%2\".\"%3\"").arg(d_->owner, t.name, c.name));

    // The batch's own form, when its preparer made one for the table as it
    // is now.
    const auto *ready = dynamic_cast<const PreparedBatch *>(batch.prepared());
    if (ready && !ready->fits(d_->owner, t, batch))
        ready = nullptr;

    std::vector<StoredValue> stored(static_cast<size_t>(tableColumns));
    QString message;
    // Returns true when the batch ends here.
    auto reject = [&](int row, QString text) {
        sqlite3_reset(stmt);
        if (result.ok) {
            result.ok = false;
            result.rejectedRow = row;
            result.message = text;
        }
        if (keepAccepted) {
            result.rejected.push_back({row, std::move(text)});
            return false;
        }
        sqlite3_clear_bindings(stmt);
        tx.rollback();
        // The rollback ends the session's transaction, as the OCI adapter's
        // does on a server; a commit gate checks rows of a transaction that
        // stays open.
        if (!d_->commitGate)
            d_->endTransaction();
        return true;
    };

    const int rows = batch.rowCount();
    for (int r = 0; r < rows; ++r) {
        bool refused = false;
        for (int c = 0; c < tableColumns && !refused; ++c) {
            const int b = source[size_t(c)];
            BoundValue v;
            const int refusal = ready && b >= 0
                                    ? ready->value(r, b, &v, &message)
                                    : convertValue(b >= 0 ? batch.at(r, b) : omitted.value(c), t.columns[c],
                                                   qualified[c], stored[size_t(c)], &message);
            if (refusal != 0) {
                if (reject(r, message))
                    return result;
                refused = true;
                break;
            }
            if (!ready || b < 0)
                v = boundValue(stored[size_t(c)]);
            const int pos = c + 1;
            // A value larger than SQLite can hold is refused by its bind,
            // which would leave the parameter NULL: check every bind, so that
            // no value is lost while the batch reports success.
            const qint64 bytes = v.size;
            int bound = SQLITE_OK;
            if (bytes > INT_MAX) {
                bound = SQLITE_TOOBIG;
            } else {
                switch (v.kind) {
                case StoredValue::Kind::Null: bound = sqlite3_bind_null(stmt, pos); break;
                case StoredValue::Kind::Text16:
                    bound = sqlite3_bind_text16(stmt, pos, v.data, int(bytes), SQLITE_STATIC);
                    break;
                case StoredValue::Kind::Text8:
                case StoredValue::Kind::Utf8:
                    bound = sqlite3_bind_text(stmt, pos, static_cast<const char *>(v.data), int(bytes),
                                              SQLITE_STATIC);
                    break;
                case StoredValue::Kind::Real: bound = sqlite3_bind_double(stmt, pos, v.real); break;
                case StoredValue::Kind::Blob: bound = sqlite3_bind_blob(stmt, pos, v.data, int(bytes), SQLITE_STATIC); break;
                }
            }
            if (bound != SQLITE_OK) {
                sqlite3_reset(stmt);
                sqlite3_clear_bindings(stmt);
                throw DatabaseError(QStringLiteral("The value of column %1 in row %2 of the batch (%3 bytes) is larger "
                                                   "than the embedded target \"%4\" can store")
                                        .arg(qualified[c])
                                        .arg(r + 1)
                                        .arg(bytes)
                                        .arg(path));
            }
        }
        if (refused)
            continue;
        const int rc = sqlite3_step(stmt);
        if (rc != SQLITE_DONE) {
            if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY) {
                if (reject(r, oraMessage(1, QStringLiteral("unique constraint (%1.%2) violated")
                                                .arg(d_->owner, primaryKey))))
                    return result;
                continue;
            }
            // Unique, check and foreign keys refuse a row from their trigger
            // with the Oracle message as the error text.
            if (rc == SQLITE_CONSTRAINT_TRIGGER) {
                if (reject(r, QString::fromUtf8(sqlite3_errmsg(db))))
                    return result;
                continue;
            }
            const DatabaseError e = sqliteError(db, path, "insert");
            sqlite3_reset(stmt);
            throw e;
        }
        sqlite3_reset(stmt);
        omitted.rowInserted();
        if (d_->observer)
            d_->observer(r);
    }
    omitted.save();
    sqlite3_clear_bindings(stmt);  // the bound texts belong to the batch
    // The batch's own statements, in its transaction: a failure rolls the
    // whole batch back (the transaction's destructor) and is the insert's.
    for (const QString &sql : batch.statementsBeforeCommit()) {
        const Statement st = parseStatement(sql);
        if (st.kind != Statement::Kind::Update && st.kind != Statement::Kind::Delete)
            throw oraError(900, QStringLiteral("invalid SQL statement"));
        changeRows(st);
    }
    if (d_->commitGate && !d_->commitGate()) {
        tx.rollback();
        return result;
    }
    tx.commit();
    d_->endTransaction();  // a commit ends the transaction and its row locks
    return result;
}

} // namespace tavrex
