// flashwell-cli in-process on fake adapters; none that a search could use has an address, so nothing is sent.
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "FlashwellVersion.h"
#include "app/StatusTexts.h"
#include "console/Cli.h"
#include "console/CliOptions.h"
#include "console/CliOutput.h"
#include "console/CliWindow.h"
#include "console/EventStream.h"
#include "console/Password.h"
#include "console/Progress.h"
#include "engine/RestoreJournal.h"
#include "tests/support/Devices.h"
#include "tests/support/FakeCameraNetwork.h"
#include "tests/support/TestSupport.h"

namespace {

// A listed camera as the intake enters it, MAC 02:fe:ff:00:00:<last>.
DeviceInfo camera(int idx, const std::string& name, Ipv4 ip, std::uint8_t last, bool failed = false) {
    DeviceInfo d = testsupport::MakeDevice(last, ip, name, idx);
    d.mac = {0x02, 0xfe, 0xff, 0x00, 0x00, last};
    d.failed = failed ? 1 : 0;
    return d;
}

// The same as its row, with a Status.
ListRow row(const std::string& name, Ipv4 ip, const std::string& status, bool failed = false) {
    ListRow shown;
    shown.device = camera(1, name, ip, 1, failed);
    shown.status = Text(status);
    return shown;
}

AdapterData adapter(const std::string& name, bool ipEnabled, std::vector<std::string> addresses) {
    AdapterData a;
    a.netConnectionStatus = 2;
    a.description = name + " (e1000e)";
    a.interfaceName = name;
    a.ipEnabled = ipEnabled;
    a.ipAddresses = std::move(addresses);
    return a;
}

struct CliResult {
    int code = -1;
    std::string out, err;
};

CliResult run(std::vector<const char*> args, const std::vector<AdapterData>& adapters,
              const std::string& stateFolder = {}) {
    args.insert(args.begin(), "flashwell-cli");
    std::ostringstream out, err;
    ControllerPlatform platform{[adapters] { return adapters; }, [] { return 437u; }};
    platform.stateFolder = stateFolder;
    int code = RunCli(static_cast<int>(args.size()), args.data(), out, err, platform);
    return {code, out.str(), err.str()};
}

// For listing only: eth1 is the default and has an address.
const std::vector<AdapterData> kListed = {adapter("eth0", false, {"fe80::1"}),
                                          adapter("eth1", true, {"fe80::2", "192.168.0.10"})};
const std::vector<AdapterData> kUnaddressed = {adapter("eth0", false, {}), adapter("eth1", true, {"fe80::2"})};

} // namespace

TEST(CliTest, AdaptersTableAndJson) {
    CliResult r = run({"adapters"}, kListed);
    ASSERT_EQ(r.code, 0) << r.err;
    std::istringstream lines(r.out);
    std::vector<std::string> rows;
    for (std::string line; std::getline(lines, line);)
        rows.push_back(line);
    ASSERT_EQ(rows.size(), 3u) << r.out;
    EXPECT_TRUE(rows[1].starts_with("0 ") && rows[1].find("eth0 (e1000e)") != std::string::npos) << rows[1];
    EXPECT_EQ(rows[1].find('*'), std::string::npos) << "eth0 is not the default: " << rows[1];
    EXPECT_TRUE(rows[2].starts_with("1 ") && rows[2].find("eth1 (e1000e)") != std::string::npos) << rows[2];
    EXPECT_NE(rows[2].find("192.168.0.10"), std::string::npos) << rows[2];
    EXPECT_NE(rows[2].find('*'), std::string::npos) << "eth1 is the default: " << rows[2];

    r = run({"--json", "adapters"}, kListed);
    ASSERT_EQ(r.code, 0) << r.err;
    nlohmann::json doc = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_FALSE(doc.is_discarded()) << "not JSON: " << r.out;
    ASSERT_EQ(doc["adapters"].size(), 2u) << r.out;
    EXPECT_EQ(doc["adapters"][0],
              (nlohmann::json{{"position", 0}, {"description", "eth0 (e1000e)"}, {"address", ""}, {"default", false}}));
    EXPECT_EQ(doc["adapters"][1]["address"], "192.168.0.10");
    EXPECT_EQ(doc["adapters"][1]["default"], true);
}

