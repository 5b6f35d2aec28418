#include "wizard/windowprompts.h"

#include <QMessageBox>

namespace tavrex {

std::unique_ptr<QMessageBox> makeMessageBox(MessageKind kind, QWidget *owner, const QString &title,
                                            const QString &text)
{
    auto box = std::make_unique<QMessageBox>(owner);
    box->setWindowTitle(title);
    box->setText(text);
    box->setTextFormat(Qt::PlainText);
    switch (kind) {
    case MessageKind::Information:
        box->setIcon(QMessageBox::NoIcon);
        box->setStandardButtons(QMessageBox::Ok);
        break;
    case MessageKind::Question:
        box->setIcon(QMessageBox::NoIcon);
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box->setDefaultButton(QMessageBox::Yes);
        break;
    case MessageKind::Error:
        box->setIcon(QMessageBox::Critical);
        box->setStandardButtons(QMessageBox::Ok);
        break;
    }
    return box;
}

QString standardErrorText(const QString &message)
{
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + QLatin1Char('.');
    return message;
}

void WindowPrompts::information(const QString &title, const QString &text)
{
    makeMessageBox(MessageKind::Information, owner_, title, text)->exec();
}

bool WindowPrompts::question(const QString &title, const QString &text)
{
    return makeMessageBox(MessageKind::Question, owner_, title, text)->exec() == QMessageBox::Yes;
}

void WindowPrompts::error(const QString &title, const QString &text)
{
    makeMessageBox(MessageKind::Error, owner_, title, text)->exec();
}

} // namespace tavrex
