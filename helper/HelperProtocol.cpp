#include "helper/HelperProtocol.h"

#include <algorithm>
#include <cstring>

#include "discovery/WireProtocol.h"

namespace {

constexpr std::uint8_t kMagic[4] = {'F', 'W', 'H', '1'};
constexpr std::size_t kOpAt = 4, kCountAt = 5, kNameAt = 8, kAddressAt = 24, kSourceAt = 28, kPrefixAt = 32,
                      kPortAt = 34, kEntriesAt = 36, kEntryLength = 8;

void put32(std::uint8_t* at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value >> 24);
    at[1] = static_cast<std::uint8_t>(value >> 16);
    at[2] = static_cast<std::uint8_t>(value >> 8);
    at[3] = static_cast<std::uint8_t>(value);
}

std::uint32_t get32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) << 24 | static_cast<std::uint32_t>(at[1]) << 16 |
           static_cast<std::uint32_t>(at[2]) << 8 | at[3];
}

bool allZero(std::span<const std::uint8_t> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

// As the kernel's dev_valid_name, and printable: nothing a trace line or a path could misread.
bool validName(const std::string& name) {
    if (name.empty() || name.size() >= kHelperNameField || name == "." || name == "..")
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) { return c > ' ' && c < 0x7F && c != '/' && c != ':'; });
}

// What each operation carries; everything else must be zero.
struct Fields {
    bool name, address, source, prefix, port, entries;
};

Fields fieldsOf(HelperOp op) {
    switch (op) {
    case HelperOp::AddLinkLocalRoute:
    case HelperOp::RemoveLinkLocalRoute:
        return {true, true, false, true, false, false};
    case HelperOp::RestoreAddresses:
        return {true, false, false, false, false, true};
    case HelperOp::ArpProbe:
        return {true, true, true, false, false, false};
    case HelperOp::RawPing:
        return {false, true, false, false, false, false};
    case HelperOp::ForgetNeighbour:
        return {true, true, false, false, false, false};
    case HelperOp::OpenDiscoverySocket:
        return {false, false, false, false, true, false};
    }
    return {};
}

bool knownOp(std::uint8_t op) {
    return op >= static_cast<std::uint8_t>(HelperOp::AddLinkLocalRoute) &&
           op <= static_cast<std::uint8_t>(HelperOp::OpenDiscoverySocket);
}

// The checks that need nothing but the request itself.
HelperRefusal checkValues(const HelperRequest& r) {
    switch (r.op) {
    case HelperOp::AddLinkLocalRoute:
    case HelperOp::RemoveLinkLocalRoute:
        return r.address == kLinkLocalNetwork && r.prefix == kLinkLocalPrefixLength ? HelperRefusal::None
                                                                                    : HelperRefusal::NotLinkLocalRoute;
    case HelperOp::RestoreAddresses:
        for (std::size_t i = 0; i < r.entries.size(); ++i) {
            if (!IsUnicastHostAddress(r.entries[i].address))
                return HelperRefusal::BadAddress;
            if (r.entries[i].prefix < 1 || r.entries[i].prefix > 32)
                return HelperRefusal::BadPrefix;
            for (std::size_t j = 0; j < i; ++j)
                if (r.entries[j].address == r.entries[i].address)
                    return HelperRefusal::DuplicateAddress;
        }
        return HelperRefusal::None;
    case HelperOp::ArpProbe:
        if (!IsUnicastHostAddress(r.address) || (r.source != 0 && !IsUnicastHostAddress(r.source)))
            return HelperRefusal::BadAddress;
        return HelperRefusal::None;
    case HelperOp::RawPing:
        return IsUnicastHostAddress(r.address) ? HelperRefusal::None : HelperRefusal::BadAddress;
    case HelperOp::ForgetNeighbour:
        return IsLinkLocalHostAddress(r.address) ? HelperRefusal::None : HelperRefusal::BadAddress;
    case HelperOp::OpenDiscoverySocket:
        return r.port == DISCOVERY_PORT ? HelperRefusal::None : HelperRefusal::BadPort;
    }
    return HelperRefusal::UnknownOperation;
}

} // namespace

