// On a virtual camera LAN that loses commands and searches as a real bench does: every change to a
// camera counts only once the camera shows it, and no camera is left away without its way home.
#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <regex>
#include <set>
#include <thread>

#include "engine/LinkLocalDetours.h"
#include "tests/e2e/CliFixture.h"

namespace {

using namespace std::chrono_literals;
using testsupport::WaitUntil;

class LossyBenchE2E : public CliFixture {
protected:
    // The set-network commands addressed to a camera, in the order they reached it: the address
    // it took, "lost" (the simulator dropped it) or "ignored" (it arrived while the camera rebooted).
    static std::vector<std::string> Commands(const std::string& log) {
        std::vector<std::string> seen;
        const std::regex line("set-network for [^ ]+ from [^ ]+(?:: ip=([0-9.]+)| (lost|ignored))");
        for (std::sregex_iterator it(log.begin(), log.end(), line), end; it != end; ++it)
            seen.push_back((*it)[1].matched ? (*it)[1].str() : (*it)[2].str());
        return seen;
    }
    static std::string Joined(const std::vector<std::string>& items) {
        std::string text;
        for (const std::string& item : items)
            text += (text.empty() ? "" : " ") + item;
        return text;
    }
    static bool IsLinkLocal(const std::string& ip) { return ip.rfind("169.254.", 0) == 0; }
    static std::function<bool(const std::string&)> Is(const std::string& ip) {
        return [ip](const std::string& taken) { return taken == ip; };
    }
    // Whether the first command of a kind that the camera took came right after one the bench
    // lost: the tool sent it again instead of counting the lost one as done.
    static bool ResentAfterALoss(const std::vector<std::string>& commands,
                                 const std::function<bool(const std::string&)>& kind) {
        const auto first = std::find_if(commands.begin(), commands.end(), kind);
        return first != commands.end() && first != commands.begin() && *(first - 1) == "lost";
    }
    static std::size_t Uploads(const std::string& log) { return Matches(log, "(image=[0-9]+ bytes matched)").size(); }
    std::string RouteLeft(VirtualLan& lan) const {
        int rc = -1;
        return lan.RunInHost("ip -4 route show 169.254.0.0/16", rc);
    }
    // The records of this run's report, by camera name.
    std::map<std::string, nlohmann::json> Report(const std::string& file) const {
        std::map<std::string, nlohmann::json> byName;
        try {
            for (const auto& record : nlohmann::json::parse(ReadWholeFile(Path(file))))
                byName[record["name"].get<std::string>()] = record;
        } catch (const std::exception& e) {
            ADD_FAILURE() << file << ": " << e.what();
        }
        return byName;
    }
};

constexpr const char* kQuickBurn = " --version V1.04 --burn-sec 1 --reboot-ms 1000";

// A lost set-network command once counted as a done move: the camera was flashed at an address it
// never took, or left at 169.254.x.y while the journal said it was home.
TEST_F(LossyBenchE2E, LostMovesAndLostWaysHomeAreSentAgainUntilTheCameraShowsThem) {
    VirtualLan lan({.cameras = {std::string("--name TwinA --mac 02:00:00:00:0a:01 --lose-commands 1") + kQuickBurn,
                                std::string("--name TwinB --mac 02:00:00:00:0a:02 --lose-commands 2") + kQuickBurn,
                                std::string("--name Wide --ip 192.168.0.50 --mask 255.255.0.0 --mac 02:00:00:00:0a:03 "
                                            "--fault no-model-until-moved --lose-commands 2") +
                                    kQuickBurn,
                                // Hears neither command home this job sends (the scaled bound gives two), only
                                // the next start's.
                                std::string("--name Far --ip 192.168.0.51 --mac 02:00:00:00:0a:04 "
                                            "--fault no-model-until-moved --lose-commands 2,3") +
                                    kQuickBurn}});

    {
        SCOPED_TRACE("a journal that cannot be written");
        // Something else stands where the journal would be written.
        const std::string journal = m_stateHome + "/flashwell/journal.json";
        std::filesystem::create_directories(journal);
        CliRun refused = Cli(lan, "check-version --wait 1");
        EXPECT_EQ(refused.exitCode, 1) << refused.output << refused.errors;
        for (const char* name : {"TwinA", "TwinB", "Wide", "Far"})
            EXPECT_EQ(refused.byName[name]["status"], "Not moved: its way home cannot be written") << name;
        EXPECT_NE(refused.errors.find(journal), std::string::npos) << refused.errors;
        for (int camera = 1; camera <= 4; ++camera)
            EXPECT_TRUE(Commands(lan.CameraLog(camera)).empty())
                << "nothing left for a camera, not even a command the bench lost: " << lan.CameraLog(camera);
        std::filesystem::remove_all(journal);
    }

    // An earlier job's neighbour entry for the card's first link-local address points at another
    // camera; the administrator pinned the second one.
    int rc = -1;
    Mac card{};
    const std::string address = lan.RunInHost("cat /sys/class/net/eth0/address", rc);
    ASSERT_TRUE(ParseMac(address.substr(0, address.find('\n')), card)) << address;
    LinkLocalSequence sequence(card);
    const std::string first = sequence.Next(), pinned = sequence.Next();
    lan.RunInHost("ip neigh replace " + first + " lladdr 02:00:00:00:0a:99 dev eth0 nud stale", rc);
    ASSERT_EQ(rc, 0);
    lan.RunInHost("ip neigh replace " + pinned + " lladdr 02:00:00:00:0a:98 dev eth0 nud permanent", rc);
    ASSERT_EQ(rc, 0);

    CliRun r = Cli(lan, "upgrade " + Image() + " --select all --wait 1.5 --report " + Path("up.json"));
    EXPECT_EQ(r.exitCode, 1) << "a camera is left away from home: " << r.output << r.errors;
    for (int camera = 1; camera <= 3; ++camera) {
        const std::string log = lan.CameraLog(camera);
        const std::string name = camera == 1 ? "TwinA" : camera == 2 ? "TwinB" : "Wide";
        const std::string home = camera == 3 ? "192.168.0.50" : "192.168.0.20";
        const auto commands = Commands(log);
        SCOPED_TRACE(name + ": " + Joined(commands));
        EXPECT_EQ(r.byName[name]["status"], "UPGRADE SUCCESSFUL") << log;
        EXPECT_EQ(r.byName[name]["ip"], home);
        EXPECT_EQ(Uploads(log), 1u) << "one upload, at the address it was seen at";
        ASSERT_FALSE(commands.empty());
        EXPECT_EQ(commands.back(), home) << "the last command it took sent it home";
        EXPECT_EQ(std::count(commands.begin(), commands.end(), "ignored"), 0) << "nothing sent into its burn";
        std::set<std::string> detours;
        for (const std::string& ip : commands)
            if (IsLinkLocal(ip))
                detours.insert(ip);
        // A second address would mean the first did not answer: a stale entry steered it elsewhere.
        EXPECT_EQ(detours.size(), 1u) << "answered at the first link-local address it was given";
        if (camera == 1) {
            EXPECT_TRUE(ResentAfterALoss(commands, IsLinkLocal)) << "the lost move was sent again";
        } else {
            EXPECT_TRUE(ResentAfterALoss(commands, Is(home))) << "the lost way home was sent again";
        }
    }
    // Every command home, the resent one too, gave the /16 camera its own mask back.
    const auto masks =
        Matches(lan.CameraLog(3), "set-network for [^ ]+ from [^ ]+ ip=192\\.168\\.0\\.50 mask=([0-9.]+)");
    EXPECT_FALSE(masks.empty());
    for (const std::string& mask : masks)
        EXPECT_EQ(mask, "255.255.0.0");
    EXPECT_EQ(lan.RunInHost("ip neigh show " + first + " dev eth0", rc).find("02:00:00:00:0a:99"), std::string::npos)
        << "the stale entry went before a camera was moved there";
    EXPECT_NE(lan.RunInHost("ip neigh show " + pinned + " dev eth0", rc).find("02:00:00:00:0a:98"), std::string::npos)
        << "the administrator's entry stays";
    for (int camera = 1; camera <= 4; ++camera)
        EXPECT_EQ(lan.CameraLog(camera).find("ip=" + pinned + " "), std::string::npos)
            << "a pinned address is handed to no camera: " << lan.CameraLog(camera);
    EXPECT_EQ(RouteLeft(lan), "") << "the route the job added is gone";

    {
        SCOPED_TRACE("a camera that heard none of its commands home");
        // It exited 0 with the camera listed at its home, "UPGRADE SUCCESSFUL", while it sat at 169.254.x.y.
        EXPECT_EQ(r.byName["Far"]["status"], "UPGRADE SUCCESSFUL") << lan.CameraLog(4);
        ASSERT_TRUE(r.byName["Far"]["away"].is_string()) << r.output;
        const std::string away = r.byName["Far"]["away"];
        EXPECT_TRUE(IsLinkLocal(away)) << away;
        EXPECT_EQ(r.byName["Far"]["ip"], away) << "the row shows where the camera is";
        for (const char* name : {"TwinA", "TwinB", "Wide"})
            EXPECT_TRUE(r.byName[name]["away"].is_null()) << name;
        EXPECT_NE(r.errors.find("not seen back at its own address yet: Far (02:00:00:00:0a:04) at 169.254."),
                  std::string::npos)
            << r.errors;
        EXPECT_TRUE(Report("up.json")["Far"]["ip_after"].is_null()) << "its record does not say it is home";
        const std::string journal = Journal();
        EXPECT_NE(journal.find("\"home\": \"192.168.0.51\""), std::string::npos) << journal;
        EXPECT_EQ(Matches(journal, "(\"moved_to\")").size(), 1u) << "the cameras seen home left it: " << journal;
    }

    CliRun after = Cli(lan, "search --wait 1.5");
    EXPECT_EQ(after.byName["TwinA"]["ip"], "192.168.0.20") << after.output;
    EXPECT_EQ(after.byName["TwinB"]["ip"], "192.168.0.20");
    EXPECT_EQ(after.byName["Wide"]["ip"], "192.168.0.50");
    EXPECT_EQ(after.byName["Far"]["ip"], "192.168.0.51") << "the next start brought it home";
    EXPECT_NE(after.errors.find("sent Far (02:00:00:00:0a:04) from 169.254."), std::string::npos) << after.errors;
    EXPECT_EQ(Commands(lan.CameraLog(4)).back(), "192.168.0.51");
    EXPECT_EQ(Journal().find("\"moved_to\""), std::string::npos) << Journal();
}

// A camera an earlier job left away was listed at its link-local address; the next job took that
// for its home, "sent it home" there and dropped the journal's entry: 192.168.0.63 was gone.
TEST_F(LossyBenchE2E, ACameraLeftAwayKeepsItsHomeAcrossJobsUntilItIsSeenThere) {
    // Hears its moves and none of the commands home of the first two runs (two each time it is
    // awaited): job 1 moves it (1) and loses its way home (2, 3); the second run's start (4, 5)
    // and its job (6, 7) lose their ways home, the job moves it on (8) and loses it again (9, 10).
    VirtualLan lan({.cameras = {std::string("--name Deaf --ip 192.168.0.63 --mac 02:00:00:00:0a:05 "
                                            "--fault no-model-until-moved --lose-commands 2,3,4,5,6,7,9,10") +
                                kQuickBurn}});
    for (int job = 1; job <= 3; ++job) {
        SCOPED_TRACE("job " + std::to_string(job));
        CliRun r = Cli(lan, "upgrade " + Image() + " --select all --wait 1.5");
        EXPECT_EQ(r.byName["Deaf"]["status"], "UPGRADE SUCCESSFUL") << r.output << r.errors << lan.CameraLog(1);
        for (const std::string& ip : Commands(lan.CameraLog(1)))
            EXPECT_TRUE(ip == "192.168.0.63" || ip == "lost" || ip == "ignored" || IsLinkLocal(ip)) << "sent to " << ip;
        const std::string journal = Journal();
        if (job < 3) {
            EXPECT_EQ(r.exitCode, 1) << "left away: no clean success";
            EXPECT_TRUE(r.byName["Deaf"]["away"].is_string()) << r.output;
            EXPECT_NE(journal.find("\"home\": \"192.168.0.63\""), std::string::npos)
                << "its home outlives the job: " << journal;
        } else {
            EXPECT_EQ(r.exitCode, 0) << r.output << r.errors;
            EXPECT_TRUE(r.byName["Deaf"]["away"].is_null());
            EXPECT_EQ(r.byName["Deaf"]["ip"], "192.168.0.63");
            EXPECT_EQ(journal.find("\"moved_to\""), std::string::npos) << journal;
        }
    }
    EXPECT_EQ(Commands(lan.CameraLog(1)).back(), "192.168.0.63");
}

// An upload whose answer never came, or came in two reads, was taken for a failure: the camera was
// sent the image twice more during its burn and left with no way home.
TEST_F(LossyBenchE2E, AnUploadWithoutAWholeAnswerIsWaitedOutAndJudgedByTheVersion) {
    VirtualLan lan({.cameras = {
                        std::string("--name Blind --ip 192.168.0.21 --fault burn-no-reply") + kQuickBurn,
                        std::string("--name Split --ip 192.168.0.22 --fault split-reply") + kQuickBurn,
                        // Burns for a second at this scale, within the burn the tool presumes.
                        "--name BlindAway --ip 192.168.0.23 --fault burn-no-reply --fault no-model-until-moved "
                        "--version V1.04 --burn-sec 100 --reboot-ms 1000 --lose-commands 2",
                    }});
    CliRun r;
    std::thread job([&] { r = Cli(lan, "upgrade " + Image() + " --select all --wait 1.5"); });
    const bool burning =
        WaitUntil([&] { return lan.CameraLog(3).find("camsim: rebooting\n") != std::string::npos; }, 30s);
    // While it burns, and until it is seen home after its reboot, its way home stays on disk.
    const std::string during = Journal();
    job.join();
    ASSERT_TRUE(burning) << lan.CameraLog(3);
    EXPECT_NE(during.find("\"home\": \"192.168.0.23\""), std::string::npos) << during;

    EXPECT_EQ(r.exitCode, 0) << r.output << r.errors;
    for (int camera = 1; camera <= 3; ++camera) {
        const std::string log = lan.CameraLog(camera);
        const std::string name = camera == 1 ? "Blind" : camera == 2 ? "Split" : "BlindAway";
        SCOPED_TRACE(name);
        EXPECT_EQ(r.byName[name]["status"], "UPGRADE SUCCESSFUL") << log;
        EXPECT_EQ(r.byName[name]["failed"], false);
        EXPECT_EQ(Uploads(log), 1u) << "no second upload into a burn: " << log;
        EXPECT_EQ(Matches(log, "(firmwareupgrade\\.cgi)").size(), 1u) << log;
    }
    const auto commands = Commands(lan.CameraLog(3));
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "ignored"), 0)
        << "no command home into its burn: " << Joined(commands);
    EXPECT_TRUE(ResentAfterALoss(commands, Is("192.168.0.23"))) << Joined(commands);
    EXPECT_EQ(r.byName["BlindAway"]["ip"], "192.168.0.23");
    EXPECT_EQ(Journal().find("\"moved_to\""), std::string::npos) << "seen home: " << Journal();
    EXPECT_EQ(RouteLeft(lan), "");
}

