#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/TarnDlg.h"
#include "discovery/Broadcast.h"
#include "hostnet/Probes.h"
#include "util/Event.h"
#include "util/Trace.h"
#include "webops/OperatorMessages.h"

std::optional<Ipv4> ClassMaskFor(std::uint8_t o) {
    if (o >= 1 && o <= 125)
        return Ipv4{255, 0, 0, 0};
    if (o >= 128 && o <= 190)
        return Ipv4{255, 255, 0, 0};
    if (o >= 192 && o <= 222)
        return Ipv4{255, 255, 255, 0};
    return std::nullopt;
}

void CTarnDlg::startThread(std::function<void()> work) {
    std::lock_guard guard(m_workersLock);
    if (m_closed)
        return;
    m_runningWorkers++;
    m_workers.emplace_back([this, work = std::move(work)] {
        work();
        m_runningWorkers--;
    });
}

void CTarnDlg::JoinWorkers(bool wait) {
    std::vector<std::thread> all;
    {
        std::lock_guard guard(m_workersLock);
        all.swap(m_workers);
    }
    // Workers may start further workers while we join, so keep draining.
    while (!all.empty()) {
        for (auto& t : all)
            if (t.joinable())
                t.join();
        all.clear();
        if (!wait)
            break;
        std::lock_guard guard(m_workersLock);
        all.swap(m_workers);
    }
}

bool CTarnDlg::WorkflowRunning() const {
    return m_runningWorkers.load() > 0;
}

CameraAddress CTarnDlg::cameraAddress(const std::string& host, int port) const {
    // Ports outside 1..65535 cannot be dialled; the camera's default is 80.
    auto p = static_cast<std::uint16_t>(port > 0 && port < 65536 ? port : 80);
    return {host, p, m_window.FieldText(Field::User).substr(0, 31), m_window.FieldText(Field::Password).substr(0, 31)};
}

int CTarnDlg::queryWithRetries(const CameraAddress& camera, FirmwareInfo& info) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        int r = QueryFirmwareInfo(camera, info);
        if (r > 0)
            return r;
        m_clock.Sleep(Clock::Milliseconds(500));
        if (m_clock.Interrupted())
            break;
    }
    return kNoReply;
}

void CTarnDlg::setStatus(int row, const std::string& text) {
    m_listDevices.SetItemText(row, StatusColumn, text);
}

void CTarnDlg::fail(DeviceInfo* record, int row, const std::string& text) {
    m_table->SetFailed(record, true);
    setStatus(row, text);
}

std::string CTarnDlg::drawLinkLocal(bool remember) {
    std::lock_guard guard(m_csWork);
    for (;;) {
        unsigned c = static_cast<unsigned>(m_random() % 255);
        unsigned d = static_cast<unsigned>(m_random() % 255 + 1);
        char text[32];
        std::snprintf(text, sizeof text, "169.254.%u.%u", c, d);
        if (!remember)
            return text;
        // Two workers must never hand out the same address (RFC 3927 range 169.254/16).
        if (std::find(m_linkLocalAssigned.begin(), m_linkLocalAssigned.end(), text) == m_linkLocalAssigned.end()) {
            m_linkLocalAssigned.push_back(text);
            return text;
        }
    }
}

std::string CTarnDlg::findFreeLinkLocal(bool remember) {
    const HostAdapter* adapter = ChosenAdapter();
    unsigned ifindex = adapter ? adapter->index : 0;
    std::string candidate = "169.254.0.1";
    for (int tries = 0; tries < kMaxArpCandidates && ArpProbe("", candidate, ifindex); ++tries)
        candidate = drawLinkLocal(remember);
    return candidate;
}

void CTarnDlg::sendSetNetwork(const SetNetworkCommand& command) {
    auto datagram = command.build();
    const HostAdapter* adapter = ChosenAdapter();
    // From any address, but out of the chosen adapter rather than the default route.
    BroadcastDatagram(datagram.data(), kAnyAddressDatagramLength, adapter ? static_cast<int>(adapter->index) : 0);
}

SetNetworkCommand CTarnDlg::detourCommand(const DeviceInfo& d, const std::string& linkLocal, bool upgrade) const {
    SetNetworkCommand c;
    c.family = CameraFamily::Maker;
    ParseIpv4(linkLocal, c.ip);
    c.mac = d.mac;
    c.netmask = upgrade ? Ipv4{255, 255, 255, 0} : Ipv4{255, 255, 0, 0};
    if (upgrade) {
        c.hasGateway = true;
        c.gateway = {169, 254, 0, 0};
    }
    c.flag32 = 1;
    std::memcpy(c.name.data(), d.name.data(), c.name.size());
    c.hasCredentials = true;
    c.user = m_window.FieldText(Field::User).substr(0, 31);
    c.password = m_window.FieldText(Field::Password).substr(0, 31);
    return c;
}

void CTarnDlg::SaveAdapterConfig() {
    const HostAdapter* adapter = ChosenAdapter();
    // A save while one is pending replaces it: doubled entries would be written back twice.
    m_savedConfig.reset();
    if (adapter)
        m_savedConfig = ReadAdapterConfig(adapter->index, m_platform.resolvConf);
}

void CTarnDlg::RestoreAdapterConfig() {
    std::string reconnect;
    if (m_savedConfig) {
        // With nothing saved the adapter is left alone: absent data must not strip it.
        if (!m_savedConfig->addresses.empty())
            WriteAdapterConfig(*m_savedConfig);
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
        if (PingAddress(address))
            return;
        m_clock.Sleep(Clock::Milliseconds(500));
    }
    Trace("Reconnect address %s did not answer.\n", address.c_str());
}

bool CTarnDlg::beginWorkflow() {
    // Taken at the button press, so that nothing can clear the table before the launcher runs.
    bool idle = false;
    return m_table && !m_closed && m_busy.compare_exchange_strong(idle, true);
}

void CTarnDlg::endWorkflowUnstarted() {
    m_busy = false;
}

void CTarnDlg::ensureLinkLocalRoute() {
    std::lock_guard guard(m_csWork);
    if (!m_linkLocalRoute && ChosenAdapter()) {
        m_linkLocalRoute = std::make_unique<LinkLocalRoute>(ChosenAdapter()->index);
        m_linkLocalRoute->Ensure();
    }
}

void CTarnDlg::finishJob(bool restoreAdapter) {
    if (restoreAdapter) {
        RestoreAdapterConfig();
        awaitReconnect();
    }
    {
        std::lock_guard guard(m_csWork);
        m_linkLocalRoute.reset();
    }
    SetReceiverMode(kReceiverRun);
    EnableControls(true);
}
