#include "sim/camsim/Camera.h"

#include <cstdint>
#include <utility>

namespace {

// Distinct salts keep the two streams of one camera from losing in step.
constexpr std::uint64_t kCommandSalt = 0x636f6d6d616e6473ULL;
constexpr std::uint64_t kSearchSalt = 0x7365617263686573ULL;

} // namespace

Camera::Camera(CameraConfig config)
    : m_config(std::move(config)), m_loseCommands(m_config.loseCommands), m_loseSearches(m_config.loseSearches) {
    m_loseCommands.seed(m_config.mac, kCommandSalt);
    m_loseSearches.seed(m_config.mac, kSearchSalt);
    m_state.ip = m_config.ip;
    m_state.netmask = m_config.netmask;
    m_state.gateway = m_config.gateway;
    m_state.name = m_config.name;
    m_firmware = {m_config.model, m_config.version, m_config.hardware};
}

FirmwareState Camera::firmware() const {
    std::lock_guard lock(m_lock);
    return m_firmware;
}

void Camera::setFirmware(FirmwareState firmware) {
    std::lock_guard lock(m_lock);
    m_firmware = std::move(firmware);
}

NetworkState Camera::network() const {
    std::lock_guard lock(m_lock);
    return m_state;
}

void Camera::setNetwork(const Ipv4& ip, const Ipv4& netmask, std::optional<Ipv4> gateway) {
    std::lock_guard lock(m_lock);
    m_state.ip = ip;
    m_state.netmask = netmask;
    if (gateway)
        m_state.gateway = *gateway;
}

void Camera::setName(const std::string& name) {
    std::lock_guard lock(m_lock);
    m_state.name = name;
}

void Camera::silenceUntil(Clock::time_point until) {
    std::lock_guard lock(m_lock);
    m_state.silentUntil = until;
}

bool Camera::silent(Clock::time_point now) const {
    std::lock_guard lock(m_lock);
    return now < m_state.silentUntil;
}

std::optional<DeviceReply> Camera::answer(CameraFamily request, Clock::time_point now, bool& lost) {
    lost = false;
    if (!m_config.answersRequest(request))
        return std::nullopt;
    std::lock_guard lock(m_lock);
    if (now < m_state.silentUntil)
        return std::nullopt;
    // Only a request it would answer counts; a lost one leaves no trace, not even a search window.
    if (m_loseSearches.lostNext()) {
        lost = true;
        return std::nullopt;
    }
    // A later answer inside the same search may report another address, as a camera whose
    // address changes between the two requests of one search does.
    bool sameSearch = m_state.lastAnswer != Clock::time_point{} && now - m_state.lastAnswer < m_config.searchWindow;
    if (!sameSearch)
        m_state.lastAnswer = now;
    DeviceReply reply = replyLocked(request);
    if (sameSearch && m_config.secondIp)
        reply.ip = *m_config.secondIp;
    return reply;
}

std::optional<DeviceReply> Camera::currentReply(CameraFamily family, Clock::time_point now) const {
    std::lock_guard lock(m_lock);
    if (now < m_state.silentUntil)
        return std::nullopt;
    return replyLocked(family);
}

DeviceReply Camera::replyLocked(CameraFamily family) const {
    DeviceReply reply;
    reply.family = family;
    reply.mac = m_config.mac;
    reply.ifType = m_config.ifType;
    reply.setWebPort(m_config.webPort);
    reply.ip = m_state.ip;
    reply.netmask = m_state.netmask;
    reply.gateway = m_state.gateway;
    reply.setName(m_state.name);
    return reply;
}

bool Camera::loseCommand() {
    std::lock_guard lock(m_lock);
    return m_loseCommands.lostNext();
}

CommandOutcome Camera::apply(const SetNetworkCommand& command) {
    if (command.mac != m_config.mac)
        return CommandOutcome::NotMine;
    if (silent(Clock::now()))
        return CommandOutcome::Silent;
    if (!m_config.password.empty() &&
        (!command.hasCredentials || command.user != m_config.user || command.password != m_config.password))
        return CommandOutcome::Refused;
    setNetwork(command.ip, command.netmask, command.hasGateway ? std::optional(command.gateway) : std::nullopt);
    return CommandOutcome::Applied;
}
