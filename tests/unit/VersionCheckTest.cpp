// The version check against the fake camera network: every row's Status and the detour.
#include "tests/unit/WorkflowFixture.h"

namespace {

class VersionCheckTest : public WorkflowTest {};

TEST_F(VersionCheckTest, EveryRowShowsItsVersionOrWhyNot) {
    FakeCamera plain = Cam("Plain", 1, {192, 168, 0, 21});
    FakeCamera newer = Cam("Newer", 2, {192, 168, 0, 22});
    newer.version = "V1.06";
    FakeCamera locked = Cam("Locked", 3, {192, 168, 0, 23});
    locked.queryAtHome = RequestResult::Unauthorized;
    FakeCamera gone = Cam("Gone", 4, {192, 168, 0, 24});
    gone.queryAtHome = RequestResult::NoReply;
    FakeCamera wifi = Cam("Wifi", 5, {192, 168, 0, 25});
    wifi.ifType = kWifiInterface;
    FakeCamera hidden = Cam("Hidden", 6, {10, 0, 0, 7});
    hidden.version = "V1.07";
    hidden.queryAtHome = RequestResult::ReplyWithoutContent;
    hidden.netmask = {}; // it reports none: it goes back with its class's
    FakeCamera stubborn = Cam("Stubborn", 7, {127, 0, 0, 5});
    stubborn.netmask = {};
    stubborn.queryAtHome = stubborn.queryWhenMoved = RequestResult::ReplyWithoutContent;
    FakeCamera lost = Cam("Lost", 8, {192, 168, 0, 28});
    lost.queryAtHome = RequestResult::ReplyWithoutContent;
    lost.queryWhenMoved = RequestResult::NoReply;
    Start({plain, newer, locked, gone, wifi, hidden, stubborn, lost});
    window.Select({0}); // the check asks every row, whatever the selection
    Run(&CTarnDlg::OnCheckVersion);

    const std::tuple<const char*, const char*, bool> want[] = {{"Plain", "V1.05", false},
                                                               {"Newer", "V1.06", false},
                                                               {"Locked", "401 Unauthorized", true},
                                                               {"Gone", "Device offline", true},
                                                               {"Wifi", "Wi-Fi interface", true},
                                                               {"Hidden", "V1.07", false},
                                                               {"Stubborn", "Can not connect", true},
                                                               // Blank and not failed, though no version was read.
                                                               {"Lost", "Device offline", true}};
    for (const auto& [name, status, failed] : want) {
        EXPECT_EQ(Status(name), status) << name;
        EXPECT_EQ(Failed(name), failed) << name;
    }
    // A detoured camera is sent home with the mask it reported (of its class where it reported
    // none) and the detour's other bytes.
    const std::tuple<const char*, Ipv4, Ipv4> detoured[] = {{"Hidden", {10, 0, 0, 7}, {255, 0, 0, 0}},
                                                            {"Stubborn", {127, 0, 0, 5}, {255, 255, 0, 0}},
                                                            {"Lost", {192, 168, 0, 28}, {255, 255, 255, 0}}};
    for (const auto& [name, home, mask] : detoured) {
        SCOPED_TRACE(name);
        const FakeCamera& c = net->Camera(name);
        std::vector<SetNetworkCommand> mine;
        for (const SetNetworkCommand& command : net->Commands())
            if (command.mac == c.mac)
                mine.push_back(command);
        ASSERT_EQ(mine.size(), 2u);
        EXPECT_EQ(mine[0].netmask, (Ipv4{255, 255, 0, 0}));
        EXPECT_FALSE(mine[0].hasGateway);
        EXPECT_EQ(mine[1].ip, home);
        EXPECT_EQ(c.ip, home) << "back at its own address";
        EXPECT_EQ(mine[1].netmask, mask);
        EXPECT_TRUE(mine[1].interfaceName) << "the version check's restore keeps \"eth1\"";
        EXPECT_FALSE(mine[1].hasGateway);
    }
    EXPECT_EQ(net->Calls("read-adapter").size(), 2u);
    EXPECT_EQ(window.Calls("Controls").back(), "Controls on");
    EXPECT_TRUE(window.Calls("MessageBox").empty());
}

// A row must never show the version of another camera that happens to hold the same address.
TEST_F(VersionCheckTest, CamerasSharingAnAddressEachShowTheirOwnVersion) {
    FakeCamera older = Cam("Older", 1, {192, 168, 0, 20});
    older.version = "V1.04";
    FakeCamera newer = Cam("Newer", 2, {192, 168, 0, 20});
    newer.version = "V1.07";
    FakeCamera mute = Cam("Mute", 3, {192, 168, 0, 20});
    mute.queryWhenMoved = RequestResult::NoReply;
    Start({older, newer, mute});
    Run(&CTarnDlg::OnCheckVersion);
    EXPECT_EQ(Outcome("Older"), OutcomeKind::VersionRead);
    EXPECT_EQ(Ended("Older").versionBefore, "V1.04");
    EXPECT_EQ(Outcome("Newer"), OutcomeKind::VersionRead);
    EXPECT_EQ(Ended("Newer").versionBefore, "V1.07");
    EXPECT_EQ(Outcome("Mute"), OutcomeKind::SharedAddressUnreachable);
    EXPECT_TRUE(Failed("Mute"));
    EXPECT_TRUE(net->Calls("query 192.168.0.20").empty()) << "nobody is asked at the shared address";
    for (const char* name : {"Older", "Newer", "Mute"})
        EXPECT_EQ(net->Camera(name).ip, (Ipv4{192, 168, 0, 20})) << name << " sent home";
    EXPECT_TRUE(Journal().restores.empty());
}

TEST_F(VersionCheckTest, AnEmptyListStillSavesAndRestoresAndWarnsWithoutAnAddress) {
    Start({});
    net->adapterConfig.reset();
    Run(&CTarnDlg::OnCheckVersion);
    EXPECT_EQ(window.Calls("MessageBox"), std::vector<std::string>{"MessageBox please check network status..."});
    EXPECT_EQ(net->Calls("read-adapter").size(), 1u);
    EXPECT_EQ(window.Calls("Controls").back(), "Controls on");
    EXPECT_FALSE(dlg->IsBusy());
}

} // namespace
