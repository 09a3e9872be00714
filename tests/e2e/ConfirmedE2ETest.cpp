// On the virtual camera LAN: a change counts only when the camera's own report shows it, a camera
// is never moved without its way home on disk, and two jobs never share a card.
#include <signal.h>
#include <sys/stat.h>

#include "tests/e2e/CliFixture.h"

namespace {

using namespace std::chrono_literals;
using testsupport::WaitUntil;

class ConfirmedE2E : public CliFixture {};

// A start while the cameras still rebooted emptied the journal, said they were home, and both
// stayed at 169.254.x.y for good.
TEST_F(ConfirmedE2E, TheJournalKeepsACameraUntilItIsSeenHome) {
    VirtualLan lan({.cameras = {"--name Slow --ip 192.168.0.41 --fault no-model-until-moved --burn-sec 300 "
                                "--reboot-ms 400000"}});
    const int pid = CliInBackground(lan, "upgrade " + Image() + " --select all --wait 1.5");
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitUntil([&] { return lan.CameraLog(1).find("camsim: rebooting\n") != std::string::npos; }, 20s))
        << lan.CameraLog(1);
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    ASSERT_TRUE(WaitUntil([&] { return testsupport::ProcessEnded(pid); }, 5s));

    // Still burning: the next start sends it home, cannot see it there, and keeps the entry.
    CliRun early = Cli(lan, "search --wait 0.5");
    EXPECT_NE(early.errors.find("Slow (02:fe:ff:00:00:01) is still away at 169.254."), std::string::npos)
        << early.errors;
    EXPECT_NE(Journal().find("\"home\": \"192.168.0.41\""), std::string::npos) << "kept for the next start";

    ASSERT_TRUE(WaitUntil([&] { return lan.CameraLog(1).find("back from reboot") != std::string::npos; }, 20s));
    CliRun later = Cli(lan, "search --wait 1");
    EXPECT_EQ(later.byName["Slow"]["ip"], "192.168.0.41") << later.output << later.errors;
    EXPECT_NE(later.errors.find("sent Slow (02:fe:ff:00:00:01) from 169.254."), std::string::npos) << later.errors;
    EXPECT_EQ(Journal().find("\"moved_to\""), std::string::npos) << "seen home: the entry is gone";
}

// Two consoles on one card both handed out 169.254.0.1, and the first one's end removed the
// route the second still needed.
TEST_F(ConfirmedE2E, ASecondJobOnTheSameCardIsRefusedButASearchRuns) {
    VirtualLan lan({.cameras = {"--name Long --ip 192.168.0.42 --burn-sec 300 --reboot-ms 1000"}});
    const int pid = CliInBackground(lan, "upgrade " + Image() + " --select all --wait 1");
    ASSERT_TRUE(WaitUntil([&] { return lan.CameraLog(1).find("camsim: rebooting\n") != std::string::npos; }, 20s));
    CliRun second = Cli(lan, "check-version --wait 0.5", false);
    EXPECT_EQ(second.exitCode, 2) << second.output << second.errors;
    EXPECT_NE(
        second.errors.find("another Flashwell job is running on eth0 (process " + std::to_string(pid) + " of root)"),
        std::string::npos)
        << second.errors;
    EXPECT_EQ(Matches(lan.CameraLog(1), "(param.cgi)").size(), 1u) << "the refused job asked nothing";
    CliRun search = Cli(lan, "search --wait 0.5");
    EXPECT_EQ(search.exitCode, 0) << search.errors;
    ::kill(pid, SIGTERM);
    EXPECT_TRUE(WaitUntil([&] { return testsupport::ProcessEnded(pid); }, 5s));
}

// A journal that could not be written did not stop the move: the camera had no way home.
TEST_F(ConfirmedE2E, NoCameraIsMovedWithoutItsWayHomeOnDisk) {
    VirtualLan lan({.cameras = {"--name TwinA --mac 02:00:00:00:07:01", "--name TwinB --mac 02:00:00:00:07:02"}});
    // A file stands where the state folder should be made.
    const std::string blocked = Path("blocked");
    { std::ofstream(blocked + "") << "not a folder"; }
    SetStateHome(blocked);
    CliRun r = Cli(lan, "check-version --wait 1");
    EXPECT_EQ(r.exitCode, 1);
    for (const char* twin : {"TwinA", "TwinB"}) {
        EXPECT_EQ(r.byName[twin]["status"], "Not moved: its way home cannot be written") << r.output;
        EXPECT_EQ(r.byName[twin]["ip"], "192.168.0.20");
    }
    EXPECT_NE(r.errors.find("cannot make the folder of the journal " + blocked + "/flashwell/journal.json"),
              std::string::npos)
        << r.errors;
    for (int camera = 1; camera <= 2; ++camera)
        EXPECT_TRUE(Matches(lan.CameraLog(camera), "(set-network)").empty()) << lan.CameraLog(camera);
}

