#include <arpa/inet.h>
#include <net/if.h>
#include <sys/socket.h>

#include "discovery/Broadcast.h"
#include "discovery/WireProtocol.h"
#include "engine/CameraNetwork.h"
#include "hostnet/CardLock.h"
#include "hostnet/HelperClient.h"
#include "hostnet/ProbeWire.h"
#include "hostnet/Probes.h"
#include "util/Ipv4.h"
#include "util/Trace.h"

namespace {

// The kernel's name of the interface, which the helper's requests carry; empty when it is gone.
std::string nameOf(unsigned ifindex) {
    char name[IF_NAMESIZE] = {};
    return ifindex != 0 && ::if_indextoname(ifindex, name) ? name : "";
}

std::optional<std::uint32_t> valueOf(const std::string& address) {
    Ipv4 ip{};
    if (!ParseIpv4(address, ip))
        return std::nullopt;
    return Ipv4Value(ip);
}

bool done(const std::optional<HelperReply>& reply) {
    return reply && reply->outcome == HelperOutcome::Done;
}

ProbeResult probeOf(const std::optional<HelperReply>& reply) {
    return done(reply) ? ProbeFromWire(reply->value) : ProbeResult::Unknown;
}

bool isDatagramSocket(int fd) {
    int type = 0;
    socklen_t length = sizeof type;
    return ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) == 0 && type == SOCK_DGRAM;
}

} // namespace

SystemCameraNetwork::SystemCameraNetwork() : SystemCameraNetwork(DefaultHelperPath()) {}

SystemCameraNetwork::SystemCameraNetwork(const std::string& helperPath)
    : m_helper(std::make_unique<HelperClient>(helperPath)) {}

SystemCameraNetwork::~SystemCameraNetwork() = default;

RequestResult SystemCameraNetwork::QueryFirmwareInfo(const CameraAddress& camera, FirmwareInfo& info,
                                                     const StopRequested& stop) {
    return ::QueryFirmwareInfo(camera, info, stop);
}

RequestResult SystemCameraNetwork::UploadFirmware(const CameraAddress& camera, const UploadBody& body,
                                                  UploadReply& reply, const StopRequested& stop) {
    return ::UploadFirmware(camera, body, reply, stop);
}

RequestResult SystemCameraNetwork::RequestFactoryReset(const CameraAddress& camera, ResetReply& reply,
                                                       const StopRequested& stop) {
    return ::RequestFactoryReset(camera, reply, stop);
}

int SystemCameraNetwork::BroadcastFromAdapter(const std::uint8_t* datagram, const std::string& adapterAddress) {
    return ::BroadcastFromAdapter(datagram, adapterAddress);
}

void SystemCameraNetwork::BroadcastDatagram(const std::uint8_t* datagram, std::size_t length, unsigned ifindex) {
    ::BroadcastDatagram(datagram, length, static_cast<int>(ifindex));
}

ProbeResult SystemCameraNetwork::ProbeAddress(const std::string& target, unsigned ifindex, const StopRequested& stop) {
    if (CurrentNetworkRights().netRaw)
        return ProbeAddressInUse(target, ifindex, stop);
    RawProbes raw{
        [this](const std::string& t, unsigned i, const StopRequested& s) { return arpThroughHelper(t, i, s); },
        [this](const std::string& t, const StopRequested& s) { return pingWithoutRawSocket(t, s); }};
    return ProbeAddressInUse(target, ifindex, stop, raw);
}

bool SystemCameraNetwork::PingAddress(const std::string& address, const StopRequested& stop) {
    if (CurrentNetworkRights().netRaw)
        return ::PingAddress(address, stop);
    return pingWithoutRawSocket(address, stop) == ProbeResult::InUse;
}

std::optional<HelperReply> SystemCameraNetwork::callHelper(const HelperRequest& request, const StopRequested& stop,
                                                           UniqueFd* passed) {
    // A helper that its file shows cannot help (missing, not ours to run, no capabilities) is not
    // started at all: the start's note has said why.
    if (InspectHelper(m_helper->Path()).helper != HelperState::Ready)
        return std::nullopt;
    return m_helper->Call(request, stop, passed);
}

ProbeResult SystemCameraNetwork::arpThroughHelper(const std::string& target, unsigned ifindex,
                                                  const StopRequested& stop) {
    auto address = valueOf(target);
    if (!address)
        return ProbeResult::Free;
    return probeOf(callHelper(HelperRequest::Arp(nameOf(ifindex), *address, 0), stop));
}

