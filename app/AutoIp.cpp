#include <cstdlib>

#include "app/TarnDlg.h"

void CTarnDlg::OnAutoChangeIp() {
    startWorkflow([this] { autoChangeIpWorker(); });
}

void CTarnDlg::autoChangeIpWorker() {
    // The leading decimal number of each text, 0 when there is none.
    long next = std::strtol(m_window.FieldText(Field::RangeStart).c_str(), nullptr, 10);
    long end = std::strtol(m_window.FieldText(Field::RangeEnd).c_str(), nullptr, 10);
    std::vector<int> rows = m_window.SelectedRows();
    if (rows.empty())
        return endWorkflowUnstarted();
    SetReceiverMode(kReceiverHold);
    EnableControls(false);
    const HostAdapter* adapter = ChosenAdapter();
    const std::string address = adapter ? adapter->address : std::string();
    Ipv4 network{192, 168, 0, 0};
    if (m_savedConfig && !m_savedConfig->addresses.empty())
        ParseIpv4(m_savedConfig->addresses.front(), network);
    for (int row : rows) {
        DeviceInfo* record = m_table->GetDeviceAt(row);
        if (!record)
            continue;
        markFailed(record, row, false);
        if (FormatIpv4(m_table->Copy(record).ip) != "192.168.0.20")
            continue;
        SetNetworkCommand c;
        bool stop = false;
        m_table->Update(record, [&](DeviceInfo& d) {
            d.ip = {network[0], network[1], network[2], static_cast<std::uint8_t>(next & 0xFF)};
            d.gateway = {network[0], network[1], network[2], 254};
            // The range end itself is never handed out, as the tool always did.
            stop = ++next > end;
            c.family = d.kind == 1 ? CameraFamily::Maker : CameraFamily::Generic;
            c.ip = d.ip;
            c.mac = d.mac;
            c.netmask = d.netmask;
            c.gateway = d.gateway;
        });
        if (stop)
            break;
        c.hasGateway = true;
        if (c.family == CameraFamily::Maker) {
            c.hasCredentials = true;
            c.user = m_window.FieldText(Field::User).substr(0, 63);
            c.password = m_window.FieldText(Field::Password).substr(0, 63);
        }
        auto datagram = c.build();
        m_network.BroadcastFromAdapter(datagram.data(), address);
    }
    RestoreAdapterConfig();
    EnableControls(true);
    SetReceiverMode(kReceiverRun);
    OnSearch();
}
