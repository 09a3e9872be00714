// The receive side without a socket: which datagrams become rows, and when.
#include <algorithm>

#include <gtest/gtest.h>

#include "discovery/DatagramIntake.h"
#include "discovery/DeviceTable.h"
#include "discovery/ListModel.h"
#include "discovery/WireProtocol.h"
#include "tests/support/Devices.h"

namespace {

std::vector<std::uint8_t> reply(std::uint8_t lastOctet, std::uint8_t macLast, const std::string& name = "Lobby") {
    DeviceReply r;
    r.ip = {192, 168, 0, lastOctet};
    r.mac = {2, 0, 0, 0, 0, macLast};
    r.setName(name);
    auto bytes = r.build();
    return {bytes.begin(), bytes.end()};
}

struct Intake {
    explicit Intake(std::size_t capacity = DeviceTable::kMaxCameras) : table(capacity) {}
    DeviceTable table;
    ListModel list;
    std::atomic<int> mode{kReceiverRun};
    std::mutex entry;
    ReceiverStats stats;
    DatagramIntake intake{table, list, mode, entry, stats};
};

TEST(DatagramIntakeTest, OnlyWholeRepliesEnterAndOnlyWhileRunning) {
    Intake in;
    auto first = reply(20, 1);
    EXPECT_EQ(in.intake.Take(first), IntakeResult::Entered);
    EXPECT_EQ(testsupport::Cells(in.list.Rows()[0]),
              (std::vector<std::string>{"000", "Lobby", "192.168.0.20", "02:00:00:00:00:01", ""}));

    auto tooShort = reply(21, 2);
    tooShort.resize(49);
    auto capitalM = reply(22, 3);
    capitalM[4] = 'M';
    auto noAddress = reply(20, 4);
    std::fill(noAddress.begin() + 10, noAddress.begin() + 14, 0);
    EXPECT_EQ(in.intake.Take(tooShort), IntakeResult::Rejected);
    EXPECT_EQ(in.intake.Take(capitalM), IntakeResult::Rejected);
    EXPECT_EQ(in.intake.Take(noAddress), IntakeResult::Rejected);
    auto fifty = reply(23, 5);
    fifty.resize(50);
    EXPECT_EQ(in.intake.Take(fifty), IntakeResult::Entered) << "50 bytes are enough";

    for (int mode : {kReceiverHold, kReceiverStop}) {
        in.mode = mode;
        EXPECT_EQ(in.intake.Take(reply(24, 6)), IntakeResult::Held) << "mode " << mode;
    }
    EXPECT_EQ(in.list.GetItemCount(), 2);
    EXPECT_EQ(in.stats.rejected.load(), 3u);
    EXPECT_EQ(in.stats.held.load(), 2u);

    // A known camera keeps its row and Idx; its other cells follow the newest reply.
    in.mode = kReceiverRun;
    in.list.SetStatus(Mac{2, 0, 0, 0, 0, 1}, "UPGRADE SUCCESSFUL", std::nullopt);
    EXPECT_EQ(in.intake.Take(reply(77, 1, "Moved")), IntakeResult::Entered);
    EXPECT_EQ(testsupport::Cells(in.list.Rows()[0]),
              (std::vector<std::string>{"000", "Moved", "192.168.0.77", "02:00:00:00:00:01", "UPGRADE SUCCESSFUL"}));
    EXPECT_EQ(in.table.Count(), 2u);
    EXPECT_EQ(in.intake.Take(reply(25, 7)), IntakeResult::Entered);
    EXPECT_EQ(in.list.GetItemText(2, 0), "002");
}

} // namespace

// Replies with made-up MACs once grew the table without bound.
TEST(DatagramIntakeTest, AFullTableTakesNoNewCameraButStillRefreshesKnownOnes) {
    static_assert(DeviceTable::kMaxCameras >= 20000, "well above any real segment");
    Intake in(3);
    for (std::uint8_t mac = 1; mac <= 3; ++mac)
        EXPECT_EQ(in.intake.Take(reply(mac, mac)), IntakeResult::Entered);
    for (std::uint8_t mac = 4; mac <= 40; ++mac)
        EXPECT_EQ(in.intake.Take(reply(mac, mac)), IntakeResult::TableFull);
    EXPECT_EQ(in.table.Count(), 3u);
    EXPECT_EQ(in.list.GetItemCount(), 3);
    EXPECT_EQ(in.stats.tableFull.load(), 37u);
    EXPECT_EQ(in.intake.Take(reply(99, 2)), IntakeResult::Entered) << "a known camera still refreshes";
    EXPECT_EQ(in.list.GetItemText(1, 2), "192.168.0.99");
}
