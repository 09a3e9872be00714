#include <cstdlib>

#include "app/TarnDlg.h"
#include "discovery/Broadcast.h"
#include "util/Event.h"

void CTarnDlg::OnResetDefault() {
    if (!beginWorkflow())
        return;
    startThread([this] { resetLauncher(); });
}

void CTarnDlg::resetLauncher() {
    std::vector<int> rows = m_window.SelectedRows();
    if (rows.empty())
        return endWorkflowUnstarted();
    SetReceiverMode(kReceiverRun);
    EnableControls(false);
    std::vector<std::pair<DeviceInfo*, int>> records;
    for (int row : rows)
        if (DeviceInfo* record = m_table->GetDeviceAt(row))
            records.emplace_back(record, row);
    if (records.empty())
        return EnableControls(true);
    for (auto [record, row] : records) {
        m_table->SetFailed(record, false);
        record->owner = this;
        record->rowIndex = row;
        m_table->SetBusy(record, new Event);
    }
    for (auto [record, row] : records)
        startThread([this, record, row] { resetWorker(record, row); });
}

void CTarnDlg::resetWorker(DeviceInfo* record, int row) {
    // The receiver keeps running during a reset, so read what it may refresh under the lock.
    const DeviceInfo d = *m_table->CopyDeviceAt(row);
    Event& wake = *d.busyEvent;
    SetReceiverMode(kReceiverRun);
    EnableControls(false);
    if (d.ifType == kWifiInterface) {
        fail(record, row, "Wi-Fi interface");
    } else {
        CameraAddress camera = cameraAddress(FormatIpv4(d.ip), d.webPort);
        int r = kNoReply;
        for (int attempt = 0; attempt < 3 && !m_clock.Interrupted(); ++attempt) {
            r = RequestFactoryReset(camera);
            if (r == kReplyWithoutContent || r == kUnauthorized)
                break;
            m_clock.Sleep(Clock::Milliseconds(500));
        }
        if (r == kReplyWithoutContent) {
            for (int n = 60; n >= 1 && !m_clock.Interrupted(); --n) {
                setStatus(row, "System rebooting, please wait for " + std::to_string(n) + " Seconds");
                m_clock.Wait(wake, Clock::Milliseconds(1000));
            }
            setStatus(row, "");
        } else {
            fail(record, row, r == kUnauthorized ? "401 Unauthorized" : "Device offline!");
        }
    }
    Event* event = d.busyEvent;
    bool last = m_table->ClearBusyAndCheckLast(record);
    delete event;
    if (last) {
        SetReceiverMode(kReceiverRun);
        EnableControls(true);
    }
}

void CTarnDlg::OnAutoChangeIp() {
    if (!beginWorkflow())
        return;
    startThread([this] { autoChangeIpWorker(); });
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
        m_table->SetFailed(record, false);
        if (FormatIpv4(record->ip) != "192.168.0.20")
            continue;
        SetNetworkCommand c;
        bool stop = false;
        m_table->WithLock([&](auto&) {
            record->ip = {network[0], network[1], network[2], static_cast<std::uint8_t>(next & 0xFF)};
            record->gateway = {network[0], network[1], network[2], 254};
            // The range end itself is never handed out, as the tool always did.
            stop = ++next > end;
            c.family = record->kind == 1 ? CameraFamily::Maker : CameraFamily::Generic;
            c.ip = record->ip;
            c.mac = record->mac;
            c.netmask = record->netmask;
            c.gateway = record->gateway;
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
        BroadcastFromAdapter(datagram.data(), address);
    }
    RestoreAdapterConfig();
    EnableControls(true);
    SetReceiverMode(kReceiverRun);
    OnSearch();
}
