#include <chrono>

#include "app/TarnDlg.h"
#include "discovery/DeviceRows.h"
#include "util/Utf8.h"

CameraAddress CTarnDlg::cameraAddress(const std::string& host, int port) const {
    // Ports outside 1..65535 cannot be dialled; the camera's default is 80.
    auto p = static_cast<std::uint16_t>(port > 0 && port < 65536 ? port : 80);
    return {host, p, CutUtf8(m_window.FieldText(Field::User), 31), CutUtf8(m_window.FieldText(Field::Password), 31)};
}

RequestResult CTarnDlg::queryWithRetries(const CameraAddress& camera, FirmwareInfo& info) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        RequestResult r = m_network.QueryFirmwareInfo(camera, info, m_stop);
        if (r != RequestResult::NoReply)
            return r;
        m_clock.Sleep(Clock::Milliseconds(500));
        if (m_clock.Interrupted())
            break;
    }
    return RequestResult::NoReply;
}

void CTarnDlg::setStatus(int row, const std::string& text) {
    m_listDevices.SetItemText(row, StatusColumn, text);
}

void CTarnDlg::setStatus(int row, const StatusText& status) {
    m_listDevices.SetStatus(row, status.text, status.progress);
}

void CTarnDlg::markFailed(DeviceInfo* record, int row, bool failed) {
    m_table->SetFailed(record, failed);
    m_listDevices.SetFailed(row, failed);
}

void CTarnDlg::fail(DeviceInfo* record, int row, const std::string& text) {
    markFailed(record, row, true);
    setStatus(row, text);
}

void CTarnDlg::rememberFacts(const Mac& mac, const FirmwareInfo& info) {
    std::lock_guard guard(m_factsLock);
    m_facts[mac] = {info.model.data(), info.version.data()};
}

std::optional<CameraFacts> CTarnDlg::Facts(const Mac& mac) const {
    std::lock_guard guard(m_factsLock);
    auto it = m_facts.find(mac);
    if (it == m_facts.end())
        return std::nullopt;
    return it->second;
}

void CTarnDlg::beginRecords(const std::string& workflow) {
    if (std::string why = m_records.Begin(workflow, std::chrono::system_clock::now()); !why.empty())
        m_window.ShowNote("This job is not recorded: " + why);
}

CameraRecord CTarnDlg::recordOf(const DeviceInfo& d) const {
    CameraRecord r;
    const HostAdapter* adapter = ChosenAdapter();
    r.adapter = adapter ? adapter->interfaceName : std::string();
    r.mac = FormatMac(d.mac);
    r.name = NameText(d);
    r.ipBefore = FormatIpv4(d.ip);
    return r;
}

void CTarnDlg::appendRecord(CameraRecord record, int row) {
    if (auto shown = m_listDevices.Row(row)) {
        record.status = (*shown)[StatusColumn];
        record.failed = shown->failed;
    }
    m_records.Append(std::move(record));
}
