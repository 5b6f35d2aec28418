#pragma once

#include "engine/core/prompts.h"

#include <QString>
#include <QStringList>

#include <deque>

namespace tavrex::test {

// Prompts that record what would have been shown and answer questions from
// a queue (Yes when the queue is empty).
class RecordingPrompts : public Prompts {
public:
    struct Shown {
        QString kind;  // "information", "question" or "error"
        QString title;
        QString text;
    };

    void information(const QString &title, const QString &text) override { shown.push_back({"information", title, text}); }
    bool question(const QString &title, const QString &text) override
    {
        shown.push_back({"question", title, text});
        if (answers.empty())
            return true;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void error(const QString &title, const QString &text) override { shown.push_back({"error", title, text}); }

    std::deque<Shown> shown;
    std::deque<bool> answers;
};

} // namespace tavrex::test
