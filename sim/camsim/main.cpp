// flashwell-camsim: answers the discovery protocol as one camera or as a fleet of them.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "sim/camsim/CameraConfig.h"
#include "sim/camsim/DiscoveryResponder.h"
#include "sim/camsim/InterfaceAddress.h"
#include "sim/camsim/WebServer.h"

namespace {

// A burst of a thousand replies, and its looped-back copies, overflow the default ~200 KiB.
constexpr int kFleetSocketBuffer = 8 * 1024 * 1024;

struct CommandLine {
    std::string name = "camsim";
    std::string ip = "192.168.0.20";
    std::string mask = "255.255.255.0";
    std::string gateway = "192.168.0.1";
    std::string mac = "02:fe:ff:00:00:01"; // outside the fleet's 02:fe:00 range
    std::string family = "generic";
    int webPort = 80;
    bool wifi = false;
    int replyDelayMs = 0;
    std::string secondIp;
    int searchWindowMs = 500;
    std::string iface;
    int fleet = 0;
    bool applySetNetwork = true;
    bool noMoveIface = false;
    std::string user = "admin";
    std::string password;
    std::string model = "IPC1234";
    std::string version = "V1.05";
    std::string hardware = "eth0,wifi0";
    std::vector<std::string> faults;
    WebOptions web;
};

// FLASHWELL_TIME_SCALE shortens every burn and reboot wait, e.g. 0.01 for tests.
double timeScale() {
    const char* text = std::getenv("FLASHWELL_TIME_SCALE");
    if (text == nullptr || *text == '\0')
        return 1.0;
    char* end = nullptr;
    double scale = std::strtod(text, &end);
    if (*end != '\0' || !(scale >= 0.0)) {
        std::fprintf(stderr, "camsim: ignoring FLASHWELL_TIME_SCALE=%s\n", text);
        return 1.0;
    }
    return scale;
}

bool parseAddress(const std::string& option, const std::string& text, Ipv4& out) {
    if (ParseIpv4(text, out))
        return true;
    std::fprintf(stderr, "camsim: %s: not a dotted IPv4 address: %s\n", option.c_str(), text.c_str());
    return false;
}

// Turns the options into camera configurations; false after printing what is wrong.
bool buildCameras(const CommandLine& line, bool familyGiven, std::vector<CameraConfig>& out) {
    CameraConfig base;
    base.name = line.name;
    base.webPort = line.webPort;
    base.ifType = line.wifi ? kWifiInterface : 0;
    base.user = line.user;
    base.password = line.password;
    base.answers = *ParseAnswers(line.family);
    base.searchWindow = std::chrono::milliseconds(line.searchWindowMs);
    base.model = line.model;
    base.version = line.version;
    base.hardware = line.hardware;
    for (const auto& fault : line.faults)
        base.faults.set(fault);
    if (!parseAddress("--ip", line.ip, base.ip) || !parseAddress("--mask", line.mask, base.netmask) ||
        !parseAddress("--gateway", line.gateway, base.gateway))
        return false;
    if (!line.secondIp.empty()) {
        Ipv4 second{};
        if (!parseAddress("--second-ip", line.secondIp, second))
            return false;
        base.secondIp = second;
    }
    if (!ParseMac(line.mac, base.mac)) {
        std::fprintf(stderr, "camsim: --mac: expected aa:bb:cc:dd:ee:ff, got %s\n", line.mac.c_str());
        return false;
    }
    if (line.fleet > 0)
        out = MakeFleet(base, line.fleet, familyGiven ? std::optional(base.answers) : std::nullopt);
    else
        out = {base};
    return true;
}

} // namespace

