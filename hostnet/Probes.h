#pragma once

#include <string>

#include "util/StopRequested.h"

// What a probe learnt about an address on the segment; Unknown when it had no way to ask.
enum class ProbeResult { InUse, Free, Unknown };

// Up to 4 ICMP echo requests (RFC 792), 1000 ms each; true once the address answers, false at once for bad text.
bool PingAddress(const std::string& address, const StopRequested& stop = {});

// Up to 3 ARP requests (RFC 826), 333 ms each; true on target's reply. No source: RFC 5227 probe. CAP_NET_RAW.
bool ArpProbe(const std::string& source, const std::string& target, unsigned ifindex, const StopRequested& stop = {});

// Asks the kernel to resolve the address on the adapter (a datagram to its discard port) and reads
// the answer from the neighbour table: no privilege needed. Unknown when no route leads there
// through the adapter.
ProbeResult NeighbourProbe(const std::string& target, unsigned ifindex, const StopRequested& stop = {});

// Whether some station on the adapter's segment holds the address, by the first method that can
// tell: an ARP probe (needs CAP_NET_RAW), the kernel's own resolution read back from its neighbour
// table (needs no privilege, only a route to the address through the adapter), an ICMP echo.
ProbeResult ProbeAddressInUse(const std::string& target, unsigned ifindex, const StopRequested& stop = {});
