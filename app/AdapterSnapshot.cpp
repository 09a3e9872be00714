#include "app/TarnDlg.h"
#include "util/Trace.h"

void CTarnDlg::SaveAdapterConfig() {
    const HostAdapter* adapter = ChosenAdapter();
    // A save while one is pending replaces it: doubled entries would be written back twice.
    m_savedConfig.reset();
    if (adapter)
        m_savedConfig = m_network.ReadAdapterConfig(adapter->index, m_platform.resolvConf);
}

bool CTarnDlg::RestoreAdapterConfig() {
    std::string reconnect;
    AdapterWrite written = AdapterWrite::Unchanged;
    if (m_savedConfig) {
        // With nothing saved the adapter is left alone: absent data must not strip it.
        if (!m_savedConfig->addresses.empty())
            written = m_network.WriteAdapterConfig(*m_savedConfig);
        if (!m_savedConfig->dnsServers.empty())
            reconnect = m_savedConfig->dnsServers.front().substr(0, 31);
    }
    m_savedConfig.reset();
    std::lock_guard guard(m_reconnectLock);
    m_reconnectAddress = reconnect;
    return written == AdapterWrite::Changed;
}

std::string CTarnDlg::ReconnectAddress() const {
    std::lock_guard guard(m_reconnectLock);
    return m_reconnectAddress;
}

void CTarnDlg::awaitReconnect() {
    std::string address = ReconnectAddress();
    if (address.empty())
        return;
    // The controls stay grey meanwhile; the note says why.
    m_window.ShowNote("Waiting for " + address + " to answer after the network card was restored...",
                      NoteKind::Waiting);
    bool answered = false;
    for (int probe = 0; probe < kMaxReconnectProbes && !m_clock.Interrupted() && !answered; ++probe) {
        answered = m_network.PingAddress(address, m_stop);
        if (!answered)
            m_clock.Sleep(Clock::Milliseconds(500));
    }
    if (!answered)
        Trace("Reconnect address %s did not answer.\n", address.c_str());
    m_window.ShowNote("", NoteKind::Waiting);
}
