#pragma once

#include <string>
#include <vector>

#include "discovery/WireProtocol.h"

// Gives a network interface of this namespace exactly one IPv4 address, as a camera does after
// a set-network command, and the routes of SetCameraRoutes. Runs `ip`.
bool MoveInterfaceAddress(const std::string& iface, const Ipv4& ip, const Ipv4& netmask, const Ipv4& gateway,
                          std::string& routes, std::string& error);

// Routes as a camera's simple stack keeps them: a default via the gateway when it is a usable
// address of the subnet (onlink when it lies outside and the kernel takes it, none when no host can
// hold it), and on-link 0.0.0.0/1 and 128.0.0.0/1, more specific than any default, so the camera
// still answers every sender on its link whatever its subnet. routes says which default it got.
bool SetCameraRoutes(const std::string& iface, const Ipv4& ip, const Ipv4& netmask, const Ipv4& gateway,
                     std::string& routes, std::string& error);

// Adds addresses ("A.B.C.D/N") to an interface, or removes them; one `ip -batch` run each.
bool AddInterfaceAddresses(const std::string& iface, const std::vector<std::string>& cidrs, std::string& error);
bool RemoveInterfaceAddresses(const std::string& iface, const std::vector<std::string>& cidrs, std::string& error);
