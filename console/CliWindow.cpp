#include "console/CliWindow.h"

#include "console/EventStream.h"

void CliWindow::ControlsEnabled(bool enabled) {
    std::lock_guard guard(m_lock);
    m_enabled = enabled;
}

void CliWindow::ApplyLanguage(unsigned codePage) {
    // Chosen once, before any job speaks.
    if (LoadTranslation(m_translator, codePage))
        m_translate = TranslateWith(m_translator);
}

void CliWindow::MessageBox(const Text& text, const Text& caption) {
    if (m_events)
        m_events->Message(text);
    std::lock_guard guard(m_lock);
    m_err << Say(caption) << ": " << Say(text) << std::endl;
    m_said.insert(text.English());
}

bool CliWindow::Said(const std::string& text) const {
    std::lock_guard guard(m_lock);
    return m_said.contains(text);
}

void CliWindow::OpenUrl(const std::string&) {}

void CliWindow::ShowNote(const Text& text, NoteKind kind) {
    // The window's line under the list; the front end prints the start-up's lines and the refusals
    // itself, and waits are no news on a console.
    // The start-up's notes reach the stream from the front end, one line each, as it prints them.
    if (m_events && kind != NoteKind::StartUp)
        m_events->Note(text, kind);
    if (text.empty() || kind != NoteKind::Job)
        return;
    std::lock_guard guard(m_lock);
    m_err << "flashwell-cli: " << Say(text) << std::endl;
}

void CliWindow::SetAdapterList(const std::vector<std::string>&, int) {}

bool CliWindow::ControlsAreEnabled() const {
    std::lock_guard guard(m_lock);
    return m_enabled;
}
