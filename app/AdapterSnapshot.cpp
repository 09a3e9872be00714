#include "app/AdapterSnapshot.h"

namespace {

std::string addressList(const std::optional<AdapterConfig>& config) {
    if (!config || config->addresses.empty())
        return "none";
    std::string text;
    for (std::size_t i = 0; i < config->addresses.size(); ++i) {
        text += (i ? ", " : "") + config->addresses[i];
        if (i < config->subnetMasks.size())
            text += "/" + config->subnetMasks[i];
    }
    return text;
}

bool sameAddresses(const std::optional<AdapterConfig>& a, const std::optional<AdapterConfig>& b) {
    const bool aNone = !a || a->addresses.empty(), bNone = !b || b->addresses.empty();
    if (aNone || bNone)
        return aNone == bNone;
    return a->addresses == b->addresses && a->subnetMasks == b->subnetMasks;
}

} // namespace

void AdapterSnapshot::SaveAdapterConfig(const HostAdapter* adapter) {
    // A save while one is pending replaces it: what counts is the card as this job found it.
    m_savedConfig.reset();
    if (adapter)
        m_savedConfig = m_network.ReadAdapterConfig(adapter->index, m_resolvConf);
}

std::vector<Text> AdapterSnapshot::RestoreAdapterConfig(const JobAdapter& adapter) {
    std::vector<Text> notes;
    // The job's one change to the card is its link-local route: that, and nothing else, is undone.
    if (auto removed = m_detours.RemoveRoute(adapter); !removed)
        notes.push_back(removed.Said());
    std::string reconnect;
    if (m_savedConfig) {
        // The card's own addresses belong to whoever set them (a DHCP client, NetworkManager): a
        // change during the job is theirs, and writing the old ones back would undo it.
        auto now = m_network.ReadAdapterConfig(m_savedConfig->index, m_resolvConf);
        if (!sameAddresses(m_savedConfig, now))
            notes.push_back(Note(QT_TRANSLATE_NOOP("Note", "The addresses of %1 changed during the job (from %2 to "
                                                           "%3), not by Flashwell; they were left as they are"),
                                 {adapter.interfaceName, addressList(m_savedConfig), addressList(now)}));
        if (!m_savedConfig->dnsServers.empty())
            reconnect = m_savedConfig->dnsServers.front().substr(0, 31);
    }
    m_savedConfig.reset();
    std::lock_guard guard(m_reconnectLock);
    m_reconnectAddress = reconnect;
    return notes;
}

std::string AdapterSnapshot::ReconnectAddress() const {
    std::lock_guard guard(m_reconnectLock);
    return m_reconnectAddress;
}
