#pragma once

// The two caption languages of the main window. The tables are data, rows of
// "key=caption", the key being the name of a control of the main window: the
// 44 rows of the first design, then the later check-box options of page 4
// (kCheckOptions after its first four), the language link of page 1, the
// text holder helpmissing and the service hint of page 3. Rows may carry tool
// tips (toolTipTable). The window applies one of them in FormCreate
// through ApplyLanguage, and again whenever the language link switches; the
// run and the close question read the text holders (Label29, Label30,
// Label32, queryclose) and "Help" reads helpurl and helpmissing.

#include "engine/check.h"

#include <QString>
#include <QStringList>

class QWidget;

namespace tavrex {

// The interface language codes. The wizard starts with "cn", then takes the
// remembered choice of the settings store and the command line's --language.
inline QString languageEnglish() { return QStringLiteral("en"); }
inline QString languageChinese() { return QStringLiteral("cn"); }
inline bool isLanguageCode(const QString &code) { return code == languageEnglish() || code == languageChinese(); }
// The language the page-1 link switches to.
inline QString otherLanguage(const QString &code)
{
    return code == languageEnglish() ? languageChinese() : languageEnglish();
}

// The file names of the two help pages, which are installed in the folder
// "help" beside the program.
inline QString helpPageEnglish() { return QStringLiteral("tavrex-help-en.html"); }
inline QString helpPageChinese() { return QStringLiteral("tavrex-help-cn.html"); }

// The tables "english" and "chn". Row 43 (helpurl) holds the file address
// of that language's help page in helpFolder.
QStringList englishTable(const QString &helpFolder);
QStringList chnTable(const QString &helpFolder);

// The tool tips of the controls that have one, as rows "key=tip" in the
// order of the caption rows: the check-box options of page 4 say what they
// do, and what they write and where. ApplyLanguage gives them with the
// captions. A new option's caption row carries its tips too.
QStringList toolTipTable(const QString &languageCode);

// The key of a row: the text before its first "=" (the whole row without one).
QString rowKey(const QString &row);

// The caption of a control: the text after the "=" of the first row whose key
// equals the name without regard to case; empty when no row has that key.
QString captionFor(const QStringList &table, const QString &name);

// Gives every label, group box (the radio groups are group boxes too) and
// check box under window the caption of its name from the table of
// languageCode, then sets the fixed button captions (in English the designed
// ones, so that a switch back from Chinese restores them). "en" and "cn" are
// compared exactly; any other code changes nothing. Called by the main
// window's FormCreate and its language link; tests call it on small widget
// trees.
void ApplyLanguage(QWidget &window, const QString &languageCode, const QStringList &english,
                   const QStringList &chn);

// The caption of a check-box option's box in the batch window (which shows
// Chinese only), by the box's object name; empty for a name it does not know.
QString batchWindowOptionCaption(const QString &control);

// The caption that takes the place of Label30 when a run completed with
// errors, in the language given ("en" or "cn").
QString completedWithErrorsCaption(const QString &languageCode);

// The texts of page 6 beyond the log: the progress during a run and the
// results table after it. The ones with %1.. are filled by wizard/runview.
struct RunViewCaptions {
    QString resultsTab;      // the tab of the results table
    QString logTab;          // the tab of the log memo
    QString tablesProgress;  // %1 tables done, %2 tables chosen
    QString rowsProgress;    // %1 table, %2 rows read, %3 the server's estimate
    QString rowsNoEstimate;  // %1 table, %2 rows read
    QString rowsPerSecond;   // %1 rows per second
    QString allTablesDone;   // the rows line after the last table
    QStringList headers;     // the columns of the results table, the status icon's first
    QString rejectedTip;     // the tool tip of the "rejected" column
    QString statusOk, statusSkipped, statusRejected, statusFailed;
    QString verifiedEqual, verifiedDiffers, notVerified;
    QString errorRowTip;     // the tool tip of a row with an error
    QString timeRemaining;   // %1 the time a table still needs, after the rate
    // A stopped run: the table stopped in its copy and those never begun.
    QString statusStopped, statusNotStarted;
    QString stoppedAt;       // %1 table, %2 tables done, %3 tables chosen
    QString stoppedBefore;   // the same when the stop came between two tables
    QString stoppedAfter;    // %2 tables done, %3 tables chosen: after the last table
    QString rowsKept;        // %1 table, %2 rows it holds
    QString statusHeader;    // the status column in copied rows
    // A table's rejected values from the ledger: %1 reason, %2 column,
    // %3 row, %4 value; then the number of records left out.
    QString rejectionLine;
    QString moreRejections;
    QString openFolder;      // the button that opens the folder of the run's record
    QString openFolderTip;   // %1 the folder
};
RunViewCaptions runViewCaptions(const QString &languageCode);

// The texts of the check: its report (the page and the window's details) and
// the window that shows it.
struct CheckViewCaptions {
    CheckCaptions report;
    QString button;        // the "Check" button of page 5
    QString windowTitle;
    QString save;          // the button that saves the report
    QString saveTitle;     // the title of the save dialog
    QString running;       // the status line while the check runs: %1 the table
    QString summary;       // %1 tables, %2 with something to look at, %3 the estimate in seconds
    QStringList headers;   // the columns of the check table, the status icon's first
    QString detailsTip;    // the tool tip of a row
};
CheckViewCaptions checkViewCaptions(const QString &languageCode);

} // namespace tavrex
