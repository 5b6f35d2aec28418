#include "wizard/tablelists.h"
#include "tests/support/qtprinters.h"

#include <gtest/gtest.h>

using namespace tavrex;

namespace {

enum class Move { Add, AddAll, Remove, RemoveAll };

struct MoveCase {
    const char *name;
    QStringList available;
    QStringList selected;
    Move move;
    QList<int> highlighted;  // rows of the list the move takes from
    QStringList wantAvailable;
    QStringList wantSelected;
    bool wantSorted;
    bool wantNext;
};

// Fills the lists as page 4 and earlier moves would have left them.
TableLists listsOf(const QStringList &available, const QStringList &selected)
{
    TableLists lists;
    lists.appendAvailable(selected + available);
    QList<int> rows;
    for (int i = 0; i < selected.size(); ++i)
        rows.append(i);
    lists.add(rows);
    return lists;
}

} // namespace

TEST(TableLists, MovesFollowTheListRules)
{
    const MoveCase cases[] = {
        {"add with nothing highlighted changes nothing", {"A", "B"}, {}, Move::Add, {}, {"A", "B"}, {}, false, false},
        {"add moves highlighted names after the chosen ones, top to bottom", {"A", "B", "C", "D"}, {"X"}, Move::Add,
         {1, 3}, {"A", "C"}, {"X", "B", "D"}, false, true},
        {"add takes the highlight in any order", {"A", "B", "C", "D"}, {"X"}, Move::Add, {3, 1, 3}, {"A", "C"},
         {"X", "B", "D"}, false, true},
        {"remove moves back and sorts the available list", {"A", "C"}, {"X", "B", "D"}, Move::Remove, {0, 2},
         {"A", "C", "D", "X"}, {"B"}, true, true},
        {"remove with nothing highlighted still sorts", {"b", "a"}, {"X"}, Move::Remove, {}, {"a", "b"}, {"X"}, true,
         true},
        {"add all on an empty list keeps the chosen names", {}, {"X"}, Move::AddAll, {}, {}, {"X"}, false, true},
        {"add all on two empty lists leaves next off", {}, {}, Move::AddAll, {}, {}, {}, false, false},
        {"add all appends in the available order", {"B", "A"}, {"X"}, Move::AddAll, {}, {}, {"X", "B", "A"}, false,
         true},
        {"remove all empties the chosen list and sorts", {"C", "A"}, {"X", "B"}, Move::RemoveAll, {},
         {"A", "B", "C", "X"}, {}, true, false},
        {"sorting ignores case", {"b"}, {"C", "a"}, Move::RemoveAll, {}, {"a", "b", "C"}, {}, true, false},
    };
    for (const MoveCase &c : cases) {
        SCOPED_TRACE(c.name);
        TableLists lists = listsOf(c.available, c.selected);
        switch (c.move) {
        case Move::Add: lists.add(c.highlighted); break;
        case Move::AddAll: lists.addAll(); break;
        case Move::Remove: lists.remove(c.highlighted); break;
        case Move::RemoveAll: lists.removeAll(); break;
        }
        EXPECT_EQ(lists.available(), c.wantAvailable);
        EXPECT_EQ(lists.selected(), c.wantSelected);
        EXPECT_EQ(lists.availableSorted(), c.wantSorted);
        EXPECT_EQ(lists.nextEnabled(), c.wantNext);
    }
}

TEST(TableLists, AListingKeepsTheServerOrderUntilTheFirstRemoveAndIsSortedForGoodAfter)
{
    TableLists lists;
    lists.appendAvailable({"orders", "Customers", "items"});
    EXPECT_EQ(lists.available(), (QStringList{"orders", "Customers", "items"}));

    lists.add({0});
    lists.remove({0});
    EXPECT_EQ(lists.available(), (QStringList{"Customers", "items", "orders"}));

    // Back to page 4 and forward again: the refill takes sorted places.
    lists.clear();
    EXPECT_TRUE(lists.available().isEmpty());
    EXPECT_TRUE(lists.selected().isEmpty());
    lists.appendAvailable({"orders", "Customers", "items", "Accounts"});
    EXPECT_EQ(lists.available(), (QStringList{"Accounts", "Customers", "items", "orders"}));
    EXPECT_TRUE(lists.availableSorted());
}

TEST(TableLists, FinishEmptiesOnlyTheChosenList)
{
    TableLists lists = listsOf({"A"}, {"B", "C"});
    lists.clearSelected();
    EXPECT_EQ(lists.available(), QStringList{"A"});
    EXPECT_TRUE(lists.selected().isEmpty());
    EXPECT_FALSE(lists.nextEnabled());
}
