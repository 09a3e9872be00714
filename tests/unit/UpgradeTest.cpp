// The upgrade workflow against the fake camera network: every ending, the detour, the version rule.
#include <atomic>
#include <barrier>
#include <chrono>
#include <thread>

#include "tests/unit/WorkflowFixture.h"

namespace {

using namespace std::chrono_literals;

class UpgradeTest : public WorkflowTest {
protected:
    void Upgrade(const std::string& image) {
        window.SetFieldText(Field::FirmwarePath, image);
        window.SetFieldText(Field::FwVersion, "V1.05");
        SelectAll();
        Run(&CTarnDlg::OnStartUpgrade);
    }
};

TEST_F(UpgradeTest, WifiAndUnauthorizedEndShortWithoutTouchingTheAdapter) {
    FakeCamera wifi = Cam("Wifi", 1, {192, 168, 0, 21});
    wifi.ifType = kWifiInterface;
    FakeCamera locked = Cam("Locked", 2, {192, 168, 0, 22});
    locked.queryAtHome = RequestResult::Unauthorized;
    Start({wifi, locked});
    window.ClearCalls();
    Upgrade(WriteImage());
    EXPECT_EQ(Outcome("Wifi"), OutcomeKind::WifiInterface);
    EXPECT_TRUE(Failed("Wifi"));
    EXPECT_EQ(Outcome("Locked"), OutcomeKind::Unauthorized);
    EXPECT_TRUE(Failed("Locked"));
    EXPECT_EQ(net->Camera("Wifi").queries, 0) << "a Wi-Fi camera is not contacted";
    EXPECT_TRUE(net->Calls("upload").empty());
    EXPECT_EQ(window.Calls("Controls").back(), "Controls on");
    EXPECT_EQ(dlg->Discovery().ReceiverModeValue(), kReceiverRun);
}

TEST_F(UpgradeTest, ThreeLinkLocalMovesThenTheCameraIsSentBack) {
    std::vector<FakeCamera> cameras;
    const std::pair<const char*, Ipv4> homes[] = {
        {"C192", {192, 168, 1, 64}}, {"C10", {10, 1, 2, 3}}, {"C172", {172, 16, 0, 9}}, {"C127", {127, 0, 0, 5}}};
    std::uint8_t mac = 1;
    // A camera goes back with the mask it reported; one that reported none, with its class's.
    const std::map<std::string, Ipv4> reported = {
        {"C192", {255, 255, 255, 0}}, {"C10", {}}, {"C172", {255, 255, 255, 0}}, {"C127", {}}};
    for (const auto& [name, ip] : homes) {
        FakeCamera c = Cam(name, mac++, ip);
        c.gateway = {ip[0], ip[1], ip[2], 254};
        c.netmask = reported.at(name);
        c.queryAtHome = c.queryWhenMoved = RequestResult::ReplyWithoutContent;
        cameras.push_back(c);
    }
    Start(cameras);
    Upgrade(WriteImage());
    const std::map<std::string, Ipv4> restoreMask = {{"C192", {255, 255, 255, 0}},
                                                     {"C10", {255, 0, 0, 0}},
                                                     {"C172", {255, 255, 255, 0}},
                                                     {"C127", {255, 255, 0, 0}}};
    for (const auto& [name, home] : homes) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Status(name), "Device offline!");
        EXPECT_TRUE(Failed(name));
        const FakeCamera& c = net->Camera(name);
        ASSERT_EQ(c.moves.size(), 4u) << "three moves, then home";
        EXPECT_EQ(c.moves.back(), home) << "sent back to its own address";
        std::vector<SetNetworkCommand> mine;
        for (const SetNetworkCommand& command : net->Commands())
            if (command.mac == c.mac)
                mine.push_back(command);
        ASSERT_EQ(mine.size(), 4u);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(mine[i].netmask, (Ipv4{255, 255, 255, 0}));
            EXPECT_TRUE(mine[i].hasGateway && mine[i].gateway == (Ipv4{169, 254, 0, 0}));
            EXPECT_TRUE(mine[i].interfaceName);
            EXPECT_TRUE(mine[i].ip[0] == 169 && mine[i].ip[1] == 254);
        }
        const SetNetworkCommand& restore = mine.back();
        EXPECT_EQ(restore.netmask, restoreMask.at(name));
        EXPECT_EQ(restore.gateway, (Ipv4{home[0], home[1], home[2], 254})) << "the gateway it had at the start";
        EXPECT_FALSE(restore.interfaceName) << "the restore command carries no interface name";
        EXPECT_EQ(restore.family, CameraFamily::Maker);
        EXPECT_TRUE(restore.hasCredentials);
        EXPECT_EQ(restore.user, "root");
    }
    EXPECT_TRUE(net->Calls("upload").empty());
    EXPECT_EQ(net->Calls("route added").size(), 1u);
    EXPECT_EQ(net->Calls("route removed").size(), 1u) << "the route the job added goes at its end";
}

