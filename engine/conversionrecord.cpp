#include "engine/conversionrecord.h"

#include "engine/catalogue.h"
#include "engine/core/errors.h"
#include "engine/core/identifiers.h"

#include <QCoreApplication>
#include <QSysInfo>
#include <QRegularExpression>

#include <algorithm>

namespace tavrex {

namespace {

QString dateLiteral(const QDateTime &when)
{
    if (!when.isValid())
        return QStringLiteral("NULL");
    return QStringLiteral("to_date('%1','YYYY-MM-DD HH24:MI:SS')")
        .arg(when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

QString textLiteral(const QString &text)
{
    // An empty text is NULL in Oracle, and reads back empty.
    return QLatin1Char('\'') + quoteOracleLiteral(text) + QLatin1Char('\'');
}

bool isLockBusy(const DatabaseError &e)
{
    return e.code() == 54 || e.message().startsWith(QLatin1String("ORA-00054"));
}

bool isNameTaken(const DatabaseError &e)
{
    return e.code() == 955 || e.message().startsWith(QLatin1String("ORA-00955"));
}

const char *const kStates[] = {"created", "copying", "copied", "verified", "failed"};

// The columns of TAVREX_CONVERSIONS, in their order.
const char *const kRecordColumns =
    "\"TARGET_TABLE\" varchar2(30) not null, "
    "\"SOURCE_SERVER\" varchar2(300), "
    "\"SOURCE_DATABASE\" varchar2(200), "
    "\"SOURCE_TABLE\" varchar2(200), "
    "\"RUN_ID\" varchar2(200), "
    "\"STATE\" varchar2(10), "
    "\"ACTION\" varchar2(10), "
    "\"ROWS_READ\" number(20), "
    "\"ROWS_WRITTEN\" number(20), "
    "\"KEY_COLUMNS\" varchar2(4000), "
    "\"LAST_KEY\" varchar2(4000), "
    "\"HOST\" varchar2(200), "
    "\"PROCESS_ID\" number(12), "
    "\"CLAIMED\" date, "
    "\"UPDATED\" date";

// The columns of TAVREX_RANGES, in their order.
const char *const kRangeColumns =
    "\"RANGE_ID\" varchar2(100) not null, "
    "\"TARGET_TABLE\" varchar2(30), "
    "\"RANGE_NO\" number(4), "
    "\"RANGE_COUNT\" number(4), "
    "\"FIRST_KEY\" varchar2(100), "
    "\"END_KEY\" varchar2(100), "
    "\"ROWS_BEFORE\" number(20), "
    "\"RUN_ID\" varchar2(200), "
    "\"STATE\" varchar2(10), "
    "\"ROWS_READ\" number(20), "
    "\"LAST_KEY\" varchar2(4000), "
    "\"UPDATED\" date";

// A range's row: its table and its number.
QString rangeId(const QString &target, int number)
{
    return target + QLatin1Char(' ') + QString::number(number);
}

// Key columns as the record keeps them: a CSV-like list, each name quoted.
QString joinColumns(const QStringList &columns)
{
    QStringList quoted;
    for (const QString &c : columns)
        quoted << QLatin1Char('"') + QString(c).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    return quoted.join(QLatin1Char(','));
}

QStringList splitColumns(const QString &text)
{
    QStringList out;
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i] != QLatin1Char('"'))
            return {};
        QString name;
        ++i;
        for (;;) {
            if (i >= text.size())
                return {};
            if (text[i] == QLatin1Char('"')) {
                if (i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                    name += QLatin1Char('"');
                    i += 2;
                    continue;
                }
                ++i;
                break;
            }
            name += text[i++];
        }
        out << name;
        if (i < text.size()) {
            if (text[i] != QLatin1Char(','))
                return {};
            ++i;
        }
    }
    return out;
}

QDateTime dateOf(const OracleValue &v)
{
    if (v.kind() != OracleValue::Kind::Date && v.kind() != OracleValue::Kind::Timestamp)
        return QDateTime();
    const OracleDate &d = v.dateValue();
    return QDateTime(QDate(d.year, d.month, d.day), QTime(d.hour, d.minute, d.second));
}

QString textOf(const OracleValue &v)
{
    return v.isNull() ? QString() : v.textValue();
}

// The rows of a query whose values are asked for by column name; a column
// the table lacks (a record of an earlier version) reads as NULL.
class RowsByName {
public:
    explicit RowsByName(std::unique_ptr<OracleRowReader> reader) : reader_(std::move(reader))
    {
        const QVector<OracleColumn> &columns = reader_->columns();
        for (int i = 0; i < columns.size(); ++i)
            at_.insert(columns[i].name, i);
    }
    bool next() { return reader_->next(); }
    const OracleValue &value(const char *name) const
    {
        static const OracleValue none;
        const int i = at_.value(QLatin1String(name), -1);
        return i < 0 ? none : reader_->value(i);
    }
    QString text(const char *name) const { return textOf(value(name)); }

private:
    std::unique_ptr<OracleRowReader> reader_;
    QHash<QString, int> at_;
};

} // namespace

