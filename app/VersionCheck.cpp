#include "app/Detour.h"
#include "app/TarnDlg.h"

void CTarnDlg::OnCheckVersion() {
    startWorkflow([this] { versionCheckWorker(); });
}

void CTarnDlg::versionCheckWorker() {
    int n = m_listDevices.GetItemCount();
    for (int row = 0; row < n; ++row)
        setStatus(row, "");
    SaveAdapterConfig();
    if (!m_savedConfig || m_savedConfig->addresses.empty())
        m_window.MessageBox("please check network status...", "information");
    SetReceiverMode(kReceiverHold);
    EnableControls(false);
    beginRecords("check-version");
    const std::set<Ipv4> shared = sharedAddresses();
    FirmwareInfo info;
    for (int row = 0; row < n && !m_clock.Interrupted(); ++row) {
        DeviceInfo* record = m_table->GetDeviceAt(row);
        if (!record)
            continue;
        markFailed(record, row, false);
        const DeviceInfo d = m_table->Copy(record);
        CameraRecord outcome = recordOf(d);
        outcome.ipAfter = outcome.ipBefore;
        if (auto read = checkOne(record, row, d, shared.contains(d.ip), info)) {
            rememberFacts(d.mac, *read);
            outcome.model = read->model.data();
            outcome.versionBefore = read->version.data();
        }
        appendRecord(std::move(outcome), row);
    }
    finishJob(JobClosing::RestoreAdapter);
}

std::optional<FirmwareInfo> CTarnDlg::checkOne(DeviceInfo* record, int row, const DeviceInfo& d, bool shared,
                                               FirmwareInfo& info) {
    if (d.ifType == kWifiInterface) {
        fail(record, row, Status::kWifiInterface);
        return std::nullopt;
    }
    CameraAddress camera = cameraAddress(FormatIpv4(d.ip), d.webPort);
    // Another camera answers at a shared address as well: this one is asked on its own address only.
    if (shared)
        return versionCheckDetour(record, row, camera, true);
    RequestResult r = queryWithRetries(camera, info);
    if (r == RequestResult::ModelAndVersion) {
        setStatus(row, info.version.data());
        return info;
    }
    if (r == RequestResult::NoReply)
        fail(record, row, Status::kCheckOffline);
    else if (r == RequestResult::Unauthorized)
        fail(record, row, Status::kUnauthorized);
    else
        return versionCheckDetour(record, row, camera, false);
    return std::nullopt;
}

std::optional<FirmwareInfo> CTarnDlg::versionCheckDetour(DeviceInfo* record, int row, const CameraAddress& login,
                                                         bool shared) {
    const DeviceInfo d = m_table->Copy(record);
    Detour detour(*this, d, DetourKind::VersionCheck);
    if (!moveOrFail(detour, record, row))
        return std::nullopt;
    CameraAddress camera = login;
    camera.host = detour.Address();
    FirmwareInfo info;
    RequestResult r = queryWithRetries(camera, info);
    if (!m_network.PingAddress(detour.Address(), m_stop))
        m_clock.Sleep(Clock::Milliseconds(50));
    detour.SendBack();
    if (r == RequestResult::ModelAndVersion) {
        setStatus(row, info.version.data()); // it answered at its link-local address after all
        return info;
    }
    if (r == RequestResult::ReplyWithoutContent)
        fail(record, row, Status::kCanNotConnect);
    else if (r == RequestResult::Unauthorized)
        fail(record, row, Status::kUnauthorized);
    else if (shared)
        fail(record, row, Status::SharedAddressUnreachable(FormatIpv4(d.ip)));
    return std::nullopt;
}