// An ICMP datagram socket needs only net.ipv4.ping_group_range; the raw one is the helper's.
ProbeResult SystemCameraNetwork::pingWithoutRawSocket(const std::string& target, const StopRequested& stop) {
    ProbeResult r = PingProbe(target, IcmpSocketKind::Datagram, stop);
    auto address = valueOf(target);
    if (r != ProbeResult::Unknown || Stopping(stop) || !address)
        return r;
    return probeOf(callHelper(HelperRequest::Ping(*address), stop));
}

std::optional<AdapterConfig> SystemCameraNetwork::ReadAdapterConfig(unsigned ifindex, const std::string& resolvConf) {
    return ::ReadAdapterConfig(ifindex, resolvConf);
}

bool SystemCameraNetwork::EnsureLinkLocalRoute(unsigned ifindex, bool& added) {
    added = false;
    if (CurrentNetworkRights().netAdmin) {
        LinkLocalRoute route(ifindex);
        bool ok = route.Ensure();
        added = route.Added();
        // The route stays when this object goes: the controller removes it at the end of the job.
        route.Release();
        return ok;
    }
    if (LinkLocalRoute::Present(ifindex))
        return true;
    auto reply = callHelper(HelperRequest::AddRoute(nameOf(ifindex)));
    added = done(reply) && reply->value == 1;
    return done(reply);
}

bool SystemCameraNetwork::RemoveLinkLocalRoute(unsigned ifindex) {
    if (CurrentNetworkRights().netAdmin)
        return LinkLocalRoute::RemoveOurs(ifindex);
    // A route that vanished with its interface is gone all the same.
    const std::string name = nameOf(ifindex);
    if (name.empty() || !LinkLocalRoute::OursPresent(ifindex))
        return true;
    auto reply = callHelper(HelperRequest::RemoveRoute(name));
    // The helper that added it has ended, and took it with it; a marked route there now is another's.
    if (reply && reply->refusal == HelperRefusal::NothingAdded)
        return true;
    return done(reply);
}

RouteReclaim SystemCameraNetwork::ReclaimLinkLocalRoute(const std::string& card) {
    const unsigned ifindex = InterfaceIndex(card);
    // A route that vanished with its interface is gone all the same.
    if (ifindex == 0 || !LinkLocalRoute::OursPresent(ifindex))
        return RouteReclaim::NoneThere;
    if (CurrentNetworkRights().netAdmin) {
        auto lock = CardLock::Take(card);
        if (!lock)
            return RouteReclaim::Busy;
        return LinkLocalRoute::RemoveOurs(ifindex) ? RouteReclaim::Removed : RouteReclaim::Failed;
    }
    auto reply = callHelper(HelperRequest::Reclaim(card));
    if (reply && reply->refusal == HelperRefusal::CardBusy)
        return RouteReclaim::Busy;
    if (!done(reply))
        return RouteReclaim::Failed;
    return reply->value == 1 ? RouteReclaim::Removed : RouteReclaim::NoneThere;
}

NeighbourForget SystemCameraNetwork::ForgetNeighbour(const std::string& address, unsigned ifindex) {
    if (CurrentNetworkRights().netAdmin)
        return ::ForgetNeighbour(address, ifindex);
    auto value = valueOf(address);
    if (!value)
        return NeighbourForget::Failed;
    auto reply = callHelper(HelperRequest::Forget(nameOf(ifindex), *value));
    if (reply && reply->refusal == HelperRefusal::PinnedNeighbour)
        return NeighbourForget::Pinned;
    return done(reply) ? NeighbourForget::Forgotten : NeighbourForget::Failed;
}

UniqueFd SystemCameraNetwork::OpenDiscoverySocket(std::uint16_t port, std::string& error) {
    UniqueFd own = ::OpenDiscoverySocket(port, error);
    if (!own.valid() || port != DISCOVERY_PORT || HasFullReceiveBuffer(own.get()))
        return own;
    UniqueFd passed;
    if (done(callHelper(HelperRequest::DiscoverySocket(port), {}, &passed)) && passed.valid() &&
        isDatagramSocket(passed.get()))
        return passed;
    // Large bursts can lose replies then, as the README's Privileges section says.
    Trace("The discovery socket keeps the system's receive buffer limit (net.core.rmem_max)\n");
    return own;
}

unsigned SystemCameraNetwork::InterfaceIndex(const std::string& name) {
    return name.empty() ? 0 : ::if_nametoindex(name.c_str());
}

NetworkRights SystemCameraNetwork::Rights() {
    NetworkRights own = CurrentNetworkRights();
    if (own.netAdmin && own.netRaw)
        return own;
    NetworkRights helper = InspectHelper(m_helper->Path());
    helper.netAdmin = helper.netAdmin || own.netAdmin;
    helper.netRaw = helper.netRaw || own.netRaw;
    return helper;
}
