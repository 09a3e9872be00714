#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <string>

#include "discovery/WireProtocol.h"
#include "sim/camsim/CameraConfig.h"

// What a camera made of a set-network command.
enum class CommandOutcome { NotMine, Silent, Refused, Applied };

// What the web side reports and an upgrade replaces.
struct FirmwareState {
    std::string model;
    std::string version;
    std::string hardware;
};

// One simulated camera: a fixed configuration plus the network state that commands change.
// The discovery thread and, later, the web side share it, so the state sits behind a mutex.
class Camera {
public:
    using Clock = std::chrono::steady_clock;

    explicit Camera(CameraConfig config);
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    const CameraConfig& config() const { return m_config; }
    NetworkState network() const;
    FirmwareState firmware() const;
    void setFirmware(FirmwareState firmware);

    // Replaces the address; a missing gateway keeps the current one.
    void setNetwork(const Ipv4& ip, const Ipv4& netmask, std::optional<Ipv4> gateway);
    void setName(const std::string& name);
    void silenceUntil(Clock::time_point until);
    bool silent(Clock::time_point now) const;

    // The reply to a search request, or nothing when this camera keeps quiet; lost tells whether
    // it kept quiet only because the request was lost (--lose-searches).
    std::optional<DeviceReply> answer(CameraFamily request, Clock::time_point now, bool& lost);
    // The reply as the camera now stands, outside any search (a flood repeats it); nothing while silent.
    std::optional<DeviceReply> currentReply(CameraFamily family, Clock::time_point now) const;
    // Counts a set-network command addressed to this camera; true when it is lost (--lose-commands).
    bool loseCommand();
    // Takes the new address when the command names this camera and carries valid credentials.
    CommandOutcome apply(const SetNetworkCommand& command);

private:
    // The reply as the camera stands now; m_lock held.
    DeviceReply replyLocked(CameraFamily family) const;

    const CameraConfig m_config;
    mutable std::mutex m_lock;
    NetworkState m_state;
    FirmwareState m_firmware;
    LossPattern m_loseCommands;
    LossPattern m_loseSearches;
};
