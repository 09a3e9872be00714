#pragma once

#include <string>
#include <vector>

#include "discovery/WireProtocol.h"

// Gives a network interface of this namespace exactly one IPv4 address, as a camera does after
// a set-network command, with an on-link default route (the gateway is only reported). Runs `ip`.
bool MoveInterfaceAddress(const std::string& iface, const Ipv4& ip, const Ipv4& netmask, const Ipv4& gateway,
                          std::string& error);

// Adds addresses ("A.B.C.D/N") to an interface, or removes them; one `ip -batch` run each.
bool AddInterfaceAddresses(const std::string& iface, const std::vector<std::string>& cidrs, std::string& error);
bool RemoveInterfaceAddresses(const std::string& iface, const std::vector<std::string>& cidrs, std::string& error);
