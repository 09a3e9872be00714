#pragma once

#include <algorithm>
#include <iterator>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "app/JobInputs.h"
#include "app/TarnWindow.h"
#include "discovery/DeviceTable.h"

namespace testsupport {

// The boxes of a window, as a test fills them before a press.
enum class Field { User, Password, FirmwarePath, Model, FwVersion, RangeStart, RangeEnd };

// A window that keeps boxes and a selection as a front end does, and records every other call
// as a line of text; safe from any thread.
class FakeWindow : public TarnWindow {
public:
    std::string FieldText(Field f) const {
        std::lock_guard guard(m_lock);
        return m_fields.contains(f) ? m_fields.at(f) : std::string();
    }
    void SetFieldText(Field f, const std::string& text) {
        std::lock_guard guard(m_lock);
        m_fields[f] = text;
    }
    std::vector<int> SelectedRows() const {
        std::lock_guard guard(m_lock);
        return m_selected;
    }
    void ShowLogin(const Login& login) override {
        SetFieldText(Field::User, login.user);
        SetFieldText(Field::Password, login.password);
    }
    void ShowRange(const std::string& start, const std::string& end) override {
        SetFieldText(Field::RangeStart, start);
        SetFieldText(Field::RangeEnd, end);
    }
    void ShowFirmwarePath(const std::string& path) override { SetFieldText(Field::FirmwarePath, path); }
    void ShowImageFacts(const std::string& model, const std::string& version) override {
        SetFieldText(Field::Model, model);
        SetFieldText(Field::FwVersion, version);
    }
    // What a press hands the controller: the selected rows' cameras by MAC (every listed one when
    // asked), and the boxes as they stand.
    JobInputs Inputs(const ListModel& list, bool everyListed = false) const {
        JobInputs inputs;
        inputs.selected = everyListed ? ListedMacs(list) : MacsAtRows(list, SelectedRows());
        inputs.login = {FieldText(Field::User), FieldText(Field::Password)};
        inputs.firmwarePath = FieldText(Field::FirmwarePath);
        inputs.rangeStart = FieldText(Field::RangeStart);
        inputs.rangeEnd = FieldText(Field::RangeEnd);
        return inputs;
    }
    void DeselectAll() override {
        record("DeselectAll");
        std::lock_guard guard(m_lock);
        m_selected.clear();
    }
    void ControlsEnabled(bool on) override { record(on ? "Controls on" : "Controls off"); }
    void MessageBox(const Text& text, const Text&) override { record("MessageBox " + text.English()); }
    void OpenUrl(const std::string& url) override { record("OpenUrl " + url); }
    void SetAdapterList(const std::vector<std::string>& d, int selected) override {
        // As gtest prints a vector: { "a", "b" }, or {} when empty.
        std::string names;
        for (const std::string& name : d)
            names += (names.empty() ? "{ \"" : ", \"") + name + "\"";
        record("Adapters " + (names.empty() ? "{}" : names + " }") + " " + std::to_string(selected));
    }
    void ApplyLanguage(unsigned codePage) override { record("Language " + std::to_string(codePage)); }
    void ShowNote(const Text& text, NoteKind) override { record("Note " + text.English()); }

    void Select(std::vector<int> rows) {
        std::lock_guard guard(m_lock);
        m_selected = std::move(rows);
    }
    // The recorded calls that start with prefix, in order.
    std::vector<std::string> Calls(const std::string& prefix) const {
        std::lock_guard guard(m_lock);
        std::vector<std::string> out;
        std::copy_if(m_calls.begin(), m_calls.end(), std::back_inserter(out),
                     [&](const std::string& c) { return c.starts_with(prefix); });
        return out;
    }
    void ClearCalls() {
        std::lock_guard guard(m_lock);
        m_calls.clear();
    }

private:
    void record(const std::string& call) {
        std::lock_guard guard(m_lock);
        m_calls.push_back(call);
    }
    mutable std::mutex m_lock;
    std::vector<std::string> m_calls;
    std::map<Field, std::string> m_fields;
    std::vector<int> m_selected;
};

} // namespace testsupport
