#include "sim/camsim/CameraConfig.h"

#include <cstdio>

bool CameraConfig::answersRequest(CameraFamily request) const {
    switch (answers) {
    case Answers::Generic:
        return request == CameraFamily::Generic;
    case Answers::Maker:
        return request == CameraFamily::Maker;
    case Answers::Both:
        return true;
    }
    return false;
}

namespace {

struct FaultName {
    const char* name;
    bool FaultModes::*flag;
};

constexpr FaultName kFaults[] = {
    {"wrong-password", &FaultModes::wrongPassword},
    {"silent", &FaultModes::silent},
    {"hung", &FaultModes::hung},
    {"no-model", &FaultModes::noModel},
    {"upload-refused", &FaultModes::uploadRefused},
    {"older-after-reboot", &FaultModes::olderAfterReboot},
    {"never-back", &FaultModes::neverBack},
    {"no-model-until-moved", &FaultModes::noModelUntilMoved},
    {"trickle", &FaultModes::trickle},
    {"trickle-upload", &FaultModes::trickleUpload},
    {"upload-no-reply", &FaultModes::uploadNoReply},
    {"reset-mid-upload", &FaultModes::resetMidUpload},
    {"unauthorized-when-moved", &FaultModes::unauthorizedWhenMoved},
    {"burn-no-reply", &FaultModes::burnNoReply},
    {"split-reply", &FaultModes::splitReply},
};

} // namespace

bool FaultModes::set(const std::string& name) {
    for (const auto& fault : kFaults) {
        if (name == fault.name) {
            this->*fault.flag = true;
            return true;
        }
    }
    return false;
}

std::string FaultModes::describe() const {
    std::string text;
    for (const auto& fault : kFaults)
        if (this->*fault.flag)
            text += (text.empty() ? "" : ",") + std::string(fault.name);
    return text;
}

const std::vector<std::string>& FaultNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all;
        for (const auto& fault : kFaults)
            all.emplace_back(fault.name);
        return all;
    }();
    return names;
}

std::optional<Answers> ParseAnswers(const std::string& text) {
    if (text == "generic")
        return Answers::Generic;
    if (text == "maker")
        return Answers::Maker;
    if (text == "both")
        return Answers::Both;
    return std::nullopt;
}

const char* AnswersName(Answers answers) {
    switch (answers) {
    case Answers::Generic:
        return "generic";
    case Answers::Maker:
        return "maker";
    case Answers::Both:
        return "both";
    }
    return "?";
}

int PrefixLength(const Ipv4& netmask) {
    std::uint32_t bits = (std::uint32_t{netmask[0]} << 24) | (std::uint32_t{netmask[1]} << 16) |
                         (std::uint32_t{netmask[2]} << 8) | std::uint32_t{netmask[3]};
    int length = 0;
    while (length < 32 && (bits & (0x80000000u >> length)) != 0)
        ++length;
    // Any set bit after the first clear one makes the mask unusable for an interface.
    std::uint32_t rest = length == 32 ? 0 : (bits << length);
    return rest == 0 ? length : -1;
}

std::string DescribeCamera(const CameraConfig& c) {
    std::string text = "name=" + c.name + " ip=" + FormatIpv4(c.ip) + " mask=" + FormatIpv4(c.netmask) +
                       " gw=" + FormatIpv4(c.gateway) + " mac=" + FormatMac(c.mac) +
                       " family=" + AnswersName(c.answers) + " web=" + std::to_string(c.webPort);
    if (c.ifType == kWifiInterface)
        text += " wifi";
    if (c.secondIp)
        text += " second-ip=" + FormatIpv4(*c.secondIp);
    text += " model=" + c.model + " version=" + c.version;
    if (std::string faults = c.faults.describe(); !faults.empty())
        text += " faults=" + faults;
    if (c.loseCommands.losesAny())
        text += " lose-commands=" + c.loseCommands.describe();
    if (c.loseSearches.losesAny())
        text += " lose-searches=" + c.loseSearches.describe();
    return text;
}

std::vector<CameraConfig> MakeFleet(const CameraConfig& base, int count, std::optional<Answers> forced,
                                    std::optional<Ipv4> firstIp) {
    std::uint32_t next = firstIp ? (std::uint32_t{(*firstIp)[0]} << 24) | (std::uint32_t{(*firstIp)[1]} << 16) |
                                       (std::uint32_t{(*firstIp)[2]} << 8) | std::uint32_t{(*firstIp)[3]}
                                 : 0;
    std::vector<CameraConfig> fleet;
    fleet.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        CameraConfig c = base;
        auto index = static_cast<std::uint32_t>(i + 1);
        c.mac = {0x02,
                 0xfe,
                 0x00,
                 static_cast<std::uint8_t>(index >> 16),
                 static_cast<std::uint8_t>(index >> 8),
                 static_cast<std::uint8_t>(index)};
        if (firstIp) {
            // Skipping .0 and .255 keeps every address usable whatever mask the host side picks.
            while ((next & 0xffu) == 0 || (next & 0xffu) == 0xffu)
                ++next;
            c.ip = {static_cast<std::uint8_t>(next >> 24), static_cast<std::uint8_t>(next >> 16),
                    static_cast<std::uint8_t>(next >> 8), static_cast<std::uint8_t>(next)};
            ++next;
        } else {
            // Host parts 1..250 keep clear of network and broadcast addresses in any /24.
            auto slot = static_cast<std::uint32_t>(i);
            c.ip = {10, static_cast<std::uint8_t>(slot / 250 / 256), static_cast<std::uint8_t>(slot / 250 % 256),
                    static_cast<std::uint8_t>(1 + slot % 250)};
            c.netmask = {255, 0, 0, 0};
            c.gateway = {10, 0, 0, 254};
        }
        c.secondIp.reset();
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "-%04d", i + 1);
        c.name = base.name.substr(0, 18 - std::string(suffix).size()) + suffix;
        if (forced && *forced != Answers::Both)
            c.answers = *forced;
        else
            c.answers = i % 2 == 0 ? Answers::Generic : Answers::Maker;
        fleet.push_back(std::move(c));
    }
    return fleet;
}
