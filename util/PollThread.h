#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "util/UniqueFd.h"

// A thread that waits for one descriptor to become readable and can be stopped from any thread:
// Stop wakes it through an eventfd (closing a socket does not wake a blocked reader on Linux)
// and joins it. The descriptor stays with its owner.
class PollThread {
public:
    // Called before every wait; the milliseconds to wait at most, -1 for no limit.
    using NextTimeout = std::function<int()>;

    PollThread() = default;
    ~PollThread() { Stop(); }
    PollThread(const PollThread&) = delete;
    PollThread& operator=(const PollThread&) = delete;

    // Starts the thread; onReadable runs on it whenever fd is readable. False and a reason when
    // the eventfd or the thread cannot be made.
    bool Start(int fd, std::function<void()> onReadable, NextTimeout nextTimeout, std::string& error);
    // Wakes the thread and joins it. Safe to call more than once and before Start.
    void Stop();
    bool Running() const { return m_thread.joinable(); }
    // True once Stop has been called: a reader draining a flood checks it between datagrams.
    bool StopRequested() const { return m_stop.load(std::memory_order_relaxed); }

private:
    void run(int fd);

    UniqueFd m_wake;
    std::atomic<bool> m_stop{false};
    std::function<void()> m_onReadable;
    NextTimeout m_nextTimeout;
    std::thread m_thread;
};
