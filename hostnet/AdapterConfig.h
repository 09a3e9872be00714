#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One adapter's IPv4 set-up as saved before the detour and restored after it.
struct AdapterConfig {
    unsigned index = 0;                                          // interface index
    bool dhcpEnabled = false;                                    // an IPv4 address holds a finite lease
    std::vector<std::string> addresses, subnetMasks, dnsServers; // dotted text; masks pair with addresses
};

// IPv4 addresses in kernel order, their masks and the IPv4 name servers; nullopt without an IPv4 address.
std::optional<AdapterConfig> ReadAdapterConfig(unsigned ifindex, const std::string& resolvConf = "/etc/resolv.conf");

// What writing a saved configuration back did to the adapter.
enum class AdapterWrite { Unchanged, Changed, Failed };

// Makes the IPv4 addresses the saved ones (leased or empty sets left alone); Failed and a trace when that fails.
AdapterWrite WriteAdapterConfig(const AdapterConfig& saved);

// One IPv4 address as the kernel keeps it: host byte order value and prefix length.
struct Ipv4Prefix {
    std::uint32_t address = 0;
    int prefix = 0;
    bool operator==(const Ipv4Prefix&) const = default;
};
// The saved addresses with their masks' prefix lengths, in order; nullopt and a trace when one does not parse.
std::optional<std::vector<Ipv4Prefix>> SavedAddresses(const AdapterConfig& saved);
// Whether the adapter holds exactly these IPv4 addresses in this order now (no privilege needed).
std::optional<bool> AdapterHolds(unsigned ifindex, const std::vector<Ipv4Prefix>& wanted);
// The writing half of WriteAdapterConfig (CAP_NET_ADMIN).
AdapterWrite WriteAdapterAddresses(unsigned ifindex, const std::vector<Ipv4Prefix>& wanted);

// The IPv4 addresses of the "nameserver" lines of a resolv.conf file, in order.
std::vector<std::string> ReadDnsServers(const std::string& resolvConf);

// The on-link route to 169.254.0.0/16 (RFC 3927) on one interface; removes only what it added itself.
class LinkLocalRoute {
public:
    explicit LinkLocalRoute(unsigned ifindex) : m_ifindex(ifindex) {}
    ~LinkLocalRoute() { Remove(); }
    LinkLocalRoute(const LinkLocalRoute&) = delete;
    LinkLocalRoute& operator=(const LinkLocalRoute&) = delete;

    // True when the route is in place afterwards.
    bool Ensure();
    // Removes the route if Ensure added it; true when nothing of ours is left.
    bool Remove();
    bool Added() const { return m_added; }
    // Leaves the route in place when this object goes; RemoveOurs removes it later.
    void Release() { m_added = false; }
    // Deletes the route exactly as Ensure adds it; one that is already gone counts as removed.
    static bool RemoveOurs(unsigned ifindex);
    // Whether a route to 169.254.0.0/16 leads through the interface, and whether one is ours (no privilege needed).
    static bool Present(unsigned ifindex);
    static bool OursPresent(unsigned ifindex);

private:
    unsigned m_ifindex;
    bool m_added = false;
};
