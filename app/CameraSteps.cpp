#include "app/TarnDlg.h"
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
