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

// The window copies only what changed: every write must show up once, a reset must bring all.
TEST(ListModelTest, ChangesSinceTheLastLookAreAllAndOnlyTheWrittenRows) {
    ListModel list;
    for (int i = 0; i < 5; ++i)
        list.AppendRow({std::to_string(i)}, false);
    ListChanges first = list.TakeChanges();
    EXPECT_FALSE(first.reset);
    EXPECT_EQ(first.rowCount, 5);
    EXPECT_EQ(first.rows.size(), 5u) << "appended rows are new to the view";

    list.SetStatus(3, "Upgrade Status... 40%", 0.4);
    list.SetFailed(1, true);
    list.SetStatus(3, "Upgrade Status... 41%", 0.41);
    auto taken = list.TryTakeChanges();
    ASSERT_TRUE(taken.has_value()) << "nobody holds the rows";
    ASSERT_EQ(taken->rows.size(), 2u);
    EXPECT_EQ(taken->rows[0].first, 1);
    EXPECT_TRUE(taken->rows[0].second.failed);
    EXPECT_EQ(taken->rows[1].first, 3);
    EXPECT_EQ(taken->rows[1].second[StatusColumn], "Upgrade Status... 41%") << "the latest text";
    EXPECT_DOUBLE_EQ(*taken->rows[1].second.progress, 0.41);
    EXPECT_TRUE(list.TakeChanges().rows.empty()) << "nothing twice";

    list.DeleteAllItems();
    list.AppendRow({"new"}, false);
    ListChanges after = list.TakeChanges();
    EXPECT_TRUE(after.reset);
    EXPECT_EQ(after.rowCount, 1);
    ASSERT_EQ(after.rows.size(), 1u);
    EXPECT_EQ(after.rows[0].second[0], "new");
}
