#include "engine/checksession.h"

#include "connections/embedded/embeddedtarget.h"
#include "connections/embedded/embeddedvalues.h"
#include "engine/core/errors.h"
#include "engine/core/identifiers.h"
#include "engine/core/textrules.h"

#include <vector>

namespace tavrex {

namespace {

const QString kTableQuestion = QStringLiteral("select count(*) cn from all_tables");
const QString kRowCount = QStringLiteral("select count(*) cn from \"");
const QString kDropTable = QStringLiteral("drop table \"");

// The name between the first pair of double quotes after `from`; the
// statements that carry one never hold a double quote inside a name.
QString quotedNameAt(const QString &sql, qsizetype from)
{
    const qsizetype open = sql.indexOf(QLatin1Char('"'), from);
    if (open < 0)
        return QString();
    const qsizetype close = sql.indexOf(QLatin1Char('"'), open + 1);
    return close < 0 ? QString() : sql.mid(open + 1, close - open - 1);
}

// A column of a described table as the target's value rules read it; false
// for a type those rules do not hold (its values never reach a batch: the
// row buffer refuses them first).
bool columnSpecFor(const OracleColumn &c, embedded::ColumnSpec *spec)
{
    using embedded::OraType;
    spec->name = c.name;
    if (!embedded::oraTypeFromName(c.type, &spec->type))
        return false;
    spec->length = c.length;
    spec->nullable = c.nullable;
    if (spec->type == OraType::Number) {
        spec->precision = c.precision;
        spec->scale = c.scale;
        spec->scaled = c.precision > 0 || c.scale != 0;
    }
    if (spec->type == OraType::Timestamp)
        spec->fraction = c.scale;
    if (spec->type == OraType::Interval) {
        spec->dayPrecision = c.precision;
        spec->fraction = c.scale;
    }
    return true;
}

// The bytes a stored value takes in the target: its text in UTF-8, its bytes,
// a binary number's 4 or 8.
std::int64_t storedBytes(const embedded::StoredValue &s)
{
    using Kind = embedded::StoredValue::Kind;
    switch (s.kind) {
    case Kind::Null: return 0;
    case Kind::Text16: return embedded::utf8Length(*s.text16);
    case Kind::Text8: return s.text8->size();
    case Kind::Utf8: return std::int64_t(s.utf8.size());
    case Kind::Blob: return s.blob.size();
    case Kind::Real: return 8;
    }
    return 0;
}

} // namespace

// The run's view of the check: every call goes to the shared CheckTarget.
class CheckSession : public OracleSession {
public:
    explicit CheckSession(CheckTarget &target) : target_(target) {}

    void execute(const QString &sql) override { target_.execute(sql); }
    qint64 queryCount(const QString &sql) override { return target_.queryCount(sql); }
    QVector<OracleColumn> describe(const QString &sql) override { return target_.describe(sql); }
    BatchResult insertBatch(const QString &table, const OracleRowBatch &batch) override
    {
        return target_.judge(table, batch, false);
    }
    BatchResult insertBatchKeepingAccepted(const QString &table, const OracleRowBatch &batch) override
    {
        return target_.judge(table, batch, true);
    }

private:
    CheckTarget &target_;
};

CheckTarget::CheckTarget(std::unique_ptr<OracleSession> real, const QString &scratchPath, const QString &oracleUser)
    : real_(std::move(real)), user_(oracleUser), owner_(asciiUpper(oracleUser))
{
    OracleLogin login;
    login.service = QStringLiteral("embedded:") + scratchPath;
    login.user = oracleUser;
    scratch_ = openEmbeddedSession(scratchPath, login);
}

CheckTarget::~CheckTarget() = default;

std::unique_ptr<OracleSession> CheckTarget::session()
{
    return std::make_unique<CheckSession>(*this);
}

void CheckTarget::setTable(const QString &listedName)
{
    std::lock_guard<std::mutex> lock(mutex_);
    table_ = listedName;
}

std::int64_t CheckTarget::storageJudged(const QString &target) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return storage_.value(target);
}

QVector<CheckedStatement> CheckTarget::statements() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return statements_;
}

