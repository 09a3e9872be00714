#include "tests/support/FakeCameraNetwork.h"

#include <algorithm>

#include <cstring>
#include <stdexcept>

#include "engine/FirmwareHeader.h"
#include "tests/support/TestSupport.h"

namespace testsupport {

namespace {

// The image starts after the body's first delimiter and its header lines.

bool linkLocal(const Ipv4& ip) {
    return ip[0] == 169 && ip[1] == 254;
}

template <std::size_t N> void put(std::array<char, N>& out, const std::string& text) {
    out.fill(0);
    std::memcpy(out.data(), text.data(), std::min(text.size(), N - 1));
}

} // namespace

FakeCamera& FakeCameraNetwork::AddCamera(FakeCamera camera) {
    std::lock_guard guard(m_lock);
    return m_cameras.emplace_back(std::move(camera));
}

void FakeCameraNetwork::SetReplySink(std::function<void(std::span<const std::uint8_t>)> sink) {
    std::lock_guard guard(m_lock);
    m_sink = std::move(sink);
}

std::vector<std::string> FakeCameraNetwork::Calls(const std::string& prefix) const {
    std::lock_guard guard(m_lock);
    std::vector<std::string> out;
    for (const std::string& line : m_log)
        if (line.starts_with(prefix))
            out.push_back(line);
    return out;
}

std::vector<SetNetworkCommand> FakeCameraNetwork::Commands() const {
    std::lock_guard guard(m_lock);
    return m_commands;
}

FakeCamera& FakeCameraNetwork::Camera(const std::string& name) {
    std::lock_guard guard(m_lock);
    for (FakeCamera& c : m_cameras)
        if (c.name == name)
            return c;
    throw std::out_of_range("no fake camera " + name);
}

FakeCamera* FakeCameraNetwork::at(const std::string& host) {
    for (FakeCamera& c : m_cameras)
        if (FormatIpv4(c.ip) == host)
            return &c;
    return nullptr;
}

void FakeCameraNetwork::log(const std::string& line) {
    m_log.push_back(line);
}

RequestResult FakeCameraNetwork::QueryFirmwareInfo(const CameraAddress& camera, FirmwareInfo& info,
                                                   const StopRequested&) {
    std::lock_guard guard(m_lock);
    log("query " + camera.host);
    FakeCamera* c = at(camera.host);
    if (!c)
        return RequestResult::NoReply;
    c->queries++;
    c->log.push_back("query " + camera.host);
    if (c->silentAfterUpload && c->uploads > 0)
        return RequestResult::NoReply;
    if (c->uploads > 0 && c->silentQueriesAfterUpload > 0) {
        --c->silentQueriesAfterUpload;
        return RequestResult::NoReply;
    }
    RequestResult r = linkLocal(c->ip) ? c->queryWhenMoved : c->queryAtHome;
    if (r == RequestResult::ModelAndVersion) {
        put(info.model, c->model);
        put(info.version, c->version);
    }
    return r;
}

RequestResult FakeCameraNetwork::UploadFirmware(const CameraAddress& camera, const UploadBody& body, UploadReply& reply,
                                                const StopRequested&) {
    reply = UploadReply{};
    std::function<void(FakeCamera&)> hook;
    FakeCamera* c = nullptr;
    {
        std::lock_guard guard(m_lock);
        log("upload " + camera.host);
        c = at(camera.host);
        if (!c)
            return RequestResult::NoReply;
        hook = onUpload;
    }
    if (hook)
        hook(*c);
    std::lock_guard guard(m_lock);
    c->log.push_back("upload " + camera.host);
    reply.bodySent = true;
    reply.answered = !c->uploadUnanswered;
    if (c->upload != RequestResult::ReplyWithoutContent)
        return c->upload;
    c->uploads++;
    if (!c->uploadUnanswered)
        put(reply.burnTime, c->burnTime);
    if (c->versionAfterUpload) {
        c->version = *c->versionAfterUpload;
    } else if (body && body->size() >= kUploadFramingBytes) {
        FirmwareHeader header =
            ParseFirmwareHeader(body->data() + kUploadHeadBytes, body->size() - kUploadFramingBytes);
        c->version = header.version;
    }
    return c->uploadUnanswered ? RequestResult::NoReply : RequestResult::ReplyWithoutContent;
}

RequestResult FakeCameraNetwork::RequestFactoryReset(const CameraAddress& camera, ResetReply& reply,
                                                     const StopRequested&) {
    std::lock_guard guard(m_lock);
    log("reset " + camera.host);
    reply = ResetReply{};
    FakeCamera* c = at(camera.host);
    if (!c)
        return RequestResult::NoReply;
    c->resets++;
    c->log.push_back("reset " + camera.host);
    if (c->reset == RequestResult::NoReply) {
        reply.status = c->resetStatus == 200 ? 0 : c->resetStatus;
        reply.answer = c->resetStatus == 200 ? "" : c->resetAnswer;
    } else if (c->reset == RequestResult::ReplyWithoutContent) {
        reply.status = 200;
        reply.answer = "OK";
        // Its factory settings take it back to the factory address, where it answers after its reboot.
        c->ip = {192, 168, 0, 20};
        c->netmask = {255, 255, 255, 0};
        c->answersSearch = c->backAfterReset;
    }
    return c->reset;
}

int FakeCameraNetwork::BroadcastFromAdapter(const std::uint8_t* datagram, const std::string& adapterAddress) {
    std::span<const std::uint8_t> bytes{datagram, kAdapterDatagramLength};
    SearchRequest search;
    if (SearchRequest::parse(bytes, search) == ParseStatus::Ok) {
        {
            std::lock_guard guard(m_lock);
            log(std::string("search ") + (search.family == CameraFamily::Maker ? "KXEdit" : "PCEdit") + " from " +
                adapterAddress);
        }
        if (search.family == CameraFamily::Generic)
            answerSearch();
        return static_cast<int>(kAdapterDatagramLength);
    }
    applySetNetwork(bytes);
    return static_cast<int>(kAdapterDatagramLength);
}

void FakeCameraNetwork::BroadcastDatagram(const std::uint8_t* datagram, std::size_t length, unsigned) {
    applySetNetwork({datagram, length});
}

void FakeCameraNetwork::applySetNetwork(std::span<const std::uint8_t> datagram) {
    std::lock_guard guard(m_lock);
    SetNetworkCommand command;
    if (SetNetworkCommand::parse(datagram, command) != ParseStatus::Ok) {
        log("junk datagram");
        return;
    }
    m_commands.push_back(command);
    log("set-network " + FormatMac(command.mac) + " " + FormatIpv4(command.ip));
    for (FakeCamera& c : m_cameras) {
        if (c.mac != command.mac)
            continue;
        if (c.lostCommands > 0 || c.hearsCommands == 0) {
            c.lostCommands = std::max(c.lostCommands - 1, 0);
            log("lost set-network " + FormatMac(command.mac));
            continue;
        }
        if (c.hearsCommands > 0)
            --c.hearsCommands;
        c.ip = command.ip;
        c.netmask = command.netmask;
        if (command.hasGateway)
            c.gateway = command.gateway;
        c.moves.push_back(command.ip);
    }
}

void FakeCameraNetwork::answerSearch() {
    std::vector<std::vector<std::uint8_t>> replies;
    std::function<void(std::span<const std::uint8_t>)> sink;
    {
        std::lock_guard guard(m_lock);
        sink = m_sink;
        for (FakeCamera& c : m_cameras) {
            if (!c.answersSearch)
                continue;
            if (c.lostSearches > 0) {
                --c.lostSearches;
                continue;
            }
            DeviceReply r;
            r.family = c.family;
            r.ip = c.ip;
            r.mac = c.mac;
            r.netmask = c.netmask;
            r.gateway = c.gateway;
            r.setName(c.name);
            r.setWebPort(c.webPort);
            r.ifType = c.ifType;
            auto bytes = r.build();
            replies.emplace_back(bytes.begin(), bytes.end());
        }
    }
    if (sink)
        for (const auto& reply : replies)
            sink(reply);
}

ProbeResult FakeCameraNetwork::ProbeAddress(const std::string& target, unsigned, const StopRequested&) {
    std::lock_guard guard(m_lock);
    log("probe " + target);
    if (!canProbe)
        return ProbeResult::Unknown;
    return at(target) != nullptr || arpTaken.contains(target) ? ProbeResult::InUse : ProbeResult::Free;
}

bool FakeCameraNetwork::PingAddress(const std::string& address, const StopRequested&) {
    std::lock_guard guard(m_lock);
    log("ping " + address);
    return at(address) != nullptr || pingable.contains(address);
}

std::optional<AdapterConfig> FakeCameraNetwork::ReadAdapterConfig(unsigned ifindex, const std::string&) {
    std::lock_guard guard(m_lock);
    log("read-adapter " + std::to_string(ifindex));
    return m_adapterReads++ > 0 && adapterConfigLater ? adapterConfigLater : adapterConfig;
}

bool FakeCameraNetwork::EnsureLinkLocalRoute(unsigned ifindex, bool& added) {
    std::lock_guard guard(m_lock);
    added = !routePresent;
    routePresent = true;
    log(std::string("route ") + (added ? "added " : "present ") + std::to_string(ifindex));
    return true;
}

bool FakeCameraNetwork::RemoveLinkLocalRoute(unsigned ifindex) {
    std::lock_guard guard(m_lock);
    routePresent = false;
    log("route removed " + std::to_string(ifindex));
    return true;
}

RouteReclaim FakeCameraNetwork::ReclaimLinkLocalRoute(const std::string& card) {
    std::lock_guard guard(m_lock);
    if (!routePresent || card != "eth0")
        return RouteReclaim::NoneThere;
    if (cardBusy)
        return RouteReclaim::Busy;
    routePresent = false;
    log("route reclaimed " + card);
    return RouteReclaim::Removed;
}

ControllerPlatform FakeBenchPlatform(std::shared_ptr<FakeCameraNetwork> network, const std::string& folder) {
    AdapterData eth0;
    eth0.description = eth0.interfaceName = "eth0";
    eth0.netConnectionStatus = 2;
    eth0.index = 2;
    eth0.ipEnabled = true;
    eth0.ipAddresses = {"192.168.0.10"};
    eth0.hardwareAddress = kBenchCardMac;
    ControllerPlatform platform{[eth0] { return std::vector<AdapterData>{eth0}; }, [] { return 437u; }};
    platform.network = std::move(network);
    platform.listen = false;
    platform.stateFolder = folder + "/state";
    platform.recordsFolder = folder + "/jobs";
    platform.lockScope = UniqueId() + "-";
    return platform;
}

NeighbourForget FakeCameraNetwork::ForgetNeighbour(const std::string& address, unsigned ifindex) {
    std::lock_guard guard(m_lock);
    if (pinnedNeighbours.contains(address)) {
        log("pinned-neighbour " + address + " " + std::to_string(ifindex));
        return NeighbourForget::Pinned;
    }
    log("forget-neighbour " + address + " " + std::to_string(ifindex));
    return NeighbourForget::Forgotten;
}

unsigned FakeCameraNetwork::InterfaceIndex(const std::string& name) {
    return name == "eth0" ? 2 : 0;
}

} // namespace testsupport
