#include "engine/runreport.h"

#include "engine/core/runlog.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tavrex {

namespace {

QString count(std::int64_t n, const char *one, const char *many)
{
    return QString::number(n) + QLatin1Char(' ') + QLatin1String(n == 1 ? one : many);
}

QString isoTime(const QDateTime &t)
{
    return t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODate);
}

} // namespace

QString actionText(TableAction action)
{
    switch (action) {
    case TableAction::Undecided: return QString();
    case TableAction::Created: return QStringLiteral("created");
    case TableAction::Merged: return QStringLiteral("merged");
    case TableAction::Skipped: return QStringLiteral("skipped");
    case TableAction::Failed: return QStringLiteral("failed");
    }
    return QString();
}

QString verificationText(Verification verification)
{
    switch (verification) {
    case Verification::NotVerified: return QStringLiteral("not verified");
    case Verification::Equal: return QStringLiteral("equal");
    case Verification::Differs: return QStringLiteral("differs");
    }
    return QString();
}

TableAction tableActionFromText(const QString &text)
{
    for (TableAction a : {TableAction::Created, TableAction::Merged, TableAction::Skipped, TableAction::Failed})
        if (actionText(a) == text)
            return a;
    return TableAction::Undecided;
}

Verification verificationFromText(const QString &text)
{
    for (Verification v : {Verification::Equal, Verification::Differs})
        if (verificationText(v) == text)
            return v;
    return Verification::NotVerified;
}

bool RunReport::anyProblem() const
{
    if (!errors.isEmpty())
        return true;
    for (const TableResult &t : tables)
        if (t.hasProblem())
            return true;
    return false;
}

RunResultOutcome RunReport::finishedOutcome() const
{
    return anyProblem() ? RunResultOutcome::CompletedWithErrors : RunResultOutcome::Completed;
}

QString RunReport::outcomeText(RunResultOutcome outcome)
{
    switch (outcome) {
    case RunResultOutcome::Completed: return QStringLiteral("completed");
    case RunResultOutcome::CompletedWithErrors: return QStringLiteral("completed with errors");
    case RunResultOutcome::Stopped: return QStringLiteral("stopped");
    case RunResultOutcome::Failed: return QStringLiteral("failed");
    }
    return QString();
}

QStringList RunReport::summaryLines() const
{
    QStringList lines;
    std::int64_t rows = 0, values = 0, rejectedRows = 0;
    int clean = 0, failed = 0;
    for (const TableResult &t : tables) {
        rows += t.rowsWritten;
        values += t.valuesRejected;
        rejectedRows += t.rowsRejected;
        if (!t.hasProblem()) {
            ++clean;
            continue;
        }
        ++failed;
        QStringList parts;
        if (!t.errors.isEmpty())
            parts << t.errors.join(QStringLiteral("; "));
        parts << count(t.rowsWritten, "row", "rows") + QStringLiteral(" written of %1 read").arg(t.rowsRead);
        if (t.valuesRejected > 0 || t.rowsRejected > 0)
            parts << count(t.valuesRejected, "value", "values") + QStringLiteral(" and ") +
                         count(t.rowsRejected, "row", "rows") + QStringLiteral(" rejected");
        const QString name = t.target.isEmpty() || t.target == t.source
                                 ? t.source
                                 : t.source + QStringLiteral(" (") + t.target + QLatin1Char(')');
        lines << QStringLiteral("Problem in table ") + name + QStringLiteral(": ") + parts.join(QStringLiteral("; "));
    }
    QString totals = QStringLiteral("Summary: ") + count(clean, "table", "tables") +
                     QStringLiteral(" without errors, ") + count(failed, "table", "tables") +
                     QStringLiteral(" with errors; ") + count(rows, "row", "rows") + QStringLiteral(" copied; ") +
                     count(values, "value", "values") + QStringLiteral(" and ") +
                     count(rejectedRows, "row", "rows") + QStringLiteral(" rejected");
    if (!ledgerFileName.isEmpty())
        totals += QStringLiteral("; see ") + ledgerFileName;
    lines << totals;
    return lines;
}

QByteArray RunReport::toJson() const
{
    QJsonArray list;
    for (const TableResult &t : tables) {
        QJsonObject o;
        o.insert(QStringLiteral("source"), t.source);
        o.insert(QStringLiteral("target"), t.target);
        o.insert(QStringLiteral("action"), actionText(t.action));
        o.insert(QStringLiteral("rowsRead"), double(t.rowsRead));
        o.insert(QStringLiteral("rowsWritten"), double(t.rowsWritten));
        o.insert(QStringLiteral("valuesRejected"), double(t.valuesRejected));
        o.insert(QStringLiteral("rowsRejected"), double(t.rowsRejected));
        o.insert(QStringLiteral("errors"), QJsonArray::fromStringList(t.errors));
        o.insert(QStringLiteral("seconds"), double(qRound64(t.seconds * 1000)) / 1000);
        o.insert(QStringLiteral("verified"), verificationText(t.verified));
        list.append(o);
    }
    QJsonObject root;
    root.insert(QStringLiteral("outcome"), outcomeText(outcome));
    root.insert(QStringLiteral("started"), isoTime(started));
    root.insert(QStringLiteral("ended"), isoTime(ended));
    if (!errors.isEmpty())
        root.insert(QStringLiteral("errors"), QJsonArray::fromStringList(errors));
    root.insert(QStringLiteral("tables"), list);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

int exitCodeFor(RunResultOutcome outcome)
{
    switch (outcome) {
    case RunResultOutcome::Completed: return 0;
    case RunResultOutcome::CompletedWithErrors: return 2;
    case RunResultOutcome::Stopped: return 130;
    case RunResultOutcome::Failed: return 1;
    }
    return 1;
}

QString ledgerPathForLog(const QString &logPath)
{
    return replaceExtension(logPath, QStringLiteral(".rejects.csv"));
}

QString reloadFolderForLog(const QString &logPath)
{
    return replaceExtension(logPath, QStringLiteral(".rejects"));
}

QString reportPathForLog(const QString &logPath)
{
    return replaceExtension(logPath, QStringLiteral(".report.json"));
}

bool isRunRecordFileName(const QString &path)
{
    for (const char *ending : {".log", ".rejects.csv", ".report.json", ".check.html", ".check.json"})
        if (path.endsWith(QLatin1String(ending), Qt::CaseInsensitive))
            return true;
    return false;
}

} // namespace tavrex
