#include "helper/HelperProtocol.h"

#include <algorithm>
#include <cstring>

#include "discovery/WireProtocol.h"

namespace {

constexpr std::uint8_t kMagic[4] = {'F', 'W', 'H', '1'};
constexpr std::size_t kOpAt = 4, kNameAt = 8, kAddressAt = 24, kSourceAt = 28, kPrefixAt = 32, kPortAt = 34,
                      kReservedAt = 36;

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
    bool name, address, source, prefix, port;
};

Fields fieldsOf(HelperOp op) {
    switch (op) {
    case HelperOp::AddLinkLocalRoute:
    case HelperOp::RemoveLinkLocalRoute:
    case HelperOp::ReclaimLinkLocalRoute:
        return {true, true, false, true, false};
    case HelperOp::ArpProbe:
        return {true, true, true, false, false};
    case HelperOp::RawPing:
        return {false, true, false, false, false};
    case HelperOp::ForgetNeighbour:
        return {true, true, false, false, false};
    case HelperOp::OpenDiscoverySocket:
        return {false, false, false, false, true};
    }
    return {};
}

bool knownOp(std::uint8_t op) {
    switch (static_cast<HelperOp>(op)) {
    case HelperOp::AddLinkLocalRoute:
    case HelperOp::RemoveLinkLocalRoute:
    case HelperOp::ArpProbe:
    case HelperOp::RawPing:
    case HelperOp::ForgetNeighbour:
    case HelperOp::OpenDiscoverySocket:
    case HelperOp::ReclaimLinkLocalRoute:
        return true;
    }
    return false;
}

// The checks that need nothing but the request itself.
HelperRefusal checkValues(const HelperRequest& r) {
    switch (r.op) {
    case HelperOp::AddLinkLocalRoute:
    case HelperOp::RemoveLinkLocalRoute:
    case HelperOp::ReclaimLinkLocalRoute:
        return r.address == kLinkLocalNetwork && r.prefix == kLinkLocalPrefixLength ? HelperRefusal::None
                                                                                    : HelperRefusal::NotLinkLocalRoute;
    case HelperOp::ArpProbe:
        // A sender address other than none (RFC 5227) can only be a link-local one the helper added.
        if (!IsUnicastHostAddress(r.address) || (r.source != 0 && !IsLinkLocalHostAddress(r.source)))
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
    case HelperRefusal::BadPort:
        return "only the discovery port is allowed";
    case HelperRefusal::NoSuchInterface:
        return "no such interface";
    case HelperRefusal::LoopbackInterface:
        return "not on the loopback interface";
    case HelperRefusal::SourceNotOnCard:
        return "the sender address is not one the helper added";
    case HelperRefusal::PassedDescriptor:
        return "a request carries no control data";
    case HelperRefusal::OtherCard:
        return "this helper serves another card";
    case HelperRefusal::NothingAdded:
        return "nothing this helper added is there to undo";
    case HelperRefusal::PinnedNeighbour:
        return "a permanent or no-ARP neighbour entry is the administrator's";
    case HelperRefusal::SocketGiven:
        return "this helper has passed its one discovery socket";
    case HelperRefusal::CardBusy:
        return "a job is running on the card";
    case HelperRefusal::AlreadyAdded:
        return "this helper's own route stands there";
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
    std::memcpy(out.data() + kNameAt, interfaceName.data(), std::min(interfaceName.size(), kHelperNameField));
    put32(out.data() + kAddressAt, address);
    put32(out.data() + kSourceAt, source);
    out[kPrefixAt] = prefix;
    out[kPortAt] = static_cast<std::uint8_t>(port >> 8);
    out[kPortAt + 1] = static_cast<std::uint8_t>(port);
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
    if (!allZero(bytes.subspan(5, 3)) || bytes[33] != 0 || !allZero(bytes.subspan(kReservedAt)))
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

HelperRequest HelperRequest::Reclaim(const std::string& card) {
    HelperRequest r = AddRoute(card);
    r.op = HelperOp::ReclaimLinkLocalRoute;
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
