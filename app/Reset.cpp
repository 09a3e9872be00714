#include "app/Detour.h"
#include "app/TarnDlg.h"

void CTarnDlg::OnResetDefault() {
    startWorkflow([this] { resetLauncher(); });
}

void CTarnDlg::resetLauncher() {
    std::vector<int> rows = m_window.SelectedRows();
    if (rows.empty())
        return endWorkflowUnstarted("no camera is selected");
    SetReceiverMode(kReceiverRun);
    EnableControls(false);
    beginRecords("reset");
    auto shared = std::make_shared<const std::set<Ipv4>>(sharedAddresses());
    bool launched = launchWorkers(
        rows, nullptr, [this, shared](WorkerTicket& ticket) { resetWorker(ticket, *shared); },
        [this](JobEnding) {
            removeLinkLocalRoute();
            SetReceiverMode(kReceiverRun);
            EnableControls(true);
        });
    if (!launched)
        EnableControls(true);
}

void CTarnDlg::resetWorker(WorkerTicket& ticket, const std::set<Ipv4>& shared) {
    // The receiver keeps running during a reset, so read what it may refresh under the lock.
    const DeviceInfo d = m_table->Copy(ticket.Record());
    CameraRecord outcome = recordOf(d);
    // A camera reset to its factory settings takes the factory address by itself; where it then
    // answers the tool cannot know until a search, so the record says nothing of it.
    if (!resetCamera(ticket, shared, d))
        outcome.ipAfter = outcome.ipBefore;
    appendRecord(std::move(outcome), ticket.Row());
}

bool CTarnDlg::resetCamera(WorkerTicket& ticket, const std::set<Ipv4>& shared, const DeviceInfo& d) {
    DeviceInfo* record = ticket.Record();
    const int row = ticket.Row();
    SetReceiverMode(kReceiverRun);
    EnableControls(false);
    if (d.ifType == kWifiInterface) {
        fail(record, row, Status::kWifiInterface);
        return false;
    }
    CameraAddress camera = cameraAddress(FormatIpv4(d.ip), d.webPort);
    // A camera that shares its address gets one of its own first, so the reset reaches it and no other.
    Detour detour(*this, d, DetourKind::VersionCheck);
    if (shared.contains(d.ip)) {
        if (!moveOrFail(detour, record, row))
            return false;
        camera.host = detour.Address();
    }
    RequestResult r = RequestResult::NoReply;
    for (int attempt = 0; attempt < 3 && !m_clock.Interrupted(); ++attempt) {
        r = m_network.RequestFactoryReset(camera, m_stop);
        if (r == RequestResult::ReplyWithoutContent || r == RequestResult::Unauthorized)
            break;
        m_clock.Sleep(Clock::Milliseconds(500));
    }
    if (r == RequestResult::ReplyWithoutContent) {
        // Its factory settings bring it back to the factory address by themselves.
        detour.Forget();
        for (int n = Status::kRebootSeconds; n >= 1 && !m_clock.Interrupted(); --n) {
            setStatus(row, Status::ResetCountdown(n));
            m_clock.Wait(ticket.Wake(), Clock::Milliseconds(1000));
        }
        setStatus(row, "");
        return true;
    } else if (r == RequestResult::Unauthorized) {
        fail(record, row, Status::kUnauthorized);
    } else if (m_clock.Interrupted()) {
        fail(record, row, Status::kInterrupted);
    } else {
        fail(record, row, detour.Moved() ? Status::SharedAddressUnreachable(FormatIpv4(d.ip)) : Status::kDeviceOffline);
    }
    return false;
}