// A /16 camera came back /24 from its detour, while its record said nothing had changed.
TEST_F(ConfirmedE2E, TheWayHomeGivesBackTheCamerasOwnMask) {
    VirtualLan lan({.cameras = {"--name Wide --ip 192.168.0.50 --mask 255.255.0.0 --fault no-model-until-moved"}});
    CliRun r = Cli(lan, "check-version --wait 1");
    EXPECT_EQ(r.byName["Wide"]["status"], "V1.05") << r.output << lan.CameraLog(1);
    auto masks = Matches(lan.CameraLog(1), "set-network for [^ ]+ from [^ ]+ ip=192\\.168\\.0\\.50 mask=([0-9.]+)");
    ASSERT_EQ(masks.size(), 1u) << lan.CameraLog(1);
    EXPECT_EQ(masks[0], "255.255.0.0");
}

// The console took MACs only with colons, checked every camera whatever --select said, and said a
// too-short image's error twice.
TEST_F(ConfirmedE2E, TheConsoleTakesMacsAsCopiedAndAsksOnlyTheSelected) {
    VirtualLan lan({.cameras = {"--name Asked --mac 02:00:00:00:08:0a", "--name Left --mac 02:00:00:00:08:02"}});
    CliRun r = Cli(lan, "check-version --wait 1 --select 02-00-00-00-08-0A");
    EXPECT_EQ(r.byName["Asked"]["status"], "V1.05") << r.output;
    EXPECT_EQ(r.byName["Left"]["status"], "") << r.output;
    EXPECT_EQ(r.exitCode, 0) << r.errors;

    CliRun shortImage = Cli(lan, "upgrade " + Image("106", 60) + " --wait 1 --select 02:00:00:00:08:0A", false);
    EXPECT_EQ(shortImage.exitCode, 2) << shortImage.errors;
    const auto said = Matches(shortImage.errors, "(too short)");
    EXPECT_EQ(said.size(), 1u) << shortImage.errors;
}

// --range 255-600 handed out 192.168.0.255, .0 and .1 and exited 0.
TEST_F(ConfirmedE2E, ARangeOutsideTheHostNumbersIsRefusedBeforeAnythingIsSent) {
    VirtualLan lan({.cameras = {"--name New"}});
    for (const char* range : {"255-600", "0-10", "40-31"}) {
        CliRun r = Cli(lan, std::string("auto-ip --wait 0.5 --range ") + range, false);
        EXPECT_EQ(r.exitCode, 2) << range << r.errors;
        EXPECT_NE(r.errors.find("host numbers from 1 to 254"), std::string::npos) << r.errors;
    }
    EXPECT_TRUE(Matches(lan.CameraLog(1), "(set-network)").empty()) << lan.CameraLog(1);
}

// A closed terminal killed the console mid-burn and left the camera away with no journal entry.
TEST_F(ConfirmedE2E, AHangUpEndsTheJobAsATerminationDoes) {
    VirtualLan lan({.cameras = {"--name Hung --ip 192.168.0.43 --fault no-model-until-moved --burn-sec 300 "
                                "--reboot-ms 1000"}});
    const int pid = CliInBackground(lan, "upgrade " + Image() + " --select all --wait 1", "hup");
    ASSERT_TRUE(WaitUntil([&] { return lan.CameraLog(1).find("camsim: rebooting\n") != std::string::npos; }, 20s));
    ASSERT_EQ(::kill(pid, SIGHUP), 0);
    ASSERT_TRUE(WaitUntil([&] { return testsupport::ProcessEnded(pid); }, 5s));
    EXPECT_NE(ReadWholeFile(Path("hup.err")).find("stopped by signal 1"), std::string::npos)
        << ReadWholeFile(Path("hup.err"));
    EXPECT_NE(Journal().find("\"home\": \"192.168.0.43\""), std::string::npos) << Journal();
}

// A reset camera's row still said .31 after the job, so the next Auto Change IP skipped it.
TEST_F(ConfirmedE2E, AResetCameraIsListedWhereItCameBack) {
    VirtualLan lan({.cameras = {"--name Used --ip 192.168.0.31 --reboot-ms 1000"}});
    CliRun reset = Cli(lan, "reset --select all --wait 1");
    EXPECT_EQ(reset.exitCode, 0) << reset.output << reset.errors;
    EXPECT_EQ(reset.byName["Used"]["ip"], "192.168.0.20") << "seen back at the factory address";
    EXPECT_EQ(reset.byName["Used"]["failed"], false);
    CliRun readdressed = Cli(lan, "auto-ip --wait 1");
    EXPECT_EQ(readdressed.exitCode, 0) << readdressed.output << readdressed.errors;
    EXPECT_EQ(readdressed.byName["Used"]["ip"], "192.168.0.31") << readdressed.output;
}

} // namespace
