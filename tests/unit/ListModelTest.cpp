// The device list's rows and the change notices a view repaints from.
#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "discovery/ChangeRelay.h"
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

// A row written while the view took the changes stayed stale on screen: the view cleared its
// pending mark after the take, so the writer saw a repaint pending and asked for none.
TEST(ListModelTest, AWriteWhileTheViewTakesItsChangesStillAsksForARepaint) {
    ListModel list;
    ChangeRelay relay;
    std::atomic<int> asked{0};
    list.SetListener([&](ListModel::Change, int) {
        if (relay.Changed())
            ++asked;
    });
    list.AppendRow({"000", "cam", "10.0.0.1", "02:00:00:00:00:01", ""}, false);
    ASSERT_EQ(asked.load(), 1);
    // The write lands between the view's decision to take and the take itself.
    struct Interleaved {
        ListModel& list;
        std::optional<ListChanges> TryTakeChanges() {
            auto taken = list.TryTakeChanges();
            list.SetStatus(0, "UPGRADE SUCCESSFUL", std::nullopt);
            return taken;
        }
    } model{list};
    ASSERT_TRUE(relay.Take(model));
    EXPECT_EQ(asked.load(), 2) << "the write after the take asked for a repaint of its own";
    auto later = relay.Take(list);
    ASSERT_TRUE(later);
    ASSERT_EQ(later->rows.size(), 1u);
    EXPECT_EQ(later->rows[0].second[StatusColumn], "UPGRADE SUCCESSFUL");

    // Many writers and one view: once the writers stop and the last repaint has run, the view
    // shows every row's last value.
    std::atomic<bool> stop{false};
    std::atomic<int> repaints{0};
    std::vector<std::string> shown(1);
    std::thread view([&] {
        int seen = 0;
        while (!stop || seen != asked.load()) {
            if (seen == asked.load()) {
                std::this_thread::yield();
                continue;
            }
            seen = asked.load();
            if (auto changes = relay.Take(list); changes) {
                ++repaints;
                for (auto& [row, texts] : changes->rows)
                    shown[0] = texts[StatusColumn];
            } else {
                --seen; // a writer held the rows: try again
            }
        }
    });
    std::vector<std::thread> writers;
    writers.reserve(2);
    for (int w = 0; w < 2; ++w)
        writers.emplace_back([&, w] {
            for (int i = 0; i < 2000; ++i)
                list.SetStatus(0, std::to_string(w) + ":" + std::to_string(i), std::nullopt);
        });
    for (auto& t : writers)
        t.join();
    list.SetStatus(0, "last", std::nullopt);
    stop = true;
    view.join();
    EXPECT_EQ(shown[0], "last");
    EXPECT_GT(repaints.load(), 0);
}
