#include "app/cli/Cli.h"

#include <algorithm>
#include <chrono>
#include <iomanip>
#include <sstream>
#include <thread>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "FlashwellVersion.h"
#include "app/FirmwareHeader.h"
#include "app/Language.h"
#include "app/cli/CliWindow.h"
#include "app/cli/Password.h"
#include "app/cli/StopSignals.h"
#include "util/Trace.h"
#include "util/Utf8.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailedCamera = 1;
constexpr int kExitUsage = 2;

enum class Command { Search, CheckVersion, Upgrade, Reset, AutoIp };

struct Options {
    Command command = Command::Search;
    std::string select = "all";
    std::string firmware;
    std::string range;
    std::string adapter;
    std::string user = "root";
    std::string password = "qnwt";
    std::optional<std::string> passwordOption;
    std::string passwordFile;
    bool json = false;
    bool trace = false;
    double wait = 3.0;
};

struct UsageError {
    std::string message;
};

// NAME is an interface name or a description; a plain number is a list position.
int resolveAdapter(const HostAdapterList& list, const std::string& choice) {
    if (choice.empty())
        return list.selected;
    for (std::size_t i = 0; i < list.adapters.size(); ++i)
        if (list.adapters[i].interfaceName == choice || list.adapters[i].description == choice)
            return static_cast<int>(i);
    // Digits only and short enough that no conversion can overflow.
    if (choice.size() <= 6 && choice.find_first_not_of("0123456789") == std::string::npos) {
        std::size_t position = std::stoul(choice);
        if (position < list.adapters.size())
            return static_cast<int>(position);
    }
    throw UsageError{"no network adapter \"" + choice + "\"; \"flashwell-cli adapters\" lists them"};
}

nlohmann::json adapterJson(const HostAdapter& a, int position) {
    return {{"position", position}, {"description", a.description}, {"address", a.address}};
}

// Names and descriptions are not always valid UTF-8; bad bytes become U+FFFD instead of failing.
std::string dumpJson(const nlohmann::json& j) {
    return j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string pad(const std::string& text, std::size_t width) {
    return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
}

int printAdapters(const HostAdapterList& list, const Options& o, std::ostream& out) {
    if (o.json) {
        nlohmann::json all = nlohmann::json::array();
        for (std::size_t i = 0; i < list.adapters.size(); ++i) {
            auto entry = adapterJson(list.adapters[i], static_cast<int>(i));
            entry["default"] = static_cast<int>(i) == list.selected;
            all.push_back(entry);
        }
        out << dumpJson({{"adapters", all}}) << "\n";
        return kExitOk;
    }
    out << pad("Pos", 5) << pad("Network Card", 32) << pad("Address", 17) << "Default\n";
    for (std::size_t i = 0; i < list.adapters.size(); ++i) {
        const HostAdapter& a = list.adapters[i];
        out << pad(std::to_string(i), 5) << pad(a.description, 32) << pad(a.address.empty() ? "-" : a.address, 17)
            << (static_cast<int>(i) == list.selected ? "*" : "") << "\n";
    }
    if (list.adapters.empty())
        out << "(no connected network adapter)\n";
    return kExitOk;
}

// Prints the device list and tells whether any listed camera is marked failed.
bool printDevices(CTarnDlg& dlg, const Options& o, std::ostream& out) {
    const std::vector<ListRow> rows = dlg.List().Rows();
    bool anyFailed = false;
    for (const ListRow& row : rows)
        anyFailed = anyFailed || row.failed;
    if (o.json) {
        nlohmann::json devices = nlohmann::json::array();
        for (std::size_t r = 0; r < rows.size(); ++r)
            devices.push_back({{"idx", rows[r][0]},
                               {"name", rows[r][1]},
                               {"ip", rows[r][2]},
                               {"mac", rows[r][3]},
                               {"status", rows[r][4]},
                               {"failed", rows[r].failed}});
        nlohmann::json adapter = nullptr;
        if (const HostAdapter* a = dlg.ChosenAdapter())
            adapter = adapterJson(*a, dlg.AdapterIndex());
        out << dumpJson({{"adapter", adapter}, {"devices", devices}}) << "\n";
        return anyFailed;
    }
    static const std::size_t widths[] = {6, 20, 17, 19, 0};
    for (int c = 0; c < kColumnCount; ++c)
        out << (c < 4 ? pad(ColumnTitle(c, dlg.CodePage()), widths[c]) : ColumnTitle(c, dlg.CodePage()));
    out << "\n";
    // Names and the rest came from the network: no control character reaches the terminal.
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < 4; ++c)
            out << pad(Printable(rows[r][static_cast<std::size_t>(c)]), widths[c]);
        out << Printable(rows[r][4]) << (rows[r].failed ? (rows[r][4].empty() ? "[failed]" : " [failed]") : "") << "\n";
    }
    out << rows.size() << (rows.size() == 1 ? " camera" : " cameras") << " on "
        << (dlg.ChosenAdapter() ? dlg.ChosenAdapter()->description : std::string("no adapter")) << "\n";
    return anyFailed;
}

