#pragma once

#include "engine/conversionrun.h"
#include "engine/runreport.h"
#include "wizard/runview.h"

#include <optional>

// Taaform1, the main window: a six-step wizard over one conversion. It is a
// thin binding: the controls are copied into a TConversionSettings when a
// step needs them, the page steps of connections/profiles.h and the run of
// engine/conversionrun.h do the work, and the window reflects their results
// (lists, log, page, buttons). Every message box goes through a Prompts.
//
// Its members are defined in two places: mainwindow.cpp holds the frame
// (step panel, page set, button bar), start and end, and the navigation;
// wizard/pages/page1.cpp ... page6.cpp hold each page's controls, its part of
// the control values and its step.
//
// app/main.cpp creates it once (start-up order: title, this window, the other
// windows, message loop); widget tests create it with a recording Prompts and
// drive it by the object names of its controls.

#include "connections/profiles.h"
#include "engine/core/runlog.h"
#include "settings/controlvalues.h"
#include "wizard/tablelists.h"

#include <QString>
#include <QStringList>
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QSpinBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QStackedWidget;
class QTabWidget;
class QTableWidget;
class QTimer;
class QToolButton;
class QTranslator;

namespace tavrex {

class Taaform1;

// Where the window goes on a screen: its client size (the designed size, or
// as much of it as the available area holds inside the frame) and the top
// left of its frame, centred in the available area and never beyond it. A
// client that scrolls one way is given the scroll bar's width (scrollBar)
// the other way, as far as the area allows.
struct WindowPlacement {
    QSize client;
    QPoint topLeft;
};
WindowPlacement placeWindow(QSize design, QRect available, QMargins frame, int scrollBar = 0);

// The rows of the page-4 options: the designed pitch of 22 pixels while all
// of them and the character set under them fit into height, closer when
// they do not, but never under 18 (the column then scrolls).
constexpr int kOptionRowPitch = 22;
constexpr int kOptionRowMinimum = 18;
int optionRowPitch(int options, int height);

// The application title: the caption of the window and of its message boxes.
QString applicationTitle();
// Start-up step 1: sets the title on the application object.
void setApplicationTitle();

// The command line as the window reads it: "--language en|cn" (or
// "--language=en") anywhere sets the interface language for this start and is
// taken out; what remains are the batch arguments. A code other than "en" or
// "cn", or a missing one, is an error: its text names the option.
struct StartArguments {
    QStringList arguments;
    bool resume = false;  // "--resume": this replay continues an interrupted conversion
    QString language;  // empty: none given
    QString error;     // empty: none
};
StartArguments parseStartArguments(const QStringList &arguments);

// What the window is given at creation. Everything may be left empty.
struct WindowOptions {
    // A window that is never shown (the replay without a window): its start
    // timer fires at once and its log page does not mirror the log, whose
    // lines the program prints instead.
    bool headless = false;
    // The command-line arguments after the program's name; "--language CODE"
    // is taken out first (parseStartArguments); at least one argument left
    // puts the window in batch mode, the first naming the batch settings file.
    QStringList arguments;
    // Where the message boxes go; null: the window's own QMessageBox boxes.
    Prompts *prompts = nullptr;
    // FormCreate step 7 and FormDestroy: the per-user settings store.
    std::function<void(ControlValues &)> loadSettings;
    std::function<void(const ControlValues &)> saveSettings;
    // Batch mode hooks (the batch settings file and replay fill them in).
    // batchStart: FormCreate step 8, batch mode only. Expected to load the
    // file named by batchSettingsFile(), put its values into the controls
    // (setControlValues) and call armStartTimer(); when the file cannot be
    // loaded, to write the batch log and call endProgram() instead. An
    // exception it throws is shown in the standard error box, the timer
    // stays off and the window leaves batch mode: it opens on page 1 as an
    // ordinary window.
    std::function<void(Taaform1 &)> batchStart;
    // batchTableChoice: the unattended run on page 5, just before it presses
    // "Next >". Expected to move the tables of the file into the selected
    // list with Button2Click(), or highlightAvailable() and Button1Click()
    // per name.
    std::function<void(Taaform1 &)> batchTableChoice;
    // batchFailed: a replay that could not run, with the error shown for it
    // (a connection that failed on pages 2 to 4, a settings file in error,
    // a run that could not reach its tables or save its log): expected to
    // write the replay's record saying so. Called once per start, and not
    // when the run has saved its own record.
    std::function<void(Taaform1 &, const QString &)> batchFailed;
    // btcreatebatClick: "Create Shortcut File" on page 5 (the batch window).
    std::function<void(Taaform1 &)> createShortcut;
    // bthelpClick: opens the help page and says whether a program took it;
    // QDesktopServices::openUrl when empty.
    std::function<bool(const QUrl &)> openUrl;
    // The folder of the help pages; "help" beside the program when empty.
    QString helpFolder;
    // Every report of a run's progress, after the window has shown it (the
    // replay without a window prints it on a terminal).
    std::function<void(const RunProgress &)> runProgress;
};

class Taaform1 : public QWidget {
    Q_OBJECT

public:
    explicit Taaform1(WindowOptions options = {});
    ~Taaform1() override;