TEST(CliTest, UsageErrorsExitWithTwo) {
    for (const auto& args : std::vector<std::vector<const char*>>{{}, {"frobnicate"}, {"--bad-option", "adapters"}})
        EXPECT_EQ(run(args, kListed).code, 2) << "args: " << (args.empty() ? "(none)" : args[0]);

    CliResult r = run({"--adapter", "nosuch", "search"}, kUnaddressed);
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("nosuch"), std::string::npos) << "the message should name the adapter: " << r.err;
    EXPECT_EQ(run({"--adapter", "5", "search"}, kUnaddressed).code, 2) << "a position past the list";

    for (const char* choice : {"eth1", "1", "eth1 (e1000e)", ""}) {
        r = run({"--adapter", choice, "search", "--wait", "0"}, kUnaddressed);
        EXPECT_EQ(r.code, 2) << "--adapter \"" << choice << "\"";
        EXPECT_NE(r.err.find("\"eth1 (e1000e)\" has no IPv4 address"), std::string::npos) << r.err;
    }
    r = run({"search"}, {});
    EXPECT_EQ(r.code, 2) << "no adapter at all";
    EXPECT_FALSE(r.err.empty());
}

// A 20-digit --adapter position made std::stoul throw out_of_range out of RunCli (resolveAdapter).
TEST(CliTest, HugeAdapterPositionIsAUsageError) {
    CliResult r;
    EXPECT_NO_THROW(r = run({"--adapter", "99999999999999999999999", "search"}, kUnaddressed));
    EXPECT_EQ(r.code, 2);
}

// --json adapters threw json type_error 316 on an adapter description that is not valid UTF-8.
TEST(CliTest, JsonAdaptersSurvivesNonUtf8Description) {
    CliResult r;
    EXPECT_NO_THROW(r = run({"--json", "adapters"}, {adapter("caf\xE9", true, {})}));
    EXPECT_EQ(r.code, 0);
    EXPECT_FALSE(nlohmann::json::parse(r.out, nullptr, false).is_discarded()) << r.out;
}

// help2man and packaging scripts read --version: it must print on standard output and exit 0, with no command.
TEST(CliTest, VersionNeedsNoCommand) {
    for (const auto& args : std::vector<std::vector<const char*>>{{"--version"}, {"--version", "search"}}) {
        CliResult r = run(args, kUnaddressed);
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, std::string("flashwell-cli ") + kFlashwellVersion + "\n");
        EXPECT_EQ(r.err, "");
    }
}

// What cannot be undone is done only to cameras the operator named; a malformed option never
// reaches the network (none of these runs needs an adapter).
TEST(CliTest, OptionsCheckedBeforeAnythingIsSent) {
    for (const char* command : {"upgrade", "reset"}) {
        std::vector<const char*> args = {command};
        if (std::string(command) == "upgrade")
            args.push_back("/nonexistent.bin");
        CliResult r = run(args, kUnaddressed);
        EXPECT_EQ(r.code, 2) << command;
        EXPECT_NE(r.err.find(std::string(command) + " needs --select (use --select all for every listed camera)"),
                  std::string::npos)
            << r.err;
    }
    for (const char* empty : {"", " , "}) {
        CliResult r = run({"reset", "--select", empty}, kUnaddressed);
        EXPECT_EQ(r.code, 2) << "an empty list is not every camera";
        EXPECT_NE(r.err.find("--select is empty"), std::string::npos) << r.err;
    }
    for (const char* typo : {"02:00:00:00:08:0g", "02:00:00:00:08", "02-00:00:00:08:01", "Lobby"}) {
        CliResult r = run({"reset", "--select", typo}, kUnaddressed);
        EXPECT_EQ(r.code, 2) << typo;
        EXPECT_NE(r.err.find("is neither a MAC address"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("IPv4"), std::string::npos) << "refused before the card is looked at: " << r.err;
    }
    CliResult r = run({"check-version", "--report", "out.txt"}, kUnaddressed);
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("--report takes a file name ending in .json or .csv"), std::string::npos) << r.err;
    r = run({"auto-ip", "--range", "31-x"}, kUnaddressed);
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("--range takes START-END"), std::string::npos) << r.err;
    r = run({"auto-ip", "--range", "40-40"}, kUnaddressed);
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("--range 40-40 can hand out no address: its END is never handed out"), std::string::npos)
        << r.err;
    // The guard and the dry run belong to the upgrade only.
    EXPECT_EQ(run({"reset", "--select", "all", "--dry-run"}, kUnaddressed).code, 2);
    EXPECT_EQ(run({"reset", "--select", "all", "--allow-model-mismatch"}, kUnaddressed).code, 2);
    // With --select the upgrade goes on to its next check, the adapter.
    r = run({"upgrade", "/nonexistent.bin", "--select", "all", "--dry-run"}, kUnaddressed);
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("has no IPv4 address"), std::string::npos) << r.err;
}

