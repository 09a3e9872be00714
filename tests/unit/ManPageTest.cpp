// The manual page of flashwell-cli: help2man sees only the top-level --help, so every command and every
// option a command's --help lists must be written into res/man/flashwell-cli.h2m by hand.
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/cli/Cli.h"

namespace {

// --help never reaches the network; no adapter is handed out all the same.
std::string help(std::vector<const char*> args) {
    args.insert(args.begin(), "flashwell-cli");
    args.push_back("--help");
    std::ostringstream out, err;
    ControllerPlatform platform{[] { return std::vector<AdapterData>{}; }, [] { return 437u; }};
    EXPECT_EQ(RunCli(static_cast<int>(args.size()), args.data(), out, err, platform), 0) << err.str();
    return out.str();
}

// The include file as a reader sees it: roff's escaped hyphens and font changes removed.
std::string manualText() {
    std::ifstream file(FLASHWELL_CLI_MAN_INCLUDE);
    std::stringstream roff;
    roff << file.rdbuf();
    std::string text = std::regex_replace(roff.str(), std::regex(R"(\\f[BIRP])"), "");
    return std::regex_replace(text, std::regex(R"(\\-)"), "-");
}

std::set<std::string> options(const std::string& text) {
    static const std::regex option(R"(--[a-z][a-z-]*)");
    std::set<std::string> names;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it)
        names.insert(it->str());
    return names;
}

// An entry of its own: the term starts a line (the .TP tag), so a mention in an example does not count.
bool hasEntry(const std::string& manual, const std::string& term) {
    for (auto at = manual.find("\n" + term); at != std::string::npos; at = manual.find("\n" + term, at + 1)) {
        const char next = manual[at + 1 + term.size()];
        if (next == ' ' || next == '\n')
            return true;
    }
    return false;
}

std::vector<std::string> subcommands(const std::string& topHelp) {
    std::vector<std::string> names;
    std::istringstream lines(topHelp.substr(topHelp.find("Subcommands:")));
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line) && line.starts_with("  "))
        names.push_back(line.substr(2, line.find(' ', 2) - 2));
    return names;
}

} // namespace

TEST(ManPageTest, EveryCommandAndItsOptionsAreDocumented) {
    const std::string manual = manualText();
    ASSERT_NE(manual.find("[COMMANDS]"), std::string::npos) << "cannot read " << FLASHWELL_CLI_MAN_INCLUDE;
    const std::vector<std::string> commands = subcommands(help({}));
    ASSERT_GE(commands.size(), 6u) << help({});
    for (const std::string& command : commands) {
        EXPECT_TRUE(hasEntry(manual, command)) << "command \"" << command << "\" is not in the page";
        for (const std::string& name : options(help({command.c_str()})))
            EXPECT_TRUE(name == "--help" || hasEntry(manual, name))
                << "option " << name << " of \"" << command << "\" is not in the page";
    }
}
