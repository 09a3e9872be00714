// One row per fault a camera or a file can show, each with the Status and failed flag it must end
// in, and a check that nothing else was disturbed: the other rows, the host's routes, the
// cameras' addresses. Faults run side by side in one job, as they would on a bench.
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/e2e/CliFixture.h"

namespace {

using namespace std::chrono_literals;

struct Row {
    const char* name;
    const char* camera; // flashwell-camsim arguments besides the name
    const char* status; // what the row must end in
    bool failed;
};

using Listed = CliRun;

class FaultMatrixE2E : public CliFixture {};

constexpr const char* kBurn = " --version V1.04 --burn-sec 1 --reboot-ms 1000";

TEST_F(FaultMatrixE2E, EveryCameraFaultEndsInItsOwnTruthfulStatus) {
    const Row rows[] = {
        {"Healthy", "--ip 192.168.0.21", "UPGRADE SUCCESSFUL", false},
        {"SilentWeb", "--ip 192.168.0.22 --fault silent", "Device offline!", true},
        {"NoReplyAfterUpload", "--ip 192.168.0.23 --fault upload-no-reply", "Failed to upgrade!", true},
        {"ResetMidUpload", "--ip 192.168.0.24 --fault reset-mid-upload", "Failed to upgrade!", true},
        {"Trickle", "--ip 192.168.0.25 --fault trickle", "Device offline!", true},
        {"TrickleUpload", "--ip 192.168.0.26 --fault trickle-upload", "Failed to upgrade!", true},
        {"WrongPassword", "--ip 192.168.0.27 --fault wrong-password", "401 Unauthorized", true},
        {"NoModel", "--ip 192.168.0.28 --fault no-model", "Device offline!", true},
        {"Older", "--ip 192.168.0.29 --fault older-after-reboot", "Failed to upgrade!", true},
        {"NeverBack", "--ip 192.168.0.30 --fault never-back", "No answer after the reboot", true},
        {"HugeBurn", "--ip 192.168.0.31 --announce-burn 99999999", "UPGRADE SUCCESSFUL", false},
        {"Twin1", "", "UPGRADE SUCCESSFUL", false},
        {"Twin2", "", "UPGRADE SUCCESSFUL", false},
        {"Wifi", "--ip 192.168.0.32 --wifi", "Wi-Fi interface", true},
    };
    VirtualLan::Options options;
    for (const Row& r : rows)
        options.cameras.push_back(std::string("--name ") + r.name + " " + r.camera + kBurn);
    VirtualLan lan(options);
    Listed before = Cli(lan, "search --wait 1.5");
    ASSERT_EQ(before.byName.size(), std::size(rows)) << before.output;

    auto started = std::chrono::steady_clock::now();
    Listed job = Cli(lan, "upgrade " + Image("106", std::size_t{256} * 1024) + " --select all --wait 1.5");
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(job.exitCode, 1) << job.errors;
    EXPECT_LT(took, 240s) << "every exchange is bounded";
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ASSERT_TRUE(job.byName.contains(r.name)) << job.output;
        EXPECT_EQ(job.byName[r.name]["status"], r.status);
        EXPECT_EQ(job.byName[r.name]["failed"], r.failed);
    }
    int rc = -1;
    EXPECT_EQ(lan.RunInHost("ip -4 route show 169.254.0.0/16", rc), "") << "no route is left on the host";
    std::this_thread::sleep_for(500ms); // the last restore commands take effect
    Listed after = Cli(lan, "search --wait 1.5");
    for (const Row& r : rows) {
        if (std::string(r.name) == "NeverBack")
            continue; // still rebooting for ever, as it was told
        EXPECT_EQ(after.byName[r.name]["ip"], before.byName[r.name]["ip"]) << r.name << " is at its own address";
    }
    std::ifstream journal(m_state.path() + "/flashwell/journal.json");
    std::string pending((std::istreambuf_iterator<char>(journal)), std::istreambuf_iterator<char>());
    EXPECT_EQ(pending.find("\"moved_to\""), std::string::npos) << pending;
}

TEST_F(FaultMatrixE2E, ImageFaultsStopBeforeAnythingIsSentAndALargeImageGoesThrough) {
    VirtualLan lan({.cameras = {std::string("--name Target --ip 192.168.0.41") + kBurn}});
    const std::string folder = m_state.path() + "/a-folder";
    std::filesystem::create_directories(folder);
    struct Case {
        std::string image;
        const char* says;
    };
    const Case refused[] = {{folder, "cannot read the firmware file"},
                            {Image("106", 0), "too short"},
                            {Image("106", 60), "too short"},
                            {m_state.path() + "/missing.bin", "cannot read the firmware file"}};
    for (const Case& c : refused) {
        SCOPED_TRACE(c.image);
        Listed l = Cli(lan, "upgrade " + c.image + " --select all --wait 1");
        EXPECT_EQ(l.exitCode, 2);
        EXPECT_NE(l.errors.find(c.says), std::string::npos) << l.errors;
    }
    EXPECT_EQ(lan.CameraLog(1).find("firmwareupgrade.cgi"), std::string::npos) << "nothing reached the camera";
    // A file that goes away during the search: the console read it once, at its start, and every
    // camera gets those bytes.
    const std::string vanishing = Image("106", 4096);
    std::thread remover([&] {
        std::this_thread::sleep_for(700ms);
        std::filesystem::remove(vanishing);
    });
    Listed gone = Cli(lan, "upgrade " + vanishing + " --select all --wait 2");
    remover.join();
    EXPECT_EQ(gone.exitCode, 0) << gone.errors;
    EXPECT_NE(lan.CameraLog(1).find("firmwareupgrade.cgi"), std::string::npos) << "the image read at the start";

    Listed large = Cli(lan, "upgrade " + Image("106", std::size_t{64} * 1024 * 1024) + " --select all --wait 1");
    EXPECT_EQ(large.exitCode, 0) << large.errors;
    EXPECT_EQ(large.byName["Target"]["status"], "UPGRADE SUCCESSFUL");
    EXPECT_NE(lan.CameraLog(1).find("image=67108864 bytes matched"), std::string::npos);
}

TEST_F(FaultMatrixE2E, MalformedRepliesAreDroppedAndNamesReachTheTerminalTamed) {
    VirtualLan lan({.cameras = {"--name Real --ip 192.168.0.51 --junk"}});
    Listed l = Cli(lan, "search --wait 1.5");
    EXPECT_EQ(l.exitCode, 0);
    std::set<std::string> macs;
    std::string escaped;
    for (const auto& [name, d] : l.byName) {
        macs.insert(d["mac"]);
        if (d["mac"] == "02:fe:ee:00:00:02")
            escaped = name;
    }
    // Too short, a capital M, a foreign tag and a zero address are dropped; an oversize datagram,
    // a name of control bytes and a port of non-digits are cameras all the same.
    EXPECT_EQ(macs, (std::set<std::string>{"02:fe:ff:00:00:01", "02:fe:ee:00:00:01", "02:fe:ee:00:00:02",
                                           "02:fe:ee:00:00:03"}));
    EXPECT_EQ(escaped.size(), 18u) << "JSON carries the name whole, escaped";
    int rc = -1;
    std::string table = lan.RunInHost(std::string(CliPath()) + " search --wait 1.5", rc);
    EXPECT_EQ(table.find('\x1b'), std::string::npos) << "no escape sequence reaches the terminal";
    EXPECT_EQ(table.find('\x07'), std::string::npos);
    EXPECT_NE(table.find("?[2J?]0;pwn?"), std::string::npos) << table;
}

} // namespace
