// On a bench where every new camera sits at 192.168.0.20: what each row claims holds for that
// camera, nothing is left at a link-local address, and nothing hangs.
#include <signal.h>

#include <chrono>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/e2e/CliFixture.h"

namespace {

using namespace std::chrono_literals;
using testsupport::WaitUntil;

class TruthfulE2E : public CliFixture {};

// Two cameras at one factory address once both showed success: one received nothing, the other two uploads.
TEST_F(TruthfulE2E, CamerasAtOneFactoryAddressAreEachUpgradedAndSentHome) {
    VirtualLan lan({.cameras = {"--name Twin1 --version V1.04 --burn-sec 1 --reboot-ms 1000",
                                "--name Twin2 --version V1.04 --burn-sec 1 --reboot-ms 1000",
                                "--name Twin3 --version V1.04 --burn-sec 1 --reboot-ms 1000",
                                "--name Own --ip 192.168.0.21 --version V1.04 --burn-sec 1 --reboot-ms 1000"}});
    CliRun r = Cli(lan, "upgrade " + Image() + " --select all --wait 1.5");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    ASSERT_EQ(r.byName.size(), 4u) << r.output;
    std::set<std::string> detours;
    for (int camera = 1; camera <= 4; ++camera) {
        const std::string name = camera == 4 ? "Own" : "Twin" + std::to_string(camera);
        SCOPED_TRACE(name);
        EXPECT_EQ(r.byName[name]["status"], "UPGRADE SUCCESSFUL");
        const std::string log = lan.CameraLog(camera);
        EXPECT_EQ(Matches(log, "image=([0-9]+) bytes matched").size(), 1u) << "exactly one upload: " << log;
        auto moves = Matches(log, "set-network for [^ ]+ from [^ ]+ ip=([0-9.]+)");
        if (camera == 4) {
            EXPECT_TRUE(moves.empty()) << "a camera with an address of its own is not moved";
            continue;
        }
        ASSERT_EQ(moves.size(), 2u) << log;
        EXPECT_EQ(moves[0].rfind("169.254.", 0), 0u);
        EXPECT_EQ(moves[1], "192.168.0.20") << "sent home";
        detours.insert(moves[0]);
    }
    EXPECT_EQ(detours.size(), 3u) << "each twin had an address of its own";
    CliRun after = Cli(lan, "search --wait 1.5");
    for (const char* name : {"Twin1", "Twin2", "Twin3"})
        EXPECT_EQ(after.byName[name]["ip"], "192.168.0.20") << name;
    int rc = -1;
    EXPECT_EQ(lan.RunInHost("ip -4 route show 169.254.0.0/16", rc), "") << "the route the job added is gone";
    EXPECT_EQ(Journal().find("\"moved_to\""), std::string::npos) << Journal();
}

// Without CAP_NET_RAW the ARP probe once called every address free: three cameras all got 169.254.0.1.
TEST_F(TruthfulE2E, WithoutRawSocketsDetouredCamerasStillGetAddressesOfTheirOwn) {
    VirtualLan lan({.cameras = {"--name H1 --ip 192.168.0.31 --fault no-model-until-moved --burn-sec 1",
                                "--name H2 --ip 192.168.0.32 --fault no-model-until-moved --burn-sec 1",
                                "--name H3 --ip 192.168.0.33 --fault no-model-until-moved --burn-sec 1"}});
    CliRun r = Cli(lan, "upgrade " + Image() + " --select all --wait 1.5", true,
                   "capsh --drop=cap_net_raw -- -c 'exec \"$0\" \"$@\"' ");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    std::set<std::string> detours;
    for (int camera = 1; camera <= 3; ++camera) {
        const std::string log = lan.CameraLog(camera);
        EXPECT_EQ(r.byName["H" + std::to_string(camera)]["status"], "UPGRADE SUCCESSFUL") << log;
        EXPECT_EQ(Matches(log, "image=([0-9]+) bytes matched").size(), 1u) << log;
        auto moves = Matches(log, "set-network for [^ ]+ from [^ ]+ ip=([0-9.]+)");
        ASSERT_FALSE(moves.empty()) << log;
        detours.insert(moves.front());
    }
    EXPECT_EQ(detours.size(), 3u);
}

// Range 31-250 once gave a factory camera 192.168.0.31 while another listed camera sat there.
TEST_F(TruthfulE2E, AutoChangeIpSkipsAddressesThatListedCamerasHold) {
    VirtualLan lan({.cameras = {"--name New1", "--name New2", "--name Old31 --ip 192.168.0.31",
                                "--name Old32 --ip 192.168.0.32"}});
    CliRun r = Cli(lan, "auto-ip --wait 1.5");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    std::set<std::string> given{r.byName["New1"]["ip"], r.byName["New2"]["ip"]};
    EXPECT_EQ(given, (std::set<std::string>{"192.168.0.33", "192.168.0.34"}));
    EXPECT_EQ(r.byName["Old31"]["ip"], "192.168.0.31");
}

// A camera moved for the job stayed at 169.254.x.y when the process was stopped during the burn.
TEST_F(TruthfulE2E, ATerminatedJobLeavesAJournalThatTheNextStartReplays) {
    VirtualLan lan({.cameras = {"--name Burner --ip 192.168.0.41 --fault no-model-until-moved --burn-sec 400 "
                                "--reboot-ms 1000"}});
    int rc = -1;
    std::string pid = lan.RunInHost("sh -c " + testsupport::ShellQuote(Env() + CliPath() + " --json upgrade " +
                                                                       Image() + " --select all --wait 1.5 >" +
                                                                       m_state.path() + "/out 2>&1 & echo $!"),
                                    rc);
    while (!pid.empty() && pid.back() == '\n')
        pid.pop_back();
    ASSERT_FALSE(pid.empty());
    ASSERT_TRUE(WaitUntil([&] { return lan.CameraLog(1).find("camsim: rebooting\n") != std::string::npos; }, 20s))
        << lan.CameraLog(1);
    // A closed terminal (SIGHUP) killed the process here, as no stop signal but SIGINT and SIGTERM was caught.
    ASSERT_EQ(::kill(std::stoi(pid), SIGHUP), 0);
    auto signalled = std::chrono::steady_clock::now();
    EXPECT_TRUE(WaitUntil([&] { return testsupport::ProcessEnded(std::stoi(pid)); }, 2s)) << "ends within two seconds";
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, 2500ms);
    std::ifstream out(m_state.path() + "/out");
    std::string printed((std::istreambuf_iterator<char>(out)), std::istreambuf_iterator<char>());
    EXPECT_NE(printed.find("\"Interrupted after the upload\""), std::string::npos) << printed << lan.CameraLog(1);
    EXPECT_NE(Journal().find("\"home\": \"192.168.0.41\""), std::string::npos) << Journal();
    EXPECT_EQ(lan.RunInHost("ip -4 route show 169.254.0.0/16", rc), "") << "closing removed the route";

