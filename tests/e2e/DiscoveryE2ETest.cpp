// Discovery end to end: simulated cameras in their own namespaces, the tool in the host one.
#include <chrono>
#include <functional>
#include <iostream>
#include <set>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "app/TarnDlg.h"
#include "console/CliWindow.h"
#include "tests/support/VirtualLan.h"

namespace {

using testsupport::WaitUntil;

using namespace std::chrono_literals;

int adapterPosition(const CTarnDlg& dlg, const std::string& interfaceName) {
    const auto& adapters = dlg.Discovery().Adapters().adapters;
    for (std::size_t i = 0; i < adapters.size(); ++i)
        if (adapters[i].interfaceName == interfaceName)
            return static_cast<int>(i);
    return -1;
}

class DiscoveryE2E : public ::testing::Test {
protected:
    void SetUp() override {
        if (auto why = VirtualLan::Unavailable(); !why.empty())
            GTEST_SKIP() << why;
    }
};

TEST_F(DiscoveryE2E, FiveCamerasOfBothFamiliesAreListedOnceEach) {
    VirtualLan lan({.cameras = {
                        "--name Lobby --ip 192.168.0.21 --mac 02:00:00:00:00:01 --family generic",
                        "--name Dock --ip 192.168.0.22 --mac 02:00:00:00:00:02 --family maker --web-port 8080",
                        "--name Both --ip 192.168.0.23 --mac 02:00:00:00:00:03 --family both",
                        "--name Yard --ip 192.168.0.24 --mac 02:00:00:00:00:04 --family generic --wifi",
                        "--name Gate --ip 10.1.2.3 --mask 255.0.0.0 --mac 02:00:00:00:00:05 --family maker",
                    }});
    int rc = -1;
    std::string out = lan.RunInHost(std::string(CliPath()) + " --json search --wait 2", rc);
    ASSERT_EQ(rc, 0) << out;
    auto doc = nlohmann::json::parse(out);
    EXPECT_EQ(doc["adapter"]["address"], "192.168.0.10");
    ASSERT_EQ(doc["devices"].size(), 5u) << out;
    std::set<std::string> macs, names, idx;
    for (const auto& d : doc["devices"]) {
        macs.insert(d["mac"]);
        names.insert(d["name"]);
        idx.insert(d["idx"]);
        EXPECT_EQ(d["status"], "");
        EXPECT_EQ(d["failed"], false);
    }
    EXPECT_EQ(macs.size(), 5u) << "a camera answering both requests must be listed once";
    EXPECT_EQ(names, (std::set<std::string>{"Lobby", "Dock", "Both", "Yard", "Gate"}));
    EXPECT_EQ(idx, (std::set<std::string>{"000", "001", "002", "003", "004"}));

    // The records behind the rows carry what the list does not show.
    lan.EnterHost();
    CliWindow window(std::cerr);
    Clock clock;
    CTarnDlg dlg(window, clock);
    dlg.OnInitDialog();
    ASSERT_TRUE(WaitUntil([&] { return dlg.Discovery().List().GetItemCount() == 5; }, 3s));
    std::this_thread::sleep_for(300ms);
    for (int r = 0; r < 5; ++r) {
        auto d = dlg.Discovery().Table()->CopyDeviceAt(r);
        ASSERT_TRUE(d);
        std::string name = d->name.data();
        EXPECT_EQ(d->ifType, name == "Yard" ? 0xAF : 0) << name;
        if (name == "Dock") {
            EXPECT_EQ(d->webPort, 8080);
            EXPECT_EQ(d->kind, 1);
        }
        if (name == "Lobby") {
            EXPECT_EQ(d->kind, 0);
        }
    }
    EXPECT_EQ(dlg.Discovery().List().GetItemCount(), 5);
}

TEST_F(DiscoveryE2E, ChangedAddressRefreshesItsRowAndHoldDropsReplies) {
    VirtualLan lan({.cameras = {
                        "--name Slow --ip 192.168.0.21 --mac 02:00:00:00:01:01 --reply-delay-ms 300",
                        "--name Mover --ip 192.168.0.22 --mac 02:00:00:00:01:02 --family both --second-ip "
                        "192.168.0.77 --reply-delay-ms 300",
                    }});
    lan.EnterHost();
    CliWindow window(std::cerr);
    Clock clock;
    CTarnDlg dlg(window, clock);
    dlg.OnInitDialog();
    auto moverIp = [&] {
        for (const auto& row : dlg.Discovery().List().Rows())
            if (CellText(row, 1) == "Mover")
                return CellText(row, 2);
        return std::string();
    };
    ASSERT_TRUE(WaitUntil([&] { return moverIp() == "192.168.0.77"; }, 3s)) << "got " << moverIp();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(dlg.Discovery().List().GetItemCount(), 2) << "the second reply must refresh the row, not add one";
    EXPECT_EQ(dlg.Discovery().Table()->Count(), 2u);

    // Replies that arrive while a workflow holds the receiver are read and dropped.
    dlg.OnSearch();
    dlg.Discovery().SetReceiverMode(kReceiverHold);
    auto heldBefore = dlg.Discovery().Stats()->held.load();
    ASSERT_TRUE(WaitUntil([&] { return dlg.Discovery().Stats()->held.load() >= heldBefore + 3; }, 3s));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(dlg.Discovery().List().GetItemCount(), 0);
    EXPECT_EQ(dlg.Discovery().Table()->Count(), 0u);

    dlg.Discovery().SetReceiverMode(kReceiverRun);
    dlg.OnSearch();
    EXPECT_TRUE(WaitUntil([&] { return dlg.Discovery().List().GetItemCount() == 2; }, 3s));
}

TEST_F(DiscoveryE2E, AdapterChangeEmptiesTheListUntilTheNextSearch) {
    VirtualLan lan({.cameras = {"--name One --ip 192.168.0.21 --mac 02:00:00:00:02:01",
                                "--name Two --ip 192.168.0.22 --mac 02:00:00:00:02:02 --family maker"},
                    .secondAdapter = true});
    lan.EnterHost();
    CliWindow window(std::cerr);
    Clock clock;
    CTarnDlg dlg(window, clock);
    dlg.OnInitDialog();
    int lanCard = adapterPosition(dlg, "eth0");
    int emptyCard = adapterPosition(dlg, "eth1");
    ASSERT_GE(lanCard, 0);
    ASSERT_GE(emptyCard, 0);
    ASSERT_EQ(dlg.Discovery().AdapterIndex(), lanCard) << "the first adapter with an address is the default";
    ASSERT_TRUE(WaitUntil([&] { return dlg.Discovery().List().GetItemCount() == 2; }, 3s));

    dlg.OnAdapterSelChange(emptyCard);
    EXPECT_EQ(dlg.Discovery().List().GetItemCount(), 0);
    EXPECT_EQ(dlg.Discovery().Table()->Count(), 0u);
    EXPECT_TRUE(dlg.Discovery().ReceiverRunning());
    dlg.OnSearch();
    std::this_thread::sleep_for(800ms);
    EXPECT_EQ(dlg.Discovery().List().GetItemCount(), 0) << "replies on the other card must not be accepted";

    dlg.OnAdapterSelChange(lanCard);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(dlg.Discovery().List().GetItemCount(), 0) << "an adapter change sends no search";
    dlg.OnSearch();
    EXPECT_TRUE(WaitUntil([&] { return dlg.Discovery().List().GetItemCount() == 2; }, 3s));
}

// Closing or switching adapters in the middle of a burst must neither hang nor touch freed records.
TEST_F(DiscoveryE2E, ClosingAndSwitchingDuringABurstIsSafe) {
    VirtualLan lan({.cameras = {"--fleet 3000"}, .secondAdapter = true});
    lan.EnterHost();
    for (int round = 0; round < 3; ++round) {
        CliWindow window(std::cerr);
        Clock clock;
        CTarnDlg dlg(window, clock);
        dlg.OnInitDialog();
        ASSERT_TRUE(WaitUntil([&] { return dlg.Discovery().List().GetItemCount() > 10; }, 3s));
        auto started = std::chrono::steady_clock::now();
        if (round == 1)
            dlg.OnAdapterSelChange(adapterPosition(dlg, "eth1"));
        dlg.OnCancel();
        EXPECT_LT(std::chrono::steady_clock::now() - started, 2s) << "closing must not wait for the burst";
        EXPECT_EQ(dlg.Discovery().Table(), nullptr);
        dlg.OnSearch(); // harmless once closed
        dlg.OnAdapterSelChange(0);
    }
}

} // namespace
