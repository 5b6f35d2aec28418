#include "wizard/runview.h"

#include "connections/rowcopy.h"
#include "engine/core/runledger.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTableWidget>

#include <algorithm>

namespace tavrex {

namespace {

QString grouped(std::int64_t n)
{
    return QLocale(QLocale::English).toString(qlonglong(n));
}

std::int64_t steadyMs()
{
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer.elapsed();
}

} // namespace

ProgressBars progressBars(const RunProgress &progress)
{
    ProgressBars bars;
    bars.tablesMaximum = std::max(1, progress.tableCount);
    bars.tablesValue = std::clamp(progress.tablesDone, 0, bars.tablesMaximum);
    if (progress.table.isEmpty()) {
        // After the last table: both bars full.
        bars.rowsValue = kRowsBarScale;
        bars.tablesValue = bars.tablesMaximum;
        return bars;
    }
    const std::int64_t rows = std::max<std::int64_t>(0, progress.rowsCopied);
    if (progress.rowsEstimated < 0) {
        bars.rowsMaximum = 0;
        bars.rowsValue = 0;
    } else if (progress.rowsEstimated == 0) {
        // The statistics said empty: any row read fills the bar.
        bars.rowsValue = rows > 0 ? kRowsBarScale : 0;
    } else {
        // In 64 bits: rows * 1000 of a big table passes 32 bits.
        bars.rowsValue = int(std::min<std::int64_t>(kRowsBarScale, rows * kRowsBarScale / progress.rowsEstimated));
    }
    return bars;
}

RowRate::RowRate(Clock clock) : clock_(clock ? std::move(clock) : Clock(steadyMs)) {}

void RowRate::reset()
{
    started_ = false;
    table_.clear();
    tablesDone_ = -1;
}

double RowRate::update(const RunProgress &progress)
{
    if (progress.table.isEmpty()) {
        reset();
        return -1;
    }
    // Several tables at once: their rows start at different moments, so no
    // one rate is shown.
    if (!progress.running.empty()) {
        reset();
        return -1;
    }
    const std::int64_t now = clock_();
    lastMs_ = now;
    if (!started_ || progress.table != table_ || progress.tablesDone != tablesDone_) {
        started_ = true;
        table_ = progress.table;
        tablesDone_ = progress.tablesDone;
        startMs_ = now;
        return -1;
    }
    const std::int64_t elapsed = now - startMs_;
    if (elapsed < 500)
        return -1;
    return double(progress.rowsCopied) * 1000.0 / double(elapsed);
}

QString durationText(double seconds)
{
    const std::int64_t whole = std::max<std::int64_t>(0, std::int64_t(seconds + 0.5));
    const std::int64_t h = whole / 3600, m = whole / 60 % 60, sec = whole % 60;
    const auto two = [](std::int64_t n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    return h > 0 ? QStringLiteral("%1:%2:%3").arg(h).arg(two(m), two(sec))
                 : QStringLiteral("%1:%2").arg(m).arg(two(sec));
}

ProgressTexts progressTexts(const RunProgress &progress, double rowsPerSecond, const RunViewCaptions &captions,
                            double secondsInTable)
{
    ProgressTexts texts;
    texts.tables = captions.tablesProgress.arg(progress.tablesDone).arg(progress.tableCount);
    if (progress.table.isEmpty()) {
        texts.rows = captions.allTablesDone;
        return texts;
    }
    auto rowsText = [&captions](const QString &table, std::int64_t copied, std::int64_t estimated) {
        return estimated < 0 ? captions.rowsNoEstimate.arg(table, grouped(copied))
                             : captions.rowsProgress.arg(table, grouped(copied), grouped(estimated));
    };
    if (!progress.running.empty()) {
        // Several tables at once: a line for each.
        QStringList lines;
        for (const TableProgress &t : progress.running)
            lines << rowsText(t.table, t.rowsCopied, t.rowsEstimated);
        texts.rows = lines.join(QLatin1Char('\n'));
        return texts;
    }
    texts.rows = rowsText(progress.table, progress.rowsCopied, progress.rowsEstimated);
    if (rowsPerSecond >= 0)
        texts.rate = captions.rowsPerSecond.arg(grouped(std::int64_t(rowsPerSecond + 0.5)));
    if (rowsPerSecond > 0 && secondsInTable >= kMinSecondsForRemaining &&
        progress.rowsEstimated > progress.rowsCopied)
        texts.rate += QStringLiteral(", ") +
                      captions.timeRemaining.arg(
                          durationText(double(progress.rowsEstimated - progress.rowsCopied) / rowsPerSecond));
    return texts;
}

QString progressLine(const ProgressTexts &texts)
{
    // The lines of several tables at once share the one line.
    QStringList parts{texts.tables, QString(texts.rows).replace(QLatin1Char('\n'), QStringLiteral("; "))};
    if (!texts.rate.isEmpty())
        parts << texts.rate;
    return parts.join(QStringLiteral(" | "));
}

TableStatus tableStatus(const TableResult &table)
{
    if (!table.errors.isEmpty() || table.action == TableAction::Failed)
        return TableStatus::Failed;
    if (table.valuesRejected > 0 || table.rowsRejected > 0 || table.verified == Verification::Differs)
        return TableStatus::Rejected;
    if (table.action == TableAction::Skipped)
        return TableStatus::Skipped;
    return TableStatus::Ok;
}

int stoppedTableIndex(const RunReport &report)
{
    if (report.outcome != RunResultOutcome::Stopped || report.tables.empty())
        return -1;
    const TableResult &last = report.tables.back();
    return last.errors.contains(operationAbortedText()) ? int(report.tables.size()) - 1 : -1;
}

QStringList tablesNotStarted(const RunReport &report, const QStringList &chosen, int missingTables)
{
    if (report.outcome != RunResultOutcome::Stopped)
        return QStringList();
    const qsizetype begun = qsizetype(report.tables.size()) - std::max(0, missingTables);
    return begun >= 0 ? chosen.mid(begun) : chosen;
}

ProgressTexts stoppedTexts(const RunReport &report, const QStringList &notStarted, int missingTables,
                           const RunViewCaptions &captions)
{
    ProgressTexts texts;
    const int stopped = stoppedTableIndex(report);
    const int begun = int(report.tables.size()) - std::max(0, missingTables);
    const int chosen = begun + int(notStarted.size());
    const int done = std::max(0, stopped >= 0 ? begun - 1 : begun);
    if (stopped >= 0) {
        const TableResult &table = report.tables.at(std::size_t(stopped));
        texts.tables = captions.stoppedAt.arg(table.source).arg(done).arg(chosen);
        texts.rows = captions.rowsKept.arg(table.source, grouped(table.rowsWritten));
    } else if (!notStarted.isEmpty()) {
        texts.tables = captions.stoppedBefore.arg(notStarted.first()).arg(done).arg(chosen);
    } else {
        texts.tables = QString(captions.stoppedAfter).replace(QLatin1String("%2"), QString::number(done))
                           .replace(QLatin1String("%3"), QString::number(chosen));
    }
    return texts;
}

QStringList rejectionLines(const QString &ledgerPath, const QString &table, const RunViewCaptions &captions,
                           int limit)
{
    QFile file(ledgerPath);
    if (ledgerPath.isEmpty() || !file.open(QIODevice::ReadOnly))
        return QStringList();
    const QList<QStringList> records = parseCsv(QString::fromUtf8(file.readAll()));
    // table,row,column,reason,value; the header and the reload-file records
    // are no rejections.
    QStringList reasons;
    QHash<QString, QStringList> byReason;
    int count = 0;
    for (qsizetype i = 1; i < records.size(); ++i) {
        const QStringList &r = records.at(i);
        if (r.size() < 5 || r.at(0) != table || r.at(3) == QLatin1String("reload file"))
            continue;
        if (!byReason.contains(r.at(3)))
            reasons << r.at(3);
        byReason[r.at(3)] << captions.rejectionLine.arg(r.at(3), r.at(2), r.at(1), r.at(4));
        ++count;
    }
    QStringList lines;
    for (const QString &reason : reasons)
        lines += byReason.value(reason);
    if (lines.size() > limit) {
        lines = lines.mid(0, std::max(0, limit - 1));
        lines << captions.moreRejections.arg(count - int(lines.size()));
    }
    return lines;
}

QString statusText(TableStatus status, const RunViewCaptions &captions)
{
    switch (status) {
    case TableStatus::Ok: return captions.statusOk;
    case TableStatus::Skipped: return captions.statusSkipped;
    case TableStatus::Rejected: return captions.statusRejected;
    case TableStatus::Failed: return captions.statusFailed;
    case TableStatus::Stopped: return captions.statusStopped;
    case TableStatus::NotStarted: return captions.statusNotStarted;
    }
    return QString();
}

QIcon statusIcon(TableStatus status)
{
    // Drawn here, so the icons look the same under every style and platform.
    const int size = 16;
    QPixmap picture(size, size);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF disc(1, 1, size - 2, size - 2);
    QPen mark(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (status) {
    case TableStatus::Ok: {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x2e, 0x7d, 0x32));
        p.drawEllipse(disc);
        p.setPen(mark);
        QPainterPath tick;
        tick.moveTo(4.5, 8.5);
        tick.lineTo(7, 11);
        tick.lineTo(11.5, 5.5);
        p.setBrush(Qt::NoBrush);
        p.drawPath(tick);
        break;
    }
    case TableStatus::Skipped:
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x60, 0x7d, 0x8b));
        p.drawEllipse(disc);
        p.setPen(mark);
        p.drawLine(QPointF(4.5, 8), QPointF(11.5, 8));
        break;
    case TableStatus::Rejected: {
        QPainterPath triangle;
        triangle.moveTo(8, 1);
        triangle.lineTo(15, 14.5);
        triangle.lineTo(1, 14.5);
        triangle.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xe6, 0x9a, 0x00));
        p.drawPath(triangle);
        p.setPen(mark);
        p.drawLine(QPointF(8, 5.5), QPointF(8, 9.5));
        p.drawPoint(QPointF(8, 12.3));
        break;
    }
    case TableStatus::Failed:
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xc6, 0x28, 0x28));
        p.drawEllipse(disc);
        p.setPen(mark);
        p.drawLine(QPointF(5.3, 5.3), QPointF(10.7, 10.7));
        p.drawLine(QPointF(10.7, 5.3), QPointF(5.3, 10.7));
        break;
    case TableStatus::Stopped:
        // A pause sign: the copy ended at the operator's word.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x8d, 0x5a, 0x00));
        p.drawEllipse(disc);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(5, 4.5, 2.2, 7));
        p.drawRect(QRectF(8.8, 4.5, 2.2, 7));
        break;
    case TableStatus::NotStarted:
        p.setPen(QPen(QColor(0x90, 0x90, 0x90), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(disc.adjusted(0.5, 0.5, -0.5, -0.5));
        break;
    }
    p.end();
    return QIcon(picture);
}

