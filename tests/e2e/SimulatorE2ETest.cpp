// The simulator is no kinder than a bench: it loses commands and searches as told, is silent to
// ARP and ping while it reboots, routes by the gateway a command gave it, answers with the web
// faults a camera shows, and the virtual LAN shapes the host's card to a real link's speed.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "discovery/WireProtocol.h"
#include "tests/support/TestSupport.h"
#include "tests/support/VirtualLan.h"
#include "util/UniqueFd.h"
#include "webops/CameraWebClient.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testsupport::RunCommand;
using testsupport::ShellQuote;
using testsupport::WaitUntil;

constexpr const char* kHostAddress = "192.168.0.10";
// The simulator's default web credentials root:qnwt (RFC 7617).
constexpr const char* kAuthorization = "Authorization: Basic cm9vdDpxbnd0\r\n";
constexpr const char* kQueryTarget =
    "/param.cgi?action=list&group=Properties.Firmware.Model,Properties.Firmware.Version";

sockaddr_in socketAddress(const std::string& ip, int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, ip.c_str(), &address.sin_addr);
    return address;
}

// Waits until fd has something to read; false once the deadline passed first.
bool readableBefore(int fd, Clock::time_point end) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now());
    pollfd readable{fd, POLLIN, 0};
    return left > 0ms && ::poll(&readable, 1, static_cast<int>(left.count())) > 0;
}

