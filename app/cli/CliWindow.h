#pragma once

#include <map>
#include <mutex>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "app/TarnWindow.h"

// The console front end's stand-in for the main window: fields, a selection, and message
// boxes written to the error stream.
class CliWindow : public TarnWindow {
public:
    explicit CliWindow(std::ostream& err) : m_err(err) {}

    std::string FieldText(Field field) const override;
    void SetFieldText(Field field, const std::string& text) override;
    std::vector<int> SelectedRows() const override;
    void DeselectAll() override;
    void ControlsEnabled(bool enabled) override;
    void MessageBox(const std::string& text, const std::string& caption) override;
    void OpenUrl(const std::string& url) override;
    void SetAdapterList(const std::vector<std::string>& descriptions, int selected) override;
    void ShowNote(const std::string& text, NoteKind kind) override;

    void Select(const std::vector<int>& rows);
    bool ControlsAreEnabled() const;
    // Whether a message box already printed this text.
    bool Said(const std::string& text) const;

private:
    mutable std::mutex m_lock;
    std::ostream& m_err;
    std::map<Field, std::string> m_fields;
    std::set<int> m_selected;
    bool m_enabled = true;
    std::set<std::string> m_said;
};
