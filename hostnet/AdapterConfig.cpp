#include "hostnet/AdapterConfig.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/socket.h>

#include "hostnet/NlHandles.h"
#include "util/Ipv4.h"
#include "util/Trace.h"

namespace {

std::uint32_t maskOf(int prefix) {
    return prefix <= 0 ? 0u : 0xFFFFFFFFu << (32 - prefix);
}

std::string dotted(std::uint32_t hostOrder) {
    in_addr a{htonl(hostOrder)};
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

std::optional<std::uint32_t> parseIpv4(const std::string& text) {
    Ipv4 ip{};
    if (!ParseIpv4(text, ip))
        return std::nullopt;
    return Ipv4Value(ip);
}

// A mask counts only when its one bits are contiguous from the top.
std::optional<int> prefixOf(const std::string& maskText) {
    auto mask = parseIpv4(maskText);
    if (!mask)
        return std::nullopt;
    int prefix = 0;
    while (prefix < 32 && (*mask & (0x80000000u >> prefix)) != 0)
        ++prefix;
    if (maskOf(prefix) != *mask)
        return std::nullopt;
    return prefix;
}

struct CurrentAddresses {
    std::vector<Ipv4Prefix> entries;
    bool leased = false;
};

std::optional<CurrentAddresses> readCurrent(nl_sock* sock, unsigned ifindex, NlCacheHandle& cache) {
    if (rtnl_addr_alloc_cache(sock, &cache.p) < 0)
        return std::nullopt;
    CurrentAddresses current;
    for (nl_object* o = nl_cache_get_first(cache.p); o; o = nl_cache_get_next(o)) {
        auto* addr = reinterpret_cast<rtnl_addr*>(o);
        nl_addr* local = rtnl_addr_get_local(addr);
        if (rtnl_addr_get_family(addr) != AF_INET || rtnl_addr_get_ifindex(addr) != static_cast<int>(ifindex) ||
            !local || nl_addr_get_len(local) != 4)
            continue;
        std::uint32_t value = 0;
        std::memcpy(&value, nl_addr_get_binary_addr(local), 4);
        current.entries.push_back({ntohl(value), rtnl_addr_get_prefixlen(addr)});
        // A leased address has a finite lifetime; a static one lives forever.
        if (rtnl_addr_get_valid_lifetime(addr) != 0xFFFFFFFFu)
            current.leased = true;
    }
    return current;
}

rtnl_addr* findInCache(nl_cache* cache, unsigned ifindex, const Ipv4Prefix& entry) {
    for (nl_object* o = nl_cache_get_first(cache); o; o = nl_cache_get_next(o)) {
        auto* addr = reinterpret_cast<rtnl_addr*>(o);
        nl_addr* local = rtnl_addr_get_local(addr);
        if (rtnl_addr_get_family(addr) != AF_INET || rtnl_addr_get_ifindex(addr) != static_cast<int>(ifindex) ||
            !local || nl_addr_get_len(local) != 4 || rtnl_addr_get_prefixlen(addr) != entry.prefix)
            continue;
        std::uint32_t value = 0;
        std::memcpy(&value, nl_addr_get_binary_addr(local), 4);
        if (ntohl(value) == entry.address)
            return addr;
    }
    return nullptr;
}

int addAddress(nl_sock* sock, unsigned ifindex, const Ipv4Prefix& entry) {
    RtnlAddrHandle addr(rtnl_addr_alloc());
    std::uint32_t net = htonl(entry.address);
    NlAddrHandle local(nl_addr_build(AF_INET, &net, 4));
    if (!addr.p || !local.p)
        return -NLE_NOMEM;
    nl_addr_set_prefixlen(local.p, entry.prefix);
    rtnl_addr_set_ifindex(addr.p, static_cast<int>(ifindex));
    rtnl_addr_set_family(addr.p, AF_INET);
    rtnl_addr_set_local(addr.p, local.p);
    rtnl_addr_set_prefixlen(addr.p, entry.prefix);
    // The usual directed broadcast, as "ip addr add ... brd +" and DHCP clients set it.
    if (entry.prefix <= 30) {
        std::uint32_t broadcast = htonl(entry.address | ~maskOf(entry.prefix));
        NlAddrHandle brd(nl_addr_build(AF_INET, &broadcast, 4));
        if (brd.p)
            rtnl_addr_set_broadcast(addr.p, brd.p);
    }
    return rtnl_addr_add(sock, addr.p, 0);
}

AdapterWrite fail(unsigned ifindex, int error) {
    Trace("Restoring adapter %u failed: %s\n", ifindex, nl_geterror(error));
    return AdapterWrite::Failed;
}

} // namespace

std::vector<std::string> ReadDnsServers(const std::string& resolvConf) {
    std::vector<std::string> servers;
    std::ifstream file(resolvConf);
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream words(line);
        std::string keyword, value;
        if (!(words >> keyword >> value) || keyword != "nameserver")
            continue;
        if (parseIpv4(value))
            servers.push_back(value);
    }
    return servers;
}

