#include <cstring>

#include "app/Detour.h"
#include "app/FirmwareHeader.h"
#include "app/ImageDigest.h"
#include "app/TarnDlg.h"
#include "webops/OperatorMessages.h"

// What the workers of one upgrade share: the body is held once, whatever the number of cameras,
// and the image's own header says what the cameras must report afterwards.
struct CTarnDlg::Job {
    UploadBody body;
    FirmwareHeader image;
    std::string imagePath;
    std::string imageSha256;
    std::set<Ipv4> shared; // addresses more than one listed camera reports
    UpgradeMode mode = UpgradeMode::Flash;
    bool allowOtherModels = false;
};

namespace {

std::string shortImage(const std::string& path) {
    return "The firmware file " + path + " is too short to hold an image header (" +
           std::to_string(kFirmwareHeaderBytes) + " bytes): nothing was sent.";
}

} // namespace

void CTarnDlg::OnStartUpgrade(UpgradeMode mode) {
    std::string path = m_window.FieldText(Field::FirmwarePath);
    if (path.empty()) {
        m_window.MessageBox(GetOperatorMessage(OperatorMessageId::SelectFirmwareFirst, m_nOemCodePage),
                            GetOperatorMessage(OperatorMessageId::NoFirmwareAssigned, m_nOemCodePage));
        return;
    }
    startWorkflow([this, path, mode] { upgradeLauncher(path.substr(0, 1023), mode); });
}

void CTarnDlg::upgradeLauncher(const std::string& firmwarePath, UpgradeMode mode) {
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
    job->imagePath = firmwarePath;
    job->imageSha256 = Sha256Hex(job->body->data() + kUploadHeadBytes, imageBytes);
    job->mode = mode;
    job->allowOtherModels = m_allowOtherModels;
    m_window.SetFieldText(Field::Model, job->image.model);
    m_window.SetFieldText(Field::FwVersion, job->image.version);
    // A dry run changes no camera, so it leaves no record behind.
    if (mode == UpgradeMode::Flash)
        beginRecords("upgrade");
    else
        m_records.Skip();
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
    const DeviceInfo snapshot = m_table->Copy(ticket.Record());
    CameraRecord record = recordOf(snapshot);
    record.image = job.imagePath;
    record.imageSha256 = job.imageSha256;
    record.imageVersion = job.image.version;
    JobEnding ending;
    {
        // The detour ends here: the camera is home, or in the journal, before its record is written
        // and before the job can close.
        Detour detour(*this, snapshot, DetourKind::Upgrade);
        ending = upgradeCamera(ticket, job, snapshot, detour, record);
        record.ipAfter = detour.Moved() && detour.Rebooting() ? detour.Address() : FormatIpv4(snapshot.ip);
    }
    // A camera silent since its reboot may or may not have heard the way home: where it is, is not known.
    if (auto shown = m_listDevices.Row(ticket.Row()); shown && (*shown)[StatusColumn] == Status::kNoAnswerAfterReboot)
        record.ipAfter.reset();
    if (job.mode == UpgradeMode::Flash)
        appendRecord(std::move(record), ticket.Row());
    ticket.End(ending);
}

JobEnding CTarnDlg::upgradeCamera(WorkerTicket& ticket, Job& job, const DeviceInfo& snapshot, Detour& detour,
                                  CameraRecord& outcome) {
    DeviceInfo* record = ticket.Record();
    const int row = ticket.Row();
    SetReceiverMode(kReceiverHold);
    EnableControls(false);
    CameraAddress camera = cameraAddress(FormatIpv4(snapshot.ip), snapshot.webPort);

    if (snapshot.ifType == kWifiInterface) {
        fail(record, row, Status::kWifiInterface);
        return JobEnding::Short;
    }
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
    rememberFacts(snapshot.mac, info);
    outcome.model = info.model.data();
    outcome.versionBefore = info.version.data();
    // The guard: an image built for another model is not flashed unless the operator lifted it.
    const std::string cameraModel = info.model.data();
    if (!job.allowOtherModels && !cameraModel.empty() && !job.image.model.empty() &&
        !SameModel(cameraModel, job.image.model)) {
        fail(record, row, Status::kModelMismatch);
        return JobEnding::Full;
    }
    if (job.mode == UpgradeMode::DryRun) {
        setStatus(row, Status::WouldFlash(info.version.data(), job.image.version));
        return JobEnding::Full;
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
    if (answered) {
        rememberFacts(snapshot.mac, info);
        outcome.versionAfter = info.version.data();
    }
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