const char* HelperRefusalText(HelperRefusal refusal) {
    switch (refusal) {
    case HelperRefusal::None:
        return "not refused";
    case HelperRefusal::BadLength:
        return "wrong request length";
    case HelperRefusal::BadMagic:
        return "not a request";
    case HelperRefusal::UnknownOperation:
        return "unknown operation";
    case HelperRefusal::NonzeroPadding:
        return "a field the operation does not use is set";
    case HelperRefusal::BadInterfaceName:
        return "bad interface name";
    case HelperRefusal::BadAddress:
        return "address of a kind the operation does not allow";
    case HelperRefusal::NotLinkLocalRoute:
        return "only the route 169.254.0.0/16 is allowed";
    case HelperRefusal::BadCount:
        return "bad number of addresses";
    case HelperRefusal::BadPrefix:
        return "bad prefix length";
    case HelperRefusal::DuplicateAddress:
        return "an address is given twice";
    case HelperRefusal::BadPort:
        return "only the discovery port is allowed";
    case HelperRefusal::NoSuchInterface:
        return "no such interface";
    case HelperRefusal::LoopbackInterface:
        return "not on the loopback interface";
    case HelperRefusal::SourceNotOnCard:
        return "the sender address is not the card's";
    case HelperRefusal::PassedDescriptor:
        return "a request carries no control data";
    }
    return "unknown refusal";
}

bool IsUnicastHostAddress(std::uint32_t address) {
    const std::uint32_t first = address >> 24;
    return first != 0 && first != 127 && first < 224;
}

bool IsLinkLocalHostAddress(std::uint32_t address) {
    const std::uint32_t host = address & 0xFFFFu;
    return (address & 0xFFFF0000u) == kLinkLocalNetwork && host != 0 && host != 0xFFFFu;
}

std::array<std::uint8_t, kHelperRequestLength> HelperRequest::build() const {
    std::array<std::uint8_t, kHelperRequestLength> out{};
    std::memcpy(out.data(), kMagic, sizeof kMagic);
    out[kOpAt] = static_cast<std::uint8_t>(op);
    out[kCountAt] = static_cast<std::uint8_t>(std::min<std::size_t>(entries.size(), 255));
    std::memcpy(out.data() + kNameAt, interfaceName.data(), std::min(interfaceName.size(), kHelperNameField));
    put32(out.data() + kAddressAt, address);
    put32(out.data() + kSourceAt, source);
    out[kPrefixAt] = prefix;
    out[kPortAt] = static_cast<std::uint8_t>(port >> 8);
    out[kPortAt + 1] = static_cast<std::uint8_t>(port);
    for (std::size_t i = 0; i < entries.size() && i < kHelperMaxEntries; ++i) {
        put32(out.data() + kEntriesAt + i * kEntryLength, entries[i].address);
        out[kEntriesAt + i * kEntryLength + 4] = entries[i].prefix;
    }
    return out;
}

