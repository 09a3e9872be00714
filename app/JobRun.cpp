// The workflow buttons: what a front end hands in at the press becomes a job request; a thread of
// the job's own runs the opening part, the job and the closing part; the job's events write the
// list, the facts and the records.
#include <algorithm>
#include <chrono>
#include <iterator>
#include <map>

#include "app/RangeText.h"
#include "app/TarnDlg.h"
#include "util/Trace.h"
#include "webops/OperatorMessages.h"

namespace {

Text noCamera() {
    return Note(QT_TRANSLATE_NOOP("Note", "no camera is selected"));
}

// What the controller does around one workflow's job, one row each: a new workflow is a row
// here and one in the engine's table, not a case in every switch.
struct JobFrame {
    Workflow workflow;
    bool recorded;     // keeps a file of records (an upgrade's dry run keeps none)
    bool readsCard;    // the card as the job found it is read first: its addresses seed the range
    bool warnsOffline; // "please check network status..." when the card has no address
    // During the job: hold for the jobs that walk the table, run where a camera seen at its new
    // address is to be listed there; -1 leaves the mode as it is.
    int receiverMode;
    bool restoresCard;  // the job's route goes afterwards, and a change of the card's addresses is said
    bool searchesAfter; // the cameras the job moved are listed at their new addresses by a search
    bool sendsHome;     // the cameras an earlier run left away: said before, reported after
};

constexpr JobFrame kFrames[] = {
    {Workflow::Upgrade, true, true, false, kReceiverHold, true, false, false},
    {Workflow::CheckVersion, true, true, true, kReceiverHold, true, false, false},
    {Workflow::Reset, true, false, false, kReceiverRun, true, false, false},
    {Workflow::AutoIp, true, false, false, kReceiverRun, true, true, false},
    {Workflow::Homecoming, false, false, false, -1, false, false, true},
};

// Every workflow has its row, at its own place.
constexpr bool everyWorkflowFramed() {
    for (std::size_t i = 0; i < std::size(kFrames); ++i)
        if (static_cast<std::size_t>(kFrames[i].workflow) != i)
            return false;
    return std::size(kFrames) == static_cast<std::size_t>(Workflow::Homecoming) + 1;
}
static_assert(everyWorkflowFramed());

const JobFrame& frameOf(Workflow workflow) {
    return kFrames[static_cast<std::size_t>(workflow)];
}

} // namespace

void CTarnDlg::OnStartUpgrade(const JobInputs& inputs, UpgradeMode mode) {
    auto p = press(Workflow::Upgrade, inputs);
    if (!p)
        return;
    // With neither cameras nor an image, choosing the image first would still do nothing.
    if (PressTargets(*p).empty())
        return endWorkflowUnstarted(noCamera());
    if (!inputs.image && inputs.firmwarePath.empty()) {
        m_window.MessageBox(Text(GetOperatorMessage(OperatorMessageId::SelectFirmwareFirst, m_nOemCodePage)),
                            Text(GetOperatorMessage(OperatorMessageId::NoFirmwareAssigned, m_nOemCodePage)));
        return;
    }
    p->inputs.firmwarePath = inputs.firmwarePath.substr(0, 1023);
    p->options.dryRun = mode == UpgradeMode::DryRun;
    p->options.allowOtherModels = m_allowOtherModels;
    const std::string card = p->adapter.interfaceName;
    startJob(card, [this, pressed = std::move(*p)] { return upgradeRequest(pressed); });
}

void CTarnDlg::OnCheckVersion(const JobInputs& inputs) {
    if (auto p = press(Workflow::CheckVersion, inputs))
        startPress(std::move(*p));
}

void CTarnDlg::OnResetDefault(const JobInputs& inputs) {
    auto p = press(Workflow::Reset, inputs);
    if (!p)
        return;
    if (PressTargets(*p).empty())
        return endWorkflowUnstarted(noCamera());
    startPress(std::move(*p));
}

void CTarnDlg::OnAutoChangeIp(const JobInputs& inputs) {
    auto p = press(Workflow::AutoIp, inputs);
    if (!p)
        return;
    auto range = autoIpRange(inputs.rangeStart, inputs.rangeEnd);
    if (!range) {
        m_window.MessageBox(Note(QT_TRANSLATE_NOOP("Note", "Nothing was sent: %1."), {range.Said()}),
                            Note(QT_TRANSLATE_NOOP("Note", "Auto Change IP")));
        std::lock_guard guard(m_jobLock);
        m_lastRefusal = range.Said();
        return;
    }
    if (PressTargets(*p).empty())
        return endWorkflowUnstarted(noCamera());
    p->range = std::move(range.Value());
    startPress(std::move(*p));
}

