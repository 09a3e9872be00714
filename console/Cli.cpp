#include "console/Cli.h"

#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <sstream>

#include <CLI/CLI.hpp>

#include "FlashwellVersion.h"
#include "console/CliHelp.h"
#include "console/CliJournal.h"
#include "console/CliOptions.h"
#include "console/CliOutput.h"
#include "console/Password.h"
#include "util/Trace.h"

bool ParseMacArgument(const std::string& text, Mac& mac) {
    // As a technician copies it: from a label with dashes, or from another tool in capitals.
    std::string colons = text;
    if (colons.size() == 17 && colons[2] == '-')
        for (std::size_t i = 2; i < colons.size(); i += 3)
            colons[i] = colons[i] == '-' ? ':' : '!';
    return ParseMac(colons, mac);
}

std::string TrimSpaces(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

namespace {

bool wholeNumber(const std::string& t) {
    return !t.empty() && t.size() <= 9 && t.find_first_not_of("0123456789") == std::string::npos;
}

// A row number in --select: what the order of the replies made it, which changes from one search
// to the next, so it cannot name the camera that a flash or a reset must reach.
bool namesARow(const std::string& select) {
    std::stringstream list(select);
    for (std::string item; std::getline(list, item, ',');)
        if (item.find_first_not_of(' ') != std::string::npos &&
            item.find_first_not_of(" 0123456789") == std::string::npos)
            return true;
    return false;
}

// Checks what the parser cannot: the range's shape, the report's name and, for the commands that
// cannot be undone, that the cameras were named, by MAC address.
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
        if (start == end)
            throw UsageError{"--range " + o.range + " can hand out no address: its END is never handed out"};
    }
    if (!o.report.empty() && !ReportNameValid(o.report))
        throw UsageError{"--report takes a file name ending in .json or .csv"};
    const bool irreversible = o.workflow == Workflow::Upgrade || o.workflow == Workflow::Reset;
    const std::string command = o.workflow == Workflow::Upgrade ? "upgrade" : "reset";
    if (irreversible && !o.selectGiven)
        throw UsageError{command + " needs --select (use --select all for every listed camera)"};
    // An empty list (an unset shell variable) must never stand for every camera.
    if (o.selectGiven && o.select.find_first_not_of(" ,") == std::string::npos)
        throw UsageError{"--select is empty: give all, or MAC addresses separated by commas"};
    // A typo is refused before anything is sent, not after a search that found every camera.
    if (o.selectGiven && o.select != "all" && o.select != "failed") {
        std::stringstream list(o.select);
        for (std::string item; std::getline(list, item, ',');) {
            Mac mac{};
            const std::string trimmed = TrimSpaces(item);
            if (!trimmed.empty() && !ParseMacArgument(trimmed, mac) && !wholeNumber(trimmed))
                throw UsageError{"--select: \"" + trimmed +
                                 "\" is neither a MAC address (00:1a:2b:3c:4d:5e or 00-1A-2B-3C-4D-5E) nor a row "
                                 "number"};
        }
    }
    if (irreversible && namesARow(o.select))
        throw UsageError{command + " takes MAC addresses or all in --select, not row numbers: a row number follows "
                                   "the order in which the cameras replied, which changes from one search to the next"};
}

