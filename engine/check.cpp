#include "engine/check.h"

#include "connections/oracleconnection.h"
#include "connections/profiles.h"
#include "connections/rowcopy.h"
#include "engine/conversionrun.h"
#include "engine/core/errors.h"
#include "engine/core/identifiers.h"
#include "engine/core/runledger.h"
#include "engine/core/textrules.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QTemporaryDir>

#include <algorithm>
#include <map>
#include <stdexcept>

namespace tavrex {

namespace {

constexpr int kExamples = 5;
// Oracle keeps a tenth of each block free for updates (PCTFREE 10).
constexpr double kBlockUse = 0.9;

QString isoTime(const QDateTime &t)
{
    return t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODate);
}

QString quotedTarget(const QString &name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}

// The foreign keys come after the last table: each belongs to the table it
// alters.
QString ownerOfStatement(const CheckedStatement &s, const std::vector<CheckTable> &tables)
{
    const QString prefix = QStringLiteral("alter table ");
    if (s.text.startsWith(prefix) && s.text.contains(QLatin1String(" foreign key ")))
        for (const CheckTable &t : tables)
            if (!t.target.isEmpty() && s.text.mid(prefix.size()).startsWith(quotedTarget(t.target) + QLatin1Char(' ')))
                return t.source;
    return s.table;
}

// The ledger's records of each table, counted by column and reason in the
// order they first came.
std::map<QString, QVector<CheckValueCount>> countLedger(const QString &path)
{
    std::map<QString, QVector<CheckValueCount>> counts;
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return counts;
    const QList<QStringList> records = parseCsv(QString::fromUtf8(file.readAll()));
    QHash<QString, int> at;  // table, column, reason -> position
    for (qsizetype i = 1; i < records.size(); ++i) {
        const QStringList &r = records.at(i);
        if (r.size() < 5 || r.at(3) == QLatin1String("reload file"))
            continue;
        QVector<CheckValueCount> &table = counts[r.at(0)];
        const QString key = r.at(0) + QChar(0) + r.at(2) + QChar(0) + r.at(3);
        auto found = at.constFind(key);
        if (found == at.constEnd()) {
            found = at.insert(key, int(table.size()));
            table.push_back(CheckValueCount{r.at(2), r.at(3), 0, {}});
        }
        CheckValueCount &c = table[found.value()];
        ++c.count;
        if (c.examples.size() < kExamples)
            c.examples.push_back({r.at(1).toLongLong(), r.at(4)});
    }
    return counts;
}

QString nameNoteFor(const CheckTable &t, bool uppercaseNames)
{
    if (t.target.isEmpty())
        return QString();
    const QString madeUnique = QStringLiteral("Table ") + t.source + QStringLiteral(" is converted into ");
    for (const QString &line : t.log)
        if (line.startsWith(madeUnique))
            return line;
    const QString shaped = ShapeName(t.source, uppercaseNames);
    if (t.target == shaped)
        return QString();
    return QStringLiteral("%1 has %2 characters, more than Oracle's %3: shortened to %4")
        .arg(shaped)
        .arg(shaped.size())
        .arg(OracleNameLimit)
        .arg(t.target);
}

QString html(const QString &text)
{
    return text.toHtmlEscaped();
}

QString number(std::int64_t n, const QLocale &locale)
{
    return locale.toString(qlonglong(n));
}

QString tableSection(const CheckTable &t, int index, const CheckCaptions &c, const QLocale &locale)
{
    QString out;
    out += QStringLiteral("<section id=\"t%1\" class=\"%2\">\n").arg(index).arg(t.hasProblem() ? "bad" : "good");
    out += QStringLiteral("<h2><span class=\"mark\">%1</span> %2 &#8594; %3</h2>\n")
               .arg(t.hasProblem() ? QStringLiteral("!") : QStringLiteral("&#10003;"), html(t.source),
                    html(t.target.isEmpty() ? QStringLiteral("-") : t.target));
    out += QStringLiteral("<table class=\"facts\">\n");
    out += QStringLiteral("<tr><th>%1</th><td>%2</td></tr>\n").arg(html(c.action), html(c.actionCaption(t.action)));
    if (t.existingRows >= 0)
        out += QStringLiteral("<tr><th></th><td>%1</td></tr>\n")
                   .arg(html(c.existing.arg(number(t.existingRows, locale))));
    if (!t.nameNote.isEmpty())
        out += QStringLiteral("<tr><th>%1</th><td>%2</td></tr>\n").arg(html(c.target), html(t.nameNote));
    out += QStringLiteral("<tr><th>%1</th><td>%2</td></tr>\n").arg(html(c.rows), number(t.rows, locale));
    out += QStringLiteral("<tr><th>%1</th><td>%2</td></tr>\n").arg(html(c.bytes), number(t.bytes, locale));
    out += QStringLiteral("<tr><th>%1</th><td>%2</td></tr>\n").arg(html(c.values), number(t.valueCount(), locale));
    out += QStringLiteral("<tr><th>%1</th><td>%2</td></tr>\n").arg(html(c.refused)).arg(t.refusedCount());
    out += QStringLiteral("</table>\n");
    if (!t.values.isEmpty()) {
        out += QStringLiteral("<h3>%1</h3>\n<table class=\"grid\"><tr><th>%2</th><th>%3</th><th>%4</th>"
                              "<th>%5</th></tr>\n")
                   .arg(html(c.values), html(c.column), html(c.reason), html(c.count), html(c.examples));
        for (const CheckValueCount &v : t.values) {
            QStringList examples;
            for (const CheckValueCount::Example &e : v.examples)
                examples << QString::number(e.row) + QStringLiteral(": ") + html(e.value);
            out += QStringLiteral("<tr><td>%1</td><td>%2</td><td class=\"n\">%3</td><td>%4</td></tr>\n")
                       .arg(html(v.column.isEmpty() ? c.wholeRow : v.column), html(v.reason),
                            number(v.count, locale), examples.join(QStringLiteral("<br>")));
        }
        out += QStringLiteral("</table>\n");
    }
    if (!t.errors.isEmpty()) {
        out += QStringLiteral("<h3>%1</h3>\n<ul class=\"errors\">\n").arg(html(c.errors));
        for (const QString &e : t.errors)
            out += QStringLiteral("<li>%1</li>\n").arg(html(e));
        out += QStringLiteral("</ul>\n");
    }
    if (!t.statements.isEmpty()) {
        out += QStringLiteral("<h3>%1</h3>\n").arg(html(c.statements));
        for (const CheckedStatement &s : t.statements) {
            const QString lines = QString(s.text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            out += QStringLiteral("<pre>%1</pre>\n").arg(html(lines));
            if (!s.refusal.isEmpty())
                out += QStringLiteral("<p class=\"refusal\">%1</p>\n").arg(html(s.refusal));
        }
    }
    if (!t.log.isEmpty()) {
        out += QStringLiteral("<details><summary>%1</summary><pre>%2</pre></details>\n")
                   .arg(html(c.log), html(t.log.join(QLatin1Char('\n'))));
    }
    out += QStringLiteral("</section>\n");
    return out;
}

} // namespace

QString CheckCaptions::actionCaption(const QString &a) const
{
    if (a == QLatin1String("create"))
        return actionCreate;
    if (a == QLatin1String("drop and create"))
        return actionDropCreate;
    if (a == QLatin1String("merge"))
        return actionMerge;
    if (a == QLatin1String("skip"))
        return actionSkip;
    return actionFail;
}

int CheckTable::refusedCount() const
{
    int n = 0;
    for (const CheckedStatement &s : statements)
        if (!s.refusal.isEmpty())
            ++n;
    return n;
}

std::int64_t CheckTable::valueCount() const
{
    std::int64_t n = 0;
    for (const CheckValueCount &v : values)
        n += v.count;
    return n;
}

bool CheckTable::hasProblem() const
{
    return action == QLatin1String("fail") || !values.isEmpty() || !errors.isEmpty() || refusedCount() > 0;
}

bool CheckReport::anyProblem() const
{
    if (!errors.isEmpty())
        return true;
    for (const CheckTable &t : tables)
        if (t.hasProblem())
            return true;
    return false;
}

QByteArray CheckReport::toJson() const
{
    QJsonArray list;
    for (const CheckTable &t : tables) {
        QJsonObject o;
        o.insert(QStringLiteral("source"), t.source);
        o.insert(QStringLiteral("target"), t.target);
        if (!t.nameNote.isEmpty())
            o.insert(QStringLiteral("nameNote"), t.nameNote);
        o.insert(QStringLiteral("action"), t.action);
        o.insert(QStringLiteral("existingRows"), double(t.existingRows));
        o.insert(QStringLiteral("rows"), double(t.rows));
        o.insert(QStringLiteral("bytes"), double(t.bytes));
        o.insert(QStringLiteral("rowsRejected"), double(t.rowsRejected));
        o.insert(QStringLiteral("seconds"), double(qRound64(t.seconds * 1000)) / 1000);
        QJsonArray statements, refused;
        for (const CheckedStatement &s : t.statements) {
            statements.append(s.text);
            if (!s.refusal.isEmpty())
                refused.append(
                    QJsonObject{{QStringLiteral("statement"), s.text}, {QStringLiteral("error"), s.refusal}});
        }
        o.insert(QStringLiteral("statements"), statements);
        o.insert(QStringLiteral("refused"), refused);
        QJsonArray values;
        for (const CheckValueCount &v : t.values) {
            QJsonArray examples;
            for (const CheckValueCount::Example &e : v.examples)
                examples.append(
                    QJsonObject{{QStringLiteral("row"), double(e.row)}, {QStringLiteral("value"), e.value}});
            values.append(QJsonObject{{QStringLiteral("column"), v.column},
                                      {QStringLiteral("reason"), v.reason},
                                      {QStringLiteral("count"), double(v.count)},
                                      {QStringLiteral("examples"), examples}});
        }
        o.insert(QStringLiteral("values"), values);
        o.insert(QStringLiteral("errors"), QJsonArray::fromStringList(t.errors));
        list.append(o);
    }
    QJsonObject estimateObject{
        {QStringLiteral("readRowsPerSecond"), qRound64(estimate.readRowsPerSecond)},
        {QStringLiteral("writeRowsPerSecond"), qRound64(estimate.writeRowsPerSecond)},
        {QStringLiteral("writeSource"), estimate.writeSource},
        {QStringLiteral("seconds"), double(qRound64(estimate.seconds * 10)) / 10},
        {QStringLiteral("oracleBytes"), double(estimate.oracleBytes)},
    };
    if (!estimate.writeReport.isEmpty())
        estimateObject.insert(QStringLiteral("writeReport"), estimate.writeReport);
    QJsonObject root;
    if (!settingsFile.isEmpty())
        root.insert(QStringLiteral("settingsFile"), settingsFile);
    root.insert(QStringLiteral("mapping"),
                keepDetails ? QStringLiteral("keep column details") : QStringLiteral("plain"));
    root.insert(QStringLiteral("started"), isoTime(started));
    root.insert(QStringLiteral("ended"), isoTime(ended));
    root.insert(QStringLiteral("exitCode"), exitCode());
    root.insert(QStringLiteral("errors"), QJsonArray::fromStringList(errors));
    root.insert(QStringLiteral("tables"), list);
    root.insert(QStringLiteral("estimate"), estimateObject);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QString CheckReport::toHtml(const CheckCaptions &c, int table) const
{
    const QLocale locale(c.languageCode == QLatin1String("cn") ? QLocale::Chinese : QLocale::English);
    QString out;
    out += QStringLiteral("<!DOCTYPE html>\n<html lang=\"%1\">\n<head>\n<meta charset=\"utf-8\">\n<title>%2</title>\n")
               .arg(c.languageCode == QLatin1String("cn") ? QStringLiteral("zh") : QStringLiteral("en"), html(c.title));
    out += QStringLiteral(
        "<style>\n"
        "body{font-family:sans-serif;margin:1.5em;color:#222}\n"
        "h1{font-size:1.4em}h2{font-size:1.15em;margin-top:1.6em}h3{font-size:1em}\n"
        "table{border-collapse:collapse;margin:.5em 0}th,td{border:1px solid #bbb;padding:.25em .5em;"
        "text-align:left;vertical-align:top}\n"
        "table.facts th,table.facts td{border:none;padding:.1em .6em .1em 0}\n"
        "table.summary td,table.summary th{white-space:nowrap}td.n{text-align:right}\n"
        "pre{background:#f4f4f4;padding:.4em;white-space:pre-wrap;margin:.3em 0}\n"
        ".mark{display:inline-block;width:1.3em;height:1.3em;line-height:1.3em;border-radius:50%;"
        "text-align:center;color:#fff;font-weight:bold}\n"
        ".good .mark{background:#2e7d32}.bad .mark{background:#c62828}\n"
        ".refusal,.errors{color:#b00020}\n"
        "</style>\n</head>\n<body>\n");
    if (table >= 0 && size_t(table) < tables.size()) {
        out += tableSection(tables[size_t(table)], table, c, locale);
        out += QStringLiteral("</body>\n</html>\n");
        return out;
    }
    out += QStringLiteral("<h1>%1</h1>\n<table class=\"facts\">\n").arg(html(c.title));
    if (!settingsFile.isEmpty())
        out += QStringLiteral("<tr><th>%1</th><td>%2</td></tr>\n").arg(html(c.settings), html(settingsFile));
    out += QStringLiteral("<tr><th>%1</th><td>%2</td></tr>\n")
               .arg(html(c.mapping), html(keepDetails ? c.keptDetails : c.plainMapping));
    out += QStringLiteral("<tr><th>%1</th><td>%2</td></tr>\n")
               .arg(html(c.checked), html(locale.toString(started, QLocale::ShortFormat)));
    out += QStringLiteral("</table>\n");
    if (!errors.isEmpty()) {
        out += QStringLiteral("<h3>%1</h3>\n<ul class=\"errors\">\n").arg(html(c.runErrors));
        for (const QString &e : errors)
            out += QStringLiteral("<li>%1</li>\n").arg(html(e));
        out += QStringLiteral("</ul>\n");
    }
    if (tables.empty()) {
        out += QStringLiteral("<p>%1</p>\n").arg(html(c.noTables));
    } else {
        out += QStringLiteral("<table class=\"grid summary\">\n<tr><th>%1</th><th>%2</th><th>%3</th><th>%4</th>"
                              "<th>%5</th>"
                              "<th>%6</th><th>%7</th><th>%8</th></tr>\n")
                   .arg(html(c.status), html(c.table), html(c.target), html(c.action), html(c.rows), html(c.values),
                        html(c.rowsRejected), html(c.refused));
        for (size_t i = 0; i < tables.size(); ++i) {
            const CheckTable &t = tables[i];
            out += QStringLiteral("<tr class=\"%1\"><td><span class=\"mark\" title=\"%2\">%3</span></td>"
                                  "<td><a href=\"#t%4\">%5</a></td><td>%6</td><td>%7</td><td class=\"n\">%8</td>"
                                  "<td class=\"n\">%9</td>")
                       .arg(t.hasProblem() ? "bad" : "good", html(t.hasProblem() ? c.attention : c.ok),
                            t.hasProblem() ? QStringLiteral("!") : QStringLiteral("&#10003;"))
                       .arg(i)
                       .arg(html(t.source), html(t.target), html(c.actionCaption(t.action)), number(t.rows, locale),
                            number(t.valueCount(), locale));
            out += QStringLiteral("<td class=\"n\">%1</td><td class=\"n\">%2</td></tr>\n")
                       .arg(number(t.rowsRejected, locale))
                       .arg(t.refusedCount());
        }
        out += QStringLiteral("</table>\n");
    }
    out += QStringLiteral("<h2>%1</h2>\n<table class=\"facts\">\n").arg(html(c.estimate));
    out += QStringLiteral("<tr><th>%1</th><td>%2 s</td></tr>\n")
               .arg(html(c.time), locale.toString(estimate.seconds, 'f', 1));
    out += QStringLiteral("<tr><th></th><td>%1</td></tr>\n")
               .arg(html(c.readSpeed.arg(number(qRound64(estimate.readRowsPerSecond), locale))));
    const QString write = number(qRound64(estimate.writeRowsPerSecond), locale);
    out += QStringLiteral("<tr><th></th><td>%1</td></tr>\n")
               .arg(html(estimate.writeSource == QLatin1String("report")
                             ? c.writeFromReport.arg(estimate.writeReport, write)
                             : c.writeFromBenchmark.arg(write)));
    out += QStringLiteral("<tr><th>%1</th><td>%2</td></tr>\n")
               .arg(html(c.space), html(locale.formattedDataSize(estimate.oracleBytes)));
    out += QStringLiteral("</table>\n");
    for (size_t i = 0; i < tables.size(); ++i)
        out += tableSection(tables[i], int(i), c, locale);
    out += QStringLiteral("</body>\n</html>\n");
    return out;
}

QString checkHtmlPath(const QString &settingsFile)
{
    return replaceExtension(settingsFile, QStringLiteral(".check.html"));
}

QString checkJsonPath(const QString &settingsFile)
{
    return replaceExtension(settingsFile, QStringLiteral(".check.json"));
}

void saveCheckReport(const CheckReport &report, const CheckCaptions &captions, const QString &htmlPath,
                     const QString &jsonPath)
{
    writeFileReplacing(htmlPath, report.toHtml(captions).toUtf8(), true);
    writeFileReplacing(jsonPath, report.toJson(), true);
}

double reportWriteSpeed(const QByteArray &reportJson)
{
    const QJsonArray tables = QJsonDocument::fromJson(reportJson).object().value(QStringLiteral("tables")).toArray();
    double rows = 0, seconds = 0;
    for (const QJsonValue &v : tables) {
        const QJsonObject t = v.toObject();
        const double written = t.value(QStringLiteral("rowsWritten")).toDouble();
        if (written > 0) {
            rows += written;
            seconds += t.value(QStringLiteral("seconds")).toDouble();
        }
    }
    return rows > 0 && seconds > 0 ? rows / seconds : 0;
}

ConversionCheck::ConversionCheck(const TConversionSettings &settings, RunControl &control)
    : settings_(settings), control_(control)
{
}

CheckReport ConversionCheck::run()
{
    CheckReport report;
    report.started = QDateTime::currentDateTime();
    report.settingsFile = settingsFile_;
    report.keepDetails = settings_.KeepDetails;

    // The run reads back nothing it wrote: the verification stays off.
    TConversionSettings s = settings_;
    s.Verify = false;
    // Its sessions stand in for the target one at a time: one table after
    // the other.
    s.ParallelTables = 1;

    // The scratch target and the run's record go into a folder of the check's
    // own, which goes with it.
    QTemporaryDir work(QDir::tempPath() + QStringLiteral("/tavrex-check-XXXXXX"));
    if (!work.isValid())
        throw std::runtime_error(
            QStringLiteral("Cannot make a working folder for the check: %1").arg(work.errorString()).toStdString());
    QDir(work.path()).mkdir(QStringLiteral("run"));

    DatabaseObjects db;
    db.mysqlconnect.params() = mysqlCatalogueProfile(s);
    db.mysqlconnect.params().setValue(QStringLiteral("Database"), s.SourceDatabase);
    db.mysqlconnect.connect();
    // An embedded target that is not there yet holds no table: the check
    // reads an empty one of its own rather than make the user's file.
    OracleLogin login = oracleLoginFromParams(oracleProfile(s));
    const QString embedded = QStringLiteral("embedded:");
    if (login.service.startsWith(embedded)) {
        const QFileInfo file(login.service.mid(embedded.size()));
        if (!file.exists() || (file.isFile() && file.size() == 0))
            login.service = embedded + work.filePath(QStringLiteral("empty.db"));
    }
    CheckTarget target(openOracleSession(login), work.filePath(QStringLiteral("scratch.db")), s.OracleUser);
    db.oracleconn.adopt(target.session());
    db.oracledata.adopt(target.session());

    TRunLog log;
    ConversionRun run(db, s, log, control_);
    // The check writes nothing: no record of conversions, no claims; it reads
    // the record, so that it names and resumes tables as the run will.
    run.setKeepRecord(false);
    run.setRecordSource(&target.real());
    run.setLogFolder(work.filePath(QStringLiteral("run")) + QLatin1Char('/'));
    run.setMissingTables(missingTables_);
    // The log lines of each table: from its start to the next one's.
    std::vector<std::pair<QString, int>> starts;
    int end = -1;
    int tableIndex = -1;
    RunHooks hooks;
    hooks.progress = [&](const RunProgress &p) {
        if (p.table.isEmpty()) {
            if (end < 0)
                end = int(log.lines().size());
            target.setTable(QString());
            return;
        }
        if (p.tablesDone == tableIndex)
            return;
        tableIndex = p.tablesDone;
        starts.emplace_back(p.table, int(log.lines().size()));
        target.setTable(p.table);
        if (tableHook_)
            tableHook_(p.table);
    };
    run.setHooks(hooks);
    const RunOutcome outcome = run.run();
    if (end < 0)
        end = int(log.lines().size());
    const RunReport &done = run.report();
    if (outcome == RunOutcome::Stopped)
        report.errors << operationAbortedText();
    report.errors << done.errors;

    const auto ledger = countLedger(done.ledgerFileName.isEmpty()
                                        ? QString()
                                        : work.filePath(QStringLiteral("run/")) + done.ledgerFileName);
    const QVector<CheckedStatement> statements = target.statements();
    const QStringList lines = log.lines();
    for (const TableResult &r : done.tables) {
        CheckTable t;
        t.source = r.source;
        t.target = r.target;
        t.rows = r.rowsRead;
        t.rowsRejected = r.rowsRejected;
        t.seconds = r.seconds;
        t.errors = r.errors;
        if (!r.target.isEmpty()) {
            t.bytes = target.bytesJudged(r.target);
            t.existingRows = target.realRows(r.target);
        }
        for (size_t k = 0; k < starts.size(); ++k) {
            if (starts[k].first != r.source)
                continue;
            const int to = k + 1 < starts.size() ? starts[k + 1].second : end;
            for (int i = starts[k].second; i < to && i < lines.size(); ++i)
                if (!lines.at(i).trimmed().isEmpty())
                    t.log << lines.at(i);
        }
        const auto counted = ledger.find(r.source);
        if (counted != ledger.end())
            t.values = counted->second;
        report.tables.push_back(t);
    }
    for (const CheckedStatement &s : statements) {
        const QString owner = ownerOfStatement(s, report.tables);
        for (CheckTable &t : report.tables)
            if (t.source == owner) {
                t.statements.push_back(s);
                break;
            }
    }
    double readRows = 0, readSeconds = 0, storage = 0;
    for (size_t i = 0; i < report.tables.size(); ++i) {
        CheckTable &t = report.tables[i];
        const TableResult &r = done.tables[i];
        const bool dropped = std::any_of(t.statements.cbegin(), t.statements.cend(), [&t](const CheckedStatement &s) {
            return s.text.startsWith(QStringLiteral("drop table ") + quotedTarget(t.target));
        });
        switch (r.action) {
        case TableAction::Created:
            t.action = dropped ? QStringLiteral("drop and create") : QStringLiteral("create");
            break;
        case TableAction::Merged: t.action = QStringLiteral("merge"); break;
        case TableAction::Skipped: t.action = QStringLiteral("skip"); break;
        default: t.action = QStringLiteral("fail"); break;
        }
        t.nameNote = nameNoteFor(t, s.UppercaseNames);
        if (t.rows > 0) {
            readRows += double(t.rows);
            readSeconds += t.seconds;
        }
        if (!t.target.isEmpty())
            storage += double(target.storageJudged(t.target));
    }

    CheckEstimate &e = report.estimate;
    e.readRowsPerSecond = readSeconds > 0 ? readRows / readSeconds : 0;
    QFile last(lastRunReport_);
    if (!lastRunReport_.isEmpty() && last.open(QIODevice::ReadOnly))
        e.writeRowsPerSecond = reportWriteSpeed(last.readAll());
    if (e.writeRowsPerSecond > 0) {
        e.writeSource = QStringLiteral("report");
        e.writeReport = QFileInfo(lastRunReport_).fileName();
    } else {
        e.writeSource = QStringLiteral("benchmark");
        e.writeRowsPerSecond = kBenchmarkCopyRowsPerSecond;
    }
    // Each table takes the longer of its reading, as measured, and its
    // writing at that speed.
    for (const CheckTable &t : report.tables)
        e.seconds += std::max(t.seconds, double(t.rows) / e.writeRowsPerSecond);
    e.oracleBytes = qRound64(storage / kBlockUse);
    report.ended = QDateTime::currentDateTime();
    return report;
}

} // namespace tavrex
