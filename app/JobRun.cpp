// The workflow buttons: what the window shows at the press becomes a job request; a thread of
// the job's own runs the opening part, the job and the closing part; the job's events write the
// list, the facts and the records.
#include <chrono>

#include "app/FirmwareHeader.h"
#include "app/ImageDigest.h"
#include "app/RangeText.h"
#include "app/TarnDlg.h"
#include "discovery/DeviceRows.h"
#include "util/Trace.h"
#include "webops/OperatorMessages.h"

namespace {

std::string shortImage(const std::string& path) {
    return "The firmware file " + path + " is too short to hold an image header (" +
           std::to_string(kFirmwareHeaderBytes) + " bytes): nothing was sent.";
}

std::vector<int> allRows(const ListModel& list) {
    std::vector<int> rows;
    rows.reserve(static_cast<std::size_t>(list.GetItemCount()));
    for (int r = 0; r < list.GetItemCount(); ++r)
        rows.push_back(r);
    return rows;
}

} // namespace

void CTarnDlg::OnStartUpgrade(UpgradeMode mode) {
    std::string path = m_window.FieldText(Field::FirmwarePath);
    if (path.empty()) {
        m_window.MessageBox(GetOperatorMessage(OperatorMessageId::SelectFirmwareFirst, m_nOemCodePage),
                            GetOperatorMessage(OperatorMessageId::NoFirmwareAssigned, m_nOemCodePage));
        return;
    }
    auto request = newRequest(Workflow::Upgrade, m_window.SelectedRows());
    if (!request)
        return;
    request->options.dryRun = mode == UpgradeMode::DryRun;
    request->options.allowOtherModels = m_allowOtherModels;
    startJob(request, path.substr(0, 1023));
}

void CTarnDlg::OnCheckVersion() {
    // The check asks every listed camera: the selection plays no part.
    if (auto request = newRequest(Workflow::CheckVersion, allRows(m_listDevices)))
        startJob(request);
}

void CTarnDlg::OnResetDefault() {
    if (auto request = newRequest(Workflow::Reset, m_window.SelectedRows()))
        startJob(request);
}

void CTarnDlg::OnAutoChangeIp() {
    auto request = newRequest(Workflow::AutoIp, m_window.SelectedRows());
    if (!request)
        return;
    AddressRange& range = request->range;
    range.startText = m_window.FieldText(Field::RangeStart);
    range.endText = m_window.FieldText(Field::RangeEnd);
    // The leading decimal number of each text, 0 when there is none.
    range.start = RangeTextNumber(range.startText);
    range.end = RangeTextNumber(range.endText);
    if (m_savedConfig && !m_savedConfig->addresses.empty())
        ParseIpv4(m_savedConfig->addresses.front(), range.network);
    // Addresses already held: by any listed camera and by the host.
    m_table->WithLock([&](auto& records) {
        for (const auto& record : records)
            range.taken.insert(record->ip);
    });
    if (Ipv4 own{}; ParseIpv4(request->adapter.address, own))
        range.taken.insert(own);
    startJob(request);
}

JobAdapter CTarnDlg::jobAdapter() const {
    const HostAdapter* adapter = ChosenAdapter();
    if (!adapter)
        return {};
    return {adapter->interfaceName, adapter->address, adapter->index};
}

std::set<Ipv4> CTarnDlg::sharedAddresses() const {
    std::set<Ipv4> seen, shared;
    m_table->WithLock([&](auto& records) {
        for (const auto& record : records)
            if (!seen.insert(record->ip).second)
                shared.insert(record->ip);
    });
    return shared;
}

std::shared_ptr<JobRequest> CTarnDlg::newRequest(Workflow workflow, const std::vector<int>& rows) const {
    if (!m_table || m_closed || m_busy)
        return nullptr;
    auto request = std::make_shared<JobRequest>();
    request->workflow = workflow;
    request->login = {m_window.FieldText(Field::User), m_window.FieldText(Field::Password)};
    request->adapter = jobAdapter();
    const std::set<Ipv4> shared = sharedAddresses();
    for (int row : rows) {
        std::optional<DeviceInfo> d = m_table->CopyDeviceAt(row);
        if (!d)
            continue;
        Target t;
        t.mac = d->mac;
        t.name = d->name;
        t.displayName = NameText(*d);
        t.ip = d->ip;
        t.netmask = d->netmask;
        t.gateway = d->gateway;
        t.webPort = d->webPort;
        t.ifType = d->ifType;
        t.kind = d->kind;
        t.row = row;
        t.sharesAddress = shared.contains(d->ip);
        request->targets.push_back(t);
    }
    return request;
}