    // The page operations, public for presses made by the program (timer,
    // logo, unattended run) and for the batch replay.
    void ShowPage(int page);
    void btnextClick();
    void btbackClick();
    void bthelpClick();
    void Image1Click();
    void Timer1Timer();
    void StopClick();
    void QueryCloseClick();
    // The language link of page 1: applies the other language at once and
    // makes it the remembered choice.
    void lnklanguageClick();

    // The table buttons, the double clicks and the page-5 back step.
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void availabletablesDblClick();
    void selecttablesDblClick();
    void bkstep5Click();
    // A double click on a row of the results table: a table with an error or
    // with rejected values shows its log lines in the log memo, selected.
    void resultsDblClick(int row);

    // The state a test or the batch replay reads and sets.
    int CurrentPage() const { return currentPage_; }
    bool BatchMode() const { return batchMode_; }
    const QString &LanguageCode() const { return languageCode_; }
    // Whether Qt's own Chinese texts are loaded (the language is Chinese and
    // Qt's catalogue was found).
    bool qtTranslationLoaded() const;
    QString batchSettingsFile() const;
    // "--resume" was given: the replay continues an interrupted conversion
    // whatever its settings file says.
    bool resumeRequested() const { return start_.resume; }
    // The batch replay arms the one-second start timer (Timer1).
    void armStartTimer();
    QTimer *Timer1() const { return timer1_; }
    // Ends the program from FormCreate (a batch file that cannot be loaded):
    // app/main.cpp then runs no message loop; later it closes the window.
    void endProgram();
    bool endRequested() const { return endRequested_; }

    // The settings controls as values, as the store and the batch file use them.
    ControlValues controlValues() const;
    void setControlValues(const ControlValues &values);
    // The record the steps and the run read: the controls as they are now.
    TConversionSettings currentSettings() const;

    // The table lists, and highlighting in the available list by name: the
    // first entry equal to name (with case) alone; false when none matches.
    const TableLists &tableLists() const { return lists_; }
    bool highlightAvailable(const QString &name);

    // The caption of the chosen existing-table policy, as the batch window
    // shows it.
    QString processtableCaption() const;
    // The application's standard error box, for the windows the main window
    // opens.
    void showError(const QString &message);
    // A replay that could not run: its record says so (batchFailed), once.
    void recordReplayFailure(const QString &message);

    TRunLog &log() { return log_; }
    // The file the last run saved, empty when it saved none.
    const QString &lastLogPath() const { return lastLogPath_; }
    // A stop asked for by a signal (a replay ended by SIGINT or SIGTERM):
    // during a run, the run stops at its next pump point and saves its log,
    // ledger and report; returns false when no run is in progress.
    bool requestStopAndSave();
    // Tables named in the batch settings file that the database does not
    // list; the run reports each as an error.
    void setMissingTables(const QStringList &names) { missingTables_ = names; }
    // The record of the last run, when a run has ended since the start.
    const std::optional<RunReport> &lastRunReport() const { return lastReport_; }
    // The clock of the rows-per-second figure, in milliseconds (tests fix it).
    void setRateClock(RowRate::Clock clock) { rowRate_ = RowRate(std::move(clock)); }
    // The run's pump; QCoreApplication::processEvents unless replaced (tests
    // press "Stop" from inside it).
    void setPump(RunControl::Pump pump);
    Prompts &prompts() { return *prompts_; }

