#include "engine/Job.h"

#include <algorithm>

#include "engine/Workflows.h"

Job::Job(std::shared_ptr<const JobRequest> request, const Clock& clock, JobListener listener)
    : m_request(std::move(request)), m_clock(clock), m_listener(std::move(listener)) {
    for (const Target& camera : m_request->targets) {
        m_byMac[camera.mac] = m_slots.size();
        m_slots.push_back({MachineFor(*m_request, camera)});
    }
    m_summary.cameras = m_slots.size();
}

std::unique_ptr<CameraMachine> Job::MachineFor(const JobRequest& request, const Target& camera) {
    return TraitsOf(request.workflow).machine(request, camera);
}

std::size_t Job::concurrency() const {
    // Where only the uploads take turns (grantTurns), every machine runs.
    return TraitsOf(m_request->workflow).turns ? m_slots.size() : orEvery(CamerasAtOnce(*m_request));
}

std::size_t Job::orEvery(std::size_t atOnce) const {
    return atOnce > 0 ? atOnce : m_slots.size();
}

Clock::Milliseconds Job::jobTime(Moment now) const {
    const std::chrono::duration<double, std::milli> real = now - m_started;
    return Clock::Milliseconds(static_cast<long long>(real.count() / m_clock.Scale()));
}

std::optional<bool> Job::firstWavePassed() const {
    const std::size_t wave = m_request->options.firstWave;
    bool passed = true;
    for (std::size_t camera = 0; camera < wave && camera < m_slots.size(); ++camera) {
        const Slot& slot = m_slots[camera];
        if (slot.state != Slot::State::Ended)
            return std::nullopt;
        const OutcomeKind kind = slot.machine->Outcome().kind;
        passed = passed && (kind == OutcomeKind::Upgraded || kind == OutcomeKind::AlreadyCurrent);
    }
    return passed;
}

void Job::grantTurns(Moment now) {
    for (auto held = m_haveTurn.begin(); held != m_haveTurn.end();) {
        const Slot& slot = m_slots[*held];
        held =
            slot.state == Slot::State::Ended || !slot.machine->HoldsTurn() ? m_haveTurn.erase(held) : std::next(held);
    }
    const std::size_t cap = orEvery(CamerasAtOnce(*m_request));
    const std::size_t wave = m_request->options.firstWave;
    while (!m_wantTurn.empty()) {
        const std::size_t camera = *m_wantTurn.begin();
        std::optional<bool> granted = true;
        if (!m_stopApplied) {
            if (m_haveTurn.size() >= cap)
                break;
            if (camera >= wave)
                granted = firstWavePassed();
            if (!granted)
                break; // the first wave is still at work, and the rest behind it waits in list order
        }
        m_wantTurn.erase(m_wantTurn.begin());
        if (*granted)
            m_haveTurn.insert(camera);
        resume(camera, input::Turn{*granted}, now);
    }
    showWaiting();
}

void Job::showWaiting() {
    const std::size_t wave = m_request->options.firstWave;
    const bool waveAtWork = !firstWavePassed().has_value();
    for (std::size_t camera : m_wantTurn) {
        Slot& slot = m_slots[camera];
        // Free slots do not help a camera behind a first wave still at work: it is told which it waits for.
        const Phase waiting = camera >= wave && waveAtWork ? Phase::WaitingWave : Phase::WaitingTurn;
        if (slot.shownWaiting != waiting) {
            slot.shownWaiting = waiting;
            if (waiting == Phase::WaitingWave)
                slot.machine->WaitForWave();
            else
                slot.machine->WaitForTurn();
            publish(camera);
        }
    }
}

void Job::Begin(Moment now) {
    m_started = now;
    m_nextSearch = now;
}

void Job::Feed(std::size_t camera, const Input& input, Moment now) {
    if (camera < m_slots.size() && m_slots[camera].state == Slot::State::Calling)
        resume(camera, input, now);
}

void Job::Sighted(const Mac& mac, const Ipv4& at, Moment now) {
    const auto found = m_byMac.find(mac);
    if (found == m_byMac.end())
        return;
    const std::size_t camera = found->second;
    const auto waiting = m_awaiting.find(camera);
    // A sighting for a wait that has already ended (its window passed) is old news.
    if (waiting == m_awaiting.end() || waiting->second.first != at || m_slots[camera].state != Slot::State::Waiting ||
        m_slots[camera].wait != waiting->second.second)
        return;
    resume(camera, input::Sighted{at}, now);
}

void Job::Unrun(std::size_t camera, bool stopping, Moment) {
    Slot& slot = m_slots[camera];
    if (slot.state != Slot::State::Calling)
        return;
    slot.machine->Abandon(stopping || m_stopApplied ? OutcomeKind::Interrupted : OutcomeKind::NoWorkerThread);
    ended(camera);
}

void Job::Stop(Moment now) {
    if (m_stopApplied)
        return;
    m_stopApplied = true;
    for (Slot& slot : m_slots)
        slot.machine->Stop();
    // Every wait ends now, but for a camera on its way home: the machines take their stopping paths.
    auto due = std::move(m_timers);
    m_timers.clear();
    for (const auto& [when, timer] : due) {
        const auto [camera, wait] = timer;
        Slot& slot = m_slots[camera];
        if (slot.state != Slot::State::Waiting || slot.wait != wait)
            continue;
        if (slot.holdOnStop)
            m_timers.emplace(when, timer);
        else
            resume(camera, input::Elapsed{}, now);
    }
}

