#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One adapter's IPv4 set-up as read before a job: what the job must leave as it found it.
struct AdapterConfig {
    unsigned index = 0;                                          // interface index
    bool dhcpEnabled = false;                                    // an IPv4 address holds a finite lease
    std::vector<std::string> addresses, subnetMasks, dnsServers; // dotted text; masks pair with addresses
};

// IPv4 addresses in kernel order, their masks and the IPv4 name servers; nullopt without an IPv4 address.
std::optional<AdapterConfig> ReadAdapterConfig(unsigned ifindex, const std::string& resolvConf = "/etc/resolv.conf");

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
