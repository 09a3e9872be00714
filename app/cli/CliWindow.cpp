#include "app/cli/CliWindow.h"

std::string CliWindow::FieldText(Field field) const {
    std::lock_guard guard(m_lock);
    auto it = m_fields.find(field);
    return it == m_fields.end() ? std::string() : it->second;
}

void CliWindow::SetFieldText(Field field, const std::string& text) {
    std::lock_guard guard(m_lock);
    m_fields[field] = text;
}

std::vector<int> CliWindow::SelectedRows() const {
    std::lock_guard guard(m_lock);
    return {m_selected.begin(), m_selected.end()};
}

void CliWindow::DeselectAll() {
    std::lock_guard guard(m_lock);
    m_selected.clear();
}

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

void CliWindow::Select(const std::vector<int>& rows) {
    std::lock_guard guard(m_lock);
    m_selected = {rows.begin(), rows.end()};
}

bool CliWindow::ControlsAreEnabled() const {
    std::lock_guard guard(m_lock);
    return m_enabled;
}
