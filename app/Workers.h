#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

// The threads the controller's jobs run on: started one a press, joined when they end, and none
// started once closed, so that closing can wait for every one of them.
class Workers {
public:
    // limit: for tests, starting fails past this many running threads; 0 for none.
    explicit Workers(std::size_t limit = 0) : m_limit(limit) {}
    ~Workers() { JoinAll(); }
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;

    // Runs work on a thread of its own; false when none could be started or when closed.
    bool Start(std::function<void()> work);
    // No thread starts from here on.
    void Close();
    // Joins the threads that have ended.
    void JoinFinished();
    // Joins every thread, also those that running ones start meanwhile.
    void JoinAll();
    bool AnyRunning() const { return m_running.load() > 0; }
    // Waits up to limit for every thread to end; true when none runs.
    bool WaitForAll(std::chrono::milliseconds limit);
    // Threads started and not yet joined.
    std::size_t Count() const;

private:
    struct Worker {
        std::thread thread;
        bool finished = false;
    };

    const std::size_t m_limit;
    mutable std::mutex m_lock;
    std::list<Worker> m_workers;
    std::atomic<int> m_running{0};
    std::condition_variable m_ended; // with m_lock
    bool m_closed = false;
};