bool CTarnDlg::loadImage(JobRequest& request, const std::string& path) {
    const auto caption = GetOperatorMessage(OperatorMessageId::NoFirmwareAssigned, m_nOemCodePage);
    auto image = std::make_shared<FirmwareImage>();
    image->path = path;
    image->body = BuildUploadBody(path);
    if (!image->body) {
        std::string why = "Cannot read the firmware file " + path;
        m_window.MessageBox(why, caption);
        endWorkflowUnstarted(why);
        return false;
    }
    // The cameras are judged by the image that is sent, not by what the window showed of a file.
    const std::size_t imageBytes = image->body->size() - kUploadFramingBytes;
    if (imageBytes < kFirmwareHeaderBytes) {
        m_window.MessageBox(shortImage(path), caption);
        endWorkflowUnstarted(shortImage(path));
        return false;
    }
    image->header = ParseFirmwareHeader(image->body->data() + kUploadHeadBytes, imageBytes);
    image->sha256 = Sha256Hex(image->body->data() + kUploadHeadBytes, imageBytes);
    m_window.SetFieldText(Field::Model, image->header.model);
    m_window.SetFieldText(Field::FwVersion, image->header.version);
    request.image = std::move(image);
    return true;
}

void CTarnDlg::runJob(const std::shared_ptr<JobRequest>& request, const std::string& imagePath) {
    if (request->targets.empty() && request->workflow != Workflow::CheckVersion)
        return endWorkflowUnstarted("no camera is selected");
    if (request->workflow == Workflow::Upgrade && !loadImage(*request, imagePath))
        return;
    prologue(*request);
    std::shared_ptr<const JobRequest> fixed = request;
    Job job(fixed, {m_network, m_detours, m_clock, m_platform.threadLimit},
            [this, fixed](const Target& camera, const JobEvent& event) { onJobEvent(*fixed, camera, event); });
    {
        std::lock_guard guard(m_workersLock);
        m_job = &job;
        if (m_closed)
            job.Stop();
    }
    const JobSummary summary = job.Run();
    {
        std::lock_guard guard(m_workersLock);
        m_job = nullptr;
    }
    epilogue(*request, summary);
}

void CTarnDlg::beginRecords(Workflow workflow) {
    if (auto begun = m_records.Begin(WorkflowName(workflow), std::chrono::system_clock::now()); !begun)
        m_window.ShowNote("This job is not recorded: " + begun.Message(), NoteKind::Job);
}

void CTarnDlg::prologue(const JobRequest& request) {
    {
        std::lock_guard guard(m_factsLock);
        m_outcomes.clear();
    }
    switch (request.workflow) {
    case Workflow::Upgrade:
        // A dry run changes no camera, so it leaves no record behind.
        if (request.options.dryRun)
            m_records.Skip();
        else
            beginRecords(request.workflow);
        SaveAdapterConfig();
        SetReceiverMode(kReceiverHold);
        break;
    case Workflow::CheckVersion:
        for (int row = 0; row < m_listDevices.GetItemCount(); ++row)
            m_listDevices.SetItemText(row, StatusColumn, "");
        SaveAdapterConfig();
        if (!m_savedConfig || m_savedConfig->addresses.empty())
            m_window.MessageBox("please check network status...", "information");
        SetReceiverMode(kReceiverHold);
        beginRecords(request.workflow);
        break;
    case Workflow::Reset:
        // The receiver keeps entering replies during a reset.
        SetReceiverMode(kReceiverRun);
        beginRecords(request.workflow);
        break;
    case Workflow::AutoIp:
        SetReceiverMode(kReceiverHold);
        beginRecords(request.workflow);
        break;
    }
    EnableControls(false);
}

