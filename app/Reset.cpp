#include "app/TarnDlg.h"

void CTarnDlg::OnResetDefault() {
    startWorkflow([this] { resetLauncher(); });
}

void CTarnDlg::resetLauncher() {
    std::vector<int> rows = m_window.SelectedRows();
    if (rows.empty())
        return endWorkflowUnstarted();
    SetReceiverMode(kReceiverRun);
    EnableControls(false);
    bool launched = launchWorkers(
        rows, nullptr, [this](WorkerTicket& ticket) { resetWorker(ticket); },
        [this](JobEnding) {
            SetReceiverMode(kReceiverRun);
            EnableControls(true);
        });
    if (!launched)
        EnableControls(true);
}

void CTarnDlg::resetWorker(WorkerTicket& ticket) {
    DeviceInfo* record = ticket.Record();
    const int row = ticket.Row();
    // The receiver keeps running during a reset, so read what it may refresh under the lock.
    const DeviceInfo d = m_table->Copy(record);
    SetReceiverMode(kReceiverRun);
    EnableControls(false);
    if (d.ifType == kWifiInterface)
        return fail(record, row, Status::kWifiInterface);
    CameraAddress camera = cameraAddress(FormatIpv4(d.ip), d.webPort);
    RequestResult r = RequestResult::NoReply;
    for (int attempt = 0; attempt < 3 && !m_clock.Interrupted(); ++attempt) {
        r = m_network.RequestFactoryReset(camera);
        if (r == RequestResult::ReplyWithoutContent || r == RequestResult::Unauthorized)
            break;
        m_clock.Sleep(Clock::Milliseconds(500));
    }
    if (r == RequestResult::ReplyWithoutContent) {
        for (int n = Status::kRebootSeconds; n >= 1 && !m_clock.Interrupted(); --n) {
            setStatus(row, Status::ResetCountdown(n));
            m_clock.Wait(ticket.Wake(), Clock::Milliseconds(1000));
        }
        setStatus(row, "");
    } else {
        fail(record, row, r == RequestResult::Unauthorized ? Status::kUnauthorized : Status::kDeviceOffline);
    }
}
