// The manual page of flashwell-cli: help2man sees only the top-level --help, so every command and every
// option a command's --help lists must be written into res/man/flashwell-cli.h2m by hand.
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "console/Cli.h"

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
std::string manualText(const char* path = FLASHWELL_CLI_MAN_INCLUDE) {
    std::ifstream file(path);
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
    std::istringstream lines(topHelp.substr(topHelp.find("Commands:")));
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

// The help said "--password-file TEXT" and "--wait FLOAT:FLOAT in [0 - 3600]=3", and the manual's
// SYNOPSIS had only "flashwell-cli [OPTIONS] SUBCOMMAND".
TEST(ManPageTest, HelpReadsLikeADebianTools) {
    const std::string top = help({});
    std::vector<std::string> forms;
    std::istringstream usage(top);
    for (std::string line; std::getline(usage, line) && !line.empty();)
        forms.push_back(line.substr(line.find("flashwell-cli")));
    ASSERT_TRUE(top.starts_with("Usage: flashwell-cli [OPTIONS] ")) << top;
    const std::vector<std::string> commands = subcommands(top);
    ASSERT_EQ(forms.size(), commands.size()) << "one Usage or \"or:\" line for each command:\n" << top;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const std::string own = help({commands[i].c_str()});
        EXPECT_TRUE(forms[i].starts_with("flashwell-cli [OPTIONS] " + commands[i])) << forms[i];
        EXPECT_TRUE(own.starts_with("Usage: " + forms[i] + "\n")) << own;
        for (const std::string& name : options(own.substr(own.find("Options:"))))
            EXPECT_TRUE(name == "--help" || forms[i].find(name + " ") != std::string::npos ||
                        forms[i].find(name + "]") != std::string::npos)
                << name << " is not in the form of " << commands[i] << ": " << forms[i];
    }
    EXPECT_NE(forms[3].find(" --select all|failed|MAC,... "), std::string::npos)
        << "upgrade needs --select: " << forms[3];

    // Every option says what it takes, in words, and its default, never the parser's type names.
    static const std::regex parserWords(R"(\b(TEXT|FLOAT|INT|UINT|REQUIRED)\b|\]=|=root|in \[)");
    for (const std::string& command : std::vector<std::string>{"", "search", "upgrade", "auto-ip"}) {
        const std::string text = command.empty() ? top : help({command.c_str()});
        EXPECT_FALSE(std::regex_search(text, parserWords)) << text;
    }
    const std::string upgrade = help({"upgrade"});
    EXPECT_NE(upgrade.find("--wait SECONDS"), std::string::npos) << upgrade;
    EXPECT_NE(upgrade.find("(default 3)"), std::string::npos) << upgrade;
    EXPECT_NE(top.find("--password-file FILE"), std::string::npos) << top;
    EXPECT_NE(top.find("--user NAME"), std::string::npos) << top;
    EXPECT_NE(top.find("(default root)"), std::string::npos) << top;
    EXPECT_NE(help({"auto-ip"}).find("(default 31-250)"), std::string::npos);
    // A dry run asks the cameras, and may move one to a link-local address to do so.
    const std::string flat = std::regex_replace(upgrade, std::regex(R"(\s+)"), " ");
    EXPECT_EQ(flat.find("send nothing"), std::string::npos) << upgrade;
    EXPECT_NE(flat.find("link-local address is moved there to be asked, then sent back"), std::string::npos) << upgrade;
}

// Both pages have the sections a Debian tool's page has; the console's names 128 plus the signal.
TEST(ManPageTest, BothPagesHaveExitStatusExamplesFilesAndSeeAlso) {
    const std::string console = manualText();
    for (const char* section : {"[EXIT STATUS]", "[EXAMPLES]", "[FILES]", "[SEE ALSO]", "[ENVIRONMENT]"})
        EXPECT_NE(console.find(section), std::string::npos) << "flashwell-cli(1) has no " << section;
    EXPECT_NE(console.find("128 + N"), std::string::npos);
    EXPECT_NE(console.find("130 for SIGINT"), std::string::npos);
    EXPECT_NE(console.find("FLASHWELL_TRACE"), std::string::npos);
    const std::string examples = console.substr(console.find("[EXAMPLES]"));
    EXPECT_FALSE(
        std::regex_search(examples.substr(0, examples.find("\n[", 1)), std::regex(R"(--select [0-9]+(?![0-9a-f:]))")))
        << "an example must not name cameras by row number";
    const std::string window = manualText(FLASHWELL_MAN_INCLUDE);
    for (const char* section : {"[EXIT STATUS]", "[FILES]", "[SEE ALSO]"})
        EXPECT_NE(window.find(section), std::string::npos) << "flashwell(1) has no " << section;
    for (const std::string& page : {console, window}) {
        const std::string seeAlso = page.substr(page.find("[SEE ALSO]"));
        for (const char* other : {"adduser (8)", "setcap (8)"})
            EXPECT_NE(seeAlso.find(other), std::string::npos) << other;
    }
}
