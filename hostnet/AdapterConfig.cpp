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

struct Ipv4Prefix {
    std::uint32_t address = 0;
    int prefix = 0;
};

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
