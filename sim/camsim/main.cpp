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
#include "sim/camsim/FleetWeb.h"
#include "sim/camsim/InterfaceAddress.h"
#include "sim/camsim/JunkReplies.h"
#include "sim/camsim/KernelSilence.h"
#include "sim/camsim/LossPattern.h"
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
    int fleetWeb = 0;
    std::string fleetBase;
    bool junk = false;
    bool flood = false;
    bool applySetNetwork = true;
    bool noMoveIface = false;
    std::string user = "admin";
    std::string password;
    std::string model = "IPC1234";
    std::string version = "V1.05";
    std::string hardware = "eth0,wifi0";
    std::vector<std::string> faults;
    std::string loseCommands;
    std::string loseSearches;
    std::string resetAnswer;
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

bool parseLoss(const std::string& option, const std::string& text, LossPattern& out) {
    if (text.empty())
        return true;
    if (auto pattern = LossPattern::Parse(text)) {
        out = *pattern;
        return true;
    }
    std::fprintf(stderr, "camsim: %s: expected a share such as 30%% or ordinals such as 1,3, got %s\n", option.c_str(),
                 text.c_str());
    return false;
}

// "STATUS" or "STATUS:BODY" into the web side's reset answer; false after saying what is wrong.
bool parseResetAnswer(const std::string& text, WebOptions& web) {
    if (text.empty())
        return true;
    const std::size_t colon = text.find(':');
    const std::string status = text.substr(0, colon);
    if (status.size() != 3 || status.find_first_not_of("0123456789") != std::string::npos || status[0] < '1' ||
        status[0] > '5') {
        std::fprintf(stderr, "camsim: --reset-answer: expected STATUS[:BODY] with STATUS 100-599, got %s\n",
                     text.c_str());
        return false;
    }
    web.resetStatus = std::stoi(status);
    web.resetBody = colon == std::string::npos ? std::string() : text.substr(colon + 1);
    return true;
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
    if (!parseLoss("--lose-commands", line.loseCommands, base.loseCommands) ||
        !parseLoss("--lose-searches", line.loseSearches, base.loseSearches))
        return false;
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
    if (line.fleet == 0) {
        out = {base};
        return true;
    }
    std::optional<Ipv4> first;
    if (!line.fleetBase.empty()) {
        Ipv4 ip{};
        if (!parseAddress("--fleet-base", line.fleetBase, ip))
            return false;
        first = ip;
    }
    out = MakeFleet(base, line.fleet, familyGiven ? std::optional(base.answers) : std::nullopt, first);
    if (first && out.back().ip < out.front().ip) {
        std::fprintf(stderr, "camsim: --fleet-base %s: %d addresses run past 255.255.255.254\n", line.fleetBase.c_str(),
                     line.fleet);
        return false;
    }
    return true;
}

