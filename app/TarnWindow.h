#pragma once

#include <string>
#include <vector>

// The main window's fields that the controller reads and writes.
enum class Field { User, Password, FirmwarePath, Model, FwVersion, RangeStart, RangeEnd };

// What the controller needs from a window: the Qt dialog, the console front end and the tests
// each implement it. Workers call it from their own threads, so every call must be safe from
// any thread and must not wait for the window's thread to serve it.
class TarnWindow {
public:
    virtual ~TarnWindow() = default;

    virtual std::string FieldText(Field field) const = 0;
    virtual void SetFieldText(Field field, const std::string& text) = 0;
    // Rows selected in the device list, in ascending order.
    virtual std::vector<int> SelectedRows() const = 0;
    virtual void DeselectAll() = 0;
    // Every operation control at once; the list and Exit stay enabled.
    virtual void ControlsEnabled(bool enabled) = 0;
    virtual void MessageBox(const std::string& text, const std::string& caption) = 0;
    virtual void OpenUrl(const std::string& url) = 0;
    // Fills the "Network Card" list; selected is -1 when the list is empty.
    virtual void SetAdapterList(const std::vector<std::string>& descriptions, int selected) = 0;
    // The window's captions for the language of the code page.
    virtual void ApplyLanguage(unsigned codePage) { (void)codePage; }
    // A line under the list that says what the tool is doing or could not do; empty clears it.
    virtual void ShowNote(const std::string& text) { (void)text; }
    virtual void ClearDetailPanel() {}
};
