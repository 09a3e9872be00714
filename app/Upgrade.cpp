#include <cstring>

#include "app/Detour.h"
#include "app/FirmwareHeader.h"
#include "app/TarnDlg.h"
#include "webops/OperatorMessages.h"

// What the workers of one upgrade share: the body is held once, whatever the number of cameras,
// and the image's own header says what the cameras must report afterwards.
struct CTarnDlg::Job {
    UploadBody body;
    FirmwareHeader image;
    std::set<Ipv4> shared; // addresses more than one listed camera reports
};

namespace {

std::string shortImage(const std::string& path) {
    return "The firmware file " + path + " is too short to hold an image header (" +
           std::to_string(kFirmwareHeaderBytes) + " bytes): nothing was sent.";
}

} // namespace

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
        return endWorkflowUnstarted("no camera is selected");
    auto job = std::make_shared<Job>();
    job->body = BuildUploadBody(firmwarePath);
    const auto caption = GetOperatorMessage(OperatorMessageId::NoFirmwareAssigned, m_nOemCodePage);
    if (!job->body) {
        std::string why = "Cannot read the firmware file " + firmwarePath;
        m_window.MessageBox(why, caption);
        return endWorkflowUnstarted(why);
    }
    // The cameras are judged by the image that is sent, not by what the window showed of a file.
    const std::size_t imageBytes = job->body->size() - kUploadFramingBytes;
    if (imageBytes < kFirmwareHeaderBytes) {
        m_window.MessageBox(shortImage(firmwarePath), caption);
        return endWorkflowUnstarted(shortImage(firmwarePath));
    }
    job->image = ParseFirmwareHeader(job->body->data() + kUploadHeadBytes, imageBytes);
    m_window.SetFieldText(Field::Model, job->image.model);
    m_window.SetFieldText(Field::FwVersion, job->image.version);
    SaveAdapterConfig();
    SetReceiverMode(kReceiverHold);
    EnableControls(false);
    job->shared = sharedAddresses();
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
    // The camera's detour ends inside upgradeCamera: it is home, or in the journal, before the job can close.
    ticket.End(upgradeCamera(ticket, job));
}

JobEnding CTarnDlg::upgradeCamera(WorkerTicket& ticket, Job& job) {
    DeviceInfo* record = ticket.Record();
    const DeviceInfo snapshot = m_table->Copy(record);
    const int row = ticket.Row();
    SetReceiverMode(kReceiverHold);
    EnableControls(false);
    CameraAddress camera = cameraAddress(FormatIpv4(snapshot.ip), snapshot.webPort);

    if (snapshot.ifType == kWifiInterface) {
        fail(record, row, Status::kWifiInterface);
        return JobEnding::Short;
    }
    // Declared before anything moves the camera: leaving this function by any path sends it home.
    Detour detour(*this, snapshot, DetourKind::Upgrade);
    const bool shared = job.shared.contains(snapshot.ip);
    auto moveAway = [&]() {
        if (!moveOrFail(detour, record, row))
            return false;
        camera.host = detour.Address();
        return true;
    };
    // A camera that shares its address is asked only where it alone answers: its own link-local
    // address, given by a command addressed to its MAC.
    if (shared && !moveAway())
        return JobEnding::Full;

    FirmwareInfo info;
    for (int moves = detour.Moved() ? 1 : 0;; ++moves) {
        RequestResult r = queryWithRetries(camera, info);
        if (r == RequestResult::Unauthorized) {
            fail(record, row, Status::kUnauthorized);
            return JobEnding::Short;
        }
        if (r == RequestResult::ModelAndVersion)
            break;
        if (m_clock.Interrupted()) {
            fail(record, row, Status::kInterrupted);
            return JobEnding::Full;
        }
        if (moves == kMaxLinkLocalMoves) {
            fail(record, row,
                 shared ? Status::SharedAddressUnreachable(FormatIpv4(snapshot.ip)) : Status::kDeviceOffline);
            return JobEnding::Full;
        }
        // A camera that does not answer its web page may answer at a link-local address.
        if (!moveAway())
            return JobEnding::Full;
        queryWithRetries(camera, info);
    }
    // What it reported before the upload says nothing about the image: only a later answer counts.
    info = FirmwareInfo{};

    std::array<char, 32> burnTime{};
    bool uploaded = false;
    m_table->Update(record, [](DeviceInfo& d) { d.uploadAttempts = 0; });
    for (int attempts = 0; attempts < 3 && !m_clock.Interrupted();) {
        setStatus(row, Status::kUploading);
        RequestResult r = m_network.UploadFirmware(camera, job.body, burnTime, m_stop);
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
        fail(record, row, m_clock.Interrupted() ? Status::kInterrupted : Status::kFailedToUpgrade);
        return JobEnding::Full;
    }
    // From here until it answers again the camera burns and reboots: it would not hear a command.
    detour.SetRebooting(true);

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
    if (m_clock.Interrupted()) {
        fail(record, row, Status::kInterrupted);
        return JobEnding::Full;
    }
    const bool answered = queryWithRetries(camera, info) == RequestResult::ModelAndVersion;
    if (!answered)
        fail(record, row, Status::kNoAnswerAfterReboot);
    else if (std::strncmp(info.version.data(), job.image.version.c_str(), 5) < 0)
        fail(record, row, Status::kFailedToUpgrade);
    else
        setStatus(row, Status::kUpgradeSuccessful);
    // A camera that has not answered since its reboot may not hear this either: the journal keeps it.
    detour.SendBack(!answered);
    return JobEnding::Full;
}
