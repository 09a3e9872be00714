#pragma once

#include <string>

#include "discovery/DeviceInfo.h"

class CTarnDlg;
enum class DetourKind;

// A camera moved to a link-local address for a job, by the set-network command addressed to its
// MAC. It is sent home on every path out of the worker; only a camera that is burning or
// rebooting when the worker leaves is left to the journal, which the next start replays.
class Detour {
public:
    enum class Outcome { Moved, NoFreeAddress, CannotProbe, Interrupted };

    Detour(CTarnDlg& dlg, const DeviceInfo& snapshot, DetourKind kind);
    ~Detour();
    Detour(const Detour&) = delete;
    Detour& operator=(const Detour&) = delete;

    // Moves the camera to a fresh link-local address; the journal hears of it before the command leaves.
    Outcome Move();
    bool Moved() const { return m_moved; }
    const std::string& Address() const { return m_address; }
    // While set, leaving sends nothing: a burning camera would not hear it, and might mind.
    void SetRebooting(bool rebooting) { m_rebooting = rebooting; }
    bool Rebooting() const { return m_rebooting; }
    // Sends the camera home now. keepJournal leaves the entry for the next start as well, for a
    // camera that has not answered since its reboot and may not have heard.
    void SendBack(bool keepJournal = false);
    // The camera goes home by itself (a factory reset): nothing to send, nothing to keep.
    void Forget();

private:
    CTarnDlg& m_dlg;
    DeviceInfo m_snapshot;
    DetourKind m_kind;
    bool m_moved = false;
    bool m_rebooting = false;
    std::string m_address;
};
