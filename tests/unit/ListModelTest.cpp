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
#include "tests/support/Devices.h"

using testsupport::MakeDevice;

namespace {

Mac macOf(std::uint8_t last) {
    return {0x02, 0x00, 0x00, 0x00, 0x00, last};
}

} // namespace

TEST(ListModelTest, RowsAndListener) {
    ListModel list;
    std::vector<std::pair<ListModel::Change, int>> changes;
    std::vector<std::string> seen;
    // The listener reads the model back, as a view does; with the lock held this would hang.
    list.SetListener([&](ListModel::Change change, int row) {
        changes.emplace_back(change, row);
        seen.push_back(std::to_string(list.GetItemCount()) + ":" + list.GetItemText(row, 1));
    });

    EXPECT_EQ(list.AppendRow(MakeDevice(1, {10, 0, 0, 1}, "", 0)), 0);
    EXPECT_EQ(list.AppendRow(MakeDevice(2, {10, 0, 0, 2}, "", 1)), 1);
    const DeviceInfo later = MakeDevice(2, {10, 0, 0, 9}, "Dock", 7); // a reply carries no red mark
    list.SetFailed(macOf(2), true);
    list.SetStatus(macOf(2), "401 Unauthorized", std::nullopt);
    list.Refresh(macOf(2), later);
    EXPECT_EQ(list.GetItemText(1, 0), "001") << "a later reply keeps the row's Idx";
    EXPECT_EQ(list.GetItemText(1, 1), "Dock");
    EXPECT_EQ(list.GetItemText(1, 2), "10.0.0.9");
    EXPECT_EQ(list.GetItemText(1, StatusColumn), "401 Unauthorized") << "and its Status";
    EXPECT_TRUE(list.Row(1)->Failed()) << "and its red mark";
    EXPECT_EQ(list.GetItemText(0, 1), "");
    EXPECT_EQ(list.GetItemText(0, kColumnCount), "");

    using C = ListModel::Change;
    const std::vector<std::pair<C, int>> want = {
        {C::RowAppended, 0}, {C::RowAppended, 1}, {C::RowChanged, 1}, {C::RowChanged, 1}, {C::RowChanged, 1}};
    EXPECT_EQ(changes, want);
    EXPECT_EQ(seen, (std::vector<std::string>{"1:", "2:", "2:", "2:", "2:Dock"}))
        << "each notice comes after its change";

    list.DeleteAllItems();
    EXPECT_EQ(list.GetItemCount(), 0);
    ASSERT_EQ(changes.size(), 6u);
    EXPECT_EQ(changes.back().first, C::Reset);

    // A late write for a camera that a Search has removed must not bring its row back.
    list.Refresh(macOf(2), later);
    list.SetStatus(macOf(2), "late", std::nullopt);
    list.SetAddress(macOf(1), {10, 0, 0, 3});
    EXPECT_EQ(list.GetItemCount(), 0);
    EXPECT_TRUE(list.Rows().empty());
    EXPECT_EQ(list.GetItemText(0, 1), "");

    // A board without a programmed MAC (all zeros) is still a camera: its later replies reach its row.
    DeviceInfo blank = MakeDevice(0, {10, 0, 0, 5}, "blank");
    blank.mac = Mac{};
    list.AppendRow(blank);
    blank.ip = {10, 0, 0, 6};
    list.Refresh(Mac{}, blank);
    EXPECT_EQ(list.RowOf(Mac{}), 0);
    EXPECT_EQ(list.GetItemText(0, 2), "10.0.0.6");
}

// The window copies only what changed: every write must show up once, a reset must bring all.
TEST(ListModelTest, ChangesSinceTheLastLookAreAllAndOnlyTheWrittenRows) {
    ListModel list;
    for (int i = 0; i < 5; ++i)
        list.AppendRow(MakeDevice(static_cast<std::uint8_t>(i), {10, 0, 0, 1}, std::to_string(i), i));
    ListChanges first = list.TakeChanges();
    EXPECT_FALSE(first.reset);
    EXPECT_EQ(first.rowCount, 5);
    EXPECT_EQ(first.rows.size(), 5u) << "appended rows are new to the view";

    list.SetStatus(macOf(3), "Upgrade Status... 40%", 0.4);
    list.SetFailed(macOf(1), true);
    list.SetStatus(macOf(3), "Upgrade Status... 41%", 0.41);
    auto taken = list.TryTakeChanges();
    ASSERT_TRUE(taken.has_value()) << "nobody holds the rows";
    ASSERT_EQ(taken->rows.size(), 2u);
    EXPECT_EQ(taken->rows[0].first, 1);
    EXPECT_TRUE(taken->rows[0].second.Failed());
    EXPECT_EQ(taken->rows[1].first, 3);
    EXPECT_EQ(CellText(taken->rows[1].second, StatusColumn), "Upgrade Status... 41%") << "the latest text";
    EXPECT_DOUBLE_EQ(*taken->rows[1].second.progress, 0.41);
    EXPECT_TRUE(list.TakeChanges().rows.empty()) << "nothing twice";

    list.DeleteAllItems();
    list.AppendRow(MakeDevice(9, {10, 0, 0, 1}, "new"));
    ListChanges after = list.TakeChanges();
    EXPECT_TRUE(after.reset);
    EXPECT_EQ(after.rowCount, 1);
    ASSERT_EQ(after.rows.size(), 1u);
    EXPECT_EQ(CellText(after.rows[0].second, 1), "new");
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
    list.AppendRow(MakeDevice(1, {10, 0, 0, 1}, "cam"));
    ASSERT_EQ(asked.load(), 1);
    // The write lands between the view's decision to take and the take itself.
    struct Interleaved {
        ListModel& list;
        std::optional<ListChanges> TryTakeChanges() {
            auto taken = list.TryTakeChanges();
            list.SetStatus(macOf(1), "UPGRADE SUCCESSFUL", std::nullopt);
            return taken;
        }
    } model{list};
    ASSERT_TRUE(relay.Take(model));
    EXPECT_EQ(asked.load(), 2) << "the write after the take asked for a repaint of its own";
    auto later = relay.Take(list);
    ASSERT_TRUE(later);
    ASSERT_EQ(later->rows.size(), 1u);
    EXPECT_EQ(CellText(later->rows[0].second, StatusColumn), "UPGRADE SUCCESSFUL");

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
                    shown[0] = CellText(texts, StatusColumn);
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
                list.SetStatus(macOf(1), Text(std::to_string(w) + ":" + std::to_string(i)), std::nullopt);
        });
    for (auto& t : writers)
        t.join();
    list.SetStatus(macOf(1), "last", std::nullopt);
    stop = true;
    view.join();
    EXPECT_EQ(shown[0], "last");
    EXPECT_GT(repaints.load(), 0);
}
