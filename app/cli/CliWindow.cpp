#include "app/cli/CliWindow.h"

void CliWindow::ControlsEnabled(bool enabled) {
    std::lock_guard guard(m_lock);
    m_enabled = enabled;
}

void CliWindow::MessageBox(const std::string& text, const std::string& caption) {
    std::lock_guard guard(m_lock);
    m_err << caption << ": " << text << std::endl;
    m_said.insert(text);
}

bool CliWindow::Said(const std::string& text) const {
    std::lock_guard guard(m_lock);
    return m_said.contains(text);
}

void CliWindow::OpenUrl(const std::string&) {}

void CliWindow::ShowNote(const std::string& text, NoteKind kind) {
    // The window's line under the list; the front end prints the start-up's lines and the refusals
    // itself, and waits are no news on a console.
    if (text.empty() || kind != NoteKind::Job)
        return;
    std::lock_guard guard(m_lock);
    m_err << "flashwell-cli: " << text << std::endl;
}

void CliWindow::SetAdapterList(const std::vector<std::string>&, int) {}

bool CliWindow::ControlsAreEnabled() const {
    std::lock_guard guard(m_lock);
    return m_enabled;
}
