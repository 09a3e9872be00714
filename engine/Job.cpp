#include "engine/Job.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>

#include "engine/CheckMachine.h"
#include "engine/HomecomingMachine.h"
#include "engine/ReaddressMachine.h"
#include "engine/ResetMachine.h"
#include "engine/UpgradeMachine.h"
#include "util/Trace.h"
#include "util/Utf8.h"

namespace {

using namespace std::chrono_literals;

// The job's thread looks at the clock's stop at least this often, whoever forgot to wake it.
constexpr auto kLongestSleep = 100ms;

// Calls mostly wait on the network; when hundreds of them copy images at once, the window's
// thread must still get the processor within a frame. Raising one's own nice value needs no right.
void yieldToTheWindow() {
    constexpr int kWorkerNice = 10;
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), kWorkerNice);
}

TaskPool::Options poolOptions(const JobRequest& request, std::size_t threadLimit) {
    TaskPool::Options o;
    o.maxThreads = std::max<std::size_t>(request.targets.size(), 1);
    if (threadLimit != 0)
        o.mayStart = [threadLimit](std::size_t running) { return running + 1 < threadLimit; };
    o.onThreadStart = yieldToTheWindow;
    return o;
}

CameraAddress addressOf(const Target& camera, const std::string& host, const Login& login) {
    // Ports outside 1..65535 cannot be dialled; the camera's default is 80.
    const int p = camera.webPort;
    return {host, static_cast<std::uint16_t>(p > 0 && p < 65536 ? p : 80), CutUtf8(login.user, 31),
            CutUtf8(login.password, 31)};
}

} // namespace

Job::Job(std::shared_ptr<const JobRequest> request, Services services, JobListener listener)
    : m_request(std::move(request)), m_services(services), m_listener(std::move(listener)),
      m_addresses(m_request->range, services.network, m_request->adapter.index, [this] { return stopRequested(); }),
      m_pool(poolOptions(*m_request, services.threadLimit)) {
    for (const Target& camera : m_request->targets) {
        m_byMac[camera.mac] = m_slots.size();
        m_slots.push_back({MachineFor(*m_request, camera)});
    }
}

Job::~Job() {
    m_pool.Shutdown();
}

std::unique_ptr<CameraMachine> Job::MachineFor(const JobRequest& request, const Target& camera) {
    switch (request.workflow) {
    case Workflow::Upgrade:
        return std::make_unique<UpgradeMachine>(camera, request.image, request.options);
    case Workflow::CheckVersion:
        return std::make_unique<CheckMachine>(camera);
    case Workflow::Reset:
        return std::make_unique<ResetMachine>(camera, request.options.rebootTimeout);
    case Workflow::Homecoming:
        return std::make_unique<HomecomingMachine>(camera);
    case Workflow::AutoIp:
        break;
    }
    return std::make_unique<ReaddressMachine>(camera, request.range.network);
}

std::size_t Job::concurrency() const {
    // Every upgrade machine runs; its uploads take turns (grantTurns).
    return m_request->workflow == Workflow::Upgrade ? m_slots.size() : orEvery(CamerasAtOnce(*m_request));
}

std::size_t Job::orEvery(std::size_t atOnce) const {
    return atOnce > 0 ? atOnce : m_slots.size();
}

