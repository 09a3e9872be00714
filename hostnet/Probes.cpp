#include "hostnet/Probes.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <optional>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "util/Ipv4.h"
#include "util/Trace.h"
#include "util/UniqueFd.h"

namespace {

using Clock = std::chrono::steady_clock;

std::optional<in_addr> parseIpv4(const std::string& text) {
    Ipv4 ip{};
    if (!ParseIpv4(text, ip))
        return std::nullopt;
    in_addr a{};
    a.s_addr = htonl(Ipv4Value(ip));
    return a;
}

// A stop is noticed within this long, however long a probe would wait.
constexpr int kStopSliceMs = 50;

// Milliseconds to wait in the next poll: what is left until the deadline, at most one slice.
int remainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(std::min<long long>(left, kStopSliceMs)) : 0;
}

// The Internet checksum of RFC 1071, which RFC 792 uses for ICMP.
std::uint16_t internetChecksum(const std::uint8_t* data, std::size_t length) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < length; i += 2)
        sum += static_cast<std::uint32_t>(data[i] << 8 | data[i + 1]);
    if (length % 2 != 0)
        sum += static_cast<std::uint32_t>(data[length - 1] << 8);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return htons(static_cast<std::uint16_t>(~sum));
}

constexpr std::size_t kEchoPayload = 32;
constexpr int kEchoAttempts = 4;
constexpr int kEchoTimeoutMs = 1000;

// Sequence numbers differ between calls, so a late reply to an earlier ping cannot pass for ours.
std::atomic<std::uint16_t> g_nextSequence{1};

struct IcmpSocket {
    UniqueFd fd;
    bool raw;
};

// A datagram socket needs no privilege once ping_group_range admits our group; raw needs CAP_NET_RAW.
IcmpSocket openIcmp(IcmpSocketKind kind) {
    if (kind != IcmpSocketKind::Raw) {
        UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP));
        if (fd.valid() || kind == IcmpSocketKind::Datagram)
            return {std::move(fd), false};
    }
    return {UniqueFd(::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP)), true};
}

bool sendEcho(const IcmpSocket& s, const in_addr& target, std::uint16_t id, std::uint16_t sequence) {
    std::uint8_t packet[sizeof(icmphdr) + kEchoPayload] = {};
    icmphdr header{};
    header.type = ICMP_ECHO;
    header.un.echo.id = htons(id); // a datagram socket puts its own identifier here
    header.un.echo.sequence = htons(sequence);
    std::memcpy(packet, &header, sizeof header);
    header.checksum = internetChecksum(packet, sizeof packet);
    std::memcpy(packet, &header, sizeof header);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr = target;
    return ::sendto(s.fd.get(), packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&to), sizeof to) ==
           static_cast<ssize_t>(sizeof packet);
}

// What one echo request brought back.
enum class Echo { Answered, Silent, Elsewhere };

