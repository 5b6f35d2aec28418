#pragma once

#include "settings/batchfile.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <exception>
#include <functional>

class QButtonGroup;
class QCheckBox;
class QSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace tavrex {

class Prompts;

// What the batch window shows when it is opened from the table page.
struct BatchWindowInput {
    QString mysqlHost;        // "localhost" in local access mode, else the host box
    QString port;
    QString database;         // the database chosen on page 4
    QString mysqlUser;
    QString mysqlPassword;
    QString oracleService;
    QString oracleUser;
    QString oraclePassword;
    QString policyCaption;    // the caption of the chosen existing-table policy
    QString characterSet;     // the drop-down's text
    ConversionOptions options;    // the wizard's check boxes
    QStringList selectedTables;
};

// The main window's controls that the recording reads at the moment the file
// is written (lines 1, 6 and 10 of the file).
struct BatchMainValues {
    int accessmode = 0;
    QString host;
    int processtable = 0;
};

// The batch shortcut window: shows the current settings, lets the operator
// adjust the options and choose between the chosen tables and all
// tables, and records the job as a settings file plus a launcher. Created
// once at program start; keeps its table choice between openings. Captions
// are Chinese, set at creation.
class Tmarfrm_bat : public QDialog {
public:
    Tmarfrm_bat(Prompts &prompts, QWidget *parent = nullptr);

    // Fills the window afresh (btcreatebatClick of the main window).
    void fill(const BatchWindowInput &input);

    // Where the main window's current values come from when recording.
    void setMainValues(std::function<BatchMainValues()> mainValues) { mainValues_ = std::move(mainValues); }
    // The save dialog; returns the chosen launcher path or empty when
    // cancelled. Replaced by tests.
    void setChooseFile(std::function<QString()> chooseFile) { chooseFile_ = std::move(chooseFile); }
    // Shows an error of the recording in the application's standard error
    // box; the window stays open.
    void setErrorHandler(std::function<void(const std::exception &)> handler) { errorHandler_ = std::move(handler); }
    // The program the launcher starts (the running executable by default).
    void setProgramPath(const QString &path) { programPath_ = path; }

    void rgselecttableClick();
    void bttableselectClick();
    void Button1Click();

    // The recording of the window's current state.
    BatchRecording recording() const;

private:
    QString chooseFileWithDialog();

    Prompts &prompts_;
    std::function<BatchMainValues()> mainValues_;
    std::function<QString()> chooseFile_;
    std::function<void(const std::exception &)> errorHandler_;
    QString programPath_;
    QString database_;

    QGroupBox *gpmysql_ = nullptr;
    QGroupBox *GroupBox1_ = nullptr;
    QGroupBox *GroupBox2_ = nullptr;
    QGroupBox *rgselecttable_ = nullptr;
    QButtonGroup *tableChoice_ = nullptr;
    QLineEdit *edtmysqlip_ = nullptr;
    QLineEdit *edtmysqlport_ = nullptr;
    QLineEdit *edtmysqldatabase_ = nullptr;
    QLineEdit *edtmysqlusername_ = nullptr;
    QLineEdit *edtmysqlpassword_ = nullptr;
    QLineEdit *edtoracleservice_ = nullptr;
    QLineEdit *edtoracleusername_ = nullptr;
    QLineEdit *edtoraclepassword_ = nullptr;
    QLineEdit *edtoracleexits_ = nullptr;
    QLineEdit *edtcharset_ = nullptr;
    // The check boxes of kCheckOptions, in its order.
    QCheckBox *optionBoxes_[kCheckOptionCount] = {};
    QSpinBox *optionSpins_[kCheckOptionCount] = {};  // its numbers
    QListWidget *mysqltableselect_ = nullptr;
    QPushButton *bttableselect_ = nullptr;
    QPushButton *Button1_ = nullptr;
};

// The three-line message of a finished recording, lines joined by a lone
// carriage return.
QString recordingMessage(const QString &shortcut, const QString &settingsFile, const QString &logFile);

} // namespace tavrex
