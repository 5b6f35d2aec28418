#pragma once

// Prints the lines of a conversion log on standard output once each is
// final: the row copy's progress rewrites replace the pending line instead of
// printing a line each time. The command-line programs use it.

#include "engine/core/runlog.h"

#include <cstdio>

namespace tavrex {

class LogPrinter {
public:
    // Starts listening to the log.
    void attach(TRunLog &log)
    {
        log.addListener([this](TRunLog::Change change, const QString &line) {
            if (change == TRunLog::Change::Appended)
                flush();
            if (change != TRunLog::Change::Cleared) {
                pending_ = line;
                hasPending_ = true;
            }
        });
    }

    // Prints the pending line; called when the log is done.
    void flush()
    {
        if (hasPending_)
            std::printf("%s\n", qPrintable(pending_));
        hasPending_ = false;
        std::fflush(stdout);
    }

private:
    QString pending_;
    bool hasPending_ = false;
};

} // namespace tavrex
