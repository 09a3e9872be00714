// The controller's handlers with a fake window and platform; no adapter has an address, so nothing is sent.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/TarnDlg.h"
#include "discovery/DeviceRows.h"
#include "tests/support/Devices.h"
#include "tests/support/FakeCameraNetwork.h"
#include "tests/support/FakeWindow.h"

using testsupport::Field;
#include "tests/support/TestSupport.h"

namespace {

using testsupport::FakeWindow;

AdapterData unaddressed(const std::string& description, int status) {
    AdapterData a;
    a.description = description;
    a.netConnectionStatus = status;
    a.index = 7;
    return a;
}

// No receiver and no traffic: the fake network answers nothing unless a test adds cameras.
ControllerPlatform platform(const std::vector<AdapterData>& adapters, unsigned codePage) {
    ControllerPlatform p{[adapters] { return adapters; }, [codePage] { return codePage; }};
    p.network = std::make_shared<testsupport::FakeCameraNetwork>();
    p.stateFolder.clear(); // no journal
    return p;
}

std::string ipColumn(CTarnDlg& dlg) {
    std::string out;
    for (const ListRow& row : dlg.Discovery().List().Rows())
        out += CellText(row, 2) + " ";
    return out;
}

void harmlessHandlers(CTarnDlg& dlg) {
    dlg.OnSearch();
    dlg.OnAdapterSelChange(0);
    dlg.OnAdapterSelChange(42);
    dlg.OnListColumnClick(1);
    dlg.OnListDblClk(0);
    dlg.OnListDblClk(-1);
    EXPECT_FALSE(dlg.Discovery().IsFailed(0));
    EXPECT_FALSE(dlg.Discovery().ReceiverRunning());
}

using Calls = std::vector<std::string>;

} // namespace

TEST(TarnDlgTest, LifeWithoutUsableAdapter) {
    FakeWindow window;
    Clock clock;
    CTarnDlg dlg(window, clock, platform({unaddressed("eth0 (e1000e)", 2), unaddressed("wlan0", 7)}, 936));
    EXPECT_EQ(dlg.Discovery().Table(), nullptr);
    {
        SCOPED_TRACE("before OnInitDialog");
        harmlessHandlers(dlg);
    }
    dlg.OnInitDialog();
    EXPECT_EQ(window.FieldText(Field::User) + " " + window.FieldText(Field::Password) + " " +
                  window.FieldText(Field::RangeStart) + " " + window.FieldText(Field::RangeEnd),
              "root qnwt 31 250");
    EXPECT_EQ(window.Calls("Language"), Calls{"Language 936"});
    EXPECT_EQ(window.Calls("Adapters"), Calls{"Adapters { \"eth0 (e1000e)\", \"wlan0\" } 0"});
    EXPECT_FALSE(dlg.Discovery().ReceiverError().empty()) << "an adapter without an address cannot listen";
    EXPECT_FALSE(dlg.IsBusy());
    EXPECT_EQ(window.Calls("Controls").back(), "Controls on");
    ASSERT_NE(dlg.Discovery().Table(), nullptr);
    {
        SCOPED_TRACE("after OnInitDialog");
        harmlessHandlers(dlg);
    }
    dlg.OnCancel();
    dlg.OnCancel();
    EXPECT_EQ(dlg.Discovery().Table(), nullptr);
    {
        SCOPED_TRACE("after OnCancel");
        harmlessHandlers(dlg);
    }
    EXPECT_TRUE(window.Calls("OpenUrl").empty() && window.Calls("MessageBox").empty()) << "no page, no message";
}

TEST(TarnDlgTest, WebPageUrl) {
    DeviceInfo d = testsupport::MakeDevice(1, {192, 168, 1, 64}, "cam");
    const std::pair<int, std::string> cases[] = {
        {80, "http://192.168.1.64"}, {8080, "http://192.168.1.64:8080"}, {65535, "http://192.168.1.64:65535"},
        {0, "http://192.168.1.64"},  {-1, "http://192.168.1.64"},        {65536, "http://192.168.1.64"}};
    for (const auto& [port, url] : cases) {
        d.webPort = port;
        EXPECT_EQ(WebPageUrl(d), url) << "port " << port;
    }
}

