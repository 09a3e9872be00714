#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include "engine/AddressPool.h"
#include "engine/CameraMachine.h"
#include "engine/CameraNetwork.h"
#include "engine/JobEvents.h"
#include "engine/JobRequest.h"
#include "engine/LinkLocalDetours.h"
#include "util/Clock.h"
#include "util/TaskPool.h"

// One press of a workflow button: a state machine per camera, driven by one thread that owns all
// of them. Blocking calls (HTTP, probes, commands) run on a pool and come back as answers; waits
// are timers on the job's clock; the cameras' own search replies come in as sightings, and while
// any camera waits to be seen the job searches. Which cameras run at once is the job's decision.
class Job {
public:
    struct Services {
        CameraNetwork& network;
        LinkLocalDetours& detours;
        Clock& clock;
        // For tests: the number of threads the process may run, the job's own included (0: any).
        std::size_t threadLimit = 0;
    };

    // While a camera waits to be seen, searches go out this often.
    static constexpr std::chrono::milliseconds kSearchInterval{500};

    Job(std::shared_ptr<const JobRequest> request, Services services, JobListener listener);
    ~Job();
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;

    // Runs every camera to its end on the calling thread.
    JobSummary Run();
    // Ends the job soon: waits are cut short, calls aborted, moved cameras sent home (and seen
    // there, within a bound) or journalled. From any thread.
    void Stop();
    // A camera's search reply showed it at an address. From any thread (the receiver's).
    void Sighted(const Mac& mac, const Ipv4& at);
    // Threads of the pool started and not yet joined.
    std::size_t PoolThreads() const { return m_pool.Threads(); }

    // The state machine that does the workflow's work for one camera.
    static std::unique_ptr<CameraMachine> MachineFor(const JobRequest& request, const Target& camera);

private:
    using Moment = std::chrono::steady_clock::time_point;
    struct Slot {
        std::unique_ptr<CameraMachine> machine;
        enum class State { Queued, Running, Calling, Waiting, AwaitingTurn, Ended } state = State::Queued;
        std::uint64_t wait = 0; // which wait a timer or a sighting belongs to
        bool holdOnStop = false;
        Phase shownWaiting = Phase::Done; // what it was told it waits for: a turn, or the first wave
    };
    struct Arrival {
        std::size_t camera;
        std::uint64_t wait; // for sightings: the wait they answer
        Input input;
    };

    // How many cameras work at once: all, or one after another.
    std::size_t concurrency() const;
    std::size_t orEvery(std::size_t atOnce) const; // 0 stands for every camera of the job
    void admit();
    void advance(std::size_t camera, Action action);
    void await(std::size_t camera, const step::AwaitSighting& sighting);
    void resume(std::size_t camera, const Input& input);
    bool call(std::size_t camera, const Action& action);
    Input execute(const CameraMachine& machine, const Action& action);
    void search();
    // Hands out turns to upload: in list order, so many at once, the rest of a fleet only after
    // its first wave upgraded.
    void grantTurns();
    // Whether the first wave let the rest through: unknown until all of it has ended.
    std::optional<bool> firstWavePassed() const;
    Clock::Milliseconds jobTime() const;
    void publish(std::size_t camera);
    void ended(std::size_t camera);
    void applyStop();
    bool stopRequested() const;

    std::shared_ptr<const JobRequest> m_request;
    Services m_services;
    JobListener m_listener;
    AddressPool m_addresses;
    std::vector<Slot> m_slots;
    std::map<Mac, std::size_t> m_byMac;
    std::size_t m_nextQueued = 0;
    std::size_t m_active = 0;
    std::size_t m_ended = 0;
    JobSummary m_summary;
    std::multimap<Moment, std::pair<std::size_t, std::uint64_t>> m_timers;
    std::uint64_t m_waits = 0;
    Moment m_nextSearch{};
    Moment m_started{};
    std::set<std::size_t> m_wantTurn; // in list order
    std::set<std::size_t> m_haveTurn;
    bool m_stopApplied = false;

    mutable std::mutex m_lock; // what other threads hand the job: the inbox and who waits to be seen
    std::condition_variable m_wake;
    std::vector<Arrival> m_inbox;
    std::map<std::size_t, std::pair<Ipv4, std::uint64_t>> m_awaiting; // camera -> address, wait
    std::atomic<bool> m_stop{false};

    TaskPool m_pool; // last: its threads are joined before the rest goes
};