QString recordStateText(RecordState state)
{
    return QString::fromLatin1(kStates[int(state)]);
}

std::optional<RecordState> recordStateFromText(const QString &text)
{
    for (int i = 0; i < int(std::size(kStates)); ++i)
        if (text == QLatin1String(kStates[i]))
            return RecordState(i);
    return std::nullopt;
}

RunIdentity RunIdentity::current(const QDateTime &started)
{
    RunIdentity r;
    r.host = QSysInfo::machineHostName();
    r.process = QCoreApplication::applicationPid();
    r.started = started;
    r.id = QStringLiteral("%1 on %2 (process %3)")
               .arg(started.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), r.host)
               .arg(r.process);
    return r;
}

ConversionRecord::ConversionRecord(OracleSession &session, QString owner)
    : session_(session), owner_(std::move(owner))
{
}

void ConversionRecord::open()
{
    createTables();
    readAll();
}

void ConversionRecord::openExisting()
{
    entries_.clear();
    if (TableExists(session_, conversionRecordTable(), owner_))
        readAll();
}

void ConversionRecord::createTables()
{
    struct Table {
        QString name;
        QString columns;
        QString key;
    };
    const Table tables[] = {
        {conversionRecordTable(), QString::fromLatin1(kRecordColumns), QStringLiteral("TARGET_TABLE")},
        {claimTable(), QStringLiteral("\"NAME\" varchar2(1000) not null"), QStringLiteral("NAME")},
    };
    for (const Table &t : tables)
        createTable(t.name, t.columns, t.key);
}

void ConversionRecord::createTable(const QString &name, const QString &columns, const QString &key)
{
    if (TableExists(session_, name, owner_))
        return;
    try {
        session_.execute(QStringLiteral("create table ") + quoteOracleName(name) + QStringLiteral(" (") + columns +
                         QLatin1Char(')'));
    } catch (const DatabaseError &e) {
        if (isNameTaken(e))
            return;  // another run made it at the same moment
        throw;
    }
    session_.execute(QStringLiteral("alter table ") + quoteOracleName(name) + QStringLiteral(" add constraint ") +
                     quoteOracleName(name.left(OracleNameLimit - 3) + QStringLiteral("_PK")) +
                     QStringLiteral(" primary key (") + quoteOracleName(key) + QLatin1Char(')'));
}

void ConversionRecord::readAll()
{
    entries_.clear();
    RowsByName rows(session_.query(QStringLiteral("select * from ") + quoteOracleName(conversionRecordTable())));
    while (rows.next()) {
        RecordEntry e;
        e.target = rows.text("TARGET_TABLE");
        e.source.server = rows.text("SOURCE_SERVER");
        e.source.database = rows.text("SOURCE_DATABASE");
        e.source.table = rows.text("SOURCE_TABLE");
        e.run = rows.text("RUN_ID");
        const std::optional<RecordState> state = recordStateFromText(rows.text("STATE"));
        if (e.target.isEmpty() || !state)
            continue;  // not a row this record wrote
        e.state = *state;
        e.created = rows.text("ACTION") != QLatin1String("merged");
        e.rowsRead = rows.text("ROWS_READ").toLongLong();
        e.rowsWritten = rows.text("ROWS_WRITTEN").toLongLong();
        e.keyColumns = splitColumns(rows.text("KEY_COLUMNS"));
        e.lastKey = rows.text("LAST_KEY");
        e.host = rows.text("HOST");
        e.process = rows.text("PROCESS_ID").toLongLong();
        e.claimed = dateOf(rows.value("CLAIMED"));
        entries_.insert(e.target, e);
    }
    readRanges();
}