TEST(TarnDlgTest, ListClicksSortOpenAndWaitWhileBusy) {
    FakeWindow window;
    Clock clock;
    CTarnDlg dlg(window, clock, platform({}, 437));
    dlg.OnInitDialog();
    EXPECT_EQ(window.Calls("Language"), Calls{"Language 437"});
    EXPECT_EQ(window.Calls("Adapters"), Calls{"Adapters {} -1"}) << "no adapter at all";
    ASSERT_NE(dlg.Discovery().Table(), nullptr);
    int row = 0;
    for (Ipv4 ip : {Ipv4{10, 0, 0, 2}, Ipv4{10, 0, 0, 3}, Ipv4{10, 0, 0, 1}}) {
        DeviceInfo d = testsupport::MakeDevice(ip[3], ip, "cam", row++);
        d.webPort = 8000 + ip[3];
        WriteDeviceRow(dlg.Discovery().List(), dlg.Discovery().Table()->FindOrAddDevice(d), d);
    }
    dlg.OnListDblClk(0);
    dlg.OnListDblClk(3);
    dlg.OnListDblClk(-1);
    EXPECT_EQ(window.Calls("OpenUrl"), Calls{"OpenUrl http://10.0.0.2:8002"}) << "only an existing row opens";

    dlg.OnListColumnClick(2);
    EXPECT_EQ(ipColumn(dlg), "10.0.0.1 10.0.0.2 10.0.0.3 ") << "the first click sorts ascending";
    dlg.OnListColumnClick(2);
    EXPECT_EQ(ipColumn(dlg), "10.0.0.3 10.0.0.2 10.0.0.1 ") << "the next click turns it round";

    dlg.EnableControls(false);
    EXPECT_TRUE(dlg.IsBusy());
    EXPECT_EQ(window.Calls("Controls").back(), "Controls off");
    dlg.Discovery().List().SetStatus(dlg.Discovery().List().Row(0)->mac(), "Starting upgrade process", std::nullopt);
    dlg.OnListColumnClick(2);
    dlg.OnSearch();
    EXPECT_EQ(dlg.Discovery().List().GetItemText(0, StatusColumn), "Starting upgrade process")
        << "busy: no sort, no search";
    EXPECT_EQ(dlg.Discovery().Table()->Count(), 3u);

    auto deselects = window.Calls("DeselectAll").size();
    dlg.EnableControls(true);
    EXPECT_FALSE(dlg.IsBusy());
    EXPECT_EQ(window.Calls("DeselectAll").size(), deselects + 1) << "re-enabling clears the selection";
    dlg.OnListColumnClick(2);
    EXPECT_EQ(ipColumn(dlg), "10.0.0.1 10.0.0.2 10.0.0.3 ") << "the refused click left the direction as it was";

    dlg.OnSearch();
    EXPECT_EQ(dlg.Discovery().List().GetItemCount(), 0) << "a search starts from an empty list";
    EXPECT_EQ(dlg.Discovery().Table()->Count(), 0u);
    EXPECT_EQ(dlg.Discovery().ReceiverModeValue(), kReceiverRun);
}

// A request is made of the press alone: the cameras by MAC in list order (first waves and the
// rows' texts follow it), twins told apart, a camera left away given the journal's home.
TEST(MakeRequestTest, TakesTheSelectionByMacInListOrderWithWhatTheJournalKnows) {
    using testsupport::MakeDevice;
    Press press;
    press.workflow = Workflow::Reset;
    press.listed = {MakeDevice(1, {192, 168, 0, 20}, "first"), MakeDevice(2, {169, 254, 7, 9}, "away"),
                    MakeDevice(3, {192, 168, 0, 20}, "twin")};
    SetNetworkCommand home;
    home.ip = {192, 168, 0, 63};
    home.netmask = {255, 255, 0, 0};
    home.mac = press.listed[1].mac;
    const auto datagram = home.build();
    PendingRestore away;
    away.mac = home.mac;
    away.home = "192.168.0.63";
    away.movedTo = "169.254.7.9";
    away.command.assign(datagram.begin(), datagram.end());
    press.away = {away};
    const Mac notListed = {0x02, 0, 0, 0, 0, 9};
    press.inputs.selected = {press.listed[2].mac, notListed, press.listed[1].mac, press.listed[0].mac};
    press.inputs.login = {"admin", "bzfhk"};
    press.options.parallel = 3;

    const auto request = MakeRequest(press);
    ASSERT_EQ(request->targets.size(), 3u) << "a MAC the list does not hold is left out";
    EXPECT_EQ(request->targets[0].displayName + " " + request->targets[1].displayName + " " +
                  request->targets[2].displayName,
              "first away twin");
    EXPECT_EQ(request->targets[2].row, 2);
    EXPECT_TRUE(request->targets[0].sharesAddress && request->targets[2].sharesAddress);
    EXPECT_FALSE(request->targets[1].sharesAddress);
    EXPECT_EQ(FormatIpv4(request->targets[1].ip), "192.168.0.63") << "its home, not where it was seen";
    EXPECT_EQ(FormatIpv4(request->targets[1].netmask), "255.255.0.0");
    EXPECT_EQ(request->targets[1].awayAt, "169.254.7.9");
    EXPECT_EQ(request->login.user, "admin");
    EXPECT_EQ(request->options.parallel, 3u);
    EXPECT_EQ(request->image, nullptr);
}