// The technician's side of the discovery protocol, opened in the host namespace: datagrams by
// broadcast from the host's address, and every reply that comes back to port 4000.
class Discovery {
public:
    Discovery() : m_in(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)), m_out(::socket(AF_INET, SOCK_DGRAM, 0)) {
        int on = 1;
        ::setsockopt(m_in.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        ::setsockopt(m_out.get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        sockaddr_in any = socketAddress("0.0.0.0", DISCOVERY_PORT);
        sockaddr_in host = socketAddress(kHostAddress, 0);
        m_ready = ::bind(m_in.get(), reinterpret_cast<const sockaddr*>(&any), sizeof any) == 0 &&
                  ::bind(m_out.get(), reinterpret_cast<const sockaddr*>(&host), sizeof host) == 0;
    }
    bool ready() const { return m_ready; }

    // The replies that arrive within the window after one search request.
    std::vector<DeviceReply> Search(CameraFamily family, std::chrono::milliseconds window = 200ms) {
        drain();
        SearchRequest request;
        request.family = family;
        send(request.build().data());
        std::vector<DeviceReply> replies;
        const auto end = Clock::now() + window;
        while (readableBefore(m_in.get(), end)) {
            std::uint8_t buffer[kReceiveBufferLength];
            ssize_t n = ::recv(m_in.get(), buffer, sizeof buffer, 0);
            DeviceReply reply;
            if (n > 0 && DeviceReply::parse({buffer, static_cast<std::size_t>(n)}, reply) == ParseStatus::Ok)
                replies.push_back(reply);
        }
        return replies;
    }

    void Command(const SetNetworkCommand& command) { send(command.build().data()); }

private:
    void send(const std::uint8_t* datagram) {
        sockaddr_in to = socketAddress("255.255.255.255", DISCOVERY_PORT);
        ::sendto(m_out.get(), datagram, kAdapterDatagramLength, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
    void drain() {
        std::uint8_t buffer[kReceiveBufferLength];
        while (::recv(m_in.get(), buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
        }
    }

    UniqueFd m_in;
    UniqueFd m_out;
    bool m_ready = false;
};

std::optional<DeviceReply> replyFrom(const std::vector<DeviceReply>& replies, const std::string& mac,
                                     const std::string& ip = "") {
    for (const auto& reply : replies)
        if (FormatMac(reply.mac) == mac && (ip.empty() || FormatIpv4(reply.ip) == ip))
            return reply;
    return std::nullopt;
}

SetNetworkCommand moveTo(const std::string& mac, const std::string& ip, const std::string& mask,
                         const std::string& gateway) {
    SetNetworkCommand command;
    ParseMac(mac, command.mac);
    ParseIpv4(ip, command.ip);
    ParseIpv4(mask, command.netmask);
    command.hasGateway = ParseIpv4(gateway, command.gateway);
    return command;
}

std::uint16_t icmpChecksum(const void* data, std::size_t length) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < length; i += 2)
        sum += static_cast<std::uint32_t>(bytes[i] << 8 | bytes[i + 1]);
    if (length % 2 != 0)
        sum += static_cast<std::uint32_t>(bytes[length - 1] << 8);
    while (sum >> 16 != 0)
        sum = (sum & 0xffffu) + (sum >> 16);
    return htons(static_cast<std::uint16_t>(~sum));
}

// One ICMP echo request (RFC 792) from the calling thread's namespace; true when it is answered in time.
bool echoes(const std::string& ip, std::chrono::milliseconds limit) {
    static std::uint16_t sequence = 0;
    UniqueFd s(::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP));
    icmphdr request{};
    request.type = ICMP_ECHO;
    request.un.echo.id = htons(static_cast<std::uint16_t>(::getpid()));
    request.un.echo.sequence = htons(++sequence);
    request.checksum = icmpChecksum(&request, sizeof request);
    sockaddr_in to = socketAddress(ip, 0);
    if (::sendto(s.get(), &request, sizeof request, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) < 0)
        return false;
    const auto end = Clock::now() + limit;
    while (readableBefore(s.get(), end)) {
        std::uint8_t packet[1500];
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        ssize_t n = ::recvfrom(s.get(), packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n < static_cast<ssize_t>(sizeof(iphdr)) || from.sin_addr.s_addr != to.sin_addr.s_addr)
            continue;
        const std::size_t header = std::size_t{packet[0] & 0x0fu} * 4;
        if (static_cast<std::size_t>(n) < header + sizeof(icmphdr))
            continue;
        icmphdr reply{};
        std::memcpy(&reply, packet + header, sizeof reply);
        if (reply.type == ICMP_ECHOREPLY && reply.un.echo.id == request.un.echo.id &&
            reply.un.echo.sequence == request.un.echo.sequence)
            return true;
    }
    return false;
}

// What a raw HTTP exchange received, read by read with the time each read returned.
struct Exchange {
    struct Piece {
        Clock::time_point at;
        std::string bytes;
    };
    bool connected = false;
    bool closed = false; // by the camera, within the limit
    std::vector<Piece> pieces;

    std::string all() const {
        std::string text;
        for (const auto& piece : pieces)
            text += piece.bytes;
        return text;
    }
    std::string body() const {
        const std::string text = all();
        const std::size_t end = text.find("\r\n\r\n");
        return end == std::string::npos ? std::string() : text.substr(end + 4);
    }
    // The body as far as it had come when its first byte arrived, and how long the rest took.
    std::pair<std::string, std::chrono::milliseconds> firstBodyRead() const {
        std::string text;
        for (const auto& piece : pieces) {
            text += piece.bytes;
            const std::size_t end = text.find("\r\n\r\n");
            if (end != std::string::npos && text.size() > end + 4)
                return {text.substr(end + 4),
                        std::chrono::duration_cast<std::chrono::milliseconds>(pieces.back().at - piece.at)};
        }
        return {};
    }
};

// Sends one request on a fresh connection from the calling thread's namespace and reads until the
// camera closes it or the limit passes.
Exchange roundTrip(const std::string& ip, const std::string& request, std::chrono::milliseconds limit = 5s) {
    Exchange result;
    UniqueFd s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in to = socketAddress(ip, 80);
    if (::connect(s.get(), reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0)
        return result;
    result.connected = true;
    for (std::size_t done = 0; done < request.size();) {
        ssize_t n = ::send(s.get(), request.data() + done, request.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return result;
        done += static_cast<std::size_t>(n);
    }
    const auto end = Clock::now() + limit;
    while (readableBefore(s.get(), end)) {
        char buffer[65536];
        ssize_t n = ::recv(s.get(), buffer, sizeof buffer, 0);
        if (n <= 0) {
            result.closed = true;
            return result;
        }
        result.pieces.push_back({Clock::now(), std::string(buffer, static_cast<std::size_t>(n))});
    }
    return result;
}

std::string queryRequest(const std::string& ip) {
    return std::string("POST ") + kQueryTarget + " HTTP/1.1\r\nHost: " + ip + "\r\n" + kAuthorization +
           "Content-Length: 0\r\nConnection: close\r\n\r\n";
}

// An upgrade request framed as the tool frames it.
std::string uploadRequest(const std::string& ip, const std::string& imagePath) {
    UploadBody body = BuildUploadBody(imagePath);
    if (!body)
        return {};
    return "POST /firmwareupgrade.cgi HTTP/1.1\r\nHost: " + ip + "\r\n" + kAuthorization +
           "Content-Type: multipart/form-data; boundary=" + kUploadBoundary +
           "\r\nContent-Length: " + std::to_string(body->size()) + "\r\nConnection: close\r\n\r\n" +
           std::string(body->begin(), body->end());
}

class SimulatorE2E : public ::testing::Test {
protected:
    void SetUp() override {
        if (auto why = VirtualLan::Unavailable(); !why.empty())
            GTEST_SKIP() << why;
        // The cameras inherit it from sim/vlan: every burn and reboot takes a hundredth.
        ::setenv("FLASHWELL_TIME_SCALE", "0.01", 1);
    }

    // A command's standard output in camera n's namespace.
    static std::string InCamera(const VirtualLan& lan, int camera, const std::string& command) {
        std::string output;
        RunCommand("ip netns exec fw" + lan.Id() + "c" + std::to_string(camera) + " " + command, &output);
        while (!output.empty() && (output.back() == '\n' || output.back() == ' '))
            output.pop_back();
        return output;
    }
    // "ECHO ARP": what camera n's kernel is told about ping and ARP on its eth0.
    static std::string Silence(const VirtualLan& lan, int camera) {
        return InCamera(lan, camera,
                        "sh -c 'echo $(cat /proc/sys/net/ipv4/icmp_echo_ignore_all "
                        "/proc/sys/net/ipv4/conf/eth0/arp_ignore)'");
    }
    // The HTTP status (and, with body, the body) of a POST by curl in the host namespace.
    static std::string Post(const VirtualLan& lan, const std::string& url, std::string* body = nullptr) {
        int rc = -1;
        std::string out = lan.RunInHost(
            "curl -s --noproxy '*' -m 5 -u root:qnwt -X POST -w '\\n%{http_code}' " + ShellQuote(url), rc);
        const std::size_t cut = out.rfind('\n');
        if (body)
            *body = cut == std::string::npos ? std::string() : out.substr(0, cut);
        return cut == std::string::npos ? out : out.substr(cut + 1);
    }
    static std::size_t Count(const std::string& text, const std::string& what) {
        std::size_t n = 0;
        for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    }

    testsupport::ScratchDir m_scratch;
};

TEST_F(SimulatorE2E, LostOrdinalsAndSharesOfCommandsAndSearchesAreLostAndTheRestTakeEffect) {
    VirtualLan lan({.cameras = {
                        "--name Deaf --ip 192.168.0.21 --mac 02:5e:00:00:00:01 --lose-searches 1,3",
                        "--name Drop --ip 192.168.0.22 --mac 02:5e:00:00:00:02 --lose-commands 1,3",
                        "--name TwinA --ip 192.168.0.23 --mac 02:5e:00:00:00:03 --lose-searches 50%",
                        "--name TwinB --ip 192.168.0.24 --mac 02:5e:00:00:00:03 --lose-searches 50%",
                        "--fleet 3 --fleet-base 192.168.0.101 --family generic --lose-searches 2",
                    }});
    lan.EnterHost();
    Discovery bench;
    ASSERT_TRUE(bench.ready());

    // A request of the other family is one the cameras would not answer, so it is not counted.
    EXPECT_EQ(bench.Search(CameraFamily::Maker).size(), 0u);
    const std::vector<std::string> fleet = {"02:fe:00:00:00:01", "02:fe:00:00:00:02", "02:fe:00:00:00:03"};
    int twinsLost = 0;
    for (int search = 1; search <= 12; ++search) {
        SCOPED_TRACE("search " + std::to_string(search));
        const auto replies = bench.Search(CameraFamily::Generic);
        EXPECT_EQ(!replyFrom(replies, "02:5e:00:00:00:01"), search == 1 || search == 3);
        EXPECT_TRUE(replyFrom(replies, "02:5e:00:00:00:02"));
        for (const auto& mac : fleet)
            EXPECT_EQ(!replyFrom(replies, mac), search == 2) << mac << ": each of a fleet counts its own";
        const bool twinA = replyFrom(replies, "02:5e:00:00:00:03", "192.168.0.23").has_value();
        const bool twinB = replyFrom(replies, "02:5e:00:00:00:03", "192.168.0.24").has_value();
        EXPECT_EQ(twinA, twinB) << "a share is drawn from the MAC, so the same MAC loses the same searches";
        twinsLost += twinA ? 0 : 1;
    }
    EXPECT_GE(twinsLost, 2) << "half of 12 searches, give or take";
    EXPECT_LE(twinsLost, 10);
    EXPECT_EQ(Count(lan.CameraLog(1), "lost (--lose-searches)"), 2u) << lan.CameraLog(1);

    // Commands for another MAC do not count; of Drop's own, the first and the third are lost.
    bench.Command(moveTo("02:5e:00:00:00:99", "192.168.0.30", "255.255.255.0", "192.168.0.1"));
    const char* targets[] = {"192.168.0.31", "192.168.0.32", "192.168.0.33", "192.168.0.34"};
    std::string expected = "192.168.0.22";
    for (int command = 1; command <= 4; ++command) {
        SCOPED_TRACE("command " + std::to_string(command));
        const bool lost = command == 1 || command == 3;
        bench.Command(moveTo("02:5e:00:00:00:02", targets[command - 1], "255.255.255.0", "192.168.0.1"));
        if (lost)
            EXPECT_TRUE(WaitUntil([&] {
                return Count(lan.CameraLog(2), "lost (--lose-commands)") == static_cast<std::size_t>(command / 2 + 1);
            })) << lan.CameraLog(2);
        else
            expected = targets[command - 1];
        EXPECT_TRUE(WaitUntil([&] {
            const auto drop = replyFrom(bench.Search(CameraFamily::Generic, 100ms), "02:5e:00:00:00:02");
            return drop && FormatIpv4(drop->ip) == expected;
        })) << lan.CameraLog(2);
    }
    EXPECT_NE(lan.CameraLog(2).find("camsim: set-network for 02:5e:00:00:00:02 from 192.168.0.10:"), std::string::npos);
    EXPECT_EQ(Count(lan.CameraLog(2), "lost (--lose-commands)"), 2u);
    EXPECT_EQ(InCamera(lan, 2, "ip -4 -o addr show dev eth0 | awk '{print $4}'"), "192.168.0.34/24");
}

TEST_F(SimulatorE2E, ARebootingCameraAnswersNeitherArpNorPingUntilItIsBack) {
    // Three minutes of reboot, 1.8 s at this time scale.
    VirtualLan lan({.cameras = {"--name Slow --ip 192.168.0.20 --reboot-ms 180000",
                                "--name Gone --ip 192.168.0.21 --fault never-back"}});
    lan.EnterHost();
    ASSERT_TRUE(echoes("192.168.0.20", 1s)) << "answers ping before its reboot";
    ASSERT_EQ(Silence(lan, 1), "0 0");

    const auto reset = Clock::now();
    ASSERT_EQ(Post(lan, "http://192.168.0.20/hardfactorydefault.cgi"), "200");
    EXPECT_EQ(Silence(lan, 1), "1 8") << lan.CameraLog(1);
    int rc = -1;
    lan.RunInHost("ip neigh flush dev eth0", rc);
    EXPECT_FALSE(echoes("192.168.0.20", 400ms)) << "answered ping while rebooting";
    EXPECT_EQ(lan.RunInHost("ip neigh show 192.168.0.20 dev eth0", rc).find("lladdr"), std::string::npos)
        << "answered ARP while rebooting";
    EXPECT_TRUE(WaitUntil([] { return echoes("192.168.0.20", 100ms); }, 10s)) << lan.CameraLog(1);
    EXPECT_GE(Clock::now() - reset, 1500ms) << "the whole reboot is silent";
    EXPECT_EQ(Silence(lan, 1), "0 0") << "puts back what it found";
    EXPECT_NE(lan.CameraLog(1).find("eth0 answers ARP and ping again"), std::string::npos);

    // Never back: silent for good, until it is stopped.
    ASSERT_EQ(Post(lan, "http://192.168.0.21/hardfactorydefault.cgi"), "200");
    EXPECT_EQ(Silence(lan, 2), "1 8");
    EXPECT_FALSE(echoes("192.168.0.21", 300ms));
    std::ifstream pidFile(lan.StateDir() + "/cam2.pid");
    int pid = 0;
    ASSERT_TRUE(pidFile >> pid);
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    ASSERT_TRUE(WaitUntil([&] { return testsupport::ProcessEnded(pid); }, 5s));
    EXPECT_EQ(Silence(lan, 2), "0 0") << "a stopped simulator leaves its namespace as it found it";
}

TEST_F(SimulatorE2E, AMovedCameraRoutesViaTheCommandsGatewayAndStillAnswersOtherSubnets) {
    const std::string mac = "02:5e:00:00:01:01";
    VirtualLan lan({.cameras = {"--name Mover --ip 192.168.0.20 --mac " + mac}});
    lan.EnterHost();
    Discovery bench;
    ASSERT_TRUE(bench.ready());
    const std::string atStart = InCamera(lan, 1, "ip -4 route show");
    EXPECT_NE(atStart.find("default via 192.168.0.1 dev eth0"), std::string::npos) << atStart;
    EXPECT_NE(atStart.find("0.0.0.0/1 dev eth0 scope link"), std::string::npos) << atStart;
    EXPECT_NE(atStart.find("128.0.0.0/1 dev eth0 scope link"), std::string::npos) << atStart;

    struct Move {
        const char* ip;
        const char* mask;
        const char* gateway;
        const char* subnet;       // the host's on-link route to it
        const char* defaultRoute; // in the camera's namespace
    };
    const Move moves[] = {
        {"192.168.5.40", "255.255.255.0", "192.168.5.1", "192.168.5.0/24", "default via 192.168.5.1 dev eth0"},
        {"10.20.30.40", "255.255.255.0", "10.99.99.1", "10.20.30.0/24", "default via 10.99.99.1 dev eth0 onlink"},
        {"169.254.7.8", "255.255.0.0", "169.254.0.0", "169.254.0.0/16", ""},
    };
    for (const Move& m : moves) {
        SCOPED_TRACE(m.ip);
        bench.Command(moveTo(mac, m.ip, m.mask, m.gateway));
        DeviceReply moved;
        ASSERT_TRUE(WaitUntil([&] {
            const auto reply = replyFrom(bench.Search(CameraFamily::Generic, 100ms), mac);
            if (!reply || FormatIpv4(reply->ip) != m.ip)
                return false;
            moved = *reply;
            return true;
        })) << lan.CameraLog(1);
        EXPECT_EQ(FormatIpv4(moved.gateway), m.gateway) << "the reply reports the gateway the command gave";
        EXPECT_EQ(FormatIpv4(moved.netmask), m.mask);
        EXPECT_EQ(InCamera(lan, 1, "ip -4 route show default"), m.defaultRoute);
        // The host at 192.168.0.10 is on another subnet; the camera's gateway does not exist.
        int rc = -1;
        lan.RunInHost(std::string("ip route add ") + m.subnet + " dev eth0", rc);
        ASSERT_EQ(rc, 0);
        EXPECT_TRUE(echoes(m.ip, 1s));
        std::string body;
        EXPECT_EQ(Post(lan, std::string("http://") + m.ip + kQueryTarget, &body), "200");
        EXPECT_NE(body.find("Properties.Firmware.Model=\"IPC1234\""), std::string::npos) << body;
        lan.RunInHost(std::string("ip route del ") + m.subnet + " dev eth0", rc);
    }
}

TEST_F(SimulatorE2E, WebFaultsSplitTheAnswerRefuseTheResetAndBurnWithoutAnswer) {
    VirtualLan lan({.cameras = {
                        "--name Split --ip 192.168.0.21 --fault split-reply --version V1.04 --burn-sec 1",
                        "--name NoReset --ip 192.168.0.22 --reset-answer 404",
                        "--name PageOnly --ip 192.168.0.23 --reset-answer 200:<html>Unsupported</html>",
                        "--name Blind --ip 192.168.0.24 --fault burn-no-reply --version V1.04 --burn-sec 1",
                    }});
    lan.EnterHost();
    const std::string image = testsupport::WriteFirmwareImage(m_scratch.path(), "106", std::size_t{64} * 1024);
    auto versionOf = [](const std::string& ip) { return roundTrip(ip, queryRequest(ip)).body(); };

    {
        SCOPED_TRACE("split query");
        const Exchange query = roundTrip("192.168.0.21", queryRequest("192.168.0.21"));
        const auto [first, rest] = query.firstBodyRead();
        EXPECT_EQ(query.body(), "Properties.Firmware.Model=\"IPC1234\"\nProperties.Firmware.Version=\"V1.04\"\n");
        EXPECT_LT(first.size(), query.body().size()) << "the first read holds only part of the answer";
        EXPECT_GE(rest, 250ms);
    }
    {
        SCOPED_TRACE("split upload answer");
        const Exchange upload = roundTrip("192.168.0.21", uploadRequest("192.168.0.21", image));
        const auto [first, rest] = upload.firstBodyRead();
        EXPECT_EQ(upload.body(), "OK,ImgBurnTimeSec=\"1\"");
        EXPECT_EQ(first.find("ImgBurnTimeSec"), std::string::npos) << first;
        EXPECT_GE(rest, 250ms);
        EXPECT_TRUE(WaitUntil([&] { return versionOf("192.168.0.21").find("V1.06") != std::string::npos; }, 10s))
            << lan.CameraLog(1);
    }
    {
        SCOPED_TRACE("reset answers");
        std::string body;
        EXPECT_EQ(Post(lan, "http://192.168.0.22/hardfactorydefault.cgi"), "404");
        EXPECT_EQ(Post(lan, "http://192.168.0.23/hardfactorydefault.cgi", &body), "200");
        EXPECT_EQ(body, "<html>Unsupported</html>");
        for (int camera : {2, 3}) {
            EXPECT_NE(lan.CameraLog(camera).find("not reset (--reset-answer)"), std::string::npos);
            EXPECT_EQ(lan.CameraLog(camera).find("rebooting"), std::string::npos) << lan.CameraLog(camera);
        }
        Discovery bench;
        ASSERT_TRUE(bench.ready());
        const auto replies = bench.Search(CameraFamily::Generic);
        EXPECT_TRUE(replyFrom(replies, "02:fe:ff:00:00:02", "192.168.0.22")) << "still there, not rebooting";
        EXPECT_TRUE(replyFrom(replies, "02:fe:ff:00:00:03", "192.168.0.23"));
    }
    {
        SCOPED_TRACE("burn without an answer");
        const Exchange upload = roundTrip("192.168.0.24", uploadRequest("192.168.0.24", image));
        EXPECT_TRUE(upload.connected);
        EXPECT_TRUE(upload.closed);
        EXPECT_EQ(upload.all(), "") << "not a byte of answer";
        EXPECT_TRUE(WaitUntil([&] { return versionOf("192.168.0.24").find("V1.06") != std::string::npos; }, 10s))
            << lan.CameraLog(4);
        EXPECT_NE(lan.CameraLog(4).find("rebooting"), std::string::npos);
    }
}

TEST_F(SimulatorE2E, AHungCameraIsListedButAnswersNoRequestAndAResetFleetCameraReportsTheFactoryAddress) {
    VirtualLan lan({.cameras = {"--name Hung --ip 192.168.0.21 --fault hung",
                                "--fleet 2 --fleet-web 2 --fleet-base 192.168.0.31 --reboot-ms 100"}});
    lan.EnterHost();
    Discovery bench;
    ASSERT_TRUE(bench.ready());
    EXPECT_TRUE(replyFrom(bench.Search(CameraFamily::Generic), "02:fe:ff:00:00:01", "192.168.0.21"))
        << "a hung web side still answers the search";
    int rc = -1;
    const std::string shown =
        lan.RunInHost("curl -s --noproxy '*' -m 1 -u root:qnwt -X POST -o /dev/null -w '%{time_connect} %{http_code}' "
                      "http://192.168.0.21/param.cgi",
                      rc);
    EXPECT_EQ(rc, 28) << "connected, then no answer until curl gave up: " << shown;
    EXPECT_NE(shown.find(" 000"), std::string::npos) << shown;

    ASSERT_EQ(Post(lan, "http://192.168.0.31/hardfactorydefault.cgi"), "200");
    EXPECT_TRUE(WaitUntil(
        [&] {
            const auto replies = bench.Search(CameraFamily::Generic);
            return replyFrom(replies, "02:fe:00:00:00:01", "192.168.0.20").has_value();
        },
        10s))
        << "a reset fleet camera reports the factory address, as a real one does: " << lan.CameraLog(2);
    EXPECT_EQ(Post(lan, "http://192.168.0.31/param.cgi?action=list&group=Properties.Firmware.Version"), "200")
        << "its web side stays on its own address";
}

TEST_F(SimulatorE2E, AShapedHostCardMovesBytesAtItsRate) {
    if (RunCommand("command -v tc >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "tc (iproute2) is missing, so the host's card cannot be shaped";
    VirtualLan lan({.cameras = {"--name Far --ip 192.168.0.21"}, .hostRate = "8mbit"});
    const std::string payload = m_scratch.path() + "/payload.bin";
    constexpr std::size_t kBytes = std::size_t{1024} * 1024;
    std::ofstream(payload, std::ios::binary) << std::string(kBytes, 'x');
    // Seconds one POST of the payload to the camera takes, as curl measures it.
    auto transfer = [&] {
        int rc = -1;
        const std::string out = lan.RunInHost(
            "curl -s --noproxy '*' -m 30 -u root:qnwt -H 'Expect:' -H 'Content-Type: application/octet-stream' "
            "--data-binary @" +
                ShellQuote(payload) + " -o /dev/null -w '%{time_total}' " +
                ShellQuote(std::string("http://192.168.0.21") + kQueryTarget),
            rc);
        return rc == 0 ? std::atof(out.c_str()) : -1.0;
    };
    auto linkSeconds = [&](double bitsPerSecond) { return static_cast<double>(kBytes) * 8 / bitsPerSecond; };

    const double shaped = transfer();
    EXPECT_GT(shaped, 0.8 * linkSeconds(8e6)) << "1 MiB at 8 Mbit/s";
    EXPECT_LT(shaped, 2.0 * linkSeconds(8e6));
    ASSERT_TRUE(lan.SetHostRate("32mbit"));
    const double faster = transfer();
    EXPECT_GT(faster, 0.8 * linkSeconds(32e6)) << "1 MiB at 32 Mbit/s";
    EXPECT_LT(faster, 2.0 * linkSeconds(32e6));
    ASSERT_TRUE(lan.SetHostRate("off"));
    const double open = transfer();
    EXPECT_GE(open, 0.0);
    EXPECT_LT(open, 0.5 * linkSeconds(32e6)) << "unshaped, the virtual link is far faster";
    std::cerr << "1 MiB took " << shaped << " s at 8mbit, " << faster << " s at 32mbit, " << open << " s unshaped\n";
}

} // namespace