TEST_F(UpgradeTest, ThreeFailedUploadsFailTheCameraAndRestoreTheAdapterOnce) {
    FakeCamera refusing = Cam("Refusing", 1, {192, 168, 0, 21});
    refusing.upload = RequestResult::NoReply;
    Start({refusing});
    Upgrade(WriteImage());
    EXPECT_EQ(Outcome("Refusing"), OutcomeKind::UploadFailed);
    EXPECT_TRUE(Failed("Refusing"));
    EXPECT_EQ(net->Calls("upload").size(), 3u);
    EXPECT_EQ(dlg->Fleet().Outcome(net->Camera("Refusing").mac)->uploadAttempts, 3);
    EXPECT_EQ(net->Calls("read-adapter").size(), 2u) << "read before the job and after it, never written";
    EXPECT_TRUE(net->Calls("ping").empty()) << "a card the job never changed has nothing to reconnect to";
    EXPECT_EQ(Views("Refusing"), (std::vector<CameraView>{{Phase::Querying, 0}, {Phase::Uploading, 0}}));
}

TEST_F(UpgradeTest, TheVersionAfterTheRebootDecides) {
    std::vector<FakeCamera> cameras;
    const std::pair<const char*, const char*> after[] = {
        {"Newer", "V1.06"}, {"Same", "V1.05"}, {"Older", "V1.04"}, {"Suffixed", "V1.05a"}};
    std::uint8_t mac = 1;
    for (const auto& [name, version] : after) {
        FakeCamera c = Cam(name, mac, {192, 168, 0, static_cast<std::uint8_t>(20 + mac)});
        ++mac;
        c.versionAfterUpload = version;
        c.burnTime = "12.5";
        cameras.push_back(c);
    }
    // Silent after the reboot: no claim of success, whatever it reported before the upload.
    FakeCamera silentNew = Cam("SilentNew", 10, {192, 168, 0, 30});
    silentNew.version = "V1.05";
    silentNew.silentAfterUpload = true;
    FakeCamera silentOld = Cam("SilentOld", 11, {192, 168, 0, 31});
    silentOld.version = "V1.03";
    silentOld.silentAfterUpload = true;
    cameras.push_back(silentNew);
    cameras.push_back(silentOld);
    Start(cameras);
    Upgrade(WriteImage("105"));
    // A camera that reports a higher version than the image's did not take this image.
    EXPECT_EQ(Outcome("Newer"), OutcomeKind::WrongVersion);
    EXPECT_EQ(Outcome("Same"), OutcomeKind::Upgraded);
    EXPECT_EQ(Outcome("Suffixed"), OutcomeKind::Upgraded) << "five characters are compared";
    EXPECT_EQ(Outcome("Older"), OutcomeKind::WrongVersion);
    EXPECT_TRUE(Failed("Older"));
    EXPECT_TRUE(Failed("Newer"));
    EXPECT_FALSE(Failed("Same"));
    EXPECT_EQ(Outcome("SilentNew"), OutcomeKind::NoAnswerAfterReboot);
    EXPECT_TRUE(Failed("SilentNew"));
    EXPECT_EQ(Outcome("SilentOld"), OutcomeKind::NoAnswerAfterReboot);

    std::vector<CameraView> want = {{Phase::Querying, 0}, {Phase::Uploading, 0}, {Phase::Uploaded, 0}};
    for (int k = 0; k <= 100; ++k)
        want.push_back({Phase::Burning, k});
    for (int n = 60; n >= 1; --n)
        want.push_back({Phase::Rebooting, n});
    want.push_back({Phase::Verifying, 0});
    EXPECT_EQ(Views("Same"), want);
    // The row shows the same journey as the catalogue's texts.
    std::vector<std::string> texts;
    for (const CameraView& v : want)
        if (auto status = Status::Of(v))
            texts.push_back(status->text.English());
    texts.push_back("UPGRADE SUCCESSFUL");
    EXPECT_EQ(History("Same"), texts);
    EXPECT_EQ(net->Camera("Same").uploads, 1);
}

