#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <functional>
#include <vector>

namespace tavrex {

// The result pair of a database step that reports instead of throwing.
struct TStepResult {
    bool Ok = true;
    QString ErrorText;
    // Every error the step wrote to the log, in order (the steps that go on
    // past a failed statement: keys, identities, foreign keys), so that the
    // run counts them without reading the log.
    QStringList Errors;
};

// The conversion log: an ordered list of lines that every step writes into and
// that the last wizard page shows. A run never clears it; only "Finish" does.
class TRunLog {
public:
    enum class Change { Appended, RewrittenLast, Cleared };
    // Called after every change, for the window that mirrors the log.
    using Observer = std::function<void(Change, const QString &line)>;

    void Append(const QString &line);
    void RewriteLast(const QString &line);
    QString LastLine() const;
    void Clear();

    // Writes every line followed by CR LF in the locale's code page without a
    // byte-order mark. The file is written completely beside the target and
    // then put in its place, so a failure never leaves a half-written log;
    // a failure throws std::runtime_error naming the path and the reason.
    // The file is its owner's alone (0600).
    void SaveToFile(const QString &path) const;

    const QStringList &lines() const { return lines_; }
    int size() const { return int(lines_.size()); }
    void setObserver(Observer observer) { observer_ = std::move(observer); }
    // A further observer beside the window's (the unattended replay without
    // a window prints the lines as they are written).
    void addListener(Observer listener) { listeners_.push_back(std::move(listener)); }

private:
    void notify(Change change, const QString &line);

    QStringList lines_;
    Observer observer_;
    std::vector<Observer> listeners_;
};

// The stop request and the pump of one long operation. Everything runs on
// the user-interface thread: pump() serves pending events (the window passes
// QCoreApplication::processEvents), and a "Stop" handler that runs inside it
// sets the request before the poll that follows the pump.
//
// Besides the pump points of an operation (each with its progress line and
// stop test), long work between them calls keepResponsive(): it calls the
// responsive pump (the window passes QCoreApplication::processEvents again)
// only when the last pump of either kind is longer ago than the responsive
// period, so that the window repaints and takes a "Stop" even while a batch
// of very large values is read or written. A stop request taken there is
// tested at the next pump point, as always. Without a responsive pump it
// does nothing, so a test's pump callback sees the pump points alone.
class RunControl {
public:
    using Pump = std::function<void()>;
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kResponsivePeriod{40};

    // The request may be made from another thread than the one that polls
    // it (the run passes a stop on to the tables it converts at once).
    bool StopRequested() const { return stopRequested_.load(std::memory_order_relaxed); }
    void requestStop() { stopRequested_ = true; }
    // A stop whose run saves its log, ledger and report all the same (a
    // replay ended by a signal).
    void requestStopAndSave()
    {
        stopRequested_ = true;
        saveWhenStopped_ = true;
    }
    bool saveWhenStopped() const { return saveWhenStopped_; }
    void clearStop()
    {
        stopRequested_ = false;
        saveWhenStopped_ = false;
    }

    void setPump(Pump pump) { pump_ = std::move(pump); }
    void pump()
    {
        if (pump_)
            pump_();
        lastPump_ = Clock::now();
    }
    void setResponsivePump(Pump pump) { responsivePump_ = std::move(pump); }
    // Calls the responsive pump when the responsive period has passed since
    // the last pump.
    void keepResponsive()
    {
        if (!responsivePump_ || Clock::now() - lastPump_ < responsivePeriod_)
            return;
        responsivePump_();
        lastPump_ = Clock::now();
    }
    // A test makes every keepResponsive() pump with a period of zero.
    void setResponsivePeriod(std::chrono::milliseconds period) { responsivePeriod_ = period; }

private:
    std::atomic<bool> stopRequested_{false};
    bool saveWhenStopped_ = false;
    Pump pump_;
    Pump responsivePump_;
    Clock::time_point lastPump_ = Clock::now();
    std::chrono::milliseconds responsivePeriod_ = kResponsivePeriod;
};

// The folder of interactive logs: the per-user data folder followed by
// "Orvendel" and a trailing separator ("\" on Windows, "/" elsewhere).
// On Linux that is $XDG_DATA_HOME, or ~/.local/share when it is unset.
QString GetLogFolder();

// The path with the extension of its file name (from the last ".") replaced
// by extension, or extension appended when the name has none. Batch runs name
// their settings, log and launcher files this way.
QString replaceExtension(const QString &path, const QString &extension);

// Creates the log folder when it is missing; a failure is ignored (the save
// of a run reports it later).
void EnsureLogFolder();

} // namespace tavrex
