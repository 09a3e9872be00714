#include "sim/camsim/InterfaceAddress.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "sim/camsim/CameraConfig.h"

extern char** environ;

namespace {

// Runs a program found on PATH without a shell, so no argument is ever interpreted.
bool runTool(std::vector<std::string> args, std::string& error) {
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    int rc = ::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
    if (rc != 0) {
        error = args[0] + ": " + std::strerror(rc);
        return false;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            error = std::string("waitpid: ") + std::strerror(errno);
            return false;
        }
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error.clear();
        for (const auto& arg : args)
            error += (error.empty() ? "" : " ") + arg;
        error += " failed";
        return false;
    }
    return true;
}

} // namespace

bool MoveInterfaceAddress(const std::string& iface, const Ipv4& ip, const Ipv4& netmask, const Ipv4& /*gateway*/,
                          std::string& error) {
    int prefix = PrefixLength(netmask);
    if (prefix <= 0) {
        error = "netmask " + FormatIpv4(netmask) + " cannot be put on an interface";
        return false;
    }
    if (!runTool({"ip", "-4", "addr", "flush", "dev", iface}, error))
        return false;
    if (!runTool({"ip", "addr", "add", FormatIpv4(ip) + "/" + std::to_string(prefix), "brd", "+", "dev", iface}, error))
        return false;
    // An on-link default lets the camera answer any sender on its link, whatever its subnet.
    return runTool({"ip", "route", "replace", "default", "dev", iface}, error);
}
