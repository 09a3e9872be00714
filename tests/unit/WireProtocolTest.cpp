// Byte layouts of the discovery datagrams, checked against fixed offsets rather than the codec.
#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "discovery/DeviceInfo.h"
#include "discovery/DeviceRows.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void put(Bytes& d, std::size_t at, const std::string& text) {
    std::memcpy(d.data() + at, text.data(), text.size());
}

template <class Buffer> std::string text(const Buffer& d, std::size_t at, std::size_t n) {
    return std::string(reinterpret_cast<const char*>(d.data() + at), n);
}

// A reply laid out by hand: ip 192.168.0.20, mac 02:00:00:00:00:01, mask /24, gateway .1, "Lobby", port 8080.
Bytes handReply(const std::string& tag = "IPCam", std::size_t length = 63) {
    Bytes d(std::max<std::size_t>(length, 63), 0);
    put(d, 0, tag);
    const std::uint8_t fields[] = {192, 168, 0, 20, 2, 0, 0, 0, 0, 1, 255, 255, 255, 0, 0, 0, 0, 192, 168, 0, 1};
    std::memcpy(d.data() + 10, fields, sizeof fields);
    put(d, 32, "Lobby");
    put(d, 51, "8080");
    d.resize(length);
    return d;
}

// Parses and tells every field in one line, or why the datagram was refused.
std::string parsed(const Bytes& d) {
    DeviceReply r;
    ParseStatus status = DeviceReply::parse({d.data(), d.size()}, r);
    if (status != ParseStatus::Ok)
        return status == ParseStatus::TooShort ? "too short" : "malformed";
    return std::string(r.family == CameraFamily::Maker ? "maker " : "generic ") + FormatIpv4(r.ip) + " " +
           FormatMac(r.mac) + " " + FormatIpv4(r.netmask) + " " + FormatIpv4(r.gateway) + " " + r.name.data() + " " +
           std::to_string(r.webPort()) + " " + std::to_string(r.ifType);
}

} // namespace

TEST(WireProtocolTest, SearchRequestLayout) {
    for (bool generic : {true, false}) {
        SCOPED_TRACE(generic ? "PCEdit" : "KXEdit");
        auto d = SearchRequest{generic ? CameraFamily::Generic : CameraFamily::Maker}.build();
        EXPECT_EQ(text(d, 0, 6), generic ? "PCEdit" : "KXEdit");
        for (std::size_t i = 6; i < d.size(); ++i)
            EXPECT_EQ(d[i], (i == 6 || i == 25 || (i == 32 && generic)) ? 2 : 0) << "byte " << i;
    }
}

TEST(WireProtocolTest, DeviceReplyFieldsAndAcceptance) {
    EXPECT_EQ(parsed(handReply()), "generic 192.168.0.20 02:00:00:00:00:01 255.255.255.0 192.168.0.1 Lobby 8080 0");
    Bytes wifi = handReply("KXCam");
    wifi[62] = kWifiInterface;
    EXPECT_EQ(parsed(wifi), "maker 192.168.0.20 02:00:00:00:00:01 255.255.255.0 192.168.0.1 Lobby 8080 175");
    EXPECT_EQ(parsed(handReply("IPCam", 50)),
              "generic 192.168.0.20 02:00:00:00:00:01 255.255.255.0 192.168.0.1 Lobby 0 0")
        << "50 bytes are enough; port and ifType lie beyond them";
    EXPECT_EQ(parsed(handReply("IPCam", 49)), "too short");
    for (const char* tag : {"IPCaM", "KXCaM", "XXCam", "PCEdi"})
        EXPECT_EQ(parsed(handReply(tag)), "malformed") << "tag " << tag;
    Bytes zeroIp = handReply();
    std::fill_n(zeroIp.begin() + 10, 4, 0);
    EXPECT_EQ(parsed(zeroIp), "malformed") << "an all-zero ip is no camera";
}

TEST(WireProtocolTest, WebPortReadsLikeAtoiOfFourBytes) {
    const std::pair<std::string, std::string> cases[] = {{"8080", "8080"}, {"80", "80"}, {"", "0"},      {" 81", "81"},
                                                         {"+88", "88"},    {"-1", "-1"}, {"12ab", "12"}, {"x80", "0"}};
    for (const auto& [port, want] : cases) {
        Bytes d = handReply();
        std::fill_n(d.begin() + 51, 4, 0);
        put(d, 51, port);
        d[55] = '7'; // a fifth digit on the wire never belongs to the port
        EXPECT_EQ(parsed(d), "generic 192.168.0.20 02:00:00:00:00:01 255.255.255.0 192.168.0.1 Lobby " + want + " 0")
            << "port text \"" << port << "\"";
    }
    DeviceReply r;
    r.setWebPort(10080);
    EXPECT_EQ(r.webPort(), 1008) << "only four digits fit";
    EXPECT_EQ(text(r.build(), 51, 4), "1008");
}

