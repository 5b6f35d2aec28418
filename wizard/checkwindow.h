#pragma once

// The check before converting, in the window: "Check" on page 5 runs it on
// the settings of the controls and shows its result as a table (one row per
// table, a status icon and the counts); a double click opens the table's
// details (its part of the report page), and "Save..." writes the report
// page and its JSON beside each other.

#include "engine/check.h"
#include "wizard/captions.h"

#include <QDialog>

#include <functional>

class QLabel;
class QPushButton;
class QTableWidget;
class QTextBrowser;

namespace tavrex {

// The cells after the icon: MySQL table, Oracle table, action, rows, values
// changed or rejected, rows rejected, statements refused.
QStringList checkCells(const CheckTable &table, const CheckViewCaptions &captions);
// The summary line under the table.
QString checkSummary(const CheckReport &report, const CheckViewCaptions &captions);

class CheckWindow : public QDialog {
    Q_OBJECT

public:
    CheckWindow(CheckReport report, const CheckViewCaptions &captions, QWidget *parent = nullptr);

    const CheckReport &report() const { return report_; }
    // Where "Save..." writes the page (the JSON goes beside it, .check.json);
    // a file dialog unless set (tests set it). An empty answer saves nothing.
    void setSavePathChooser(std::function<QString()> chooser) { chooser_ = std::move(chooser); }
    // Shows the details of a table (what a double click on its row does);
    // returns the details window, which stays open until closed.
    QDialog *openDetails(int row);
    void save();

private:
    CheckReport report_;
    CheckViewCaptions captions_;
    QTableWidget *table_ = nullptr;
    QLabel *summary_ = nullptr;
    QPushButton *save_ = nullptr;
    std::function<QString()> chooser_;
};

} // namespace tavrex
