#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/CameraNetwork.h"
#include "engine/JobRequest.h"
#include "engine/LinkLocalDetours.h"
#include "hostnet/AdapterConfig.h"
#include "hostnet/HostAdapters.h"
#include "util/Text.h"

// The card as a job found it, and the end of the job's hold on it. The job's one change to the
// card is its link-local route; the card's own addresses belong to whoever set them.
class AdapterSnapshot {
public:
    AdapterSnapshot(CameraNetwork& network, LinkLocalDetours& detours, std::string resolvConf)
        : m_network(network), m_detours(detours), m_resolvConf(std::move(resolvConf)) {}

    // Read before the job; a save while one is pending replaces it.
    void SaveAdapterConfig(const HostAdapter* adapter);
    // Its link-local route goes; what the operator should hear of (a route left, addresses
    // another manager changed meanwhile), one note each.
    std::vector<Text> RestoreAdapterConfig(const JobAdapter& adapter);
    const std::optional<AdapterConfig>& SavedAdapterConfig() const { return m_savedConfig; }
    // The first name server the card had, probed after a job until it answers; empty when none.
    std::string ReconnectAddress() const;

private:
    CameraNetwork& m_network;
    LinkLocalDetours& m_detours;
    std::string m_resolvConf;
    std::optional<AdapterConfig> m_savedConfig;
    mutable std::mutex m_reconnectLock;
    std::string m_reconnectAddress;
};
