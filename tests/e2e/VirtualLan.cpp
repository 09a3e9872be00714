#include "tests/e2e/VirtualLan.h"

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sched.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

std::string quote(const std::string& s) {
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

int run(const std::string& command, std::string* output = nullptr) {
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

// Short and unique per process and per lab, so parallel runs never share a name.
std::string uniqueId() {
    static std::atomic<int> counter{0};
    char id[16];
    std::snprintf(id, sizeof id, "%x%x", static_cast<unsigned>(::getpid()) & 0xfffff, counter++);
    return id;
}

} // namespace

const char* CamsimPath() {
    return FLASHWELL_CAMSIM;
}
const char* CliPath() {
    return FLASHWELL_CLI;
}

std::string VirtualLan::Unavailable() {
    if (::geteuid() != 0)
        return "network namespaces need root; skipping";
    if (run("ip netns list >/dev/null 2>&1") != 0)
        return "`ip netns` is not available; skipping";
    return {};
}

VirtualLan::VirtualLan(const Options& options) : m_id(uniqueId()) {
    std::string command = std::string(FLASHWELL_VLAN) + " up --id " + m_id + " --camsim " + quote(CamsimPath()) +
                          " --host-ip " + quote(options.hostIp);
    if (options.secondAdapter)
        command += " --second-adapter";
    for (const std::string& camera : options.cameras)
        command += " --camera " + quote(camera);
    std::string output;
    int rc = run(command + " 2>&1", &output);
    if (rc != 0) {
        run(std::string(FLASHWELL_VLAN) + " down --id " + m_id + " >/dev/null 2>&1");
        throw std::runtime_error("virtual LAN set-up failed (" + std::to_string(rc) + "): " + output);
    }
    m_host = "fw" + m_id + "host";
    run(std::string(FLASHWELL_VLAN) + " logs --id " + m_id, &m_stateDir);
    while (!m_stateDir.empty() && m_stateDir.back() == '\n')
        m_stateDir.pop_back();
    // `ip netns exec` shows this file as /etc/resolv.conf: the reconnect address is then the
    // host itself, never a real name server.
    run("mkdir -p /etc/netns/" + m_host + " && echo 'nameserver 192.168.0.10' > /etc/netns/" + m_host + "/resolv.conf");
}

VirtualLan::~VirtualLan() {
    LeaveHost();
    // Also removes the simulators' logs: they matter only while a test runs.
    run(std::string(FLASHWELL_VLAN) + " down --id " + m_id + " >/dev/null 2>&1");
    run("rm -rf /etc/netns/" + m_host);
}

std::string VirtualLan::CameraLog(int camera) const {
    if (m_stateDir.empty())
        return {};
    std::ifstream file(m_stateDir + "/cam" + std::to_string(camera) + ".log");
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void VirtualLan::EnterHost() {
    if (m_entered)
        return;
    m_originalNs = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    int fd = ::open(("/run/netns/" + m_host).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || m_originalNs < 0 || ::setns(fd, CLONE_NEWNET) != 0) {
        if (fd >= 0)
            ::close(fd);
        throw std::runtime_error("cannot enter namespace " + m_host);
    }
    ::close(fd);
    m_entered = true;
}

void VirtualLan::LeaveHost() {
    if (!m_entered)
        return;
    ::setns(m_originalNs, CLONE_NEWNET);
    ::close(m_originalNs);
    m_entered = false;
}

std::string VirtualLan::RunInHost(const std::string& command, int& exitCode) const {
    std::string output;
    exitCode = run("ip netns exec " + m_host + " " + command, &output);
    return output;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}