void ConversionRecord::readRanges()
{
    ranges_.clear();
    // The table of ranges is made by the first copy in ranges.
    if (!TableExists(session_, rangeTable(), owner_))
        return;
    RowsByName rows(session_.query(QStringLiteral("select * from ") + quoteOracleName(rangeTable())));
    while (rows.next()) {
        RangeEntry r;
        r.target = rows.text("TARGET_TABLE");
        r.number = rows.text("RANGE_NO").toInt();
        r.count = rows.text("RANGE_COUNT").toInt();
        r.firstKey = rows.text("FIRST_KEY");
        r.endKey = rows.text("END_KEY");
        r.rowsBefore = rows.text("ROWS_BEFORE").toLongLong();
        r.run = rows.text("RUN_ID");
        const std::optional<RecordState> state = recordStateFromText(rows.text("STATE"));
        r.rowsRead = rows.text("ROWS_READ").toLongLong();
        r.lastKey = rows.text("LAST_KEY");
        if (r.target.isEmpty() || !state || r.number < 1 || r.number > r.count)
            continue;  // not a row this record wrote
        r.state = *state;
        ranges_.insert(rangeId(r.target, r.number), r);
    }
}

std::vector<RangeEntry> ConversionRecord::rangesOf(const QString &target) const
{
    std::vector<RangeEntry> out;
    for (const RangeEntry &r : ranges_)
        if (r.target == target)
            out.push_back(r);
    std::sort(out.begin(), out.end(), [](const RangeEntry &a, const RangeEntry &b) { return a.number < b.number; });
    // Ranges that do not make a whole (a row missing, counts that differ)
    // are no ranges to go on from.
    for (std::size_t i = 0; i < out.size(); ++i)
        if (out[i].number != int(i) + 1 || out[i].count != int(out.size()))
            return {};
    return out;
}

void ConversionRecord::writeRanges(const QString &target, const std::vector<RangeEntry> &ranges)
{
    if (!ranges.empty())
        createTable(rangeTable(), QString::fromLatin1(kRangeColumns), QStringLiteral("RANGE_ID"));
    else if (!TableExists(session_, rangeTable(), owner_))
        return;
    session_.execute(QStringLiteral("delete from ") + quoteOracleName(rangeTable()) +
                     QStringLiteral(" where \"TARGET_TABLE\" = ") + textLiteral(target));
    if (!ranges.empty()) {
        // The rows go in named, then set like any other, in the delete's
        // transaction.
        const QVector<OracleColumn> columns = session_.describe(describeStatement(rangeTable()));
        OracleRowBatch rows(columns);
        QStringList updates;
        for (const RangeEntry &r : ranges) {
            const int row = rows.appendRow();
            for (int c = 0; c < columns.size(); ++c) {
                if (columns[c].name == QLatin1String("RANGE_ID"))
                    rows.at(row, c) = OracleValue::text(rangeId(target, r.number));
                else if (columns[c].name == QLatin1String("TARGET_TABLE"))
                    rows.at(row, c) = OracleValue::text(target);
            }
            updates << QStringLiteral("update ") + quoteOracleName(rangeTable()) +
                           QStringLiteral(" set \"RANGE_NO\" = %1, \"RANGE_COUNT\" = %2, \"FIRST_KEY\" = %3, "
                                          "\"END_KEY\" = %4, \"ROWS_BEFORE\" = %5, \"RUN_ID\" = %6, \"STATE\" = %7, "
                                          "\"ROWS_READ\" = %8, \"LAST_KEY\" = %9, \"UPDATED\" = %10 "
                                          "where \"RANGE_ID\" = %11")
                               .arg(r.number)
                               .arg(r.count)
                               .arg(textLiteral(r.firstKey), textLiteral(r.endKey))
                               .arg(r.rowsBefore)
                               .arg(textLiteral(r.run), textLiteral(recordStateText(r.state)))
                               .arg(r.rowsRead)
                               .arg(textLiteral(r.lastKey), dateLiteral(QDateTime::currentDateTime()),
                                    textLiteral(rangeId(target, r.number)));
        }
        rows.setStatementsBeforeCommit(updates);
        const BatchResult inserted = session_.insertBatch(rangeTable(), rows);
        if (!inserted.ok)
            throw DatabaseError(inserted.message);
    } else {
        commit();
    }
    for (auto i = ranges_.begin(); i != ranges_.end();)
        i = i->target == target ? ranges_.erase(i) : std::next(i);
    for (const RangeEntry &r : ranges)
        ranges_.insert(rangeId(target, r.number), r);
}

