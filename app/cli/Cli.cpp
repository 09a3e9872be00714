#include "app/cli/Cli.h"

#include <chrono>
#include <iomanip>
#include <sstream>
#include <thread>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "app/Language.h"
#include "app/cli/CliWindow.h"
#include "util/Trace.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailedCamera = 1;
constexpr int kExitUsage = 2;

struct Options {
    std::string adapter;
    std::string user = "root";
    std::string password = "qnwt";
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
    auto rows = dlg.List().Rows();
    bool anyFailed = false;
    std::vector<bool> failed;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        failed.push_back(dlg.IsFailed(static_cast<int>(r)));
        anyFailed = anyFailed || failed.back();
    }
    if (o.json) {
        nlohmann::json devices = nlohmann::json::array();
        for (std::size_t r = 0; r < rows.size(); ++r)
            devices.push_back({{"idx", rows[r][0]},
                               {"name", rows[r][1]},
                               {"ip", rows[r][2]},
                               {"mac", rows[r][3]},
                               {"status", rows[r][4]},
                               {"failed", static_cast<bool>(failed[r])}});
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
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < 4; ++c)
            out << pad(rows[r][static_cast<std::size_t>(c)], widths[c]);
        out << rows[r][4] << (failed[r] ? (rows[r][4].empty() ? "[failed]" : " [failed]") : "") << "\n";
    }
    out << rows.size() << (rows.size() == 1 ? " camera" : " cameras") << " on "
        << (dlg.ChosenAdapter() ? dlg.ChosenAdapter()->description : std::string("no adapter")) << "\n";
    return anyFailed;
}

int runSearch(const Options& o, const CTarnDlg::Platform& platform, std::ostream& out, std::ostream& err) {
    HostAdapterList list =
        EnumerateHostAdapters(platform.readAdapters ? platform.readAdapters() : ReadSystemAdapters());
    int choice = resolveAdapter(list, o.adapter);
    if (choice < 0)
        throw UsageError{"no connected network adapter to search on"};
    if (list.adapters[static_cast<std::size_t>(choice)].address.empty())
        throw UsageError{"network adapter \"" + list.adapters[static_cast<std::size_t>(choice)].description +
                         "\" has no IPv4 address"};

    CliWindow window(err);
    Clock clock(Clock::ScaleFromEnvironment());
    CTarnDlg dlg(window, clock, platform);
    dlg.OnInitDialog(choice);
    window.SetFieldText(Field::User, o.user);
    window.SetFieldText(Field::Password, o.password);
    if (!dlg.ReceiverRunning())
        throw UsageError{"cannot receive camera replies: " + dlg.ReceiverError()};
    // Replies keep arriving after the requests; the wait is the collection window.
    std::this_thread::sleep_for(std::chrono::duration<double>(o.wait));
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
    app.add_option("--adapter", o.adapter, "Network card: interface name, description or list position");
    app.add_option("--user", o.user, "Camera login name")->capture_default_str();
    app.add_option("--password", o.password, "Camera login password")->capture_default_str();
    app.add_flag("--json", o.json, "Print one JSON object instead of a table");
    app.add_flag("--trace", o.trace, "Write diagnostic trace lines to standard error");
    auto* adapters = app.add_subcommand("adapters", "List the network cards and the default choice");
    auto* search = app.add_subcommand("search", "Search the chosen network card for cameras and list them");
    search->add_option("--wait", o.wait, "Seconds to collect replies")
        ->capture_default_str()
        ->check(CLI::Range(0.0, 3600.0));
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::ParseError& e) {
        app.exit(e, out, err);
        return kExitUsage;
    }
    SetTraceStream(o.trace ? stderr : nullptr);
    try {
        if (adapters->parsed())
            return printAdapters(
                EnumerateHostAdapters(platform.readAdapters ? platform.readAdapters() : ReadSystemAdapters()), o, out);
        if (search->parsed())
            return runSearch(o, platform, out, err);
    } catch (const UsageError& e) {
        err << "flashwell-cli: " << e.message << "\n";
        return kExitUsage;
    }
    return kExitUsage;
}