std::int64_t CheckTarget::bytesJudged(const QString &target) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return bytes_.value(target);
}

std::int64_t CheckTarget::realRows(const QString &target)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (real_->queryCount(tableExistsStatement(target, user_)) == 0)
        return -1;
    return real_->queryCount(kRowCount + target + QLatin1Char('"'));
}

bool CheckTarget::inScratch(const QString &table)
{
    return scratch_->queryCount(tableExistsStatement(table, user_)) > 0;
}

void CheckTarget::execute(const QString &sql)
{
    std::lock_guard<std::mutex> lock(mutex_);
    CheckedStatement s{table_, sql, QString()};
    try {
        scratch_->execute(sql);
    } catch (const DatabaseError &e) {
        // A table of the real target only: its drop would be accepted there.
        if (sql.startsWith(kDropTable)) {
            const QString name = quotedNameAt(sql, 0);
            if (!dropped_.contains(name) && real_->queryCount(tableExistsStatement(name, user_)) > 0) {
                dropped_.insert(name);
                statements_.push_back(s);
                return;
            }
        }
        s.refusal = e.message();
        statements_.push_back(s);
        throw;
    }
    statements_.push_back(s);
}

qint64 CheckTarget::queryCount(const QString &sql)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (sql.startsWith(kTableQuestion)) {
        // Tables the run would have made, else those of the real target that
        // it would not have dropped.
        const qint64 made = scratch_->queryCount(sql);
        if (made > 0)
            return made;
        for (const QString &name : dropped_)
            if (sql == tableExistsStatement(name, user_))
                return 0;
        return real_->queryCount(sql);
    }
    if (sql.startsWith(kRowCount)) {
        const QString table = quotedNameAt(sql, 0);
        const std::int64_t judged = accepted_.value(table);
        if (inScratch(table) || dropped_.contains(table))
            return judged;
        return real_->queryCount(sql) + judged;
    }
    return real_->queryCount(sql);
}

QVector<OracleColumn> CheckTarget::describe(const QString &sql)
{
    std::lock_guard<std::mutex> lock(mutex_);
    try {
        return scratch_->describe(sql);
    } catch (const DatabaseError &) {
        // A table the run would not make: the real target's, unless the run
        // would have dropped it.
        if (dropped_.contains(quotedNameAt(sql, 0)))
            throw;
    }
    return real_->describe(sql);
}

BatchResult CheckTarget::judge(const QString &table, const OracleRowBatch &batch, bool keepAccepted)
{
    BatchResult result;
    const int columns = batch.columnCount();
    std::vector<embedded::ColumnSpec> specs(static_cast<size_t>(columns));
    std::vector<bool> judged(static_cast<size_t>(columns));
    QStringList qualified;
    for (int c = 0; c < columns; ++c) {
        judged[size_t(c)] = columnSpecFor(batch.columns().at(c), &specs[size_t(c)]);
        qualified << QStringLiteral("\"%1\".\"%2\".\"%3\"").arg(owner_, table, batch.columns().at(c).name);
    }
    embedded::StoredValue stored;
    QString message;
    std::int64_t accepted = 0, bytes = 0;
    for (int r = 0; r < batch.rowCount(); ++r) {
        std::int64_t rowBytes = 0;
        bool refused = false;
        for (int c = 0; c < columns && !refused; ++c) {
            if (!judged[size_t(c)])
                continue;
            if (embedded::convertValue(batch.at(r, c), specs[size_t(c)], qualified.at(c), stored, &message) != 0)
                refused = true;
            else
                rowBytes += storedBytes(stored);
        }
        if (!refused) {
            ++accepted;
            bytes += rowBytes;
            continue;
        }
        if (result.ok) {
            result.ok = false;
            result.rejectedRow = r;
            result.message = message;
        }
        if (!keepAccepted)
            return result;  // the batch is rolled back: nothing of it counts
        result.rejected.push_back({r, message});
    }
    std::lock_guard<std::mutex> lock(mutex_);
    accepted_[table] += accepted;
    bytes_[table] += bytes;
    storage_[table] += bytes + accepted * (3 + columns);
    return result;
}

} // namespace tavrex