Job::Work Job::Upkeep(Moment now) {
    while (!m_timers.empty() && m_timers.begin()->first <= now) {
        const auto [camera, wait] = m_timers.begin()->second;
        m_timers.erase(m_timers.begin());
        if (m_slots[camera].state == Slot::State::Waiting && m_slots[camera].wait == wait)
            resume(camera, input::Elapsed{}, now);
    }
    admit(now);
    grantTurns(now);
    Work work;
    work.calls.swap(m_calls);
    if (!m_awaiting.empty() && now >= m_nextSearch) {
        work.search = true;
        m_nextSearch = now + kSearchInterval;
    }
    return work;
}

std::optional<Job::Moment> Job::NextDue() const {
    std::optional<Moment> due;
    if (!m_timers.empty())
        due = m_timers.begin()->first;
    if (!m_awaiting.empty())
        due = due ? std::min(*due, m_nextSearch) : m_nextSearch;
    return due;
}

std::map<Mac, Ipv4> Job::Awaited() const {
    std::map<Mac, Ipv4> awaited;
    for (const auto& [camera, wait] : m_awaiting)
        awaited[m_slots[camera].machine->Camera().mac] = wait.first;
    return awaited;
}

void Job::resume(std::size_t camera, const Input& input, Moment now) {
    Slot& slot = m_slots[camera];
    m_awaiting.erase(camera);
    slot.state = Slot::State::Running;
    slot.machine->SetNow(jobTime(now));
    advance(camera, slot.machine->On(input), now);
}

void Job::admit(Moment now) {
    while (m_nextQueued < m_slots.size() && (m_active < concurrency() || m_stopApplied)) {
        const std::size_t camera = m_nextQueued++;
        Slot& slot = m_slots[camera];
        slot.state = Slot::State::Running;
        ++m_active;
        m_listener(slot.machine->Camera(), event::CameraStarted{});
        if (m_stopApplied)
            slot.machine->Stop();
        slot.machine->SetNow(jobTime(now));
        advance(camera, slot.machine->Begin(), now);
    }
}

void Job::advance(std::size_t camera, Action action, Moment now) {
    Slot& slot = m_slots[camera];
    for (;;) {
        publish(camera);
        if (std::holds_alternative<step::Finish>(action))
            return ended(camera);
        if (std::holds_alternative<step::AwaitTurn>(action)) {
            slot.state = Slot::State::AwaitingTurn;
            m_wantTurn.insert(camera);
            return;
        }
        const auto* wait = std::get_if<step::Wait>(&action);
        const auto* sighting = std::get_if<step::AwaitSighting>(&action);
        // A stopping job waits for nothing, but for a camera on its way home to be seen there.
        if ((wait || sighting) && m_stopApplied && !(sighting && sighting->holdOnStop)) {
            slot.machine->SetNow(jobTime(now));
            action = slot.machine->On(input::Elapsed{});
            continue;
        }
        if (wait) {
            slot.state = Slot::State::Waiting;
            slot.wait = ++m_waits;
            slot.holdOnStop = false;
            m_timers.emplace(now + m_clock.Real(wait->duration), std::pair{camera, slot.wait});
            return;
        }
        if (sighting)
            return await(camera, *sighting, now);
        slot.state = Slot::State::Calling;
        m_calls.push_back({camera, slot.machine.get(), std::move(action)});
        return;
    }
}

void Job::await(std::size_t camera, const step::AwaitSighting& sighting, Moment now) {
    Slot& slot = m_slots[camera];
    slot.state = Slot::State::Waiting;
    slot.wait = ++m_waits;
    slot.holdOnStop = sighting.holdOnStop;
    // A reply takes what it takes: the window is the camera's, not the workflow's time scale.
    m_timers.emplace(now + m_clock.ReplyWindow(sighting.window), std::pair{camera, slot.wait});
    const bool first = m_awaiting.empty();
    m_awaiting[camera] = {sighting.at, slot.wait};
    // The command that should have moved it has just left: ask at once, not half a second later.
    if (first || m_nextSearch > now + kSearchInterval / 5)
        m_nextSearch = now;
}

void Job::publish(std::size_t camera) {
    CameraMachine& machine = *m_slots[camera].machine;
    for (const CameraView& view : machine.TakeViews())
        if (view.phase != Phase::Done)
            m_listener(machine.Camera(), event::CameraChanged{view});
}

void Job::ended(std::size_t camera) {
    Slot& slot = m_slots[camera];
    slot.state = Slot::State::Ended;
    --m_active;
    ++m_ended;
    const CameraOutcome& outcome = slot.machine->Outcome();
    m_summary.failed += IsFailure(outcome.kind) ? 1 : 0;
    m_summary.rangeUsedUp += outcome.kind == OutcomeKind::RangeUsedUp ? 1 : 0;
    if (outcome.leftAt)
        m_summary.away.push_back(
            Note(QT_TRANSLATE_NOOP("Note", "%1 (%2) at %3"),
                 {slot.machine->Camera().displayName, FormatMac(slot.machine->Camera().mac), *outcome.leftAt}));
    if (!outcome.note.empty() &&
        std::find(m_summary.notes.begin(), m_summary.notes.end(), outcome.note) == m_summary.notes.end())
        m_summary.notes.push_back(outcome.note);
    publish(camera);
    m_listener(slot.machine->Camera(), event::CameraEnded{outcome});
}