// A journal entry for a camera that left the bench could not be seen or forgotten from the console.
TEST(CliTest, TheJournalListsTheCamerasAwayAndForgetsThemOnlyWhenToldTo) {
    testsupport::ScratchDir dir;
    const std::string folder = dir.path() + "/flashwell";
    CliResult r = run({"journal"}, kListed, folder);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "No camera is away from home.\n");
    {
        RestoreJournal earlier(folder);
        for (std::uint8_t last : {std::uint8_t{1}, std::uint8_t{2}}) {
            PendingRestore p;
            p.mac = {2, 0, 0, 0, 0, last};
            p.name = last == 1 ? "Gone" : "Kept";
            p.home = "192.168.0.6" + std::to_string(last);
            p.movedTo = "169.254.7." + std::to_string(last);
            p.adapter = "eth0";
            p.command.assign(kAnyAddressDatagramLength, 0);
            ASSERT_TRUE(earlier.AddRestore(p));
        }
    } // that run has ended: its entries are this console's to act on
    r = run({"--json", "journal"}, kListed, folder);
    ASSERT_EQ(r.code, 0) << r.err;
    const auto listed = nlohmann::json::parse(r.out)["away"];
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0]["mac"], "02:00:00:00:00:01");
    EXPECT_EQ(listed[0]["away_at"], "169.254.7.1");
    EXPECT_EQ(listed[0]["home"], "192.168.0.61");
    EXPECT_TRUE(listed[0]["since"].is_string()) << "when it was moved";
    r = run({"journal"}, kListed, folder);
    EXPECT_NE(r.out.find("02:00:00:00:00:02  Kept"), std::string::npos) << r.out;

    EXPECT_EQ(run({"journal", "forget", "02:00:00:00:00:01"}, kListed, folder).code, 2) << "asks first";
    r = run({"journal", "forget", "02-00-00-00-00-0x", "--yes"}, kListed, folder);
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("takes a MAC address"), std::string::npos) << r.err;
    EXPECT_EQ(run({"journal", "forget", "02:00:00:00:00:09", "--yes"}, kListed, folder).code, 2) << "not there";
    r = run({"journal", "forget", "02:00:00:00:00:01", "--yes"}, kListed, folder);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Forgot 1 camera.\n");
    r = run({"--json", "journal"}, kListed, folder);
    ASSERT_EQ(nlohmann::json::parse(r.out)["away"].size(), 1u);
    EXPECT_EQ(run({"journal", "forget", "all", "--yes"}, kListed, folder).out, "Forgot 1 camera.\n");
}

TEST(CliTest, ProgressLinesAreCutToTheTerminalAndSafe) {
    EXPECT_EQ(ProgressLine(row("Lobby\x1b[2J", {192, 168, 0, 20}, "Upgrade Status... 40%"), 80),
              "Lobby?[2J           192.168.0.20    Upgrade Status... 40%");
    EXPECT_EQ(ProgressLine(row("Lobby\x1b[2J", {192, 168, 0, 20}, "Device offline!", true), 80),
              "Lobby?[2J           192.168.0.20    Device offline! [failed]");
    // One column short of the edge, cut between characters (each Latin-1 byte is one character).
    EXPECT_EQ(ProgressLine(row("Kamera \xE4\xE4\xE4\xE4\xE4\xE4", {192, 168, 0, 20}, ""), 12),
              "Kamera \xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4");

    std::tm noon{};
    noon.tm_year = 126;
    noon.tm_mon = 11;
    noon.tm_mday = 8;
    noon.tm_hour = 14;
    noon.tm_min = 6;
    noon.tm_sec = 43;
    noon.tm_isdst = -1;
    const auto when = std::chrono::system_clock::from_time_t(std::mktime(&noon));
    EXPECT_EQ(ProgressEvent(when, "Lobby", "02:00:00:00:00:01", "Upgrade Status... 40%"),
              "14:06:43 Lobby (02:00:00:00:00:01) Upgrade Status... 40%");
    EXPECT_EQ(ProgressEvent(when, "", "02:00:00:00:00:01", ""), "14:06:43 (02:00:00:00:00:01) (empty)");
    EXPECT_EQ(ProgressEvent(when, "Bad\x1b[2J", "02:00:00:00:00:01", "x").find('\x1b'), std::string::npos)
        << "a name from the network reaches the log tamed";
}

