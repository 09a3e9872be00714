#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <string>

// 255.255.255.255:4000, where every discovery datagram goes.
sockaddr_in DiscoveryBroadcastAddress();

// Sends exactly 194 bytes to 255.255.255.255:4000 from the adapter's own address, so the
// datagram leaves that adapter. Returns the bytes sent or a negative value.
int BroadcastFromAdapter(const std::uint8_t* datagram, const std::string& adapterAddress);

// Sends a datagram to 255.255.255.255:4000 from any address. A limited broadcast from an
// unbound socket leaves by the default route, so a nonzero interface index pins it.
void BroadcastDatagram(const std::uint8_t* datagram, std::size_t length, int interfaceIndex = 0);
