#include "tests/support/VirtualLan.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

using testsupport::RunCommand;
using testsupport::ShellQuote;

const char* CamsimPath() {
    return FLASHWELL_CAMSIM;
}
const char* CliPath() {
    return FLASHWELL_CLI;
}

std::string VirtualLan::Unavailable() {
    return testsupport::NamespacesUnavailable();
}

VirtualLan::VirtualLan(const Options& options) : m_id(testsupport::UniqueId()) {
    std::string command = std::string(FLASHWELL_VLAN) + " up --id " + m_id + " --camsim " + ShellQuote(CamsimPath()) +
                          " --host-ip " + ShellQuote(options.hostIp);
    if (options.secondAdapter)
        command += " --second-adapter";
    if (!options.hostRate.empty())
        command += " --host-rate " + ShellQuote(options.hostRate);
    if (options.idleCameras)
        command += " --idle";
    for (const std::string& camera : options.cameras)
        command += " --camera " + ShellQuote(camera);
    std::string output;
    int rc = RunCommand(command + " 2>&1", &output);
    if (rc != 0) {
        RunCommand(std::string(FLASHWELL_VLAN) + " down --id " + m_id + " >/dev/null 2>&1");
        throw std::runtime_error("virtual LAN set-up failed (" + std::to_string(rc) + "): " + output);
    }
    m_host = "fw" + m_id + "host";
    RunCommand(std::string(FLASHWELL_VLAN) + " logs --id " + m_id, &m_stateDir);
    while (!m_stateDir.empty() && m_stateDir.back() == '\n')
        m_stateDir.pop_back();
    // `ip netns exec` shows this file as /etc/resolv.conf: the reconnect address is then a host of
    // the virtual LAN, never a real name server.
    RunCommand("mkdir -p /etc/netns/" + m_host + " && echo " + ShellQuote("nameserver " + options.nameserver) +
               " > /etc/netns/" + m_host + "/resolv.conf");
}

VirtualLan::~VirtualLan() {
    LeaveHost();
    // Also removes the simulators' logs: they matter only while a test runs.
    RunCommand(std::string(FLASHWELL_VLAN) + " down --id " + m_id + " >/dev/null 2>&1");
    RunCommand("rm -rf /etc/netns/" + m_host);
}

std::string VirtualLan::CameraLog(int camera) const {
    if (m_stateDir.empty())
        return {};
    std::ifstream file(m_stateDir + "/cam" + std::to_string(camera) + ".log");
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<int> VirtualLan::CameraPids() const {
    std::vector<int> pids;
    for (int camera = 1;; ++camera) {
        std::ifstream file(m_stateDir + "/cam" + std::to_string(camera) + ".pid");
        int pid = 0;
        if (!(file >> pid))
            return pids;
        pids.push_back(pid);
    }
}

void VirtualLan::EnterHost() {
    m_entry.Enter(m_host);
}

void VirtualLan::LeaveHost() {
    m_entry.Leave();
}

std::string VirtualLan::RunInHost(const std::string& command, int& exitCode) const {
    std::string output;
    exitCode = RunCommand("ip netns exec " + m_host + " " + command, &output);
    return output;
}

bool VirtualLan::SetHostRate(const std::string& rate) const {
    return RunCommand(std::string(FLASHWELL_VLAN) + " shape --id " + m_id + " " + ShellQuote(rate)) == 0;
}
