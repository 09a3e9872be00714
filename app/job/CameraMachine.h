#pragma once

#include <string>
#include <vector>

#include "app/job/CameraState.h"
#include "app/job/JobRequest.h"
#include "app/job/Steps.h"

// The two set-network commands that move a camera for a job differ in mask and gateway.
enum class DetourKind { Upgrade, VersionCheck };

// One camera's work in a job, as an explicit state machine: each call takes the answer to the
// last step and returns the next step. It owns no thread and touches nothing outside itself, so
// a test can step it through every path. The shared part here is the link-local detour: a camera
// that was moved goes home on every way out, except one that is burning or rebooting, whose way
// home the journal keeps.
class CameraMachine {
public:
    CameraMachine(const Target& target, DetourKind detour);
    virtual ~CameraMachine() = default;
    CameraMachine(const CameraMachine&) = delete;
    CameraMachine& operator=(const CameraMachine&) = delete;

    // The first step of the camera's work.
    virtual Action Start() = 0;
    // The answer to the last step; returns the next one.
    Action On(const Input& input);
    // The job is stopping: no new attempt is made, waits end at once, and a moved camera that
    // can hear it is sent home.
    void Stop() { m_stopping = true; }
    // Ends the camera at once from outside (no thread could run its steps); nothing was sent.
    void Abandon(OutcomeKind kind);

    const Target& Camera() const { return m_target; }
    DetourKind Detour() const { return m_detour; }
    const CameraView& View() const { return m_view; }
    // The views shown since the last call, in order, so that none is missed between two looks.
    std::vector<CameraView> TakeViews();
    const CameraOutcome& Outcome() const { return m_outcome; }
    bool Finished() const { return m_finished; }
    bool Stopping() const { return m_stopping; }
    bool Moved() const { return m_moved; }
    const std::string& LinkLocalAddress() const { return m_address; }

protected:
    // The workflow's own steps: every answer except the detour's way out comes here.
    virtual Action step(const Input& input) = 0;

    void show(Phase phase, int count = 0);
    // Ends the camera's work with this outcome, sending a moved camera home first.
    Action end(OutcomeKind kind);
    // Sends a moved camera home now, but keeps its way home in the journal as well: it has not
    // answered since its reboot and may not have heard.
    Action endKeepingJournal(OutcomeKind kind);
    // A move to a link-local address answered: the camera's address for everything that follows.
    void moved(const std::string& address);
    // From the accepted upload until it answers again the camera would not hear a command.
    void setRebooting(bool rebooting) { m_rebooting = rebooting; }
    // A camera that goes home by itself: its journal entry is dropped (step::Forget answered).
    void forgotten() { m_moved = false; }
    static OutcomeKind moveFailure(MoveResult result);
    // An answer the current state did not ask for: the camera's work cannot go on truthfully.
    Action unexpected();

    const Target m_target;
    std::string m_host; // where HTTP goes: its own address, or its link-local one
    CameraOutcome m_outcome;
    bool m_stopping = false;

private:
    Action finish();

    DetourKind m_detour;
    CameraView m_view;
    std::vector<CameraView> m_views;
    bool m_moved = false;
    bool m_rebooting = false;
    bool m_leaving = false; // the way-home command is on its way
    bool m_finished = false;
    std::string m_address;
};
