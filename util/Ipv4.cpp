#include "util/Ipv4.h"

#include <cstdio>
#include <string>

std::string FormatIpv4(const Ipv4& ip) {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", ip[0], ip[1], ip[2], ip[3]);
    return text;
}

bool ParseIpv4(std::string_view text, Ipv4& out) {
    Ipv4 value{};
    std::size_t i = 0;
    for (std::size_t octet = 0; octet < 4; ++octet) {
        if (octet > 0) {
            if (i >= text.size() || text[i] != '.')
                return false;
            ++i;
        }
        unsigned number = 0;
        std::size_t digits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 4) {
            number = number * 10 + static_cast<unsigned>(text[i] - '0');
            ++i;
            ++digits;
        }
        // A leading zero reads as octal to other tools: only the one plain spelling is accepted.
        if (digits == 0 || digits > 3 || number > 255 || (digits > 1 && text[i - digits] == '0'))
            return false;
        value[octet] = static_cast<std::uint8_t>(number);
    }
    if (i != text.size())
        return false;
    out = value;
    return true;
}

std::optional<Ipv4> ParseIpv4(std::string_view text) {
    Ipv4 ip{};
    if (!ParseIpv4(text, ip))
        return std::nullopt;
    return ip;
}

std::uint32_t Ipv4Value(const Ipv4& ip) {
    return static_cast<std::uint32_t>(ip[0]) << 24 | static_cast<std::uint32_t>(ip[1]) << 16 |
           static_cast<std::uint32_t>(ip[2]) << 8 | ip[3];
}

Ipv4 Ipv4FromValue(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
            static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

bool LooksLikeIpv4(std::string_view text) {
    const std::string copy(text); // sscanf needs a terminated string
    int a, b, c, d;
    return std::sscanf(copy.c_str(), "%d.%d.%d.%d", &a, &b, &c, &d) == 4;
}
