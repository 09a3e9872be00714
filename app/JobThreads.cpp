#include "app/TarnDlg.h"

std::size_t CTarnDlg::WorkerThreads() const {
    return m_runner.ThreadCount();
}

Text CTarnDlg::LastRefusal() const {
    std::lock_guard guard(m_jobLock);
    return m_lastRefusal;
}

bool CTarnDlg::beginWorkflow() {
    // Taken at the button press, so that nothing can clear the table before the launcher runs.
    bool idle = false;
    if (!m_discovery.IsOpen() || m_closed || !m_busy.compare_exchange_strong(idle, true))
        return false;
    {
        std::lock_guard guard(m_jobLock);
        m_lastRefusal = Text();
    }
    m_window.ShowNote(Text(), NoteKind::Job); // what the last job had to say is done with
    return true;
}

void CTarnDlg::endWorkflowUnstarted(const Text& why) {
    {
        std::lock_guard guard(m_jobLock);
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
    if (!m_runner.Start(card, std::move(make)))
        endWorkflowUnstarted(Note(QT_TRANSLATE_NOOP("Note", "no thread could be started for the workflow")));
}

void CTarnDlg::startPress(Press press) {
    const std::string card = press.adapter.interfaceName;
    startJob(card, [pressed = std::move(press)] { return MakeRequest(pressed); });
}

void CTarnDlg::startJob(const std::shared_ptr<JobRequest>& request) {
    startJob(request->adapter.interfaceName, [request] { return request; });
}