// Only target's echo reply to this request counts as an answer. A report from another host (a router's
// "unreachable", a reply from some other address) means the address is not reachable here: that says
// nothing of whether a station holds it.
// The address this host sends from to reach the target: its own kernel's "unreachable" (no station
// answered ARP on the link) comes from there, and is silence, not another host's answer.
std::optional<in_addr> sourceFor(const in_addr& target) {
    UniqueFd probe(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9);
    to.sin_addr = target;
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (!probe.valid() || ::connect(probe.get(), reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0 ||
        ::getsockname(probe.get(), reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return std::nullopt;
    return local.sin_addr;
}

Echo awaitEchoReply(const IcmpSocket& s, const in_addr& target, std::uint16_t id, std::uint16_t sequence,
                    const StopRequested& stop) {
    const std::optional<in_addr> self = sourceFor(target);
    auto deadline = Clock::now() + std::chrono::milliseconds(kEchoTimeoutMs);
    std::uint8_t buffer[2048];
    Echo heard = Echo::Silent;
    for (;;) {
        if (Stopping(stop) || Clock::now() >= deadline)
            return heard;
        pollfd p{s.fd.get(), POLLIN, 0};
        int ready = ::poll(&p, 1, remainingMs(deadline));
        if (ready <= 0)
            continue;
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        ssize_t n = ::recvfrom(s.fd.get(), buffer, sizeof buffer, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from),
                               &fromLength);
        if (n < 0 && (errno == ENETUNREACH || errno == ECONNREFUSED))
            heard = Echo::Elsewhere; // a datagram socket reports another host's error this way
        if (n <= 0)
            continue;
        std::size_t offset = 0;
        if (s.raw) { // a raw socket hands over the IP header too
            offset = static_cast<std::size_t>(buffer[0] & 0x0F) * 4;
        }
        if (static_cast<std::size_t>(n) < offset + sizeof(icmphdr))
            continue;
        icmphdr reply{};
        std::memcpy(&reply, buffer + offset, sizeof reply);
        if (reply.type == ICMP_DEST_UNREACH || reply.type == ICMP_TIME_EXCEEDED) {
            if (!self || from.sin_addr.s_addr != self->s_addr)
                heard = Echo::Elsewhere;
            continue;
        }
        if (reply.type != ICMP_ECHOREPLY || ntohs(reply.un.echo.sequence) != sequence)
            continue;
        if (s.raw && ntohs(reply.un.echo.id) != id)
            continue;
        if (from.sin_addr.s_addr != target.s_addr) {
            heard = Echo::Elsewhere;
            continue;
        }
        return Echo::Answered;
    }
}

constexpr int kArpAttempts = 3;
constexpr int kArpTimeoutMs = 333;
constexpr std::size_t kArpLength = 28; // Ethernet/IPv4 ARP body, RFC 826

bool interfaceMac(int fd, unsigned ifindex, std::uint8_t mac[6]) {
    ifreq request{};
    if (::if_indextoname(ifindex, request.ifr_name) == nullptr || ::ioctl(fd, SIOCGIFHWADDR, &request) != 0 ||
        request.ifr_hwaddr.sa_family != ARPHRD_ETHER)
        return false;
    std::memcpy(mac, request.ifr_hwaddr.sa_data, 6);
    return true;
}

void buildArpRequest(std::uint8_t packet[kArpLength], const std::uint8_t mac[6], in_addr source, in_addr target) {
    const std::uint8_t head[8] = {0x00, ARPHRD_ETHER, 0x08, 0x00, 6, 4, 0x00, ARPOP_REQUEST};
    std::memcpy(packet, head, sizeof head);
    std::memcpy(packet + 8, mac, 6);             // sender hardware address
    std::memcpy(packet + 14, &source.s_addr, 4); // sender protocol address
    std::memset(packet + 18, 0, 6);              // target hardware address, unknown
    std::memcpy(packet + 24, &target.s_addr, 4); // target protocol address
}

bool isReplyFrom(const std::uint8_t* packet, std::size_t length, in_addr target) {
    const std::uint8_t head[8] = {0x00, ARPHRD_ETHER, 0x08, 0x00, 6, 4, 0x00, ARPOP_REPLY};
    return length >= kArpLength && std::memcmp(packet, head, sizeof head) == 0 &&
           std::memcmp(packet + 14, &target.s_addr, 4) == 0;
}

bool awaitArpReply(int fd, in_addr target, const StopRequested& stop) {
    auto deadline = Clock::now() + std::chrono::milliseconds(kArpTimeoutMs);
    std::uint8_t buffer[256];
    for (;;) {
        if (Stopping(stop) || Clock::now() >= deadline)
            return false;
        pollfd p{fd, POLLIN, 0};
        int ready = ::poll(&p, 1, remainingMs(deadline));
        if (ready <= 0)
            continue;
        sockaddr_ll from{};
        socklen_t fromLength = sizeof from;
        ssize_t n =
            ::recvfrom(fd, buffer, sizeof buffer, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n > 0 && from.sll_pkttype != PACKET_OUTGOING && isReplyFrom(buffer, static_cast<std::size_t>(n), target))
            return true;
    }
}

} // namespace

ProbeResult PingProbe(const std::string& address, IcmpSocketKind kind, const StopRequested& stop) {
    auto target = parseIpv4(address);
    if (!target)
        return ProbeResult::Free;
    IcmpSocket s = openIcmp(kind);
    if (!s.fd.valid()) {
        Trace("Ping %s: no ICMP socket: %s\n", address.c_str(), std::strerror(errno));
        return ProbeResult::Unknown;
    }
    auto id = static_cast<std::uint16_t>(::getpid());
    // A ping that could not leave, or that another host answered, cannot call the address free.
    bool blind = false;
    for (int attempt = 0; attempt < kEchoAttempts && !Stopping(stop); ++attempt) {
        std::uint16_t sequence = g_nextSequence++;
        if (!sendEcho(s, *target, id, sequence)) {
            // An unreachable network fails at once; wait out the attempt all the same.
            Trace("Ping %s: send failed: %s\n", address.c_str(), std::strerror(errno));
            blind = true;
            for (auto end = Clock::now() + std::chrono::milliseconds(kEchoTimeoutMs);
                 Clock::now() < end && !Stopping(stop);)
                ::usleep(kStopSliceMs * 1000);
            continue;
        }
        switch (awaitEchoReply(s, *target, id, sequence, stop)) {
        case Echo::Answered:
            return ProbeResult::InUse;
        case Echo::Elsewhere:
            blind = true;
            break;
        case Echo::Silent:
            break;
        }
    }
    return Stopping(stop) || blind ? ProbeResult::Unknown : ProbeResult::Free;
}

ProbeResult ArpProbeResult(const std::string& source, const std::string& target, unsigned ifindex,
                           const StopRequested& stop) {
    auto targetAddress = parseIpv4(target);
    if (!targetAddress)
        return ProbeResult::Free;
    // RFC 5227 probe: the sender protocol address is all zeros when we have none to claim.
    in_addr sourceAddress = parseIpv4(source).value_or(in_addr{});
    UniqueFd fd(::socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_ARP)));
    if (!fd.valid()) {
        Trace("ARP probe for %s: no packet socket: %s\n", target.c_str(), std::strerror(errno));
        return ProbeResult::Unknown;
    }
    std::uint8_t mac[6];
    if (!interfaceMac(fd.get(), ifindex, mac)) {
        Trace("ARP probe for %s: adapter %u has no Ethernet address\n", target.c_str(), ifindex);
        return ProbeResult::Unknown;
    }
    sockaddr_ll link{};
    link.sll_family = AF_PACKET;
    link.sll_protocol = htons(ETH_P_ARP);
    link.sll_ifindex = static_cast<int>(ifindex);
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&link), sizeof link) != 0) {
        Trace("ARP probe for %s: cannot bind to adapter %u: %s\n", target.c_str(), ifindex, std::strerror(errno));
        return ProbeResult::Unknown;
    }
    link.sll_halen = 6;
    std::memset(link.sll_addr, 0xFF, 6); // Ethernet broadcast
    std::uint8_t request[kArpLength];
    buildArpRequest(request, mac, sourceAddress, *targetAddress);
    for (int attempt = 0; attempt < kArpAttempts && !Stopping(stop); ++attempt) {
        if (::sendto(fd.get(), request, sizeof request, 0, reinterpret_cast<sockaddr*>(&link), sizeof link) < 0) {
            Trace("ARP probe for %s: send failed: %s\n", target.c_str(), std::strerror(errno));
            return ProbeResult::Unknown;
        }
        if (awaitArpReply(fd.get(), *targetAddress, stop))
            return ProbeResult::InUse;
    }
    return Stopping(stop) ? ProbeResult::Unknown : ProbeResult::Free;
}

bool PingAddress(const std::string& address, const StopRequested& stop) {
    return PingProbe(address, IcmpSocketKind::Any, stop) == ProbeResult::InUse;
}

bool ArpProbe(const std::string& source, const std::string& target, unsigned ifindex, const StopRequested& stop) {
    return ArpProbeResult(source, target, ifindex, stop) == ProbeResult::InUse;
}

ProbeResult ProbeAddressInUse(const std::string& target, unsigned ifindex, const StopRequested& stop,
                              const RawProbes& raw) {
    ProbeResult r = raw.arp ? raw.arp(target, ifindex, stop) : ArpProbeResult("", target, ifindex, stop);
    if (r == ProbeResult::Unknown && !Stopping(stop))
        r = NeighbourProbe(target, ifindex, stop);
    if (r == ProbeResult::Unknown && !Stopping(stop))
        r = raw.ping ? raw.ping(target, stop) : PingProbe(target, IcmpSocketKind::Any, stop);
    return r;
}