// Forty cameras on a 24-line terminal: each redraw moved the cursor up 41 lines, the scrollback
// filled with partial frames and the summary line showed only at the end.
TEST(CliTest, AProgressFrameFitsTheTerminalWithTheSummaryFirst) {
    std::vector<ProgressCamera> cameras;
    for (int i = 0; i < 40; ++i) {
        ProgressCamera c;
        c.row = row("C" + std::to_string(i), {192, 168, 0, static_cast<std::uint8_t>(100 + i)},
                    i == 3   ? "401 Unauthorized"
                    : i < 10 ? "UPGRADE SUCCESSFUL"
                             : "Upgrade Status... 40%",
                    i == 3);
        c.ended = i < 10;
        cameras.push_back(c);
    }
    const auto frame = ProgressFrame(cameras, "10 of 40 done, 1 failed", 80, 24);
    ASSERT_EQ(frame.size(), 23u) << "one line short of the screen: it never scrolls";
    EXPECT_EQ(frame.front(), "10 of 40 done, 1 failed");
    EXPECT_NE(frame[1].find("C3 "), std::string::npos) << "the failed camera comes first, in list order";
    EXPECT_NE(frame[2].find("C10 "), std::string::npos) << "then the ones at work";
    EXPECT_EQ(frame.back(), "... and 10 more, 9 done");
    for (const std::string& line : frame)
        EXPECT_LT(line.size(), 80u);

    // A job that fits is shown whole; a taller screen shows every camera at work.
    std::vector<ProgressCamera> few(cameras.begin(), cameras.begin() + 5);
    EXPECT_EQ(ProgressFrame(few, "4 of 5 done", 80, 24).size(), 6u);
    const auto tall = ProgressFrame(cameras, "", 80, 50);
    EXPECT_EQ(tall.size(), 40u) << "all forty fit in 49 lines";
    for (auto& c : cameras) {
        c.ended = true;
        c.row.device.failed = 0;
    }
    EXPECT_EQ(ProgressFrame(cameras, "40 of 40 done", 80, 10).back(), "... and 40 more done");
}

// Without a terminal every phase of a job is a line, but a running percentage or countdown only
// at each tenth of its way: fifty cameras must not print five thousand lines.
TEST(CliTest, ProgressEventsThinARunningPercentage) {
    Target lobby;
    lobby.mac = {2, 0, 0, 0, 0, 1};
    Target other;
    other.mac = {2, 0, 0, 0, 0, 2};
    ProgressLog log;
    log.Follow(lobby.mac, "");
    std::ostringstream err;
    auto tell = [&](const Target& camera, const JobEvent& event) {
        if (auto line = log.Line(camera, event, std::chrono::system_clock::now()))
            err << *line << "\n";
    };
    tell(lobby, event::CameraStarted{});
    tell(lobby, event::CameraChanged{{Phase::Querying, 0}});
    tell(lobby, event::CameraChanged{{Phase::Uploading, 0}});
    tell(other, event::CameraChanged{{Phase::Uploading, 0}}); // not followed
    for (int percent = 0; percent <= 100; ++percent)
        tell(lobby, event::CameraChanged{{Phase::Burning, percent}});
    for (int left = 60; left >= 0; --left)
        tell(lobby, event::CameraChanged{{Phase::Rebooting, left}});
    tell(lobby, event::CameraEnded{CameraOutcome(OutcomeKind::Upgraded)});
    std::vector<std::string> lines;
    std::istringstream text(err.str());
    for (std::string line; std::getline(text, line);)
        lines.push_back(line.substr(9)); // after the time stamp
    ASSERT_GE(lines.size(), 4u) << err.str();
    EXPECT_EQ(lines.front(), "(02:00:00:00:00:01) File Uploading...");
    EXPECT_EQ(lines[1], "(02:00:00:00:00:01) Upgrade Status... 0%");
    EXPECT_EQ(lines.back(), "(02:00:00:00:00:01) UPGRADE SUCCESSFUL");
    EXPECT_GE(lines.size(), 2u + 11u + 1u) << "a line at each tenth of both counts";
    EXPECT_LE(lines.size(), 2u + 11u + 11u + 1u) << err.str();
    EXPECT_NE(err.str().find("Upgrade Status... 100%"), std::string::npos);
    EXPECT_NE(err.str().find("Wait for 60 Seconds"), std::string::npos);
}

