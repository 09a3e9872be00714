#pragma once

#include "engine/CameraMachine.h"
#include "engine/Retry.h"

// One camera's factory reset: asked up to three times (at a link-local address of its own where
// it shares its address), then its reboot counted down. Its factory settings bring it back to the
// factory address by themselves.
class ResetMachine : public CameraMachine {
public:
    // After its countdown a reset camera is looked for at the factory address for returnBound.
    explicit ResetMachine(const Target& target, Clock::Milliseconds returnBound = JobOptions::kDefaultRebootTimeout);

    Action Start() override;

private:
    enum class State { Idle, Reset, ResetPause, Forgetting, Countdown, Returning };

    Action step(const Input& input) override;
    Action afterMove(MoveResult result) override;
    Action reset();
    Action resolved(RequestResult result);
    Action countdown();
    Action lookForIt();

    State m_state = State::Idle;
    Retry m_reset{{}};
    RequestResult m_last = RequestResult::NoReply;
    ResetReply m_reply;
    int m_secondsLeft = 0;
    Clock::Milliseconds m_returnBound;
    int m_looks = 0;
    Clock::Milliseconds m_lookingSince{0}; // on the job's clock: the reboot wait is the workflow's time
};
