#include "wizard/mainwindow.h"

#include "wizard/controls.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

// Page 6, the run: the log memo, the results table, the progress under them,
// and its step, back to page 1.

namespace tavrex {

using namespace controls;

void Taaform1::buildPage6(QWidget *sheet)
{
    auto *fill = new QVBoxLayout(sheet);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->setSpacing(4);
    // Two views of the run, one click apart: the results table once a run
    // has ended, and the log memo, the only one while the run goes.
    runview = named(new QTabWidget(sheet), "runview");
    runview->setDocumentMode(true);
    results = named(new QTableWidget(0, 7, runview), "results");
    results->setEditTriggers(QAbstractItemView::NoEditTriggers);
    results->setSelectionBehavior(QAbstractItemView::SelectRows);
    results->setSelectionMode(QAbstractItemView::SingleSelection);
    results->verticalHeader()->hide();
    results->verticalHeader()->setDefaultSectionSize(20);
    results->horizontalHeader()->setHighlightSections(false);
    results->setWordWrap(false);
    results->setTextElideMode(Qt::ElideMiddle);
    results->setIconSize(QSize(16, 16));
    // The figures and the Oracle name (at most 30 characters) as wide as they
    // need, the MySQL name (up to 64) taking the rest, cut in its middle.
    for (int column = 0; column < 7; ++column)
        results->horizontalHeader()->setSectionResizeMode(
            column, column == 1 ? QHeaderView::Stretch : QHeaderView::ResizeToContents);
    sc = named(new QPlainTextEdit(runview), "sc");
    sc->setReadOnly(true);
    sc->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Lines wrap at the memo's width: a long closing line or error stays
    // readable without a horizontal scroll bar.
    sc->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    runview->addTab(results, QString());
    runview->addTab(sc, QString());
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

    connect(results, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { guarded([this, row] { resultsDblClick(row); }); });
}

void Taaform1::step6Click()
{
    clearRunView();
    log_.Clear();
    lists_.clearSelected();
    reflectTableLists();
    close();
}

void Taaform1::clearRunView()
{
    lastProgress_.reset();
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
    const ProgressTexts texts = progressTexts(progress, lastRate_, runViewCaptions(languageCode_));
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
    fillResults(*results, *lastReport_, runViewCaptions(languageCode_));
}

void Taaform1::endRunView(bool completed)
{
    if (lastReport_)
        resultRanges_ = logRanges_.forReport(*lastReport_);
    reflectResults();
    const bool any = lastReport_ && !lastReport_->tables.empty();
    runview->setTabVisible(0, any);
    if (completed && any) {
        runprogress->hide();
        runview->setCurrentWidget(results);
    }
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
