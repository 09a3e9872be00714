#pragma once

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "discovery/DeviceInfo.h"

namespace testsupport {

// A fresh directory under the test temp dir, removed with its contents at scope end.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = ::testing::TempDir() + "flashwell-XXXXXX";
        m_path = ::mkdtemp(pattern.data()) ? pattern : "";
    }
    ~ScratchDir() {
        std::error_code ec;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ec);
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// Polls until done() holds or the limit passes, so asynchronous arrivals never need a fixed sleep.
inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(2)) {
    for (auto end = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < end;) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

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
