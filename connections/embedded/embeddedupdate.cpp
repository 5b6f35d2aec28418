// UPDATE and DELETE of the embedded target: the statements of the record of
// conversions. Each names its rows by columns equal to literals; values are
// converted as an INSERT converts them (convertValue), so the stored forms
// and the ORA errors are the same. Run by execute() in a transaction of their
// own, or inside a batch's transaction (statementsBeforeCommit).

#include "connections/embedded/embeddedsessionimpl.h"
#include "connections/embedded/embeddedsql.h"

#include <climits>
#include <vector>

namespace tavrex {

using namespace embedded;

namespace {

int columnIndex(const TableInfo &t, const QString &name)
{
    for (int c = 0; c < t.columns.size(); ++c)
        if (t.columns[c].name == name)
            return c;
    throw oraError(904, QStringLiteral("\"%1\": invalid identifier").arg(name));
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
        throw oraError(942, QStringLiteral("table or view does not exist"));

    QString sql = st.kind == Statement::Kind::Update ? QStringLiteral("UPDATE ") : QStringLiteral("DELETE FROM ");
    sql += sqliteQuote(t.sqliteName);
    // The values in the order of their parameters, each with its column.
    std::vector<std::pair<const OracleValue *, int>> params;
    if (st.kind == Statement::Kind::Update) {
        sql += QStringLiteral(" SET ");
        for (int i = 0; i < st.assignments.size(); ++i) {
            const int c = columnIndex(t, st.assignments[i].column);
            sql += (i ? QStringLiteral(",") : QString()) + sqliteQuote(t.sqliteColumns[c]) + QStringLiteral("=?");
            params.emplace_back(&st.assignments[i].value, c);
        }
    }
    for (int i = 0; i < st.conditions.size(); ++i) {
        const int c = columnIndex(t, st.conditions[i].column);
        sql += (i ? QStringLiteral(" AND ") : QStringLiteral(" WHERE ")) + sqliteQuote(t.sqliteColumns[c]) +
               QStringLiteral("=?");
        params.emplace_back(&st.conditions[i].value, c);
    }
    SqliteStmt stmt = SqliteStmt::prepare(db, path, sql.toUtf8());
    std::vector<StoredValue> stored(params.size());
    for (size_t p = 0; p < params.size(); ++p) {
        const ColumnSpec &column = t.columns[params[p].second];
        const QString qualified = QStringLiteral("\"%1\".\"%2\".\"%3\"").arg(d_->owner, t.name, column.name);
        QString message;
        const bool condition = p >= params.size() - size_t(st.conditions.size());
        if (params[p].first->isNull()) {
            // SET "A" = NULL is checked against NOT NULL; "A" = NULL in a
            // condition is never true.
            if (!condition && !column.nullable)
                throw DatabaseError(oraMessage(1407, QStringLiteral("cannot update (%1) to NULL").arg(qualified)));
            sqlite3_bind_null(stmt.get(), int(p) + 1);
            continue;
        }
        if (convertValue(*params[p].first, column, qualified, stored[p], &message) != 0)
            throw DatabaseError(message);
        bindStored(db, path, stmt.get(), int(p) + 1, stored[p]);
    }
    const int rc = sqlite3_step(stmt.get());
    if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY)
        throw oraError(1, QStringLiteral("unique constraint violated"));
    if (rc != SQLITE_DONE)
        throw sqliteError(db, path, "update");
}

} // namespace tavrex
