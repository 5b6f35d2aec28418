#pragma once

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRect>
#include <QString>

// Small builders of the main window's controls, shared by its frame and its
// pages: each control carries the object name that the caption tables and the
// tests find it by, and sits at its designed place.

namespace tavrex::controls {

template <typename T>
inline T *named(T *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

inline QLabel *label(QWidget *parent, const char *name, int x, int y, int w, int h, bool wrap = false)
{
    auto *l = named(new QLabel(parent), name);
    l->setGeometry(x, y, w, h);
    l->setWordWrap(wrap);
    l->setAlignment(Qt::AlignLeft | (wrap ? Qt::AlignTop : Qt::AlignVCenter));
    return l;
}

inline QLineEdit *edit(QWidget *parent, const char *name, int x, int y, int w)
{
    auto *e = named(new QLineEdit(parent), name);
    e->setGeometry(x, y, w, 21);
    return e;
}

inline QListWidget *list(QWidget *parent, const char *name, QRect geometry, QAbstractItemView::SelectionMode mode)
{
    auto *l = named(new QListWidget(parent), name);
    l->setGeometry(geometry);
    l->setSelectionMode(mode);
    return l;
}

inline QPushButton *button(QWidget *parent, const char *name, const QString &caption, QRect geometry)
{
    auto *b = named(new QPushButton(caption, parent), name);
    b->setGeometry(geometry);
    b->setAutoDefault(false);
    return b;
}

// Chooses the item of a radio choice; -1 (or any number outside it) none.
inline void chooseItem(QButtonGroup *group, int item)
{
    if (QAbstractButton *b = group->button(item)) {
        b->setChecked(true);
        return;
    }
    group->setExclusive(false);
    for (QAbstractButton *b : group->buttons())
        b->setChecked(false);
    group->setExclusive(true);
}

} // namespace tavrex::controls
