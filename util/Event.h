#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

// An auto-reset event: Set wakes one wait, which consumes it.
class Event {
public:
    void Set() {
        {
            std::lock_guard guard(m_lock);
            m_signalled = true;
        }
        m_cv.notify_all();
    }
    // True when the event was set before the time ran out.
    bool WaitFor(std::chrono::nanoseconds timeout) {
        std::unique_lock guard(m_lock);
        bool woken = m_cv.wait_for(guard, timeout, [this] { return m_signalled; });
        m_signalled = false;
        return woken;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_cv;
    bool m_signalled = false;
};
