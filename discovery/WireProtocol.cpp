#include "discovery/WireProtocol.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "util/Utf8.h"

namespace {

constexpr char kGenericRequestTag[] = "PCEdit";
constexpr char kMakerRequestTag[] = "KXEdit";
constexpr std::uint8_t kSetNetwork = 1;
constexpr std::uint8_t kSearch = 2;
constexpr std::uint8_t kCredentialsMarker = 0xFD;
constexpr std::size_t kCredentialField = 64;

void copyField(std::uint8_t* dst, const void* src, std::size_t n) {
    std::memcpy(dst, src, n);
}

// Copies a text into a NUL-padded field, leaving room for a terminating NUL; a text too long is cut
// between two characters, never inside one.
void putText(std::uint8_t* field, std::size_t fieldSize, const std::string& text) {
    const std::string fits = CutUtf8(text, std::string::npos, fieldSize - 1);
    std::copy_n(fits.data(), fits.size(), field);
}

std::string getText(const std::uint8_t* field, std::size_t fieldSize) {
    const auto* end = std::find(field, field + fieldSize, 0);
    return std::string(reinterpret_cast<const char*>(field), static_cast<std::size_t>(end - field));
}

bool tagIs(std::span<const std::uint8_t> d, const char* tag) {
    return std::memcmp(d.data(), tag, 6) == 0;
}

} // namespace

std::string FormatMac(const Mac& mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return text;
}

bool ParseMac(const std::string& text, Mac& out) {
    unsigned v[6];
    char tail;
    if (text.size() != 17)
        return false;
    // scanf alone would also take blanks, signs, one-digit parts and a text cut short by a NUL.
    for (std::size_t i = 0; i < text.size(); ++i)
        if (i % 3 == 2 ? text[i] != ':' : !std::isxdigit(static_cast<unsigned char>(text[i])))
            return false;
    if (std::sscanf(text.c_str(), "%2x:%2x:%2x:%2x:%2x:%2x%c", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &tail) != 6)
        return false;
    for (int i = 0; i < 6; ++i)
        out[i] = static_cast<std::uint8_t>(v[i]);
    return true;
}

std::array<std::uint8_t, 200> SearchRequest::build() const {
    std::array<std::uint8_t, 200> d{};
    copyField(d.data(), family == CameraFamily::Maker ? kMakerRequestTag : kGenericRequestTag, 6);
    d[6] = kSearch;
    d[25] = 2;
    // Only the generic request carries the 2 at offset 32.
    d[32] = family == CameraFamily::Maker ? 0 : 2;
    return d;
}

ParseStatus SearchRequest::parse(std::span<const std::uint8_t> d, SearchRequest& out) {
    if (d.size() < 7)
        return ParseStatus::TooShort;
    if (d[6] != kSearch)
        return ParseStatus::Malformed;
    if (tagIs(d, kGenericRequestTag))
        out.family = CameraFamily::Generic;
    else if (tagIs(d, kMakerRequestTag))
        out.family = CameraFamily::Maker;
    else
        return ParseStatus::Malformed;
    return ParseStatus::Ok;
}

