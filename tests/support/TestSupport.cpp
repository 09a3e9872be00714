#include "tests/support/TestSupport.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sched.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace testsupport {

ScratchDir::ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "flashwell-XXXXXX").string();
    m_path = ::mkdtemp(pattern.data()) ? pattern : "";
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    if (!m_path.empty())
        std::filesystem::remove_all(m_path, ec);
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    for (auto end = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < end;) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

bool ProcessEnded(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The state follows the command name, which is in parentheses and may itself hold ") ".
    auto close = text.rfind(") ");
    if (close == std::string::npos || close + 2 >= text.size())
        return true;
    char state = text[close + 2];
    return state == 'Z' || state == 'X';
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

int RunCommand(const std::string& command, std::string* output) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return -1;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        if (output)
            output->append(buffer, n);
    int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ShellQuote(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string UniqueId() {
    static std::atomic<int> counter{0};
    char id[16];
    std::snprintf(id, sizeof id, "%x%x", static_cast<unsigned>(::getpid()) & 0xfffff, counter++);
    return id;
}

std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string WriteFirmwareImage(const std::string& folder, const std::string& digits, std::size_t size,
                               const std::string& model) {
    std::string bytes(std::max<std::size_t>(size, 100), '\x5a');
    bytes.replace(24, 32, std::string(32, '\0'));
    bytes.replace(24, std::min<std::size_t>(digits.size(), 31), digits.substr(0, 31));
    bytes.replace(68, 12, std::string(12, '\0'));
    bytes.replace(68, std::min<std::size_t>(model.size(), 11), model.substr(0, 11));
    bytes.resize(size);
    std::string path = folder + "/fw-" + model + "-" + digits + "-" + std::to_string(size) + ".bin";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return path;
}

void NamespaceEntry::Enter(const std::string& name) {
    if (m_original >= 0)
        return;
    m_original = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    int fd = ::open(("/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || m_original < 0 || ::setns(fd, CLONE_NEWNET) != 0) {
        if (fd >= 0)
            ::close(fd);
        if (m_original >= 0)
            ::close(m_original);
        m_original = -1;
        throw std::runtime_error("cannot enter namespace " + name);
    }
    ::close(fd);
}

void NamespaceEntry::Leave() {
    if (m_original < 0)
        return;
    ::setns(m_original, CLONE_NEWNET);
    ::close(m_original);
    m_original = -1;
}

std::string NamespacesUnavailable() {
    if (::geteuid() != 0)
        return "network namespaces need root; skipping";
    if (RunCommand("ip netns list >/dev/null 2>&1") != 0)
        return "`ip netns` is not available; skipping";
    return {};
}

} // namespace testsupport
