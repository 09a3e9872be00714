#pragma once

#include "engine/CameraMachine.h"
#include "engine/QueryRound.h"

// One camera's version check: asked at its own address, or, where it answers without model and
// version (or shares its address), once more at a link-local address of its own, then sent home.
class CheckMachine : public CameraMachine {
public:
    explicit CheckMachine(const Target& target);

    Action Start() override;

private:
    enum class State { Idle, Query, Ping, PingPause };

    Action step(const Input& input) override;
    Action afterMove(MoveResult result) override;
    Action query();
    Action queried(RequestResult result);
    Action detour();
    Action concludeDetour();
    Action versionRead();

    State m_state = State::Idle;
    bool m_detoured = false;
    QueryRound m_query;
};