    // For the screenshot program: shows a page with sample content that
    // needs no server (database list, table lists).
    void previewPage(int page, const ListChoice &databases, const QStringList &available,
                     const QStringList &selected);
    // For the screenshot program: page 6 after a run that left this report
    // (the log holds its lines), with the results in view.
    void previewResults(const RunReport &report);
    // For the screenshot program: page 6 during a run at this report.
    void previewProgress(const RunProgress &progress, double rowsPerSecond);

    // Whether a page step is connecting or listing (the window is served
    // while it waits; Esc or the third button gives up).
    bool connecting() const { return connecting_; }

protected:
    // The title bar's close box, the window manager's close and Alt+F4:
    // during a run the "Stop" question, whose Yes stops the run, saves its
    // record as a stopped replay does and then closes; otherwise the close
    // question of "Close".
    void closeEvent(QCloseEvent *event) override;
    // Return presses the enabled "Next >" (or "Finish") unless the focus is
    // on a control that takes Return itself; Esc gives up a connect.
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    enum class CancelAction { QueryClose, Stop };

    // The frame (mainwindow.cpp): the step panel, the page set, the button
    // bar and the text holders; start and end; navigation.
    void buildWindow();
    // Sizes and places the window for its screen (placeWindow) with the
    // window manager's frame; refitToScreen does it again once the frame is
    // known or the screen changed.
    void fitToScreen(QMargins frame);
    void refitToScreen();
    void buildStepPanel();
    void buildTextHolders();
    void connectControls();
    void FormCreate();
    void FormDestroy();
    void ApplyLanguage();
    void setLanguage(const QString &code);
    void btcancelClick();
    void continueUnattendedRun();
    void enterRunning();
    void closeWhenIdle();
    // Closes the window without a question (the program asked for it).
    void closeConfirmed();
    // Bolds the step label of the sheet in view.
    void markStep(int sheet);
    // Runs a page step that connects or lists: the connections serve the
    // window while they wait, with a busy cursor once a wait has begun; a
    // give-up (Esc, the third button, a confirmed close) ends the step
    // silently.
    void whileConnecting(const std::function<void()> &step);

    // Each page (wizard/pages/pageN.cpp) builds its controls and connects
    // them, reads and sets its part of the control values, and runs the step
    // that "Next >" takes from it.
    void buildPage1(QWidget *sheet);
    void page1Values(ControlValues &values) const;
    void setPage1Values(const ControlValues &values);

    void buildPage2(QWidget *sheet);
    void accessmodeClick();
    void page2Values(ControlValues &values) const;
    void setPage2Values(const ControlValues &values);
    void step2Click();

    void buildPage3(QWidget *sheet);
    void page3Values(ControlValues &values) const;
    void setPage3Values(const ControlValues &values);
    void step3Click();

    void buildPage4(QWidget *sheet);
    ListChoice databaseList() const;
    void reflectDatabaseList(const ListChoice &choice);
    void page4Values(ControlValues &values) const;
    void setPage4Values(const ControlValues &values);
    void step4Click();

    void buildPage5(QWidget *sheet);
    void reflectTableLists();
    void applyNextRule();
    void btcreatebatClick();
    // "Check": runs the check of the current settings and shows its window.
    void openCheckWindow();
    void step5Click();

    void buildPage6(QWidget *sheet);
    void step6Click();
    void mirrorLog(TRunLog::Change change, const QString &line);
    void clearRunView();
    void startRunView();
    void showRunProgress(const RunProgress &progress);
    void reflectRunProgress();
    void reflectResults();
    void endRunView(bool completed);
    void applyRunViewLanguage();
    // Ctrl+C in the results: the rows chosen, as tab-separated text.
    void copyResultRows();
    // The folder of the last run's log, ledger and report; empty when the
    // run saved none. "Open folder" shows it in the desktop's file manager.
    QString recordFolder() const;
    void btnopenfolderClick();

    // Runs an event handler: an error ends it and shows the standard error
    // box; a silent abort ends it without a box.
    void guarded(const std::function<void()> &handler);

    WindowOptions options_;
    std::unique_ptr<Prompts> ownPrompts_;
    Prompts *prompts_ = nullptr;

