#include "engine/conversionrun.h"

#include "connections/oracleconnection.h"
#include "connections/oracleworker.h"
#include "connections/rowcopy.h"
#include "connections/verify.h"
#include "engine/catalogue.h"
#include "engine/core/identifiers.h"
#include "schema/detailedtable.h"
#include "schema/keys.h"
#include "schema/tabledefinition.h"

#include "engine/core/errors.h"
#include "engine/core/textrules.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <atomic>
#include <optional>
#include <stdexcept>
#include <thread>

namespace tavrex {

namespace {

// Clears the stop request when the run ends, however it ends.
class StopDiscard {
public:
    explicit StopDiscard(RunControl &control) : control_(control) {}
    ~StopDiscard() { control_.clearStop(); }

private:
    RunControl &control_;
};

// Stops every worker of a list (a lane, a range's copy: each with its
// control and its thread) and waits for its thread, however the caller
// ends: no thread outlives what it works on.
template <typename Workers>
class StopAndJoin {
public:
    explicit StopAndJoin(Workers &workers) : workers_(workers) {}
    ~StopAndJoin()
    {
        for (auto &w : workers_) {
            w->control.requestStop();
            if (w->thread.joinable())
                w->thread.join();
        }
    }

private:
    Workers &workers_;
};

QString longTimeFormat(const QLocale &locale)
{
    // The locale's long time without its time-zone part.
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    return format.trimmed();
}

} // namespace

QString runTimestamp(const QDateTime &when, const QLocale &locale)
{
    QString text = locale.toString(when.date(), QLocale::ShortFormat);
    if (when.time() != QTime(0, 0, 0))
        text += QLatin1Char(' ') + locale.toString(when.time(), longTimeFormat(locale));
    return text;
}

QString interactiveLogPath(const QString &logFolder, const QDateTime &when)
{
    return logFolder + QStringLiteral("qelt_") + when.toString(QStringLiteral("yyyyMMdd_HHmmss")) +
           QStringLiteral(".log");
}

QString batchLogPath(const QString &settingsFile)
{
    return replaceExtension(settingsFile, QStringLiteral(".log"));
}

bool saveFailedRunRecord(const QString &logPath, const TRunLog &log, RunReport report)
{
    report.outcome = RunResultOutcome::Failed;
    if (!report.ended.isValid())
        report.ended = QDateTime::currentDateTime();
    const QString ledger = ledgerPathForLog(logPath);
    if (QFileInfo(ledger).isFile() || QFileInfo(ledger).isSymLink())
        QFile::remove(ledger);
    bool saved = false;
    try {
        log.SaveToFile(logPath);
        saved = true;
    } catch (const std::exception &) {
    }
    try {
        writeFileReplacing(reportPathForLog(logPath), report.toJson(), true);
    } catch (const std::exception &) {
    }
    return saved;
}

ConversionRun::ConversionRun(DatabaseObjects &db, const TConversionSettings &settings, TRunLog &log,
                             RunControl &control)
    : db_(db), settings_(settings), log_(log), control_(control), clock_([] { return QDateTime::currentDateTime(); })
{
}

ConversionRun::~ConversionRun() = default;

QString rowCountStatement(const QString &targetName)
{
    return QStringLiteral("select count(*) cn from ") + quoteOracleName(targetName);
}

QStringList primaryKeyColumns(MySqlConnection &catalogue, const QString &listedName)
{
    // "show index from" lists the key's columns in their order (Seq_in_index).
    QStringList columns;
    auto index = catalogue.listing(indexListingStatement(listedName));
    while (index->next())
        if (index->text(QStringLiteral("Key_name")) == QLatin1String("PRIMARY"))
            columns << index->text(QStringLiteral("Column_name"));
    return columns;
}

QStringList resumeKeyColumns(MySqlConnection &catalogue, const QString &database, const QString &listedName,
                             QString *why)
{
    // The column types whose order the server and the record's key agree on.
    static const QSet<QString> orderable = {
        QStringLiteral("tinyint"), QStringLiteral("smallint"), QStringLiteral("mediumint"), QStringLiteral("int"),
        QStringLiteral("bigint"),  QStringLiteral("decimal"),  QStringLiteral("date"),      QStringLiteral("datetime"),
        QStringLiteral("timestamp"), QStringLiteral("time"),   QStringLiteral("year"),      QStringLiteral("char"),
        QStringLiteral("varchar"), QStringLiteral("binary"),   QStringLiteral("varbinary"),
    };
    QHash<QString, QString> types;
    auto columns = catalogue.listing(
        QStringLiteral("select column_name, data_type from information_schema.columns where table_schema = %1 and "
                       "table_name = %2")
            .arg(mysqlTextLiteral(database), mysqlTextLiteral(listedName)));
    while (columns->next())
        types.insert(columns->text(0), columns->text(1).toLower());

    // The keys in the order the server lists them (the primary key first),
    // each usable or not.
    QStringList order;
    QHash<QString, QStringList> keyColumns;
    QSet<QString> unusable;
    auto index = catalogue.listing(indexListingStatement(listedName));
    while (index->next()) {
        const QString key = index->text(QStringLiteral("Key_name"));
        if (!keyColumns.contains(key))
            order << key;
        const QString column = index->text(QStringLiteral("Column_name"));
        keyColumns[key] << column;
        if (index->text(QStringLiteral("Non_unique")) != QLatin1String("0") ||
            !index->text(QStringLiteral("Null")).isEmpty() || !index->isNull(index->fieldIndex(QStringLiteral("Sub_part"))) ||
            !orderable.contains(types.value(column)))
            unusable.insert(key);
    }
    for (const QString &key : order)
        if (!unusable.contains(key))
            return keyColumns.value(key);
    // (A unique key over a float, a text with a prefix or a nullable column
    // gives no order that a condition can continue.)
    if (why)
        *why = QStringLiteral("it has no primary key or NOT NULL unique key to continue from");
    return {};
}

QString ConversionRun::logPath(const QDateTime &when) const
{
    return batchSettingsFile_.isEmpty()
               ? interactiveLogPath(logFolder_.isEmpty() ? GetLogFolder() : logFolder_, when)
               : batchLogPath(batchSettingsFile_);
}

RunOutcome ConversionRun::run()
{
    savedLogPath_.clear();
    ledgerErrorReported_ = false;
    report_ = RunReport();
    writtenTargets_.clear();
    objectNames_ = ObjectNames();
    StopDiscard discard(control_);

    report_.started = clock_();
    log_.Append(QStringLiteral("Start time:") + runTimestamp(report_.started, locale_));
    if (hooks_.showLogPage)
        hooks_.showLogPage();
    const bool overwrite = settings_.ExistingTables == TExistingTablePolicy::Overwrite;
    const bool skip = settings_.ExistingTables == TExistingTablePolicy::Skip;
    const bool buildIndexes = !settings_.SkipIndexes;
    if (hooks_.enterRunning)
        hooks_.enterRunning();
    control_.clearStop();

    // The ledger is written as the copy goes, beside the log; an earlier
    // replay's ledger goes, and the reload files it named stay until their
    // tables are copied again. An interactive log is named at its save, and
    // the ledger is moved to match it then.
    const QString startLog = logPath(report_.started);
    ledger_.setPaths(ledgerPathForLog(startLog), reloadFolderForLog(startLog));

    const QStringList &chosen = settings_.SelectedTables;
    const bool atOnce = settings_.ParallelTables > 1 && chosen.size() > 1;
    lanes_.clear();
    try {
        OpenDataConnection(db_, settings_);
        // The lanes of the tables converted at once open their connections
        // before the first table, like the data connection.
        if (atOnce)
            openLanes(lanes_, std::min(settings_.ParallelTables, int(chosen.size())));
    } catch (const std::exception &e) {
        // A replay that cannot reach its tables still leaves its record.
        report_.outcome = RunResultOutcome::Failed;
        report_.ended = clock_();
        if (!batchSettingsFile_.isEmpty()) {
            log_.Append(errorMessage(e));
            report_.errors << errorMessage(e);
            if (saveFailedRunRecord(startLog, log_, report_))
                savedLogPath_ = startLog;
        }
        throw;
    }

    for (const QString &note : db_.mysqlsjbconnection.notes())
        log_.Append(note);
    openRecord();
    for (const QString &name : missingTables_) {
        TableResult missing;
        missing.source = name;
        missing.action = TableAction::Failed;
        missing.errors << QStringLiteral("Table %1 named in %2 is not in database %3")
                              .arg(name, QFileInfo(batchSettingsFile_).fileName(), settings_.SourceDatabase);
        log_.Append(missing.errors.first());
        log_.Append(QString());
        report_.tables.push_back(missing);
    }

    const QStringList tables = settings_.SelectedTables;
    if (!batchSettingsFile_.isEmpty() && tables.isEmpty() && missingTables_.isEmpty()) {
        // A replay that converts nothing is no success.
        const QString error = QStringLiteral("The settings file %1 selects no table: nothing was converted")
                                  .arg(QFileInfo(batchSettingsFile_).fileName());
        log_.Append(error);
        log_.Append(QString());
        report_.errors << error;
    }
    if (atOnce) {
        if (!convertAtOnce(tables, overwrite, skip, buildIndexes))
            return stopRun();
    } else {
        TableWork work{db_, log_, control_, oracleinsertdata_, claims_.get(), {}, {}};
        if (hooks_.progress)
            work.rows = [this](std::int64_t rows) {
                progress_.rowsCopied = rows;
                hooks_.progress(progress_);
            };
        for (const QString &entry : tables) {
            if (hooks_.progress) {
                progress_ = RunProgress();
                progress_.tablesDone = int(report_.tables.size() - missingTables_.size());
                progress_.tableCount = int(tables.size());
                progress_.table = entry;
                progress_.rowsEstimated = estimatedRows(db_.mysqlconnect, entry);
                hooks_.progress(progress_);
            }
            control_.pump();
            if (control_.StopRequested())
                return stopRun();
            TableResult result;
            runTable(work, entry, overwrite, skip, buildIndexes, result);
            noteLedgerError(result);
            report_.tables.push_back(result);
            // A stop taken during the table ends the run here, whichever step
            // it came in.
            if (control_.StopRequested())
                return stopRun();
        }
    }
    if (settings_.KeepDetails) {
        addForeignKeys();
        if (control_.StopRequested())
            return stopRun();
    }

    if (hooks_.progress) {
        progress_ = RunProgress();
        progress_.tablesDone = progress_.tableCount = int(tables.size());
        hooks_.progress(progress_);
    }
    finishRun(report_.finishedOutcome(), true);
    if (!batchSettingsFile_.isEmpty() && hooks_.closeMainWindow)
        hooks_.closeMainWindow();
    log_.Append(captions_.Label32);
    return RunOutcome::Completed;
}

void ConversionRun::runTable(TableWork &w, const QString &entry, bool overwrite, bool skip, bool buildIndexes,
                             TableResult &result)
{
    result.source = entry;
    QElapsedTimer timer;
    timer.start();
    try {
        convertTable(w, entry, overwrite, skip, buildIndexes, result);
    } catch (const std::exception &e) {
        // The table's own error: the run goes on with the next table.
        const QString message = errorMessage(e);
        w.log.Append(message);
        w.log.Append(QString());
        result.errors << message;
        if (result.action == TableAction::Undecided || result.action == TableAction::Created)
            result.action = TableAction::Failed;
    }
    if (result.action == TableAction::Undecided)
        result.action = TableAction::Failed;
    result.seconds = double(timer.nsecsElapsed()) / 1e9;
}

void ConversionRun::noteLedgerError(TableResult &result)
{
    const QString error = ledger_.errorText();
    if (!error.isEmpty() && !ledgerErrorReported_) {
        ledgerErrorReported_ = true;
        if (!result.errors.contains(error)) {
            log_.Append(error);
            result.errors << error;
        }
    }
}

// A lane of the tables converted at once: connections, log, stop request
// and row buffer of its own, and the thread that converts its table. The
// window's thread starts a table on a free lane and reads what the lane
// wrote once its thread has ended.
struct ConversionRun::Lane {
    DatabaseObjects db;
    TRunLog log;            // the table's lines, written into the run's log when it ends
    RunControl control;     // the run's stop request passed on
    RowBuffer buffer;
    std::unique_ptr<TableClaims> claims;
    std::thread thread;
    int position = -1;      // the table's place in the chosen order; -1: the lane is free
    std::int64_t estimated = -1;
    std::atomic<std::int64_t> rows{0};
    std::atomic<bool> done{false};
    TableResult result;
};

void ConversionRun::openLanes(std::vector<std::unique_ptr<Lane>> &lanes, int count)
{
    for (int i = 0; i < count; ++i) {
        auto lane = std::make_unique<Lane>();
        lane->db.mysqlconnect.params() = db_.mysqlconnect.params();
        lane->db.mysqlconnect.connect();
        lane->db.mysqlsjbconnection.params() = db_.mysqlsjbconnection.params();
        lane->db.mysqlsjbconnection.connect();
        lane->db.oracleconn.params() = db_.oracleconn.params();
        lane->db.oracleconn.connect();
        lane->db.oracledata.params() = db_.oracledata.params();
        lane->db.oracledata.connect();
        lanes.push_back(std::move(lane));
    }
}

bool ConversionRun::convertAtOnce(const QStringList &tables, bool overwrite, bool skip, bool buildIndexes)
{
    std::vector<std::unique_ptr<Lane>> lanes = std::move(lanes_);
    lanes_.clear();
    {
        const std::lock_guard<std::mutex> lock(turnMutex_);
        setupTurn_ = 0;
    }
    std::mutex doneMutex;
    std::condition_variable doneChanged;
    // However this ends, every lane's thread has ended before its lane goes.
    const StopAndJoin<std::vector<std::unique_ptr<Lane>>> join(lanes);

    std::vector<std::optional<TableResult>> results(std::size_t(tables.size()));
    int next = 0;
    int blocksWritten = 0;
    QString lastBlock;
    auto report = [&](const QString &block) {
        if (!hooks_.progress)
            return;
        RunProgress p;
        p.tablesDone = blocksWritten;
        p.tableCount = int(tables.size());
        p.logBlock = !block.isEmpty();
        bool estimated = false;
        p.rowsEstimated = 0;
        for (const auto &lane : lanes) {
            if (lane->position < 0 || lane->done.load())
                continue;
            TableProgress t;
            t.table = tables.at(lane->position);
            t.rowsCopied = lane->rows.load();
            t.rowsEstimated = lane->estimated;
            p.rowsCopied += t.rowsCopied;
            if (t.rowsEstimated >= 0) {
                estimated = true;
                p.rowsEstimated += t.rowsEstimated;
            }
            p.running.push_back(t);
        }
        if (!estimated)
            p.rowsEstimated = -1;
        if (!block.isEmpty())
            lastBlock = block;
        p.table = !lastBlock.isEmpty() ? lastBlock : p.running.empty() ? QString() : p.running.front().table;
        if (p.table.isEmpty())
            return;
        hooks_.progress(p);
    };

    for (;;) {
        // A free lane takes the next table, unless a stop was requested.
        for (auto &lane : lanes) {
            if (control_.StopRequested() || next >= tables.size())
                break;
            if (lane->position >= 0)
                continue;
            Lane *l = lane.get();
            const int position = next++;
            const QString entry = tables.at(position);
            l->position = position;
            l->estimated = hooks_.progress ? estimatedRows(db_.mysqlconnect, entry) : -1;
            l->rows = 0;
            l->done = false;
            l->result = TableResult();
            l->log.Clear();
            l->control.clearStop();
            l->thread = std::thread([this, l, position, entry, overwrite, skip, buildIndexes, &doneMutex,
                                     &doneChanged] {
                bool passed = false;
                auto passTurn = [this, &passed, position] {
                    if (passed)
                        return;
                    passed = true;
                    {
                        const std::lock_guard<std::mutex> lock(turnMutex_);
                        setupTurn_ = std::max(setupTurn_, position + 1);
                    }
                    turnChanged_.notify_all();
                };
                {
                    std::unique_lock<std::mutex> lock(turnMutex_);
                    turnChanged_.wait(lock, [this, position] { return setupTurn_ >= position; });
                }
                TableWork w{l->db, l->log, l->control, l->buffer, nullptr,
                            [l](std::int64_t rows) { l->rows.store(rows); }, passTurn};
                try {
                    // The claims of the lane take a session of its own.
                    if (record_ && keepRecord_ && !l->claims)
                        l->claims = std::make_unique<TableClaims>(
                            openOracleSession(oracleLoginFromParams(db_.oracleconn.params())));
                    w.claims = l->claims.get();
                    runTable(w, entry, overwrite, skip, buildIndexes, l->result);
                } catch (const std::exception &e) {
                    const QString message = errorMessage(e);
                    l->log.Append(message);
                    l->log.Append(QString());
                    l->result.source = entry;
                    l->result.errors << message;
                    l->result.action = TableAction::Failed;
                }
                passTurn();
                {
                    const std::lock_guard<std::mutex> lock(doneMutex);
                    l->done = true;
                }
                doneChanged.notify_all();
            });
            report(QString());
        }
        bool busy = false;
        for (const auto &lane : lanes)
            busy = busy || lane->position >= 0;
        if (!busy)
            break;
        {
            std::unique_lock<std::mutex> lock(doneMutex);
            doneChanged.wait_for(lock, OracleWorker::kWaitSlice, [&lanes] {
                for (const auto &lane : lanes)
                    if (lane->position >= 0 && lane->done.load())
                        return true;
                return false;
            });
        }
        // Each table that ended writes its lines into the log, together.
        for (auto &lane : lanes) {
            if (lane->position < 0 || !lane->done.load())
                continue;
            lane->thread.join();
            report(tables.at(lane->position));
            for (const QString &line : lane->log.lines())
                log_.Append(line);
            noteLedgerError(lane->result);
            results[std::size_t(lane->position)] = std::move(lane->result);
            ++blocksWritten;
            lane->position = -1;
        }
        report(QString());
        control_.pump();
        if (control_.StopRequested())
            for (auto &lane : lanes)
                lane->control.requestStop();
    }
    // The report lists the tables in the chosen order.
    for (std::optional<TableResult> &result : results)
        if (result)
            report_.tables.push_back(std::move(*result));
    return !control_.StopRequested();
}

RunOutcome ConversionRun::stopRun()
{
    // A replay ended by a signal saves its record; the window's Stop saves
    // nothing.
    if (control_.saveWhenStopped())
        finishRun(RunResultOutcome::Stopped, true);
    report_.outcome = RunResultOutcome::Stopped;
    if (!report_.ended.isValid())
        report_.ended = clock_();
    return RunOutcome::Stopped;
}

void ConversionRun::addForeignKeys()
{
    // "Keep column details": the foreign keys of every table this run
    // created, once every selected table has its rows, so the load order
    // does not matter. A key's error goes to its child table's result.
    QHash<QString, QString> runTargets;  // MySQL table as listed -> Oracle table
    for (const TableResult &t : report_.tables)
        if (!t.target.isEmpty())
            runTargets.insert(t.source, t.target);
    for (TableResult &t : report_.tables) {
        if (t.action != TableAction::Created)
            continue;
        if (control_.StopRequested())
            return;
        t.errors << CreateForeignKeys(db_.mysqlconnect, db_.oracledata.session(), settings_.SourceDatabase, t.source,
                                      t.target, runTargets, settings_.UppercaseNames, objectNames_, log_, &control_)
                        .Errors;
    }
}

void ConversionRun::finishRun(RunResultOutcome outcome, bool closingLines)
{
    report_.outcome = outcome;
    const QDateTime ended = clock_();
    report_.ended = ended;
    const QString path = logPath(ended);
    if (ledger_.records() > 0) {
        ledger_.moveTo(ledgerPathForLog(path), reloadFolderForLog(path));
        report_.ledgerFileName = QFileInfo(ledgerPathForLog(path)).fileName();
    }
    ledger_.close();
    if (!ledger_.errorText().isEmpty() && !ledgerErrorReported_) {
        ledgerErrorReported_ = true;
        log_.Append(ledger_.errorText());
        report_.errors << ledger_.errorText();
        if (outcome == RunResultOutcome::Completed)
            report_.outcome = outcome = RunResultOutcome::CompletedWithErrors;
    }
    for (const QString &line : report_.summaryLines())
        log_.Append(line);
    if (outcome == RunResultOutcome::Stopped) {
        log_.Append(operationAbortedText());
    } else if (closingLines) {
        log_.Append(captions_.Label29);
        log_.Append(outcome == RunResultOutcome::Completed ? captions_.Label30 : captions_.completedWithErrors);
    }
    log_.Append(QStringLiteral("The end time:") + runTimestamp(ended, locale_));
    try {
        log_.SaveToFile(path);
        savedLogPath_ = path;
        writeFileReplacing(reportPathForLog(path), report_.toJson(), true);
    } catch (const std::exception &e) {
        // The report says what happened, where it can still be written.
        report_.outcome = RunResultOutcome::Failed;
        report_.errors << errorMessage(e);
        try {
            writeFileReplacing(reportPathForLog(path), report_.toJson(), true);
        } catch (const std::exception &) {
        }
        throw;
    }
}

std::int64_t ConversionRun::estimatedRows(MySqlConnection &catalogue, const QString &entry)
{
    // An estimate of the server's (information_schema.tables.table_rows):
    // enough for a progress bar, never for a count.
    try {
        auto result = catalogue.listing(
            QStringLiteral("select table_rows from information_schema.tables where table_schema = %1 and "
                           "table_name = %2")
                .arg(mysqlTextLiteral(settings_.SourceDatabase), mysqlTextLiteral(entry)));
        if (result->next() && !result->isNull(0))
            return result->text(0).toLongLong();
    } catch (const std::exception &) {
    }
    return -1;
}

void ConversionRun::openRecord()
{
    record_.reset();
    claims_.reset();
    interruptedRuns_.clear();
    runIdentity_ = RunIdentity::current(report_.started);
    if (keepRecord_) {
        try {
            auto record = std::make_unique<ConversionRecord>(db_.oracleconn.session(), settings_.OracleUser);
            record->open();
            // The claims take a session of their own: its locks last as long
            // as this run writes a table, whatever the other sessions commit.
            auto claims =
                std::make_unique<TableClaims>(openOracleSession(oracleLoginFromParams(db_.oracleconn.params())));
            record_ = std::move(record);
            claims_ = std::move(claims);
        } catch (const std::exception &e) {
            // A target where the record cannot be kept (a user without the
            // right to create tables) still converts, without memory.
            const QString line =
                QStringLiteral("The record of conversions cannot be kept in the target: %1").arg(errorMessage(e));
            log_.Append(line);
            log_.Append(QString());
            if (settings_.Resume)
                report_.errors << line;
            return;
        }
    } else if (readRecordFrom_) {
        // Read only (the check): the record as it is, to decide as a run
        // would; none is a first run.
        try {
            auto record = std::make_unique<ConversionRecord>(*readRecordFrom_, settings_.OracleUser);
            record->openExisting();
            record_ = std::move(record);
        } catch (const std::exception &) {
            return;
        }
    } else {
        return;
    }
    // The runs that left one of this run's tables unfinished (with Verify
    // on, a table copied but not verified is unfinished too).
    for (const QString &entry : settings_.SelectedTables) {
        const RecordEntry *e = record_->entryOfSource(sourceOf(entry));
        if (e && (e->state == RecordState::Created || e->state == RecordState::Copying ||
                  e->state == RecordState::Failed || (e->state == RecordState::Copied && settings_.Verify)))
            interruptedRuns_.insert(e->run);
    }
}

SourceTable ConversionRun::sourceOf(const QString &entry) const
{
    SourceTable source;
    source.server = settings_.AccessMode == 0 ? QStringLiteral("localhost")
                                              : settings_.Host + QLatin1Char(':') + settings_.Port;
    source.database = settings_.SourceDatabase;
    source.table = entry;
    return source;
}

void ConversionRun::markTable(TableWork &w, const QString &target, RecordState state, TableResult &result,
                              std::int64_t rowsWritten)
{
    if (!record_ || !keepRecord_)
        return;
    try {
        const std::lock_guard<std::recursive_mutex> lock(recordMutex_);
        record_->setState(target, state, rowsWritten);
    } catch (const DatabaseError &e) {
        const QString line = QStringLiteral("The record of conversions cannot be updated for table %1: %2")
                                 .arg(target, e.message());
        w.log.Append(line);
        result.errors << line;
    }
}

QString ConversionRun::targetNameFor(TableWork &w, const QString &entry, const QString &sourceName,
                                     const RecordEntry *earlier)
{
    OracleSession &oracle = w.db.oracleconn.session();
    // The table an earlier run made of this MySQL table keeps serving it,
    // whatever name shortening or numbering gave it then; any other table
    // takes a name of its own.
    QString shortened;
    if (earlier) {
        const QString &t = earlier->target;
        const QString stem = sourceName.left(OracleNameLimit - 4);
        bool numbered = t.size() == stem.size() + 4 && t.startsWith(stem);
        for (qsizetype i = stem.size(); numbered && i < t.size(); ++i)
            numbered = t[i].isDigit();
        if (t == sourceName || numbered)
            shortened = t;
    }
    if (!shortened.isEmpty() && shortened != sourceName && !writtenTargets_.contains(shortened))
        w.log.Append(QStringLiteral("Table %1 is converted into %2, which the run of %3 made of it")
                        .arg(entry, shortened, earlier->run));
    if (shortened.isEmpty())
        shortened = ShortenTableName(oracle, sourceName, settings_.OracleUser);
    const auto inRun = writtenTargets_.constFind(shortened);
    if (inRun == writtenTargets_.constEnd())
        return shortened;
    // Another table of this run is already there: the first numbered name
    // free in Oracle and in this run (the name itself is taken).
    const QString cut = cutName(sourceName);
    const QString candidate = firstFreeName(cut, [&](const QString &name) {
        return name == cut || writtenTargets_.contains(name) || TableExists(oracle, name, settings_.OracleUser);
    });
    w.log.Append(QStringLiteral("Table %1 is converted into %2: %3 holds table %4 of this run")
                    .arg(entry, candidate, shortened, inRun.value()));
    return candidate;
}

void ConversionRun::convertTable(TableWork &w, const QString &entry, bool overwrite, bool skip, bool buildIndexes,
                                 TableResult &result)
{
    const QString sourceName = ShapeName(entry, settings_.UppercaseNames);
    // A name Oracle cannot hold fails this table alone, before anything is sent.
    try {
        checkTableName(sourceName);
    } catch (const IdentifierError &e) {
        w.log.Append(e.message());
        w.log.Append(QString());
        result.errors << e.message();
        result.action = TableAction::Failed;
        return;
    }
    OracleSession &oracle = w.db.oracleconn.session();
    const SourceTable source = sourceOf(entry);
    std::optional<RecordEntry> earlier;
    if (record_) {
        const std::lock_guard<std::recursive_mutex> lock(recordMutex_);
        if (const RecordEntry *e = record_->entryOfSource(source))
            earlier = *e;
    }
    const QString targetName = targetNameFor(w, entry, sourceName, earlier ? &*earlier : nullptr);
    result.target = targetName;

    // One run per table: the MySQL table and the Oracle table are claimed
    // before anything is done to the target, until the table is done.
    struct Release {
        TableClaims *claims;
        ~Release()
        {
            if (claims) {
                try {
                    claims->release();
                } catch (const std::exception &) {
                    // the session's end releases them
                }
            }
        }
    } release{w.claims};
    if (w.claims) {
        const QStringList names{sourceClaimName(source), targetClaimName(targetName)};
        {
            const std::lock_guard<std::recursive_mutex> lock(recordMutex_);
            for (const QString &name : names)
                record_->ensureClaimRow(name);
        }
        if (!w.claims->claim(names)) {
            const std::lock_guard<std::recursive_mutex> lock(recordMutex_);
            const QString message = claimedByAnotherRunText(targetName, record_->reload(targetName));
            w.log.Append(message);
            w.log.Append(QString());
            result.errors << message;
            result.action = TableAction::Failed;
            return;
        }
    }

    const bool exists = TableExists(oracle, targetName, settings_.OracleUser);
    // What an interrupted run left of this table, when this run resumes it.
    enum class Resume { None, SkipDone, Continue, Restart };
    Resume resume = Resume::None;
    QString why;
    QStringList orderKey;
    QString afterCondition;  // a continued copy's MySQL condition
    if (settings_.Resume && !settings_.DefinitionsOnly)
        orderKey = resumeKeyColumns(w.db.mysqlconnect, settings_.SourceDatabase, entry, &why);
    if (settings_.Resume && earlier && earlier->target == targetName && exists &&
        interruptedRuns_.contains(earlier->run) && !settings_.DefinitionsOnly) {
        switch (earlier->state) {
        case RecordState::Copied:
        case RecordState::Verified:
            resume = earlier->state == RecordState::Copied && settings_.Verify ? Resume::Continue : Resume::SkipDone;
            break;
        case RecordState::Created:
            // Nothing of it was committed: made again, or merged from the start.
            resume = earlier->created ? Resume::Restart : Resume::None;
            if (earlier->created)
                why = QStringLiteral("the run of %1 stopped before copying it").arg(earlier->run);
            break;
        case RecordState::Copying:
        case RecordState::Failed:
            if (earlier->rowsRead > 0 && !earlier->keyColumns.isEmpty()) {
                if (const auto key = decodeKey(earlier->lastKey))
                    afterCondition =
                        keyAfterCondition(earlier->keyColumns, *key, w.db.mysqlsjbconnection.characterSet());
            }
            if (!earlier->keyColumns.isEmpty() && earlier->keyColumns == orderKey &&
                (earlier->rowsRead == 0 || !afterCondition.isEmpty())) {
                resume = Resume::Continue;
            } else if (earlier->created) {
                resume = Resume::Restart;
                if (earlier->keyColumns.isEmpty() && !orderKey.isEmpty())
                    why = QStringLiteral("the run of %1 read it without key order").arg(earlier->run);
                else if (!earlier->keyColumns.isEmpty())
                    why = QStringLiteral("its key has changed since the run of %1").arg(earlier->run);
            } else {
                const QString message =
                    QStringLiteral("Table %1 cannot be continued: the run of %2 appended rows to it without key order, and "
                                   "they cannot be told from the rows it held before")
                        .arg(targetName, earlier->run);
                w.log.Append(message);
                w.log.Append(QString());
                result.errors << message;
                result.action = TableAction::Failed;
                return;
            }
            break;
        }
    }
    if (resume == Resume::SkipDone) {
        w.log.Append(QStringLiteral("Table %1 was converted by the run of %2: skipped").arg(targetName, earlier->run));
        w.log.Append(QString());
        result.action = TableAction::Skipped;
        return;
    }
    if (resume == Resume::Restart) {
        w.log.Append(QStringLiteral("Table %1 is copied again from its start: %2").arg(targetName, why));
        overwrite = true;
        skip = false;
    }
    const bool continued = resume == Resume::Continue;
    // Without resuming, a table an interrupted run left unfinished is said to
    // be so: skipped, it stays incomplete (an error of this run); merged
    // into, it takes every row again.
    const bool unfinished = resume == Resume::None && earlier && earlier->target == targetName && exists &&
                            !overwrite && interruptedRuns_.contains(earlier->run) &&
                            earlier->state != RecordState::Copied && earlier->state != RecordState::Verified;
    if (unfinished) {
        const QString line =
            QStringLiteral("Table %1 holds the unfinished copy of the run of %2 (%3 rows read): %4")
                .arg(targetName, earlier->run)
                .arg(earlier->rowsRead)
                .arg(skip ? QStringLiteral("it is skipped and stays incomplete")
                          : QStringLiteral("every row is appended again"));
        w.log.Append(line);
        if (skip)
            result.errors << line;
    }
    // The key ranges the interrupted run copied the table in, when it did.
    std::vector<RangeEntry> ranges;
    if (continued && record_) {
        const std::lock_guard<std::recursive_mutex> lock(recordMutex_);
        ranges = record_->rangesOf(targetName);
        if (!ranges.empty() && (ranges.front().run != earlier->run || earlier->keyColumns.size() != 1))
            ranges.clear();
    }
    if (continued) {
        orderKey = earlier->keyColumns;
        if (earlier->state == RecordState::Copied) {
            w.log.Append(QStringLiteral("Table %1 was copied by the run of %2: its copy is checked")
                             .arg(targetName, earlier->run));
        } else if (!ranges.empty()) {
            std::int64_t read = 0;
            for (const RangeEntry &r : ranges)
                read += r.rowsRead;
            w.log.Append(QStringLiteral("Table %1 continues the copy of the run of %2 in %3 key ranges after %4 rows")
                             .arg(targetName, earlier->run)
                             .arg(ranges.size())
                             .arg(read));
        } else {
            w.log.Append(QStringLiteral("Table %1 continues the copy of the run of %2 after row %3")
                            .arg(targetName, earlier->run)
                            .arg(earlier->rowsRead));
        }
    }
    // A big table keyed by one integer column is copied in key ranges at
    // once; its record names the key it is read in order of.
    QString rangeKey = ranges.empty() ? QString() : orderKey.first();
    if (!continued && !settings_.DefinitionsOnly && settings_.ParallelTables > 1 && !(exists && skip)) {
        rangeKey = rangeKeyColumn(w.db.mysqlconnect, entry);
        if (!rangeKey.isEmpty())
            orderKey = QStringList{rangeKey};
    }
    result.action = continued              ? (earlier->created ? TableAction::Created : TableAction::Merged)
                    : exists && skip       ? TableAction::Skipped
                    : exists && !overwrite ? TableAction::Merged
                                           : TableAction::Created;
    if (record_ && keepRecord_ && result.action != TableAction::Skipped) {
        // The table is this run's now; who holds it goes into the record.
        RecordEntry e;
        e.target = targetName;
        e.source = source;
        e.run = runIdentity_.id;
        e.created = result.action == TableAction::Created;
        e.keyColumns = orderKey;
        if (continued) {
            e.state = earlier->state == RecordState::Copied ? RecordState::Copied : RecordState::Copying;
            e.rowsRead = earlier->rowsRead;
            e.rowsWritten = earlier->rowsWritten;
            e.lastKey = earlier->lastKey;
        }
        e.host = runIdentity_.host;
        e.process = runIdentity_.process;
        e.claimed = QDateTime::currentDateTime();
        const std::lock_guard<std::recursive_mutex> lock(recordMutex_);
        record_->write(e);
    }

    if (exists && overwrite && !continued) {
        w.log.Append(QStringLiteral("Drop table ") + targetName + QStringLiteral("... "));
        // Kept details: other tables' foreign keys may refer to this one.
        const TStepResult dropped = DropTable(oracle, targetName, settings_.KeepDetails);
        if (dropped.Ok)
            w.log.RewriteLast(QStringLiteral("Drop table ") + targetName + QStringLiteral("...Done"));
        else {
            w.log.Append(dropped.ErrorText);
            result.errors << dropped.ErrorText;
        }
        w.log.Append(QString());
    }
    if (exists && skip && !continued) {
        w.log.Append(QStringLiteral("Skip table ") + targetName + QStringLiteral("... "));
        w.log.Append(QString());
    }
    if ((!exists || overwrite) && !continued) {
        writtenTargets_.insert(targetName, entry);
        w.log.Append(QStringLiteral("Create table ") + targetName + QStringLiteral("... "));
        QStringList notes;  // lines that follow the step's outcome
        const TStepResult created =
            settings_.KeepDetails
                ? CreateDetailedTable(w.db.mysqlconnect, oracle, settings_.SourceDatabase, entry, targetName,
                                      settings_.UppercaseNames, &notes, &lastStatement_)
                : CreateTable(w.db.mysqlconnect, oracle, entry, targetName, settings_.UppercaseNames, &lastStatement_,
                              &notes);
        if (created.Ok)
            w.log.RewriteLast(QStringLiteral("Create table ") + targetName + QStringLiteral("...Done"));
        else {
            w.log.Append(created.ErrorText);
            result.errors << created.ErrorText;
            result.action = TableAction::Failed;
            markTable(w, targetName, RecordState::Failed, result);
        }
        for (const QString &note : notes)
            w.log.Append(note);
        w.log.Append(QString());
        if (buildIndexes && !w.control.StopRequested()) {
            // The key step writes each error followed by a line of one blank.
            const KeyStepContext context{&objectNames_, &w.control};
            QStringList keyNotes;  // kept details: lines that follow the step's errors
            const TStepResult keys =
                settings_.KeepDetails
                    ? CreateDetailedKeys(w.db.mysqlconnect, w.db.oracledata.session(), settings_.SourceDatabase, entry,
                                         sourceName, targetName, settings_.UppercaseNames, w.log, context, &keyNotes)
                    : CreateKeysAndIndexes(w.db.mysqlsjbconnection, w.db.oracledata.session(), entry, sourceName,
                                           targetName, settings_.UppercaseNames, w.log, context);
            result.errors << keys.Errors;
            if (!keyNotes.isEmpty()) {
                for (const QString &note : keyNotes)
                    w.log.Append(note);
                w.log.Append(QString());
            }
        }
    }
    // A stop taken during the table's steps ends the table there.
    if (w.control.StopRequested())
        return;
    if (settings_.DefinitionsOnly) {
        // All the run was asked for the table is done.
        if (result.action != TableAction::Skipped && result.action != TableAction::Failed)
            markTable(w, targetName, RecordState::Copied, result);
    } else {
        if (skip && exists && !continued) {
            w.log.Append(QStringLiteral("Skip table ") + targetName);
            w.log.Append(QString());
        } else {
            writtenTargets_.insert(targetName, entry);
            // The name is taken and the definition made: the next table of
            // those converted at once may choose its own.
            if (w.setupDone)
                w.setupDone();
            // A table that held rows before its copy: they count in the check
            // of the rows after it, and its content cannot be verified unless
            // they are the rows of the copy this run continues.
            std::int64_t rowsBefore = 0;
            if ((exists && !overwrite) || continued) {
                const QString sql = rowCountStatement(targetName);
                rowsBefore =
                    OracleWorker(oracle).run(w.control, [&sql](OracleSession &o) { return o.queryCount(sql); });
            }
            const std::int64_t foreignRows = continued && earlier->created ? 0 : rowsBefore;
            const bool copyDone = continued && earlier->state == RecordState::Copied;
            TStepResult copied;
            CopyCounts counts;
            if (!copyDone) {
                // A table in key ranges writes its own insert lines, range by
                // range, and records each range's progress.
                const bool inRanges = !rangeKey.isEmpty();
                if (!inRanges)
                    w.log.Append(QStringLiteral("Insert table ") + targetName + QStringLiteral("... "));
                CopyOptions options;
                options.uppercaseNames = settings_.UppercaseNames;
                options.continuePastRejected = settings_.RejectRows;
                options.ledger = &ledger_;
                options.sendAhead = sendAhead_;
                options.orderKey = inRanges ? QStringList{rangeKey} : orderKey;
                if (!inRanges) {
                    if (continued) {
                        ledger_.carryOver(entry, targetName, earlier->rowsRead);
                        options.rowsBefore = earlier->rowsRead;
                        options.afterCondition = afterCondition;
                    }
                    if (record_ && keepRecord_) {
                        options.progressRecord = [this, targetName](std::int64_t rows, const QString &key) {
                            const std::lock_guard<std::recursive_mutex> lock(recordMutex_);
                            return record_->progressStatement(targetName, rows, key);
                        };
                        options.progressCommitted = [this, targetName](std::int64_t rows, const QString &key) {
                            const std::lock_guard<std::recursive_mutex> lock(recordMutex_);
                            record_->progressCommitted(targetName, rows, key);
                        };
                    }
                    options.progress = w.rows;
                }
                {
                    // The table's figures are the copy's, however the copy ends.
                    struct TakeCounts {
                        const CopyCounts &counts;
                        TableResult &result;
                        ~TakeCounts()
                        {
                            result.rowsRead = counts.rowsRead;
                            result.rowsWritten = counts.rowsWritten;
                            result.valuesRejected = counts.valuesRejected;
                            result.rowsRejected = counts.rowsRejected;
                        }
                    } take{counts, result};
                    copied = inRanges ? copyInRanges(w, entry, targetName, options, continued, ranges, &counts)
                                      : CopyRows(w.db.mysqlsjbconnection, oracle, w.buffer, entry, targetName, w.log,
                                                 w.control, options, &counts);
                }
                if (copied.Ok) {
                    if (!inRanges)
                        w.log.RewriteLast(w.log.LastLine() + QStringLiteral("...Done"));
                } else {
                    if (!inRanges)
                        w.log.Append(copied.ErrorText);
                    result.errors << copied.ErrorText;
                }
                for (const auto &[line, more] : counts.suppressedLines)
                    w.log.Append(repeatedLineText(line, more));
                if (copied.Ok && counts.rowsRejected == 0)
                    ledger_.dropEarlierReloadFile(entry);
                if (settings_.RejectRows && counts.rowsRejected > 0)
                    w.log.Append(QStringLiteral("%1 %2 rejected")
                                     .arg(counts.rowsRejected)
                                     .arg(counts.rowsRejected == 1 ? "row" : "rows"));
            }
            // A stopped copy stays as the record says, to be continued.
            if (copied.Ok && !copyDone)
                markTable(w, targetName, RecordState::Copied, result, rowsBefore + counts.rowsWritten);
            else if (!copied.Ok && !w.control.StopRequested())
                markTable(w, targetName, RecordState::Failed, result);
            // A copy that failed before its first row (no target table) has
            // nothing to count.
            if (copied.Ok || counts.rowsRead > 0)
                checkRowCount(w, targetName, rowsBefore, result);
            if (settings_.Verify && !w.control.StopRequested()) {
                verifyCopy(w, entry, targetName, copied.Ok, foreignRows, result);
                if (result.verified == Verification::Equal)
                    markTable(w, targetName, RecordState::Verified, result);
            }
            w.log.Append(QString());
        }
    }
    if (settings_.KeepDetails && !settings_.DefinitionsOnly && result.action == TableAction::Created &&
        !w.control.StopRequested()) {
        // The rows are in: each identity continues after its largest value.
        // Errors are written like the key step's, a line of one blank after each.
        result.errors << ContinueIdentities(w.db.mysqlconnect, oracle, settings_.SourceDatabase, entry, targetName,
                                            settings_.UppercaseNames, w.log, KeyStepContext{nullptr, &w.control})
                             .Errors;
    }
}

QString ConversionRun::rangeKeyColumn(MySqlConnection &catalogue, const QString &entry)
{
    const QStringList key = primaryKeyColumns(catalogue, entry);
    if (key.size() != 1)
        return QString();
    static const QSet<QString> integers = {QStringLiteral("tinyint"), QStringLiteral("smallint"),
                                           QStringLiteral("mediumint"), QStringLiteral("int"),
                                           QStringLiteral("bigint")};
    auto type = catalogue.listing(
        QStringLiteral("select data_type from information_schema.columns where table_schema = %1 and table_name = %2 "
                       "and column_name = %3")
            .arg(mysqlTextLiteral(settings_.SourceDatabase), mysqlTextLiteral(entry), mysqlTextLiteral(key.first())));
    if (!type->next() || !integers.contains(type->text(0).toLower()))
        return QString();
    std::int64_t threshold = settings_.RangeRowThreshold;
    bool ok = false;
    const std::int64_t fromEnvironment = qEnvironmentVariable("TAVREX_RANGE_THRESHOLD").trimmed().toLongLong(&ok);
    if (ok && fromEnvironment >= 0)
        threshold = fromEnvironment;
    return estimatedRows(catalogue, entry) > threshold ? key.first() : QString();
}

namespace {

// A key column's value as the record keeps a range's bounds: an integer's
// digits, nothing else (the record lives in the target and is read back).
bool isIntegerText(const QString &text)
{
    static const QRegularExpression integer(QStringLiteral("^-?[0-9]{1,20}$"));
    return integer.match(text).hasMatch();
}

} // namespace

TStepResult ConversionRun::copyInRanges(TableWork &w, const QString &entry, const QString &targetName,
                                        const CopyOptions &options, bool continued, std::vector<RangeEntry> ranges,
                                        CopyCounts *counts)
{
    const QString key = options.orderKey.first();
    const QString column = quoteMySqlName(key);
    if (ranges.empty()) {
        // The bounds are the keys at the row positions that split the
        // estimate evenly, so skewed keys split as evenly as dense ones and
        // each range knows how many rows come before it. An estimate above
        // the rows there are gives fewer ranges.
        const std::int64_t estimate = std::max<std::int64_t>(0, estimatedRows(w.db.mysqlconnect, entry));
        const int count = settings_.ParallelTables;
        QStringList bounds;
        std::vector<std::int64_t> positions;
        for (int i = 1; i < count; ++i) {
            const std::int64_t position = estimate / count * i;
            if (position == 0 || (!positions.empty() && position <= positions.back()))
                continue;
            auto row = w.db.mysqlsjbconnection.listing(QStringLiteral("select %1 from %2 order by %1 limit 1 offset %3")
                                                           .arg(column, quoteMySqlName(entry))
                                                           .arg(position));
            if (!row->next() || row->isNull(0))
                break;
            bounds << row->text(0);
            positions.push_back(position);
        }
        for (int i = 0; i <= bounds.size(); ++i) {
            RangeEntry r;
            r.target = targetName;
            r.number = i + 1;
            r.count = int(bounds.size()) + 1;
            r.firstKey = i == 0 ? QString() : bounds.at(i - 1);
            r.endKey = i == bounds.size() ? QString() : bounds.at(i);
            r.rowsBefore = i == 0 ? 0 : positions[std::size_t(i - 1)];
            ranges.push_back(r);
        }
    }
    for (RangeEntry &r : ranges) {
        if ((!r.firstKey.isEmpty() && !isIntegerText(r.firstKey)) || (!r.endKey.isEmpty() && !isIntegerText(r.endKey)))
            throw std::runtime_error(QStringLiteral("The record of conversions holds a key range of table %1 that "
                                                    "cannot be read")
                                         .arg(targetName)
                                         .toStdString());
        r.run = runIdentity_.id;
        if (!continued) {
            r.state = RecordState::Created;
            r.rowsRead = 0;
            r.lastKey.clear();
        }
    }
    if (record_ && keepRecord_) {
        // The table is being copied; how far, its ranges say.
        const std::lock_guard<std::recursive_mutex> lock(recordMutex_);
        record_->writeRanges(targetName, ranges);
        record_->setState(targetName, RecordState::Copying);
    }
    if (continued) {
        // The ledger's records of the rows each range committed.
        std::vector<std::pair<std::int64_t, std::int64_t>> spans;
        for (const RangeEntry &r : ranges)
            if (r.rowsRead > 0)
                spans.emplace_back(r.rowsBefore + 1, r.rowsBefore + r.rowsRead);
        ledger_.carryOver(entry, targetName, spans);
    }
    w.log.Append(QStringLiteral("Insert table %1 in %2 key ranges of %3").arg(targetName).arg(ranges.size()).arg(key));

    // One copy per range, each on connections of its own and a thread of its
    // own; this thread passes the stop request on and sums the rows.
    struct RangeCopy {
        RangeEntry range;
        MySqlConnection data;
        OracleConnection oracle;
        RowBuffer buffer;
        TRunLog log;
        RunControl control;
        CopyOptions options;
        CopyCounts counts;
        TStepResult result;
        std::atomic<std::int64_t> rows{0};
        std::atomic<bool> done{false};
        std::thread thread;
    };
    std::vector<std::unique_ptr<RangeCopy>> copies;
    for (const RangeEntry &r : ranges) {
        auto c = std::make_unique<RangeCopy>();
        c->range = r;
        c->data.params() = w.db.mysqlsjbconnection.params();
        c->oracle.params() = w.db.oracleconn.params();
        c->options = options;
        QStringList conditions;
        if (r.rowsRead > 0) {
            const std::optional<std::vector<KeyValue>> last = decodeKey(r.lastKey);
            const QString after =
                last ? keyAfterCondition(options.orderKey, *last, w.db.mysqlsjbconnection.characterSet()) : QString();
            if (after.isEmpty())
                throw std::runtime_error(QStringLiteral("The record of conversions holds a key range of table %1 "
                                                        "that cannot be read")
                                             .arg(targetName)
                                             .toStdString());
            conditions << after;
        } else if (!r.firstKey.isEmpty()) {
            conditions << column + QStringLiteral(" >= ") + r.firstKey;
        }
        if (!r.endKey.isEmpty())
            conditions << column + QStringLiteral(" < ") + r.endKey;
        c->options.afterCondition = conditions.join(QStringLiteral(" and "));
        c->options.rowsBefore = r.rowsBefore + r.rowsRead;
        const int number = r.number;
        const std::int64_t before = r.rowsBefore;
        RangeCopy *raw = c.get();
        c->options.progress = [raw](std::int64_t rows) { raw->rows.store(rows - raw->options.rowsBefore); };
        if (record_ && keepRecord_) {
            c->options.progressRecord = [this, targetName, number, before](std::int64_t rows, const QString &k) {
                const std::lock_guard<std::recursive_mutex> lock(recordMutex_);
                return record_->rangeProgressStatement(targetName, number, rows - before, k);
            };
            c->options.progressCommitted = [this, targetName, number, before](std::int64_t rows, const QString &k) {
                const std::lock_guard<std::recursive_mutex> lock(recordMutex_);
                record_->rangeProgressCommitted(targetName, number, rows - before, k);
            };
        }
        c->log.Append(QStringLiteral("Insert table ") + targetName + QStringLiteral("... "));
        copies.push_back(std::move(c));
    }
    const StopAndJoin<std::vector<std::unique_ptr<RangeCopy>>> join(copies);
    for (auto &c : copies) {
        if (c->range.state == RecordState::Copied || c->range.state == RecordState::Verified) {
            c->done = true;
            continue;
        }
        // The connections are opened here, one after the other, before any
        // range starts: one that cannot be opened fails its range.
        try {
            c->data.connect();
            c->oracle.connect();
        } catch (const std::exception &e) {
            c->result.Ok = false;
            c->result.ErrorText = errorMessage(e);
            c->done = true;
            continue;
        }
    }
    for (auto &c : copies) {
        if (c->done.load())
            continue;
        RangeCopy *raw = c.get();
        const QString listed = entry;
        c->thread = std::thread([raw, listed, targetName] {
            try {
                raw->result = CopyRows(raw->data, raw->oracle.session(), raw->buffer, listed, targetName, raw->log,
                                       raw->control, raw->options, &raw->counts);
            } catch (const std::exception &e) {
                raw->result.Ok = false;
                raw->result.ErrorText = errorMessage(e);
            }
            raw->done = true;
        });
    }
    for (;;) {
        bool all = true;
        std::int64_t rows = 0;
        for (const auto &c : copies) {
            all = all && c->done.load();
            rows += c->rows.load();
        }
        if (w.rows)
            w.rows(rows);
        if (all)
            break;
        std::this_thread::sleep_for(OracleWorker::kWaitSlice);
        // The window's pump, when this is the window's thread (one table at
        // a time); a lane's pump does nothing.
        w.control.pump();
        if (w.control.StopRequested())
            for (auto &c : copies)
                c->control.requestStop();
    }
    for (auto &c : copies)
        if (c->thread.joinable())
            c->thread.join();

    // The ranges' lines in their order, their counts summed; the first
    // range that failed gives the table its error.
    TStepResult outcome;
    for (auto &c : copies) {
        const bool ran = c->range.state != RecordState::Copied && c->range.state != RecordState::Verified;
        if (!ran)
            continue;
        if (c->result.Ok)
            c->log.RewriteLast(c->log.LastLine() + QStringLiteral("...Done"));
        else
            c->log.Append(c->result.ErrorText);
        for (const QString &line : c->log.lines())
            w.log.Append(line);
        counts->rowsRead += c->counts.rowsRead;
        counts->rowsWritten += c->counts.rowsWritten;
        counts->valuesRejected += c->counts.valuesRejected;
        counts->rowsRejected += c->counts.rowsRejected;
        for (const auto &line : c->counts.suppressedLines)
            counts->suppressedLines.push_back(line);
        if (!c->result.Ok && outcome.Ok) {
            outcome.Ok = false;
            outcome.ErrorText = c->result.ErrorText;
        }
        // A stopped range stays as the record says, to be continued.
        if (record_ && keepRecord_ && (c->result.Ok || !w.control.StopRequested())) {
            try {
                const std::lock_guard<std::recursive_mutex> lock(recordMutex_);
                record_->setRangeState(targetName, c->range.number,
                                       c->result.Ok ? RecordState::Copied : RecordState::Failed);
            } catch (const DatabaseError &) {
                // the table's own state says what matters
            }
        }
    }
    return outcome;
}

void ConversionRun::checkRowCount(TableWork &w, const QString &targetName, std::int64_t rowsBefore,
                                  TableResult &result)
{
    // Every copy ends with a count of the Oracle table: it must hold the rows
    // this run wrote and the rows it held before.
    const std::int64_t expected = rowsBefore + result.rowsWritten;
    QString problem;
    OracleSession &oracle = w.db.oracleconn.session();
    try {
        const QString sql = rowCountStatement(targetName);
        const std::int64_t counted =
            OracleWorker(oracle).run(w.control, [&sql](OracleSession &o) { return o.queryCount(sql); });
        if (counted != expected)
            problem = QStringLiteral("Count table %1: %2 rows in Oracle, %3 expected").arg(targetName).arg(counted).arg(expected);
    } catch (const DatabaseError &e) {
        problem = QStringLiteral("Count table %1: %2").arg(targetName, e.message());
    }
    if (!problem.isEmpty()) {
        w.log.Append(problem);
        result.errors << problem;
    }
}

void ConversionRun::verifyCopy(TableWork &w, const QString &entry, const QString &targetName, bool copied,
                               std::int64_t rowsBefore, TableResult &result)
{
    const QString line = QStringLiteral("Verify table ") + targetName + QStringLiteral(": ");
    if (rowsBefore > 0) {
        w.log.Append(line + QStringLiteral("not verified: the table held %1 rows before the copy").arg(rowsBefore));
        return;
    }
    if (!copied) {
        w.log.Append(line + QStringLiteral("not verified: the copy did not complete"));
        return;
    }
    try {
        const QStringList keys = primaryKeyColumns(w.db.mysqlconnect, entry);
        const VerifyResult v = verifyTable(w.db.mysqlsjbconnection, w.db.oracleconn.session(), entry, targetName,
                                           keys, w.control, settings_.UppercaseNames);
        if (v.stopped) {
            w.log.Append(line + QStringLiteral("not verified: stopped"));
            return;
        }
        if (v.equal()) {
            result.verified = Verification::Equal;
            w.log.Append(line +
                         QStringLiteral("%1 %2 equal").arg(v.sourceRows).arg(v.sourceRows == 1 ? "row" : "rows"));
            return;
        }
        result.verified = Verification::Differs;
        const QString differs = line + QStringLiteral("%1 of %2 rows differ").arg(v.differingRows()).arg(v.sourceRows);
        w.log.Append(differs);
        result.errors << differs;
        for (const QString &key : v.differingKeys)
            ledger_.recordKey(entry, keys.join(QLatin1Char(',')), QStringLiteral("target row differs from source"), key);
    } catch (const DatabaseError &e) {
        w.log.Append(line + QStringLiteral("not verified: ") + e.message());
        result.errors << line + e.message();
    }
}

} // namespace tavrex
