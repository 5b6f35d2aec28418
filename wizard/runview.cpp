#include "wizard/runview.h"

#include <QElapsedTimer>
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

ProgressTexts progressTexts(const RunProgress &progress, double rowsPerSecond, const RunViewCaptions &captions)
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

QString statusText(TableStatus status, const RunViewCaptions &captions)
{
    switch (status) {
    case TableStatus::Ok: return captions.statusOk;
    case TableStatus::Skipped: return captions.statusSkipped;
    case TableStatus::Rejected: return captions.statusRejected;
    case TableStatus::Failed: return captions.statusFailed;
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

void fillResults(QTableWidget &results, const RunReport &report, const RunViewCaptions &captions)
{
    results.clearContents();
    results.setColumnCount(int(captions.headers.size()));
    results.setHorizontalHeaderLabels(captions.headers);
    if (QTableWidgetItem *rejected = results.horizontalHeaderItem(4))
        rejected->setToolTip(captions.rejectedTip);
    results.setRowCount(int(report.tables.size()));
    for (int row = 0; row < int(report.tables.size()); ++row) {
        const TableResult &table = report.tables.at(std::size_t(row));
        const TableStatus status = tableStatus(table);
        auto *icon = new QTableWidgetItem(statusIcon(status), QString());
        icon->setToolTip(statusText(status, captions));
        icon->setData(Qt::AccessibleTextRole, statusText(status, captions));
        icon->setData(Qt::UserRole, int(status));
        icon->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        results.setItem(row, 0, icon);
        const QStringList cells = resultCells(table, captions);
        // A row with an error says what failed and how to see its lines.
        const QString tip = table.errors.isEmpty()
                                ? QString()
                                : table.errors.join(QLatin1Char('\n')) + QStringLiteral("\n\n") + captions.errorRowTip;
        for (int column = 0; column < cells.size(); ++column) {
            auto *item = new QTableWidgetItem(cells.at(column));
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            // Figures right-aligned, names left.
            item->setTextAlignment(Qt::AlignVCenter | (column >= 2 ? Qt::AlignRight : Qt::AlignLeft));
            if (!tip.isEmpty())
                item->setToolTip(tip);
            results.setItem(row, column + 1, item);
        }
    }
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
