// The console front end run as a technician would run the package: not root, holding no capability
// itself, with the file capabilities cap_net_admin and cap_net_raw on its helper only, and once with
// a helper that holds none.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/e2e/CliFixture.h"

namespace {

constexpr unsigned kNobody = 65534;

bool onPath(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

class UnprivilegedE2E : public CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        if (IsSkipped())
            return;
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
        m_home = m_dir.path() + "/state";
        ASSERT_EQ(::mkdir(m_home.c_str(), 0700), 0);
        ASSERT_EQ(::chown(m_home.c_str(), kNobody, kNobody), 0);
        SetStateHome(m_home);
        m_program = testsupport::ShellQuote(m_cli);
        m_image = testsupport::WriteFirmwareImage(m_dir.path(), "106", std::size_t{32} * 1024);
        ASSERT_EQ(::chmod(m_image.c_str(), 0644), 0);
    }

    struct Run {
        int exitCode = -1;
        std::string errors;
        std::string status; // the camera's Status, "(not listed)" when it is missing
        bool failed = false;
    };

    // What the console copy runs under: uid and gid 65534 with no supplementary groups and nothing
    // inherited, with the given helper; only the helper's file capabilities apply, when the console
    // starts it.
    std::string Nobody(const std::string& helper) const {
        return "setpriv --reuid=65534 --regid=65534 --clear-groups --inh-caps=-all env -i PATH=/usr/bin:/bin HOME=" +
               testsupport::ShellQuote(m_home) + " FLASHWELL_HELPER=" + testsupport::ShellQuote(helper) + " ";
    }

    Run AsNobody(VirtualLan& lan, const std::string& helper, const std::string& args) {
        const CliRun run = Cli(lan, args, true, Nobody(helper));
        Run r{run.exitCode, run.errors, "(not listed)", false};
        if (const auto hidden = run.byName.find("Hidden"); hidden != run.byName.end()) {
            r.status = hidden->second["status"];
            r.failed = hidden->second["failed"];
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
    std::string m_cli, m_withCaps, m_plain, m_home, m_image;
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
    for (const std::string& name : testsupport::ListFolder(m_home + "/flashwell/jobs")) {
        struct stat st {};
        ASSERT_EQ(::stat((m_home + "/flashwell/jobs/" + name).c_str(), &st), 0);
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
    const std::string journal = m_home + "/flashwell/journal.json";
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
        const int front =
            CliInBackground(lan, "upgrade " + m_image + " --select all --wait 1.5", "killed", Nobody(m_withCaps));
        ASSERT_GT(front, 0);
        ASSERT_TRUE(testsupport::WaitUntil([&] { return !route().empty(); }, std::chrono::seconds(30)))
            << "the detour's route never came: " << lan.CameraLog(1);
        if (helperToo)
            lan.RunInHost("pkill -KILL -P " + std::to_string(front), rc);
        lan.RunInHost("kill -KILL " + std::to_string(front), rc);
        ASSERT_TRUE(testsupport::WaitUntil([&] { return testsupport::ProcessEnded(front); }));
        EXPECT_EQ(addresses(), own) << "the card's own addresses are never touched";
        if (!helperToo) {
            EXPECT_TRUE(testsupport::WaitUntil([&] { return route().empty(); }, std::chrono::seconds(5)))
                << "the helper takes its route with it: " << route();
            continue;
        }
        EXPECT_NE(route(), "") << "nobody was left to remove it";
        EXPECT_NE(ReadWholeFile(journal).find("\"routes\": [\n    {"), std::string::npos) << ReadWholeFile(journal);
        // The next start: its helper checks the journal's claim against the route's mark and the free card.
        Run next = AsNobody(lan, m_withCaps, "search --wait 1.5");
        EXPECT_EQ(next.exitCode, 0) << next.errors;
        EXPECT_NE(next.errors.find("removed the link-local route an earlier run had added on eth0"), std::string::npos)
            << next.errors;
        EXPECT_EQ(route(), "");
        EXPECT_EQ(addresses(), own);
        EXPECT_NE(ReadWholeFile(journal).find("\"routes\": []"), std::string::npos) << ReadWholeFile(journal);
    }
}

} // namespace