// "--select 0" named Lobby, Lobby and Office in three searches: a row number follows the order of the
// replies, so what cannot be undone takes MAC addresses only, and says so before anything is sent.
TEST(CliTest, UpgradeAndResetRefuseRowNumbers) {
    for (const char* select : {"0", "02:fe:ff:00:00:01,2", " 1 "}) {
        for (std::vector<const char*> args :
             {std::vector<const char*>{"upgrade", "/nonexistent.bin"}, std::vector<const char*>{"reset"}}) {
            const std::string command = args[0];
            args.insert(args.end(), {"--select", select});
            CliResult r = run(args, kUnaddressed);
            EXPECT_EQ(r.code, 2) << command << " --select " << select;
            EXPECT_NE(r.err.find(command + " takes MAC addresses or all in --select, not row numbers"),
                      std::string::npos)
                << r.err;
            EXPECT_EQ(r.err.find("no IPv4 address"), std::string::npos) << "refused before the adapter is used";
        }
    }
    // MAC addresses and all pass on to the next check, the adapter; so do rows where nothing is lost.
    for (std::vector<const char*> args :
         {std::vector<const char*>{"reset", "--select", "02:fe:ff:00:00:01"},
          std::vector<const char*>{"reset", "--select", "all"}, std::vector<const char*>{"auto-ip", "--select", "0,1"},
          std::vector<const char*>{"check-version", "--select", "0"}}) {
        CliResult r = run(args, kUnaddressed);
        EXPECT_EQ(r.code, 2) << args[0] << " " << args[2];
        EXPECT_NE(r.err.find("has no IPv4 address"), std::string::npos) << r.err;
    }
}

// A started console over the listed cards, with nothing to listen on: rows are entered by hand.
struct ListedConsole {
    explicit ListedConsole(unsigned codePage)
        : window(err), clock(0.001, 0.05), platform{[] { return kListed; }, [codePage] { return codePage; }} {
        platform.stateFolder.clear();
        platform.listen = false;
        platform.network = std::make_shared<testsupport::FakeCameraNetwork>();
        dlg = std::make_unique<CTarnDlg>(window, clock, platform);
        dlg->OnInitDialog();
    }
    ~ListedConsole() { dlg->OnCancel(); }
    std::ostringstream out, err;
    CliWindow window;
    Clock clock;
    ControllerPlatform platform;
    std::unique_ptr<CTarnDlg> dlg;
};

// A row with an empty Status ended in the padding of its MAC column.
TEST(CliTest, ListRowsEndWithoutTrailingSpaces) {
    ListedConsole console(437);
    CTarnDlg& dlg = *console.dlg;
    std::ostringstream& out = console.out;
    ListModel& list = dlg.Discovery().List();
    list.AppendRow(camera(1, "Lobby", {192, 168, 0, 21}, 1));
    list.AppendRow(camera(2, "Dock", {192, 168, 0, 22}, 2, true));
    list.SetStatus(Mac{2, 0xfe, 0xff, 0, 0, 2}, "Device offline!", std::nullopt);
    list.AppendRow(camera(3, "Gate", {192, 168, 0, 23}, 3, true));
    list.AppendRow(camera(4, "Caf\xE9 \xE9t\xE9", {192, 168, 0, 24}, 4));
    list.SetStatus(Mac{2, 0xfe, 0xff, 0, 0, 4}, "V1.05", std::nullopt);
    PrintDevices(dlg, Options{}, out, {});
    std::istringstream lines(out.str());
    std::vector<std::string> rows;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_TRUE(line.empty() || line.back() != ' ') << "\"" << line << "\"";
        rows.push_back(line);
    }
    ASSERT_EQ(rows.size(), 6u) << out.str();
    EXPECT_EQ(rows[0], "Idx   Name                IP               MAC                Status");
    EXPECT_EQ(rows[1], "001   Lobby               192.168.0.21     02:fe:ff:00:00:01");
    EXPECT_EQ(rows[2], "002   Dock                192.168.0.22     02:fe:ff:00:00:02  Device offline! [failed]");
    EXPECT_EQ(rows[3], "003   Gate                192.168.0.23     02:fe:ff:00:00:03  [failed]");
    EXPECT_EQ(rows[4], "004   Caf\u00E9 \u00E9t\u00E9            192.168.0.24     02:fe:ff:00:00:04  V1.05")
        << "a name takes its columns, not its bytes";
}

