#pragma once

#include <algorithm>
#include <cstring>
#include <string>

#include "discovery/DeviceInfo.h"

namespace testsupport {

// A generic camera record as a reply would make it, MAC 02:00:00:00:00:<macLast>.
inline DeviceInfo MakeDevice(std::uint8_t macLast, Ipv4 ip, const std::string& name, int rowIndex = 0) {
    DeviceInfo d;
    std::memcpy(d.tag.data(), "IPCam", 5);
    d.ip = ip;
    d.mac = {0x02, 0x00, 0x00, 0x00, 0x00, macLast};
    std::memcpy(d.name.data(), name.data(), std::min<std::size_t>(name.size(), 18));
    d.rowIndex = rowIndex;
    return d;
}

} // namespace testsupport
