#pragma once

#include <string>
#include <vector>

#include "tests/support/TestSupport.h"

// A virtual camera LAN built by sim/vlan for one test: a bridge, the technician's computer
// (the host namespace) and one namespace per simulated camera. Torn down on destruction.
class VirtualLan {
public:
    struct Options {
        std::vector<std::string> cameras; // flashwell-camsim arguments, one entry per camera
        bool secondAdapter = false;       // a second host adapter with no cameras behind it
        std::string hostIp = "192.168.0.10/24";
        // What the host's resolv.conf names: the host itself answers ping; a silent address
        // plays the isolated bench whose name server never answers.
        std::string nameserver = "192.168.0.10";
        // A tc token bucket on the host's card, e.g. "8mbit", that every upload shares; empty: unshaped.
        std::string hostRate{};
        // The simulators at idle priority, so that a benchmark measures the tool, not the cameras.
        bool idleCameras = false;
    };

    // Why namespaces cannot be built here, or empty when they can.
    static std::string Unavailable();

    explicit VirtualLan(const Options& options); // throws std::runtime_error when set-up fails
    ~VirtualLan();
    VirtualLan(const VirtualLan&) = delete;
    VirtualLan& operator=(const VirtualLan&) = delete;

    const std::string& HostNamespace() const { return m_host; }
    const std::string& Id() const { return m_id; }
    // Moves the calling thread (and the threads it starts later) into the host namespace.
    void EnterHost();
    void LeaveHost();
    // Runs a shell command in the host namespace; returns its standard output.
    std::string RunInHost(const std::string& command, int& exitCode) const;
    // Shapes the host's card anew on the running LAN ("8mbit", "off"); false when sim/vlan refuses.
    bool SetHostRate(const std::string& rate) const;
    // The folder sim/vlan keeps this LAN's logs in, and what camera n (from 1) has logged so far.
    const std::string& StateDir() const { return m_stateDir; }
    std::string CameraLog(int camera) const;
    // The simulators' process ids, camera 1 first.
    std::vector<int> CameraPids() const;

private:
    std::string m_id;
    std::string m_host;
    std::string m_stateDir;
    testsupport::NamespaceEntry m_entry;
};

// Paths of the binaries under test, set by the build.
const char* CamsimPath();
const char* CliPath();
