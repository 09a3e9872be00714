#pragma once

#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "app/TarnDlg.h"
#include "discovery/WireProtocol.h"
#include "engine/CameraNetwork.h"

namespace testsupport {

// One scripted camera of the fake network. Tests set the fields before the job and read the
// counters after it; the network changes ip when a set-network command names the camera's MAC.
struct FakeCamera {
    std::string name = "cam";
    Mac mac{};
    Ipv4 ip{192, 168, 0, 20};
    Ipv4 netmask{255, 255, 255, 0};
    Ipv4 gateway{192, 168, 0, 1};
    CameraFamily family = CameraFamily::Generic;
    int webPort = 80;
    std::uint8_t ifType = 0;
    std::string model = "IPC1234";
    std::string version = "V1.05";
    // The query's answer at the camera's own address and at a 169.254 address.
    RequestResult queryAtHome = RequestResult::ModelAndVersion;
    RequestResult queryWhenMoved = RequestResult::ModelAndVersion;
    RequestResult upload = RequestResult::ReplyWithoutContent;
    // The whole image reaches it but no answer comes back; it burns the image all the same.
    bool uploadUnanswered = false;
    std::string burnTime = "0";
    // After an accepted upload it reports the uploaded image's version, unless this says otherwise.
    std::optional<std::string> versionAfterUpload;
    bool silentAfterUpload = false;
    // A slow reboot: after its upload it leaves this many queries unanswered.
    int silentQueriesAfterUpload = 0;
    RequestResult reset = RequestResult::ReplyWithoutContent;
    long resetStatus = 200; // what a reset that is not accepted answers
    std::string resetAnswer = "OK";
    // A reset camera comes back at the factory address; one that never does stays silent.
    bool backAfterReset = true;
    // What the network does to what is meant for it: the first N set-network commands and the
    // first N searches are lost.
    int lostCommands = 0;
    int lostSearches = 0;
    int hearsCommands = -1; // after this many heard set-network commands it hears none; -1: all
    bool answersSearch = true;

    int queries = 0;
    int uploads = 0;
    int resets = 0;
    std::vector<Ipv4> moves;      // every address a set-network command gave it, in order
    std::vector<std::string> log; // what reached it: "query ip", "upload ip", "reset ip"
};

// A CameraNetwork without sockets: HTTP goes to the fake camera at the host address (the first
// one listed when several share it, as an ARP cache picks one), set-network commands move cameras
// by MAC, searches are answered through a sink (the controller's intake). Every call is logged.
class FakeCameraNetwork : public CameraNetwork {
public:
    FakeCamera& AddCamera(FakeCamera camera);
    // Where replies to a search go; usually the controller's DatagramIntake.
    void SetReplySink(std::function<void(std::span<const std::uint8_t>)> sink);

    // The log lines that start with prefix, e.g. "query ", "upload ", "set-network ", "route ".
    std::vector<std::string> Calls(const std::string& prefix) const;
    // The set-network commands sent, decoded, in order.
    std::vector<SetNetworkCommand> Commands() const;
    FakeCamera& Camera(const std::string& name);

    // The host adapter as the job finds it (and, where set, as it is after the job's first read:
    // a DHCP renewal), and what else answers ARP and ping on the segment.
    std::optional<AdapterConfig> adapterConfig;
    std::optional<AdapterConfig> adapterConfigLater;
    std::set<std::string> arpTaken;
    std::set<std::string> pingable;
    NetworkRights rights{true, true};
    bool canProbe = true; // false: every probe answers Unknown, as without privileges
    bool routePresent = false;
    bool cardBusy = false;                  // another process holds the card's job lock
    std::set<std::string> pinnedNeighbours; // permanent entries the administrator set
    // Runs inside an upload, before it answers (e.g. to hold workers at a barrier).
    std::function<void(FakeCamera&)> onUpload;

    RequestResult QueryFirmwareInfo(const CameraAddress& camera, FirmwareInfo& info,
                                    const StopRequested& stop) override;
    RequestResult UploadFirmware(const CameraAddress& camera, const UploadBody& body, UploadReply& reply,
                                 const StopRequested& stop) override;
    RequestResult RequestFactoryReset(const CameraAddress& camera, ResetReply& reply,
                                      const StopRequested& stop) override;
    int BroadcastFromAdapter(const std::uint8_t* datagram, const std::string& adapterAddress) override;
    void BroadcastDatagram(const std::uint8_t* datagram, std::size_t length, unsigned ifindex) override;
    ProbeResult ProbeAddress(const std::string& target, unsigned ifindex, const StopRequested& stop) override;
    bool PingAddress(const std::string& address, const StopRequested& stop) override;
    std::optional<AdapterConfig> ReadAdapterConfig(unsigned ifindex, const std::string& resolvConf) override;
    bool EnsureLinkLocalRoute(unsigned ifindex, bool& added) override;
    bool RemoveLinkLocalRoute(unsigned ifindex) override;
    RouteReclaim ReclaimLinkLocalRoute(const std::string& card) override;
    unsigned InterfaceIndex(const std::string& name) override;
    NetworkRights Rights() override { return rights; }
    NeighbourForget ForgetNeighbour(const std::string& address, unsigned ifindex) override;

private:
    FakeCamera* at(const std::string& host);
    void log(const std::string& line);
    void applySetNetwork(std::span<const std::uint8_t> datagram);
    void answerSearch();

    mutable std::mutex m_lock;
    std::list<FakeCamera> m_cameras; // a list: references stay valid as cameras are added
    std::vector<std::string> m_log;
    std::vector<SetNetworkCommand> m_commands;
    std::function<void(std::span<const std::uint8_t>)> m_sink;
    int m_adapterReads = 0;
};

inline constexpr Mac kBenchCardMac = {0x02, 0x00, 0x00, 0x00, 0x0a, 0x10};

// A bench over the fake network: one card eth0 at 192.168.0.10, no receiver (replies reach the
// intake through the network's sink), the journal and the job records in folder, and a job lock
// of the test's own, since tests run side by side in one network namespace.
ControllerPlatform FakeBenchPlatform(std::shared_ptr<FakeCameraNetwork> network, const std::string& folder);

} // namespace testsupport
