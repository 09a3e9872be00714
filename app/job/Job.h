#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "app/CameraNetwork.h"
#include "app/job/AddressPool.h"
#include "app/job/CameraMachine.h"
#include "app/job/JobEvents.h"
#include "app/job/JobRequest.h"
#include "app/job/LinkLocalDetours.h"
#include "util/Clock.h"
#include "util/TaskPool.h"

// One press of a workflow button: a state machine per camera, driven by one thread that owns all
// of them. Blocking calls (HTTP, probes, commands) run on a pool and come back as inputs; waits
// are timers on the job's clock. Which cameras run at once is the job's decision, not a thread's.
class Job {
public:
    struct Services {
        CameraNetwork& network;
        LinkLocalDetours& detours;
        Clock& clock;
        // For tests: the number of threads the process may run, the job's own included (0: any).
        std::size_t threadLimit = 0;
    };

    Job(std::shared_ptr<const JobRequest> request, Services services, JobListener listener);
    ~Job();
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;

    // Runs every camera to its end on the calling thread.
    JobSummary Run();
    // Ends the job soon: waits are cut short, calls aborted, moved cameras sent home or journalled.
    // From any thread.
    void Stop();
    // Threads of the pool started and not yet joined.
    std::size_t PoolThreads() const { return m_pool.Threads(); }

    // The state machine that does the workflow's work for one camera.
    static std::unique_ptr<CameraMachine> MachineFor(const JobRequest& request, const Target& camera);

private:
    using Moment = std::chrono::steady_clock::time_point;
    struct Slot {
        std::unique_ptr<CameraMachine> machine;
        enum class State { Queued, Running, Calling, Waiting, Ended } state = State::Queued;
    };

    // How many cameras work at once: all, or one after another.
    std::size_t concurrency() const;
    void admit();
    void advance(std::size_t camera, Action action);
    bool call(std::size_t camera, const Action& action);
    Input execute(const CameraMachine& machine, const Action& action);
    void publish(std::size_t camera);
    void ended(std::size_t camera);
    void applyStop();
    bool stopRequested() const;

    std::shared_ptr<const JobRequest> m_request;
    Services m_services;
    JobListener m_listener;
    AddressPool m_addresses;
    std::vector<Slot> m_slots;
    std::size_t m_nextQueued = 0;
    std::size_t m_active = 0;
    std::size_t m_ended = 0;
    JobSummary m_summary;
    std::multimap<Moment, std::size_t> m_timers;
    bool m_stopApplied = false;

    mutable std::mutex m_lock; // the inbox: what the pool's threads hand the job
    std::condition_variable m_wake;
    std::vector<std::pair<std::size_t, Input>> m_inbox;
    std::atomic<bool> m_stop{false};

    TaskPool m_pool; // last: its threads are joined before the rest goes
};
