#pragma once

#include <QHash>

#include "settings/batchfile.h"

#include <QDateTime>

#include <functional>

namespace tavrex {

struct WindowOptions;
class Taaform1;
class Tmarfrm_bat;

// The replay of a batch settings file: what the main window's batch hooks do.
// It holds the loaded lines (the window's value list), from the batch start
// until the table choice on page 5.
class BatchReplay {
public:
    // FormCreate step 8: loads the file named by the first argument and puts
    // its values into the controls, then arms the one-second start timer. A
    // file that cannot be loaded becomes the one line of the batch log, which
    // is saved next to it with the report of a failed replay, and the program
    // ends. A conversion error in the
    // file (accessmode, processtable) is thrown after the values before it
    // were applied; the timer then stays off.
    void start(Taaform1 &window);

    // Page 5 of the unattended run: every available table when "alltables"
    // is exactly "1", otherwise the file's table lines one by one, each moving
    // the first available entry of exactly that name.
    void chooseTables(Taaform1 &window);

    // The record of a replay that could not run: the error appended to the
    // window's log, which is saved beside the settings file with the report
    // (outcome "failed") in place of any earlier run's.
    void recordFailure(Taaform1 &window, const QString &error);

    const BatchValues &values() const { return values_; }

    // A value that takes the place of the file's for this replay (the
    // command line's --parallel N): the option of that batch key.
    void overrideOption(const QString &key, const QString &value) { overrides_.insert(key, value); }
    // Puts back the file's values of the options the command line took the
    // place of, so that what is remembered after the replay is the file's.
    void keepFileValues(ControlValues &values) const;

private:
    BatchValues values_;
    QHash<QString, QString> overrides_;
    QDateTime started_ = QDateTime::currentDateTime();
};

struct BatchWindowInput;

// What the batch window shows, taken from the main window (btcreatebatClick).
BatchWindowInput batchWindowInput(const Taaform1 &window);
// "Create Shortcut File": fills the batch window from the main window and
// shows it modally.
void openBatchWindow(Taaform1 &window, Tmarfrm_bat &batchWindow);

// Fills the batch hooks of the main window's options with the replay and
// lets "Create Shortcut File" open the batch window, which the program
// creates after the main window (batchWindow returns it).
void installBatchMode(WindowOptions &options, BatchReplay &replay, std::function<Tmarfrm_bat &()> batchWindow);

} // namespace tavrex
