#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "discovery/DiscoverySocket.h"
#include "helper/HelperProtocol.h"
#include "hostnet/AdapterConfig.h"
#include "hostnet/Privileges.h"
#include "hostnet/Probes.h"
#include "util/StopRequested.h"
#include "webops/CameraWebClient.h"

// What became of a route that an earlier run left on a card.
enum class RouteReclaim {
    Removed,
    NoneThere,
    Busy, // a job runs on the card now: what stands there is its own
    Failed,
};

// Everything the workflows do to the world outside the process: the cameras' CGI over HTTP, the
// discovery protocol's broadcasts, the reachability probes and the host adapter. The system's
// implementation forwards to sockets; unit tests script a fake, so the workflows run without root.
// Calls that wait take the workflow's stop, so closing never waits out a time-out.
class CameraNetwork {
public:
    virtual ~CameraNetwork() = default;

    virtual RequestResult QueryFirmwareInfo(const CameraAddress& camera, FirmwareInfo& info,
                                            const StopRequested& stop) = 0;
    virtual RequestResult UploadFirmware(const CameraAddress& camera, const UploadBody& body, UploadReply& reply,
                                         const StopRequested& stop) = 0;
    virtual RequestResult RequestFactoryReset(const CameraAddress& camera, ResetReply& reply,
                                              const StopRequested& stop) = 0;

    // 194 bytes to 255.255.255.255:4000 from the adapter's own address; bytes sent or negative.
    virtual int BroadcastFromAdapter(const std::uint8_t* datagram, const std::string& adapterAddress) = 0;
    // A datagram to 255.255.255.255:4000 from any address, out of the given interface.
    virtual void BroadcastDatagram(const std::uint8_t* datagram, std::size_t length, unsigned ifindex) = 0;

    // Whether a station on the adapter's segment holds the address; Unknown when nothing can tell.
    virtual ProbeResult ProbeAddress(const std::string& target, unsigned ifindex, const StopRequested& stop) = 0;
    // True when the address itself answers ICMP echo.
    virtual bool PingAddress(const std::string& address, const StopRequested& stop) = 0;

    // The card's own addresses are read, never written: another manager (a DHCP client,
    // NetworkManager) owns them.
    virtual std::optional<AdapterConfig> ReadAdapterConfig(unsigned ifindex, const std::string& resolvConf) = 0;
    // The on-link route to 169.254.0.0/16 (RFC 3927): added is set when this call put it there.
    virtual bool EnsureLinkLocalRoute(unsigned ifindex, bool& added) = 0;
    // Removes the route that EnsureLinkLocalRoute added; true when nothing of ours is left.
    virtual bool RemoveLinkLocalRoute(unsigned ifindex) = 0;
    // Removes the marked route a run that has ended left on the card, unless a job runs there now.
    virtual RouteReclaim ReclaimLinkLocalRoute(const std::string& card) = 0;
    // The interface's index now, 0 when it is gone (indexes change across boots, names rarely do).
    virtual unsigned InterfaceIndex(const std::string& name) = 0;
    // The capabilities the process holds for the calls above, itself or through its helper.
    virtual NetworkRights Rights() = 0;

    // Deletes the kernel's dynamic neighbour entry of a link-local address on the interface, so that
    // a camera that has just taken it is asked afresh; an entry the administrator pinned stays.
    virtual NeighbourForget ForgetNeighbour(const std::string& /*address*/, unsigned /*ifindex*/) {
        return NeighbourForget::Failed;
    }
    // The discovery receiver's socket on UDP port; invalid, with error saying why, when it cannot be had.
    virtual UniqueFd OpenDiscoverySocket(std::uint16_t port, std::string& error) {
        return ::OpenDiscoverySocket(port, error);
    }
};

class HelperClient;

// The real thing: webops, discovery and hostnet over the system's sockets and rtnetlink. A step
// that needs a capability the process lacks goes to flashwell-helper, started at the first such step.
class SystemCameraNetwork : public CameraNetwork {
public:
    SystemCameraNetwork();
    explicit SystemCameraNetwork(const std::string& helperPath);
    ~SystemCameraNetwork() override;
    SystemCameraNetwork(const SystemCameraNetwork&) = delete;
    SystemCameraNetwork& operator=(const SystemCameraNetwork&) = delete;

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
    NetworkRights Rights() override;
    NeighbourForget ForgetNeighbour(const std::string& address, unsigned ifindex) override;
    UniqueFd OpenDiscoverySocket(std::uint16_t port, std::string& error) override;

private:
    std::optional<HelperReply> callHelper(const HelperRequest& request, const StopRequested& stop = {},
                                          UniqueFd* passed = nullptr);
    ProbeResult arpThroughHelper(const std::string& target, unsigned ifindex, const StopRequested& stop);
    ProbeResult pingWithoutRawSocket(const std::string& target, const StopRequested& stop);

    std::unique_ptr<HelperClient> m_helper;
};
