#pragma once

// The message boxes of the main window. The window shows every box through
// the Prompts interface; this is the implementation it owns when no other is
// given (tests give a recording one). The screenshot program builds its
// boxes with makeMessageBox so the pictures show what the operator sees.

#include "engine/prompts.h"

#include <QString>

#include <memory>

class QMessageBox;
class QWidget;

namespace tavrex {

enum class MessageKind {
    Information,  // no icon, one OK button
    Question,     // no icon, Yes and No
    Error,        // error icon, one OK button
};

// A modal box of that kind owned by owner (may be null), not yet shown.
std::unique_ptr<QMessageBox> makeMessageBox(MessageKind kind, QWidget *owner, const QString &title,
                                            const QString &text);

// The text of the application's standard error box: the message with a "."
// added when the code of its last character is above that of ".".
QString standardErrorText(const QString &message);

class WindowPrompts : public Prompts {
public:
    explicit WindowPrompts(QWidget *owner) : owner_(owner) {}

    void information(const QString &title, const QString &text) override;
    bool question(const QString &title, const QString &text) override;
    void error(const QString &title, const QString &text) override;

private:
    QWidget *owner_;
};

} // namespace tavrex
