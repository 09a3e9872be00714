#pragma once

#include <string>
#include <vector>

#include "engine/CameraState.h"
#include "engine/JobRequest.h"
#include "engine/Steps.h"

// The two set-network commands that move a camera for a job differ in mask and gateway.
enum class DetourKind { Upgrade, VersionCheck };

// How long a camera is given to show itself at an address: windows that double from one second,
// with the command sent again before each. A set-network command is one unacknowledged broadcast.
// Each window is a wait for the camera's reply and lasts its real time; the bounds below are the
// workflow's and shrink with a scaled clock.
inline constexpr int kMoveSends = 4;                             // about 15 s in all
inline constexpr Clock::Milliseconds kHomeBound{120'000};        // an awake camera on its way home
inline constexpr Clock::Milliseconds kSilentHomeBound{30'000};   // one that has not answered since its reboot
inline constexpr Clock::Milliseconds kStoppingHomeBound{10'000}; // a job that is being stopped
inline constexpr Clock::Milliseconds kLongestSightingWindow{15'000};
// A command home is sent at least this often, however short a scaled clock makes the time given.
inline constexpr int kLeastHomeSends = 2;

// The window of the n-th try (from 1): 1, 2, 4, 8, 15, 15, ... seconds.
Clock::Milliseconds SightingWindow(int attempt);

// One camera's work in a job, as an explicit state machine: each call takes the answer to the
// last step and returns the next step. It owns no thread and touches nothing outside itself, so
// a test can step it through every path. The shared part here is the link-local detour: a move
// counts only once the camera's own reply shows it at its new address, and a moved camera goes
// home on every way out (seen home before its journal entry goes), except one that is burning or
// rebooting, whose way home the journal keeps.
class CameraMachine {
public:
    CameraMachine(const Target& target, DetourKind detour);
    virtual ~CameraMachine() = default;
    CameraMachine(const CameraMachine&) = delete;
    CameraMachine& operator=(const CameraMachine&) = delete;

    // The first step: a camera an earlier job left away from home is sent home first (its home is
    // the journal's), then its work begins, where it was seen or, not seen home, where it is.
    Action Begin();
    // The first step of the camera's work.
    virtual Action Start() = 0;
    // The answer to the last step; returns the next one.
    Action On(const Input& input);
    // The job is stopping: no new attempt is made, waits end at once, and a moved camera that
    // can hear it is sent home.
    void Stop() { m_stopping = true; }
    // Ends the camera at once from outside (no thread could run its steps); nothing was sent.
    void Abandon(OutcomeKind kind);
    // The job's time on its clock, as the job tells it before each step: deadlines are measured
    // on it, so a scaled clock shortens them as it does every wait.
    void SetNow(Clock::Milliseconds now) { m_now = now; }
    // It asked for its turn to upload and must wait for it.
    void WaitForTurn() { show(Phase::WaitingTurn); }
    // Its turn waits for the first wave of the fleet to end, not for a free slot.
    void WaitForWave() { show(Phase::WaitingWave); }
    // From its turn to upload until its upload has settled, one way or the other.
    virtual bool HoldsTurn() const { return false; }

    const Target& Camera() const { return m_target; }
    DetourKind Detour() const { return m_detour; }
    const CameraView& View() const { return m_view; }
    // The views shown since the last call, in order, so that none is missed between two looks.
    std::vector<CameraView> TakeViews();
    const CameraOutcome& Outcome() const { return m_outcome; }
    bool Finished() const { return m_finished; }
    bool Stopping() const { return m_stopping; }
    // True from the first command that may have moved it until it is seen home again.
    bool Moved() const { return m_moved; }
    const std::string& LinkLocalAddress() const { return m_address; }

protected:
    // Whether Begin sends an away camera home before Start: not for the homecoming itself.
    virtual bool ReturnsFirst() const { return true; }
    // The workflow's own steps: every answer outside the detour comes here.
    virtual Action step(const Input& input) = 0;
    // A move begun with move() has been seen through: Moved once the camera showed itself at its
    // link-local address (m_host is that address from then on). By default any other result
    // ends the camera's work.
    virtual Action afterMove(MoveResult result);

    void show(Phase phase, int count = 0);
    // Gives the camera a link-local address of its own and waits to see it there.
    Action move();
    // Ends the camera's work with this outcome, sending a moved camera home first.
    Action end(OutcomeKind kind);
    // The same for a camera that has not answered since its reboot: it is sent home but given
    // less time to be seen there, and the journal keeps it if it is not.
    Action endSilent(OutcomeKind kind);
    // The same, giving it this long to be seen home.
    Action endWithin(OutcomeKind kind, Clock::Milliseconds bound) { return leave(kind, bound); }
    // A camera an earlier run moved to this address and could not see home.
    void adopt(const std::string& address) {
        m_moved = true;
        m_address = address;
    }
    // From the accepted upload until it answers again the camera would not hear a command.
    void setRebooting(bool rebooting) { m_rebooting = rebooting; }
    // A camera that goes home by itself: its journal entry is dropped (step::Forget answered).
    void forgotten() { m_moved = false; }
    static OutcomeKind moveFailure(MoveResult result);
    // An answer the current state did not ask for: the camera's work cannot go on truthfully.
    Action unexpected();

    const Target m_target;
    std::string m_host; // where HTTP goes: its own address, or its link-local one once seen there
    CameraOutcome m_outcome;
    bool m_stopping = false;
    Clock::Milliseconds m_now{0};

private:
    enum class Leg { None, Moving, ConfirmingMove, Resending, Leaving, ConfirmingHome, Forgetting };

    Action detourStep(const Input& input);
    Action awayStep(const Input& input); // to the link-local address and its sighting there
    Action homeStep(const Input& input); // back to its own address, seen there, then forgotten
    Action leave(OutcomeKind kind, Clock::Milliseconds bound);
    Action sendHome(Clock::Milliseconds bound);
    // The way home before the work has ended, seen or not: the work begins.
    Action returned(bool seenHome);
    Action finish();

    DetourKind m_detour;
    CameraView m_view;
    std::vector<CameraView> m_views;
    Leg m_leg = Leg::None;
    int m_sends = 0;
    Clock::Milliseconds m_homeSince{0}; // on the job's clock: the time given is the workflow's
    Clock::Milliseconds m_bound{0};
    bool m_moved = false;
    bool m_rebooting = false;
    bool m_finished = false;
    bool m_returning = false; // on its way home before its work
    std::string m_address;
};

// How long a camera an earlier job left away is given to show itself home before a job's work on it.
inline constexpr Clock::Milliseconds kReturnBound{20'000};