// Any answer to a reset counted as its acceptance: a 404 page was a blank success and the twin
// moved for it stayed at its link-local address. The list then kept a reset camera's old
// address, so Auto Change IP skipped it.
TEST_F(LossyBenchE2E, ARefusedResetFailsWithItsAnswerAndAResetCameraIsReaddressedDespiteLosses) {
    VirtualLan lan({.cameras = {
                        "--name NotFound --ip 192.168.0.31 --reset-answer 404",
                        "--name Broken --ip 192.168.0.32 --reset-answer 500",
                        "--name NoSuch --ip 192.168.0.33 --reset-answer 501",
                        "--name PageOnly --ip 192.168.0.34 --reset-answer 200:<html>Unsupported</html>",
                        "--name TwinNo --mac 02:00:00:00:0c:05 --reset-answer 404 --lose-commands 2",
                        "--name TwinYes --mac 02:00:00:00:0c:06 --reboot-ms 1000",
                        "--name Used --ip 192.168.0.37 --mac 02:00:00:00:0c:07 --reboot-ms 1000 --lose-commands 1",
                        "--name Deaf --mac 02:00:00:00:0c:08 --lose-commands 100%",
                    }});
    // Deaf would need a detour to be reset on its own, and it hears no command.
    CliRun reset = Cli(lan, "reset --wait 1.5 --select 02:fe:ff:00:00:01,02:fe:ff:00:00:02,02:fe:ff:00:00:03,"
                            "02:fe:ff:00:00:04,02:00:00:00:0c:05,02:00:00:00:0c:06,02:00:00:00:0c:07");
    EXPECT_EQ(reset.exitCode, 1) << reset.output << reset.errors;
    const std::map<std::string, std::string> refused = {
        {"NotFound", "Reset not accepted: HTTP 404"},
        {"Broken", "Reset not accepted: HTTP 500"},
        {"NoSuch", "Reset not accepted: HTTP 501"},
        {"PageOnly", "Reset not accepted: \"<html>Unsupported</html>\""},
        {"TwinNo", "Reset not accepted: HTTP 404"}};
    for (const auto& [name, status] : refused) {
        EXPECT_EQ(reset.byName[name]["status"], status) << name << ": " << reset.output;
        EXPECT_EQ(reset.byName[name]["failed"], true) << name;
    }
    for (const char* name : {"TwinYes", "Used"}) {
        EXPECT_EQ(reset.byName[name]["status"], "Back at 192.168.0.20") << name;
        EXPECT_EQ(reset.byName[name]["failed"], false) << name;
        EXPECT_EQ(reset.byName[name]["ip"], "192.168.0.20") << name << " is listed where it came back";
    }
    const auto twinNo = Commands(lan.CameraLog(5));
    EXPECT_TRUE(ResentAfterALoss(twinNo, Is("192.168.0.20")))
        << "the twin moved for a refused reset is sent home, again when the first is lost: " << Joined(twinNo);
    EXPECT_EQ(twinNo.back(), "192.168.0.20");
    EXPECT_EQ(Journal().find("\"moved_to\""), std::string::npos) << Journal();

    // Four cameras now at the factory address; Deaf never takes its new address.
    CliRun readdressed = Cli(lan, "auto-ip --wait 1.5 --report " + Path("ip.json"));
    EXPECT_EQ(readdressed.exitCode, 1) << readdressed.output << readdressed.errors;
    auto records = Report("ip.json");
    EXPECT_EQ(records["Used"]["status"], "Seen at its new address") << records["Used"].dump();
    EXPECT_EQ(records["Used"]["ip_before"], "192.168.0.20");
    EXPECT_EQ(readdressed.byName["Used"]["ip"], records["Used"]["ip_after"]) << readdressed.output;
    const auto used = Commands(lan.CameraLog(7));
    ASSERT_EQ(used.size(), 2u) << Joined(used);
    EXPECT_EQ(used[0], "lost");
    EXPECT_EQ(used[1], records["Used"]["ip_after"]) << "the same address, sent again";
    for (const char* name : {"TwinNo", "TwinYes"})
        EXPECT_EQ(records[name]["status"], "Seen at its new address") << name;
    EXPECT_EQ(records["Deaf"]["status"], "Not seen at its new address") << records["Deaf"].dump();
    EXPECT_EQ(records["Deaf"]["failed"], true);
    EXPECT_TRUE(records["Deaf"]["ip_after"].is_null()) << "where it is is not known";
    EXPECT_EQ(readdressed.byName["Deaf"]["ip"], "192.168.0.20") << readdressed.output;
}