QStringList resultCells(const TableResult &table, const RunViewCaptions &captions)
{
    const QString verified = table.verified == Verification::Equal     ? captions.verifiedEqual
                             : table.verified == Verification::Differs ? captions.verifiedDiffers
                                                                          : captions.notVerified;
    return QStringList{table.source,
                       table.target,
                       grouped(table.rowsWritten),
                       grouped(table.valuesRejected) + QStringLiteral(" / ") + grouped(table.rowsRejected),
                       verified,
                       QString::number(table.seconds, 'f', 1)};
}

void fillResults(QTableWidget &results, const RunReport &report, const RunViewCaptions &captions,
                 const ResultExtras &extras)
{
    results.clearContents();
    results.clearSpans();
    results.setColumnCount(int(captions.headers.size()));
    results.setHorizontalHeaderLabels(captions.headers);
    if (QTableWidgetItem *rejected = results.horizontalHeaderItem(4))
        rejected->setToolTip(captions.rejectedTip);
    const int reported = int(report.tables.size());
    results.setRowCount(reported + int(extras.notStarted.size()));
    const int stopped = stoppedTableIndex(report);
    const auto setRow = [&results, &captions](int row, TableStatus status, const QStringList &cells,
                                              const QString &rowTip) {
        auto *icon = new QTableWidgetItem(statusIcon(status), QString());
        icon->setToolTip(rowTip.isEmpty() ? statusText(status, captions)
                                          : statusText(status, captions) + QStringLiteral("\n\n") + rowTip);
        icon->setData(Qt::AccessibleTextRole, statusText(status, captions));
        icon->setData(Qt::UserRole, int(status));
        icon->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        results.setItem(row, 0, icon);
        for (int column = 0; column < cells.size(); ++column) {
            auto *item = new QTableWidgetItem(cells.at(column));
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            // Figures right-aligned, names left.
            item->setTextAlignment(Qt::AlignVCenter | (column >= 2 ? Qt::AlignRight : Qt::AlignLeft));
            // A name cut in its middle shows whole as the tip.
            QString tip = column < 2 ? cells.at(column) : QString();
            if (!rowTip.isEmpty())
                tip = tip.isEmpty() ? rowTip : tip + QStringLiteral("\n\n") + rowTip;
            item->setToolTip(tip);
            results.setItem(row, column + 1, item);
        }
    };
    for (int row = 0; row < reported; ++row) {
        const TableResult &table = report.tables.at(std::size_t(row));
        const TableStatus status = row == stopped ? TableStatus::Stopped : tableStatus(table);
        QStringList cells = resultCells(table, captions);
        // The stopped table says so where its verification and time would be.
        if (status == TableStatus::Stopped) {
            cells[4] = captions.statusStopped;
            cells[5].clear();
        }
        // A row with an error says what failed and how to see its lines; a
        // row with rejected values lists them from the ledger.
        QStringList tip;
        if (!table.errors.isEmpty())
            tip << table.errors.join(QLatin1Char('\n'));
        const QStringList rejected = extras.rejections.value(table.source);
        if (!rejected.isEmpty())
            tip << rejected.join(QLatin1Char('\n'));
        if (table.hasProblem())
            tip << captions.errorRowTip;
        setRow(row, status, cells, tip.join(QStringLiteral("\n\n")));
        if (status == TableStatus::Stopped) {
            results.setSpan(row, 5, 1, 2);
            results.item(row, 5)->setTextAlignment(Qt::AlignVCenter | Qt::AlignLeft);
        }
    }
    // A table never begun: its name, and the words across its figures.
    for (int i = 0; i < int(extras.notStarted.size()); ++i) {
        const int row = reported + i;
        setRow(row, TableStatus::NotStarted,
               QStringList{extras.notStarted.at(i), QString(), captions.statusNotStarted, QString(), QString(),
                           QString()},
               QString());
        results.setSpan(row, 3, 1, 4);
        results.item(row, 3)->setTextAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    }
}

