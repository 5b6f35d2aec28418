#include "wizard/windowprompts.h"

#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

namespace tavrex {

namespace {

// The title bar is the window system's: reserve the title's width in a
// title-bar font (bold, a little larger than the box's), plus room for the
// frame's icon and buttons.
void reserveTitleWidth(QMessageBox &box, const QString &title)
{
    QFont titleFont = box.font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.25);
    const int width = QFontMetrics(titleFont).horizontalAdvance(title) + 140;
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout()))
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                      grid->columnCount());
}

} // namespace

BoxText splitBoxText(const QString &message)
{
    const QStringList lines = message.split(QLatin1Char('\n'));
    QStringList text;
    QStringList details;
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1String("  "))) {
            if (details.isEmpty() && !text.isEmpty() && text.last().endsWith(QLatin1Char(':')))
                text.last() += QStringLiteral(" see the details.");
            details.append(line.trimmed());
            continue;
        }
        text.append(line);
    }
    if (details.isEmpty())
        return {message, QString()};
    return {text.join(QLatin1Char('\n')), details.join(QLatin1Char('\n'))};
}

std::unique_ptr<QMessageBox> makeMessageBox(MessageKind kind, QWidget *owner, const QString &title,
                                            const QString &text, const QString &details)
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
    if (!details.isEmpty())
        box->setDetailedText(details);
    // Last: the box rebuilds its layout while its parts are set.
    reserveTitleWidth(*box, title);
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
    const BoxText shown = splitBoxText(text);
    makeMessageBox(MessageKind::Error, owner_, title, shown.text, shown.details)->exec();
}

} // namespace tavrex
