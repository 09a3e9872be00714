#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "app/Workers.h"
#include "engine/JobDriver.h"
#include "engine/JobEvents.h"
#include "engine/JobRequest.h"
#include "engine/LinkLocalDetours.h"
#include "util/Clock.h"
#include "util/Text.h"

// Runs each job on a thread of its own: takes the card's lock, makes the request there, and runs
// the job until it ends or is stopped. What surrounds a job (the list, the records, the window)
// belongs to the controller, which the runner calls on the job's thread.
class JobRunner {
public:
    using MakeRequest = std::function<std::shared_ptr<JobRequest>()>;
    struct Around {
        std::function<void(const Text& why)> unstarted; // the card is held by another job
        std::function<bool(JobRequest& request)> admit; // false: the job ends before it begins
        std::function<void(const JobRequest& request)> before;
        std::function<void(const JobRequest& request, const Target& camera, const JobEvent& event)> event;
        std::function<void(const JobRequest& request, const JobSummary& summary)> after;
    };

    // lockScope: for tests, keeps one test's card locks from another's.
    JobRunner(JobDriver::Services services, std::string lockScope)
        : m_services(services), m_lockScope(std::move(lockScope)), m_threads(services.threadLimit) {}

    void SetAround(Around around) { m_around = std::move(around); }
    // False when no thread could be started, or after Stop.
    bool Start(const std::string& card, MakeRequest make);
    // A camera's search reply: the running job may be waiting to see it.
    void Sighted(const Mac& mac, const Ipv4& ip);
    // No job starts from here on, and the running one ends within its bounds: every pause and
    // timed wait wakes and every network call aborts; the job then sends home the cameras that
    // can hear it and leaves the burning ones to the journal.
    void Stop();
    bool Stopped() const;
    // What the console's options or the window's menu chose for the next jobs of this session:
    // cameras at once, a first wave, cameras at the image's version left alone, the reboot
    // deadline, the model guard (on at every start, lifted until it is set again).
    void SetOptions(const JobOptions& options);
    JobOptions Options() const;
    // Why the last workflow button did nothing (no camera, an unreadable image); empty when it ran.
    void Refused(const Text& why);
    Text LastRefusal() const;
    // Which functions cannot work for want of a capability, in one line; empty when none. The
    // network is asked once.
    const Text& RightsNote() const;
    // Threads started and not yet joined, the running job's pool too.
    std::size_t ThreadCount() const;
    Workers& Threads() { return m_threads; }
    const Workers& Threads() const { return m_threads; }

private:
    void run(const std::string& card, const MakeRequest& make);

    JobDriver::Services m_services;
    std::string m_lockScope;
    Around m_around;
    mutable std::mutex m_lock;
    JobDriver* m_job = nullptr;         // the running job; guarded by m_lock
    std::atomic<bool> m_stopped{false}; // written under m_lock
    // Apart from m_lock, which a camera's sighting holds on the receiver's thread: a press on the
    // window's thread reads the options without waiting for it.
    mutable std::mutex m_pressLock;
    mutable std::once_flag m_rightsAsked;
    mutable Text m_rightsNote; // written once, under m_rightsAsked
    JobOptions m_options;      // guarded by m_pressLock
    Text m_lastRefusal;        // guarded by m_pressLock
    // Last, so that its threads are joined before anything they use is gone.
    Workers m_threads;
};