void ConversionRecord::setRangeState(const QString &target, int number, RecordState state)
{
    session_.execute(QStringLiteral("update ") + quoteOracleName(rangeTable()) +
                     QStringLiteral(" set \"STATE\" = %1, \"UPDATED\" = %2 where \"RANGE_ID\" = %3")
                         .arg(textLiteral(recordStateText(state)), dateLiteral(QDateTime::currentDateTime()),
                              textLiteral(rangeId(target, number))));
    commit();
    auto found = ranges_.find(rangeId(target, number));
    if (found != ranges_.end())
        found->state = state;
}

QString ConversionRecord::rangeProgressStatement(const QString &target, int number, std::int64_t rowsRead,
                                                 const QString &lastKey) const
{
    return QStringLiteral("update ") + quoteOracleName(rangeTable()) +
           QStringLiteral(" set \"STATE\" = 'copying', \"ROWS_READ\" = %1, \"LAST_KEY\" = %2, \"UPDATED\" = %3 "
                          "where \"RANGE_ID\" = %4")
               .arg(rowsRead)
               .arg(textLiteral(lastKey), dateLiteral(QDateTime::currentDateTime()),
                    textLiteral(rangeId(target, number)));
}

void ConversionRecord::rangeProgressCommitted(const QString &target, int number, std::int64_t rowsRead,
                                              const QString &lastKey)
{
    auto found = ranges_.find(rangeId(target, number));
    if (found == ranges_.end())
        return;
    found->state = RecordState::Copying;
    found->rowsRead = rowsRead;
    found->lastKey = lastKey;
}

const RecordEntry *ConversionRecord::entryOfTarget(const QString &target) const
{
    const auto found = entries_.constFind(target);
    return found == entries_.constEnd() ? nullptr : &found.value();
}

const RecordEntry *ConversionRecord::entryOfSource(const SourceTable &source) const
{
    // Two entries of one MySQL table (a run with other name settings made
    // another table of it): the one a run took last.
    const RecordEntry *latest = nullptr;
    for (const RecordEntry &e : entries_)
        if (e.source == source && (!latest || e.claimed > latest->claimed))
            latest = &e;
    return latest;
}

const RecordEntry *ConversionRecord::reload(const QString &target)
{
    readAll();
    return entryOfTarget(target);
}

void ConversionRecord::commit()
{
    session_.execute(QStringLiteral("commit"));
}

void ConversionRecord::write(const RecordEntry &entry)
{
    const QString assignments =
        QStringLiteral("\"SOURCE_SERVER\" = %1, \"SOURCE_DATABASE\" = %2, \"SOURCE_TABLE\" = %3, \"RUN_ID\" = %4, "
                       "\"STATE\" = %5, \"ACTION\" = %6, \"ROWS_READ\" = %7, \"ROWS_WRITTEN\" = %8, "
                       "\"KEY_COLUMNS\" = %9, \"LAST_KEY\" = %10, \"HOST\" = %11, \"PROCESS_ID\" = %12, "
                       "\"CLAIMED\" = %13, \"UPDATED\" = %14")
            .arg(textLiteral(entry.source.server), textLiteral(entry.source.database), textLiteral(entry.source.table),
                 textLiteral(entry.run), textLiteral(recordStateText(entry.state)),
                 textLiteral(entry.created ? QStringLiteral("created") : QStringLiteral("merged")))
            .arg(entry.rowsRead)
            .arg(entry.rowsWritten)
            .arg(textLiteral(joinColumns(entry.keyColumns)), textLiteral(entry.lastKey), textLiteral(entry.host))
            .arg(entry.process)
            .arg(dateLiteral(entry.claimed), dateLiteral(QDateTime::currentDateTime()));
    if (!entries_.contains(entry.target)) {
        // A new row: inserted empty, then set like any other, in one
        // transaction.
        const QVector<OracleColumn> columns =
            session_.describe(describeStatement(conversionRecordTable()));
        OracleRowBatch row(columns);
        row.appendRow();
        for (int c = 0; c < columns.size(); ++c)
            if (columns[c].name == QLatin1String("TARGET_TABLE"))
                row.at(0, c) = OracleValue::text(entry.target);
        row.setStatementsBeforeCommit({QStringLiteral("update ") + quoteOracleName(conversionRecordTable()) +
                                       QStringLiteral(" set ") + assignments + QStringLiteral(" where \"TARGET_TABLE\" = ") +
                                       textLiteral(entry.target)});
        const BatchResult inserted = session_.insertBatch(conversionRecordTable(), row);
        if (inserted.ok) {
            entries_.insert(entry.target, entry);
            return;
        }
        // Another run wrote the table's row at the same moment: set it.
    }
    session_.execute(QStringLiteral("update ") + quoteOracleName(conversionRecordTable()) + QStringLiteral(" set ") +
                     assignments + QStringLiteral(" where \"TARGET_TABLE\" = ") + textLiteral(entry.target));
    commit();
    entries_.insert(entry.target, entry);
}

