#include "tests/hostnet/NetnsPair.h"

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

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

namespace {

// Short and unique per process and per pair, so parallel runs never share a name.
std::string uniqueId() {
    static std::atomic<int> counter{0};
    char id[16];
    std::snprintf(id, sizeof id, "%x%x", static_cast<unsigned>(::getpid()) & 0xfffff, counter++);
    return id;
}

} // namespace

std::string NetnsPair::Unavailable() {
    if (::geteuid() != 0)
        return "network namespaces need root; skipping";
    if (RunCommand("ip netns list >/dev/null 2>&1") != 0)
        return "`ip netns` is not available; skipping";
    return {};
}

NetnsPair::NetnsPair(bool addresses) {
    std::string id = uniqueId();
    m_a = "fwhn" + id + "a";
    m_b = "fwhn" + id + "b";
    m_vethA = "hn" + id + "a";
    m_vethB = "hn" + id + "b";
    std::string script = "set -e; ip netns add " + m_a + "; ip netns add " + m_b + "; ip link add " + m_vethA +
                         " address 02:77:00:00:00:01 netns " + m_a + " type veth peer name " + m_vethB +
                         " address 02:77:00:00:00:02 netns " + m_b + "; ip -n " + m_a + " link set lo up; ip -n " +
                         m_b + " link set lo up; ip -n " + m_a + " link set " + m_vethA + " up; ip -n " + m_b +
                         " link set " + m_vethB + " up";
    if (addresses)
        script += "; ip -n " + m_a + " addr add 10.77.0.1/24 dev " + m_vethA + "; ip -n " + m_b +
                  " addr add 10.77.0.2/24 dev " + m_vethB;
    std::string output;
    if (RunCommand("sh -c '" + script + "' 2>&1", &output) != 0) {
        RunCommand("ip netns del " + m_a + " 2>/dev/null; ip netns del " + m_b + " 2>/dev/null");
        throw std::runtime_error("namespace set-up failed: " + output);
    }
    EnterA();
    m_indexA = ::if_nametoindex(m_vethA.c_str());
    Leave();
    if (m_indexA == 0)
        throw std::runtime_error("no interface " + m_vethA + " in " + m_a);
}

NetnsPair::~NetnsPair() {
    Leave();
    // Deleting a namespace takes its end of the veth pair, and with it the other end.
    RunCommand("ip netns del " + m_a + " 2>/dev/null; ip netns del " + m_b + " 2>/dev/null");
}

int NetnsPair::Ip(const std::string& ns, const std::string& arguments, std::string* output) const {
    return RunCommand("ip -n " + ns + " " + arguments + " 2>&1", output);
}

void NetnsPair::EnterA() {
    if (m_originalNs >= 0)
        return;
    m_originalNs = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    int fd = ::open(("/run/netns/" + m_a).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || m_originalNs < 0 || ::setns(fd, CLONE_NEWNET) != 0) {
        if (fd >= 0)
            ::close(fd);
        if (m_originalNs >= 0)
            ::close(m_originalNs);
        m_originalNs = -1;
        throw std::runtime_error("cannot enter namespace " + m_a);
    }
    ::close(fd);
}

void NetnsPair::Leave() {
    if (m_originalNs < 0)
        return;
    ::setns(m_originalNs, CLONE_NEWNET);
    ::close(m_originalNs);
    m_originalNs = -1;
}
