#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

// Threads for blocking calls, started as work arrives and reused: a job of hundreds of cameras
// needs a thread only for each call in flight, not for each camera that waits. Tasks run in the
// order they were given; the pool joins every thread before it goes.
class TaskPool {
public:
    struct Options {
        std::size_t maxThreads = 1;
        // Asked before each new thread; false makes the start fail (a test seam for a system
        // that has no threads to give).
        std::function<bool(std::size_t running)> mayStart;
        // Runs first on every new thread.
        std::function<void()> onThreadStart;
    };

    explicit TaskPool(Options options);
    ~TaskPool();
    TaskPool(const TaskPool&) = delete;
    TaskPool& operator=(const TaskPool&) = delete;

    // Hands the task to an idle thread, to a new one while fewer than the maximum run, or queues
    // it for the next free one. False when no thread runs and none could be started.
    bool Submit(std::function<void()> task);
    // Threads started and not yet joined.
    std::size_t Threads() const;
    // Runs what is queued, then joins every thread.
    void Shutdown();

private:
    void run();

    Options m_options;
    mutable std::mutex m_lock;
    std::condition_variable m_work;
    std::deque<std::function<void()>> m_queue;
    std::list<std::thread> m_threads;
    std::size_t m_idle = 0;
    bool m_closing = false;
};
