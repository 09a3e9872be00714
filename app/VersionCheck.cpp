#include "app/TarnDlg.h"
#include "hostnet/Probes.h"

void CTarnDlg::OnCheckVersion() {
    if (!beginWorkflow())
        return;
    startThread([this] { versionCheckWorker(); });
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
        m_table->SetFailed(record, false);
        if (record->ifType == kWifiInterface) {
            fail(record, row, "Wi-Fi interface");
            continue;
        }
        CameraAddress camera = cameraAddress(FormatIpv4(record->ip), record->webPort);
        int r = queryWithRetries(camera, info);
        if (r == kNoReply)
            fail(record, row, "Device offline");
        else if (r == kUnauthorized)
            fail(record, row, "401 Unauthorized");
        else if (r == kModelAndVersion)
            setStatus(row, info.version.data());
        else
            versionCheckDetour(record, row, camera);
    }
    finishJob(true);
}

void CTarnDlg::versionCheckDetour(DeviceInfo* record, int row, const CameraAddress& login) {
    ensureLinkLocalRoute();
    const DeviceInfo d = *record;
    std::string linkLocal = findFreeLinkLocal(false);
    SetNetworkCommand command = detourCommand(d, linkLocal, false);
    sendSetNetwork(command);
    CameraAddress camera = login;
    camera.host = linkLocal;
    FirmwareInfo info;
    int r = queryWithRetries(camera, info);
    if (!PingAddress(linkLocal))
        m_clock.Sleep(Clock::Milliseconds(50));
    // Sent back to its own address, with the mask of its class (255.255.0.0 outside them).
    command.ip = d.ip;
    if (auto mask = ClassMaskFor(d.ip[0]))
        command.netmask = *mask;
    sendSetNetwork(command);
    if (r == kReplyWithoutContent)
        fail(record, row, "Can not connect");
    else if (r == kModelAndVersion)
        setStatus(row, info.version.data()); // it answered at its link-local address after all
    else if (r == kUnauthorized)
        fail(record, row, "401 Unauthorized");
}
