#include "app/Workers.h"

#include <iterator>
#include <system_error>

#include "util/Trace.h"

bool Workers::Start(std::function<void()> work) {
    JoinFinished();
    std::lock_guard guard(m_lock);
    if (m_closed)
        return false;
    if (m_limit != 0 && static_cast<std::size_t>(m_running.load()) >= m_limit) {
        Trace("Cannot start a workflow thread: the limit of %zu is reached\n", m_limit);
        return false;
    }
    auto self = m_workers.emplace(m_workers.end());
    m_running++;
    try {
        // The entry is filled under the lock the thread needs to mark itself finished.
        self->thread = std::thread([this, self, work = std::move(work)] {
            work();
            std::lock_guard done(m_lock);
            self->finished = true;
            m_running--;
            m_ended.notify_all();
        });
    } catch (const std::system_error& e) {
        Trace("Cannot start a workflow thread: %s\n", e.what());
        m_workers.erase(self);
        m_running--;
        return false;
    }
    return true;
}

void Workers::Close() {
    std::lock_guard guard(m_lock);
    m_closed = true;
}

void Workers::JoinFinished() {
    std::list<Worker> done;
    {
        std::lock_guard guard(m_lock);
        for (auto it = m_workers.begin(); it != m_workers.end();) {
            auto next = std::next(it);
            if (it->finished)
                done.splice(done.end(), m_workers, it);
            it = next;
        }
    }
    // A finished thread has only its return left to run, so these joins are immediate.
    for (Worker& w : done)
        w.thread.join();
}

void Workers::JoinAll() {
    // Workers may start further workers while we join, so keep draining.
    for (;;) {
        std::list<Worker> all;
        {
            std::lock_guard guard(m_lock);
            all.swap(m_workers);
        }
        if (all.empty())
            return;
        for (Worker& w : all)
            if (w.thread.joinable())
                w.thread.join();
    }
}

bool Workers::WaitForAll(std::chrono::milliseconds limit) {
    std::unique_lock guard(m_lock);
    return m_ended.wait_for(guard, limit, [this] { return m_running.load() == 0; });
}

std::size_t Workers::Count() const {
    std::lock_guard guard(m_lock);
    return m_workers.size();
}
