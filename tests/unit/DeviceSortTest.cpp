// Column sorting and the list rows it moves.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "discovery/DeviceRows.h"
#include "discovery/DeviceSort.h"
#include "discovery/DeviceTable.h"
#include "tests/support/Devices.h"
#include "tests/support/TestSupport.h"

using testsupport::MakeDevice;

namespace {

// Fills table and list as the receiver would: one row per record, Idx from the record.
void fill(DeviceTable& table, ListModel& list, const std::vector<DeviceInfo>& devices) {
    for (const DeviceInfo& d : devices)
        WriteDeviceRow(list, table.FindOrAddDevice(d), d);
}

std::vector<std::string> column(const ListModel& list, int c) {
    std::vector<std::string> out;
    for (const ListRow& row : list.Rows())
        out.push_back(CellText(row, c));
    return out;
}

std::vector<std::string> sorted(const std::vector<DeviceInfo>& devices, SortState state, int c) {
    DeviceTable table;
    ListModel list;
    fill(table, list, devices);
    SortDeviceList(table, list, state);
    return column(list, c);
}

using Names = std::vector<std::string>;

} // namespace

TEST(DeviceSortTest, CellTexts) {
    EXPECT_EQ(IdxText(7), "007");
    EXPECT_EQ(IdxText(1000), "1000");
    DeviceInfo d = MakeDevice(0xAB, {10, 0, 0, 9}, "Caf\xE9\xFF");
    EXPECT_EQ(NameText(d), "Caf\u00E9\u00FF") << "bytes above 127 widen to the same code point";
    EXPECT_EQ(MacText(d), "02:00:00:00:00:ab");
}

TEST(DeviceSortTest, ColumnOrders) {
    const SortState up0{0, true}, up1{1, true}, down1{1, false}, up2{2, true}, down2{2, false}, up3{3, true};
    // The first click on a column sorted descending, and the direction carried over to the next column.
    SortState clicks;
    clicks.Click(2);
    EXPECT_TRUE(clicks.ascending) << "a first click sorts ascending";
    clicks.Click(2);
    EXPECT_FALSE(clicks.ascending) << "a second click on it turns the order round";
    clicks.Click(1);
    EXPECT_TRUE(clicks.ascending && clicks.column == 1) << "another column starts ascending";
    SortState fresh;
    fresh.Click(0);
    EXPECT_TRUE(fresh.ascending) << "Idx, the column of the state at start, too";
    // Idx compares as "%03d" text, so 1000 sorts before 999.
    std::vector<DeviceInfo> idx = {MakeDevice(1, {10, 0, 0, 1}, "a", 999), MakeDevice(2, {10, 0, 0, 2}, "b", 1000),
                                   MakeDevice(3, {10, 0, 0, 3}, "c", 5)};
    EXPECT_EQ(sorted(idx, up0, 1), (Names{"c", "b", "a"}));

    // Names compare by unsigned bytes: capitals first, Latin-1 letters last.
    std::vector<DeviceInfo> names = {MakeDevice(1, {10, 0, 0, 1}, "b"), MakeDevice(2, {10, 0, 0, 2}, "\xE9"),
                                     MakeDevice(3, {10, 0, 0, 3}, "B"), MakeDevice(4, {10, 0, 0, 4}, "a")};
    EXPECT_EQ(sorted(names, up1, 1), (Names{"B", "a", "b", "\u00E9"}));
    EXPECT_EQ(sorted(names, down1, 1), (Names{"\u00E9", "b", "a", "B"}));

    // A key with factor 255 made 10.0.0.255 and 10.0.1.0 equal: addresses sort as the numbers they are.
    std::vector<DeviceInfo> ips = {MakeDevice(1, {192, 168, 0, 20}, "far"), MakeDevice(2, {10, 0, 1, 0}, "late"),
                                   MakeDevice(3, {10, 0, 0, 255}, "early"), MakeDevice(4, {10, 0, 0, 9}, "near")};
    EXPECT_EQ(sorted(ips, up2, 1), (Names{"near", "early", "late", "far"}));
    EXPECT_EQ(sorted(ips, down2, 1), (Names{"far", "late", "early", "near"}));
    EXPECT_FALSE(CompareDevices(ips[1], ips[2], up2));
    EXPECT_TRUE(CompareDevices(ips[2], ips[1], up2));
    DeviceInfo top = MakeDevice(5, {255, 255, 255, 255}, "top");
    EXPECT_TRUE(CompareDevices(ips[0], top, up2)) << "the largest key must not wrap around";

    std::vector<DeviceInfo> macs = {MakeDevice(0xB0, {10, 0, 0, 1}, "b0"), MakeDevice(0x0A, {10, 0, 0, 2}, "0a"),
                                    MakeDevice(0x09, {10, 0, 0, 3}, "09")};
    EXPECT_EQ(sorted(macs, up3, 1), (Names{"09", "0a", "b0"}));

    for (int c : {4, 5, -1}) {
        SCOPED_TRACE("column " + std::to_string(c));
        EXPECT_FALSE(CompareDevices(names[0], names[1], {c, true}));
        EXPECT_FALSE(CompareDevices(names[1], names[0], {c, false}));
        EXPECT_EQ(sorted(names, {c, false}, 1), (Names{"b", "\u00E9", "B", "a"})) << "order unchanged";
    }
}

