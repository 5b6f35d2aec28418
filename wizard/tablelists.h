#pragma once

// The two table lists of page 5 as plain data: the tables still available and
// the tables chosen for the run. The main window keeps one instance, calls
// these moves from its four buttons and double clicks, and redraws the two
// list widgets from it; the widgets hold only the highlight.

#include <QList>
#include <QStringList>

namespace tavrex {

class TableLists {
public:
    const QStringList &available() const { return available_; }
    const QStringList &selected() const { return selected_; }
    // False until the first "< Remove" or "< Remove all"; then true for good.
    bool availableSorted() const { return sorted_; }

    // The listing of page 4 ("show tables"): appended in the server's order,
    // or each name at its sorted place once the list is sorted.
    void appendAvailable(const QStringList &names);

    // "Add >": the highlighted rows of the available list (positions in it)
    // go to the end of the selected list in their top-to-bottom order.
    void add(const QList<int> &highlighted);
    // "Add all >": every available name to the end of the selected list.
    void addAll();
    // "< Remove": the highlighted rows of the selected list go back to the
    // available list, which is then sorted and stays sorted.
    void remove(const QList<int> &highlighted);
    // "< Remove all": every selected name back, then sorted as "< Remove".
    void removeAll();

    // Leaving page 5 backwards (bkstep5Click): both lists empty. The sorting
    // state stays.
    void clear();
    // "Finish": the selected list empties.
    void clearSelected() { selected_.clear(); }

    // The "Next >" rule of page 5.
    bool nextEnabled() const { return !selected_.isEmpty(); }

private:
    void sortAvailable();

    QStringList available_;
    QStringList selected_;
    bool sorted_ = false;
};

// The order of the sorted available list: alphabetical without regard to
// case, as a sorted list box orders its entries.
bool tableNameLess(const QString &a, const QString &b);

} // namespace tavrex
