// The console front end run as a technician would run the package: not root, holding no capability
// itself, with the file capabilities cap_net_admin and cap_net_raw on its helper only, and once with
// a helper that holds none.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/support/TestSupport.h"
#include "tests/support/VirtualLan.h"

namespace {

constexpr unsigned kNobody = 65534;

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

bool onPath(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

class UnprivilegedE2E : public ::testing::Test {
protected:
    void SetUp() override {
        if (auto why = VirtualLan::Unavailable(); !why.empty())
            GTEST_SKIP() << why;
        ::setenv("FLASHWELL_TIME_SCALE", "0.01", 1); // the simulated cameras' burn and reboot too
        if (::geteuid() != 0)
            GTEST_SKIP() << "setting file capabilities and changing user need root";
        for (const char* tool : {"setcap", "getcap", "setpriv"})
            if (!onPath(tool))
                GTEST_SKIP() << tool << " is not installed (packages libcap2-bin, util-linux)";
        // The unprivileged user must reach the binaries, the image and its own state folder.
        ASSERT_EQ(::chmod(m_dir.path().c_str(), 0711), 0);
        namespace fs = std::filesystem;
        m_cli = m_dir.path() + "/flashwell-cli";
        m_withCaps = m_dir.path() + "/flashwell-helper";
        m_plain = m_dir.path() + "/flashwell-helper-plain";
        fs::copy_file(CliPath(), m_cli);
        fs::copy_file(FLASHWELL_HELPER_BINARY, m_withCaps);
        fs::copy_file(FLASHWELL_HELPER_BINARY, m_plain);
        for (const std::string& program : {m_cli, m_withCaps, m_plain})
            fs::permissions(program, fs::perms(0755));
        ASSERT_EQ(std::system(("setcap cap_net_admin,cap_net_raw+p " + testsupport::ShellQuote(m_withCaps)).c_str()),
                  0);
        m_state = m_dir.path() + "/state";
        ASSERT_EQ(::mkdir(m_state.c_str(), 0700), 0);
        ASSERT_EQ(::chown(m_state.c_str(), kNobody, kNobody), 0);
        m_image = testsupport::WriteFirmwareImage(m_dir.path(), "106", std::size_t{32} * 1024);
        ASSERT_EQ(::chmod(m_image.c_str(), 0644), 0);
    }

    struct Run {
        int exitCode = -1;
        std::string errors;
        std::string status; // the camera's Status, "(not listed)" when it is missing
        bool failed = false;
    };

    // Runs the console copy as uid and gid 65534 with no supplementary groups and nothing inherited,
    // with the given helper; only the helper's file capabilities apply, when the console starts it.
    Run AsNobody(VirtualLan& lan, const std::string& helper, const std::string& args) {
        Run r;
        r.status = "(not listed)";
        const std::string errors = m_dir.path() + "/stderr";
        const std::string inner = "exec " + testsupport::ShellQuote(m_cli) + " --json " + args;
        const std::string out = lan.RunInHost(
            "setpriv --reuid=65534 --regid=65534 --clear-groups --inh-caps=-all env -i PATH=/usr/bin:/bin HOME=" +
                testsupport::ShellQuote(m_state) + " XDG_STATE_HOME=" + testsupport::ShellQuote(m_state) +
                " FLASHWELL_TIME_SCALE=0.01 FLASHWELL_HELPER=" + testsupport::ShellQuote(helper) + " sh -c " +
                testsupport::ShellQuote(inner) + " 2>" + testsupport::ShellQuote(errors),
            r.exitCode);
        r.errors = readFile(errors);
        try {
            const nlohmann::json doc = nlohmann::json::parse(out);
            for (const auto& d : doc["devices"])
                if (d["name"] == "Hidden") {
                    r.status = d["status"];
                    r.failed = d["failed"];
                }
        } catch (const std::exception&) {
            ADD_FAILURE() << "not JSON: " << out << r.errors;
        }
        return r;
    }

    // Where a root search finds the camera now.
    static std::string AddressNow(VirtualLan& lan) {
        int rc = 0;
        const std::string out = lan.RunInHost(std::string(CliPath()) + " --json search --wait 1.5", rc);
        const nlohmann::json doc = nlohmann::json::parse(out);
        for (const auto& d : doc["devices"])
            if (d["name"] == "Hidden")
                return d["ip"];
        return "";
    }

    testsupport::ScratchDir m_dir;
    std::string m_cli, m_withCaps, m_plain, m_state, m_image;
};

TEST_F(UnprivilegedE2E, TheHelpersCapabilitiesCarryADetouredUpgradeAndTheirAbsenceIsSaid) {
    VirtualLan lan({.cameras = {"--name Hidden --ip 192.168.0.25 --version V1.04 --fault no-model-until-moved "
                                "--burn-sec 1 --reboot-ms 1000"}});
    int rc = 0;

    Run held = AsNobody(lan, m_withCaps, "upgrade " + m_image + " --select all --wait 1.5");
    EXPECT_EQ(held.exitCode, 0) << held.errors;
    EXPECT_EQ(held.status, "UPGRADE SUCCESSFUL") << held.errors << lan.CameraLog(1);
    EXPECT_EQ(held.errors.find("No CAP_"), std::string::npos) << held.errors;
    const std::string log = lan.CameraLog(1);
    const std::regex move("set-network for [^ ]+ from [^ ]+ ip=([0-9.]+)");
    std::vector<std::string> moves;
    for (auto it = std::sregex_iterator(log.begin(), log.end(), move); it != std::sregex_iterator(); ++it)
        moves.push_back((*it)[1]);
    ASSERT_EQ(moves.size(), 2u) << log;
    EXPECT_EQ(moves[0].rfind("169.254.", 0), 0u) << "moved to a link-local address for the job";
    EXPECT_EQ(moves[1], "192.168.0.25") << "and sent home";
    EXPECT_EQ(lan.RunInHost("ip -4 route show 169.254.0.0/16", rc), "") << "the route the job added is gone";
    EXPECT_EQ(AddressNow(lan), "192.168.0.25");
    // The job's record was written by the unprivileged user, in its own folder.
    bool recorded = false;
    for (const std::string& name : testsupport::ListFolder(m_state + "/flashwell/jobs")) {
        struct stat st {};
        ASSERT_EQ(::stat((m_state + "/flashwell/jobs/" + name).c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, kNobody) << name;
        recorded = true;
    }
    EXPECT_TRUE(recorded);

    Run bare = AsNobody(lan, m_plain, "upgrade " + m_image + " --select all --wait 1.5");
    EXPECT_EQ(bare.exitCode, 1);
    const std::string line = "flashwell-cli: No CAP_NET_ADMIN or CAP_NET_RAW: ";
    EXPECT_NE(bare.errors.find(line), std::string::npos) << bare.errors;
    EXPECT_NE(bare.errors.find("(the helper " + m_plain + " lacks its capabilities;"), std::string::npos)
        << bare.errors;
    EXPECT_TRUE(bare.failed) << bare.status;
    EXPECT_EQ(bare.status, "Cannot probe link-local addresses") << "never moved, so never stranded";
    EXPECT_EQ(lan.RunInHost("ip -4 route show 169.254.0.0/16", rc), "");
    EXPECT_EQ(AddressNow(lan), "192.168.0.25") << "not stranded: " << lan.CameraLog(1);
}

// A front end killed between the detour and its undo left the card without its addresses, or the
// route behind with nothing to remove it.
TEST_F(UnprivilegedE2E, AKilledJobLeavesTheCardItsAddressesAndNoRoute) {
    const std::string journal = m_state + "/flashwell/journal.json";
    for (const bool helperToo : {false, true}) {
        SCOPED_TRACE(helperToo ? "the helper killed as well" : "the front end alone killed");
        std::filesystem::remove(journal);
        VirtualLan lan({.cameras = {"--name Hidden --ip 192.168.0.25 --version V1.04 --fault no-model-until-moved "
                                    "--burn-sec 3000 --reboot-ms 1000"}});
        int rc = 0;
        const auto addresses = [&] { return lan.RunInHost("ip -4 -o addr show dev eth0 | awk '{print $4}'", rc); };
        const auto route = [&] { return lan.RunInHost("ip -4 route show 169.254.0.0/16", rc); };
        const std::string own = addresses();
        ASSERT_NE(own, "");
        const std::string inner =
            "exec " + testsupport::ShellQuote(m_cli) + " upgrade " + m_image + " --select all --wait 1.5";
        const std::string pid = lan.RunInHost(
            "setpriv --reuid=65534 --regid=65534 --clear-groups --inh-caps=-all env -i PATH=/usr/bin:/bin HOME=" +
                testsupport::ShellQuote(m_state) + " XDG_STATE_HOME=" + testsupport::ShellQuote(m_state) +
                " FLASHWELL_TIME_SCALE=0.01 FLASHWELL_HELPER=" + testsupport::ShellQuote(m_withCaps) + " sh -c " +
                testsupport::ShellQuote(inner) + " >/dev/null 2>&1 & echo $!",
            rc);
        ASSERT_TRUE(testsupport::WaitUntil([&] { return !route().empty(); }, std::chrono::seconds(30)))
            << "the detour's route never came: " << lan.CameraLog(1);
        const std::string front = pid.substr(0, pid.find('\n'));
        if (helperToo)
            lan.RunInHost("pkill -KILL -P " + front, rc);
        lan.RunInHost("kill -KILL " + front, rc);
        ASSERT_TRUE(testsupport::WaitUntil([&] { return testsupport::ProcessEnded(std::stoi(front)); }));
        EXPECT_EQ(addresses(), own) << "the card's own addresses are never touched";
        if (!helperToo) {
            EXPECT_TRUE(testsupport::WaitUntil([&] { return route().empty(); }, std::chrono::seconds(5)))
                << "the helper takes its route with it: " << route();
            continue;
        }
        EXPECT_NE(route(), "") << "nobody was left to remove it";
        EXPECT_NE(readFile(journal).find("\"routes\": [\n    {"), std::string::npos) << readFile(journal);
        // The next start: its helper checks the journal's claim against the route's mark and the free card.
        Run next = AsNobody(lan, m_withCaps, "search --wait 1.5");
        EXPECT_EQ(next.exitCode, 0) << next.errors;
        EXPECT_NE(next.errors.find("removed the link-local route an earlier run had added on eth0"), std::string::npos)
            << next.errors;
        EXPECT_EQ(route(), "");
        EXPECT_EQ(addresses(), own);
        EXPECT_NE(readFile(journal).find("\"routes\": []"), std::string::npos) << readFile(journal);
    }
}

} // namespace
