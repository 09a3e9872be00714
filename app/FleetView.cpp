#include "app/FleetView.h"

#include <algorithm>

#include "engine/Workflows.h"

namespace {

// A line a human reads: a few times a second is enough, and every camera's end.
constexpr auto kProgressEvery = std::chrono::milliseconds(250);

CameraRecord recordOf(const JobRequest& request, const Target& camera, const CameraOutcome& outcome) {
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

} // namespace

void FleetView::Begin(const JobRequest& request, Moment now) {
    std::lock_guard guard(m_lock);
    for (auto& [mac, camera] : m_cameras) {
        camera.outcome.reset();
        camera.running.reset();
    }
    // Re-addressing leaves the cameras not at the factory address alone: they are not its own.
    m_counted.clear();
    for (const Target& camera : request.targets)
        if (request.workflow != Workflow::AutoIp || camera.ip == kFactoryAddress)
            m_counted.insert(camera.mac);
    if (request.workflow != Workflow::Homecoming)
        m_progress.Begin(m_counted.size(), CamerasAtOnce(request), now);
}

FleetView::Seen FleetView::On(const JobRequest& request, const Target& camera, const JobEvent& event, Moment now) {
    // A camera an earlier run left away has no row of its own, and so shows nothing.
    const bool row = camera.row >= 0;
    if (const auto* ended = std::get_if<event::CameraEnded>(&event); ended && IsRecorded(ended->outcome.kind))
        m_records.Append(recordOf(request, camera, ended->outcome));
    Seen seen;
    std::lock_guard guard(m_lock);
    FleetCamera& c = m_cameras[camera.mac];
    if (std::holds_alternative<event::CameraStarted>(event)) {
        // A row's Status belongs to the last job that touched it: each camera's is emptied as its
        // work begins, and the rows of cameras outside the job keep theirs.
        if (row)
            seen.status = StatusText{};
    } else if (const auto* changed = std::get_if<event::CameraChanged>(&event)) {
        c.running = changed->view;
        if (auto status = Status::Of(changed->view); status && row)
            seen.status = std::move(status);
    } else if (const auto* ended = std::get_if<event::CameraEnded>(&event)) {
        const CameraOutcome& outcome = ended->outcome;
        if (outcome.model || outcome.versionBefore)
            c.facts = CameraFacts{outcome.model.value_or(""),
                                  outcome.versionAfter.value_or(outcome.versionBefore.value_or(""))};
        c.outcome = outcome;
        c.running.reset();
        if (row)
            seen.status = Status::Of(outcome);
    }
    seen.listener = m_listener;
    if (request.workflow != Workflow::Homecoming && m_counted.contains(camera.mac)) {
        m_progress.On(camera.mac, event, now);
        if (std::holds_alternative<event::CameraEnded>(event) || now - m_progressShown >= kProgressEvery) {
            m_progressShown = now;
            seen.progress = m_progress.Said(now);
        }
    }
    return seen;
}

void FleetView::End(std::vector<Text> away) {
    std::lock_guard guard(m_lock);
    m_lastAway = std::move(away);
}

std::optional<FleetCamera> FleetView::Camera(const Mac& mac) const {
    std::lock_guard guard(m_lock);
    const auto it = m_cameras.find(mac);
    return it == m_cameras.end() ? std::nullopt : std::optional(it->second);
}

std::optional<CameraFacts> FleetView::Facts(const Mac& mac) const {
    const auto camera = Camera(mac);
    return camera ? camera->facts : std::nullopt;
}

std::optional<CameraOutcome> FleetView::Outcome(const Mac& mac) const {
    const auto camera = Camera(mac);
    return camera ? camera->outcome : std::nullopt;
}

std::map<Phase, int> FleetView::RunningPhases() const {
    std::map<Phase, int> phases;
    std::lock_guard guard(m_lock);
    for (const auto& [mac, camera] : m_cameras)
        if (camera.running)
            ++phases[camera.running->phase];
    return phases;
}

std::vector<Text> FleetView::LastAway() const {
    std::lock_guard guard(m_lock);
    return m_lastAway;
}

Text FleetView::ProgressText(Moment now) const {
    std::lock_guard guard(m_lock);
    return m_progress.Said(now);
}

void FleetView::SetJobListener(JobListener listener) {
    std::lock_guard guard(m_lock);
    m_listener = std::move(listener);
}

Text FleetView::HeldTheFirstWave(const JobRequest& request) const {
    const std::size_t wave = std::min(request.options.firstWave, request.targets.size());
    std::lock_guard guard(m_lock);
    const bool held = std::any_of(m_cameras.begin(), m_cameras.end(), [](const auto& c) {
        return c.second.outcome && c.second.outcome->kind == OutcomeKind::FirstWaveFailed;
    });
    std::vector<Text> names;
    for (std::size_t i = 0; held && i < wave; ++i) {
        const Target& camera = request.targets[i];
        const auto it = m_cameras.find(camera.mac);
        if (it == m_cameras.end() || !it->second.outcome)
            continue;
        const CameraOutcome& outcome = *it->second.outcome;
        if (outcome.kind == OutcomeKind::Upgraded || outcome.kind == OutcomeKind::AlreadyCurrent)
            continue;
        names.push_back(Note(QT_TRANSLATE_NOOP("Note", "%1 (%2) ended \"%3\""),
                             {camera.displayName, FormatMac(camera.mac), Status::Of(outcome).text}));
    }
    return Joined(names, "Note", QT_TRANSLATE_NOOP("Note", "%1, %2"));
}
