#include "console/Password.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <termios.h>
#include <unistd.h>

namespace {

// Longer than any camera field; a file that holds more is not a password file.
constexpr std::size_t kLongestLine = 4096;

std::string firstLine(std::istream& in) {
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line.substr(0, kLongestLine);
}

Result<std::string> prompt() {
    if (!::isatty(STDIN_FILENO))
        return firstLine(std::cin);
    termios saved{};
    if (::tcgetattr(STDIN_FILENO, &saved) != 0)
        return Failure{errno, "cannot turn off the echo of the terminal"};
    termios quiet = saved;
    quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
    std::fputs("Camera password: ", stderr);
    std::fflush(stderr);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    std::string line = firstLine(std::cin);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::fputs("\n", stderr);
    return line;
}

} // namespace

Result<std::string> ResolvePassword(const std::optional<std::string>& option, const std::string& file) {
    if (option) {
        if (*option == "-")
            return prompt();
        return *option;
    }
    if (!file.empty()) {
        std::ifstream in(file);
        if (!in)
            return Failure{errno, "cannot read the password file \"" + file + "\""};
        return firstLine(in);
    }
    if (const char* env = std::getenv("FLASHWELL_PASSWORD"))
        return std::string(env);
    return std::string("qnwt");
}
