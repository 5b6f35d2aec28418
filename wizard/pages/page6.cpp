#include "wizard/mainwindow.h"

#include "engine/core/prompts.h"
#include "wizard/controls.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

// Page 6, the run: the log memo, the results table, the progress under them,
// and its step, back to page 1.

namespace tavrex {

using namespace controls;

void Taaform1::buildPage6(QWidget *sheet)
{
    // The margins of the other pages: their controls keep 12 pixels from
    // the page's right edge and 8 from the button bar.
    auto *fill = new QVBoxLayout(sheet);
    fill->setContentsMargins(4, 4, 12, 6);
    fill->setSpacing(4);
    // Two views of the run, one click apart: the results table once a run
    // has ended, and the log memo, the only one while the run goes.
    runview = named(new QTabWidget(sheet), "runview");
    runview->setDocumentMode(true);
    results = named(new QTableWidget(0, 7, runview), "results");
    results->setEditTriggers(QAbstractItemView::NoEditTriggers);
    results->setSelectionBehavior(QAbstractItemView::SelectRows);
    results->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Tab leaves the table; Return and Ctrl+C are the window's (eventFilter).
    results->setTabKeyNavigation(false);
    results->installEventFilter(this);
    results->verticalHeader()->hide();
    results->verticalHeader()->setDefaultSectionSize(20);
    results->horizontalHeader()->setHighlightSections(false);
    results->setWordWrap(false);
    results->setTextElideMode(Qt::ElideMiddle);
    results->setIconSize(QSize(16, 16));
    // Every column can be resized; fitResultColumns gives the first widths.
    results->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    results->horizontalHeader()->setStretchLastSection(false);
    sc = named(new QPlainTextEdit(runview), "sc");
    sc->setReadOnly(true);
    sc->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Lines wrap at the memo's width: a long closing line or error stays
    // readable without a horizontal scroll bar.
    sc->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    runview->addTab(results, QString());
    runview->addTab(sc, QString());
    // Beside the tabs once a run has saved its record: its folder in the
    // desktop's file manager.
    btnopenfolder = named(new QToolButton(runview), "btnopenfolder");
    btnopenfolder->hide();
    runview->setCornerWidget(btnopenfolder, Qt::TopRightCorner);
    connect(btnopenfolder, &QToolButton::clicked, this, [this] { guarded([this] { btnopenfolderClick(); }); });
    runview->setTabVisible(0, false);
    runview->setCurrentWidget(sc);
    fill->addWidget(runview, 1);

    // The progress under the log while a run goes: the tables done of the
    // tables chosen, and the rows of the table in work against the server's
    // estimate, with its rate.
    runprogress = named(new QWidget(sheet), "runprogress");
    auto *grid = new QVBoxLayout(runprogress);
    grid->setContentsMargins(2, 0, 2, 2);
    grid->setSpacing(2);
    lbltables = named(new QLabel(runprogress), "lbltables");
    pbtables = named(new QProgressBar(runprogress), "pbtables");
    auto *rowsLine = new QHBoxLayout;
    rowsLine->setContentsMargins(0, 0, 0, 0);
    lblrows = named(new QLabel(runprogress), "lblrows");
    lblrate = named(new QLabel(runprogress), "lblrate");
    lblrate->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    rowsLine->addWidget(lblrows, 1);
    rowsLine->addWidget(lblrate);
    pbrows = named(new QProgressBar(runprogress), "pbrows");
    for (QProgressBar *bar : {pbtables, pbrows}) {
        bar->setFixedHeight(14);
        bar->setTextVisible(true);
    }
    // The labels may hold a long table name: cut, never widening the page.
    for (QLabel *l : {lbltables, lblrows})
        l->setMinimumWidth(1);
    lblrows->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    grid->addWidget(lbltables);
    grid->addWidget(pbtables);
    grid->addLayout(rowsLine);
    grid->addWidget(pbrows);
    runprogress->hide();
    fill->addWidget(runprogress);

    connect(results->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this] { elideResultHeaders(*results, runViewCaptions(languageCode_).headers); });
    connect(results, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { guarded([this, row] { resultsDblClick(row); }); });
}

