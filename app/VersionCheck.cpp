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
    FirmwareInfo info;
    for (int row = 0; row < n && !m_clock.Interrupted(); ++row) {
        DeviceInfo* record = m_table->GetDeviceAt(row);
        if (!record)
            continue;
        markFailed(record, row, false);
        const DeviceInfo d = m_table->Copy(record);
        if (d.ifType == kWifiInterface) {
            fail(record, row, Status::kWifiInterface);
            continue;
        }
        CameraAddress camera = cameraAddress(FormatIpv4(d.ip), d.webPort);
        RequestResult r = queryWithRetries(camera, info);
        if (r == RequestResult::NoReply)
            fail(record, row, Status::kCheckOffline);
        else if (r == RequestResult::Unauthorized)
            fail(record, row, Status::kUnauthorized);
        else if (r == RequestResult::ModelAndVersion)
            setStatus(row, info.version.data());
        else
            versionCheckDetour(record, row, camera);
    }
    finishJob(JobClosing::RestoreAdapter);
}

void CTarnDlg::versionCheckDetour(DeviceInfo* record, int row, const CameraAddress& login) {
    ensureLinkLocalRoute();
    const DeviceInfo d = m_table->Copy(record);
    std::string linkLocal = findFreeLinkLocal(LinkLocalRecord::DoNotRemember);
    SetNetworkCommand command = detourCommand(d, linkLocal, DetourKind::VersionCheck);
    sendSetNetwork(command);
    CameraAddress camera = login;
    camera.host = linkLocal;
    FirmwareInfo info;
    RequestResult r = queryWithRetries(camera, info);
    if (!m_network.PingAddress(linkLocal))
        m_clock.Sleep(Clock::Milliseconds(50));
    // Sent back to its own address, with the mask of its class (255.255.0.0 outside them).
    command.ip = d.ip;
    if (auto mask = ClassMaskFor(d.ip[0]))
        command.netmask = *mask;
    sendSetNetwork(command);
    if (r == RequestResult::ReplyWithoutContent)
        fail(record, row, Status::kCanNotConnect);
    else if (r == RequestResult::ModelAndVersion)
        setStatus(row, info.version.data()); // it answered at its link-local address after all
    else if (r == RequestResult::Unauthorized)
        fail(record, row, Status::kUnauthorized);
}
