#include "app/JobRunner.h"

#include "app/StatusTexts.h"
#include "hostnet/CardLock.h"

bool JobRunner::Start(const std::string& card, MakeRequest make) {
    return m_threads.Start([this, card, make = std::move(make)] { run(card, make); });
}

void JobRunner::run(const std::string& card, const MakeRequest& make) {
    // Two jobs on one card would share addresses and a route without knowing it.
    auto lock = CardLock::Take(m_lockScope + card);
    if (!lock)
        return m_around.unstarted(lock.Said());
    std::shared_ptr<JobRequest> request = make();
    if (!request || !m_around.admit(*request))
        return;
    m_around.before(*request);
    std::shared_ptr<const JobRequest> fixed = request;
    JobDriver job(fixed, m_services, [this, fixed](const Target& camera, const JobEvent& event) {
        m_around.event(*fixed, camera, event);
    });
    {
        std::lock_guard guard(m_lock);
        m_job = &job;
        if (m_stopped)
            job.Stop();
    }
    const JobSummary summary = job.Run();
    {
        std::lock_guard guard(m_lock);
        m_job = nullptr;
    }
    m_around.after(*request, summary);
}

void JobRunner::Sighted(const Mac& mac, const Ipv4& ip) {
    std::lock_guard guard(m_lock);
    if (m_job)
        m_job->Sighted(mac, ip);
}

void JobRunner::Stop() {
    {
        std::lock_guard guard(m_lock);
        m_stopped = true;
        m_threads.Close();
        if (m_job)
            m_job->Stop();
    }
    m_services.clock.Interrupt();
}

std::size_t JobRunner::ThreadCount() const {
    std::lock_guard guard(m_lock);
    return m_threads.Count() + (m_job ? m_job->PoolThreads() : 0);
}

bool JobRunner::Stopped() const {
    return m_stopped.load();
}

void JobRunner::SetOptions(const JobOptions& options) {
    std::lock_guard guard(m_pressLock);
    m_options = options;
}

JobOptions JobRunner::Options() const {
    std::lock_guard guard(m_pressLock);
    return m_options;
}

void JobRunner::Refused(const Text& why) {
    std::lock_guard guard(m_pressLock);
    m_lastRefusal = why;
}

Text JobRunner::LastRefusal() const {
    std::lock_guard guard(m_pressLock);
    return m_lastRefusal;
}

const Text& JobRunner::RightsNote() const {
    std::call_once(m_rightsAsked, [this] { m_rightsNote = MissingRightsNote(m_services.network.Rights()); });
    return m_rightsNote;
}
