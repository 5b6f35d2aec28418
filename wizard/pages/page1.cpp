#include "wizard/mainwindow.h"

#include "wizard/captions.h"
#include "wizard/controls.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

// Page 1, the welcome page: its titles and the language link.

namespace tavrex {

using namespace controls;

namespace {

// A text that acts as a link: the language switch of page 1. It keeps its
// text plain (the caption tables fill it like any label) and looks and acts
// like a link: link colour, underlined, hand cursor, click or Space.
class LinkLabel : public QLabel {
public:
    LinkLabel(QWidget *parent, std::function<void()> onClick) : QLabel(parent), onClick_(std::move(onClick))
    {
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::TabFocus);
        QFont f = font();
        f.setUnderline(true);
        setFont(f);
        QPalette p = palette();
        p.setColor(QPalette::WindowText, p.color(QPalette::Link));
        setPalette(p);
    }

protected:
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && onClick_)
            onClick_();
    }
    // A label draws no focus frame of its own: the link does, as every
    // control that takes the focus.
    void paintEvent(QPaintEvent *event) override
    {
        QLabel::paintEvent(event);
        if (!hasFocus())
            return;
        QStylePainter painter(this);
        QStyleOptionFocusRect frame;
        frame.initFrom(this);
        const QRect text = fontMetrics().boundingRect(contentsRect(), int(alignment()), this->text());
        frame.rect = text.adjusted(-2, -1, 2, 1).intersected(rect());
        frame.backgroundColor = palette().color(QPalette::Window);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, frame);
    }
    void keyPressEvent(QKeyEvent *event) override
    {
        if ((event->key() == Qt::Key_Space || event->key() == Qt::Key_Return) && onClick_)
            onClick_();
        else
            QLabel::keyPressEvent(event);
    }

private:
    std::function<void()> onClick_;
};

} // namespace

void Taaform1::buildPage1(QWidget *sheet)
{
    QFont title = font();
    title.setBold(true);
    title.setPointSize(12);
    for (QLabel *l : {label(sheet, "Label7", 20, 24, 380, 24), label(sheet, "Label8", 20, 50, 380, 24)})
        l->setFont(title);
    label(sheet, "Label9", 20, 110, 380, 40, true);
    label(sheet, "Label10", 20, 160, 380, 20);
    lnklanguage = named(new LinkLabel(sheet, [this] { guarded([this] { lnklanguageClick(); }); }), "lnklanguage");
    lnklanguage->setGeometry(300, 4, 105, 17);
    lnklanguage->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void Taaform1::lnklanguageClick()
{
    rememberedLanguage_ = otherLanguage(languageCode_);
    setLanguage(rememberedLanguage_);
}

void Taaform1::page1Values(ControlValues &v) const
{
    v.language = rememberedLanguage_;
}

void Taaform1::setPage1Values(const ControlValues &v)
{
    // The remembered language applies at once, unless the command line chose
    // one for this start.
    if (isLanguageCode(v.language)) {
        rememberedLanguage_ = v.language;
        if (start_.language.isEmpty())
            setLanguage(v.language);
    }
}

} // namespace tavrex