void ConversionRecord::setState(const QString &target, RecordState state, std::int64_t rowsWritten)
{
    const QString written =
        rowsWritten < 0 ? QString() : QStringLiteral("\"ROWS_WRITTEN\" = %1, ").arg(rowsWritten);
    session_.execute(QStringLiteral("update ") + quoteOracleName(conversionRecordTable()) +
                     QStringLiteral(" set \"STATE\" = %1, %2\"UPDATED\" = %3 where \"TARGET_TABLE\" = %4")
                         .arg(textLiteral(recordStateText(state)), written, dateLiteral(QDateTime::currentDateTime()),
                              textLiteral(target)));
    commit();
    auto found = entries_.find(target);
    if (found != entries_.end()) {
        found->state = state;
        if (rowsWritten >= 0)
            found->rowsWritten = rowsWritten;
    }
}

QString ConversionRecord::progressStatement(const QString &target, std::int64_t rowsRead,
                                            const QString &lastKey) const
{
    return QStringLiteral("update ") + quoteOracleName(conversionRecordTable()) +
           QStringLiteral(" set \"STATE\" = 'copying', \"ROWS_READ\" = %1, \"LAST_KEY\" = %2, \"UPDATED\" = %3 "
                          "where \"TARGET_TABLE\" = %4")
               .arg(rowsRead)
               .arg(textLiteral(lastKey), dateLiteral(QDateTime::currentDateTime()), textLiteral(target));
}

void ConversionRecord::progressCommitted(const QString &target, std::int64_t rowsRead, const QString &lastKey)
{
    auto found = entries_.find(target);
    if (found == entries_.end())
        return;
    found->state = RecordState::Copying;
    found->rowsRead = rowsRead;
    found->lastKey = lastKey;
}

void ConversionRecord::ensureClaimRow(const QString &name)
{
    const QVector<OracleColumn> columns = session_.describe(describeStatement(claimTable()));
    OracleRowBatch row(columns);
    row.appendRow();
    for (int c = 0; c < columns.size(); ++c)
        if (columns[c].name == QLatin1String("NAME"))
            row.at(0, c) = OracleValue::text(name);
    // ORA-00001: the row is there already, which is all that is needed.
    session_.insertBatch(claimTable(), row);
}

TableClaims::TableClaims(std::unique_ptr<OracleSession> session) : session_(std::move(session)) {}

TableClaims::~TableClaims()
{
    try {
        release();
    } catch (...) {
        // The session's end releases them as well.
    }
}

bool TableClaims::claim(const QStringList &names)
{
    for (const QString &name : names) {
        try {
            auto rows = session_->query(QStringLiteral("select \"NAME\" from ") + quoteOracleName(claimTable()) +
                                        QStringLiteral(" where \"NAME\" = ") + textLiteral(name) +
                                        QStringLiteral(" for update nowait"));
            holding_ = true;
            while (rows->next()) {
            }
        } catch (const DatabaseError &e) {
            if (!isLockBusy(e))
                throw;
            release();
            return false;
        }
    }
    return true;
}

void TableClaims::release()
{
    if (!holding_)
        return;
    holding_ = false;
    session_->execute(QStringLiteral("rollback"));
}

QString sourceClaimName(const SourceTable &source)
{
    return QStringLiteral("MySQL %1/%2/%3").arg(source.server, source.database, source.table);
}

QString targetClaimName(const QString &target)
{
    return QStringLiteral("Oracle ") + target;
}

QString claimedByAnotherRunText(const QString &table, const RecordEntry *holder)
{
    const QString host = holder && !holder->host.isEmpty() ? holder->host : QStringLiteral("unknown host");
    const QString process = holder && holder->process > 0 ? QString::number(holder->process) : QStringLiteral("unknown");
    const QString since = holder && holder->claimed.isValid() ? holder->claimed.toString(QStringLiteral("HH:mm:ss"))
                                                              : QStringLiteral("an unknown time");
    return QStringLiteral("Table %1 is being converted by another run (%2, process %3, since %4)")
        .arg(table, host, process, since);
}

} // namespace tavrex
