#pragma once

#include <mutex>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "app/TarnWindow.h"
#include "i18n/Translations.h"

class EventStream;

// The console front end's stand-in for the main window: message boxes and a job's notes written
// to the error stream, in the language of the locale. What the window's boxes would show is no
// news to a console.
class CliWindow : public TarnWindow {
public:
    explicit CliWindow(std::ostream& err) : m_err(err) {}

    void ShowLogin(const Login&) override {}
    void ShowRange(const std::string&, const std::string&) override {}
    void ShowFirmwarePath(const std::string&) override {}
    void ShowImageFacts(const std::string&, const std::string&) override {}
    void DeselectAll() override {}
    void ControlsEnabled(bool enabled) override;
    void MessageBox(const Text& text, const Text& caption) override;
    void OpenUrl(const std::string& url) override;
    void SetAdapterList(const std::vector<std::string>& descriptions, int selected) override;
    void ApplyLanguage(unsigned codePage) override;
    void ShowNote(const Text& text, NoteKind kind) override;

    bool ControlsAreEnabled() const;
    // Whether a message box already printed this text (in English).
    bool Said(const std::string& text) const;
    // A text in the console's language.
    std::string Say(const Text& text) const { return text.In(m_translate); }
    const Text::Translate& Translate() const { return m_translate; }
    // Notes and message boxes go to the event stream as well; set before the controller starts.
    void StreamTo(EventStream* events) { m_events = events; }

private:
    mutable std::mutex m_lock;
    std::ostream& m_err;
    bool m_enabled = true;
    std::set<std::string> m_said;
    QTranslator m_translator;
    Text::Translate m_translate; // none: English
    EventStream* m_events = nullptr;
};
