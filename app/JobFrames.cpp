// What runs around each workflow's job: a row of the table below says what, for each workflow.
#include "app/JobFrames.h"

#include <chrono>
#include <iterator>

#include "engine/CameraState.h"

namespace {

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

bool JobFrames::Admit(JobRequest& request) {
    // A camera the start-up's search does not show is not sent anything: it costs one search.
    if (!frameOf(request.workflow).sendsHome || !m_parts.homecoming.LeaveAbsent(request))
        return true;
    m_parts.unstarted(Text());
    return false;
}

void JobFrames::Before(const JobRequest& request) {
    const JobFrame& frame = frameOf(request.workflow);
    m_parts.fleet.Begin(request, std::chrono::steady_clock::now());
    // A dry run changes no camera, so it leaves no record behind.
    if (!frame.recorded || request.options.dryRun)
        m_parts.fleet.Records().Skip();
    else if (auto begun =
                 m_parts.fleet.Records().Begin(WorkflowName(request.workflow), std::chrono::system_clock::now());
             !begun)
        m_parts.window.ShowNote(Note(QT_TRANSLATE_NOOP("Note", "This job is not recorded: %1"), {begun.Said()}),
                                NoteKind::Job);
    if (frame.readsCard)
        m_parts.card.SaveAdapterConfig(m_parts.discovery.ChosenAdapter());
    if (frame.warnsOffline &&
        (!m_parts.card.SavedAdapterConfig() || m_parts.card.SavedAdapterConfig()->addresses.empty()))
        m_parts.window.MessageBox(Note(QT_TRANSLATE_NOOP("Note", "please check network status...")),
                                  Note(QT_TRANSLATE_NOOP("Note", "information")));
    if (frame.receiverMode >= 0)
        m_parts.discovery.SetReceiverMode(frame.receiverMode);
    if (frame.sendsHome)
        m_parts.window.ShowNote(
            request.targets.size() == 1
                ? Note(QT_TRANSLATE_NOOP("Note", "Sending 1 camera home that an earlier job left at link-local "
                                                 "addresses..."))
                : Note(QT_TRANSLATE_NOOP("Note", "Sending %1 cameras home that an earlier job left at link-local "
                                                 "addresses..."),
                       {std::to_string(request.targets.size())}),
            NoteKind::Waiting);
    m_parts.enableControls(false);
}

void JobFrames::After(const JobRequest& request, const JobSummary& summary) {
    const JobFrame& frame = frameOf(request.workflow);
    std::vector<Text> notes = summary.notes;
    if (frame.restoresCard) {
        auto restored = m_parts.card.RestoreAdapterConfig(request.adapter);
        notes.insert(notes.end(), restored.begin(), restored.end());
    }
    if (frame.sendsHome)
        m_parts.homecoming.Report(request);
    m_parts.fleet.End(summary.away);
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
        if (Text held = m_parts.fleet.HeldTheFirstWave(request); !held.empty())
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
    m_parts.discovery.SetReceiverMode(kReceiverRun);
    m_parts.enableControls(true);
    if (!frame.sendsHome)
        m_parts.window.ShowNote(m_parts.fleet.ProgressText(std::chrono::steady_clock::now()), NoteKind::Progress);
    // The cameras that answered at their new addresses refreshed their rows; this search brings
    // in the rest, without emptying the list of what the job found.
    if (frame.searchesAfter)
        m_parts.discovery.SendSearch();
    if (!notes.empty())
        m_parts.window.ShowNote(
            Note(QT_TRANSLATE_NOOP("Note", "%1."), {Joined(notes, "Note", QT_TRANSLATE_NOOP("Note", "%1. %2"))}),
            NoteKind::Job);
}

void JobFrames::Event(const JobRequest& request, const Target& camera, const JobEvent& event) {
    // The fleet's view first: the row's Model and Version columns read it when the row is redrawn.
    const FleetView::Seen seen = m_parts.fleet.On(request, camera, event, std::chrono::steady_clock::now());
    const auto* ended = std::get_if<event::CameraEnded>(&event);
    if (camera.row >= 0 && (ended || std::holds_alternative<event::CameraStarted>(event)))
        m_parts.discovery.MarkFailed(camera.mac, ended && IsFailure(ended->outcome.kind));
    if (seen.status)
        m_parts.discovery.ShowStatus(camera.mac, seen.status->text, seen.status->progress);
    if (ended) {
        const CameraOutcome& outcome = ended->outcome;
        // The row shows where the camera's own reply last put it: away, or back home.
        Ipv4 at{};
        if (camera.row >= 0 &&
            (outcome.leftAt ? ParseIpv4(*outcome.leftAt, at) : outcome.ipAfter && ParseIpv4(*outcome.ipAfter, at)))
            m_parts.discovery.ShowAddress(camera.mac, at);
    }
    if (!seen.progress.empty())
        m_parts.window.ShowNote(seen.progress, NoteKind::Progress);
    if (seen.listener)
        seen.listener(camera, event);
}
