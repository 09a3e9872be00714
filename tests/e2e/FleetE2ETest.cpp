// On the virtual camera LAN: a bench's shared link, slow reboots, dead cameras, and the options
// that bring a large fleet through them.
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <regex>

#include "tests/e2e/CliFixture.h"

namespace {

using namespace std::chrono_literals;

class FleetE2E : public CliFixture {
protected:
    static int Count(const std::string& text, const std::string& what) {
        int n = 0;
        for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    }
    // Seconds a run of the console takes.
    template <typename F> static double Timed(F&& run) {
        const auto began = std::chrono::steady_clock::now();
        run();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    }
};

// Forty cameras on an 80x24 terminal: each redraw moved the cursor up 41 lines, the scrollback
// filled with partial frames, the screen was mostly blank mid-job and "N of 40 done" appeared
// only at the end.
TEST_F(FleetE2E, AConsoleOnAPalletDrawsFramesThatFitItsScreen) {
    VirtualLan lan({.cameras = {"--fleet 40 --fleet-web 40 --fleet-base 192.168.1.1 --mask 255.255.0.0 "
                                "--version V1.04 --burn-sec 2 --reboot-ms 2000"},
                    .hostIp = "192.168.0.10/16"});
    const std::string image = Image("106");
    winsize size{};
    size.ws_row = 24;
    size.ws_col = 80;
    int terminal = -1;
    const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, &size);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const std::string state = "XDG_STATE_HOME=" + m_stateHome;
        ::execl("/usr/bin/ip", "ip", "netns", "exec", lan.HostNamespace().c_str(), "env", "FLASHWELL_TIME_SCALE=0.01",
                state.c_str(), CliPath(), "upgrade", image.c_str(), "--select", "all", "--wait", "2", "--parallel", "8",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    std::string screen;
    char buffer[4096];
    for (ssize_t n; (n = ::read(terminal, buffer, sizeof buffer)) > 0;)
        screen.append(buffer, static_cast<std::size_t>(n));
    ::close(terminal);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << screen.substr(screen.size() - 2000);
    // The frames end where the final list begins, at the last "clear to the end of the screen".
    const std::string frames = screen.substr(0, screen.rfind("\x1b[J"));
    const std::regex up("\x1b\\[([0-9]+)A");
    int highest = 0, drawn = 0;
    for (std::sregex_iterator it(frames.begin(), frames.end(), up), end; it != end; ++it, ++drawn)
        highest = std::max(highest, std::stoi((*it)[1]));
    EXPECT_GE(drawn, 5) << "redrawn in place while the job ran";
    EXPECT_LE(highest, 23) << "a frame never taller than the screen";
    // From the first frame that has it, the summary line stays in every frame.
    std::vector<std::string> frame;
    for (std::size_t at = 0, next; at <= frames.size(); at = next + 4) {
        next = frames.find("\x1b[J", at);
        if (next == std::string::npos)
            next = frames.size();
        frame.push_back(frames.substr(at, next - at));
    }
    const auto first = std::find_if(frame.begin(), frame.end(),
                                    [](const std::string& f) { return f.find("of 40 done") != std::string::npos; });
    ASSERT_NE(first, frame.end()) << frames.substr(0, 2000);
    for (auto f = first; f != frame.end(); ++f)
        EXPECT_NE(f->find("of 40 done"), std::string::npos) << "frame " << (f - frame.begin()) << ": " << *f;
    EXPECT_NE(screen.find("40 of 40 done"), std::string::npos);
}

// A version check asked one camera after another, and each dead camera cost its time-outs in turn.
TEST_F(FleetE2E, ACheckAsksSeveralCamerasAtOnce) {
    VirtualLan lan({.cameras = {"--name Live --ip 192.168.0.21", "--name DeadA --ip 192.168.0.22 --fault silent",
                                "--name DeadB --ip 192.168.0.23 --fault silent",
                                "--name DeadC --ip 192.168.0.24 --fault silent"}});
    CliRun check;
    const double took = Timed([&] { check = Cli(lan, "check-version --parallel 4 --wait 1"); });
    EXPECT_EQ(check.exitCode, 1) << check.errors;
    EXPECT_EQ(check.byName["Live"]["status"], "V1.05");
    for (const char* dead : {"DeadA", "DeadB", "DeadC"})
        EXPECT_EQ(check.byName[dead]["status"], "Device offline") << dead;
    // One dead camera costs its three queries' bounds, about 7 s; three in turn cost three times that.
    EXPECT_LT(took, 15.0) << "the dead cameras were asked at once";
    CliRun refused = Cli(lan, "check-version --parallel 0 --wait 0", false);
    EXPECT_EQ(refused.exitCode, 2) << refused.errors;
}

// A camera that came back with the new version 8 s after its upload, while the countdown was
// shorter, ended "No answer after the reboot". This one is silent for 10 s (its reboot, scaled like
// the tool's waits), longer than the countdown and a whole round of queries.
TEST_F(FleetE2E, ASlowRebootIsWaitedForAndADeadOneIsGivenUpOnTime) {
    VirtualLan lan({.cameras = {"--name Slow --ip 192.168.0.21 --burn-sec 1 --reboot-ms 1000000"}});
    CliRun slow = Cli(lan, "--progress upgrade " + Image() + " --select all --wait 1 --reboot-timeout 3000");
    EXPECT_EQ(slow.exitCode, 0) << slow.errors;
    EXPECT_EQ(slow.byName["Slow"]["status"], "UPGRADE SUCCESSFUL");
    EXPECT_NE(slow.errors.find("Slow (02:fe:ff:00:00:01) No answer since the reboot, asking again: "),
              std::string::npos)
        << "its wait is shown, with the camera named: " << slow.errors << lan.CameraLog(1);

    VirtualLan gone({.cameras = {"--name Gone --ip 192.168.0.21 --burn-sec 1 --fault never-back"}});
    CliRun never;
    // 60 s of countdown and 240 s of asking again are 3 s at this time scale.
    const double took = Timed([&] { never = Cli(gone, "upgrade " + Image() + " --select all --wait 1"); });
    EXPECT_EQ(never.exitCode, 1);
    EXPECT_EQ(never.byName["Gone"]["status"], "No answer after the reboot");
    EXPECT_LT(took, 40.0) << "given up at its deadline";
}

// A first wave that fails keeps the image from the rest; a camera at the image's version is left
// as it is; the failed ones of the last job are picked again by --select failed.
TEST_F(FleetE2E, AFirstWaveCurrentCamerasAndTheFailedOnes) {
    // The reply delays fix the list's order: Bad, then Good, then Current.
    VirtualLan lan({.cameras = {"--name Bad --ip 192.168.0.21 --fault upload-refused --mac 02:00:00:00:09:01",
                                "--name Good --ip 192.168.0.22 --reply-delay-ms 300 --mac 02:00:00:00:09:02",
                                "--name Current --ip 192.168.0.23 --reply-delay-ms 600 --version V1.06 "
                                "--mac 02:00:00:00:09:03"}});
    const std::string image = Image("106");
    CliRun none = Cli(lan, "upgrade " + image + " --select failed --wait 1", false);
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_NE(none.errors.find("--select failed: no upgrade on eth0 is recorded in "), std::string::npos)
        << none.errors;

    CliRun plan = Cli(lan, "upgrade " + image + " --select all --wait 1.5 --dry-run --skip-current");
    EXPECT_EQ(plan.exitCode, 0) << plan.output << plan.errors;
    EXPECT_EQ(plan.byName["Current"]["plan"], "current");
    EXPECT_EQ(plan.byName["Good"]["plan"], "flash");

    CliRun wave = Cli(lan, "upgrade " + image + " --select all --wait 1.5 --skip-current --canary 1");
    EXPECT_EQ(wave.exitCode, 1);
    EXPECT_EQ(wave.byName["Bad"]["status"], "Failed to upgrade!") << wave.output;
    EXPECT_EQ(wave.byName["Good"]["status"], "Not flashed: the first wave failed");
    EXPECT_EQ(wave.byName["Good"]["failed"], true);
    EXPECT_EQ(wave.byName["Current"]["status"], "Already at V1.06");
    EXPECT_EQ(wave.byName["Current"]["failed"], false);
    EXPECT_EQ(Count(lan.CameraLog(2), "firmwareupgrade.cgi"), 0) << "the rest got no image";
    EXPECT_EQ(Count(lan.CameraLog(3), "firmwareupgrade.cgi"), 0);

    // A damaged line in the newest job ended this with a type_error (exit 134), and a job stamped
    // by a clock in 2099 won over every real one.
    const std::string jobs = m_stateHome + "/flashwell/jobs";
    const auto files = testsupport::ListFolder(jobs);
    ASSERT_FALSE(files.empty());
    std::string newest = *std::max_element(files.begin(), files.end());
    {
        std::ofstream damaged(jobs + "/" + newest, std::ios::app);
        damaged << R"({"adapter":"eth0","mac":"02:00:00:00:09:03","failed":null})"
                << "\n";
        std::ofstream future(jobs + "/20991231T235959Z-upgrade.jsonl");
        future << R"({"adapter":"eth0","mac":"02:00:00:00:09:03","failed":true,"ended":"2099-12-31T23:59:59Z"})"
               << "\n";
    }
    CliRun again = Cli(lan, "upgrade " + image + " --select failed --wait 1.5 --dry-run");
    EXPECT_EQ(again.exitCode, 0) << again.errors;
    EXPECT_NE(again.errors.find("1 line of " + jobs + "/" + newest + " is no whole record; skipped"), std::string::npos)
        << again.errors;
    EXPECT_NE(again.errors.find("1 record ends more than a minute from now"), std::string::npos) << again.errors;
    EXPECT_EQ(again.byName["Bad"]["plan"], "flash") << again.output << again.errors;
    EXPECT_EQ(again.byName["Good"]["plan"], "flash");
    EXPECT_TRUE(again.byName["Current"]["plan"].is_null()) << "it did not fail";
    EXPECT_NE(again.errors.find("--select failed: 2 cameras failed in "), std::string::npos) << again.errors;
}

} // namespace
