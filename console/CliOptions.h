#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "app/TarnDlg.h"

// What the console front end was asked to do, after parsing.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailedCamera = 1;
inline constexpr int kExitUsage = 2;

struct Options {
    std::optional<Workflow> workflow; // none: a search alone
    std::string select;               // empty: not given
    bool selectGiven = false;
    std::string firmware;
    std::string range;
    std::string adapter;
    std::string user = "root";
    std::string password = "qnwt";
    std::optional<std::string> passwordOption;
    std::string passwordFile;
    bool loginGiven = false; // --user, or a password from any source but the default
    bool json = false;
    bool trace = false;
    bool progress = false;
    bool events = false; // one JSON object a line on standard output as things happen
    bool dryRun = false;
    bool allowModelMismatch = false;
    bool skipCurrent = false;
    std::size_t parallel = 0;   // 0: the workflow's own way
    std::size_t canary = 0;     // 0: no first wave
    double rebootTimeout = 240; // seconds after the reboot countdown
    std::string report;         // FILE.json or FILE.csv
    double wait = 3.0;
};

// Bad usage or set-up: the message goes to standard error and the exit status is 2.
struct UsageError {
    std::string message; // empty when the reason was printed already
};

// A MAC address as given on the command line: colons or dashes, either case.
bool ParseMacArgument(const std::string& text, Mac& mac);
std::string TrimSpaces(const std::string& text);

// Runs a parsed command against the network; the exit status.
int RunCommand(const Options& o, const CTarnDlg::Platform& platform, std::ostream& out, std::ostream& err);
