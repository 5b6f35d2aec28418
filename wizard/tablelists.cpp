#include "wizard/tablelists.h"

#include <algorithm>
#include <vector>

namespace tavrex {

namespace {

// The highlighted positions as a mask over a list of count entries;
// positions outside the list are ignored.
std::vector<bool> highlightMask(const QList<int> &highlighted, qsizetype count)
{
    std::vector<bool> mask(size_t(count), false);
    for (int row : highlighted)
        if (row >= 0 && row < count)
            mask[size_t(row)] = true;
    return mask;
}

// Moves the highlighted entries of from to position at of to: walked bottom
// up with every insertion at the same position, so they arrive in their
// top-to-bottom order.
void moveHighlighted(QStringList &from, QStringList &to, const QList<int> &highlighted)
{
    const std::vector<bool> mask = highlightMask(highlighted, from.size());
    const qsizetype at = to.size();
    for (qsizetype i = from.size() - 1; i >= 0; --i) {
        if (!mask[size_t(i)])
            continue;
        to.insert(at, from.at(i));
        from.removeAt(i);
    }
}

} // namespace

bool tableNameLess(const QString &a, const QString &b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
}

void TableLists::appendAvailable(const QStringList &names)
{
    for (const QString &name : names) {
        if (sorted_)
            available_.insert(std::upper_bound(available_.begin(), available_.end(), name, tableNameLess), name);
        else
            available_.append(name);
    }
}

void TableLists::add(const QList<int> &highlighted)
{
    moveHighlighted(available_, selected_, highlighted);
}

void TableLists::addAll()
{
    selected_.append(available_);
    available_.clear();
}

void TableLists::remove(const QList<int> &highlighted)
{
    moveHighlighted(selected_, available_, highlighted);
    sortAvailable();
}

void TableLists::removeAll()
{
    available_.append(selected_);
    selected_.clear();
    sortAvailable();
}

void TableLists::clear()
{
    available_.clear();
    selected_.clear();
}

void TableLists::sortAvailable()
{
    std::stable_sort(available_.begin(), available_.end(), tableNameLess);
    sorted_ = true;
}

} // namespace tavrex