int run(int argc, char** argv) {
    CommandLine line;
    CLI::App app{"Simulated network camera: answers discovery on UDP 4000 and, as a single camera (or --fleet-web), "
                 "its web CGIs over HTTP."};
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
    app.add_option("--web-port", line.webPort,
                   "web port reported in replies and served (single camera, or each --fleet-web camera)")
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
    auto* fleetOption =
        app.add_option("--fleet", line.fleet, "answer as N cameras with distinct MACs and 10.x.y.z/8 addresses")
            ->check(CLI::Range(1, 100000));
    app.add_option("--fleet-base", line.fleetBase,
                   "fleet addresses count up from this one, skipping x.x.x.0 and x.x.x.255, and report --mask and "
                   "--gateway (e.g. 192.168.1.1 next to a host at 192.168.0.10/16)")
        ->needs(fleetOption);
    app.add_option("--fleet-web", line.fleetWeb,
                   "the first M fleet cameras also serve the CGIs like a single camera, each on port --web-port of "
                   "its own address, which this process adds to --iface (with the prefix of its mask) and removes "
                   "on exit; the ready line shows them. The host must reach them on its link: give it an address "
                   "whose prefix covers them (e.g. 192.168.0.10/16 with --fleet-base 192.168.1.1) or an on-link "
                   "route (ip route add 10.0.0.0/8 dev eth0 for the default 10.x.y.z addresses). After a factory reset "
                   "such a camera reports the factory address 192.168.0.20, while its web side stays on its own")
        ->needs(fleetOption)
        ->check(CLI::Range(1, 500));
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
    app.add_option("--burn-sec", line.web.burnSec, "burn time an upgrade takes (and reports, unless --announce-burn)")
        ->check(CLI::Range(0, 3600))
        ->capture_default_str();
    app.add_option("--announce-burn", line.web.announceBurn,
                   "text the upload reply puts in OK,ImgBurnTimeSec=\"TEXT\", whatever the real burn (default: the "
                   "--burn-sec number)");
    app.add_flag("--junk", line.junk, JunkHelp());
    app.add_flag("--flood", line.flood,
                 "from the first search on, broadcast every camera's reply again and again, as fast as the socket "
                 "takes them, until stopped");
    app.add_option("--reboot-ms", line.web.rebootMs,
                   "silence after a burn (which takes --burn-sec first) or a factory reset, scaled by "
                   "FLASHWELL_TIME_SCALE; up to an hour, e.g. 300000 for a camera that needs five minutes to come back")
        ->check(CLI::Range(0, 3600000))
        ->capture_default_str();
    app.add_option("--lose-commands", line.loseCommands,
                   "lose set-network commands addressed to this MAC (each camera of a fleet its own): a share, e.g. "
                   "30% (drawn at random from a seed made of the MAC, so a run repeats), or ordinals counted from 1, "
                   "e.g. 1,3; a lost command is logged and has no effect");
    app.add_option("--lose-searches", line.loseSearches,
                   "lose search requests this camera would answer (its family, not rebooting), as --lose-commands");
    app.add_option("--reset-answer", line.resetAnswer,
                   "STATUS[:BODY] a factory reset answers, e.g. 404, 501 or \"200:<html>Not supported</html>\"; "
                   "anything but the default 200:OK resets nothing");
    app.add_option("--fault", line.faults,
                   "misbehave (repeatable): " + CLI::detail::join(FaultNames(), ", ") +
                       ". hung: the web port takes connections and never answers (a hung web server; discovery "
                       "still answers); trickle: every CGI answers 200 and its headers, then one space every 500 ms "
                       "(real time) "
                       "until the client closes; trickle-upload: the same for the upload only, after its whole "
                       "body; upload-no-reply: the upload body is read, then nothing is sent until the client "
                       "closes; reset-mid-upload: the upload's connection is reset (RST) about halfway through "
                       "the body; unauthorized-when-moved: like no-model-until-moved, but at 169.254.x.y every "
                       "request gets 401. None of these burns. burn-no-reply: the whole upload is taken, its "
                       "connection closed without a byte of answer, and the camera burns and reboots as after a good "
                       "upload; split-reply: the upload's and the query's answers arrive in two pieces 300 ms apart "
                       "(real time), cut in the middle")
        ->check(CLI::IsMember(FaultNames()));
    CLI11_PARSE(app, argc, argv);
    if (!parseResetAnswer(line.resetAnswer, line.web))
        return 2;
    if (line.fleetWeb > line.fleet) {
        std::fprintf(stderr, "camsim: --fleet-web %d exceeds --fleet %d\n", line.fleetWeb, line.fleet);
        return 2;
    }
    if (line.fleetWeb > 0 && line.iface.empty()) {
        std::fprintf(stderr, "camsim: --fleet-web needs --iface to put the addresses on\n");
        return 2;
    }

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
    options.junk = line.junk;
    options.flood = line.flood;
    DiscoveryResponder responder(cameras, options);
    const bool ownNamespace = cameras.size() == 1 && line.fleetWeb == 0 && !line.iface.empty();
    // Declared before the web side, which uses it until it stops.
    std::unique_ptr<KernelSilence> silence;
    if (ownNamespace)
        silence = std::make_unique<KernelSilence>(line.iface);
    WebServer::AddressMoved moveIface;
    if (ownNamespace && !line.noMoveIface) {
        const CameraConfig& config = cameras.front()->config();
        std::string startRoutes;
        std::string startError;
        if (!SetCameraRoutes(line.iface, config.ip, config.netmask, config.gateway, startRoutes, startError)) {
            std::fprintf(stderr, "camsim: routes on %s: %s\n", line.iface.c_str(), startError.c_str());
            return 1;
        }
        std::fprintf(stderr, "camsim: %s has %s\n", line.iface.c_str(), startRoutes.c_str());
        moveIface = [iface = line.iface](const NetworkState& state) {
            std::string routes;
            std::string error;
            if (!MoveInterfaceAddress(iface, state.ip, state.netmask, state.gateway, routes, error))
                std::fprintf(stderr, "camsim: moving %s failed: %s\n", iface.c_str(), error.c_str());
            else
                std::fprintf(stderr, "camsim: %s now has %s, %s\n", iface.c_str(), FormatIpv4(state.ip).c_str(),
                             routes.c_str());
        };
        responder.onNetworkChanged([moveIface](Camera&, const NetworkState& state) { moveIface(state); });
    }
    line.web.port = line.webPort;
    line.web.timeScale = timeScale();
    // A fleet shares one namespace: only cameras given addresses of their own get a web side.
    std::unique_ptr<WebServer> web;
    std::unique_ptr<FleetWeb> fleetWeb;
    if (cameras.size() == 1 && line.fleetWeb == 0)
        web = std::make_unique<WebServer>(cameras.front(), line.web, moveIface, silence.get());
    else if (line.fleetWeb > 0)
        fleetWeb = std::make_unique<FleetWeb>(
            std::vector<std::shared_ptr<Camera>>(cameras.begin(), cameras.begin() + line.fleetWeb), line.web,
            line.iface);

    // Blocked before the thread starts, so only sigwait below ever sees these.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // A client that hangs up mid-reply must fail the write, not end the simulator.
    std::signal(SIGPIPE, SIG_IGN);

    std::string error;
    if (!responder.Start(error) || (web && !web->Start(error)) || (fleetWeb && !fleetWeb->Start(error))) {
        std::fprintf(stderr, "camsim: %s\n", error.c_str());
        return 1;
    }
    std::string extras;
    if (line.junk)
        extras += " junk";
    if (line.flood)
        extras += " flood";
    const std::string where = line.iface.empty() ? "any" : line.iface;
    if (web)
        std::printf("camsim ready cameras=1 iface=%s port=%d %s http=%s user=%s%s\n", where.c_str(), DISCOVERY_PORT,
                    DescribeCamera(cameras.front()->config()).c_str(),
                    cameras.front()->config().faults.silent ? "off" : std::to_string(line.webPort).c_str(),
                    line.web.user.c_str(), extras.c_str());
    else {
        std::string webText;
        if (fleetWeb)
            webText = " web=" + std::to_string(line.fleetWeb) + " http=" + std::to_string(line.webPort) + " " +
                      fleetWeb->Describe();
        std::printf("camsim ready cameras=%zu iface=%s port=%d fleet first=%s last=%s ips=%s..%s%s%s\n", cameras.size(),
                    where.c_str(), DISCOVERY_PORT, FormatMac(cameras.front()->config().mac).c_str(),
                    FormatMac(cameras.back()->config().mac).c_str(), FormatIpv4(cameras.front()->config().ip).c_str(),
                    FormatIpv4(cameras.back()->config().ip).c_str(), webText.c_str(), extras.c_str());
    }
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    responder.Stop();
    if (web)
        web->Stop();
    if (fleetWeb)
        fleetWeb->Stop();
    // A camera stopped mid-reboot leaves its namespace answering ARP and ping as it found it.
    if (silence)
        silence->end();
    const auto& stats = responder.stats();
    std::fprintf(
        stderr,
        "camsim: stopped by signal %d: searches=%llu replies=%llu set-network=%llu ignored=%llu lost=%llu "
        "junk=%llu flooded=%llu\n",
        signal, static_cast<unsigned long long>(stats.searches.load()),
        static_cast<unsigned long long>(stats.replies.load()), static_cast<unsigned long long>(stats.setNetwork.load()),
        static_cast<unsigned long long>(stats.ignored.load()), static_cast<unsigned long long>(stats.lost.load()),
        static_cast<unsigned long long>(stats.junk.load()), static_cast<unsigned long long>(stats.flooded.load()));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "camsim: %s\n", e.what());
        return 1;
    }
}