void Taaform1::step6Click()
{
    clearRunView();
    log_.Clear();
    lists_.clearSelected();
    reflectTableLists();
    closeConfirmed();
}

bool Taaform1::eventFilter(QObject *watched, QEvent *event)
{
    // The columns take the table's width when it is shown or resized.
    if (watched == results && (event->type() == QEvent::Show || event->type() == QEvent::Resize) &&
        results->rowCount() > 0)
        fitResultColumns(*results, results->viewport()->width(), runViewCaptions(languageCode_).headers);
    if (watched == results && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->matches(QKeySequence::Copy)) {
            copyResultRows();
            return true;
        }
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            // As a double click: the table's log lines.
            const int row = results->currentRow();
            if (row >= 0)
                guarded([this, row] { resultsDblClick(row); });
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Taaform1::copyResultRows()
{
    QList<int> rows;
    for (const QModelIndex &index : results->selectionModel()->selectedRows())
        rows << index.row();
    if (rows.isEmpty() && results->currentRow() >= 0)
        rows << results->currentRow();
    if (rows.isEmpty())
        return;
    QGuiApplication::clipboard()->setText(copiedRows(*results, rows, runViewCaptions(languageCode_)));
}

QString Taaform1::recordFolder() const
{
    return lastLogPath_.isEmpty() ? QString() : QFileInfo(lastLogPath_).absolutePath();
}

void Taaform1::btnopenfolderClick()
{
    const QString folder = recordFolder();
    if (folder.isEmpty())
        return;
    const QUrl address = QUrl::fromLocalFile(folder);
    const bool opened = options_.openUrl ? options_.openUrl(address) : QDesktopServices::openUrl(address);
    // Without a file manager the operator still learns where to look.
    if (!opened)
        prompts_->information(applicationTitle(), QDir::toNativeSeparators(folder));
}

void Taaform1::clearRunView()
{
    lastProgress_.reset();
    btnopenfolder->hide();
    resultRanges_.clear();
    results->setRowCount(0);
    runview->setTabVisible(0, false);
    runview->setCurrentWidget(sc);
    runprogress->hide();
}

void Taaform1::startRunView()
{
    lastProgress_.reset();
    lastRate_ = -1;
    rowRate_.reset();
    logRanges_.clear();
    resultRanges_.clear();
    results->setRowCount(0);
    runview->setTabVisible(0, false);
    runview->setCurrentWidget(sc);
    btnopenfolder->hide();
    runprogress->show();
    reflectRunProgress();
}

void Taaform1::showRunProgress(const RunProgress &progress)
{
    logRanges_.update(progress, log_.size());
    lastRate_ = rowRate_.update(progress);
    lastProgress_ = progress;
    // Without a window nobody sees the bars and labels; laying them out and
    // painting them at every pump point would cost the replay a tenth of its time.
    if (!options_.headless)
        reflectRunProgress();
    if (options_.runProgress)
        options_.runProgress(progress);
}

void Taaform1::reflectRunProgress()
{
    const RunProgress progress = lastProgress_.value_or(RunProgress());
    const ProgressBars bars = progressBars(progress);
    // The range first: a value outside the old range would be ignored.
    pbtables->setRange(0, bars.tablesMaximum);
    pbtables->setValue(bars.tablesValue);
    pbrows->setRange(0, bars.rowsMaximum);
    pbrows->setValue(bars.rowsValue);
    const RunViewCaptions captions = runViewCaptions(languageCode_);
    ProgressTexts texts = progressTexts(progress, lastRate_, captions, rowRate_.secondsInTable());
    // A stopped run says where it stopped, not where its last report was.
    if (lastReport_ && lastReport_->outcome == RunResultOutcome::Stopped)
        texts = stoppedTexts(*lastReport_, notStarted_, int(missingTables_.size()), captions);
    lbltables->setText(lastProgress_ ? texts.tables : QString());
    lblrows->setText(lastProgress_ ? texts.rows : QString());
    lblrate->setText(lastProgress_ ? texts.rate : QString());
}

void Taaform1::reflectResults()
{
    if (!lastReport_) {
        results->setRowCount(0);
        return;
    }
    const RunViewCaptions captions = runViewCaptions(languageCode_);
    ResultExtras extras;
    extras.notStarted = notStarted_;
    const QString ledger = lastLogPath_.isEmpty() ? QString() : ledgerPathForLog(lastLogPath_);
    for (const TableResult &table : lastReport_->tables)
        if (table.valuesRejected > 0 || table.rowsRejected > 0)
            extras.rejections.insert(table.source, rejectionLines(ledger, table.source, captions));
    fillResults(*results, *lastReport_, captions, extras);
    fitResultColumns(*results, results->viewport()->width(), captions.headers);
    btnopenfolder->setText(captions.openFolder);
    btnopenfolder->setToolTip(captions.openFolderTip.arg(QDir::toNativeSeparators(recordFolder())));
}

void Taaform1::endRunView(bool completed)
{
    notStarted_.clear();
    if (lastReport_) {
        resultRanges_ = logRanges_.forReport(*lastReport_);
        notStarted_ = tablesNotStarted(*lastReport_, runSettings_.SelectedTables, int(missingTables_.size()));
    }
    reflectResults();
    const bool any = lastReport_ && (!lastReport_->tables.empty() || !notStarted_.isEmpty());
    runview->setTabVisible(0, any);
    btnopenfolder->setVisible(!lastLogPath_.isEmpty());
    if (completed && any) {
        runprogress->hide();
        runview->setCurrentWidget(results);
    }
    reflectRunProgress();
}

void Taaform1::applyRunViewLanguage()
{
    const RunViewCaptions captions = runViewCaptions(languageCode_);
    runview->setTabText(0, captions.resultsTab);
    runview->setTabText(1, captions.logTab);
    results->setHorizontalHeaderLabels(captions.headers);
    reflectRunProgress();
    if (lastReport_)
        reflectResults();
}

void Taaform1::resultsDblClick(int row)
{
    if (!lastReport_ || row < 0 || row >= int(lastReport_->tables.size()))
        return;
    if (!lastReport_->tables.at(std::size_t(row)).hasProblem())
        return;
    if (std::size_t(row) >= resultRanges_.size() || !resultRanges_.at(std::size_t(row)))
        return;
    int first = 0;
    const QStringList lines = TableLogRanges::linesOf(*resultRanges_.at(std::size_t(row)), log_, &first);
    if (lines.isEmpty())
        return;
    runview->setCurrentWidget(sc);
    // The memo holds one block per log line: select the table's lines and
    // bring the first to the top.
    const QTextBlock begin = sc->document()->findBlockByNumber(first);
    const QTextBlock last = sc->document()->findBlockByNumber(first + int(lines.size()) - 1);
    if (!begin.isValid() || !last.isValid())
        return;
    QTextCursor cursor(sc->document());
    cursor.setPosition(last.position() + last.length() - 1);
    sc->setTextCursor(cursor);
    sc->ensureCursorVisible();
    cursor.setPosition(begin.position(), QTextCursor::KeepAnchor);
    sc->setTextCursor(cursor);
    sc->ensureCursorVisible();
}

void Taaform1::previewProgress(const RunProgress &progress, double rowsPerSecond)
{
    // The Running state: still page 5, the log sheet in view, "Stop".
    currentPage_ = 5;
    ShowPage(5);
    pg->setCurrentIndex(5);
    enterRunning();
    startRunView();
    lastProgress_ = progress;
    lastRate_ = rowsPerSecond;
    reflectRunProgress();
}

void Taaform1::previewResults(const RunReport &report)
{
    lastReport_ = report;
    logRanges_.clear();
    currentPage_ = 6;
    ShowPage(6);
    endRunView(true);
}

void Taaform1::mirrorLog(TRunLog::Change change, const QString &line)
{
    if (options_.headless)
        return;
    switch (change) {
    case TRunLog::Change::Appended:
        // The first line replaces the empty document, so that a first empty
        // line still counts as a line.
        if (log_.size() == 1)
            sc->setPlainText(line);
        else
            sc->appendPlainText(line);
        break;
    case TRunLog::Change::RewrittenLast: {
        QTextCursor cursor(sc->document());
        cursor.movePosition(QTextCursor::End);
        cursor.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
        cursor.insertText(line);
        break;
    }
    case TRunLog::Change::Cleared:
        sc->clear();
        break;
    }
}

} // namespace tavrex
