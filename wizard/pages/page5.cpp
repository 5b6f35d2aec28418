#include "wizard/mainwindow.h"

#include "engine/conversionrun.h"
#include "engine/core/errors.h"
#include "wizard/checkwindow.h"
#include "wizard/controls.h"

#include <QApplication>

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QSignalBlocker>
#include <QStackedWidget>

// Page 5, the tables: the two lists and their buttons, the batch shortcut,
// and its step, the run.

namespace tavrex {

using namespace controls;

namespace {

// Refills a list widget from the model, keeping what the operator sees of the
// entries that stay: their highlight, the current entry and the scroll place.
void refill(QListWidget *list, const QStringList &names)
{
    QSet<QString> highlighted;
    for (const QListWidgetItem *item : list->selectedItems())
        highlighted.insert(item->text());
    const QString current = list->currentItem() ? list->currentItem()->text() : QString();
    const int scroll = list->verticalScrollBar()->value();
    const QSignalBlocker blocker(list);
    list->clear();
    list->addItems(names);
    for (int i = 0; i < list->count(); ++i) {
        QListWidgetItem *item = list->item(i);
        if (item->text() == current)
            list->setCurrentItem(item, QItemSelectionModel::NoUpdate);
        item->setSelected(highlighted.contains(item->text()));
    }
    list->verticalScrollBar()->setValue(scroll);
}

} // namespace

void Taaform1::buildPage5(QWidget *sheet)
{
    label(sheet, "Label26", 12, 8, 390, 28, true);
    label(sheet, "Label27", 12, 44, 150, 13);
    availabletables = list(sheet, "availabletables", QRect(12, 60, 150, 262), QAbstractItemView::ExtendedSelection);
    label(sheet, "Label28", 257, 44, 148, 13);
    selecttables = list(sheet, "selecttables", QRect(257, 60, 148, 262), QAbstractItemView::ExtendedSelection);
    // Wide enough for "< Remove all" between the lists.
    Button1 = button(sheet, "Button1", QStringLiteral("Add >"), QRect(167, 100, 85, 25));
    Button2 = button(sheet, "Button2", QStringLiteral("Add all >"), QRect(167, 135, 85, 25));
    Button3 = button(sheet, "Button3", QStringLiteral("< Remove"), QRect(167, 185, 85, 25));
    Button4 = button(sheet, "Button4", QStringLiteral("< Remove all"), QRect(167, 220, 85, 25));
    btcreatebat = button(sheet, "btcreatebat", QStringLiteral("Create Shortcut File"), QRect(257, 332, 148, 25));
    // "Check": what the run of the chosen tables would do, without writing
    // anything to Oracle (wizard/checkwindow.h).
    QPushButton *btcheck = button(sheet, "btcheck", checkViewCaptions(languageCode_).button, QRect(167, 332, 85, 25));

    connect(Button1, &QPushButton::clicked, this, [this] { guarded([this] { Button1Click(); }); });
    connect(Button2, &QPushButton::clicked, this, [this] { guarded([this] { Button2Click(); }); });
    connect(Button3, &QPushButton::clicked, this, [this] { guarded([this] { Button3Click(); }); });
    connect(Button4, &QPushButton::clicked, this, [this] { guarded([this] { Button4Click(); }); });
    connect(btcreatebat, &QPushButton::clicked, this, [this] { guarded([this] { btcreatebatClick(); }); });
    connect(btcheck, &QPushButton::clicked, this, [this] { guarded([this] { openCheckWindow(); }); });
    connect(availabletables, &QListWidget::itemDoubleClicked, this,
            [this] { guarded([this] { availabletablesDblClick(); }); });
    connect(selecttables, &QListWidget::itemDoubleClicked, this,
            [this] { guarded([this] { selecttablesDblClick(); }); });
}

void Taaform1::openCheckWindow()
{
    // The check runs here, on the window's thread, like the run; the window
    // is painted meanwhile but takes no input.
    const TConversionSettings settings = currentSettings();
    const CheckViewCaptions captions = checkViewCaptions(languageCode_);
    RunControl control;
    control.setPump([] { QCoreApplication::processEvents(); });
    control.setResponsivePump([] { QCoreApplication::processEvents(); });
    ConversionCheck check(settings, control);
    setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct Restore {
        Taaform1 *window;
        ~Restore()
        {
            QApplication::restoreOverrideCursor();
            window->setEnabled(true);
        }
    } restore{this};
    CheckReport report = check.run();
    auto *window = new CheckWindow(std::move(report), captions, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
}

void Taaform1::Button1Click()
{
    QList<int> rows;
    for (QListWidgetItem *item : availabletables->selectedItems())
        rows.append(availabletables->row(item));
    lists_.add(rows);
    reflectTableLists();
}

void Taaform1::Button2Click()
{
    lists_.addAll();
    reflectTableLists();
}

void Taaform1::Button3Click()
{
    QList<int> rows;
    for (QListWidgetItem *item : selecttables->selectedItems())
        rows.append(selecttables->row(item));
    lists_.remove(rows);
    reflectTableLists();
}

void Taaform1::Button4Click()
{
    lists_.removeAll();
    reflectTableLists();
}

void Taaform1::availabletablesDblClick() { Button1Click(); }

void Taaform1::selecttablesDblClick() { Button3Click(); }

void Taaform1::bkstep5Click()
{
    lists_.clear();
    reflectTableLists();
}

bool Taaform1::highlightAvailable(const QString &name)
{
    availabletables->clearSelection();
    for (int i = 0; i < availabletables->count(); ++i) {
        if (availabletables->item(i)->text() == name) {
            availabletables->item(i)->setSelected(true);
            return true;
        }
    }
    return false;
}

void Taaform1::reflectTableLists()
{
    refill(availabletables, lists_.available());
    refill(selecttables, lists_.selected());
    applyNextRule();
}

void Taaform1::applyNextRule()
{
    if (currentPage_ == 5)
        btnext->setEnabled(lists_.nextEnabled());
}

void Taaform1::btcreatebatClick()
{
    if (options_.createShortcut)
        options_.createShortcut(*this);
}

void Taaform1::step5Click()
{
    runSettings_ = currentSettings();
    lastLogPath_.clear();
    ConversionRun run(db_, runSettings_, log_, control_);
    RunCaptions captions{Label29->text(), Label30->text(), Label32->text()};
    captions.completedWithErrors = completedWithErrorsCaption(languageCode_);
    run.setCaptions(captions);
    RunHooks hooks;
    hooks.showLogPage = [this] { pg->setCurrentIndex(5); };
    hooks.enterRunning = [this] { enterRunning(); };
    hooks.closeMainWindow = [this] { closeWhenIdle(); };
    hooks.progress = [this](const RunProgress &progress) { showRunProgress(progress); };
    run.setHooks(std::move(hooks));
    if (batchMode_) {
        run.setBatchSettingsFile(batchSettingsFile());
        run.setMissingTables(missingTables_);
    }

    // However the run ends: no run is in progress any more, and a close asked
    // for during it is carried out once the handlers have returned.
    struct RunEnd {
        Taaform1 &window;
        ~RunEnd()
        {
            window.runActive_ = false;
            if (window.closeAfterRun_)
                window.closeWhenIdle();
        }
    };
    runActive_ = true;
    RunEnd end{*this};
    lastReport_.reset();
    startRunView();
    RunOutcome outcome;
    try {
        outcome = run.run();
    } catch (...) {
        // A run that failed keeps its record too, and its log stays in view.
        lastReport_ = run.report();
        replayRecordSaved_ = replayRecordSaved_ || !run.savedLogPath().isEmpty();
        endRunView(false);
        throw;
    }
    lastReport_ = run.report();
    lastLogPath_ = run.savedLogPath();
    replayRecordSaved_ = replayRecordSaved_ || !lastLogPath_.isEmpty();
    // A completed run shows its results; a stopped one keeps its log and its
    // progress in view, with the results one click away.
    endRunView(outcome == RunOutcome::Completed);
    // A stop the run honoured, or one confirmed after its last poll, leaves
    // the log page in view with "< Back" and "Close" (the state "Stop"
    // set); the press then ends like any silent abort, without advancing.
    if (outcome != RunOutcome::Completed)
        throw SilentAbort();
}

} // namespace tavrex