void CTarnDlg::epilogue(const JobRequest& request, const JobSummary& summary) {
    switch (request.workflow) {
    case Workflow::Upgrade:
    case Workflow::CheckVersion:
        // A job whose last camera ended before anything could change leaves the saved adapter
        // configuration in place. Only a restore that changed the adapter has anything to
        // reconnect to; an unchanged adapter never went away, so the window is free at once.
        if (!summary.lastShort && RestoreAdapterConfig())
            awaitReconnect();
        m_detours.RemoveRoute(request.adapter);
        if (summary.leftAway > 0)
            m_window.ShowNote(std::to_string(summary.leftAway) +
                                  (summary.leftAway == 1 ? " camera was" : " cameras were") +
                                  " still rebooting at a link-local address when the job ended; the next start of "
                                  "Flashwell sends them home.",
                              NoteKind::Job);
        break;
    case Workflow::Reset:
        m_detours.RemoveRoute(request.adapter);
        break;
    case Workflow::AutoIp:
        // It saves nothing itself: this acts only on what an unfinished earlier job left saved.
        RestoreAdapterConfig();
        break;
    }
    SetReceiverMode(kReceiverRun);
    EnableControls(true);
    if (request.workflow != Workflow::AutoIp)
        return;
    OnSearch();
    if (const int leftOut = summary.rangeUsedUp; leftOut > 0)
        m_window.ShowNote("Auto Change IP: the range " + request.range.startText + "~" + request.range.endText +
                              " had no free address left for " + std::to_string(leftOut) +
                              (leftOut == 1 ? " camera" : " cameras") +
                              " at 192.168.0.20 (its end is never handed out).",
                          NoteKind::Job);
}

void CTarnDlg::markFailed(const Target& camera, bool failed) {
    if (m_table)
        m_table->SetFailed(camera.mac, failed);
    m_listDevices.SetFailed(camera.row, failed);
}

void CTarnDlg::onJobEvent(const JobRequest& request, const Target& camera, const JobEvent& event) {
    // The re-addressing writes no row: its closing search lists every camera afresh.
    const bool rows = request.workflow != Workflow::AutoIp;
    if (std::holds_alternative<event::CameraStarted>(event)) {
        if (rows)
            markFailed(camera, false);
    } else if (const auto* changed = std::get_if<event::CameraChanged>(&event)) {
        if (auto status = Status::Of(changed->view); status && rows)
            m_listDevices.SetStatus(camera.row, status->text, status->progress);
    } else if (const auto* ended = std::get_if<event::CameraEnded>(&event)) {
        const CameraOutcome& outcome = ended->outcome;
        if (rows) {
            markFailed(camera, IsFailure(outcome.kind));
            m_listDevices.SetStatus(camera.row, Status::Of(outcome).text, std::nullopt);
        }
        {
            std::lock_guard guard(m_factsLock);
            if (outcome.model || outcome.versionBefore)
                m_facts[camera.mac] = {outcome.model.value_or(""),
                                       outcome.versionAfter.value_or(outcome.versionBefore.value_or(""))};
            m_outcomes[camera.mac] = outcome;
        }
        if (IsRecorded(outcome.kind))
            m_records.Append(recordOf(request, camera, outcome));
    }
    JobListener listener;
    {
        std::lock_guard guard(m_factsLock);
        listener = m_jobListener;
    }
    if (listener)
        listener(camera, event);
}

CameraRecord CTarnDlg::recordOf(const JobRequest& request, const Target& camera, const CameraOutcome& outcome) const {
    CameraRecord r;
    r.adapter = request.adapter.interfaceName;
    r.mac = FormatMac(camera.mac);
    r.name = camera.displayName;
    r.ipBefore = FormatIpv4(camera.ip);
    r.ipAfter = outcome.ipAfter;
    r.model = outcome.model;
    r.versionBefore = outcome.versionBefore;
    r.versionAfter = outcome.versionAfter;
    if (request.workflow == Workflow::Upgrade && request.image) {
        r.image = request.image->path;
        r.imageSha256 = request.image->sha256;
        r.imageVersion = request.image->header.version;
    }
    r.status = Status::Of(outcome).text;
    r.failed = IsFailure(outcome.kind);
    r.outcome = OutcomeName(outcome.kind);
    return r;
}

std::optional<CameraFacts> CTarnDlg::Facts(const Mac& mac) const {
    std::lock_guard guard(m_factsLock);
    auto it = m_facts.find(mac);
    if (it == m_facts.end())
        return std::nullopt;
    return it->second;
}

std::optional<CameraOutcome> CTarnDlg::Outcome(const Mac& mac) const {
    std::lock_guard guard(m_factsLock);
    auto it = m_outcomes.find(mac);
    if (it == m_outcomes.end())
        return std::nullopt;
    return it->second;
}

void CTarnDlg::SetJobListener(JobListener listener) {
    std::lock_guard guard(m_factsLock);
    m_jobListener = std::move(listener);
}
