#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/AddressPool.h"
#include "engine/CameraNetwork.h"
#include "engine/Job.h"
#include "engine/LinkLocalDetours.h"
#include "util/Clock.h"
#include "util/TaskPool.h"

// Runs a Job in real time on the calling thread: its calls on a pool of threads (HTTP, probes,
// commands), whose answers come back through an inbox; its waits as the time it sleeps until;
// its searches as broadcasts from the job's card; the cameras' search replies as sightings.
class JobDriver {
public:
    struct Services {
        CameraNetwork& network;
        LinkLocalDetours& detours;
        Clock& clock;
        // For tests: the number of threads the process may run, the job's own included (0: any).
        std::size_t threadLimit = 0;
    };

    JobDriver(std::shared_ptr<const JobRequest> request, Services services, JobListener listener);
    ~JobDriver();
    JobDriver(const JobDriver&) = delete;
    JobDriver& operator=(const JobDriver&) = delete;

    // Runs every camera to its end on the calling thread.
    JobSummary Run();
    // Ends the job soon: waits are cut short, calls aborted, moved cameras sent home (and seen
    // there, within a bound) or journalled. From any thread.
    void Stop();
    // A camera's search reply showed it at an address. From any thread (the receiver's).
    void Sighted(const Mac& mac, const Ipv4& at);
    // Threads of the pool started and not yet joined.
    std::size_t PoolThreads() const { return m_pool.Threads(); }

private:
    struct Arrival {
        std::size_t camera;
        Input input;
    };
    struct Seen {
        Mac mac;
        Ipv4 at;
    };

    // Hands the job's calls to the pool and sends its search; false when a call found no thread.
    bool carryOut(const Job::Work& work);
    Input execute(const Job::Call& call);
    void search();
    bool stopRequested() const;

    std::shared_ptr<const JobRequest> m_request;
    Services m_services;
    Job m_job;
    AddressPool m_addresses;

    mutable std::mutex m_lock; // what other threads hand the job
    std::condition_variable m_wake;
    std::vector<Arrival> m_inbox;
    std::vector<Seen> m_sightings;
    std::map<Mac, Ipv4> m_awaited; // who the job waits to see, and where: the sightings worth handing in
    std::atomic<bool> m_stop{false};

    TaskPool m_pool; // last: its threads are joined before the rest goes
};