Result<AddressRange> CTarnDlg::autoIpRange(const std::string& startText, const std::string& endText) const {
    AddressRange range;
    range.startText = startText;
    range.endText = endText;
    // The leading decimal number of each text, 0 when there is none.
    range.start = RangeTextNumber(startText);
    range.end = RangeTextNumber(endText);
    // Only host numbers of a /24 may be handed out: never its network (.0) or broadcast (.255)
    // address, nor a number whose low byte lands on one.
    if (range.start < 1 || range.end > 254 || range.start > range.end)
        return Failure{EINVAL, Note(QT_TRANSLATE_NOOP("Note", "the range %1~%2 must be host numbers from 1 to 254, "
                                                              "its start not after its end"),
                                    {startText, endText})};
    if (range.start == range.end)
        return Failure{EINVAL, Note(QT_TRANSLATE_NOOP("Note", "the range %1~%2 can hand out no address: its end is "
                                                              "never handed out"),
                                    {startText, endText})};
    if (const auto& saved = m_card.SavedAdapterConfig(); saved && !saved->addresses.empty())
        ParseIpv4(saved->addresses.front(), range.network);
    // Addresses already held: by any listed camera and by the host.
    for (const DeviceInfo& record : m_discovery.Records())
        range.taken.insert(record.ip);
    if (const HostAdapter* adapter = m_discovery.ChosenAdapter(); adapter)
        if (Ipv4 own{}; ParseIpv4(adapter->address, own))
            range.taken.insert(own);
    return range;
}

Result<std::vector<std::optional<Ipv4>>> CTarnDlg::PlanAutoIp(const std::string& startText, const std::string& endText,
                                                              std::size_t cameras) const {
    auto range = autoIpRange(startText, endText);
    if (!range)
        return range.Error();
    const AddressRange& r = range.Value();
    std::vector<std::optional<Ipv4>> plan;
    long next = r.start;
    for (std::size_t camera = 0; camera < cameras; ++camera) {
        // As the job hands them out, in turn, its end never; a probe may skip some more.
        while (next < r.end &&
               r.taken.contains(Ipv4{r.network[0], r.network[1], r.network[2], static_cast<std::uint8_t>(next)}))
            ++next;
        if (next >= r.end) {
            plan.emplace_back();
            continue;
        }
        plan.emplace_back(Ipv4{r.network[0], r.network[1], r.network[2], static_cast<std::uint8_t>(next++)});
    }
    return plan;
}

JobAdapter CTarnDlg::jobAdapter() const {
    const HostAdapter* adapter = m_discovery.ChosenAdapter();
    if (!adapter)
        return {};
    return {adapter->interfaceName, adapter->address, adapter->index, adapter->hardwareAddress};
}

std::optional<Press> CTarnDlg::press(Workflow workflow, const JobInputs& inputs) const {
    if (!m_discovery.IsOpen() || m_closed || m_busy)
        return std::nullopt;
    Press p;
    p.workflow = workflow;
    p.inputs = inputs;
    p.options = GetJobOptions();
    p.listed = m_discovery.Records();
    p.away = m_journal.AwayFromHome();
    p.adapter = jobAdapter();
    return p;
}

std::shared_ptr<JobRequest> CTarnDlg::upgradeRequest(const Press& press) {
    std::shared_ptr<const FirmwareImage> image = press.inputs.image;
    if (!image) {
        auto loaded = FirmwareImage::Load(press.inputs.firmwarePath);
        if (!loaded) {
            m_window.MessageBox(loaded.Said(),
                                Text(GetOperatorMessage(OperatorMessageId::NoFirmwareAssigned, m_nOemCodePage)));
            endWorkflowUnstarted(loaded.Said());
            return nullptr;
        }
        image = std::move(loaded.Value());
    }
    // The cameras are judged by the image that is sent, not by what the window showed of a file.
    m_window.ShowImageFacts(image->header.model, image->header.version);
    return MakeRequest(press, std::move(image));
}

bool CTarnDlg::admit(JobRequest& request) {
    // A camera the start-up's search does not show is not sent anything: it costs one search.
    return !(frameOf(request.workflow).sendsHome && leaveAbsent(request));
}

void CTarnDlg::beginRecords(Workflow workflow) {
    if (auto begun = m_records.Begin(WorkflowName(workflow), std::chrono::system_clock::now()); !begun)
        m_window.ShowNote(Note(QT_TRANSLATE_NOOP("Note", "This job is not recorded: %1"), {begun.Said()}),
                          NoteKind::Job);
}

void CTarnDlg::prologue(const JobRequest& request) {
    const JobFrame& frame = frameOf(request.workflow);
    m_fleet.Begin(request, std::chrono::steady_clock::now());
    // A dry run changes no camera, so it leaves no record behind.
    if (!frame.recorded || request.options.dryRun)
        m_records.Skip();
    else
        beginRecords(request.workflow);
    if (frame.readsCard)
        m_card.SaveAdapterConfig(m_discovery.ChosenAdapter());
    if (frame.warnsOffline && (!m_card.SavedAdapterConfig() || m_card.SavedAdapterConfig()->addresses.empty()))
        m_window.MessageBox(Note(QT_TRANSLATE_NOOP("Note", "please check network status...")),
                            Note(QT_TRANSLATE_NOOP("Note", "information")));
    if (frame.receiverMode >= 0)
        m_discovery.SetReceiverMode(frame.receiverMode);
    if (frame.sendsHome)
        m_window.ShowNote(
            request.targets.size() == 1
                ? Note(QT_TRANSLATE_NOOP("Note", "Sending 1 camera home that an earlier job left at link-local "
                                                 "addresses..."))
                : Note(QT_TRANSLATE_NOOP("Note", "Sending %1 cameras home that an earlier job left at link-local "
                                                 "addresses..."),
                       {std::to_string(request.targets.size())}),
            NoteKind::Waiting);
    EnableControls(false);
}

