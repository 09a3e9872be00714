#include "app/TarnDlg.h"
#include "util/Trace.h"

void CTarnDlg::SaveAdapterConfig() {
    const HostAdapter* adapter = ChosenAdapter();
    // A save while one is pending replaces it: doubled entries would be written back twice.
    m_savedConfig.reset();
    if (adapter)
        m_savedConfig = m_network.ReadAdapterConfig(adapter->index, m_platform.resolvConf);
}

void CTarnDlg::RestoreAdapterConfig() {
    std::string reconnect;
    if (m_savedConfig) {
        // With nothing saved the adapter is left alone: absent data must not strip it.
        if (!m_savedConfig->addresses.empty())
            m_network.WriteAdapterConfig(*m_savedConfig);
        if (!m_savedConfig->dnsServers.empty())
            reconnect = m_savedConfig->dnsServers.front().substr(0, 31);
    }
    m_savedConfig.reset();
    std::lock_guard guard(m_reconnectLock);
    m_reconnectAddress = reconnect;
}

std::string CTarnDlg::ReconnectAddress() const {
    std::lock_guard guard(m_reconnectLock);
    return m_reconnectAddress;
}

void CTarnDlg::awaitReconnect() {
    std::string address = ReconnectAddress();
    if (address.empty())
        return;
    for (int probe = 0; probe < kMaxReconnectProbes && !m_clock.Interrupted(); ++probe) {
        if (m_network.PingAddress(address))
            return;
        m_clock.Sleep(Clock::Milliseconds(500));
    }
    Trace("Reconnect address %s did not answer.\n", address.c_str());
}

void CTarnDlg::finishJob(JobClosing closing) {
    if (closing == JobClosing::RestoreAdapter) {
        RestoreAdapterConfig();
        awaitReconnect();
    }
    removeLinkLocalRoute();
    SetReceiverMode(kReceiverRun);
    EnableControls(true);
}
