#pragma once

#include <netlink/netlink.h>
#include <netlink/route/addr.h>
#include <netlink/route/neighbour.h>
#include <netlink/route/route.h>

// Owning handles for the libnl objects the adapter helpers use, so every early return frees them.
struct NlRouteSocket {
    nl_sock* sock = nl_socket_alloc();
    NlRouteSocket() {
        if (sock && nl_connect(sock, NETLINK_ROUTE) < 0) {
            nl_socket_free(sock);
            sock = nullptr;
        }
    }
    ~NlRouteSocket() {
        if (sock)
            nl_socket_free(sock);
    }
    NlRouteSocket(const NlRouteSocket&) = delete;
    NlRouteSocket& operator=(const NlRouteSocket&) = delete;
};

template <typename T, void (*Free)(T*)> struct NlHandle {
    T* p = nullptr;
    NlHandle() = default;
    explicit NlHandle(T* owned) : p(owned) {}
    ~NlHandle() {
        if (p)
            Free(p);
    }
    NlHandle(const NlHandle&) = delete;
    NlHandle& operator=(const NlHandle&) = delete;
};

using NlCacheHandle = NlHandle<nl_cache, nl_cache_free>;
using NlAddrHandle = NlHandle<nl_addr, nl_addr_put>;
using RtnlAddrHandle = NlHandle<rtnl_addr, rtnl_addr_put>;
using RtnlRouteHandle = NlHandle<rtnl_route, rtnl_route_put>;
using RtnlNeighHandle = NlHandle<rtnl_neigh, rtnl_neigh_put>;