// FLASHWELL_TRACE=1 asks for the trace lines as --trace does, for a run started by a script or a launcher.
bool traceFromEnvironment() {
    const char* value = std::getenv("FLASHWELL_TRACE");
    return value && std::string(value) == "1";
}

} // namespace

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
           const CTarnDlg::Platform& platform) {
    Options o;
    CLI::App app{"Find network cameras on one LAN segment by UDP broadcast and bring them to a chosen firmware.",
                 "flashwell-cli"};
    auto help = std::make_shared<CliHelp>();
    help->column_width(32);
    help->label("Positionals", "Arguments");
    app.formatter(help);
    app.footer("Run \"flashwell-cli COMMAND --help\" for the options of one command.");
    app.require_subcommand(1);
    // Global options may stand after the command too ("search --json"), as people type them.
    app.fallthrough();
    app.set_help_flag("-h,--help", "display this help and exit");
    app.set_version_flag("--version", std::string("flashwell-cli ") + kFlashwellVersion,
                         "output version information and exit");
    help->Describe(app.add_option("--adapter", o.adapter,
                                  "network card: interface name, description or position in the list of "
                                  "\"adapters\""),
                   "NAME|POSITION", "the first card with an IPv4 address");
    CLI::Option* user = app.add_option("--user", o.user,
                                       "camera login name. Without --user and a password, the login stored by the "
                                       "window's \"Set Login...\" (the keyring) is used where there is one");
    help->Describe(user, "NAME", o.user);
    help->Describe(app.add_option("--password", o.passwordOption,
                                  "camera login password; - asks for it on the terminal without echo. Comes "
                                  "before --password-file, FLASHWELL_PASSWORD and the default qnwt"),
                   "PASSWORD|-");
    help->Describe(
        app.add_option("--password-file", o.passwordFile, "read the camera login password from the first line of FILE"),
        "FILE");
    app.add_flag("--json", o.json, "print one JSON object instead of a table");
    app.add_flag("--trace", o.trace, "write diagnostic trace lines to standard error (also FLASHWELL_TRACE=1)");
    app.add_flag("--progress", o.progress,
                 "when standard error is not a terminal, print one line per Status change there");
    app.add_flag("--events", o.events,
                 "write one JSON object a line to standard output as things happen (cameras seen, phases, "
                 "outcomes, notes, the job's end); the closing list is the last line, as --json prints it");

    auto command = [&](const char* name, const char* what) {
        CLI::App* sub = app.add_subcommand(name, what);
        sub->group("Commands");
        sub->footer("");
        return sub;
    };
    auto addWait = [&](CLI::App* sub) {
        help->Describe(sub->add_option("--wait", o.wait, "collect search replies for SECONDS, 0 to 3600")
                           ->check(CLI::Range(0.0, 3600.0)),
                       "SECONDS", "3");
    };
    auto addReport = [&](CLI::App* sub) {
        help->Describe(sub->add_option("--report", o.report,
                                       "also write this run's job records to the file, as "
                                       "JSON or CSV by its ending"),
                       "FILE.json|FILE.csv");
    };
    // Cameras that a flash or a reset reaches are named by MAC: a row number moves between searches.
    auto addSelectByMac = [&](CLI::App* sub) {
        help->Needed(help->Describe(
            sub->add_option("--select", o.select,
                            "required: all, MAC addresses separated by commas, or failed for the cameras that ended "
                            "failed in the newest job of this command on this card"),
            "all|failed|MAC,..."));
    };
    auto addParallel = [&](CLI::App* sub, const std::string& what, const std::string& fallback) {
        help->Describe(
            sub->add_option("--parallel", o.parallel, what)->check(CLI::Range(std::size_t{1}, JobOptions::kMostAtOnce)),
            "N", fallback);
    };
    auto addRebootTimeout = [&](CLI::App* sub) {
        help->Describe(sub->add_option("--reboot-timeout", o.rebootTimeout,
                                       "after the reboot countdown, keep asking a silent camera this long before it "
                                       "is \"No answer after the reboot\"; scaled by FLASHWELL_TIME_SCALE")
                           ->check(CLI::Range(0.0, 86400.0)),
                       "SECONDS", "240");
    };
    auto addSelect = [&](CLI::App* sub, const std::string& what, const std::string& fallback) {
        help->Describe(sub->add_option("--select", o.select, what), "all|MAC,ROW,...", fallback);
    };

    auto* adapters = command("adapters", "list the network cards and the default choice");
    auto* search = command("search", "search the chosen network card for cameras and list them");
    addWait(search);
    auto* check = command("check-version", "search, then ask every listed camera for its firmware version");
    addWait(check);
    addSelect(check, "ask only these cameras: all, MAC addresses and row numbers separated by commas",
              "every listed camera, as the window does");
    addParallel(check, "ask N cameras at once, so that dead cameras cost their time-outs together",
                "one after another");
    addReport(check);
    auto* upgrade = command("upgrade", "search, then flash the selected cameras with a firmware image");
    upgrade->add_option("FIRMWARE", o.firmware, "firmware image file")->required();
    addWait(upgrade);
    addSelectByMac(upgrade);
    upgrade->add_flag("--dry-run", o.dryRun,
                      "ask the selected cameras for model and version and print what the upgrade would do; nothing "
                      "is uploaded. A camera that answers only at a link-local address is moved there to be asked, "
                      "then sent back");
    upgrade->add_flag("--allow-model-mismatch", o.allowModelMismatch,
                      "also flash cameras whose model differs from the image's model");
    upgrade->add_flag("--skip-current", o.skipCurrent,
                      "leave a camera that already runs the image's version as it is: it ends \"Already at\" its "
                      "version, and a dry run plans it as current");
    help->Describe(upgrade
                       ->add_option("--canary", o.canary,
                                    "the first N selected cameras in list order are a first wave: the rest get "
                                    "the image only when every one of them ended UPGRADE SUCCESSFUL or \"Already at\" "
                                    "the image's version (it runs that image already); otherwise they end \"Not "
                                    "flashed: the first wave failed\" and the note names the cameras that held it")
                       ->check(CLI::Range(std::size_t{1}, JobOptions::kMostAtOnce)),
                   "N");
    addParallel(upgrade, "at most N cameras uploading at once, the others waiting in list order", "all at once");
    addRebootTimeout(upgrade);
    addReport(upgrade);
    auto* reset = command("reset", "search, then reset the selected cameras to factory defaults");
    addWait(reset);
    addSelectByMac(reset);
    addRebootTimeout(reset);
    addReport(reset);
    auto* autoIp = command("auto-ip", "search, then give cameras at 192.168.0.20 addresses of their own");
    help->Describe(autoIp->add_option("--range", o.range,
                                      "host numbers the new addresses are taken from, in turn; END itself is never "
                                      "handed out"),
                   "START-END", "31-250");
    addWait(autoIp);
    addSelect(autoIp, "all, MAC addresses and row numbers separated by commas, or failed (as for upgrade)", "all");
    addReport(autoIp);
    JournalCommand journalCommand;
    auto* journal = command("journal", "list the cameras an earlier job left away from home, with where they are, "
                                       "where home is and since when; nothing is sent");
    auto* forget = journal->add_subcommand("forget", "forget a camera of the journal (one that left the bench), "
                                                     "after a question; the next starts no longer send it home");
    forget->add_option("WHICH", journalCommand.which, "a MAC address, or all")->required();
    forget->add_flag("--yes", journalCommand.yes, "forget without asking");
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) { // --help or --version
        return app.exit(e, out, err);
    } catch (const CLI::ParseError& e) {
        app.exit(e, out, err);
        return kExitUsage;
    }
    SetTraceStream(o.trace || traceFromEnvironment() ? stderr : nullptr);
    try {
        if (o.events && (journal->parsed() || adapters->parsed()))
            throw UsageError{"--events goes with search and the workflow commands"};
        if (journal->parsed()) {
            journalCommand.folder = platform.stateFolder;
            journalCommand.forget = forget->parsed();
            journalCommand.json = o.json;
            return RunJournal(journalCommand, std::cin, ::isatty(STDIN_FILENO) != 0, out, err);
        }
        if (adapters->parsed())
            return PrintAdapters(
                EnumerateHostAdapters(platform.readAdapters ? platform.readAdapters() : ReadSystemAdapters()), o, out);
        const std::pair<CLI::App*, std::optional<Workflow>> commands[] = {{search, std::nullopt},
                                                                          {check, Workflow::CheckVersion},
                                                                          {upgrade, Workflow::Upgrade},
                                                                          {reset, Workflow::Reset},
                                                                          {autoIp, Workflow::AutoIp}};
        for (auto [sub, chosen] : commands) {
            if (!sub->parsed())
                continue;
            o.workflow = chosen;
            const CLI::Option* select = sub->get_option_no_throw("--select");
            o.selectGiven = select != nullptr && select->count() > 0;
            checkOptions(o);
            auto password = ResolvePassword(o.passwordOption, o.passwordFile);
            if (!password)
                throw UsageError{password.Message()};
            o.password = password.Value();
            o.loginGiven = user->count() > 0 || o.passwordOption || !o.passwordFile.empty() ||
                           std::getenv("FLASHWELL_PASSWORD") != nullptr;
            return RunCommand(o, platform, out, err);
        }
    } catch (const UsageError& e) {
        if (!e.message.empty())
            err << "flashwell-cli: " << e.message << "\n";
        return kExitUsage;
    }
    return kExitUsage;
}
