#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// An IPv4 address as four octets, first octet first.
using Ipv4 = std::array<std::uint8_t, 4>;

// "%d.%d.%d.%d"
std::string FormatIpv4(const Ipv4& ip);

// The one parser of dotted IPv4 text: exactly four decimal numbers 0..255 separated by dots,
// without leading zeros, nothing before or after: FormatIpv4 gives the same text back.
bool ParseIpv4(std::string_view text, Ipv4& out);
std::optional<Ipv4> ParseIpv4(std::string_view text);

// The address as one number, first octet highest, and back.
std::uint32_t Ipv4Value(const Ipv4& ip);
Ipv4 Ipv4FromValue(std::uint32_t value);

// The looser rule of the adapter list: four decimal integers separated by dots, as "%d.%d.%d.%d"
// reads them (white space and signs accepted, no range check). IPv6 text never passes.
bool LooksLikeIpv4(std::string_view text);
