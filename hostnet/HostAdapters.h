#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "util/Ipv4.h"

// What the system tells about one network adapter, with the meanings the selection rules rely on.
struct AdapterData {
    std::string pnpDeviceId;                // starts "BTH" for Bluetooth network devices
    std::optional<int> netConnectionStatus; // 2 up with carrier, 7 up without, 0 down; none for loopback
    std::string description;
    unsigned index = 0; // interface index
    std::string interfaceName;
    bool ipEnabled = false;
    std::vector<std::string> ipAddresses;          // IPv4 and IPv6 mixed, in the system's order
    bool dhcpEnabled = false;                      // an IPv4 address holds a finite lease
    std::array<std::uint8_t, 6> hardwareAddress{}; // the card's Ethernet address; zero when it has none
};

// One "Network Card" entry; entry i is list row i.
struct HostAdapter {
    std::string description;
    std::string address; // first IPv4 address, at most 31 characters; empty when none
    unsigned index = 0;
    std::string interfaceName;
    std::array<std::uint8_t, 6> hardwareAddress{};
};

struct HostAdapterList {
    std::vector<HostAdapter> adapters; // m_adapters
    int selected = -1;                 // m_nAdapterIndex
};

// The listing and default-choice rules, on adapter data from any source.
HostAdapterList EnumerateHostAdapters(const std::vector<AdapterData>& system);

// Reads the running system's adapters through rtnetlink and sysfs; empty when that fails.
std::vector<AdapterData> ReadSystemAdapters();
