#include <cstring>

#include "app/TarnDlg.h"
#include "webops/OperatorMessages.h"

// What the workers of one upgrade share: the body is held once, whatever the number of cameras.
struct CTarnDlg::Job {
    UploadBody body;
    std::string fileVersion;
};

void CTarnDlg::OnStartUpgrade() {
    std::string path = m_window.FieldText(Field::FirmwarePath);
    if (path.empty()) {
        m_window.MessageBox(GetOperatorMessage(OperatorMessageId::SelectFirmwareFirst, m_nOemCodePage),
                            GetOperatorMessage(OperatorMessageId::NoFirmwareAssigned, m_nOemCodePage));
        return;
    }
    startWorkflow([this, path] { upgradeLauncher(path.substr(0, 1023)); });
}

void CTarnDlg::upgradeLauncher(const std::string& firmwarePath) {
    std::vector<int> rows = m_window.SelectedRows();
    if (rows.empty())
        return endWorkflowUnstarted();
    auto job = std::make_shared<Job>();
    job->body = BuildUploadBody(firmwarePath);
    if (!job->body) {
        m_window.MessageBox("Cannot read the firmware file " + firmwarePath,
                            GetOperatorMessage(OperatorMessageId::NoFirmwareAssigned, m_nOemCodePage));
        return endWorkflowUnstarted();
    }
    job->fileVersion = m_window.FieldText(Field::FwVersion).substr(0, 31);
    SaveAdapterConfig();
    SetReceiverMode(kReceiverHold);
    EnableControls(false);
    const auto body = job->body;
    bool launched = launchWorkers(
        rows,
        [body](DeviceInfo& d) {
            d.uploadBody = body->data();
            d.uploadLength = static_cast<std::int32_t>(body->size());
        },
        [this, job](WorkerTicket& ticket) { upgradeWorker(ticket, *job); },
        [this, job](JobEnding ending) {
            // The last worker releases the body and closes the job.
            job->body.reset();
            finishJob(ending == JobEnding::Full ? JobClosing::RestoreAdapter : JobClosing::KeepAdapter);
        });
    if (!launched) {
        RestoreAdapterConfig();
        SetReceiverMode(kReceiverRun);
        EnableControls(true);
    }
}

void CTarnDlg::upgradeWorker(WorkerTicket& ticket, Job& job) {
    DeviceInfo* record = ticket.Record();
    const DeviceInfo snapshot = m_table->Copy(record);
    const int row = ticket.Row();
    SetReceiverMode(kReceiverHold);
    EnableControls(false);
    const CameraAddress login = cameraAddress(FormatIpv4(snapshot.ip), snapshot.webPort);
    CameraAddress camera = login;

    if (snapshot.ifType == kWifiInterface) {
        fail(record, row, Status::kWifiInterface);
        return ticket.End(JobEnding::Short);
    }
    FirmwareInfo info;
    bool moved = false;
    for (int moves = 0;; ++moves) {
        RequestResult r = queryWithRetries(camera, info);
        if (r == RequestResult::Unauthorized) {
            fail(record, row, Status::kUnauthorized);
            return ticket.End(JobEnding::Short);
        }
        if (r == RequestResult::ModelAndVersion)
            break;
        if (moves == kMaxLinkLocalMoves || m_clock.Interrupted()) {
            fail(record, row, Status::kDeviceOffline);
            if (moved)
                sendSetNetwork(restoreCommand(snapshot));
            return ticket.End(JobEnding::Full);
        }
        // A camera that does not answer its web page may answer at a link-local address.
        moved = true;
        ensureLinkLocalRoute();
        std::string linkLocal = findFreeLinkLocal(LinkLocalRecord::Remember);
        sendSetNetwork(detourCommand(snapshot, linkLocal, DetourKind::Upgrade));
        camera.host = linkLocal;
        queryWithRetries(camera, info);
    }

    std::array<char, 32> burnTime{};
    bool uploaded = false;
    m_table->Update(record, [](DeviceInfo& d) { d.uploadAttempts = 0; });
    for (int attempts = 0; attempts < 3 && !m_clock.Interrupted();) {
        setStatus(row, Status::kUploading);
        RequestResult r = m_network.UploadFirmware(camera, job.body, burnTime);
        // The camera's upgrade CGI wants half a second after the request, whatever its answer.
        m_clock.Sleep(Clock::Milliseconds(500));
        if (r == RequestResult::ReplyWithoutContent) {
            uploaded = true;
            break;
        }
        ++attempts;
        m_table->Update(record, [attempts](DeviceInfo& d) { d.uploadAttempts = attempts; });
    }
    if (!uploaded) {
        fail(record, row, Status::kFailedToUpgrade);
        return ticket.End(JobEnding::Full);
    }

    setStatus(row, Status::kUploaded);
    Clock::Milliseconds step(ReplyParser::ProgressStepMs(burnTime));
    for (int k = 0; k <= 100 && !m_clock.Interrupted(); ++k) {
        setStatus(row, Status::UpgradeProgress(k));
        m_clock.Wait(ticket.Wake(), step);
    }
    for (int n = Status::kRebootSeconds; n >= 1 && !m_clock.Interrupted(); --n) {
        setStatus(row, Status::RebootWait(n));
        m_clock.Wait(ticket.Wake(), Clock::Milliseconds(1000));
    }
    // A camera that stays silent is judged by the version it reported before the upload.
    queryWithRetries(camera, info);
    if (std::strncmp(info.version.data(), job.fileVersion.c_str(), 5) < 0)
        fail(record, row, Status::kFailedToUpgrade);
    else
        setStatus(row, Status::kUpgradeSuccessful);

    if (moved)
        sendSetNetwork(restoreCommand(snapshot));
    ticket.End(JobEnding::Full);
}
