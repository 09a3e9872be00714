#include <ifaddrs.h>
#include <linux/capability.h>
#include <net/if.h>

#include <cerrno>

#include "discovery/DiscoverySocket.h"
#include "helper/HelperCapabilities.h"
#include "helper/HelperHost.h"
#include "hostnet/AdapterConfig.h"
#include "hostnet/CardLock.h"
#include "util/Ipv4.h"

namespace {

std::string dotted(std::uint32_t hostOrder) {
    return FormatIpv4(Ipv4FromValue(hostOrder));
}

} // namespace

HelperHost::Card SystemHelperHost::Find(const std::string& name, unsigned& ifindex) {
    ifindex = ::if_nametoindex(name.c_str());
    if (ifindex == 0)
        return Card::Missing;
    ifaddrs* all = nullptr;
    if (::getifaddrs(&all) != 0)
        return Card::Missing;
    bool loopback = false;
    for (const ifaddrs* a = all; a; a = a->ifa_next)
        loopback = loopback || (name == a->ifa_name && (a->ifa_flags & IFF_LOOPBACK) != 0);
    ::freeifaddrs(all);
    return loopback ? Card::Loopback : Card::Usable;
}

bool SystemHelperHost::AddRoute(unsigned ifindex, bool& added) {
    EffectiveCapability admin(CAP_NET_ADMIN);
    LinkLocalRoute route(ifindex);
    const bool ok = route.Ensure();
    added = route.Added();
    route.Release(); // the service keeps it in mind and removes it
    return ok;
}

bool SystemHelperHost::RemoveMarkedRoute(unsigned ifindex) {
    EffectiveCapability admin(CAP_NET_ADMIN);
    return LinkLocalRoute::RemoveOurs(ifindex);
}

bool SystemHelperHost::MarkedRoutePresent(unsigned ifindex) {
    return LinkLocalRoute::OursPresent(ifindex);
}

NeighbourForget SystemHelperHost::ForgetNeighbour(std::uint32_t address, unsigned ifindex) {
    EffectiveCapability admin(CAP_NET_ADMIN);
    return ::ForgetNeighbour(dotted(address), ifindex);
}

ProbeResult SystemHelperHost::Arp(std::uint32_t target, unsigned ifindex, const StopRequested& stop) {
    EffectiveCapability raw(CAP_NET_RAW);
    return ArpProbeResult("", dotted(target), ifindex, stop);
}

ProbeResult SystemHelperHost::Ping(std::uint32_t target, const StopRequested& stop) {
    EffectiveCapability raw(CAP_NET_RAW);
    return PingProbe(dotted(target), IcmpSocketKind::Raw, stop);
}

UniqueFd SystemHelperHost::DiscoverySocket(std::uint16_t port, bool& full, int& error) {
    EffectiveCapability admin(CAP_NET_ADMIN);
    std::string problem;
    UniqueFd socket = OpenDiscoverySocket(port, problem);
    error = socket.valid() ? 0 : errno;
    full = socket.valid() && HasFullReceiveBuffer(socket.get());
    return socket;
}

Result<CardLock> SystemHelperHost::LockCard(const std::string& name) {
    return CardLock::Take(name);
}