// A click on "Name" after a job emptied every Status cell and took the red off the failed rows.
TEST(DeviceSortTest, SortMovesEachRowWholeWithItsRecordAndKeepsEachCamerasResult) {
    DeviceTable table;
    ListModel list;
    // Between the cameras, a row whose record the table could not take (its allocation failed):
    // it has no place in the table's order, so it follows the sorted rows, and no camera's row
    // takes another's place because of it.
    fill(table, list, {MakeDevice(1, {10, 0, 0, 3}, "gamma", 0)});
    list.AppendRow(MakeDevice(9, {10, 0, 0, 0}, "orphan", 1));
    fill(table, list, {MakeDevice(2, {10, 0, 0, 1}, "alpha", 2), MakeDevice(3, {10, 0, 0, 2}, "beta", 3)});
    const Mac gamma{2, 0, 0, 0, 0, 1}, alpha{2, 0, 0, 0, 0, 2}, beta{2, 0, 0, 0, 0, 3};
    list.SetStatus(gamma, "401 Unauthorized", std::nullopt);
    list.SetFailed(gamma, true);
    list.SetStatus(alpha, "Upgrade Status... 40%", 0.4);
    list.SetStatus(beta, "UPGRADE SUCCESSFUL", std::nullopt);
    table.SetFailed(gamma, true);
    list.SetStatus(Mac{2, 0, 0, 0, 0, 9}, "Reset Status... 40%", 0.4);

    SortDeviceList(table, list, {2, true});
    const std::vector<ListRow> sorted = list.Rows();
    std::vector<std::vector<std::string>> texts;
    texts.reserve(sorted.size());
    for (const ListRow& row : sorted)
        texts.push_back(testsupport::Cells(row));
    EXPECT_EQ(texts, (std::vector<std::vector<std::string>>{
                         {"002", "alpha", "10.0.0.1", "02:00:00:00:00:02", "Upgrade Status... 40%"},
                         {"003", "beta", "10.0.0.2", "02:00:00:00:00:03", "UPGRADE SUCCESSFUL"},
                         {"000", "gamma", "10.0.0.3", "02:00:00:00:00:01", "401 Unauthorized"},
                         {"001", "orphan", "10.0.0.0", "02:00:00:00:00:09", "Reset Status... 40%"}}))
        << "Idx and Status travel with their camera";
    EXPECT_EQ(sorted[0].progress, std::optional<double>(0.4));
    EXPECT_FALSE(sorted[0].Failed() || sorted[1].Failed());
    EXPECT_TRUE(sorted[2].Failed()) << "the red mark stays on the camera that failed";
    std::string records; // row r must show record r, whose failed mark moved with it
    for (int p = 0; p < 3; ++p)
        records += NameText(*table.CopyDeviceAt(p)) + std::to_string(table.CopyDeviceAt(p)->failed) + " ";
    EXPECT_EQ(records, "alpha0 beta0 gamma1 ");

    // A job writes by MAC: after the sort its Status lands on the camera's new row, not the old one.
    EXPECT_EQ(list.RowOf(gamma), 2);
    list.SetStatus(gamma, "UPGRADE SUCCESSFUL", std::nullopt);
    list.SetFailed(gamma, false);
    EXPECT_EQ(list.GetItemText(2, StatusColumn), "UPGRADE SUCCESSFUL");
    EXPECT_EQ(list.GetItemText(0, StatusColumn), "Upgrade Status... 40%");
    EXPECT_FALSE(list.Row(2)->Failed());
    list.DeleteAllItems();
    list.SetStatus(gamma, "late", std::nullopt);
    EXPECT_EQ(list.RowOf(gamma), -1);
    EXPECT_EQ(list.GetItemCount(), 0) << "a write for a camera no row shows brings no row back";
}
