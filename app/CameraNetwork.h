#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "hostnet/AdapterConfig.h"
#include "webops/CameraWebClient.h"

// Everything the workflows do to the world outside the process: the cameras' CGI over HTTP, the
// discovery protocol's broadcasts, the reachability probes and the host adapter. The system's
// implementation forwards to sockets; unit tests script a fake, so the workflows run without root.
class CameraNetwork {
public:
    virtual ~CameraNetwork() = default;

    virtual RequestResult QueryFirmwareInfo(const CameraAddress& camera, FirmwareInfo& info) = 0;
    virtual RequestResult UploadFirmware(const CameraAddress& camera, const UploadBody& body,
                                         std::array<char, 32>& burnTime) = 0;
    virtual RequestResult RequestFactoryReset(const CameraAddress& camera) = 0;

    // 194 bytes to 255.255.255.255:4000 from the adapter's own address; bytes sent or negative.
    virtual int BroadcastFromAdapter(const std::uint8_t* datagram, const std::string& adapterAddress) = 0;
    // A datagram to 255.255.255.255:4000 from any address, out of the given interface.
    virtual void BroadcastDatagram(const std::uint8_t* datagram, std::size_t length, unsigned ifindex) = 0;

    // True when a station on the adapter's segment answers ARP for the address.
    virtual bool ArpProbe(const std::string& target, unsigned ifindex) = 0;
    // True when the address itself answers ICMP echo.
    virtual bool PingAddress(const std::string& address) = 0;

    virtual std::optional<AdapterConfig> ReadAdapterConfig(unsigned ifindex, const std::string& resolvConf) = 0;
    virtual bool WriteAdapterConfig(const AdapterConfig& saved) = 0;
    // The on-link route to 169.254.0.0/16 (RFC 3927): added is set when this call put it there.
    virtual bool EnsureLinkLocalRoute(unsigned ifindex, bool& added) = 0;
    // Removes the route that EnsureLinkLocalRoute added; true when nothing of ours is left.
    virtual bool RemoveLinkLocalRoute(unsigned ifindex) = 0;
};

// The real thing: webops, discovery and hostnet over the system's sockets and rtnetlink.
class SystemCameraNetwork : public CameraNetwork {
public:
    RequestResult QueryFirmwareInfo(const CameraAddress& camera, FirmwareInfo& info) override;
    RequestResult UploadFirmware(const CameraAddress& camera, const UploadBody& body,
                                 std::array<char, 32>& burnTime) override;
    RequestResult RequestFactoryReset(const CameraAddress& camera) override;
    int BroadcastFromAdapter(const std::uint8_t* datagram, const std::string& adapterAddress) override;
    void BroadcastDatagram(const std::uint8_t* datagram, std::size_t length, unsigned ifindex) override;
    bool ArpProbe(const std::string& target, unsigned ifindex) override;
    bool PingAddress(const std::string& address) override;
    std::optional<AdapterConfig> ReadAdapterConfig(unsigned ifindex, const std::string& resolvConf) override;
    bool WriteAdapterConfig(const AdapterConfig& saved) override;
    bool EnsureLinkLocalRoute(unsigned ifindex, bool& added) override;
    bool RemoveLinkLocalRoute(unsigned ifindex) override;
};
