#pragma once

#include "app/job/CameraMachine.h"
#include "app/job/Retry.h"

// One camera's factory reset: asked up to three times (at a link-local address of its own where
// it shares its address), then its reboot counted down. Its factory settings bring it back to the
// factory address by themselves.
class ResetMachine : public CameraMachine {
public:
    explicit ResetMachine(const Target& target);

    Action Start() override;

private:
    enum class State { Idle, Moving, Reset, ResetPause, Forgetting, Countdown };

    Action step(const Input& input) override;
    Action reset();
    Action resolved(RequestResult result);
    Action countdown();

    State m_state = State::Idle;
    Retry m_reset{{}};
    RequestResult m_last = RequestResult::NoReply;
    int m_secondsLeft = 0;
};