void fitResultColumns(QTableWidget &results, int width, const QStringList &headers)
{
    QHeaderView *header = results.horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(false);
    // The captions' widths, measured whole before any column moves (each
    // move cuts the captions anew).
    for (int column = 0; column < results.columnCount() && column < headers.size(); ++column)
        if (QTableWidgetItem *item = results.horizontalHeaderItem(column))
            item->setText(headers.at(column));
    const QFontMetrics metrics(header->font());
    std::vector<int> captionWidths;
    for (int column = 0; column < results.columnCount(); ++column)
        captionWidths.push_back(column < headers.size() ? metrics.horizontalAdvance(headers.at(column)) + 20 : 0);
    const auto headerWidth = [&](int column) { return captionWidths.at(std::size_t(column)); };
    // Each column as wide as its own cells; a text spread across several
    // columns (a stopped or a never-begun table's words) widens none.
    const QFontMetrics cellMetrics(results.font());
    for (int column = 0; column < results.columnCount(); ++column) {
        int widest = column == 0 ? results.iconSize().width() + 12 : 0;
        for (int row = 0; row < results.rowCount(); ++row) {
            const QTableWidgetItem *item = results.item(row, column);
            if (item && results.columnSpan(row, column) == 1)
                widest = std::max(widest, cellMetrics.horizontalAdvance(item->text()) + 14);
        }
        header->resizeSection(column, widest);
    }
    int figures = 0;
    for (int column = 0; column < results.columnCount(); ++column) {
        if (column == 1 || column == 2)
            continue;
        header->resizeSection(column, std::max(header->sectionSize(column), headerWidth(column)));
        figures += header->sectionSize(column);
    }
    // The names share the rest: each as wide as it needs when both fit,
    // else half each (the longer taking what the shorter leaves), cut in
    // their middle; never narrower than kNarrowestName, so that on a narrow
    // page the table scrolls sideways rather than hide a name.
    constexpr int kNarrowestName = 56;
    const int rest = std::max(0, width - figures);
    int mysql = std::max(header->sectionSize(1), headerWidth(1));
    int oracle = std::max(header->sectionSize(2), headerWidth(2));
    if (mysql + oracle > rest) {
        const int half = rest / 2;
        if (oracle <= half)
            mysql = rest - oracle;
        else if (mysql <= half)
            oracle = rest - mysql;
        else
            mysql = oracle = half;
        mysql = std::max(mysql, kNarrowestName);
        oracle = std::max(oracle, kNarrowestName);
    } else {
        mysql = rest - oracle;
    }
    header->resizeSection(1, mysql);
    header->resizeSection(2, oracle);
    elideResultHeaders(results, headers);
}

