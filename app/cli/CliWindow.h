#pragma once

#include <mutex>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "app/TarnWindow.h"

// The console front end's stand-in for the main window: message boxes and a job's notes written
// to the error stream. What the window's boxes would show is no news to a console.
class CliWindow : public TarnWindow {
public:
    explicit CliWindow(std::ostream& err) : m_err(err) {}

    void ShowLogin(const Login&) override {}
    void ShowRange(const std::string&, const std::string&) override {}
    void ShowFirmwarePath(const std::string&) override {}
    void ShowImageFacts(const std::string&, const std::string&) override {}
    void DeselectAll() override {}
    void ControlsEnabled(bool enabled) override;
    void MessageBox(const std::string& text, const std::string& caption) override;
    void OpenUrl(const std::string& url) override;
    void SetAdapterList(const std::vector<std::string>& descriptions, int selected) override;
    void ShowNote(const std::string& text, NoteKind kind) override;

    bool ControlsAreEnabled() const;
    // Whether a message box already printed this text.
    bool Said(const std::string& text) const;

private:
    mutable std::mutex m_lock;
    std::ostream& m_err;
    bool m_enabled = true;
    std::set<std::string> m_said;
};