std::optional<AdapterConfig> ReadAdapterConfig(unsigned ifindex, const std::string& resolvConf) {
    NlRouteSocket nl;
    NlCacheHandle cache;
    if (!nl.sock)
        return std::nullopt;
    auto current = readCurrent(nl.sock, ifindex, cache);
    if (!current || current->entries.empty())
        return std::nullopt;
    AdapterConfig config;
    config.index = ifindex;
    config.dhcpEnabled = current->leased;
    for (const Ipv4Prefix& e : current->entries) {
        config.addresses.push_back(dotted(e.address));
        config.subnetMasks.push_back(dotted(maskOf(e.prefix)));
    }
    config.dnsServers = ReadDnsServers(resolvConf);
    return config;
}

std::optional<std::vector<Ipv4Prefix>> SavedAddresses(const AdapterConfig& saved) {
    std::vector<Ipv4Prefix> wanted;
    for (std::size_t i = 0; i < saved.addresses.size(); ++i) {
        auto address = parseIpv4(saved.addresses[i]);
        auto prefix = i < saved.subnetMasks.size() ? prefixOf(saved.subnetMasks[i]) : std::nullopt;
        if (!address || !prefix) {
            Trace("Restoring adapter %u failed: bad address %s\n", saved.index, saved.addresses[i].c_str());
            return std::nullopt;
        }
        wanted.push_back({*address, *prefix});
    }
    return wanted;
}

std::optional<bool> AdapterHolds(unsigned ifindex, const std::vector<Ipv4Prefix>& wanted) {
    NlRouteSocket nl;
    NlCacheHandle cache;
    auto current = nl.sock ? readCurrent(nl.sock, ifindex, cache) : std::nullopt;
    if (!current)
        return std::nullopt;
    return current->entries == wanted;
}

// DNS servers are not written back: on Linux resolv.conf belongs to the resolver manager, not to us.
AdapterWrite WriteAdapterConfig(const AdapterConfig& saved) {
    if (saved.dhcpEnabled || saved.addresses.empty())
        return AdapterWrite::Unchanged;
    auto wanted = SavedAddresses(saved);
    return wanted ? WriteAdapterAddresses(saved.index, *wanted) : AdapterWrite::Failed;
}

AdapterWrite WriteAdapterAddresses(unsigned ifindex, const std::vector<Ipv4Prefix>& wanted) {
    NlRouteSocket nl;
    if (!nl.sock)
        return fail(ifindex, -NLE_NOMEM);
    NlCacheHandle cache;
    auto current = readCurrent(nl.sock, ifindex, cache);
    if (!current)
        return fail(ifindex, -NLE_FAILURE);

    // Saved addresses already present in the saved order stay; the rest go, so the order comes out right.
    AdapterWrite result = AdapterWrite::Unchanged;
    std::size_t kept = 0;
    for (const Ipv4Prefix& e : current->entries) {
        bool inOrder = kept < wanted.size() && e == wanted[kept];
        if (inOrder) {
            ++kept;
            continue;
        }
        rtnl_addr* addr = findInCache(cache.p, ifindex, e);
        int err = addr ? rtnl_addr_delete(nl.sock, addr, 0) : 0;
        result = AdapterWrite::Changed;
        // Removing a primary address can take its secondaries with it.
        if (err < 0 && err != -NLE_NOADDR && err != -NLE_OBJ_NOTFOUND)
            return fail(ifindex, err);
    }

    NlCacheHandle after;
    auto now = readCurrent(nl.sock, ifindex, after);
    if (!now)
        return fail(ifindex, -NLE_FAILURE);
    for (const Ipv4Prefix& e : wanted) {
        if (std::find(now->entries.begin(), now->entries.end(), e) != now->entries.end())
            continue;
        int err = addAddress(nl.sock, ifindex, e);
        if (err < 0)
            return fail(ifindex, err);
        result = AdapterWrite::Changed;
    }
    return result;
}
