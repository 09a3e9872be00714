#include "app/Discovery.h"

#include "discovery/WireProtocol.h"
#include "util/Trace.h"

void DiscoverySession::Open(const std::vector<AdapterData>& cards, std::optional<int> choice, Sighting sighted) {
    m_sighted = std::move(sighted);
    m_table = std::make_unique<DeviceTable>();
    m_intake = std::make_unique<DatagramIntake>(*m_table, m_list, m_receiverMode, m_entryLock, m_intakeStats);
    m_intake->OnSighting(m_sighted);
    m_adapters = EnumerateHostAdapters(cards);
    m_nAdapterIndex = m_adapters.selected;
    if (choice && *choice >= 0 && static_cast<std::size_t>(*choice) < m_adapters.adapters.size())
        m_nAdapterIndex = *choice;
}

const HostAdapter* DiscoverySession::ChosenAdapter() const {
    if (m_nAdapterIndex < 0 || static_cast<std::size_t>(m_nAdapterIndex) >= m_adapters.adapters.size())
        return nullptr;
    return &m_adapters.adapters[static_cast<std::size_t>(m_nAdapterIndex)];
}

bool DiscoverySession::StartReceiver() {
    m_receiverError.clear();
    if (!m_listen) {
        m_receiverError = "not listening";
        return false;
    }
    const HostAdapter* adapter = ChosenAdapter();
    if (!adapter || adapter->address.empty()) {
        m_receiverError = "no network adapter with an IPv4 address is chosen";
        return false;
    }
    m_receiver = std::make_unique<Receiver>(*m_table, m_list, m_receiverMode, m_entryLock);
    m_receiver->OnSighting(m_sighted);
    auto open = [this](std::uint16_t port, std::string& error) { return m_network.OpenDiscoverySocket(port, error); };
    if (m_receiver->Start(adapter->address, static_cast<int>(adapter->index), m_receiverError, DISCOVERY_PORT, open))
        return true;
    Trace("Receiver on %s: %s\n", adapter->address.c_str(), m_receiverError.c_str());
    m_receiver.reset();
    return false;
}

void DiscoverySession::SetReceiverMode(int mode) {
    {
        // Once this returns no reply that passed the mode test is still on its way into the table.
        std::lock_guard entry(m_entryLock);
        m_receiverMode = mode;
    }
    if (mode == kReceiverStop && m_receiver) {
        m_receiver->Stop();
        m_receiver.reset();
    }
}

void DiscoverySession::clear() {
    // Under the entry lock no reply that passed the mode test is half-way into the table.
    std::lock_guard entry(m_entryLock);
    if (m_table)
        m_table->ClearDeviceTable();
    m_list.DeleteAllItems();
}

void DiscoverySession::Search() {
    if (!m_table)
        return;
    SetReceiverMode(kReceiverHold);
    clear();
    // Run before the requests leave: a camera on the same switch answers within microseconds,
    // and the cleared table can no longer race with an entry (the entry lock saw to that).
    SetReceiverMode(kReceiverRun);
    SendSearch();
}

void DiscoverySession::SendSearch() {
    const HostAdapter* adapter = ChosenAdapter();
    const std::string address = adapter ? adapter->address : std::string();
    for (CameraFamily family : {CameraFamily::Generic, CameraFamily::Maker}) {
        auto request = SearchRequest{family}.build();
        if (m_network.BroadcastFromAdapter(request.data(), address) < 0)
            Trace("Search request from \"%s\" not sent.\n", address.c_str());
    }
}

void DiscoverySession::ChooseAdapter(int row) {
    if (!m_table)
        return;
    m_nAdapterIndex = row;
    SetReceiverMode(kReceiverStop);
    // The old receiver has been joined, so nothing writes the list or the table any more.
    clear();
}

void DiscoverySession::SortBy(int column) {
    if (!m_table)
        return;
    m_sort.Click(column);
    SetReceiverMode(kReceiverHold);
    {
        std::lock_guard entry(m_entryLock);
        SortDeviceList(*m_table, m_list, m_sort);
    }
    SetReceiverMode(kReceiverRun);
}

void DiscoverySession::Close() {
    SetReceiverMode(kReceiverStop);
    clear();
    m_table.reset();
}

void DiscoverySession::ShowStatus(const Mac& mac, const Text& status, std::optional<double> progress) {
    m_list.SetStatus(mac, status, progress);
}

void DiscoverySession::ShowAddress(const Mac& mac, const Ipv4& at) {
    if (!m_table)
        return;
    m_table->WithLock([&](auto& records) {
        for (auto& record : records)
            if (record->mac == mac)
                record->ip = at;
    });
    m_list.SetAddress(mac, at);
}

void DiscoverySession::MarkFailed(const Mac& mac, bool failed) {
    if (m_table)
        m_table->SetFailed(mac, failed);
    m_list.SetFailed(mac, failed);
}

bool DiscoverySession::Shows(const Mac& mac) const {
    return m_list.RowOf(mac) >= 0;
}

bool DiscoverySession::IsFailed(int row) const {
    auto shown = m_list.Row(row);
    return shown && shown->Failed();
}

std::optional<DeviceInfo> DiscoverySession::CopyAt(int row) const {
    auto shown = m_list.Row(row);
    return shown ? std::optional(shown->device) : std::nullopt;
}

std::vector<DeviceInfo> DiscoverySession::Records() const {
    std::vector<DeviceInfo> copies;
    for (const ListRow& row : m_list.Rows())
        copies.push_back(row.device);
    return copies;
}

std::string WebPageUrl(const DeviceInfo& d) {
    std::string url = "http://" + FormatIpv4(d.ip);
    if (d.webPort != 80 && d.webPort > 0 && d.webPort < 65536)
        url += ":" + std::to_string(d.webPort);
    return url;
}