int DeviceReply::webPort() const {
    // Like atoi on a text that ends at the first NUL of the four bytes.
    char text[5] = {};
    std::memcpy(text, port.data(), 4);
    const char* p = text;
    while (*p && std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    int value = 0;
    while (*p >= '0' && *p <= '9')
        value = value * 10 + (*p++ - '0');
    return negative ? -value : value;
}

void DeviceReply::setName(const std::string& text) {
    name.fill(0);
    std::memcpy(name.data(), text.data(), std::min<std::size_t>(text.size(), 18));
}

void DeviceReply::setWebPort(int value) {
    port.fill(0);
    char text[16];
    int n = std::snprintf(text, sizeof text, "%d", value);
    std::memcpy(port.data(), text, std::min<std::size_t>(static_cast<std::size_t>(n), 4));
}

std::array<std::uint8_t, kReplyMinimumLength + 13> DeviceReply::build() const {
    std::array<std::uint8_t, kReplyMinimumLength + 13> d{};
    copyField(d.data(), family == CameraFamily::Maker ? "KXCam" : "IPCam", 5);
    copyField(d.data() + 10, ip.data(), 4);
    copyField(d.data() + 14, mac.data(), 6);
    copyField(d.data() + 20, netmask.data(), 4);
    copyField(d.data() + 27, gateway.data(), 4);
    copyField(d.data() + 32, name.data(), 18);
    copyField(d.data() + 51, port.data(), 4);
    d[62] = ifType;
    return d;
}

ParseStatus DeviceReply::parse(std::span<const std::uint8_t> d, DeviceReply& out) {
    if (d.size() < kReplyMinimumLength)
        return ParseStatus::TooShort;
    DeviceReply r;
    if (std::memcmp(d.data(), "IPCa", 4) == 0 && d[4] == 'm')
        r.family = CameraFamily::Generic;
    else if (std::memcmp(d.data(), "KXCa", 4) == 0 && d[4] == 'm')
        r.family = CameraFamily::Maker;
    else
        return ParseStatus::Malformed;
    // Bytes past the received length read as zero, whatever the datagram's size.
    auto at = [&](std::size_t i) -> std::uint8_t { return i < d.size() ? d[i] : 0; };
    for (std::size_t i = 0; i < 4; ++i) {
        r.ip[i] = at(10 + i);
        r.netmask[i] = at(20 + i);
        r.gateway[i] = at(27 + i);
        r.port[i] = static_cast<char>(at(51 + i));
    }
    for (std::size_t i = 0; i < 6; ++i)
        r.mac[i] = at(14 + i);
    for (std::size_t i = 0; i < 18; ++i)
        r.name[i] = static_cast<char>(at(32 + i));
    r.ifType = at(62);
    if (r.ip == Ipv4{})
        return ParseStatus::Malformed;
    out = r;
    return ParseStatus::Ok;
}

std::array<std::uint8_t, 200> SetNetworkCommand::build() const {
    std::array<std::uint8_t, 200> d{};
    copyField(d.data(), family == CameraFamily::Generic ? kGenericRequestTag : kMakerRequestTag, 6);
    d[6] = kSetNetwork;
    if (interfaceName)
        copyField(d.data() + 7, "eth1", 4);
    copyField(d.data() + 11, ip.data(), 4);
    copyField(d.data() + 15, mac.data(), 6);
    copyField(d.data() + 21, netmask.data(), 4);
    if (hasGateway) {
        d[25] = 1;
        copyField(d.data() + 26, "gw", 2);
        copyField(d.data() + 28, gateway.data(), 4);
    }
    d[32] = flag32;
    copyField(d.data() + 33, name.data(), 18);
    if (hasCredentials) {
        d[64] = kCredentialsMarker;
        putText(d.data() + 65, kCredentialField, user);
        putText(d.data() + 65 + kCredentialField, kCredentialField, password);
    }
    return d;
}

ParseStatus SetNetworkCommand::parse(std::span<const std::uint8_t> d, SetNetworkCommand& out) {
    if (d.size() < kAnyAddressDatagramLength)
        return ParseStatus::TooShort;
    if (d[6] != kSetNetwork)
        return ParseStatus::Malformed;
    SetNetworkCommand c;
    if (tagIs(d, kGenericRequestTag))
        c.family = CameraFamily::Generic;
    else if (tagIs(d, kMakerRequestTag))
        c.family = CameraFamily::Maker;
    else
        return ParseStatus::Malformed;
    c.interfaceName = std::memcmp(d.data() + 7, "eth1", 4) == 0;
    std::memcpy(c.ip.data(), d.data() + 11, 4);
    std::memcpy(c.mac.data(), d.data() + 15, 6);
    std::memcpy(c.netmask.data(), d.data() + 21, 4);
    c.hasGateway = d[25] == 1 && d[26] == 'g' && d[27] == 'w';
    std::memcpy(c.gateway.data(), d.data() + 28, 4);
    c.flag32 = d[32];
    std::memcpy(c.name.data(), d.data() + 33, 18);
    c.hasCredentials = d[64] == kCredentialsMarker;
    if (c.hasCredentials) {
        // The last byte of each field is the terminator, so a field without one still gives 63 characters.
        c.user = getText(d.data() + 65, kCredentialField - 1);
        c.password = getText(d.data() + 65 + kCredentialField, kCredentialField - 1);
    }
    out = c;
    return ParseStatus::Ok;
}