// The manual promised Chinese column titles and Status texts; the console spoke English only, and a
// Chinese title would have been padded by its bytes.
TEST(CliTest, TheConsoleSpeaksChineseOnAChineseSystem) {
    ListedConsole console(936);
    CTarnDlg& dlg = *console.dlg;
    std::ostringstream& out = console.out;
    const CliWindow& window = console.window;
    dlg.Discovery().List().AppendRow(camera(1, "Lobby", {192, 168, 0, 21}, 1, true));
    PrintDevices(dlg, Options{}, out, window.Translate());
    std::istringstream lines(out.str());
    std::vector<std::string> rows;
    for (std::string line; std::getline(lines, line);)
        rows.push_back(line);
    ASSERT_EQ(rows.size(), 3u) << out.str();
    EXPECT_EQ(rows[0], "索引  设备名称            设备IP           网卡MAC地址        更新状态");
    EXPECT_EQ(rows[1], "001   Lobby               192.168.0.21     02:fe:ff:00:00:01  [失败]");
    EXPECT_EQ(rows[2].find("上有 1 台设备"), rows[2].size() - std::string("上有 1 台设备").size()) << rows[2];
    const auto rebooting = Status::Of(CameraView{Phase::ResetRebooting, 54});
    ASSERT_TRUE(rebooting);
    EXPECT_EQ(window.Say(rebooting->text), "系统重启中，请等待 54 秒");
    EXPECT_EQ(window.Say(Note("Nothing was done: %1.", {Note("no camera is selected")})),
              "未做任何操作：没有选定设备。");
    // What came from the network or the system is never translated, even where it reads like a text.
    EXPECT_EQ(window.Say(Note("This job is not recorded: %1", {"Interrupted"})), "本次作业未被记录：Interrupted");
}

// A name from the network is any bytes; an event line must still be one JSON object, and only the
// notes a script has no other way to learn reach the stream.
TEST(CliTest, EventLinesAreJsonWhateverTheNamesHold) {
    std::ostringstream out;
    EventStream events(out);
    const ListRow cam = row("Cam\xff\x01", {192, 168, 0, 20}, "");
    events.Seen({cam, cam});
    events.Note(Text(), NoteKind::Job);
    events.Note(Note("%1 of %2 done, %3 failed", {"1", "2", "0"}), NoteKind::Progress);
    events.Note(Note("Nothing was done: %1.", {Note("no camera is selected")}), NoteKind::Refusal);
    events.Note(Note("Nothing was done: %1.", {"Model \xff"}), NoteKind::Refusal); // as a camera said it
    // The start-up's notes reach the stream one line each from the front end, not again from the window.
    std::ostringstream err;
    CliWindow window(err);
    window.StreamTo(&events);
    window.ShowNote(Note("At start-up: %1", {"removed the link-local route an earlier run had added on eth0"}),
                    NoteKind::StartUp);
    std::istringstream lines(out.str());
    std::vector<nlohmann::json> said;
    for (std::string line; std::getline(lines, line);)
        said.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(said.size(), 3u) << out.str();
    EXPECT_EQ(said[0]["event"], "seen");
    EXPECT_TRUE(std::regex_match(said[0]["time"].get<std::string>(),
                                 std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}Z")))
        << said[0]["time"];
    EXPECT_EQ(said[0]["name"], "Cam\u00FF\x01");
    EXPECT_EQ(said[1]["kind"], "refusal");
    EXPECT_EQ(said[1]["text"], "Nothing was done: no camera is selected.");
    EXPECT_EQ(said[2]["text"], "Nothing was done: Model \uFFFD.") << "bytes that are no UTF-8 are replaced";
}

// The README said --password-file came first while the code gave --password precedence; the one
// typed for this run wins, then the file, the environment and the default.
TEST(CliTest, TheTypedPasswordComesBeforeTheFileTheEnvironmentAndTheDefault) {
    const std::string file = testing::TempDir() + "flashwell-password";
    {
        std::ofstream out(file);
        out << "from-file\r\nsecond line\n";
    }
    unsetenv("FLASHWELL_PASSWORD");
    EXPECT_EQ(ResolvePassword(std::nullopt, "").Value(), "qnwt");
    setenv("FLASHWELL_PASSWORD", "from-environment", 1);
    EXPECT_EQ(ResolvePassword(std::nullopt, "").Value(), "from-environment");
    EXPECT_EQ(ResolvePassword(std::nullopt, file).Value(), "from-file");
    EXPECT_EQ(ResolvePassword(std::string("typed"), file).Value(), "typed");
    EXPECT_FALSE(ResolvePassword(std::nullopt, file + ".missing")) << "a named file that cannot be read";
    unsetenv("FLASHWELL_PASSWORD");
}
