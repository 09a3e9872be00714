// The device list's rows and the change notices a view repaints from.
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "discovery/ListModel.h"

TEST(ListModelTest, RowsAndListener) {
    ListModel list;
    std::vector<std::pair<ListModel::Change, int>> changes;
    std::vector<std::string> seen;
    // The listener reads the model back, as a view does; with the lock held this would hang.
    list.SetListener([&](ListModel::Change change, int row) {
        changes.emplace_back(change, row);
        seen.push_back(std::to_string(list.GetItemCount()) + ":" + list.GetItemText(row, 1));
    });

    EXPECT_EQ(list.InsertItem("000"), 0);
    EXPECT_EQ(list.InsertItem("001"), 1);
    list.SetItemText(1, 1, "Dock");
    EXPECT_EQ(list.GetItemText(1, 0), "001");
    EXPECT_EQ(list.GetItemText(1, 1), "Dock");
    EXPECT_EQ(list.GetItemText(0, 1), "");

    using C = ListModel::Change;
    const std::vector<std::pair<C, int>> want = {{C::RowAppended, 0}, {C::RowAppended, 1}, {C::RowChanged, 1}};
    EXPECT_EQ(changes, want);
    EXPECT_EQ(seen, (std::vector<std::string>{"1:", "2:", "2:Dock"})) << "each notice comes after its change";

    list.DeleteAllItems();
    EXPECT_EQ(list.GetItemCount(), 0);
    ASSERT_EQ(changes.size(), 4u);
    EXPECT_EQ(changes.back().first, C::Reset);

    // A late write to a row that a Search has removed must not bring the row back.
    list.SetItemText(1, 1, "late");
    list.SetItemText(-1, 1, "bad");
    list.SetItemText(0, kColumnCount, "bad");
    EXPECT_EQ(list.GetItemCount(), 0);
    EXPECT_TRUE(list.Rows().empty());
    EXPECT_EQ(list.GetItemText(0, 1), "");
}