void CTarnDlg::epilogue(const JobRequest& request, const JobSummary& summary) {
    const JobFrame& frame = frameOf(request.workflow);
    std::vector<Text> notes = summary.notes;
    if (frame.restoresCard) {
        auto restored = m_card.RestoreAdapterConfig(request.adapter);
        notes.insert(notes.end(), restored.begin(), restored.end());
    }
    if (frame.sendsHome)
        reportHomecoming(request);
    m_fleet.End(summary.away);
    if (!summary.away.empty() && !frame.sendsHome) {
        const Text names = Joined(summary.away, "Note", QT_TRANSLATE_NOOP("Note", "%1, %2"));
        notes.push_back(summary.away.size() == 1
                            ? Note(QT_TRANSLATE_NOOP("Note", "1 camera is not seen back at its own address yet: %1; "
                                                             "the next start of Flashwell sends it home"),
                                   {names})
                            : Note(QT_TRANSLATE_NOOP("Note", "%1 cameras are not seen back at their own addresses "
                                                             "yet: %2; the next start of Flashwell sends them home"),
                                   {std::to_string(summary.away.size()), names}));
    }
    if (request.workflow == Workflow::Upgrade)
        if (Text held = m_fleet.HeldTheFirstWave(request); !held.empty())
            notes.push_back(
                Note(QT_TRANSLATE_NOOP("Note", "The first wave failed, so the rest were not flashed: %1"), {held}));
    if (request.workflow == Workflow::AutoIp && summary.rangeUsedUp > 0) {
        const int leftOut = summary.rangeUsedUp;
        const Text& start = request.range.startText;
        const Text& end = request.range.endText;
        notes.push_back(leftOut == 1 ? Note(QT_TRANSLATE_NOOP("Note", "Auto Change IP: the range %1~%2 had no free "
                                                                      "address left for 1 camera at 192.168.0.20 (its "
                                                                      "end is never handed out)"),
                                            {start, end})
                                     : Note(QT_TRANSLATE_NOOP("Note", "Auto Change IP: the range %1~%2 had no free "
                                                                      "address left for %3 cameras at 192.168.0.20 "
                                                                      "(its end is never handed out)"),
                                            {start, end, std::to_string(leftOut)}));
    }
    m_discovery.SetReceiverMode(kReceiverRun);
    EnableControls(true);
    if (!frame.sendsHome)
        m_window.ShowNote(m_fleet.ProgressText(std::chrono::steady_clock::now()), NoteKind::Progress);
    // The cameras that answered at their new addresses refreshed their rows; this search brings
    // in the rest, without emptying the list of what the job found.
    if (frame.searchesAfter)
        m_discovery.SendSearch();
    if (!notes.empty())
        m_window.ShowNote(
            Note(QT_TRANSLATE_NOOP("Note", "%1."), {Joined(notes, "Note", QT_TRANSLATE_NOOP("Note", "%1. %2"))}),
            NoteKind::Job);
}

void CTarnDlg::onJobEvent(const JobRequest& request, const Target& camera, const JobEvent& event) {
    // The fleet's view first: the row's Model and Version columns read it when the row is redrawn.
    const FleetView::Seen seen = m_fleet.On(request, camera, event, std::chrono::steady_clock::now());
    const auto* ended = std::get_if<event::CameraEnded>(&event);
    if (camera.row >= 0 && (ended || std::holds_alternative<event::CameraStarted>(event)))
        m_discovery.MarkFailed(camera.mac, ended && IsFailure(ended->outcome.kind));
    if (seen.status)
        m_discovery.ShowStatus(camera.mac, seen.status->text.English(), seen.status->progress);
    if (ended) {
        const CameraOutcome& outcome = ended->outcome;
        // The row shows where the camera's own reply last put it: away, or back home.
        Ipv4 at{};
        if (camera.row >= 0 &&
            (outcome.leftAt ? ParseIpv4(*outcome.leftAt, at) : outcome.ipAfter && ParseIpv4(*outcome.ipAfter, at)))
            m_discovery.ShowAddress(camera.mac, at);
        if (IsRecorded(outcome.kind))
            m_records.Append(recordOf(request, camera, outcome));
    }
    if (!seen.progress.empty())
        m_window.ShowNote(seen.progress, NoteKind::Progress);
    if (seen.listener)
        seen.listener(camera, event);
}

void CTarnDlg::SetJobOptions(const JobOptions& options) {
    std::lock_guard guard(m_jobLock);
    m_jobOptions = options;
}

JobOptions CTarnDlg::GetJobOptions() const {
    std::lock_guard guard(m_jobLock);
    return m_jobOptions;
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
    r.status = Status::Of(outcome).text.English();
    r.failed = IsFailure(outcome.kind);
    r.outcome = OutcomeName(outcome.kind);
    return r;
}
