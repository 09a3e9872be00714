#include "bench/CliTimeline.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <regex>
#include <stdexcept>

#include "tests/support/TestSupport.h"
#include "tests/support/VirtualLan.h"

namespace {

// Appends what the descriptor has now; false at its end.
bool drain(int fd, std::string& into) {
    char buffer[65536];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0)
        return false;
    into.append(buffer, static_cast<std::size_t>(n));
    return true;
}

} // namespace

std::optional<double> CliTimeline::First(const std::string& text) const {
    for (const Line& line : errors)
        if (line.text.find(text) != std::string::npos)
            return line.at;
    return std::nullopt;
}

std::optional<double> CliTimeline::Last(const std::string& text) const {
    std::optional<double> last;
    for (const Line& line : errors)
        if (line.text.find(text) != std::string::npos)
            last = line.at;
    return last;
}

std::string CliTimeline::MacOf(const std::string& line) {
    static const std::regex mac("([0-9a-f]{2}:){5}[0-9a-f]{2}");
    std::smatch found;
    return std::regex_search(line, found, mac) ? found.str() : std::string();
}

CliTimeline RunCliTimed(const VirtualLan& lan, const std::vector<std::string>& env,
                        const std::vector<std::string>& args) {
    std::vector<std::string> words{"ip", "netns", "exec", lan.HostNamespace(), "env"};
    words.insert(words.end(), env.begin(), env.end());
    words.emplace_back(CliPath());
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
        throw std::runtime_error("no pipe for the console's output");
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child < 0)
        throw std::runtime_error("cannot start the console");
    if (child == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        ::close(STDIN_FILENO);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    CliTimeline run;
    std::string pending;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0)
            continue;
        const double now = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        for (pollfd& fd : fds) {
            if (fd.fd < 0 || fd.revents == 0)
                continue;
            std::string& into = &fd == &fds[0] ? run.output : pending;
            if (!drain(fd.fd, into)) {
                ::close(fd.fd);
                fd.fd = -1;
                --open;
            }
        }
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1))
            run.errors.push_back({now, pending.substr(0, end)});
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (!pending.empty())
        run.errors.push_back({run.seconds, pending});
    return run;
}
