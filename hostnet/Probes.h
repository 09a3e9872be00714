#pragma once

#include <functional>
#include <string>

#include "util/StopRequested.h"

// What a probe learnt about an address on the segment; Unknown when it had no way to ask.
enum class ProbeResult { InUse, Free, Unknown };

// Which ICMP socket a ping may use: a datagram socket needs only net.ipv4.ping_group_range, a raw one CAP_NET_RAW.
enum class IcmpSocketKind { Any, Datagram, Raw };

// Up to 4 ICMP echo requests (RFC 792), 1000 ms each; Free at once for bad text, Unknown without a socket.
ProbeResult PingProbe(const std::string& address, IcmpSocketKind kind, const StopRequested& stop = {});
// PingProbe on any socket: true once the address answers.
bool PingAddress(const std::string& address, const StopRequested& stop = {});

// Up to 3 ARP requests (RFC 826), 333 ms each; true on target's reply. No source: RFC 5227 probe. CAP_NET_RAW.
bool ArpProbe(const std::string& source, const std::string& target, unsigned ifindex, const StopRequested& stop = {});
// The same, Unknown when no packet socket can be had (no CAP_NET_RAW) or the adapter is not Ethernet.
ProbeResult ArpProbeResult(const std::string& source, const std::string& target, unsigned ifindex,
                           const StopRequested& stop = {});

// Asks the kernel to resolve the address on the adapter (a datagram to its discard port) and reads
// the answer from the neighbour table: no privilege needed. Unknown when no route leads there
// through the adapter.
ProbeResult NeighbourProbe(const std::string& target, unsigned ifindex, const StopRequested& stop = {});

// What became of a neighbour entry that was to be forgotten.
enum class NeighbourForget {
    Forgotten, // deleted, or there was none
    Pinned,    // permanent or no-ARP: the administrator's, left as it is
    Failed,
};

// Deletes the kernel's dynamic neighbour entry of the address on the adapter (CAP_NET_ADMIN).
NeighbourForget ForgetNeighbour(const std::string& address, unsigned ifindex);

// The two steps of ProbeAddressInUse that need CAP_NET_RAW, when another process does them; empty: this one.
struct RawProbes {
    std::function<ProbeResult(const std::string& target, unsigned ifindex, const StopRequested& stop)> arp;
    std::function<ProbeResult(const std::string& target, const StopRequested& stop)> ping;
};

// Whether some station on the adapter's segment holds the address, by the first method that can
// tell: an ARP probe (needs CAP_NET_RAW), the kernel's own resolution read back from its neighbour
// table (needs no privilege, only a route to the address through the adapter), an ICMP echo.
ProbeResult ProbeAddressInUse(const std::string& target, unsigned ifindex, const StopRequested& stop = {},
                              const RawProbes& raw = {});
