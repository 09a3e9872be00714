#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

// What every kind of test here needs: scratch folders, polling waits, shell commands and
// namespace entry. No test framework is needed to use it.
namespace testsupport {

// A fresh directory under the system's temporary folder, removed with its contents at scope end.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// Polls until done() holds or the limit passes, so asynchronous arrivals never need a fixed sleep.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(2));

// True once the process has exited, also while it waits as a zombie for whoever adopted it: a
// process started in the background by a shell is reaped by init, on init's own schedule.
bool ProcessEnded(int pid);

// The names of the entries of a folder, sorted; none when it does not exist.
std::vector<std::string> ListFolder(const std::string& folder);

// The whole content of a file; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);

// Runs a shell command; returns its exit code and, when asked, its standard output.
int RunCommand(const std::string& command, std::string* output = nullptr);

// A single-quoted shell word.
std::string ShellQuote(const std::string& text);

// Short and unique per process and per call, so parallel runs never share a name.
std::string UniqueId();

// Writes a firmware image into folder: version digits at byte 24, the model at byte 68, filler
// bytes up to size (a shorter image holds only what fits). Returns its path.
std::string WriteFirmwareImage(const std::string& folder, const std::string& digits, std::size_t size,
                               const std::string& model = "IPC1234");

// Moves the calling thread (and the threads it starts later) into a named network namespace and back.
class NamespaceEntry {
public:
    NamespaceEntry() = default;
    ~NamespaceEntry() { Leave(); }
    NamespaceEntry(const NamespaceEntry&) = delete;
    NamespaceEntry& operator=(const NamespaceEntry&) = delete;

    void Enter(const std::string& name); // throws std::runtime_error when it cannot
    void Leave();

private:
    int m_original = -1;
};

// Why network namespaces cannot be built here, or empty when they can.
std::string NamespacesUnavailable();

} // namespace testsupport