HelperRefusal HelperRequest::parse(std::span<const std::uint8_t> bytes, HelperRequest& request) {
    if (bytes.size() != kHelperRequestLength)
        return HelperRefusal::BadLength;
    if (std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
        return HelperRefusal::BadMagic;
    if (!knownOp(bytes[kOpAt]))
        return HelperRefusal::UnknownOperation;
    HelperRequest r;
    r.op = static_cast<HelperOp>(bytes[kOpAt]);
    const Fields f = fieldsOf(r.op);
    const std::size_t count = bytes[kCountAt];
    if (!allZero(bytes.subspan(6, 2)) || bytes[33] != 0)
        return HelperRefusal::NonzeroPadding;

    const auto name = bytes.subspan(kNameAt, kHelperNameField);
    const auto end = std::find(name.begin(), name.end(), std::uint8_t{0});
    if (end == name.end() || !allZero({end, name.end()}))
        return HelperRefusal::BadInterfaceName;
    r.interfaceName.assign(name.begin(), end);
    if (f.name ? !validName(r.interfaceName) : !r.interfaceName.empty())
        return f.name ? HelperRefusal::BadInterfaceName : HelperRefusal::NonzeroPadding;

    r.address = get32(bytes.data() + kAddressAt);
    r.source = get32(bytes.data() + kSourceAt);
    r.prefix = bytes[kPrefixAt];
    r.port = static_cast<std::uint16_t>(bytes[kPortAt] << 8 | bytes[kPortAt + 1]);
    if ((!f.address && r.address != 0) || (!f.source && r.source != 0) || (!f.prefix && r.prefix != 0) ||
        (!f.port && r.port != 0))
        return HelperRefusal::NonzeroPadding;

    if (f.entries ? (count < 1 || count > kHelperMaxEntries) : count != 0)
        return HelperRefusal::BadCount;
    for (std::size_t i = 0; i < kHelperMaxEntries; ++i) {
        const auto entry = bytes.subspan(kEntriesAt + i * kEntryLength, kEntryLength);
        if (i >= count) {
            if (!allZero(entry))
                return HelperRefusal::NonzeroPadding;
            continue;
        }
        if (!allZero(entry.subspan(5)))
            return HelperRefusal::NonzeroPadding;
        r.entries.push_back({get32(entry.data()), entry[4]});
    }

    if (HelperRefusal why = checkValues(r); why != HelperRefusal::None)
        return why;
    request = std::move(r);
    return HelperRefusal::None;
}

HelperRequest HelperRequest::AddRoute(const std::string& card) {
    HelperRequest r;
    r.op = HelperOp::AddLinkLocalRoute;
    r.interfaceName = card;
    r.address = kLinkLocalNetwork;
    r.prefix = kLinkLocalPrefixLength;
    return r;
}

HelperRequest HelperRequest::RemoveRoute(const std::string& card) {
    HelperRequest r = AddRoute(card);
    r.op = HelperOp::RemoveLinkLocalRoute;
    return r;
}

HelperRequest HelperRequest::Restore(const std::string& card, std::vector<HelperAddress> entries) {
    HelperRequest r;
    r.op = HelperOp::RestoreAddresses;
    r.interfaceName = card;
    r.entries = std::move(entries);
    return r;
}

HelperRequest HelperRequest::Arp(const std::string& card, std::uint32_t target, std::uint32_t source) {
    HelperRequest r;
    r.op = HelperOp::ArpProbe;
    r.interfaceName = card;
    r.address = target;
    r.source = source;
    return r;
}

HelperRequest HelperRequest::Ping(std::uint32_t target) {
    HelperRequest r;
    r.op = HelperOp::RawPing;
    r.address = target;
    return r;
}

HelperRequest HelperRequest::Forget(const std::string& card, std::uint32_t neighbour) {
    HelperRequest r;
    r.op = HelperOp::ForgetNeighbour;
    r.interfaceName = card;
    r.address = neighbour;
    return r;
}

HelperRequest HelperRequest::DiscoverySocket(std::uint16_t port) {
    HelperRequest r;
    r.op = HelperOp::OpenDiscoverySocket;
    r.port = port;
    return r;
}

std::array<std::uint8_t, kHelperReplyLength> HelperReply::build() const {
    std::array<std::uint8_t, kHelperReplyLength> out{};
    out[0] = static_cast<std::uint8_t>(outcome);
    out[1] = static_cast<std::uint8_t>(refusal);
    put32(out.data() + 4, value);
    put32(out.data() + 8, error);
    return out;
}

bool HelperReply::parse(std::span<const std::uint8_t> bytes, HelperReply& reply) {
    if (bytes.size() != kHelperReplyLength || bytes[0] > static_cast<std::uint8_t>(HelperOutcome::Failed) ||
        !allZero(bytes.subspan(2, 2)))
        return false;
    HelperReply r;
    r.outcome = static_cast<HelperOutcome>(bytes[0]);
    r.refusal = static_cast<HelperRefusal>(bytes[1]);
    r.value = get32(bytes.data() + 4);
    r.error = get32(bytes.data() + 8);
    // Only a refusal names a reason.
    if ((r.outcome == HelperOutcome::Refused) == (r.refusal == HelperRefusal::None))
        return false;
    reply = r;
    return true;
}
