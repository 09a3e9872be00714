#pragma once

#include <set>
#include <string>

#include <CLI/CLI.hpp>

// The console front end's --help as a Debian tool prints it: one "Usage:"/"or:" line for each
// command with its options (help2man turns them into the SYNOPSIS), the description after it,
// and every option shown with what it takes and its default, never CLI11's type names.
class CliHelp : public CLI::Formatter {
public:
    // Every option is added through here: METAVAR says what it takes ("SECONDS", "FILE"; empty for
    // a flag), and a default, where there is one, ends its description as "(default 3)".
    CLI::Option* Describe(CLI::Option* option, const std::string& metavar, const std::string& fallback = {});
    // An option the command refuses to run without, though the parser does not enforce it (the
    // command says why itself): its form shows it without brackets.
    CLI::Option* Needed(CLI::Option* option);

    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override;
    std::string make_usage(const CLI::App* app, std::string name) const override;
    std::string make_option_name(const CLI::Option* option, bool positional) const override;
    std::string make_option_opts(const CLI::Option* option) const override;
    // Descriptions wrapped to fit an 80-column terminal beside the option column.
    std::string make_option_desc(const CLI::Option* option) const override;

private:
    // "flashwell-cli [OPTIONS] upgrade [--wait SECONDS] --select all|MAC,... FIRMWARE"
    std::string form(const CLI::App* command) const;

    std::set<const CLI::Option*> m_needed;
};
