#include <arpa/inet.h>
#include <chrono>
#include <cstring>
#include <linux/neighbour.h>
#include <netinet/in.h>
#include <netlink/route/neighbour.h>
#include <sys/socket.h>
#include <thread>

#include "hostnet/NlHandles.h"
#include "hostnet/Probes.h"
#include "util/Ipv4.h"
#include "util/Trace.h"
#include "util/UniqueFd.h"

namespace {

using Steady = std::chrono::steady_clock;

// An ARP answer on a LAN takes microseconds; the kernel itself gives up after about three seconds.
constexpr auto kResolveWait = std::chrono::milliseconds(1000);
constexpr auto kPollEvery = std::chrono::milliseconds(25);
constexpr std::uint16_t kDiscardPort = 9; // RFC 863: whatever answers, nothing is served

enum class Neighbour { Absent, Resolving, Reachable, Failed, Stale };

Neighbour lookUp(nl_sock* sock, unsigned ifindex, const Ipv4& target) {
    NlCacheHandle cache;
    if (rtnl_neigh_alloc_cache(sock, &cache.p) < 0)
        return Neighbour::Absent;
    std::uint32_t value = htonl(Ipv4Value(target));
    NlAddrHandle address(nl_addr_build(AF_INET, &value, 4));
    if (!address.p)
        return Neighbour::Absent;
    rtnl_neigh* entry = rtnl_neigh_get(cache.p, static_cast<int>(ifindex), address.p);
    if (!entry)
        return Neighbour::Absent;
    int state = rtnl_neigh_get_state(entry);
    rtnl_neigh_put(entry);
    if ((state & (NUD_REACHABLE | NUD_PERMANENT | NUD_NOARP)) != 0)
        return Neighbour::Reachable;
    if ((state & NUD_FAILED) != 0)
        return Neighbour::Failed;
    if ((state & NUD_INCOMPLETE) != 0)
        return Neighbour::Resolving;
    return Neighbour::Stale; // STALE, DELAY, PROBE: someone held it lately
}

} // namespace

ProbeResult NeighbourProbe(const std::string& target, unsigned ifindex, const StopRequested& stop) {
    Ipv4 address{};
    if (!ParseIpv4(target, address))
        return ProbeResult::Free;
    NlRouteSocket nl;
    if (!nl.sock)
        return ProbeResult::Unknown;
    UniqueFd s(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kDiscardPort);
    to.sin_addr.s_addr = htonl(Ipv4Value(address));
    // An empty datagram is enough to make the kernel ask the segment who holds the address.
    if (!s.valid() || ::connect(s.get(), reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0 ||
        ::send(s.get(), "", 0, 0) < 0) {
        Trace("Neighbour probe for %s: cannot send: %s\n", target.c_str(), std::strerror(errno));
        return ProbeResult::Unknown;
    }
    bool seen = false;
    Neighbour last = Neighbour::Absent;
    for (auto end = Steady::now() + kResolveWait; Steady::now() < end && !Stopping(stop);) {
        last = lookUp(nl.sock, ifindex, address);
        seen = seen || last != Neighbour::Absent;
        if (last == Neighbour::Reachable)
            return ProbeResult::InUse;
        if (last == Neighbour::Failed)
            return ProbeResult::Free;
        std::this_thread::sleep_for(kPollEvery);
    }
    if (Stopping(stop))
        return ProbeResult::Unknown;
    // No entry on this adapter: the datagram went another way, so the segment was never asked.
    if (!seen) {
        Trace("Neighbour probe for %s: no route through adapter %u\n", target.c_str(), ifindex);
        return ProbeResult::Unknown;
    }
    // Still asking after the wait means nobody answered; an old entry counts as taken, to be safe.
    return last == Neighbour::Resolving ? ProbeResult::Free : ProbeResult::InUse;
}

NeighbourForget ForgetNeighbour(const std::string& address, unsigned ifindex) {
    Ipv4 ip{};
    if (!ParseIpv4(address, ip))
        return NeighbourForget::Failed;
    NlRouteSocket nl;
    std::uint32_t value = htonl(Ipv4Value(ip));
    NlAddrHandle destination(nl_addr_build(AF_INET, &value, 4));
    RtnlNeighHandle entry(rtnl_neigh_alloc());
    NlCacheHandle cache;
    if (!nl.sock || !destination.p || !entry.p || rtnl_neigh_alloc_cache(nl.sock, &cache.p) < 0)
        return NeighbourForget::Failed;
    rtnl_neigh* held = rtnl_neigh_get(cache.p, static_cast<int>(ifindex), destination.p);
    if (!held)
        return NeighbourForget::Forgotten;
    const int state = rtnl_neigh_get_state(held);
    rtnl_neigh_put(held);
    // An entry the administrator pinned is theirs: only the kernel's own guesses may go.
    if ((state & (NUD_PERMANENT | NUD_NOARP)) != 0)
        return NeighbourForget::Pinned;
    rtnl_neigh_set_ifindex(entry.p, static_cast<int>(ifindex));
    rtnl_neigh_set_family(entry.p, AF_INET);
    rtnl_neigh_set_dst(entry.p, destination.p);
    int err = rtnl_neigh_delete(nl.sock, entry.p, 0);
    if (err < 0 && err != -NLE_OBJ_NOTFOUND && err != -NLE_NOADDR) {
        Trace("Forgetting the neighbour %s on adapter %u failed: %s\n", address.c_str(), ifindex, nl_geterror(err));
        return NeighbourForget::Failed;
    }
    return NeighbourForget::Forgotten;
}
