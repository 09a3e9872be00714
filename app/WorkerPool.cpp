#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <system_error>

#include "app/TarnDlg.h"
#include "util/Trace.h"

namespace {

// Workers mostly wait on the network; when hundreds of them copy images at once, the window's
// thread must still get the processor within a frame. Raising one's own nice value needs no right.
void yieldToTheWindow() {
    constexpr int kWorkerNice = 10;
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), kWorkerNice);
}

} // namespace

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
            yieldToTheWindow();
            work();
            std::lock_guard done(m_workersLock);
            self->finished = true;
            m_runningWorkers--;
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

std::size_t CTarnDlg::WorkerThreads() const {
    std::lock_guard guard(m_workersLock);
    return m_workers.size();
}

std::string CTarnDlg::LastRefusal() const {
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
        m_lastRefusal.clear();
        m_awayCameras = 0;
    }
    m_window.ShowNote(""); // what the last job had to say is done with
    return true;
}

void CTarnDlg::endWorkflowUnstarted(const std::string& why) {
    {
        std::lock_guard guard(m_workersLock);
        m_lastRefusal = why;
    }
    // The button did nothing: say why, rather than leave the operator wondering.
    if (!why.empty())
        m_window.ShowNote("Nothing was done: " + why + ".");
    m_busy = false;
}

void CTarnDlg::startWorkflow(std::function<void()> work) {
    if (!beginWorkflow())
        return;
    if (!startThread(std::move(work)))
        endWorkflowUnstarted("no thread could be started for the workflow");
}

bool CTarnDlg::launchWorkers(const std::vector<int>& rows, const Prepare& prepare, const Work& work,
                             const WorkerTicket::Closing& closing) {
    std::vector<std::shared_ptr<WorkerTicket>> tickets;
    for (int row : rows) {
        DeviceInfo* record = m_table->GetDeviceAt(row);
        if (!record)
            continue;
        m_table->Update(record, [&](DeviceInfo& d) {
            d.failed = 0;
            d.owner = this;
            d.rowIndex = row;
            if (prepare)
                prepare(d);
        });
        m_listDevices.SetFailed(row, false);
        // Every record is marked busy before the first worker starts, so a worker that ends at
        // once cannot believe it is the last one.
        tickets.push_back(std::make_shared<WorkerTicket>(*m_table, record, row, closing));
    }
    if (tickets.empty())
        return false;
    for (auto& ticket : tickets) {
        bool started = startThread([work, ticket] {
            work(*ticket);
            ticket->End(JobEnding::Full);
        });
        // The camera ends with a clear status instead of the process ending.
        if (!started) {
            fail(ticket->Record(), ticket->Row(),
                 m_clock.Interrupted() ? Status::kInterrupted : Status::kNoWorkerThread);
            // Every camera of the job has its line in the records, this one too.
            appendRecord(recordOf(m_table->Copy(ticket->Record())), ticket->Row());
            ticket->End(JobEnding::Full);
        }
    }
    return true;
}
