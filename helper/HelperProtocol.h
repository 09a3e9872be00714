#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// What the front ends may ask flashwell-helper, the one program that holds CAP_NET_ADMIN and
// CAP_NET_RAW. One SOCK_SEQPACKET message each way; every request has the same fixed layout, and
// the parser refuses anything that is not exactly one of the operations below with its fields.
//
// Request, 164 bytes, integers in network byte order:
//    0   4  "FWH1"
//    4   1  operation
//    5   1  zero (it counted the addresses of a retired operation)
//    6   2  zero
//    8  16  interface name, NUL-padded, 1 to 15 characters
//   24   4  address: route destination; ARP, ping or neighbour target
//   28   4  ARP sender address, 0 for an RFC 5227 probe
//   32   1  prefix length of the route destination
//   33   1  zero
//   34   2  UDP port of the discovery socket
//   36 128  zero (reserved)
//
// A helper serves one job on one card: the first request that names a card binds it, and a request
// naming another card is refused. It changes nothing on the card but what it adds itself (the
// route, marked with its own protocol number), and takes that away again when asked, when its input
// ends or when it is told to stop.
//
// Reply, 12 bytes: outcome (1), refusal (1), zero (2), value (4), error number (4); the discovery
// socket rides along as SCM_RIGHTS.

inline constexpr std::size_t kHelperRequestLength = 164;
inline constexpr std::size_t kHelperReplyLength = 12;
inline constexpr std::size_t kHelperNameField = 16;             // IFNAMSIZ
inline constexpr std::uint32_t kLinkLocalNetwork = 0xA9FE0000u; // 169.254.0.0/16, RFC 3927
inline constexpr std::uint8_t kLinkLocalPrefixLength = 16;

// Number 3 wrote back a whole address list; it is retired and refused as unknown.
enum class HelperOp : std::uint8_t {
    AddLinkLocalRoute = 1,     // the on-link route 169.254.0.0/16 on the card; value 1 when this call added it
    RemoveLinkLocalRoute = 2,  // undo: the route this helper added, and only that
    ArpProbe = 4,              // who holds the address on the card's segment; value: HelperProbe
    RawPing = 5,               // ICMP echo through a raw socket; value: HelperProbe
    ForgetNeighbour = 6,       // a dynamic neighbour entry of a link-local address on the card
    OpenDiscoverySocket = 7,   // UDP 0.0.0.0:4000 with the 16 MiB receive buffer, passed back; once
    ReclaimLinkLocalRoute = 8, // a marked route a dead job left on the card, while no job runs there;
                               // value 1 when one was removed
};

// Why a request was refused before anything was done. Stable numbers: they travel in replies.
enum class HelperRefusal : std::uint8_t {
    None = 0,
    BadLength = 1,
    BadMagic = 2,
    UnknownOperation = 3,
    NonzeroPadding = 4, // a reserved byte, or a field the operation does not use, is not zero
    BadInterfaceName = 5,
    BadAddress = 6, // not an address of the kind the operation allows
    NotLinkLocalRoute = 7,
    // 8 to 10 judged the address lists of the retired write-back.
    BadPort = 11,
    NoSuchInterface = 12,
    LoopbackInterface = 13,
    SourceNotOnCard = 14,  // an ARP sender address that is not one the helper added
    PassedDescriptor = 15, // a request carried a file descriptor or other control data
    OtherCard = 16,        // the helper already serves another card
    NothingAdded = 17,     // an undo of what this helper did not add
    PinnedNeighbour = 18,  // a permanent or no-ARP neighbour entry: the administrator's
    SocketGiven = 19,      // this helper already passed its one discovery socket
    CardBusy = 20,         // a job is running on the card: what is marked there is its own
    AlreadyAdded = 21,     // a reclaim by a helper whose own route stands there
};

enum class HelperOutcome : std::uint8_t { Done = 0, Refused = 1, Failed = 2 };
enum class HelperProbe : std::uint32_t { InUse = 0, Free = 1, Unknown = 2 };

// A text for trace lines, such as "no such interface".
const char* HelperRefusalText(HelperRefusal refusal);

struct HelperRequest {
    HelperOp op = HelperOp::AddLinkLocalRoute;
    std::string interfaceName;
    std::uint32_t address = 0; // host byte order
    std::uint32_t source = 0;  // host byte order
    std::uint8_t prefix = 0;
    std::uint16_t port = 0;

    bool operator==(const HelperRequest&) const = default;

    // The bytes of this request; a request that parse() refuses still builds, so tests can send it.
    std::array<std::uint8_t, kHelperRequestLength> build() const;
    // Fills request only when the bytes are one well-formed request (HelperRefusal::None).
    static HelperRefusal parse(std::span<const std::uint8_t> bytes, HelperRequest& request);

    static HelperRequest AddRoute(const std::string& card);
    static HelperRequest RemoveRoute(const std::string& card);
    static HelperRequest Reclaim(const std::string& card);
    static HelperRequest Arp(const std::string& card, std::uint32_t target, std::uint32_t source);
    static HelperRequest Ping(std::uint32_t target);
    static HelperRequest Forget(const std::string& card, std::uint32_t neighbour);
    static HelperRequest DiscoverySocket(std::uint16_t port);
};

struct HelperReply {
    HelperOutcome outcome = HelperOutcome::Failed;
    HelperRefusal refusal = HelperRefusal::None;
    std::uint32_t value = 0;
    std::uint32_t error = 0; // errno of a failure, where one tells more

    bool operator==(const HelperReply&) const = default;

    std::array<std::uint8_t, kHelperReplyLength> build() const;
    // False when the bytes are not one reply.
    static bool parse(std::span<const std::uint8_t> bytes, HelperReply& reply);

    static HelperReply Done(std::uint32_t value = 0) { return {HelperOutcome::Done, HelperRefusal::None, value, 0}; }
    static HelperReply Refused(HelperRefusal why) { return {HelperOutcome::Refused, why, 0, 0}; }
    static HelperReply Failed(std::uint32_t error = 0) {
        return {HelperOutcome::Failed, HelperRefusal::None, 0, error};
    }
};

// A host address that may be a target or an address of a card: not 0.0.0.0/8, loopback,
// multicast, reserved or the limited broadcast.
bool IsUnicastHostAddress(std::uint32_t address);
// 169.254.0.1 to 169.254.255.254 (RFC 3927).
bool IsLinkLocalHostAddress(std::uint32_t address);
