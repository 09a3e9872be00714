#include "sim/camsim/KernelSilence.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <utility>

namespace {

std::optional<std::string> readValue(const std::string& path) {
    std::ifstream file(path);
    std::string value;
    if (!(file >> value))
        return std::nullopt;
    return value;
}

} // namespace

KernelSilence::KernelSilence(std::string iface)
    : m_iface(std::move(iface)), m_echo{"/proc/sys/net/ipv4/icmp_echo_ignore_all", "1", std::nullopt},
      // 8: answer no ARP request for any local address (Documentation/networking/ip-sysctl.rst).
      m_arp{"/proc/sys/net/ipv4/conf/" + m_iface + "/arp_ignore", "8", std::nullopt} {}

KernelSilence::~KernelSilence() {
    end();
}

bool KernelSilence::write(const std::string& path, const std::string& value) {
    std::FILE* file = std::fopen(path.c_str(), "we");
    if (file == nullptr) {
        std::fprintf(stderr, "camsim: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    const bool written = std::fputs((value + "\n").c_str(), file) >= 0;
    // A sysctl refuses a value only when the write reaches the kernel, at the close.
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed)
        std::fprintf(stderr, "camsim: cannot write %s to %s: %s\n", value.c_str(), path.c_str(), std::strerror(errno));
    return written && closed;
}

void KernelSilence::begin() {
    std::lock_guard lock(m_lock);
    bool changed = false;
    for (Setting* setting : {&m_echo, &m_arp}) {
        if (setting->found)
            continue;
        auto found = readValue(setting->path);
        if (!found) {
            std::fprintf(stderr, "camsim: cannot read %s\n", setting->path.c_str());
            continue;
        }
        if (write(setting->path, setting->silent)) {
            setting->found = std::move(found);
            changed = true;
        }
    }
    if (changed)
        std::fprintf(stderr, "camsim: %s ignores ARP and ping while rebooting\n", m_iface.c_str());
}

void KernelSilence::end() {
    std::lock_guard lock(m_lock);
    bool changed = false;
    for (Setting* setting : {&m_echo, &m_arp}) {
        if (!setting->found)
            continue;
        changed = write(setting->path, *setting->found) || changed;
        setting->found.reset();
    }
    if (changed)
        std::fprintf(stderr, "camsim: %s answers ARP and ping again\n", m_iface.c_str());
}