    // Wizard state.
    int currentPage_ = 1;
    bool batchMode_ = false;
    QString languageCode_ = QStringLiteral("cn");
    QString rememberedLanguage_ = QStringLiteral("cn");  // what the settings store keeps
    StartArguments start_;
    QTranslator *qtTranslator_ = nullptr;
    CancelAction cancelAction_ = CancelAction::QueryClose;
    bool runActive_ = false;
    bool closeAfterRun_ = false;
    bool closeConfirmed_ = false;
    bool connecting_ = false;
    bool giveUp_ = false;
    bool endRequested_ = false;
    QStringList english_;
    QStringList chn_;

    DatabaseObjects db_;
    TConversionSettings runSettings_;  // fixed for the length of one run
    TRunLog log_;
    RunControl control_;
    TableLists lists_;
    QString lastLogPath_;
    // A replay's record (log and report) is saved: by its run, or for the
    // error that kept it from running.
    bool replayRecordSaved_ = false;
    std::optional<RunReport> lastReport_;
    QStringList missingTables_;
    // Page 6 beyond the log: the last progress report and its rate, the log
    // lines of each table of the run, and the range of each results row.
    std::optional<RunProgress> lastProgress_;
    double lastRate_ = -1;
    RowRate rowRate_;
    TableLogRanges logRanges_;
    std::vector<std::optional<TableLogRanges::Range>> resultRanges_;
    // The chosen tables a stopped run never began.
    QStringList notStarted_;
    QTimer *timer1_ = nullptr;

    // The scroll area that holds the designed client area (body_).
    QScrollArea *clientarea_ = nullptr;
    QWidget *body_ = nullptr;
    bool screenWatched_ = false;
    bool fitted_ = false;
    QMargins lastFrame_;

    // Controls, named as the object names they carry.
    QWidget *Panel1 = nullptr;
    QLabel *stepLabels_[6] = {};
    QWidget *Image1 = nullptr;
    QStackedWidget *pg = nullptr;
    QWidget *Panel3 = nullptr;
    QPushButton *btback = nullptr;
    QPushButton *btnext = nullptr;
    QPushButton *btcancel = nullptr;
    QPushButton *bthelp = nullptr;
    QLabel *lnklanguage = nullptr;  // page 1

    // Page 2.
    QGroupBox *accessmode = nullptr;
    QButtonGroup *accessmodeItems_ = nullptr;
    QLineEdit *edtdatabase = nullptr;
    QLineEdit *edtname = nullptr;
    QLineEdit *edtpassword = nullptr;
    QLineEdit *edthost = nullptr;
    QLineEdit *edtport = nullptr;

    // Page 3.
    QLineEdit *edtservice = nullptr;
    QLineEdit *edtoracleusername = nullptr;
    QLineEdit *edtoraclepassword = nullptr;

    // Page 4.
    QListWidget *mysqldblist = nullptr;
    QGroupBox *processtable = nullptr;
    QButtonGroup *processtableItems_ = nullptr;
    // The check boxes of kCheckOptions, in its order, each named by its row.
    QCheckBox *optionBoxes_[kCheckOptionCount] = {};
    // The spin boxes of its numbers (null for a check box; then the check
    // box is null for a number).
    QSpinBox *optionSpins_[kCheckOptionCount] = {};
    QComboBox *cbcharset = nullptr;

    // Page 5.
    QListWidget *availabletables = nullptr;
    QListWidget *selecttables = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;
    QPushButton *Button3 = nullptr;
    QPushButton *Button4 = nullptr;
    QPushButton *btcreatebat = nullptr;

    // Page 6.
    QPlainTextEdit *sc = nullptr;
    QTabWidget *runview = nullptr;
    QToolButton *btnopenfolder = nullptr;
    QTableWidget *results = nullptr;
    QWidget *runprogress = nullptr;
    QLabel *lbltables = nullptr;
    QLabel *lblrows = nullptr;
    QLabel *lblrate = nullptr;
    QProgressBar *pbtables = nullptr;
    QProgressBar *pbrows = nullptr;

    // The text holders of the seventh sheet, which is never shown.
    QWidget *TabSheet7 = nullptr;
    QLabel *Label29 = nullptr;
    QLabel *Label30 = nullptr;
    QLabel *Label32 = nullptr;
    QLabel *helpurl = nullptr;
    QLabel *queryclose = nullptr;
    QLabel *helpmissing = nullptr;
};

} // namespace tavrex
