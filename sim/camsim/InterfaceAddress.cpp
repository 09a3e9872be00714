#include "sim/camsim/InterfaceAddress.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

#include "sim/camsim/CameraConfig.h"

extern char** environ;

namespace {

// Runs a program found on PATH without a shell, so no argument is ever interpreted; input, if
// any, is its standard input. The child gets no other descriptor: a socket it inherited would
// outlive a connection the simulator closes.
bool runTool(std::vector<std::string> args, std::string& error, const std::string* input = nullptr) {
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    int pipeFds[2] = {-1, -1};
    if (input && ::pipe2(pipeFds, O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input)
        posix_spawn_file_actions_adddup2(&actions, pipeFds[0], 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    pid_t pid = 0;
    int rc = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (input) {
        ::close(pipeFds[0]);
        for (std::size_t done = 0; rc == 0 && done < input->size();) {
            ssize_t n = ::write(pipeFds[1], input->data() + done, input->size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break; // the tool ended early; its exit status says why
            done += static_cast<std::size_t>(n);
        }
        ::close(pipeFds[1]);
    }
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

bool MoveInterfaceAddress(const std::string& iface, const Ipv4& ip, const Ipv4& netmask, const Ipv4& gateway,
                          std::string& routes, std::string& error) {
    int prefix = PrefixLength(netmask);
    if (prefix <= 0) {
        error = "netmask " + FormatIpv4(netmask) + " cannot be put on an interface";
        return false;
    }
    // Removing the last address also removes every route through the interface.
    if (!runTool({"ip", "-4", "addr", "flush", "dev", iface}, error))
        return false;
    if (!runTool({"ip", "addr", "add", FormatIpv4(ip) + "/" + std::to_string(prefix), "brd", "+", "dev", iface}, error))
        return false;
    return SetCameraRoutes(iface, ip, netmask, gateway, routes, error);
}

bool SetCameraRoutes(const std::string& iface, const Ipv4& ip, const Ipv4& netmask, const Ipv4& gateway,
                     std::string& routes, std::string& error) {
    for (const char* half : {"0.0.0.0/1", "128.0.0.0/1"})
        if (!runTool({"ip", "route", "replace", half, "dev", iface}, error))
            return false;
    if (!runTool({"ip", "route", "flush", "exact", "0.0.0.0/0", "dev", iface}, error))
        return false;
    const std::uint32_t own = Ipv4Value(ip);
    const std::uint32_t via = Ipv4Value(gateway);
    const std::uint32_t mask = Ipv4Value(netmask);
    const bool onSubnet = (via & mask) == (own & mask);
    // A /31 or /32 has no network or broadcast address to keep clear of (RFC 3021).
    const bool reserved = onSubnet && mask < 0xfffffffeu && ((via & ~mask) == 0 || (via | mask) == 0xffffffffu);
    const std::string gw = FormatIpv4(gateway);
    if (via == 0 || via == own || reserved) {
        routes = "no default route (" + gw + " is no usable gateway)";
        return true;
    }
    std::vector<std::string> add = {"ip", "route", "replace", "default", "via", gw, "dev", iface};
    if (!onSubnet)
        add.emplace_back("onlink");
    std::string refused;
    if (!runTool(add, refused)) {
        routes = "no default route (the kernel refuses " + gw + ")";
        return true;
    }
    routes = "default via " + gw + (onSubnet ? "" : " onlink");
    return true;
}

bool AddInterfaceAddresses(const std::string& iface, const std::vector<std::string>& cidrs, std::string& error) {
    std::string batch;
    for (const auto& cidr : cidrs)
        batch.append("addr add ").append(cidr).append(" dev ").append(iface).append("\n");
    // One `ip` for all of them: hundreds of separate runs would take seconds.
    return runTool({"ip", "-batch", "-"}, error, &batch);
}

bool RemoveInterfaceAddresses(const std::string& iface, const std::vector<std::string>& cidrs, std::string& error) {
    std::string batch;
    for (const auto& cidr : cidrs)
        batch.append("addr del ").append(cidr).append(" dev ").append(iface).append("\n");
    // -force: one address already gone must not keep the others in place.
    return runTool({"ip", "-force", "-batch", "-"}, error, &batch);
}
