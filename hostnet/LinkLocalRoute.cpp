#include "hostnet/AdapterConfig.h"

#include <arpa/inet.h>
#include <cstdint>
#include <linux/rtnetlink.h>
#include <netlink/route/nexthop.h>
#include <sys/socket.h>

#include "hostnet/NlHandles.h"
#include "util/Trace.h"

namespace {

constexpr std::uint32_t kLinkLocalNet = 0xA9FE0000u; // 169.254.0.0, RFC 3927
constexpr int kLinkLocalPrefix = 16;
// Our own routing protocol number, unused by the standard ones (see /etc/iproute2/rt_protos): a
// delete that names it can only ever take away the route this tool added, never one of the system's.
constexpr std::uint8_t kOurRouteProtocol = 241;

bool isLinkLocalNet(nl_addr* dst) {
    if (!dst || nl_addr_get_family(dst) != AF_INET || nl_addr_get_prefixlen(dst) != kLinkLocalPrefix ||
        nl_addr_get_len(dst) != 4)
        return false;
    return *static_cast<const std::uint32_t*>(nl_addr_get_binary_addr(dst)) == htonl(kLinkLocalNet);
}

bool hasNexthopOn(rtnl_route* route, int ifindex) {
    for (int i = 0; i < rtnl_route_get_nnexthops(route); ++i)
        if (rtnl_route_nh_get_ifindex(rtnl_route_nexthop_n(route, i)) == ifindex)
            return true;
    return false;
}

// The route exactly as Ensure adds it, so that Remove deletes that one and no other.
rtnl_route* buildRoute(unsigned ifindex) {
    rtnl_route* route = rtnl_route_alloc();
    std::uint32_t net = htonl(kLinkLocalNet);
    NlAddrHandle dst(nl_addr_build(AF_INET, &net, 4));
    rtnl_nexthop* hop = rtnl_route_nh_alloc();
    if (!route || !dst.p || !hop) {
        if (route)
            rtnl_route_put(route);
        if (hop)
            rtnl_route_nh_free(hop);
        return nullptr;
    }
    nl_addr_set_prefixlen(dst.p, kLinkLocalPrefix);
    rtnl_route_set_family(route, AF_INET);
    rtnl_route_set_dst(route, dst.p);
    rtnl_route_set_table(route, RT_TABLE_MAIN);
    rtnl_route_set_scope(route, RT_SCOPE_LINK);
    rtnl_route_set_protocol(route, kOurRouteProtocol);
    rtnl_route_set_type(route, RTN_UNICAST);
    rtnl_route_nh_set_ifindex(hop, static_cast<int>(ifindex));
    rtnl_route_add_nexthop(route, hop); // the route owns the hop from here
    return route;
}

// Which route to 169.254.0.0/16 through the interface the main table holds: none, another's, ours.
enum class Held { None, Other, Ours, Unreadable };

Held linkLocalRouteOn(nl_sock* sock, unsigned ifindex) {
    NlCacheHandle routes;
    if (!sock || rtnl_route_alloc_cache(sock, AF_INET, 0, &routes.p) < 0) {
        Trace("Link-local route on adapter %u: cannot read routes\n", ifindex);
        return Held::Unreadable;
    }
    Held held = Held::None;
    for (nl_object* o = nl_cache_get_first(routes.p); o; o = nl_cache_get_next(o)) {
        auto* route = reinterpret_cast<rtnl_route*>(o);
        if (rtnl_route_get_table(route) != RT_TABLE_MAIN || !isLinkLocalNet(rtnl_route_get_dst(route)) ||
            !hasNexthopOn(route, static_cast<int>(ifindex)))
            continue;
        if (rtnl_route_get_protocol(route) == kOurRouteProtocol)
            return Held::Ours;
        held = Held::Other;
    }
    return held;
}

} // namespace

bool LinkLocalRoute::Ensure() {
    if (m_added)
        return true;
    NlRouteSocket nl;
    Held held = linkLocalRouteOn(nl.sock, m_ifindex);
    if (held == Held::Unreadable)
        return false;
    if (held != Held::None)
        return true;
    RtnlRouteHandle route(buildRoute(m_ifindex));
    if (!route.p)
        return false;
    // No NLM_F_EXCL: a route to the same network on another interface may stand beside ours.
    int err = rtnl_route_add(nl.sock, route.p, 0);
    if (err < 0) {
        Trace("Adding the link-local route on adapter %u failed: %s\n", m_ifindex, nl_geterror(err));
        return false;
    }
    m_added = true;
    return true;
}

bool LinkLocalRoute::Present(unsigned ifindex) {
    NlRouteSocket nl;
    Held held = linkLocalRouteOn(nl.sock, ifindex);
    return held == Held::Other || held == Held::Ours;
}

bool LinkLocalRoute::OursPresent(unsigned ifindex) {
    NlRouteSocket nl;
    // Unreadable counts as present: the delete then says what went wrong.
    Held held = linkLocalRouteOn(nl.sock, ifindex);
    return held == Held::Ours || held == Held::Unreadable;
}

bool LinkLocalRoute::Remove() {
    if (!m_added)
        return true;
    if (!RemoveOurs(m_ifindex))
        return false;
    m_added = false;
    return true;
}

bool LinkLocalRoute::RemoveOurs(unsigned ifindex) {
    NlRouteSocket nl;
    RtnlRouteHandle route(buildRoute(ifindex));
    int err = nl.sock && route.p ? rtnl_route_delete(nl.sock, route.p, 0) : -NLE_NOMEM;
    // A route that vanished with its interface is gone all the same.
    if (err < 0 && err != -NLE_OBJ_NOTFOUND && err != -NLE_NODEV) {
        Trace("Removing the link-local route on adapter %u failed: %s\n", ifindex, nl_geterror(err));
        return false;
    }
    return true;
}
