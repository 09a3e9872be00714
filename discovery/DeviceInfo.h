#pragma once

#include <array>
#include <cstdint>

#include "discovery/WireProtocol.h"

// One discovered camera. Plain and fixed-size: the table allocates and frees it, and a later
// reply refreshes only the receive-side fields. What a job does with a camera lives in the job.
struct DeviceInfo {
    std::array<char, 5> tag{}; // "IPCam" or "KXCam", no terminator
    Ipv4 ip{};
    Ipv4 netmask{};
    Mac mac{};
    Ipv4 gateway{};
    std::array<char, 20> name{}; // at most 18 characters, always NUL-terminated
    std::uint8_t ifType = 0;
    std::int32_t rowIndex = 0;
    std::int32_t webPort = 0;
    std::int32_t kind = 0;   // 0 generic, 1 the maker's
    std::int32_t failed = 0; // the last job ended this camera failed: its Status is drawn red

    static DeviceInfo FromReply(const DeviceReply& reply);
};
