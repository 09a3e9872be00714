// The factory reset and the automatic re-addressing against the fake camera network.
#include "tests/unit/WorkflowFixture.h"

namespace {

class ResetTest : public WorkflowTest {};

TEST_F(ResetTest, CountsDownTheRebootOrSaysWhyNot) {
    FakeCamera fresh = Cam("Fresh", 1, {192, 168, 0, 41});
    FakeCamera locked = Cam("Locked", 2, {192, 168, 0, 42});
    locked.reset = RequestResult::Unauthorized;
    FakeCamera gone = Cam("Gone", 3, {192, 168, 0, 43});
    gone.reset = RequestResult::NoReply;
    FakeCamera wifi = Cam("Wifi", 4, {192, 168, 0, 44});
    wifi.ifType = kWifiInterface;
    Start({fresh, locked, gone, wifi});
    SelectAll();
    window.ClearCalls();
    Run(&CTarnDlg::OnResetDefault);

    std::vector<CameraView> countdown = {{Phase::Resetting, 0}};
    for (int n = 60; n >= 1; --n)
        countdown.push_back({Phase::ResetRebooting, n});
    // Then it is looked for at the factory address until it shows itself there.
    std::vector<CameraView> views = Views("Fresh");
    ASSERT_GT(views.size(), countdown.size());
    EXPECT_EQ(std::vector<CameraView>(views.begin(), views.begin() + static_cast<long>(countdown.size())), countdown);
    EXPECT_EQ(views[countdown.size()], (CameraView{Phase::AwaitingReturn, 240}));
    EXPECT_EQ(Outcome("Fresh"), OutcomeKind::ResetAccepted);
    EXPECT_FALSE(Failed("Fresh"));
    EXPECT_EQ(net->Camera("Fresh").resets, 1) << "accepted at the first attempt";
    EXPECT_EQ(Outcome("Locked"), OutcomeKind::Unauthorized);
    EXPECT_TRUE(Failed("Locked"));
    EXPECT_EQ(net->Camera("Locked").resets, 1);
    EXPECT_EQ(Outcome("Gone"), OutcomeKind::DeviceOffline);
    EXPECT_TRUE(Failed("Gone"));
    EXPECT_EQ(net->Camera("Gone").resets, 3);
    EXPECT_EQ(Outcome("Wifi"), OutcomeKind::WifiInterface);
    EXPECT_EQ(net->Camera("Wifi").resets, 0);
    EXPECT_EQ(window.Calls("Controls on").size(), 1u) << "enabled once, by the last worker";
    EXPECT_EQ(dlg->Discovery().ReceiverModeValue(), kReceiverRun);
    EXPECT_TRUE(net->Calls("read-adapter").empty()) << "the reset leaves the adapter alone";
}

// A reset meant for one of two cameras at one address must reach that camera and count down for it alone.
TEST_F(ResetTest, CamerasSharingAnAddressAreResetEachOnItsOwnAddress) {
    FakeCamera a = Cam("A", 1, {192, 168, 0, 20});
    FakeCamera b = Cam("B", 2, {192, 168, 0, 20});
    b.reset = RequestResult::Unauthorized;
    Start({a, b});
    window.Select({0, 1});
    Run(&CTarnDlg::OnResetDefault);
    EXPECT_EQ(Outcome("A"), OutcomeKind::ResetAccepted);
    EXPECT_FALSE(Failed("A"));
    EXPECT_EQ(net->Camera("A").resets, 1);
    EXPECT_EQ(Outcome("B"), OutcomeKind::Unauthorized);
    EXPECT_EQ(net->Camera("B").ip, (Ipv4{192, 168, 0, 20})) << "a refused camera is sent home";
    EXPECT_TRUE(net->Calls("reset 192.168.0.20").empty());
    EXPECT_TRUE(Journal().restores.empty()) << "the reset one goes home by its factory settings";
    EXPECT_FALSE(net->routePresent);
}

TEST_F(ResetTest, NoSelectionLeavesTheWindowUntouched) {
    Start({Cam("Fresh", 1, {192, 168, 0, 41})});
    window.ClearCalls();
    Run(&CTarnDlg::OnResetDefault);
    EXPECT_TRUE(window.Calls("Controls").empty());
    EXPECT_TRUE(net->Calls("reset").empty());
}

class AutoIpTest : public WorkflowTest {
protected:
    void Readdress(const std::string& start, const std::string& end) {
        window.SetFieldText(Field::RangeStart, start);
        window.SetFieldText(Field::RangeEnd, end);
        SelectAll();
        Run(&CTarnDlg::OnAutoChangeIp);
    }
    std::vector<SetNetworkCommand> commands() const { return net->Commands(); }
};

TEST_F(AutoIpTest, FactoryCamerasGetTheRangeInSelectionOrder) {
    FakeCamera a = Cam("A", 1, {192, 168, 0, 20});
    FakeCamera b = Cam("B", 2, {192, 168, 0, 20});
    b.family = CameraFamily::Maker;
    FakeCamera c = Cam("C", 3, {192, 168, 0, 20});
    FakeCamera other = Cam("Other", 4, {192, 168, 0, 200});
    Start({a, b, c, other});
    Readdress("31", "250");
    auto sent = commands();
    ASSERT_EQ(sent.size(), 3u);
    const std::pair<Ipv4, CameraFamily> want[] = {{{192, 168, 0, 31}, CameraFamily::Generic},
                                                  {{192, 168, 0, 32}, CameraFamily::Maker},
                                                  {{192, 168, 0, 33}, CameraFamily::Generic}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(sent[i].ip, want[i].first);
        EXPECT_EQ(sent[i].family, want[i].second);
        EXPECT_EQ(sent[i].gateway, (Ipv4{192, 168, 0, 254}));
        EXPECT_EQ(sent[i].hasCredentials, want[i].second == CameraFamily::Maker);
    }
    EXPECT_EQ(sent[1].user, "root");
    EXPECT_EQ(sent[1].password, "qnwt");
    EXPECT_EQ(net->Camera("Other").ip, (Ipv4{192, 168, 0, 200})) << "only the factory address is changed";
    // Each camera is listed where its own reply showed it, and judged by that reply.
    EXPECT_EQ(dlg->Discovery().List().GetItemCount(), 4);
    EXPECT_EQ(dlg->Discovery().List().GetItemText(RowOf("B"), 2), "192.168.0.32");
    for (const char* name : {"A", "B", "C"})
        EXPECT_EQ(Outcome(name), OutcomeKind::AddressSent) << name;
    EXPECT_EQ(window.Calls("Controls").back(), "Controls on");
}

// Range 31-250 once gave a factory camera 192.168.0.31 while another listed camera sat there.
TEST_F(AutoIpTest, AddressesHeldByListedCamerasOrAnsweringOnTheSegmentAreSkipped) {
    Start({Cam("A", 1, {192, 168, 0, 20}), Cam("B", 2, {192, 168, 0, 20}), Cam("Holder", 3, {192, 168, 0, 31})});
    net->arpTaken.insert("192.168.0.32");
    Readdress("31", "250");
    auto sent = commands();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].ip, (Ipv4{192, 168, 0, 33}));
    EXPECT_EQ(sent[1].ip, (Ipv4{192, 168, 0, 34}));

    net = std::make_shared<testsupport::FakeCameraNetwork>();
    dlg.reset();
    Start({Cam("A", 1, {192, 168, 0, 20}), Cam("B", 2, {192, 168, 0, 20}), Cam("Holder", 3, {192, 168, 0, 31})});
    Readdress("31", "33");
    ASSERT_EQ(commands().size(), 1u) << "skipping counts against the range; what runs out stays untouched";
    EXPECT_EQ(commands()[0].ip, (Ipv4{192, 168, 0, 32}));
}