int main(int argc, char** argv) {
    CommandLine line;
    CLI::App app{
        "Simulated network camera: answers discovery on UDP 4000 and, as a single camera, its web CGIs over HTTP."};
    app.add_option("--name", line.name, "camera name in replies (at most 18 bytes)")->capture_default_str();
    app.add_option("--ip", line.ip, "address reported in replies")->capture_default_str();
    app.add_option("--mask", line.mask, "netmask reported in replies")->capture_default_str();
    app.add_option("--gateway", line.gateway, "gateway reported in replies")->capture_default_str();
    app.add_option("--mac", line.mac, "camera MAC address")->capture_default_str();
    auto* familyOption =
        app.add_option("--family", line.family,
                       "generic: PCEdit->IPCam; maker: KXEdit->KXCam; both: each request with its own tag")
            ->check(CLI::IsMember({"generic", "maker", "both"}))
            ->capture_default_str();
    app.add_option("--web-port", line.webPort, "web port reported in replies and served (single camera)")
        ->check(CLI::Range(0, 65535))
        ->capture_default_str();
    app.add_flag("--wifi", line.wifi, "report a Wi-Fi interface (ifType 0xAF)");
    app.add_option("--reply-delay-ms", line.replyDelayMs, "wait this long before answering a search")
        ->check(CLI::Range(0, 600000));
    app.add_option("--second-ip", line.secondIp, "address carried by later replies within one search");
    app.add_option("--search-window-ms", line.searchWindowMs, "answers this close together form one search")
        ->check(CLI::Range(1, 600000))
        ->capture_default_str();
    app.add_option("--iface", line.iface, "interface to receive and send on (SO_BINDTODEVICE)");
    app.add_option("--fleet", line.fleet, "answer as N cameras with distinct MACs and 10.x.y.z addresses")
        ->check(CLI::Range(1, 100000));
    app.add_flag("--apply-set-network,!--no-apply-set-network", line.applySetNetwork,
                 "take the address of a set-network command for this MAC (default on)");
    app.add_flag("--no-move-iface", line.noMoveIface, "on set-network change only the reported address");
    app.add_option("--user", line.user, "login a set-network command must carry when --password is set")
        ->capture_default_str();
    app.add_option("--password", line.password, "require these credentials in set-network commands");
    app.add_option("--web-user", line.web.user, "HTTP Basic user of the web side")->capture_default_str();
    app.add_option("--web-password", line.web.password, "HTTP Basic password of the web side")->capture_default_str();
    app.add_option("--model", line.model, "model the web query reports")->capture_default_str();
    app.add_option("--version", line.version, "firmware version the web query reports")->capture_default_str();
    app.add_option("--hardware", line.hardware, "hardware list the web query reports")->capture_default_str();
    app.add_option("--burn-sec", line.web.burnSec, "burn time an upgrade reports and takes")
        ->check(CLI::Range(0, 3600))
        ->capture_default_str();
    app.add_option("--reboot-ms", line.web.rebootMs, "silence after a burn or a factory reset")
        ->check(CLI::Range(0, 3600000))
        ->capture_default_str();
    app.add_option("--fault", line.faults, "misbehave (repeatable): " + CLI::detail::join(FaultNames(), ", "))
        ->check(CLI::IsMember(FaultNames()));
    CLI11_PARSE(app, argc, argv);

    std::vector<CameraConfig> configs;
    if (!buildCameras(line, familyOption->count() > 0, configs))
        return 2;
    std::vector<std::shared_ptr<Camera>> cameras;
    cameras.reserve(configs.size());
    for (auto& config : configs)
        cameras.push_back(std::make_shared<Camera>(std::move(config)));

    ResponderOptions options;
    options.iface = line.iface;
    options.replyDelay = std::chrono::milliseconds(line.replyDelayMs);
    options.applySetNetwork = line.applySetNetwork;
    options.sendBufferBytes = cameras.size() > 1 ? kFleetSocketBuffer : 0;
    options.receiveBufferBytes = cameras.size() > 1 ? kFleetSocketBuffer : 0;
    DiscoveryResponder responder(cameras, options);
    WebServer::AddressMoved moveIface;
    if (cameras.size() == 1 && !line.iface.empty() && !line.noMoveIface) {
        moveIface = [iface = line.iface](const NetworkState& state) {
            std::string error;
            if (!MoveInterfaceAddress(iface, state.ip, state.netmask, state.gateway, error))
                std::fprintf(stderr, "camsim: moving %s failed: %s\n", iface.c_str(), error.c_str());
            else
                std::fprintf(stderr, "camsim: %s now has %s\n", iface.c_str(), FormatIpv4(state.ip).c_str());
        };
        responder.onNetworkChanged([moveIface](Camera&, const NetworkState& state) { moveIface(state); });
    }
    // A fleet shares one namespace and address, so only a single camera gets a web side.
    std::unique_ptr<WebServer> web;
    if (cameras.size() == 1) {
        line.web.port = line.webPort;
        line.web.timeScale = timeScale();
        web = std::make_unique<WebServer>(cameras.front(), line.web, moveIface);
    }

    // Blocked before the thread starts, so only sigwait below ever sees these.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    std::string error;
    if (!responder.Start(error) || (web && !web->Start(error))) {
        std::fprintf(stderr, "camsim: %s\n", error.c_str());
        return 1;
    }
    const std::string where = line.iface.empty() ? "any" : line.iface;
    if (cameras.size() == 1)
        std::printf("camsim ready cameras=1 iface=%s port=%d %s http=%s user=%s\n", where.c_str(), DISCOVERY_PORT,
                    DescribeCamera(cameras.front()->config()).c_str(),
                    cameras.front()->config().faults.silent ? "off" : std::to_string(line.webPort).c_str(),
                    line.web.user.c_str());
    else
        std::printf("camsim ready cameras=%zu iface=%s port=%d fleet first=%s last=%s\n", cameras.size(), where.c_str(),
                    DISCOVERY_PORT, FormatMac(cameras.front()->config().mac).c_str(),
                    FormatMac(cameras.back()->config().mac).c_str());
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    if (web)
        web->Stop();
    responder.Stop();
    const auto& stats = responder.stats();
    std::fprintf(stderr, "camsim: stopped by signal %d: searches=%llu replies=%llu set-network=%llu ignored=%llu\n",
                 signal, static_cast<unsigned long long>(stats.searches.load()),
                 static_cast<unsigned long long>(stats.replies.load()),
                 static_cast<unsigned long long>(stats.setNetwork.load()),
                 static_cast<unsigned long long>(stats.ignored.load()));
    return 0;
}