// A start while the cameras still rebooted emptied the journal, and both stayed at 169.254.x.y.
TEST_F(LossyBenchE2E, CamerasStillRebootingAtAStartStayInTheJournalUntilTheyAreSeenHome) {
    // Seven silent seconds at this scale; SlowA loses the first command home after it is back
    // (the move, then that one: the early start sends nothing to a camera its search does not show).
    VirtualLan lan({.cameras = {"--name SlowA --ip 192.168.0.41 --mac 02:00:00:00:0d:01 --fault no-model-until-moved "
                                "--burn-sec 300 --reboot-ms 400000 --lose-commands 2",
                                "--name SlowB --ip 192.168.0.42 --mac 02:00:00:00:0d:02 --fault no-model-until-moved "
                                "--burn-sec 300 --reboot-ms 400000 --lose-searches 2"}});
    const int pid = CliInBackground(lan, "upgrade " + Image() + " --select all --wait 1.5", "first");
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitUntil(
        [&] {
            return lan.CameraLog(1).find("camsim: rebooting\n") != std::string::npos &&
                   lan.CameraLog(2).find("camsim: rebooting\n") != std::string::npos;
        },
        30s))
        << lan.CameraLog(1) << lan.CameraLog(2) << ReadWholeFile(Path("first.err"));
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    ASSERT_TRUE(WaitUntil([&] { return testsupport::ProcessEnded(pid); }, 5s));
    for (const char* home : {"192.168.0.41", "192.168.0.42"})
        EXPECT_NE(Journal().find(std::string("\"home\": \"") + home + "\""), std::string::npos) << Journal();

    const std::size_t commandsBefore = Commands(lan.CameraLog(1)).size();
    const auto began = std::chrono::steady_clock::now();
    CliRun early = Cli(lan, "search --wait 0.5");
    EXPECT_LT(std::chrono::steady_clock::now() - began, 6s) << "a silent camera costs the start one search";
    EXPECT_EQ(lan.CameraLog(1).find("back from reboot"), std::string::npos) << "the start came too late to tell";
    EXPECT_EQ(Commands(lan.CameraLog(1)).size(), commandsBefore) << "nothing is sent to a camera not seen";
    EXPECT_NE(early.errors.find("did not show it (not on this card's segment"), std::string::npos) << early.errors;
    // The console lists them without a search: where each is, where home is, since when.
    CliRun listed = Cli(lan, "journal", false);
    EXPECT_EQ(listed.exitCode, 0) << listed.errors;
    for (const char* line : {"02:00:00:00:0d:01  SlowA", "02:00:00:00:0d:02  SlowB"})
        EXPECT_NE(listed.output.find(line), std::string::npos) << listed.output;
    EXPECT_NE(listed.output.find("192.168.0.41"), std::string::npos) << listed.output;
    const auto away = Matches(early.errors, "flashwell-cli: (Slow[AB] \\(02:00:00:00:0d:0[12]\\) is still away at "
                                            "169\\.254\\.[0-9]+\\.[0-9]+)");
    EXPECT_EQ(away.size(), 2u) << "each camera away is named with where it is: " << early.errors;
    for (const char* home : {"192.168.0.41", "192.168.0.42"})
        EXPECT_NE(Journal().find(std::string("\"home\": \"") + home + "\""), std::string::npos)
            << "kept: " << Journal();

    ASSERT_TRUE(WaitUntil(
        [&] {
            return lan.CameraLog(1).find("back from reboot") != std::string::npos &&
                   lan.CameraLog(2).find("back from reboot") != std::string::npos;
        },
        30s));
    CliRun later = Cli(lan, "search --wait 1.5");
    EXPECT_EQ(later.byName["SlowA"]["ip"], "192.168.0.41") << later.output << later.errors;
    EXPECT_EQ(later.byName["SlowB"]["ip"], "192.168.0.42") << later.output << later.errors;
    for (const char* who : {"SlowA (02:00:00:00:0d:01)", "SlowB (02:00:00:00:0d:02)"})
        EXPECT_NE(later.errors.find(std::string("sent ") + who + " from 169.254."), std::string::npos) << later.errors;
    const std::string logA = lan.CameraLog(1);
    const auto slowA = Commands(logA);
    EXPECT_TRUE(ResentAfterALoss(slowA, Is("192.168.0.41")))
        << "the way home lost after the reboot was sent again: " << Joined(slowA);
    EXPECT_GT(logA.find("lost (--lose-commands)"), logA.find("back from reboot")) << logA;
    EXPECT_EQ(Journal().find("\"moved_to\""), std::string::npos) << "seen home: the entries are gone " << Journal();
}

