#include "app/cli/Cli.h"

#include <CLI/CLI.hpp>

#include "FlashwellVersion.h"
#include "app/cli/CliOptions.h"
#include "app/cli/CliOutput.h"
#include "app/cli/Password.h"
#include "util/Trace.h"

namespace {

bool wholeNumber(const std::string& t) {
    return !t.empty() && t.size() <= 9 && t.find_first_not_of("0123456789") == std::string::npos;
}

// Checks what the parser cannot: the range's shape, the report's name and, for the commands that
// cannot be undone, that the cameras were named.
void checkOptions(const Options& o) {
    if (!o.range.empty()) {
        auto dash = o.range.find('-');
        if (dash == std::string::npos || !wholeNumber(o.range.substr(0, dash)) ||
            !wholeNumber(o.range.substr(dash + 1)))
            throw UsageError{"--range takes START-END, two whole numbers, for example 31-250"};
        // Host numbers of a /24 only: never its network (.0) or broadcast (.255) address.
        const long start = std::stol(o.range.substr(0, dash)), end = std::stol(o.range.substr(dash + 1));
        if (start < 1 || end > 254 || start > end)
            throw UsageError{"--range takes host numbers from 1 to 254, START not after END, for example 31-250"};
    }
    if (!o.report.empty() && !ReportNameValid(o.report))
        throw UsageError{"--report takes a file name ending in .json or .csv"};
    if ((o.command == Command::Upgrade || o.command == Command::Reset) && !o.selectGiven)
        throw UsageError{std::string(o.command == Command::Upgrade ? "upgrade" : "reset") +
                         " needs --select (use --select all for every listed camera)"};
    // An empty list (an unset shell variable) must never stand for every camera.
    if (o.selectGiven && o.select.find_first_not_of(" ,") == std::string::npos)
        throw UsageError{"--select is empty: give all, or MAC addresses and row numbers separated by commas"};
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
    app.add_flag("--progress", o.progress,
                 "When standard error is not a terminal, print one line per Status change there");
    auto* adapters = app.add_subcommand("adapters", "List the network cards and the default choice");
    auto addWait = [&](CLI::App* sub) {
        sub->add_option("--wait", o.wait, "Seconds to collect search replies")
            ->capture_default_str()
            ->check(CLI::Range(0.0, 3600.0));
    };
    auto addSelect = [&](CLI::App* sub, const std::string& help) { sub->add_option("--select", o.select, help); };
    auto addReport = [&](CLI::App* sub) {
        sub->add_option("--report", o.report, "Also write this run's job records to FILE.json or FILE.csv");
    };
    auto* search = app.add_subcommand("search", "Search the chosen network card for cameras and list them");
    addWait(search);
    auto* check = app.add_subcommand("check-version", "Search, then ask every listed camera for its firmware version");
    addWait(check);
    addSelect(check, "Ignored: the check asks every listed camera, as the window does");
    addReport(check);
    auto* upgrade = app.add_subcommand("upgrade", "Search, then flash the selected cameras with a firmware image");
    upgrade->add_option("FIRMWARE", o.firmware, "Firmware image file")->required();
    addWait(upgrade);
    addSelect(upgrade, "Required: all, or MAC addresses and row numbers separated by commas");
    upgrade->add_flag("--dry-run", o.dryRun,
                      "Query the selected cameras and print what the upgrade would do; send nothing");
    upgrade->add_flag("--allow-model-mismatch", o.allowModelMismatch,
                      "Flash cameras whose model differs from the image's model");
    addReport(upgrade);
    auto* reset = app.add_subcommand("reset", "Search, then reset the selected cameras to factory defaults");
    addWait(reset);
    addSelect(reset, "Required: all, or MAC addresses and row numbers separated by commas");
    addReport(reset);
    auto* autoIp = app.add_subcommand("auto-ip", "Search, then give cameras at 192.168.0.20 addresses of their own");
    autoIp->add_option("--range", o.range, "Host numbers START-END (default 31-250)");
    addWait(autoIp);
    addSelect(autoIp, "all (default), or MAC addresses and row numbers separated by commas");
    addReport(autoIp);
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
        if (adapters->parsed())
            return PrintAdapters(
                EnumerateHostAdapters(platform.readAdapters ? platform.readAdapters() : ReadSystemAdapters()), o, out);
        const std::pair<CLI::App*, Command> commands[] = {{search, Command::Search},
                                                          {check, Command::CheckVersion},
                                                          {upgrade, Command::Upgrade},
                                                          {reset, Command::Reset},
                                                          {autoIp, Command::AutoIp}};
        for (auto [sub, command] : commands) {
            if (!sub->parsed())
                continue;
            o.command = command;
            const CLI::Option* select = sub->get_option_no_throw("--select");
            o.selectGiven = select != nullptr && select->count() > 0;
            checkOptions(o);
            auto password = ResolvePassword(o.passwordOption, o.passwordFile);
            if (!password)
                throw UsageError{password.Message()};
            o.password = password.Value();
            return RunCommand(o, platform, out, err);
        }
    } catch (const UsageError& e) {
        err << "flashwell-cli: " << e.message << "\n";
        return kExitUsage;
    }
    return kExitUsage;
}