    // The camera comes back from its burn still at its link-local address; the next start sends it home.
    ASSERT_TRUE(WaitUntil([&] { return lan.CameraLog(1).find("back from reboot") != std::string::npos; }, 15s));
    CliRun next = Cli(lan, "search --wait 2");
    EXPECT_EQ(next.byName["Burner"]["ip"], "192.168.0.41") << next.output;
    EXPECT_EQ(Journal().find("\"moved_to\""), std::string::npos) << Journal();
}

// A camera that trickles its answers once kept a job, and the closing window, waiting for ever.
TEST_F(TruthfulE2E, ATricklingCameraNeitherHoldsTheJobNorTheClose) {
    VirtualLan lan({.cameras = {"--name Trickler --ip 192.168.0.51 --fault trickle",
                                "--name Plain --ip 192.168.0.52 --version V1.05"}});
    auto started = std::chrono::steady_clock::now();
    CliRun check = Cli(lan, "check-version --wait 1.5");
    EXPECT_LT(std::chrono::steady_clock::now() - started, 40s) << "every query has an overall bound";
    EXPECT_EQ(check.byName["Plain"]["status"], "V1.05");
    EXPECT_EQ(check.byName["Trickler"]["failed"], true) << check.output;

    int rc = -1;
    std::string pid =
        lan.RunInHost("sh -c " + testsupport::ShellQuote(Env() + CliPath() + " --json upgrade " + Image() +
                                                         " --select all --wait 1.5 >/dev/null 2>&1 & echo $!"),
                      rc);
    while (!pid.empty() && pid.back() == '\n')
        pid.pop_back();
    std::this_thread::sleep_for(3s); // listed, and the trickling query under way
    ASSERT_EQ(::kill(std::stoi(pid), SIGTERM), 0);
    EXPECT_TRUE(WaitUntil([&] { return testsupport::ProcessEnded(std::stoi(pid)); }, 2s))
        << "a stop aborts the transfer";
}

// The window stayed grey 45 s after every job on a bench whose name server never answers.
TEST_F(TruthfulE2E, AnUnchangedAdapterFreesTheWindowAtOnce) {
    VirtualLan lan({.cameras = {"--name Quick --ip 192.168.0.61"}, .nameserver = "192.168.0.250"});
    auto started = std::chrono::steady_clock::now();
    CliRun r = Cli(lan, "check-version --wait 1");
    EXPECT_EQ(r.byName["Quick"]["status"], "V1.05");
    EXPECT_LT(std::chrono::steady_clock::now() - started, 8s) << "no reconnect wait for a name server that is silent";
}

} // namespace