// A closed terminal ended a console mid-detour with its cameras at 169.254.x.y and no journal
// entry, and a second console on the card handed out the same addresses and sent the first's
// cameras home under its feet.
TEST_F(LossyBenchE2E, AHangUpMidDetourSendsHomeWhatHearsAndJournalsWhatBurns) {
    VirtualLan lan({.cameras = {"--name Burner --mac 02:00:00:00:0e:01 --version V1.04 --burn-sec 600 "
                                "--reboot-ms 1000 --lose-commands 1",
                                // Its queries trickle for five seconds each: it is awake at its
                                // link-local address when the hang-up comes.
                                "--name Trickler --mac 02:00:00:00:0e:02 --fault trickle --lose-commands 2",
                                // Takes the whole upload at its link-local address and never answers.
                                "--name Holder --ip 192.168.0.44 --mac 02:00:00:00:0e:03 --fault upload-no-reply "
                                "--fault no-model-until-moved"}});
    const int pid = CliInBackground(lan, "upgrade " + Image() + " --select all --wait 1.5", "hup");
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitUntil(
        [&] {
            const auto trickler = Commands(lan.CameraLog(2));
            return lan.CameraLog(1).find("camsim: rebooting\n") != std::string::npos && !trickler.empty() &&
                   IsLinkLocal(trickler.back()) && lan.CameraLog(3).find("body read, no reply") != std::string::npos;
        },
        30s))
        << lan.CameraLog(1) << lan.CameraLog(2) << lan.CameraLog(3) << ReadWholeFile(Path("hup.err"));

    {
        SCOPED_TRACE("a second console on the same card");
        const std::size_t before1 = Commands(lan.CameraLog(1)).size(), before2 = Commands(lan.CameraLog(2)).size(),
                          before3 = Commands(lan.CameraLog(3)).size();
        CliRun second = Cli(lan, "check-version --wait 0.5", false);
        EXPECT_EQ(second.exitCode, 2) << second.output << second.errors;
        EXPECT_NE(second.errors.find("another Flashwell job is running on eth0"), std::string::npos) << second.errors;
        CliRun search = Cli(lan, "search --wait 0.5");
        EXPECT_EQ(search.exitCode, 0) << search.errors;
        EXPECT_EQ(search.errors.find("sent "), std::string::npos) << "the running job's cameras are its own";
        EXPECT_EQ(Commands(lan.CameraLog(1)).size(), before1) << lan.CameraLog(1);
        EXPECT_EQ(Commands(lan.CameraLog(2)).size(), before2) << lan.CameraLog(2);
        EXPECT_EQ(Commands(lan.CameraLog(3)).size(), before3) << lan.CameraLog(3);
    }

    ASSERT_EQ(::kill(pid, SIGHUP), 0);
    ASSERT_TRUE(WaitUntil([&] { return testsupport::ProcessEnded(pid); }, 10s));
    const std::string errors = ReadWholeFile(Path("hup.err"));
    EXPECT_NE(errors.find("stopped by signal 1"), std::string::npos) << errors;
    const auto trickler = Commands(lan.CameraLog(2));
    EXPECT_TRUE(ResentAfterALoss(trickler, Is("192.168.0.20")))
        << "the awake twin was sent home, again when the first was lost: " << Joined(trickler);
    EXPECT_EQ(trickler.back(), "192.168.0.20");
    const std::string journal = Journal();
    EXPECT_NE(journal.find("02:00:00:00:0e:01"), std::string::npos) << "the burning twin is journalled: " << journal;
    EXPECT_EQ(journal.find("02:00:00:00:0e:02"), std::string::npos) << "the twin seen home is not: " << journal;
    EXPECT_EQ(RouteLeft(lan), "");
    const auto burner = Commands(lan.CameraLog(1));
    EXPECT_TRUE(ResentAfterALoss(burner, IsLinkLocal)) << "its lost move was sent again: " << Joined(burner);
    EXPECT_EQ(std::count(burner.begin(), burner.end(), "ignored"), 0) << "nothing sent into its burn";
    // Stopped while its upload's answer was awaited: it may be burning, so it is left to the journal.
    const auto holder = Commands(lan.CameraLog(3));
    EXPECT_EQ(holder.size(), 1u) << "its move and no command home: " << Joined(holder);
    EXPECT_NE(journal.find("02:00:00:00:0e:03"), std::string::npos) << journal;
    EXPECT_EQ(Matches(lan.CameraLog(3), "(body read, no reply)").size(), 1u) << "one upload: " << lan.CameraLog(3);

    ASSERT_TRUE(WaitUntil([&] { return lan.CameraLog(1).find("back from reboot") != std::string::npos; }, 20s));
    CliRun next = Cli(lan, "search --wait 1.5");
    for (const char* who : {"Burner (02:00:00:00:0e:01)", "Holder (02:00:00:00:0e:03)"})
        EXPECT_NE(next.errors.find(std::string("sent ") + who + " from 169.254."), std::string::npos) << next.errors;
    EXPECT_EQ(next.byName["Burner"]["ip"], "192.168.0.20") << next.output;
    EXPECT_EQ(next.byName["Holder"]["ip"], "192.168.0.44") << next.output;
    EXPECT_EQ(Journal().find("\"moved_to\""), std::string::npos) << Journal();
}

} // namespace
