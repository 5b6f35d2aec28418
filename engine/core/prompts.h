#pragma once

#include <QString>

namespace tavrex {

// Every message box goes through this interface, which the main window owns
// and tests replace; engine and connection code never opens a dialog itself.
class Prompts {
public:
    virtual ~Prompts() = default;
    // A plain message box with one OK button.
    virtual void information(const QString &title, const QString &text) = 0;
    // A Yes/No question without icon; true for Yes.
    virtual bool question(const QString &title, const QString &text) = 0;
    // The application's standard error box: error icon, one OK button.
    virtual void error(const QString &title, const QString &text) = 0;
};

} // namespace tavrex
