#include "app/TarnDlg.h"

bool CTarnDlg::beginWorkflow() {
    // Taken at the button press, so that nothing can clear the table before the launcher runs.
    bool idle = false;
    if (!m_discovery.IsOpen() || m_runner.Stopped() || !m_busy.compare_exchange_strong(idle, true))
        return false;
    m_runner.Refused(Text());
    m_window.ShowNote(Text(), NoteKind::Job); // what the last job had to say is done with
    return true;
}

void CTarnDlg::endWorkflowUnstarted(const Text& why) {
    m_runner.Refused(why);
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
