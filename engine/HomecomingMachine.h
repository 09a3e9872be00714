#pragma once

#include "engine/CameraMachine.h"

// A camera that an earlier run moved to a link-local address and did not see home again: the
// journal's command is sent again, with a growing pause, until the camera's own reply shows it
// home (its journal entry then goes) or the time given runs out (the entry stays for the next start).
class HomecomingMachine : public CameraMachine {
public:
    // At start-up the operator waits: an unreachable camera is tried again at the next start.
    static constexpr Clock::Milliseconds kBound{20'000};

    explicit HomecomingMachine(const Target& target);

    Action Start() override;

private:
    bool ReturnsFirst() const override { return false; }
    Action step(const Input& input) override;
};
