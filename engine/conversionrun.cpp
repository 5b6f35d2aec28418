#include "engine/conversionrun.h"

#include "connections/rowcopy.h"
#include "engine/identifiers.h"
#include "schema/keys.h"
#include "schema/tabledefinition.h"

#include <QFileInfo>

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

ConversionRun::ConversionRun(DatabaseObjects &db, const TConversionSettings &settings, TRunLog &log,
                             RunControl &control)
    : db_(db), settings_(settings), log_(log), control_(control), clock_([] { return QDateTime::currentDateTime(); })
{
}

RunOutcome ConversionRun::run()
{
    savedLogPath_.clear();
    StopDiscard discard(control_);

    log_.Append(QStringLiteral("Start time:") + runTimestamp(clock_(), locale_));
    if (hooks_.showLogPage)
        hooks_.showLogPage();
    const bool overwrite = settings_.ExistingTables == TExistingTablePolicy::Overwrite;
    const bool skip = settings_.ExistingTables == TExistingTablePolicy::Skip;
    const bool buildIndexes = !settings_.SkipIndexes;
    if (hooks_.enterRunning)
        hooks_.enterRunning();
    control_.clearStop();
    OpenDataConnection(db_, settings_);

    const QStringList tables = settings_.SelectedTables;
    for (const QString &entry : tables) {
        control_.pump();
        if (control_.StopRequested())
            return RunOutcome::Stopped;
        convertTable(entry, overwrite, skip, buildIndexes);
    }

    log_.Append(captions_.Label29);
    log_.Append(captions_.Label30);
    log_.Append(QStringLiteral("The end time:") + runTimestamp(clock_(), locale_));
    const QString path = batchSettingsFile_.isEmpty()
                             ? interactiveLogPath(logFolder_.isEmpty() ? GetLogFolder() : logFolder_, clock_())
                             : batchLogPath(batchSettingsFile_);
    log_.SaveToFile(path);
    savedLogPath_ = path;
    const bool lateStop = control_.StopRequested();
    if (!batchSettingsFile_.isEmpty() && hooks_.closeMainWindow)
        hooks_.closeMainWindow();
    log_.Append(captions_.Label32);
    return lateStop ? RunOutcome::CompletedWithLateStop : RunOutcome::Completed;
}

void ConversionRun::convertTable(const QString &entry, bool overwrite, bool skip, bool buildIndexes)
{
    const QString sourceName = ShapeName(entry, settings_.UppercaseNames);
    // A name Oracle cannot hold fails this table alone, before anything is sent.
    try {
        checkTableName(sourceName);
    } catch (const IdentifierError &e) {
        log_.Append(e.message());
        log_.Append(QString());
        return;
    }
    OracleSession &oracle = db_.oracleconn.session();
    const QString targetName = ShortenTableName(oracle, sourceName, settings_.OracleUser);
    const bool exists = TableExists(oracle, targetName, settings_.OracleUser);

    if (exists && overwrite) {
        log_.Append(QStringLiteral("Drop table ") + targetName + QStringLiteral("... "));
        const TStepResult dropped = DropTable(oracle, targetName);
        if (dropped.Ok)
            log_.RewriteLast(QStringLiteral("Drop table ") + targetName + QStringLiteral("...Done"));
        else
            log_.Append(dropped.ErrorText);
        log_.Append(QString());
    }
    if (exists && skip) {
        log_.Append(QStringLiteral("Skip table ") + targetName + QStringLiteral("... "));
        log_.Append(QString());
    }
    if (!exists || overwrite) {
        log_.Append(QStringLiteral("Create table ") + targetName + QStringLiteral("... "));
        const TStepResult created =
            CreateTable(db_.mysqlconnect, oracle, entry, targetName, settings_.UppercaseNames, &lastStatement_);
        if (created.Ok)
            log_.RewriteLast(QStringLiteral("Create table ") + targetName + QStringLiteral("...Done"));
        else
            log_.Append(created.ErrorText);
        log_.Append(QString());
        if (buildIndexes)
            CreateKeysAndIndexes(db_.mysqlsjbconnection, db_.oracledata.session(), entry, sourceName, targetName,
                                 settings_.UppercaseNames, log_);
    }
    if (!settings_.DefinitionsOnly) {
        if (skip && exists) {
            log_.Append(QStringLiteral("Skip table ") + targetName);
            log_.Append(QString());
        } else {
            log_.Append(QStringLiteral("Insert table ") + targetName + QStringLiteral("... "));
            const TStepResult copied =
                CopyRows(db_.mysqlsjbconnection, oracle, oracleinsertdata_, entry, targetName, log_, control_);
            if (copied.Ok)
                log_.RewriteLast(log_.LastLine() + QStringLiteral("...Done"));
            else
                log_.Append(copied.ErrorText);
            log_.Append(QString());
        }
    }
}

} // namespace tavrex