// Two workers that finish together must not both run the closing part.
TEST_F(UpgradeTest, ExactlyOneWorkerClosesTheJob) {
    constexpr int kCameras = 24;
    std::vector<FakeCamera> cameras;
    cameras.reserve(kCameras);
    for (int i = 0; i < kCameras; ++i)
        cameras.push_back(Cam("C" + std::to_string(i), static_cast<std::uint8_t>(i + 1),
                              {192, 168, 0, static_cast<std::uint8_t>(40 + i)}));
    Start(cameras);
    const std::string image = WriteImage();
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::barrier together(kCameras);
        net->onUpload = [&](testsupport::FakeCamera&) { together.arrive_and_wait(); };
        window.ClearCalls();
        auto readsBefore = net->Calls("read-adapter").size();
        Upgrade(image);
        EXPECT_EQ(net->Calls("read-adapter").size(), readsBefore + 2) << "one job's start and end, not each camera's";
        EXPECT_EQ(window.Calls("Controls on").size(), 1u);
        for (int i = 0; i < kCameras; ++i)
            EXPECT_EQ(Outcome("C" + std::to_string(i)), OutcomeKind::Upgraded);
    }
}

// A repaint or a double-click reads records and rows while the workers write them.
TEST_F(UpgradeTest, ReadersSeeWholeRecordsWhileWorkersWrite) {
    std::vector<FakeCamera> cameras;
    for (int i = 0; i < 8; ++i) {
        FakeCamera c = Cam("C" + std::to_string(i), static_cast<std::uint8_t>(i + 1),
                           {192, 168, 0, static_cast<std::uint8_t>(60 + i)});
        c.upload = i % 2 == 0 ? RequestResult::ReplyWithoutContent : RequestResult::NoReply;
        cameras.push_back(c);
    }
    Start(cameras);
    std::atomic<bool> done{false};
    std::atomic<long> reads{0};
    std::thread reader([&] {
        while (!done) {
            for (int row = 0; row < 8; ++row) {
                auto copy = dlg->Discovery().CopyAt(row);
                ASSERT_TRUE(copy.has_value());
                EXPECT_TRUE(copy->failed == 0 || copy->failed == 1);
            }
            for (const ListRow& row : dlg->Discovery().List().Rows())
                EXPECT_EQ(CellText(row, 2).rfind("192.168.0.", 0), 0u);
            reads++;
        }
    });
    Upgrade(WriteImage());
    done = true;
    reader.join();
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(Outcome("C0"), OutcomeKind::Upgraded);
    EXPECT_EQ(Outcome("C1"), OutcomeKind::UploadFailed);
}

TEST_F(UpgradeTest, ClosingDuringAnUpgradeReturnsPromptly) {
    FakeCamera slow = Cam("Slow", 1, {192, 168, 0, 21});
    slow.burnTime = "120"; // 1.2 s a step at real time
    Start({slow}, 1.0);
    window.SetFieldText(Field::FirmwarePath, WriteImage());
    window.SetFieldText(Field::FwVersion, "V1.05");
    SelectAll();
    dlg->OnStartUpgrade(Inputs());
    ASSERT_TRUE(testsupport::WaitUntil([&] { return PhaseOf("Slow") == Phase::Burning; }, 10s));
    auto began = std::chrono::steady_clock::now();
    dlg->OnCancel();
    EXPECT_LT(std::chrono::steady_clock::now() - began, 1s);
    EXPECT_EQ(dlg->Discovery().Table(), nullptr);
    EXPECT_FALSE(dlg->Jobs().Threads().AnyRunning());
}

} // namespace
