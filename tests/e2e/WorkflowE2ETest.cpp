// The four workflows end to end against simulated cameras, at a hundredth of real time.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "app/TarnDlg.h"
#include "console/CliWindow.h"
#include "tests/e2e/CliFixture.h"

namespace {

using testsupport::WaitUntil;

using namespace std::chrono_literals;

// The simulators read the workflows' time scale too, so burns and reboots shrink with the tool's waits.
class WorkflowE2E : public CliFixture {};

TEST_F(WorkflowE2E, AutoIpGivesFactoryAddressedCamerasTheirOwn) {
    VirtualLan lan({.cameras = {"--name K0a --ip 192.168.0.20 --mac 02:00:00:00:03:01 --family generic",
                                "--name K1 --ip 192.168.0.20 --mac 02:00:00:00:03:02 --family maker --user root "
                                "--password qnwt",
                                "--name K0b --ip 192.168.0.20 --mac 02:00:00:00:03:03 --family generic",
                                "--name Other --ip 192.168.0.200 --mac 02:00:00:00:03:04"}});
    CliRun l = Cli(lan, "auto-ip --wait 1.5");
    ASSERT_EQ(l.exitCode, 0) << l.output;
    ASSERT_EQ(l.byName.size(), 4u);
    std::set<std::string> given;
    for (const char* name : {"K0a", "K1", "K0b"})
        given.insert(l.byName[name]["ip"]);
    EXPECT_EQ(given, (std::set<std::string>{"192.168.0.31", "192.168.0.32", "192.168.0.33"}))
        << "the maker's camera must accept the command's credentials";
    EXPECT_EQ(l.byName["Other"]["ip"], "192.168.0.200") << "only the factory address is changed";
}

// No keyring answers in a session without D-Bus: the stored login is then the file's, and said so.
TEST_F(WorkflowE2E, WithoutALoginGivenTheStoredOneIsUsed) {
    VirtualLan lan({.cameras = {"--name K2 --ip 192.168.0.20 --mac 02:00:00:00:03:05 --family maker --user admin "
                                "--password bzfhk"}});
    std::filesystem::create_directories(ConfigHome() + "/flashwell");
    std::ofstream(ConfigHome() + "/flashwell/settings") << "user=admin\npassword=bzfhk\n";
    CliRun given = Cli(lan, "auto-ip --user root --wait 1.5");
    EXPECT_EQ(given.byName["K2"]["ip"], "192.168.0.20") << given.output << given.errors;
    EXPECT_EQ(given.errors.find("keyring"), std::string::npos) << "a login given is not looked up";
    CliRun stored = Cli(lan, "auto-ip --wait 1.5");
    EXPECT_EQ(stored.exitCode, 0) << stored.output << stored.errors;
    EXPECT_EQ(stored.byName["K2"]["ip"], "192.168.0.31") << stored.errors;
    EXPECT_NE(stored.errors.find("No keyring answered"), std::string::npos) << stored.errors;
}

TEST_F(WorkflowE2E, UpgradeFlashesSeveralCamerasAtOnceAndJudgesEach) {
    VirtualLan lan({.cameras = {
                        "--name Good --ip 192.168.0.21 --version V1.04 --burn-sec 2 --reboot-ms 2000",
                        "--name Wifi --ip 192.168.0.22 --wifi",
                        "--name Locked --ip 192.168.0.23 --fault wrong-password",
                        "--name Older --ip 192.168.0.24 --version V1.05 --fault older-after-reboot",
                        "--name Hidden --ip 192.168.0.25 --version V1.04 --fault no-model-until-moved",
                    }});
    CliRun l = Cli(lan, "upgrade " + Image() + " --select all --wait 1.5");
    EXPECT_EQ(l.exitCode, 1) << "some cameras failed";
    ASSERT_EQ(l.byName.size(), 5u);
    auto expect = [&](const char* name, const char* status, bool failed) {
        EXPECT_EQ(l.byName[name]["status"], status) << name;
        EXPECT_EQ(l.byName[name]["failed"], failed) << name;
    };
    expect("Good", "UPGRADE SUCCESSFUL", false);
    expect("Wifi", "Wi-Fi interface", true);
    expect("Locked", "401 Unauthorized", true);
    expect("Older", "Failed to upgrade!", true);
    expect("Hidden", "UPGRADE SUCCESSFUL", false);

    // The detoured camera was sent home, and every camera reports what it now runs.
    CliRun after = Cli(lan, "check-version --wait 1.5");
    EXPECT_EQ(after.byName["Hidden"]["ip"], "192.168.0.25");
    EXPECT_EQ(after.byName["Good"]["status"], "V1.06");
}

TEST_F(WorkflowE2E, VersionCheckTakesTheDetourAndSendsTheCameraBack) {
    VirtualLan lan(
        {.cameras = {"--name Plain --ip 192.168.0.21 --version V1.05", "--name Newer --ip 192.168.0.22 --version V1.06",
                     "--name Locked --ip 192.168.0.23 --fault wrong-password",
                     "--name Hidden --ip 192.168.0.24 --version V1.07 --fault no-model-until-moved",
                     "--name Gone --ip 192.168.0.26 --fault silent"}});
    CliRun l = Cli(lan, "check-version --wait 1.5");
    EXPECT_EQ(l.exitCode, 1);
    EXPECT_EQ(l.byName["Plain"]["status"], "V1.05");
    EXPECT_EQ(l.byName["Newer"]["status"], "V1.06");
    EXPECT_EQ(l.byName["Locked"]["status"], "401 Unauthorized");
    EXPECT_EQ(l.byName["Locked"]["failed"], true);
    EXPECT_EQ(l.byName["Hidden"]["status"], "V1.07") << "answered at its link-local address";
    EXPECT_EQ(l.byName["Gone"]["status"], "Device offline");
    CliRun after = Cli(lan, "search --wait 1.5");
    EXPECT_EQ(after.byName["Hidden"]["ip"], "192.168.0.24") << "sent back to its own address";
}

TEST_F(WorkflowE2E, ResetCountsDownAndClosingDuringAnUpgradeIsPrompt) {
    VirtualLan lan({.cameras = {"--name Fresh --ip 192.168.0.41 --reboot-ms 1000",
                                "--name Locked --ip 192.168.0.42 --fault wrong-password"}});
    lan.EnterHost();
    std::ofstream(::testing::TempDir() + "/resolv.conf") << "nameserver 192.168.0.10\n";
    CliWindow window(std::cerr);
    Clock clock(0.01);
    ControllerPlatform platform;
    platform.stateFolder = ::testing::TempDir() + "/flashwell-state";
    platform.resolvConf = ::testing::TempDir() + "/resolv.conf";
    CTarnDlg dlg(window, clock, platform);
    dlg.OnInitDialog();
    ASSERT_TRUE(WaitUntil([&] { return dlg.Discovery().List().GetItemCount() == 2; }, 3s));
    JobInputs reset;
    reset.selected = MacsAtRows(dlg.Discovery().List(), {0, 1});
    reset.login = {"root", "qnwt"};
    dlg.OnResetDefault(reset);
    bool sawCountdown = WaitUntil(
        [&] {
            for (const auto& row : dlg.Discovery().List().Rows())
                if (CellText(row, 4).rfind("System rebooting, please wait for ", 0) == 0)
                    return true;
            return false;
        },
        5s);
    EXPECT_TRUE(sawCountdown);
    ASSERT_TRUE(WaitUntil([&] { return !dlg.Jobs().Threads().AnyRunning(); }, 10s));
    EXPECT_TRUE(window.ControlsAreEnabled());
    for (int r = 0; r < 2; ++r) {
        auto row = dlg.Discovery().List().Rows()[static_cast<std::size_t>(r)];
        if (CellText(row, 1) == "Fresh") {
            EXPECT_EQ(CellText(row, 4), "Back at 192.168.0.20");
            EXPECT_FALSE(dlg.Discovery().IsFailed(r));
        } else {
            EXPECT_EQ(CellText(row, 4), "401 Unauthorized");
            EXPECT_TRUE(dlg.Discovery().IsFailed(r));
        }
    }

    // Closing while an upgrade waits out its reboot must wake and join every worker at once.
    std::this_thread::sleep_for(1500ms);
    dlg.OnSearch();
    ASSERT_TRUE(WaitUntil([&] { return dlg.Discovery().List().GetItemCount() == 2; }, 3s));
    Clock slow(1.0);
    CTarnDlg slowDlg(window, slow, platform);
    dlg.OnCancel();
    slowDlg.OnInitDialog();
    ASSERT_TRUE(WaitUntil([&] { return slowDlg.Discovery().List().GetItemCount() == 2; }, 3s));
    JobInputs upgrade;
    upgrade.selected = MacsAtRows(slowDlg.Discovery().List(), {0, 1});
    upgrade.login = {"root", "qnwt"};
    upgrade.firmwarePath = Image();
    slowDlg.OnStartUpgrade(upgrade);
    ASSERT_TRUE(WaitUntil(
        [&] {
            for (const auto& row : slowDlg.Discovery().List().Rows())
                if (CellText(row, 4).rfind("Upgrade Status", 0) == 0 || CellText(row, 4).rfind("Wait for", 0) == 0)
                    return true;
            return false;
        },
        10s));
    auto started = std::chrono::steady_clock::now();
    slowDlg.OnCancel();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);
    EXPECT_EQ(slowDlg.Discovery().Table(), nullptr);
}

