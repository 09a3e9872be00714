// The requests the privileged helper accepts: each operation's bytes, and every way a request is refused.
#include "helper/HelperProtocol.h"

#include <gtest/gtest.h>

namespace {

constexpr std::uint32_t ip(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    return static_cast<std::uint32_t>(a) << 24 | static_cast<std::uint32_t>(b) << 16 |
           static_cast<std::uint32_t>(c) << 8 | d;
}

using Bytes = std::array<std::uint8_t, kHelperRequestLength>;

HelperRefusal refusalOf(std::span<const std::uint8_t> bytes) {
    HelperRequest untouched = HelperRequest::Ping(ip(10, 0, 0, 1));
    HelperRequest r = untouched;
    HelperRefusal why = HelperRequest::parse(bytes, r);
    if (why != HelperRefusal::None) {
        EXPECT_EQ(r, untouched) << "a refused request leaves the output alone";
    }
    return why;
}

HelperRefusal refusalOf(const HelperRequest& request) {
    const Bytes bytes = request.build();
    return refusalOf(bytes);
}

// One valid request of each operation.
std::vector<HelperRequest> everyOperation() {
    return {HelperRequest::AddRoute("eth0"),
            HelperRequest::RemoveRoute("enp0s31f6"),
            HelperRequest::Reclaim("eth1"),
            HelperRequest::Arp("eth0", ip(169, 254, 7, 9), 0),
            HelperRequest::Arp("eth0", ip(192, 168, 0, 20), ip(169, 254, 3, 4)),
            HelperRequest::Ping(ip(192, 168, 0, 20)),
            HelperRequest::Forget("wlan0", ip(169, 254, 0, 1)),
            HelperRequest::DiscoverySocket(4000)};
}

TEST(HelperProtocol, EveryOperationRoundTripsToTheSameBytes) {
    for (const HelperRequest& request : everyOperation()) {
        SCOPED_TRACE(static_cast<int>(request.op));
        const Bytes bytes = request.build();
        HelperRequest parsed;
        ASSERT_EQ(HelperRequest::parse(bytes, parsed), HelperRefusal::None);
        EXPECT_EQ(parsed, request);
        EXPECT_EQ(parsed.build(), bytes);
    }
    // The layout, byte for byte, of one request: what the helper of another build must read alike.
    const Bytes route = HelperRequest::AddRoute("eth0").build();
    EXPECT_EQ(std::string(route.begin(), route.begin() + 4), "FWH1");
    EXPECT_EQ(route[4], 1);
    EXPECT_EQ(std::string(route.begin() + 8, route.begin() + 12), "eth0");
    EXPECT_EQ(route[24], 169);
    EXPECT_EQ(route[25], 254);
    EXPECT_EQ(route[32], 16);
    const Bytes socket = HelperRequest::DiscoverySocket(4000).build();
    EXPECT_EQ(socket[34], 0x0F);
    EXPECT_EQ(socket[35], 0xA0);
}

TEST(HelperProtocol, RefusesMalformedFraming) {
    Bytes good = HelperRequest::AddRoute("eth0").build();
    EXPECT_EQ(refusalOf(std::span<const std::uint8_t>(good).first(kHelperRequestLength - 1)), HelperRefusal::BadLength);
    std::vector<std::uint8_t> longer(good.begin(), good.end());
    longer.push_back(0);
    EXPECT_EQ(refusalOf(longer), HelperRefusal::BadLength);
    EXPECT_EQ(refusalOf(std::span<const std::uint8_t>()), HelperRefusal::BadLength);

    Bytes magic = good;
    magic[3] = '2';
    EXPECT_EQ(refusalOf(magic), HelperRefusal::BadMagic);
    // 3 wrote a whole address list back to a card: retired, it is no operation at all.
    for (int op : {0, 3, 9, 255}) {
        Bytes unknown = good;
        unknown[4] = static_cast<std::uint8_t>(op);
        EXPECT_EQ(refusalOf(unknown), HelperRefusal::UnknownOperation) << op;
    }
    for (std::size_t reserved : {5, 6, 7, 33, 36, 44, 163}) {
        Bytes padded = good;
        padded[reserved] = 1;
        EXPECT_EQ(refusalOf(padded), HelperRefusal::NonzeroPadding) << reserved;
    }
}

TEST(HelperProtocol, RefusesFieldsTheOperationDoesNotUse) {
    HelperRequest withName = HelperRequest::Ping(ip(192, 168, 0, 20));
    withName.interfaceName = "eth0";
    HelperRequest withSource = HelperRequest::AddRoute("eth0");
    withSource.source = ip(192, 168, 0, 10);
    HelperRequest withPort = HelperRequest::Forget("eth0", ip(169, 254, 1, 1));
    withPort.port = 4000;
    HelperRequest withPrefix = HelperRequest::Arp("eth0", ip(192, 168, 0, 20), 0);
    withPrefix.prefix = 24;
    HelperRequest withAddress = HelperRequest::DiscoverySocket(4000);
    withAddress.address = ip(192, 168, 0, 20);
    for (const HelperRequest& r : {withName, withSource, withPort, withPrefix, withAddress})
        EXPECT_EQ(refusalOf(r), HelperRefusal::NonzeroPadding) << static_cast<int>(r.op);
}

TEST(HelperProtocol, RefusesBadInterfaceNames) {
    for (const std::string name :
         {"", ".", "..", "eth/0", "eth:0", "eth 0", "eth\t0", "eth\x7f", "\xc3\xa9th0", "fifteen-chars-xy"}) {
        EXPECT_EQ(refusalOf(HelperRequest::AddRoute(name)), HelperRefusal::BadInterfaceName) << name;
    }
    EXPECT_EQ(refusalOf(HelperRequest::AddRoute("fifteen-chars-x")), HelperRefusal::None);
    // The name field must end in NUL and hold nothing after it.
    Bytes unterminated = HelperRequest::AddRoute("eth0").build();
    std::fill(unterminated.begin() + 8, unterminated.begin() + 24, 'a');
    EXPECT_EQ(refusalOf(unterminated), HelperRefusal::BadInterfaceName);
    Bytes hidden = HelperRequest::AddRoute("eth0").build();
    hidden[8 + 6] = 'x';
    EXPECT_EQ(refusalOf(hidden), HelperRefusal::BadInterfaceName);
}

TEST(HelperProtocol, RefusesAddressesOfTheWrongKind) {
    HelperRequest otherPrefix = HelperRequest::AddRoute("eth0");
    otherPrefix.prefix = 8;
    HelperRequest otherNetwork = HelperRequest::RemoveRoute("eth0");
    otherNetwork.address = ip(10, 0, 0, 0);
    HelperRequest hostRoute = HelperRequest::AddRoute("eth0");
    hostRoute.address = ip(169, 254, 0, 1);
    HelperRequest reclaimElsewhere = HelperRequest::Reclaim("eth0");
    reclaimElsewhere.address = ip(0, 0, 0, 0);
    reclaimElsewhere.prefix = 0;
    for (const HelperRequest& r : {otherPrefix, otherNetwork, hostRoute, reclaimElsewhere})
        EXPECT_EQ(refusalOf(r), HelperRefusal::NotLinkLocalRoute);

    for (std::uint32_t bad : {ip(0, 0, 0, 0), ip(0, 1, 2, 3), ip(127, 0, 0, 1), ip(224, 0, 0, 251), ip(240, 0, 0, 1),
                              ip(255, 255, 255, 255)}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(refusalOf(HelperRequest::Ping(bad)), HelperRefusal::BadAddress);
        EXPECT_EQ(refusalOf(HelperRequest::Arp("eth0", bad, 0)), HelperRefusal::BadAddress);
        if (bad != 0) {
            EXPECT_EQ(refusalOf(HelperRequest::Arp("eth0", ip(192, 168, 0, 20), bad)), HelperRefusal::BadAddress);
        }
    }
    // An ARP sender speaks for the card: another station's address would poison its neighbours' caches.
    for (std::uint32_t sender : {ip(192, 168, 0, 1), ip(203, 0, 113, 7), ip(169, 254, 0, 0)})
        EXPECT_EQ(refusalOf(HelperRequest::Arp("eth0", ip(192, 168, 0, 20), sender)), HelperRefusal::BadAddress)
            << sender;
    // Only link-local host addresses have neighbour entries the tool made.
    for (std::uint32_t notLinkLocal :
         {ip(192, 168, 0, 21), ip(169, 254, 0, 0), ip(169, 254, 255, 255), ip(169, 255, 0, 1), ip(169, 253, 9, 9)})
        EXPECT_EQ(refusalOf(HelperRequest::Forget("eth0", notLinkLocal)), HelperRefusal::BadAddress) << notLinkLocal;
    EXPECT_EQ(refusalOf(HelperRequest::Forget("eth0", ip(169, 254, 255, 254))), HelperRefusal::None);
}

TEST(HelperProtocol, OpensOnlyTheDiscoveryPort) {
    for (int port : {0, 80, 3999, 4001, 65535})
        EXPECT_EQ(refusalOf(HelperRequest::DiscoverySocket(static_cast<std::uint16_t>(port))), HelperRefusal::BadPort)
            << port;
}

TEST(HelperProtocol, RepliesRoundTripAndMalformedOnesAreRejected) {
    for (const HelperReply& reply :
         {HelperReply::Done(1), HelperReply::Refused(HelperRefusal::NoSuchInterface), HelperReply::Failed(98)}) {
        HelperReply parsed;
        ASSERT_TRUE(HelperReply::parse(reply.build(), parsed));
        EXPECT_EQ(parsed, reply);
    }
    auto good = HelperReply::Done(7).build();
    HelperReply out;
    EXPECT_FALSE(HelperReply::parse(std::span<const std::uint8_t>(good).first(11), out));
    auto outcome = good;
    outcome[0] = 3;
    EXPECT_FALSE(HelperReply::parse(outcome, out));
    auto padded = good;
    padded[2] = 1;
    EXPECT_FALSE(HelperReply::parse(padded, out));
    auto doneWithReason = good;
    doneWithReason[1] = 5;
    EXPECT_FALSE(HelperReply::parse(doneWithReason, out)) << "only a refusal names a reason";
    auto refusedWithout = HelperReply::Refused(HelperRefusal::BadMagic).build();
    refusedWithout[1] = 0;
    EXPECT_FALSE(HelperReply::parse(refusedWithout, out));
}

} // namespace