void elideResultHeaders(QTableWidget &results, const QStringList &headers)
{
    const QHeaderView *header = results.horizontalHeader();
    const QFontMetrics metrics(header->font());
    for (int column = 0; column < results.columnCount() && column < headers.size(); ++column) {
        QTableWidgetItem *item = results.horizontalHeaderItem(column);
        if (!item)
            continue;
        const QString shown =
            metrics.elidedText(headers.at(column), Qt::ElideRight, std::max(0, header->sectionSize(column) - 12));
        if (item->text() != shown)
            item->setText(shown);
        // The rejected column's tip explains its two figures already.
        if (column != 4)
            item->setToolTip(shown != headers.at(column) ? headers.at(column) : QString());
    }
}

QString copiedRows(const QTableWidget &results, QList<int> rows, const RunViewCaptions &captions)
{
    std::sort(rows.begin(), rows.end());
    QStringList lines;
    QStringList header{captions.statusHeader};
    header += captions.headers.mid(1);
    lines << header.join(QLatin1Char('\t'));
    for (int row : rows) {
        QStringList cells;
        const QTableWidgetItem *icon = results.item(row, 0);
        cells << (icon ? icon->data(Qt::AccessibleTextRole).toString() : QString());
        for (int column = 1; column < results.columnCount(); ++column) {
            const QTableWidgetItem *item = results.item(row, column);
            cells << (item ? item->text() : QString());
        }
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void TableLogRanges::update(const RunProgress &progress, int logSize)
{
    const bool open = !ranges_.empty() && ranges_.back().end < 0;
    if (progress.table.isEmpty()) {
        if (open)
            ranges_.back().end = logSize;
        tablesDone_ = -1;
        return;
    }
    // Several tables at once: a table's lines go into the log together when
    // it ends, right after the report that says so.
    if (!progress.running.empty() && !progress.logBlock)
        return;
    // A table's first report: another table, or the same name again after
    // the tables done have moved on.
    if (open && ranges_.back().table == progress.table && progress.tablesDone == tablesDone_)
        return;
    if (open)
        ranges_.back().end = logSize;
    ranges_.push_back(Range{progress.table, logSize, -1});
    tablesDone_ = progress.tablesDone;
}

std::vector<std::optional<TableLogRanges::Range>> TableLogRanges::forReport(const RunReport &report) const
{
    std::vector<std::optional<Range>> out;
    std::vector<bool> used(ranges_.size(), false);
    std::size_t next = 0;
    for (const TableResult &table : report.tables) {
        std::optional<Range> found;
        // In run order; with several tables at once the lines of a later
        // table may come first, so an earlier range not yet taken serves too.
        for (std::size_t pass = 0; pass < 2 && !found; ++pass) {
            for (std::size_t i = pass == 0 ? next : 0; i < ranges_.size(); ++i) {
                if (!used[i] && ranges_[i].table == table.source) {
                    found = ranges_[i];
                    used[i] = true;
                    if (pass == 0)
                        next = i + 1;
                    break;
                }
            }
        }
        out.push_back(found);
    }
    return out;
}

QStringList TableLogRanges::linesOf(const Range &range, const TRunLog &log, int *firstLine)
{
    int first = std::clamp(range.first, 0, log.size());
    int end = range.end < 0 ? log.size() : std::clamp(range.end, first, log.size());
    while (first < end && log.lines().at(first).trimmed().isEmpty())
        ++first;
    while (end > first && log.lines().at(end - 1).trimmed().isEmpty())
        --end;
    if (firstLine)
        *firstLine = first;
    return log.lines().mid(first, end - first);
}

} // namespace tavrex