// "all", or MAC addresses and row numbers separated by commas.
std::vector<int> resolveSelection(CTarnDlg& dlg, const std::string& select) {
    auto rows = dlg.List().Rows();
    std::vector<int> chosen;
    if (select == "all") {
        for (std::size_t r = 0; r < rows.size(); ++r)
            chosen.push_back(static_cast<int>(r));
        return chosen;
    }
    std::stringstream list(select);
    std::string item;
    while (std::getline(list, item, ',')) {
        int found = -1;
        Mac mac;
        if (ParseMac(item, mac)) {
            for (std::size_t r = 0; r < rows.size(); ++r)
                if (rows[r][3] == FormatMac(mac))
                    found = static_cast<int>(r);
        } else if (!item.empty() && item.size() <= 6 && item.find_first_not_of("0123456789") == std::string::npos) {
            std::size_t r = std::stoul(item);
            if (r < rows.size())
                found = static_cast<int>(r);
        }
        if (found < 0)
            throw UsageError{"no camera \"" + item + "\" in the list (give MAC addresses or row numbers)"};
        chosen.push_back(found);
    }
    std::sort(chosen.begin(), chosen.end());
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
    return chosen;
}

void applyRange(CliWindow& window, const std::string& range) {
    if (range.empty())
        return;
    auto dash = range.find('-');
    auto number = [](const std::string& t) {
        return !t.empty() && t.size() <= 9 && t.find_first_not_of("0123456789") == std::string::npos;
    };
    if (dash == std::string::npos || !number(range.substr(0, dash)) || !number(range.substr(dash + 1)))
        throw UsageError{"--range takes START-END, two whole numbers, for example 31-250"};
    window.SetFieldText(Field::RangeStart, range.substr(0, dash));
    window.SetFieldText(Field::RangeEnd, range.substr(dash + 1));
}

