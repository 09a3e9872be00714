#include <net/if.h>

#include "app/CameraNetwork.h"
#include "discovery/Broadcast.h"
#include "hostnet/Probes.h"

RequestResult SystemCameraNetwork::QueryFirmwareInfo(const CameraAddress& camera, FirmwareInfo& info,
                                                     const StopRequested& stop) {
    return ::QueryFirmwareInfo(camera, info, stop);
}

RequestResult SystemCameraNetwork::UploadFirmware(const CameraAddress& camera, const UploadBody& body,
                                                  UploadReply& reply, const StopRequested& stop) {
    return ::UploadFirmware(camera, body, reply, stop);
}

RequestResult SystemCameraNetwork::RequestFactoryReset(const CameraAddress& camera, ResetReply& reply,
                                                       const StopRequested& stop) {
    return ::RequestFactoryReset(camera, reply, stop);
}

int SystemCameraNetwork::BroadcastFromAdapter(const std::uint8_t* datagram, const std::string& adapterAddress) {
    return ::BroadcastFromAdapter(datagram, adapterAddress);
}

void SystemCameraNetwork::BroadcastDatagram(const std::uint8_t* datagram, std::size_t length, unsigned ifindex) {
    ::BroadcastDatagram(datagram, length, static_cast<int>(ifindex));
}

ProbeResult SystemCameraNetwork::ProbeAddress(const std::string& target, unsigned ifindex, const StopRequested& stop) {
    return ProbeAddressInUse(target, ifindex, stop);
}

bool SystemCameraNetwork::PingAddress(const std::string& address, const StopRequested& stop) {
    return ::PingAddress(address, stop);
}

std::optional<AdapterConfig> SystemCameraNetwork::ReadAdapterConfig(unsigned ifindex, const std::string& resolvConf) {
    return ::ReadAdapterConfig(ifindex, resolvConf);
}

AdapterWrite SystemCameraNetwork::WriteAdapterConfig(const AdapterConfig& saved) {
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

unsigned SystemCameraNetwork::InterfaceIndex(const std::string& name) {
    return name.empty() ? 0 : ::if_nametoindex(name.c_str());
}

NetworkRights SystemCameraNetwork::Rights() {
    return CurrentNetworkRights();
}