Clock::Milliseconds Job::jobTime() const {
    const std::chrono::duration<double, std::milli> real = std::chrono::steady_clock::now() - m_started;
    return Clock::Milliseconds(static_cast<long long>(real.count() / m_services.clock.Scale()));
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

void Job::grantTurns() {
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
        resume(camera, input::Turn{*granted});
    }
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

void Job::Stop() {
    {
        std::lock_guard guard(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
}

void Job::Sighted(const Mac& mac, const Ipv4& at) {
    auto slot = m_byMac.find(mac);
    if (slot == m_byMac.end())
        return;
    {
        std::lock_guard guard(m_lock);
        auto waiting = m_awaiting.find(slot->second);
        if (waiting == m_awaiting.end() || waiting->second.first != at)
            return;
        m_inbox.push_back({slot->second, waiting->second.second, input::Sighted{at}});
        m_awaiting.erase(waiting);
    }
    m_wake.notify_all();
}

bool Job::stopRequested() const {
    return m_stop.load() || m_services.clock.Interrupted();
}

JobSummary Job::Run() {
    m_summary.cameras = m_slots.size();
    m_started = std::chrono::steady_clock::now();
    admit();
    grantTurns();
    while (m_ended < m_slots.size()) {
        std::vector<Arrival> arrived;
        bool searching = false;
        {
            std::unique_lock lock(m_lock);
            const Moment now = std::chrono::steady_clock::now();
            Moment until = now + kLongestSleep;
            if (!m_timers.empty())
                until = std::min(until, m_timers.begin()->first);
            if (!m_awaiting.empty())
                until = std::min(until, m_nextSearch);
            m_wake.wait_until(lock, until, [&] { return !m_inbox.empty() || (!m_stopApplied && stopRequested()); });
            arrived.swap(m_inbox);
            searching = !m_awaiting.empty() && std::chrono::steady_clock::now() >= m_nextSearch;
        }
        if (!m_stopApplied && stopRequested())
            applyStop();
        for (Arrival& a : arrived) {
            Slot& slot = m_slots[a.camera];
            // A sighting for a wait that has already ended (its window passed) is old news.
            if (std::holds_alternative<input::Sighted>(a.input) &&
                (slot.state != Slot::State::Waiting || slot.wait != a.wait))
                continue;
            resume(a.camera, a.input);
        }
        const Moment now = std::chrono::steady_clock::now();
        while (!m_timers.empty() && m_timers.begin()->first <= now) {
            const auto [camera, wait] = m_timers.begin()->second;
            m_timers.erase(m_timers.begin());
            if (m_slots[camera].state == Slot::State::Waiting && m_slots[camera].wait == wait)
                resume(camera, input::Elapsed{});
        }
        if (searching)
            search();
        admit();
        grantTurns();
    }
    m_pool.Shutdown();
    return m_summary;
}

void Job::search() {
    m_nextSearch = std::chrono::steady_clock::now() + kSearchInterval;
    for (CameraFamily family : {CameraFamily::Generic, CameraFamily::Maker}) {
        auto request = SearchRequest{family}.build();
        if (m_services.network.BroadcastFromAdapter(request.data(), m_request->adapter.address) < 0)
            Trace("Search request from \"%s\" not sent.\n", m_request->adapter.address.c_str());
    }
}

void Job::resume(std::size_t camera, const Input& input) {
    Slot& slot = m_slots[camera];
    {
        std::lock_guard guard(m_lock);
        m_awaiting.erase(camera);
    }
    slot.state = Slot::State::Running;
    slot.machine->SetNow(jobTime());
    advance(camera, slot.machine->On(input));
}

void Job::applyStop() {
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
            resume(camera, input::Elapsed{});
    }
}

void Job::admit() {
    while (m_nextQueued < m_slots.size() && (m_active < concurrency() || m_stopApplied)) {
        const std::size_t camera = m_nextQueued++;
        Slot& slot = m_slots[camera];
        slot.state = Slot::State::Running;
        ++m_active;
        m_listener(slot.machine->Camera(), event::CameraStarted{});
        if (m_stopApplied)
            slot.machine->Stop();
        slot.machine->SetNow(jobTime());
        advance(camera, slot.machine->Begin());
    }
}

void Job::advance(std::size_t camera, Action action) {
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
        if (const auto* wait = std::get_if<step::Wait>(&action)) {
            // A stopping job waits for nothing.
            if (m_stopApplied) {
                slot.machine->SetNow(jobTime());
                action = slot.machine->On(input::Elapsed{});
                continue;
            }
            slot.state = Slot::State::Waiting;
            slot.wait = ++m_waits;
            slot.holdOnStop = false;
            m_timers.emplace(std::chrono::steady_clock::now() + m_services.clock.Real(wait->duration),
                             std::pair{camera, slot.wait});
            return;
        }
        if (const auto* sighting = std::get_if<step::AwaitSighting>(&action)) {
            if (m_stopApplied && !sighting->holdOnStop) {
                slot.machine->SetNow(jobTime());
                action = slot.machine->On(input::Elapsed{});
                continue;
            }
            return await(camera, *sighting);
        }
        slot.state = Slot::State::Calling;
        if (!call(camera, action)) {
            // No thread could be had for its work, so nothing of it was sent.
            slot.machine->Abandon(stopRequested() ? OutcomeKind::Interrupted : OutcomeKind::NoWorkerThread);
            return ended(camera);
        }
        return;
    }
}

void Job::await(std::size_t camera, const step::AwaitSighting& sighting) {
    Slot& slot = m_slots[camera];
    slot.state = Slot::State::Waiting;
    slot.wait = ++m_waits;
    slot.holdOnStop = sighting.holdOnStop;
    const Moment now = std::chrono::steady_clock::now();
    // A reply takes what it takes: the window is the camera's, not the workflow's time scale.
    const auto window = m_services.clock.ReplyWindow(sighting.window);
    m_timers.emplace(now + window, std::pair{camera, slot.wait});
    bool first = false;
    {
        std::lock_guard guard(m_lock);
        first = m_awaiting.empty();
        m_awaiting[camera] = {sighting.at, slot.wait};
    }
    // The command that should have moved it has just left: ask at once, not half a second later.
    if (first || m_nextSearch > now + kSearchInterval / 5)
        m_nextSearch = now;
}

bool Job::call(std::size_t camera, const Action& action) {
    const CameraMachine& machine = *m_slots[camera].machine;
    return m_pool.Submit([this, camera, &machine, action] {
        Input answer = execute(machine, action);
        {
            std::lock_guard guard(m_lock);
            m_inbox.push_back({camera, 0, std::move(answer)});
        }
        m_wake.notify_all();
    });
}

Input Job::execute(const CameraMachine& machine, const Action& action) {
    const JobRequest& r = *m_request;
    const Target& camera = machine.Camera();
    CameraNetwork& network = m_services.network;
    const StopRequested stop = [this] { return stopRequested(); };
    if (const auto* q = std::get_if<step::Query>(&action)) {
        input::Queried answer;
        answer.result = network.QueryFirmwareInfo(addressOf(camera, q->host, r.login), answer.info, stop);
        return answer;
    }
    if (const auto* u = std::get_if<step::Upload>(&action)) {
        input::UploadAnswered answer;
        answer.result = network.UploadFirmware(addressOf(camera, u->host, r.login), r.image->body, answer.reply, stop);
        return answer;
    }
    if (const auto* reset = std::get_if<step::Reset>(&action)) {
        input::ResetAnswered answer;
        answer.result = network.RequestFactoryReset(addressOf(camera, reset->host, r.login), answer.reply, stop);
        return answer;
    }
    if (std::holds_alternative<step::Move>(action))
        return m_services.detours.Move(camera, machine.Detour(), r.login, r.adapter);
    if (const auto* again = std::get_if<step::SendDetour>(&action)) {
        m_services.detours.SendDetour(camera, machine.Detour(), r.login, r.adapter, again->address);
        return input::Sent{};
    }
    if (std::holds_alternative<step::SendHome>(action)) {
        m_services.detours.SendHome(camera, machine.Detour(), r.login, r.adapter);
        return input::Sent{};
    }
    if (std::holds_alternative<step::Forget>(action)) {
        m_services.detours.Forget(camera.mac);
        return input::Sent{};
    }
    if (const auto* ping = std::get_if<step::Ping>(&action))
        return input::Pinged{network.PingAddress(ping->address, stop)};
    if (std::holds_alternative<step::Allocate>(action))
        return input::Allocated{m_addresses.Next()};
    if (const auto* to = std::get_if<step::Readdress>(&action)) {
        SetNetworkCommand c;
        c.family = camera.kind == 1 ? CameraFamily::Maker : CameraFamily::Generic;
        c.ip = to->ip;
        c.mac = camera.mac;
        c.netmask = camera.netmask;
        c.hasGateway = true;
        c.gateway = to->gateway;
        if (c.family == CameraFamily::Maker) {
            c.hasCredentials = true;
            c.user = CutUtf8(r.login.user, 63);
            c.password = CutUtf8(r.login.password, 63);
        }
        auto datagram = c.build();
        network.BroadcastFromAdapter(datagram.data(), r.adapter.address);
        return input::Sent{};
    }
    return input::Elapsed{};
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