// A fleet script had to scrape the console's text to follow a job; --events gives it one JSON
// object a line, in the order things happened, and the closing list as the last line.
TEST_F(WorkflowE2E, TheEventStreamFollowsADetouredUpgradeLineByLine) {
    VirtualLan lan({.cameras = {"--name Twin1 --version V1.04 --burn-sec 2 --reboot-ms 500",
                                "--name Twin2 --version V1.04 --burn-sec 2 --reboot-ms 500"}});
    const CliRun run = Cli(lan, "--events upgrade " + Image() + " --select all --wait 1.5", false);
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    std::vector<nlohmann::json> events;
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
        try {
            events.push_back(nlohmann::json::parse(line));
        } catch (const std::exception&) {
            FAIL() << "not one JSON object: " << line;
        }
        EXPECT_TRUE(events.back()["time"].is_string()) << line;
    }
    ASSERT_GE(events.size(), 6u) << run.output;
    std::map<std::string, std::vector<std::string>> byCamera; // each camera's kinds and phases, in order
    std::map<std::string, int> burning;
    for (const auto& e : events) {
        const std::string kind = e["event"];
        if (kind == "seen" || kind == "started" || kind == "outcome")
            byCamera[e["name"]].push_back(kind);
        if (kind == "phase") {
            byCamera[e["name"]].push_back(e["phase"]);
            burning[e["name"]] += e["phase"] == "burning" ? 1 : 0;
        }
        if (kind == "outcome") {
            EXPECT_EQ(e["outcome"], "upgraded") << e;
            EXPECT_EQ(e["status"], "UPGRADE SUCCESSFUL") << e;
            EXPECT_EQ(e["failed"], false) << e;
        }
    }
    for (const std::string name : {"Twin1", "Twin2"}) {
        const auto& seen = byCamera[name];
        ASSERT_GE(seen.size(), 4u) << name;
        EXPECT_EQ(seen.front(), "seen");
        EXPECT_EQ(seen[1], "started");
        EXPECT_EQ(seen.back(), "outcome");
        // Twins at one address: each is moved away for its upload and sent home after it.
        const auto moved = std::find(seen.begin(), seen.end(), "moving");
        const auto home = std::find(seen.begin(), seen.end(), "sending-home");
        EXPECT_TRUE(moved < std::find(seen.begin(), seen.end(), "uploading")) << name;
        EXPECT_TRUE(home != seen.end() && std::find(seen.begin(), seen.end(), "burning") < home) << name;
        EXPECT_LE(burning[name], 11) << "a running percentage at each tenth, not at every step";
    }
    const auto& ended = events[events.size() - 2];
    EXPECT_EQ(ended["event"], "ended");
    EXPECT_EQ(ended["workflow"], "upgrade");
    EXPECT_EQ(ended["cameras"], 2);
    EXPECT_EQ(ended["failed"], 0);
    EXPECT_EQ(ended["outcomes"], nlohmann::json({{"upgraded", 2}}));
    const auto& summary = events.back();
    EXPECT_EQ(summary["event"], "summary");
    ASSERT_EQ(summary["devices"].size(), 2u);
    EXPECT_EQ(summary["devices"][0]["ip"], "192.168.0.20") << "both back home";
    EXPECT_EQ(summary["devices"][1]["ip"], "192.168.0.20");
}

} // namespace
