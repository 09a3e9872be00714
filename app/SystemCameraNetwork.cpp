#include "app/CameraNetwork.h"
#include "discovery/Broadcast.h"
#include "hostnet/Probes.h"

RequestResult SystemCameraNetwork::QueryFirmwareInfo(const CameraAddress& camera, FirmwareInfo& info) {
    return ::QueryFirmwareInfo(camera, info);
}

RequestResult SystemCameraNetwork::UploadFirmware(const CameraAddress& camera, const UploadBody& body,
                                                  std::array<char, 32>& burnTime) {
    return ::UploadFirmware(camera, body, burnTime);
}

RequestResult SystemCameraNetwork::RequestFactoryReset(const CameraAddress& camera) {
    return ::RequestFactoryReset(camera);
}

int SystemCameraNetwork::BroadcastFromAdapter(const std::uint8_t* datagram, const std::string& adapterAddress) {
    return ::BroadcastFromAdapter(datagram, adapterAddress);
}

void SystemCameraNetwork::BroadcastDatagram(const std::uint8_t* datagram, std::size_t length, unsigned ifindex) {
    ::BroadcastDatagram(datagram, length, static_cast<int>(ifindex));
}

bool SystemCameraNetwork::ArpProbe(const std::string& target, unsigned ifindex) {
    // No source address: an RFC 5227 probe, as a host without a link-local address of its own sends.
    return ::ArpProbe("", target, ifindex);
}

bool SystemCameraNetwork::PingAddress(const std::string& address) {
    return ::PingAddress(address);
}

std::optional<AdapterConfig> SystemCameraNetwork::ReadAdapterConfig(unsigned ifindex, const std::string& resolvConf) {
    return ::ReadAdapterConfig(ifindex, resolvConf);
}

bool SystemCameraNetwork::WriteAdapterConfig(const AdapterConfig& saved) {
    return ::WriteAdapterConfig(saved);
}

bool SystemCameraNetwork::EnsureLinkLocalRoute(unsigned ifindex, bool& added) {
    LinkLocalRoute route(ifindex);
    bool ok = route.Ensure();
    added = route.Added();
    // The route stays when this object goes: the controller removes it at the end of the job.
    route.Release();
    return ok;
}

bool SystemCameraNetwork::RemoveLinkLocalRoute(unsigned ifindex) {
    return LinkLocalRoute::RemoveOurs(ifindex);
}
