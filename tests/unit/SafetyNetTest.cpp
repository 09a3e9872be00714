// The model guard, the dry run and the job records, against the fake camera network.
#include "tests/unit/WorkflowFixture.h"

namespace {

class SafetyNetTest : public WorkflowTest {
protected:
    void Upgrade(const std::string& image, UpgradeMode mode = UpgradeMode::Flash) {
        window.SetFieldText(Field::FirmwarePath, image);
        SelectAll();
        Run(&CTarnDlg::OnStartUpgrade, mode);
    }
    // A camera that answers only once moved to a link-local address.
    FakeCamera Away(const std::string& name, std::uint8_t mac, Ipv4 ip) {
        FakeCamera c = Cam(name, mac, ip);
        c.queryAtHome = RequestResult::ReplyWithoutContent;
        return c;
    }
    nlohmann::json RecordOf(const std::vector<nlohmann::json>& lines, const std::string& name) {
        for (const auto& line : lines)
            if (line["name"] == name)
                return line;
        ADD_FAILURE() << "no record of " << name;
        return {};
    }
};

TEST_F(SafetyNetTest, AnImageForAnotherModelIsRefusedUnlessTheGuardIsLifted) {
    FakeCamera same = Cam("Same", 1, {192, 168, 0, 21});
    FakeCamera other = Cam("Other", 2, {192, 168, 0, 22});
    other.model = "IPC9999";
    FakeCamera otherAway = Away("OtherAway", 3, {192, 168, 1, 23});
    otherAway.model = "IPC9999";
    FakeCamera unknown = Cam("Unknown", 4, {192, 168, 0, 24});
    unknown.model = "";
    Start({same, other, otherAway, unknown});
    EXPECT_FALSE(dlg->Jobs().Options().allowOtherModels) << "the guard is on at every start";
    const std::string image = WriteImage("105", 4096, "IPC1234");
    Upgrade(image);

    EXPECT_EQ(Outcome("Same"), OutcomeKind::Upgraded);
    EXPECT_EQ(Outcome("Unknown"), OutcomeKind::Upgraded) << "a camera that names no model is not judged";
    for (const char* name : {"Other", "OtherAway"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Status(name), "Model mismatch");
        EXPECT_TRUE(Failed(name));
        EXPECT_EQ(net->Camera(name).uploads, 0);
    }
    const FakeCamera& moved = net->Camera("OtherAway");
    ASSERT_EQ(moved.moves.size(), 2u) << "moved to be asked, then sent home";
    EXPECT_EQ(moved.moves.back(), (Ipv4{192, 168, 1, 23}));
    EXPECT_TRUE(Journal().restores.empty());
    const auto lines = RecordFile();
    EXPECT_EQ(RecordOf(lines, "Other")["status"], "Model mismatch");
    EXPECT_EQ(RecordOf(lines, "Other")["model"], "IPC9999");

    JobOptions lifted = dlg->Jobs().Options();
    lifted.allowOtherModels = true;
    dlg->Jobs().SetOptions(lifted);
    Upgrade(image);
    EXPECT_EQ(Outcome("Other"), OutcomeKind::Upgraded);
    EXPECT_FALSE(Failed("Other"));
    EXPECT_EQ(net->Camera("Other").uploads, 1);
    EXPECT_EQ(Outcome("OtherAway"), OutcomeKind::Upgraded);
}

TEST_F(SafetyNetTest, ADryRunAsksEveryCameraAndChangesNone) {
    FakeCamera ready = Cam("Ready", 1, {192, 168, 0, 21});
    ready.version = "V1.04";
    FakeCamera other = Cam("Other", 2, {192, 168, 0, 22});
    other.model = "IPC9999";
    FakeCamera wifi = Cam("Wifi", 3, {192, 168, 0, 23});
    wifi.ifType = kWifiInterface;
    FakeCamera locked = Cam("Locked", 4, {192, 168, 0, 24});
    locked.queryAtHome = RequestResult::Unauthorized;
    FakeCamera gone = Cam("Gone", 5, {192, 168, 0, 25});
    gone.queryAtHome = gone.queryWhenMoved = RequestResult::NoReply;
    FakeCamera away = Away("Away", 6, {10, 0, 0, 26});
    Start({ready, other, wifi, locked, gone, away});
    Upgrade(WriteImage("106"), UpgradeMode::DryRun);

    EXPECT_EQ(Outcome("Ready"), OutcomeKind::WouldFlash);
    EXPECT_EQ(Ended("Ready").versionBefore, "V1.04");
    EXPECT_EQ(Ended("Ready").imageVersion, "V1.06");
    EXPECT_FALSE(Failed("Ready"));
    EXPECT_EQ(Outcome("Away"), OutcomeKind::WouldFlash);
    EXPECT_EQ(Ended("Away").versionBefore, "V1.05");
    EXPECT_EQ(Outcome("Other"), OutcomeKind::ModelMismatch);
    EXPECT_EQ(Outcome("Wifi"), OutcomeKind::WifiInterface);
    EXPECT_EQ(Outcome("Locked"), OutcomeKind::Unauthorized);
    EXPECT_EQ(Outcome("Gone"), OutcomeKind::DeviceOffline);
    EXPECT_TRUE(net->Calls("upload").empty()) << "nothing is uploaded";
    for (const char* name : {"Away", "Gone"}) {
        const FakeCamera& c = net->Camera(name);
        ASSERT_FALSE(c.moves.empty()) << name;
        EXPECT_EQ(c.moves.back(), c.ip) << name << " is back where it was";
    }
    EXPECT_EQ(net->Camera("Away").ip, (Ipv4{10, 0, 0, 26}));
    EXPECT_TRUE(Journal().restores.empty());
    EXPECT_TRUE(testsupport::ListFolder(RecordsFolder()).empty()) << "a dry run changes nothing, so records nothing";
    EXPECT_EQ(dlg->Fleet().Facts(net->Camera("Ready").mac)->version, "V1.04");
    EXPECT_FALSE(dlg->Fleet().Facts(net->Camera("Gone").mac));
}

TEST_F(SafetyNetTest, AnUpgradeRecordsEachCameraFieldByField) {
    FakeCamera good = Cam("Good", 1, {192, 168, 0, 21});
    good.version = "V1.04";
    FakeCamera gone = Cam("Gone", 2, {192, 168, 0, 22});
    gone.queryAtHome = gone.queryWhenMoved = RequestResult::NoReply;
    FakeCamera silent = Cam("Silent", 3, {192, 168, 0, 23});
    silent.silentAfterUpload = true;
    Start({good, gone, silent});
    const std::string image = WriteImage("105");
    Upgrade(image);

    std::string digest;
    ASSERT_EQ(testsupport::RunCommand("sha256sum " + testsupport::ShellQuote(image) + " | cut -c1-64", &digest), 0);
    digest.erase(digest.find_last_not_of('\n') + 1);
    const auto lines = RecordFile();
    ASSERT_EQ(lines.size(), 3u);
    for (const auto& line : lines) {
        EXPECT_EQ(line["workflow"], "upgrade");
        EXPECT_EQ(line["adapter"], "eth0");
        EXPECT_EQ(line["image"], image);
        EXPECT_EQ(line["image_sha256"], digest);
        EXPECT_EQ(line["image_version"], "V1.05");
        EXPECT_EQ(line["started"], lines[0]["started"]);
        EXPECT_LE(line["started"].get<std::string>(), line["ended"].get<std::string>());
    }
    auto g = RecordOf(lines, "Good");
    EXPECT_EQ(g["mac"], "02:00:00:00:00:01");
    EXPECT_EQ(g["ip_before"], "192.168.0.21");
    EXPECT_EQ(g["ip_after"], "192.168.0.21");
    EXPECT_EQ(g["model"], "IPC1234");
    EXPECT_EQ(g["version_before"], "V1.04");
    EXPECT_EQ(g["version_after"], "V1.05");
    EXPECT_EQ(g["status"], "UPGRADE SUCCESSFUL");
    EXPECT_EQ(g["failed"], false);
    auto o = RecordOf(lines, "Gone");
    EXPECT_TRUE(o["model"].is_null() && o["version_before"].is_null() && o["version_after"].is_null());
    EXPECT_EQ(o["ip_after"], "192.168.0.22");
    EXPECT_EQ(o["status"], "Device offline!");
    EXPECT_EQ(o["failed"], true);
    auto s = RecordOf(lines, "Silent");
    EXPECT_EQ(s["status"], "No answer after the reboot");
    EXPECT_EQ(s["version_before"], "V1.05");
    EXPECT_TRUE(s["version_after"].is_null());
    EXPECT_TRUE(s["ip_after"].is_null()) << "where a silent camera is, is not known";
    EXPECT_EQ(dlg->Fleet().Records().Records().size(), 3u);
}

TEST_F(SafetyNetTest, ACheckAReAddressingAndAResetAreRecordedToo) {
    FakeCamera a = Cam("A", 1, {192, 168, 0, 20});
    a.version = "V1.02";
    FakeCamera b = Cam("B", 2, {192, 168, 0, 20});
    FakeCamera locked = Cam("Locked", 3, {192, 168, 0, 40});
    locked.queryAtHome = RequestResult::Unauthorized;
    Start({a, b, locked});
    Run(&CTarnDlg::OnCheckVersion);
    auto checked = RecordFile();
    ASSERT_EQ(checked.size(), 3u);
    EXPECT_EQ(RecordOf(checked, "A")["workflow"], "check-version");
    EXPECT_EQ(RecordOf(checked, "A")["version_before"], "V1.02");
    EXPECT_EQ(RecordOf(checked, "A")["ip_after"], "192.168.0.20");
    EXPECT_TRUE(RecordOf(checked, "A")["image"].is_null());
    EXPECT_EQ(RecordOf(checked, "Locked")["status"], "401 Unauthorized");
    EXPECT_TRUE(RecordOf(checked, "Locked")["model"].is_null());
    std::filesystem::remove_all(RecordsFolder());

    // One address left in the range: the first camera gets it, the second is recorded as left out.
    window.SetFieldText(Field::RangeStart, "31");
    window.SetFieldText(Field::RangeEnd, "32");
    SelectAll();
    Run(&CTarnDlg::OnAutoChangeIp);
    auto readdressed = RecordFile();
    ASSERT_EQ(readdressed.size(), 2u) << "the camera away from the factory address is not touched";
    EXPECT_EQ(readdressed[0]["workflow"], "auto-ip");
    EXPECT_EQ(readdressed[0]["mac"], "02:00:00:00:00:01");
    EXPECT_EQ(readdressed[0]["ip_before"], "192.168.0.20");
    EXPECT_EQ(readdressed[0]["ip_after"], "192.168.0.31");
    EXPECT_EQ(readdressed[0]["status"], "Seen at its new address");
    EXPECT_EQ(readdressed[0]["failed"], false);
    EXPECT_EQ(readdressed[1]["mac"], "02:00:00:00:00:02");
    EXPECT_EQ(readdressed[1]["ip_after"], "192.168.0.20");
    EXPECT_EQ(readdressed[1]["status"], "no free address left in the range");
    EXPECT_EQ(readdressed[1]["failed"], true);
    std::filesystem::remove_all(RecordsFolder());

    window.Select({RowOf("Locked")});
    Run(&CTarnDlg::OnResetDefault);
    auto reset = RecordFile();
    ASSERT_EQ(reset.size(), 1u);
    EXPECT_EQ(reset[0]["workflow"], "reset");
    EXPECT_EQ(reset[0]["ip_before"], "192.168.0.40");
    EXPECT_EQ(reset[0]["ip_after"], "192.168.0.20") << "seen back at its factory address";
    EXPECT_EQ(reset[0]["status"], "Back at 192.168.0.20");
}

// A missing capability is said once at start, in one line that names what will not work; with
// both held nothing is said.
TEST_F(SafetyNetTest, AMissingCapabilityIsSaidAtStart) {
    const struct {
        NetworkRights rights;
        std::string starts;
    } cases[] = {{{false, false}, "No CAP_NET_ADMIN or CAP_NET_RAW: cameras that need a link-local detour"},
                 {{false, true}, "No CAP_NET_ADMIN: "},
                 {{true, false}, "No CAP_NET_RAW: free link-local addresses are found through the neighbour table"},
                 {{true, true}, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.starts);
        window.ClearCalls();
        net = std::make_shared<testsupport::FakeCameraNetwork>();
        net->rights = c.rights;
        Start({Cam("Cam", 1, {192, 168, 0, 21})});
        EXPECT_EQ(dlg->Jobs().RightsNote().English().rfind(c.starts, 0), 0u) << dlg->Jobs().RightsNote();
        EXPECT_EQ(dlg->Jobs().RightsNote().English().find('\n'), std::string::npos);
        const auto notes = window.Calls("Note No CAP_");
        EXPECT_EQ(notes.size(), c.starts.empty() ? 0u : 1u);
        if (!c.starts.empty()) {
            EXPECT_NE(dlg->Jobs().RightsNote().English().find("(join group flashwell, or run as root)"),
                      std::string::npos);
        }
        dlg.reset();
    }
    // The note told a packaged install to setcap the helper, which the next upgrade undid.
    NetworkRights packaged{false, false, HelperState::NoCapabilities, "/usr/libexec/flashwell/flashwell-helper"};
    const std::string fromPackage = MissingRightsNote(packaged).English();
    EXPECT_NE(fromPackage.find("an administrator gives them with dpkg-reconfigure flashwell"), std::string::npos)
        << fromPackage;
    EXPECT_EQ(fromPackage.find("setcap"), std::string::npos) << fromPackage;
    NetworkRights built{false, false, HelperState::NoCapabilities, "/home/ana/flashwell/build/flashwell-helper"};
    EXPECT_NE(MissingRightsNote(built).English().find("setcap cap_net_admin,cap_net_raw+p on it"), std::string::npos);
}

} // namespace
