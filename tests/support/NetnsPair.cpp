#include "tests/support/NetnsPair.h"

#include <net/if.h>
#include <stdexcept>

using testsupport::RunCommand;

std::string NetnsPair::Unavailable() {
    return testsupport::NamespacesUnavailable();
}

NetnsPair::NetnsPair(bool addresses) {
    std::string id = testsupport::UniqueId();
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
    m_entry.Enter(m_a);
}

void NetnsPair::Leave() {
    m_entry.Leave();
}
