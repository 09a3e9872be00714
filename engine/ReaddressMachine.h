#pragma once

#include "engine/CameraMachine.h"

// One camera of "Auto Change IP": a camera still at the factory address is given the next free
// address of the range by a set-network command addressed to its MAC, sent again until its own
// reply shows it there (or the tries run out); any other is left alone.
class ReaddressMachine : public CameraMachine {
public:
    // The command is sent this often at most before the camera counts as not seen.
    static constexpr int kSends = 3;

    ReaddressMachine(const Target& target, Ipv4 network);

    Action Start() override;

private:
    enum class State { Idle, Allocating, Sending, Confirming };

    Action step(const Input& input) override;

    Ipv4 m_network;
    State m_state = State::Idle;
    Ipv4 m_given{};
    int m_sends = 0;
};
