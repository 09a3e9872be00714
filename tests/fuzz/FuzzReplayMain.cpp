// Runs a fuzz target over every file of its corpus folders without libFuzzer, so that every build
// replays the committed findings and seeds as an ordinary test.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "tests/fuzz/FuzzSupport.h"

namespace {

// The input being replayed, kept as a plain C string so the crash handler can print it.
char g_current[4096];

void tellCurrentInput(int signal) {
    const char prefix[] = "fuzz replay: crashed on ";
    [[maybe_unused]] ssize_t ignored = ::write(STDERR_FILENO, prefix, sizeof prefix - 1);
    ignored = ::write(STDERR_FILENO, g_current, std::strlen(g_current));
    ignored = ::write(STDERR_FILENO, "\n", 1);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

std::vector<std::filesystem::path> inputsUnder(const std::filesystem::path& path) {
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(path)) {
        for (const auto& entry : std::filesystem::directory_iterator(path))
            if (entry.is_regular_file())
                files.push_back(entry.path());
    } else if (std::filesystem::is_regular_file(path)) {
        files.push_back(path);
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

int main(int argc, char** argv) {
    for (int s : {SIGABRT, SIGSEGV, SIGILL, SIGFPE, SIGBUS})
        std::signal(s, tellCurrentInput);
    std::size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        for (const auto& file : inputsUnder(argv[i])) {
            std::ifstream in(file, std::ios::binary);
            std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            if (!in.eof() && in.fail()) {
                std::fprintf(stderr, "fuzz replay: cannot read %s\n", file.c_str());
                return 1;
            }
            std::snprintf(g_current, sizeof g_current, "%s", file.c_str());
            ExactBuffer input({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
            ++replayed;
        }
    }
    // An empty or missing corpus would make this test pass without checking anything.
    if (replayed == 0) {
        std::fprintf(stderr, "fuzz replay: no inputs found\n");
        return 1;
    }
    std::printf("fuzz replay: %zu inputs, all invariants held\n", replayed);
    return 0;
}
