#pragma once

#include <string>

#include "discovery/WireProtocol.h"

// Gives a network interface of this namespace exactly one IPv4 address, as a camera does after
// a set-network command, with an on-link default route (the gateway is only reported). Runs `ip`.
bool MoveInterfaceAddress(const std::string& iface, const Ipv4& ip, const Ipv4& netmask, const Ipv4& gateway,
                          std::string& error);
