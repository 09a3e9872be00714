#include "console/CliHelp.h"

#include <sstream>

CLI::Option* CliHelp::Describe(CLI::Option* option, const std::string& metavar, const std::string& fallback) {
    option->option_text(metavar);
    if (!fallback.empty())
        option->description(option->get_description() + " (default " + fallback + ")");
    return option;
}

CLI::Option* CliHelp::Needed(CLI::Option* option) {
    m_needed.insert(option);
    return option;
}

std::string CliHelp::form(const CLI::App* command) const {
    const CLI::App* top = command;
    while (top->get_parent())
        top = top->get_parent();
    std::string line = top->get_name() + " [OPTIONS] " + command->get_name();
    std::string positionals;
    for (const CLI::Option* o : command->get_options()) {
        if (o == command->get_help_ptr())
            continue;
        if (o->get_positional()) {
            const std::string name = o->get_name(true, false);
            positionals += " " + (o->get_required() ? name : "[" + name + "]");
            continue;
        }
        std::string part = o->get_name(false, false);
        if (!o->get_option_text().empty())
            part += " " + o->get_option_text();
        line += " " + (o->get_required() || m_needed.contains(o) ? part : "[" + part + "]");
    }
    return line + positionals;
}

std::string CliHelp::make_usage(const CLI::App* app, std::string name) const {
    std::ostringstream out;
    if (app->get_parent()) {
        out << "Usage: " << form(app) << "\n";
        return out.str();
    }
    // The program's every form, one line each; a plain "COMMAND" would hide what each one takes.
    const char* lead = "Usage: ";
    for (const CLI::App* command : app->get_subcommands({})) {
        out << lead << form(command) << "\n";
        lead = "  or:  ";
    }
    if (app->get_subcommands({}).empty())
        out << "Usage: " << name << " [OPTIONS]\n";
    return out.str();
}

std::string CliHelp::make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const {
    if (mode == CLI::AppFormatMode::Sub)
        return make_expanded(app);
    // What it is called like comes first, then what it does, as in a Debian tool's help.
    std::ostringstream out;
    out << make_usage(app, name) << "\n"
        << make_description(app) << make_positionals(app) << make_groups(app, mode) << make_subcommands(app, mode)
        << "\n"
        << make_footer(app);
    return out.str();
}

std::string CliHelp::make_option_name(const CLI::Option* option, bool positional) const {
    if (positional)
        return option->get_name(true, false);
    // "-h, --help", and long options aligned after the short ones.
    std::string names = option->get_name(false, true);
    for (std::size_t at = names.find(','); at != std::string::npos; at = names.find(',', at + 2))
        names.insert(at + 1, " ");
    return option->get_snames().empty() ? "    " + names : names;
}

std::string CliHelp::make_option_opts(const CLI::Option* option) const {
    return option->get_option_text().empty() ? std::string() : " " + option->get_option_text();
}

std::string CliHelp::make_option_desc(const CLI::Option* option) const {
    const std::size_t width = 79 - column_width_;
    std::istringstream words(option->get_description());
    std::string text, line;
    for (std::string word; words >> word;) {
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            text += line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    return text + line;
}
