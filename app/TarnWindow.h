#pragma once

#include <string>
#include <vector>

#include "engine/JobRequest.h"
#include "util/Text.h"

// What a line under the list is about. The window shows every kind; the console prints only what
// a job has to report, since it says the rest in its own words.
enum class NoteKind {
    Job,      // what a job did not do, or left to the next start
    StartUp,  // what cannot work here, and what the start-up put right
    Waiting,  // what the window waits for now
    Refusal,  // why a button did nothing
    Progress, // how far the running job is
};

// What the controller tells a window: the Qt dialog, the console front end and the tests each
// implement it. The controller never reads a window: a press hands it the front end's inputs.
// Texts come typed, and each window shows them in its own language.
// The calls may come from a job's thread, so they must be safe from any thread and must not wait
// for the window's thread to serve them.
class TarnWindow {
public:
    virtual ~TarnWindow() = default;

    // What the window's own boxes should show: a login (the defaults, a preset, a stored one), the
    // re-addressing's range, the image chosen and what its header says.
    virtual void ShowLogin(const Login& login) = 0;
    virtual void ShowRange(const std::string& start, const std::string& end) = 0;
    virtual void ShowFirmwarePath(const std::string& path) = 0;
    virtual void ShowImageFacts(const std::string& model, const std::string& version) = 0;
    virtual void DeselectAll() = 0;
    // Every operation control at once; the list and Exit stay enabled.
    virtual void ControlsEnabled(bool enabled) = 0;
    virtual void MessageBox(const Text& text, const Text& caption) = 0;
    virtual void OpenUrl(const std::string& url) = 0;
    // Fills the "Network Card" list; selected is -1 when the list is empty.
    virtual void SetAdapterList(const std::vector<std::string>& descriptions, int selected) = 0;
    // The window's captions for the language of the code page.
    virtual void ApplyLanguage(unsigned codePage) { (void)codePage; }
    // A line under the list that says what the tool is doing or could not do; empty clears it.
    virtual void ShowNote(const Text& text, NoteKind kind) {
        (void)text;
        (void)kind;
    }
    virtual void ClearDetailPanel() {}
};
