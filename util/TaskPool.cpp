#include "util/TaskPool.h"

#include <system_error>

#include "util/Trace.h"

TaskPool::TaskPool(Options options) : m_options(std::move(options)) {
    if (m_options.maxThreads == 0)
        m_options.maxThreads = 1;
}

TaskPool::~TaskPool() {
    Shutdown();
}

bool TaskPool::Submit(std::function<void()> task) {
    std::unique_lock guard(m_lock);
    if (m_closing)
        return false;
    m_queue.push_back(std::move(task));
    // Idle threads will take what is queued; a new thread only when every running one is busy.
    if (m_idle >= m_queue.size() || m_threads.size() >= m_options.maxThreads) {
        m_work.notify_one();
        return true;
    }
    bool may = !m_options.mayStart || m_options.mayStart(m_threads.size());
    if (may) {
        try {
            m_threads.emplace_back([this] { run(); });
            return true;
        } catch (const std::system_error& e) {
            Trace("Cannot start a worker thread: %s\n", e.what());
        }
    }
    if (m_threads.empty()) {
        // Nobody would ever run it.
        m_queue.pop_back();
        return false;
    }
    m_work.notify_one();
    return true;
}

std::size_t TaskPool::Threads() const {
    std::lock_guard guard(m_lock);
    return m_threads.size();
}

void TaskPool::Shutdown() {
    std::list<std::thread> threads;
    {
        std::lock_guard guard(m_lock);
        m_closing = true;
        threads.swap(m_threads);
    }
    m_work.notify_all();
    for (std::thread& t : threads)
        t.join();
}

void TaskPool::run() {
    if (m_options.onThreadStart)
        m_options.onThreadStart();
    std::unique_lock guard(m_lock);
    for (;;) {
        ++m_idle;
        m_work.wait(guard, [this] { return !m_queue.empty() || m_closing; });
        --m_idle;
        if (m_queue.empty())
            return;
        std::function<void()> task = std::move(m_queue.front());
        m_queue.pop_front();
        guard.unlock();
        task();
        guard.lock();
    }
}
