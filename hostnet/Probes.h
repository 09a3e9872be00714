#pragma once

#include <string>

// Up to 4 ICMP echo requests (RFC 792), 1000 ms each; true once the address answers, false at once for bad text.
bool PingAddress(const std::string& address);

// Up to 3 ARP requests (RFC 826), 333 ms each; true on target's reply. No source: RFC 5227 probe. CAP_NET_RAW.
bool ArpProbe(const std::string& source, const std::string& target, unsigned ifindex);
