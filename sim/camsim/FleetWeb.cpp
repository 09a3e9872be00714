#include "sim/camsim/FleetWeb.h"

#include <cstdio>
#include <utility>

#include "sim/camsim/InterfaceAddress.h"

FleetWeb::FleetWeb(std::vector<std::shared_ptr<Camera>> cameras, WebOptions common, std::string iface)
    : m_cameras(std::move(cameras)), m_common(std::move(common)), m_iface(std::move(iface)) {}

FleetWeb::~FleetWeb() {
    Stop();
}

bool FleetWeb::Start(std::string& error) {
    std::vector<std::string> cidrs;
    for (const auto& camera : m_cameras) {
        const CameraConfig& config = camera->config();
        int prefix = PrefixLength(config.netmask);
        cidrs.push_back(FormatIpv4(config.ip) + "/" + std::to_string(prefix > 0 ? prefix : 32));
    }
    if (!AddInterfaceAddresses(m_iface, cidrs, error)) {
        // Some may have gone on before the failing line.
        std::string ignored;
        RemoveInterfaceAddresses(m_iface, cidrs, ignored);
        error = "adding the fleet's addresses to " + m_iface + ": " + error;
        return false;
    }
    m_added = std::move(cidrs);
    for (const auto& camera : m_cameras) {
        const CameraConfig& config = camera->config();
        WebOptions options = m_common;
        options.bindAddress = FormatIpv4(config.ip);
        options.workerThreads = kWorkersPerCamera;
        // A reset camera reports the factory address, as a real one does, and the job looks for it
        // there; its listener stays on its own address, which the whole fleet could not share.
        options.logPrefix = "camsim: " + config.name + ": ";
        auto server = std::make_unique<WebServer>(camera, options, nullptr);
        if (!server->Start(error)) {
            Stop();
            return false;
        }
        m_servers.push_back(std::move(server));
    }
    return true;
}

void FleetWeb::Stop() {
    // Every listener closes first, so the joins below do not wait one after another.
    for (auto& server : m_servers)
        server->BeginStop();
    for (auto& server : m_servers)
        server->Stop();
    m_servers.clear();
    if (m_added.empty())
        return;
    std::string error;
    if (!RemoveInterfaceAddresses(m_iface, m_added, error))
        std::fprintf(stderr, "camsim: removing the fleet's addresses: %s\n", error.c_str());
    m_added.clear();
}

std::string FleetWeb::Describe() const {
    if (m_added.empty())
        return "added=none";
    return "added=" + m_added.front() + ".." + m_added.back() + " dev=" + m_iface;
}
