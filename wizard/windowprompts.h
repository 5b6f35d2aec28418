#pragma once

// The message boxes of the main window. The window shows every box through
// the Prompts interface; this is the implementation it owns when no other is
// given (tests give a recording one). The screenshot program builds its
// boxes with makeMessageBox so the pictures show what the operator sees.

#include "engine/core/prompts.h"

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

// A modal box of that kind owned by owner (may be null), not yet shown, at
// least as wide as its title needs (the window system cuts a title that is
// wider than its box). Details, when given, are under Qt's "Show Details…".
std::unique_ptr<QMessageBox> makeMessageBox(MessageKind kind, QWidget *owner, const QString &title,
                                            const QString &text, const QString &details = QString());

// A message as a box shows it: lines that start with two spaces (a list, such
// as the places tried for the Oracle client library) go under the details,
// and a line that ended in ":" before its list ends in ": see the details."
// instead; the other lines stay the text. Without such lines, no details.
struct BoxText {
    QString text;
    QString details;
};
BoxText splitBoxText(const QString &message);

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
