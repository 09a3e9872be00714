#pragma once

#include <mutex>
#include <optional>
#include <string>

// A rebooting camera answers nothing, not even ARP or ping. In the camera's own namespace the
// kernel answers those, so while a reboot lasts this sets it to ignore echo requests and to answer
// no ARP request on the interface, and puts back what it found afterwards and on destruction.
class KernelSilence {
public:
    explicit KernelSilence(std::string iface);
    ~KernelSilence();
    KernelSilence(const KernelSilence&) = delete;
    KernelSilence& operator=(const KernelSilence&) = delete;

    // Both may be called from any thread and more than once; only a change is logged.
    void begin();
    void end();

private:
    struct Setting {
        std::string path;
        std::string silent;
        std::optional<std::string> found; // what was there before begin(); empty while not silent
    };

    static bool write(const std::string& path, const std::string& value);

    std::string m_iface;
    std::mutex m_lock;
    Setting m_echo;
    Setting m_arp;
};
