#include "app/job/Job.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>

#include "app/job/CheckMachine.h"
#include "app/job/ReaddressMachine.h"
#include "app/job/ResetMachine.h"
#include "app/job/UpgradeMachine.h"
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
    for (const Target& camera : m_request->targets)
        m_slots.push_back({MachineFor(*m_request, camera)});
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
        return std::make_unique<ResetMachine>(camera);
    case Workflow::AutoIp:
        break;
    }
    return std::make_unique<ReaddressMachine>(camera, request.range.network);
}

std::size_t Job::concurrency() const {
    switch (m_request->workflow) {
    case Workflow::Upgrade:
    case Workflow::Reset:
        return m_slots.size(); // every selected camera at once
    case Workflow::CheckVersion:
    case Workflow::AutoIp:
        break;
    }
    return 1; // one after another, in list order
}

void Job::Stop() {
    {
        std::lock_guard guard(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
}

bool Job::stopRequested() const {
    return m_stop.load() || m_services.clock.Interrupted();
}

JobSummary Job::Run() {
    m_summary.cameras = m_slots.size();
    admit();
    while (m_ended < m_slots.size()) {
        std::vector<std::pair<std::size_t, Input>> arrived;
        {
            std::unique_lock lock(m_lock);
            Moment until = std::chrono::steady_clock::now() + kLongestSleep;
            if (!m_timers.empty())
                until = std::min(until, m_timers.begin()->first);
            m_wake.wait_until(lock, until, [&] { return !m_inbox.empty() || (!m_stopApplied && stopRequested()); });
            arrived.swap(m_inbox);
        }
        if (!m_stopApplied && stopRequested())
            applyStop();
        for (auto& [camera, input] : arrived) {
            m_slots[camera].state = Slot::State::Running;
            advance(camera, m_slots[camera].machine->On(input));
        }
        const Moment now = std::chrono::steady_clock::now();
        while (!m_timers.empty() && m_timers.begin()->first <= now) {
            const std::size_t camera = m_timers.begin()->second;
            m_timers.erase(m_timers.begin());
            m_slots[camera].state = Slot::State::Running;
            advance(camera, m_slots[camera].machine->On(input::Elapsed{}));
        }
        admit();
    }
    m_pool.Shutdown();
    return m_summary;
}

void Job::applyStop() {
    m_stopApplied = true;
    for (Slot& slot : m_slots)
        slot.machine->Stop();
    // Every wait ends now; the machines take their stopping paths from here.
    auto due = std::move(m_timers);
    m_timers.clear();
    for (const auto& [when, camera] : due) {
        m_slots[camera].state = Slot::State::Running;
        advance(camera, m_slots[camera].machine->On(input::Elapsed{}));
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
        advance(camera, slot.machine->Start());
    }
}

void Job::advance(std::size_t camera, Action action) {
    Slot& slot = m_slots[camera];
    for (;;) {
        publish(camera);
        if (std::holds_alternative<step::Finish>(action))
            return ended(camera);
        if (const auto* wait = std::get_if<step::Wait>(&action)) {
            // A stopping job waits for nothing.
            if (m_stopApplied) {
                action = slot.machine->On(input::Elapsed{});
                continue;
            }
            slot.state = Slot::State::Waiting;
            m_timers.emplace(std::chrono::steady_clock::now() + m_services.clock.Real(wait->duration), camera);
            return;
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

bool Job::call(std::size_t camera, const Action& action) {
    const CameraMachine& machine = *m_slots[camera].machine;
    return m_pool.Submit([this, camera, &machine, action] {
        Input answer = execute(machine, action);
        {
            std::lock_guard guard(m_lock);
            m_inbox.emplace_back(camera, std::move(answer));
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
        answer.result =
            network.UploadFirmware(addressOf(camera, u->host, r.login), r.image->body, answer.burnTime, stop);
        return answer;
    }
    if (const auto* reset = std::get_if<step::Reset>(&action))
        return input::ResetAnswered{network.RequestFactoryReset(addressOf(camera, reset->host, r.login), stop)};
    if (std::holds_alternative<step::Move>(action))
        return m_services.detours.Move(camera, machine.Detour(), r.login, r.adapter);
    if (const auto* home = std::get_if<step::SendHome>(&action)) {
        m_services.detours.SendHome(camera, machine.Detour(), r.login, r.adapter, home->keepJournal);
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
    m_summary.leftAway += outcome.leftAt ? 1 : 0;
    m_summary.rangeUsedUp += outcome.kind == OutcomeKind::RangeUsedUp ? 1 : 0;
    m_summary.lastShort = outcome.shortEnding;
    publish(camera);
    m_listener(slot.machine->Camera(), event::CameraEnded{outcome});
}
