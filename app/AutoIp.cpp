#include "app/RangeText.h"
#include "app/TarnDlg.h"
#include "util/Trace.h"
#include "util/Utf8.h"

void CTarnDlg::OnAutoChangeIp() {
    startWorkflow([this] { autoChangeIpWorker(); });
}

void CTarnDlg::autoChangeIpWorker() {
    // The leading decimal number of each text, 0 when there is none.
    long next = RangeTextNumber(m_window.FieldText(Field::RangeStart));
    long end = RangeTextNumber(m_window.FieldText(Field::RangeEnd));
    std::vector<int> rows = m_window.SelectedRows();
    if (rows.empty())
        return endWorkflowUnstarted("no camera is selected");
    SetReceiverMode(kReceiverHold);
    EnableControls(false);
    beginRecords("auto-ip");
    const HostAdapter* adapter = ChosenAdapter();
    const std::string address = adapter ? adapter->address : std::string();
    Ipv4 network{192, 168, 0, 0};
    if (m_savedConfig && !m_savedConfig->addresses.empty())
        ParseIpv4(m_savedConfig->addresses.front(), network);
    // Addresses already held: by any listed camera, by what this run handed out, by the host.
    std::set<Ipv4> taken;
    m_table->WithLock([&](auto& records) {
        for (const auto& record : records)
            taken.insert(record->ip);
    });
    if (Ipv4 own{}; ParseIpv4(address, own))
        taken.insert(own);
    // The next free host number, or nothing once the range is used up (its end is never handed out,
    // as the tool always did).
    auto nextFree = [&]() -> std::optional<Ipv4> {
        for (; next <= end && !m_clock.Interrupted(); ++next) {
            if (next == end)
                return std::nullopt;
            Ipv4 candidate{network[0], network[1], network[2], static_cast<std::uint8_t>(next & 0xFF)};
            if (taken.contains(candidate))
                continue;
            // Where the probe can tell, a station that answers for the address keeps it.
            if (m_network.ProbeAddress(FormatIpv4(candidate), adapter ? adapter->index : 0, m_stop) ==
                ProbeResult::InUse) {
                Trace("Auto Change IP: %s answers on the segment; skipped.\n", FormatIpv4(candidate).c_str());
                continue;
            }
            ++next;
            return candidate;
        }
        return std::nullopt;
    };
    int leftOut = 0;
    for (int row : rows) {
        DeviceInfo* record = m_table->GetDeviceAt(row);
        if (!record)
            continue;
        const DeviceInfo before = m_table->Copy(record);
        if (FormatIpv4(before.ip) != "192.168.0.20") {
            markFailed(record, row, false);
            continue;
        }
        CameraRecord outcome = recordOf(before);
        std::optional<Ipv4> given = leftOut > 0 || m_clock.Interrupted() ? std::nullopt : nextFree();
        if (!given && m_clock.Interrupted()) {
            // Stopped: this camera keeps its address, and that is not the range's fault.
            outcome.ipAfter = outcome.ipBefore;
            outcome.status = Status::kInterrupted;
            outcome.failed = true;
            m_records.Append(std::move(outcome));
            continue;
        }
        if (!given) {
            // The range is used up: the rest stay as they are, counted for the operator.
            ++leftOut;
            outcome.ipAfter = outcome.ipBefore;
            outcome.status = "no free address left in the range";
            outcome.failed = true;
            m_records.Append(std::move(outcome));
            continue;
        }
        markFailed(record, row, false);
        taken.insert(*given);
        SetNetworkCommand c;
        m_table->Update(record, [&](DeviceInfo& d) {
            d.ip = *given;
            d.gateway = {network[0], network[1], network[2], 254};
            c.family = d.kind == 1 ? CameraFamily::Maker : CameraFamily::Generic;
            c.ip = d.ip;
            c.mac = d.mac;
            c.netmask = d.netmask;
            c.gateway = d.gateway;
        });
        c.hasGateway = true;
        if (c.family == CameraFamily::Maker) {
            c.hasCredentials = true;
            c.user = CutUtf8(m_window.FieldText(Field::User), 63);
            c.password = CutUtf8(m_window.FieldText(Field::Password), 63);
        }
        auto datagram = c.build();
        m_network.BroadcastFromAdapter(datagram.data(), address);
        // The command is not acknowledged: the closing search shows whether the camera took it.
        outcome.ipAfter = FormatIpv4(*given);
        outcome.status = "address sent";
        m_records.Append(std::move(outcome));
    }
    RestoreAdapterConfig();
    EnableControls(true);
    SetReceiverMode(kReceiverRun);
    OnSearch();
    if (leftOut > 0)
        m_window.ShowNote("Auto Change IP: the range " + m_window.FieldText(Field::RangeStart) + "~" +
                          m_window.FieldText(Field::RangeEnd) + " had no free address left for " +
                          std::to_string(leftOut) + (leftOut == 1 ? " camera" : " cameras") +
                          " at 192.168.0.20 (its end is never handed out).");
}
