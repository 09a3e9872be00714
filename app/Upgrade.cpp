#include <cstring>

#include "app/TarnDlg.h"
#include "util/Event.h"
#include "util/Trace.h"
#include "webops/OperatorMessages.h"

// What the workers of one upgrade share: the body is held once, whatever the number of cameras.
struct CTarnDlg::Job {
    UploadBody body;
    std::string fileVersion;
};

void CTarnDlg::OnStartUpgrade() {
    std::string path = m_window.FieldText(Field::FirmwarePath);
    if (path.empty()) {
        m_window.MessageBox(GetOperatorMessage(7, m_nOemCodePage), GetOperatorMessage(8, m_nOemCodePage));
        return;
    }
    if (!beginWorkflow())
        return;
    startThread([this, path] { upgradeLauncher(path.substr(0, 1023)); });
}

void CTarnDlg::upgradeLauncher(std::string firmwarePath) {
    std::vector<int> rows = m_window.SelectedRows();
    if (rows.empty())
        return endWorkflowUnstarted();
    auto job = std::make_shared<Job>();
    job->body = BuildUploadBody(firmwarePath);
    if (!job->body) {
        m_window.MessageBox("Cannot read the firmware file " + firmwarePath, GetOperatorMessage(8, m_nOemCodePage));
        return endWorkflowUnstarted();
    }
    job->fileVersion = m_window.FieldText(Field::FwVersion).substr(0, 31);
    SaveAdapterConfig();
    SetReceiverMode(kReceiverHold);
    EnableControls(false);
    std::vector<std::pair<DeviceInfo*, int>> records;
    for (int row : rows)
        if (DeviceInfo* record = m_table->GetDeviceAt(row))
            records.emplace_back(record, row);
    if (records.empty()) {
        RestoreAdapterConfig();
        SetReceiverMode(kReceiverRun);
        EnableControls(true);
        return;
    }
    // Every record is marked busy before the first worker starts, so a worker that ends at once
    // cannot believe it is the last one.
    for (auto [record, row] : records) {
        m_table->SetFailed(record, false);
        record->owner = this;
        record->rowIndex = row;
        record->uploadBody = job->body->data();
        record->uploadLength = static_cast<std::int32_t>(job->body->size());
        m_table->SetBusy(record, new Event);
    }
    for (auto [record, row] : records)
        startThread([this, record, job] { upgradeWorker(record, job); });
}

void CTarnDlg::upgradeWorker(DeviceInfo* record, std::shared_ptr<Job> job) {
    const DeviceInfo snapshot = *record;
    const int row = snapshot.rowIndex;
    Event& wake = *snapshot.busyEvent;
    SetReceiverMode(kReceiverHold);
    EnableControls(false);
    const CameraAddress login = cameraAddress(FormatIpv4(snapshot.ip), snapshot.webPort);
    CameraAddress camera = login;

    if (snapshot.ifType == kWifiInterface) {
        fail(record, row, "Wi-Fi interface");
        return upgradeEnding(record, *job, false);
    }
    FirmwareInfo info;
    bool moved = false;
    for (int moves = 0;; ++moves) {
        int r = queryWithRetries(camera, info);
        if (r == kUnauthorized) {
            fail(record, row, "401 Unauthorized");
            return upgradeEnding(record, *job, false);
        }
        if (r == kModelAndVersion)
            break;
        if (moves == kMaxLinkLocalMoves || m_clock.Interrupted()) {
            fail(record, row, GetOperatorMessage(14, 437));
            if (moved)
                sendSetNetwork(restoreCommand(snapshot));
            return upgradeEnding(record, *job, true);
        }
        // A camera that does not answer its web page may answer at a link-local address.
        moved = true;
        ensureLinkLocalRoute();
        std::string linkLocal = findFreeLinkLocal(true);
        sendSetNetwork(detourCommand(snapshot, linkLocal, true));
        camera.host = linkLocal;
        queryWithRetries(camera, info);
    }

    std::array<char, 32> burnTime{};
    bool uploaded = false;
    for (record->uploadAttempts = 0; record->uploadAttempts < 3 && !m_clock.Interrupted();) {
        setStatus(row, "File Uploading...");
        if (UploadFirmware(camera, job->body, burnTime, m_clock) == kReplyWithoutContent) {
            uploaded = true;
            break;
        }
        record->uploadAttempts++;
    }
    if (!uploaded) {
        fail(record, row, "Failed to upgrade!");
        return upgradeEnding(record, *job, true);
    }

    setStatus(row, "File uploaded successfully");
    Clock::Milliseconds step(ReplyParser::ProgressStepMs(burnTime));
    for (int k = 0; k <= 100 && !m_clock.Interrupted(); ++k) {
        setStatus(row, "Upgrade Status... " + std::to_string(k) + "%");
        m_clock.Wait(wake, step);
    }
    for (int n = 60; n >= 1 && !m_clock.Interrupted(); --n) {
        setStatus(row, "Wait for " + std::to_string(n) + " Seconds");
        m_clock.Wait(wake, Clock::Milliseconds(1000));
    }
    // A camera that stays silent is judged by the version it reported before the upload.
    queryWithRetries(camera, info);
    if (std::strncmp(info.version.data(), job->fileVersion.c_str(), 5) < 0)
        fail(record, row, "Failed to upgrade!");
    else
        setStatus(row, "UPGRADE SUCCESSFUL");

    if (moved)
        sendSetNetwork(restoreCommand(snapshot));
    upgradeEnding(record, *job, true);
}

// Back to the address it had when the worker started, with the gateway it reported then.
SetNetworkCommand CTarnDlg::restoreCommand(const DeviceInfo& snapshot) const {
    SetNetworkCommand restore = detourCommand(snapshot, FormatIpv4(snapshot.ip), true);
    restore.interfaceName = false;
    restore.netmask = ClassMaskFor(snapshot.ip[0]).value_or(Ipv4{255, 255, 0, 0});
    restore.gateway = snapshot.gateway;
    return restore;
}

void CTarnDlg::upgradeEnding(DeviceInfo* record, Job& job, bool full) {
    Event* event = record->busyEvent;
    bool last = m_table->ClearBusyAndCheckLast(record);
    delete event;
    if (!last)
        return;
    record->uploadLength = 0;
    job.body.reset();
    finishJob(full);
}