TEST_F(AutoIpTest, ARangeThatRunsOutLeavesTheRestUntouched) {
    Start({Cam("A", 1, {192, 168, 0, 20}), Cam("B", 2, {192, 168, 0, 20})});
    Readdress("100", "101");
    ASSERT_EQ(commands().size(), 1u);
    EXPECT_EQ(commands()[0].ip, (Ipv4{192, 168, 0, 100}));
    EXPECT_EQ(net->Camera("B").ip, (Ipv4{192, 168, 0, 20}));

    net = std::make_shared<testsupport::FakeCameraNetwork>();
    dlg.reset();
    Start({Cam("A", 1, {192, 168, 0, 20})});
    Readdress("100", "100");
    EXPECT_TRUE(commands().empty()) << "the range end itself is never handed out";

    // Range 255-600 handed out 192.168.0.255, .0 and .1.
    for (auto [start, end] :
         {std::pair{"300", "400"}, std::pair{"255", "600"}, std::pair{"0", "10"}, std::pair{"40", "31"}}) {
        net = std::make_shared<testsupport::FakeCameraNetwork>();
        dlg.reset();
        Start({Cam("A", 1, {192, 168, 0, 20})});
        window.ClearCalls();
        Readdress(start, end);
        EXPECT_TRUE(commands().empty()) << start << "-" << end << ": refused before anything is sent";
        EXPECT_NE(dlg->Jobs().LastRefusal().English().find("host numbers from 1 to 254"), std::string::npos)
            << dlg->Jobs().LastRefusal();
        EXPECT_EQ(window.Calls("MessageBox Nothing was sent").size(), 1u);
        EXPECT_TRUE(window.Calls("Controls").empty()) << "the window was never busy";
    }
}

} // namespace
