#pragma once

#include <string>
#include <vector>

// The main window's fields that the controller reads and writes.
enum class Field { User, Password, FirmwarePath, Model, FwVersion, RangeStart, RangeEnd };

// What a line under the list is about. The window shows every kind; the console prints only what
// a job has to report, since it says the rest in its own words.
enum class NoteKind {
    Job,      // what a job did not do, or left to the next start
    StartUp,  // what cannot work here, and what the start-up put right
    Waiting,  // what the window waits for now
    Refusal,  // why a button did nothing
    Progress, // how far the running job is
};

// What the controller needs from a window: the Qt dialog, the console front end and the tests
// each implement it. The fields and the selection are read on the window's own thread when a
// button is pressed; the other calls may also come from a job's thread, so they must be safe from
// any thread and must not wait for the window's thread to serve them.
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
    virtual void ShowNote(const std::string& text, NoteKind kind) {
        (void)text;
        (void)kind;
    }
    virtual void ClearDetailPanel() {}
};
