#include "engine/HomecomingMachine.h"

HomecomingMachine::HomecomingMachine(const Target& target) : CameraMachine(target, DetourKind::VersionCheck) {}

Action HomecomingMachine::Start() {
    adopt(m_target.awayAt);
    return endWithin(OutcomeKind::Home, kBound);
}

Action HomecomingMachine::step(const Input&) {
    return unexpected();
}