TEST(WireProtocolTest, DeviceInfoFromReplyNeverOverruns) {
    Bytes big(2048, 0xFF);
    put(big, 0, "IPCam");
    DeviceReply r;
    ASSERT_EQ(DeviceReply::parse({big.data(), big.size()}, r), ParseStatus::Ok);
    EXPECT_EQ(r.name[18], '\0') << "the reply's own name stays terminated";
    DeviceInfo d = DeviceInfo::FromReply(r);
    EXPECT_EQ(std::strlen(d.name.data()), 18u) << "name is cut at 18 chars and NUL-terminated";
    EXPECT_EQ(NameText(d).size(), 36u) << "each 0xFF byte widens to two UTF-8 bytes";
    EXPECT_EQ(text(d.tag, 0, 5) + std::to_string(d.kind), "IPCam0");

    Bytes maker = handReply("KXCam");
    ASSERT_EQ(DeviceReply::parse({maker.data(), maker.size()}, r), ParseStatus::Ok);
    d = DeviceInfo::FromReply(r);
    EXPECT_EQ(text(d.tag, 0, 5) + std::to_string(d.kind), "KXCam1");
    EXPECT_EQ(FormatIpv4(d.ip) + " " + FormatIpv4(d.netmask) + " " + FormatIpv4(d.gateway) + " " + MacText(d),
              "192.168.0.20 255.255.255.0 192.168.0.1 02:00:00:00:00:01");
    EXPECT_EQ(NameText(d) + " " + std::to_string(d.webPort), "Lobby 8080");

    std::mt19937 rng(4000);
    for (int i = 0; i < 2000; ++i) {
        Bytes junk(rng() % 2049);
        std::generate(junk.begin(), junk.end(), [&] { return static_cast<std::uint8_t>(rng()); });
        if (junk.size() >= 5 && i % 2 == 0)
            put(junk, 0, i % 4 == 0 ? "IPCam" : "KXCam");
        DeviceReply any;
        if (DeviceReply::parse({junk.data(), junk.size()}, any) == ParseStatus::Ok) {
            ASSERT_LE(std::strlen(DeviceInfo::FromReply(any).name.data()), 18u) << "datagram " << i;
        }
    }
}

TEST(WireProtocolTest, SetNetworkCommandLayout) {
    // Re-addressing a generic camera (kind 0): no credentials.
    SetNetworkCommand c;
    c.family = CameraFamily::Generic;
    c.ip = {192, 168, 0, 31};
    c.mac = {2, 0, 0, 0, 0, 9};
    c.netmask = {255, 255, 255, 0};
    c.hasGateway = true;
    c.gateway = {192, 168, 0, 254};
    std::memcpy(c.name.data(), "Dock", 4);
    auto d = c.build();
    const Bytes head = {'P', 'C', 'E', 'd', 'i', 't', 1, 'e', 't', 'h', '1', 192, 168, 0, 31,  2,   0,   0,  0,
                        0,   9,   255, 255, 255, 0,   1, 'g', 'w', 192, 168, 0,   254, 0, 'D', 'o', 'c', 'k'};
    for (std::size_t i = 0; i < d.size(); ++i)
        EXPECT_EQ(d[i], i < head.size() ? head[i] : 0) << "byte " << i;

    // The maker's camera (kind 1) carries the login; each field keeps room for its NUL.
    c.family = CameraFamily::Maker;
    c.interfaceName = c.hasGateway = false;
    c.flag32 = 1;
    c.hasCredentials = true;
    c.user = std::string(100, 'u');
    c.password = std::string(100, 'p');
    d = c.build();
    EXPECT_EQ(text(d, 0, 7), std::string("KXEdit\1"));
    EXPECT_EQ(text(d, 7, 4) + text(d, 25, 7), std::string(11, '\0')) << "no interface name, no gateway";
    EXPECT_EQ(d[32], 1);
    EXPECT_EQ(d[64], 0xFD);
    EXPECT_EQ(text(d, 65, 64), std::string(63, 'u') + '\0');
    EXPECT_EQ(text(d, 129, 71), std::string(63, 'p') + std::string(8, '\0'));

    c.user = "admin";
    c.password = "secret";
    SetNetworkCommand back;
    d = c.build();
    ASSERT_EQ(SetNetworkCommand::parse({d.data(), kAnyAddressDatagramLength}, back), ParseStatus::Ok);
    EXPECT_TRUE(back.family == c.family && back.ip == c.ip && back.mac == c.mac && back.netmask == c.netmask &&
                !back.hasGateway && !back.interfaceName && back.flag32 == 1 && back.name == c.name);
    EXPECT_EQ(std::string(back.hasCredentials ? "login " : "none ") + back.user + "/" + back.password,
              "login admin/secret");
}
