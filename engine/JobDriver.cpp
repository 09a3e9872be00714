#include "engine/JobDriver.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>

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

JobDriver::JobDriver(std::shared_ptr<const JobRequest> request, Services services, JobListener listener)
    : m_request(std::move(request)), m_services(services), m_job(m_request, services.clock, std::move(listener)),
      m_addresses(m_request->range, services.network, m_request->adapter.index, [this] { return stopRequested(); }),
      m_pool(poolOptions(*m_request, services.threadLimit)) {}

JobDriver::~JobDriver() {
    m_pool.Shutdown();
}

void JobDriver::Stop() {
    {
        std::lock_guard guard(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
}

void JobDriver::Sighted(const Mac& mac, const Ipv4& at) {
    {
        std::lock_guard guard(m_lock);
        const auto awaited = m_awaited.find(mac);
        if (awaited == m_awaited.end() || awaited->second != at)
            return;
        m_sightings.push_back({mac, at});
    }
    m_wake.notify_all();
}

bool JobDriver::stopRequested() const {
    return m_stop.load() || m_services.clock.Interrupted();
}

JobSummary JobDriver::Run() {
    m_job.Begin(std::chrono::steady_clock::now());
    // Stopped before it began (the window closed): no camera is sent anything.
    if (stopRequested())
        m_job.Stop(std::chrono::steady_clock::now());
    for (;;) {
        // A call that found no thread ended its camera: what follows from that is due at once.
        for (bool allRun = false; !allRun;) {
            const Job::Work work = m_job.Upkeep(std::chrono::steady_clock::now());
            {
                // Before the search goes out: its replies may come back at once.
                std::lock_guard guard(m_lock);
                m_awaited = m_job.Awaited();
            }
            allRun = carryOut(work);
        }
        if (m_job.Done())
            break;
        std::vector<Arrival> arrived;
        std::vector<Seen> seen;
        {
            std::unique_lock lock(m_lock);
            Job::Moment until = std::chrono::steady_clock::now() + kLongestSleep;
            if (const auto due = m_job.NextDue())
                until = std::min(until, *due);
            m_wake.wait_until(lock, until, [&] {
                return !m_inbox.empty() || !m_sightings.empty() || (!m_job.Stopped() && stopRequested());
            });
            arrived.swap(m_inbox);
            seen.swap(m_sightings);
        }
        const Job::Moment now = std::chrono::steady_clock::now();
        if (stopRequested())
            m_job.Stop(now);
        for (const Arrival& a : arrived)
            m_job.Feed(a.camera, a.input, now);
        for (const Seen& s : seen)
            m_job.Sighted(s.mac, s.at, now);
    }
    m_pool.Shutdown();
    return m_job.Summary();
}

bool JobDriver::carryOut(const Job::Work& work) {
    bool allRun = true;
    for (const Job::Call& call : work.calls) {
        const bool submitted = m_pool.Submit([this, call] {
            Input answer = execute(call);
            {
                std::lock_guard guard(m_lock);
                m_inbox.push_back({call.camera, std::move(answer)});
            }
            m_wake.notify_all();
        });
        if (!submitted) {
            m_job.Unrun(call.camera, stopRequested(), std::chrono::steady_clock::now());
            allRun = false;
        }
    }
    if (work.search)
        search();
    return allRun;
}

void JobDriver::search() {
    for (CameraFamily family : {CameraFamily::Generic, CameraFamily::Maker}) {
        auto request = SearchRequest{family}.build();
        if (m_services.network.BroadcastFromAdapter(request.data(), m_request->adapter.address) < 0)
            Trace("Search request from \"%s\" not sent.\n", m_request->adapter.address.c_str());
    }
}

Input JobDriver::execute(const Job::Call& call) {
    const JobRequest& r = *m_request;
    const CameraMachine& machine = *call.machine;
    const Action& action = call.action;
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
