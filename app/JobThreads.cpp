#include <system_error>

#include "app/TarnDlg.h"
#include "util/Trace.h"

bool CTarnDlg::startThread(std::function<void()> work) {
    reapFinished();
    std::lock_guard guard(m_workersLock);
    if (m_closed)
        return false;
    if (m_platform.threadLimit != 0 && static_cast<std::size_t>(m_runningWorkers.load()) >= m_platform.threadLimit) {
        Trace("Cannot start a workflow thread: the limit of %zu is reached\n", m_platform.threadLimit);
        return false;
    }
    auto self = m_workers.emplace(m_workers.end());
    m_runningWorkers++;
    try {
        // The entry is filled under the lock the thread needs to mark itself finished.
        self->thread = std::thread([this, self, work = std::move(work)] {
            work();
            std::lock_guard done(m_workersLock);
            self->finished = true;
            m_runningWorkers--;
            m_workerEnded.notify_all();
        });
    } catch (const std::system_error& e) {
        Trace("Cannot start a workflow thread: %s\n", e.what());
        m_workers.erase(self);
        m_runningWorkers--;
        return false;
    }
    return true;
}

void CTarnDlg::reapFinished() {
    std::list<Worker> done;
    {
        std::lock_guard guard(m_workersLock);
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

void CTarnDlg::JoinWorkers(bool wait) {
    if (!wait)
        return reapFinished();
    // Workers may start further workers while we join, so keep draining.
    for (;;) {
        std::list<Worker> all;
        {
            std::lock_guard guard(m_workersLock);
            all.swap(m_workers);
        }
        if (all.empty())
            return;
        for (Worker& w : all)
            if (w.thread.joinable())
                w.thread.join();
    }
}

bool CTarnDlg::WorkflowRunning() const {
    return m_runningWorkers.load() > 0;
}

bool CTarnDlg::WaitForWorkflows(std::chrono::milliseconds limit) {
    std::unique_lock guard(m_workersLock);
    return m_workerEnded.wait_for(guard, limit, [this] { return m_runningWorkers.load() == 0; });
}

std::size_t CTarnDlg::WorkerThreads() const {
    std::lock_guard guard(m_workersLock);
    return m_workers.size() + (m_job ? m_job->PoolThreads() : 0);
}

Text CTarnDlg::LastRefusal() const {
    std::lock_guard guard(m_workersLock);
    return m_lastRefusal;
}

bool CTarnDlg::beginWorkflow() {
    // Taken at the button press, so that nothing can clear the table before the launcher runs.
    bool idle = false;
    if (!m_table || m_closed || !m_busy.compare_exchange_strong(idle, true))
        return false;
    {
        std::lock_guard guard(m_workersLock);
        m_lastRefusal = Text();
    }
    m_window.ShowNote(Text(), NoteKind::Job); // what the last job had to say is done with
    return true;
}

void CTarnDlg::endWorkflowUnstarted(const Text& why) {
    {
        std::lock_guard guard(m_workersLock);
        m_lastRefusal = why;
    }
    // The button did nothing: say why, rather than leave the operator wondering.
    if (!why.empty())
        m_window.ShowNote(Note(QT_TRANSLATE_NOOP("Note", "Nothing was done: %1."), {why}), NoteKind::Refusal);
    m_busy = false;
}

void CTarnDlg::startJob(const std::string& card, std::function<std::shared_ptr<JobRequest>()> make) {
    if (!beginWorkflow())
        return;
    if (!startThread([this, card, make = std::move(make)] { runJob(card, make); }))
        endWorkflowUnstarted(Note(QT_TRANSLATE_NOOP("Note", "no thread could be started for the workflow")));
}

void CTarnDlg::startPress(Press press) {
    const std::string card = press.adapter.interfaceName;
    startJob(card, [pressed = std::move(press)] { return MakeRequest(pressed); });
}

void CTarnDlg::startJob(const std::shared_ptr<JobRequest>& request) {
    startJob(request->adapter.interfaceName, [request] { return request; });
}