// Waits for seconds to pass; false when a stop signal came first.
bool pause(double seconds) {
    for (auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
         std::chrono::steady_clock::now() < end;) {
        if (StopSignal() != 0)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return StopSignal() == 0;
}

// Waits for the job's threads; false when a stop signal came first.
bool waitForWorkflow(CTarnDlg& dlg) {
    while (dlg.WorkflowRunning() && StopSignal() == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (StopSignal() != 0)
        return false;
    dlg.JoinWorkers(true);
    return true;
}

// A stop signal: the cameras that can hear it are sent home and the rest journalled (closing does
// both), then the list says where each camera's job stood.
int stopped(CTarnDlg& dlg, const Options& o, std::ostream& out, std::ostream& err) {
    const int signal = StopSignal();
    err << "flashwell-cli: stopped by signal " << signal << "\n";
    dlg.StopWorkflows();
    printDevices(dlg, o, out);
    dlg.OnCancel();
    return 128 + signal;
}

int runCommand(const Options& o, const CTarnDlg::Platform& platform, std::ostream& out, std::ostream& err) {
    HostAdapterList list =
        EnumerateHostAdapters(platform.readAdapters ? platform.readAdapters() : ReadSystemAdapters());
    int choice = resolveAdapter(list, o.adapter);
    if (choice < 0)
        throw UsageError{"no connected network adapter to search on"};
    if (list.adapters[static_cast<std::size_t>(choice)].address.empty())
        throw UsageError{"network adapter \"" + list.adapters[static_cast<std::size_t>(choice)].description +
                         "\" has no IPv4 address"};
    if (o.command == Command::Upgrade && !ReadFirmwareHeader(o.firmware))
        throw UsageError{"cannot read the firmware file \"" + o.firmware + "\""};

    CliWindow window(err);
    Clock clock(Clock::ScaleFromEnvironment());
    CTarnDlg dlg(window, clock, platform);
    dlg.OnInitDialog(choice);
    for (const std::string& line : dlg.Replayed())
        err << "flashwell-cli: " << line << "\n";
    window.SetFieldText(Field::User, o.user);
    window.SetFieldText(Field::Password, o.password);
    applyRange(window, o.range);
    if (!dlg.ReceiverRunning())
        throw UsageError{"cannot receive camera replies: " + dlg.ReceiverError()};
    // Replies keep arriving after the requests; the wait is the collection window.
    if (!pause(o.wait))
        return stopped(dlg, o, out, err);
    if (o.command != Command::Search) {
        window.Select(resolveSelection(dlg, o.select));
        if (o.command != Command::CheckVersion && window.SelectedRows().empty())
            throw UsageError{dlg.List().GetItemCount() == 0 ? "nothing to work on: no camera answered the search"
                                                            : "nothing to work on: no camera is selected"};
        switch (o.command) {
        case Command::CheckVersion:
            dlg.OnCheckVersion();
            break;
        case Command::Upgrade:
            dlg.OnBrowseFile(o.firmware);
            dlg.OnStartUpgrade();
            break;
        case Command::Reset:
            dlg.OnResetDefault();
            break;
        case Command::AutoIp:
            dlg.OnAutoChangeIp();
            break;
        case Command::Search:
            break;
        }
        if (!waitForWorkflow(dlg))
            return stopped(dlg, o, out, err);
        if (std::string why = dlg.LastRefusal(); !why.empty())
            throw UsageError{why};
        // Re-addressing ends with a Search: collect its replies as well.
        if (o.command == Command::AutoIp && !pause(o.wait))
            return stopped(dlg, o, out, err);
    }
    bool anyFailed = printDevices(dlg, o, out);
    dlg.OnCancel();
    return anyFailed ? kExitFailedCamera : kExitOk;
}

} // namespace

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
           const CTarnDlg::Platform& platform) {
    Options o;
    CLI::App app{"Flashwell: find network cameras on one LAN segment and bring them to a chosen firmware.",
                 "flashwell-cli"};
    app.require_subcommand(1);
    // Global options may stand after the command too ("search --json"), as people type them.
    app.fallthrough();
    app.set_version_flag("--version", std::string("flashwell-cli ") + kFlashwellVersion);
    app.add_option("--adapter", o.adapter, "Network card: interface name, description or list position");
    app.add_option("--user", o.user, "Camera login name")->capture_default_str();
    app.add_option("--password", o.passwordOption,
                   "Camera login password; - asks for it without echo (default: FLASHWELL_PASSWORD, else qnwt)");
    app.add_option("--password-file", o.passwordFile, "Read the camera login password from the first line of FILE");
    app.add_flag("--json", o.json, "Print one JSON object instead of a table");
    app.add_flag("--trace", o.trace, "Write diagnostic trace lines to standard error");
    auto* adapters = app.add_subcommand("adapters", "List the network cards and the default choice");
    auto addWait = [&](CLI::App* sub) {
        sub->add_option("--wait", o.wait, "Seconds to collect search replies")
            ->capture_default_str()
            ->check(CLI::Range(0.0, 3600.0));
    };
    auto addSelect = [&](CLI::App* sub) {
        sub->add_option("--select", o.select, "all, or MAC addresses and row numbers separated by commas")
            ->capture_default_str();
    };
    auto* search = app.add_subcommand("search", "Search the chosen network card for cameras and list them");
    addWait(search);
    auto* check = app.add_subcommand("check-version", "Search, then ask every listed camera for its firmware version");
    addWait(check);
    check->add_option("--select", o.select, "Ignored: the check asks every listed camera, as the window does");
    auto* upgrade = app.add_subcommand("upgrade", "Search, then flash the selected cameras with a firmware image");
    upgrade->add_option("FIRMWARE", o.firmware, "Firmware image file")->required();
    addWait(upgrade);
    addSelect(upgrade);
    auto* reset = app.add_subcommand("reset", "Search, then reset the selected cameras to factory defaults");
    addWait(reset);
    addSelect(reset);
    auto* autoIp = app.add_subcommand("auto-ip", "Search, then give cameras at 192.168.0.20 addresses of their own");
    autoIp->add_option("--range", o.range, "Host numbers START-END (default 31-250)");
    addWait(autoIp);
    addSelect(autoIp);
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) { // --help or --version
        return app.exit(e, out, err);
    } catch (const CLI::ParseError& e) {
        app.exit(e, out, err);
        return kExitUsage;
    }
    SetTraceStream(o.trace ? stderr : nullptr);
    try {
        std::string why;
        auto password = ResolvePassword(o.passwordOption, o.passwordFile, why);
        if (!password)
            throw UsageError{why};
        o.password = *password;
        if (adapters->parsed())
            return printAdapters(
                EnumerateHostAdapters(platform.readAdapters ? platform.readAdapters() : ReadSystemAdapters()), o, out);
        const std::pair<CLI::App*, Command> commands[] = {{search, Command::Search},
                                                          {check, Command::CheckVersion},
                                                          {upgrade, Command::Upgrade},
                                                          {reset, Command::Reset},
                                                          {autoIp, Command::AutoIp}};
        for (auto [sub, command] : commands) {
            if (sub->parsed()) {
                o.command = command;
                return runCommand(o, platform, out, err);
            }
        }
    } catch (const UsageError& e) {
        err << "flashwell-cli: " << e.message << "\n";
        return kExitUsage;
    }
    return kExitUsage;
}
