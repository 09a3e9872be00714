#include "engine/ReaddressMachine.h"

#include "discovery/WireProtocol.h"

ReaddressMachine::ReaddressMachine(const Target& target, Ipv4 network)
    : CameraMachine(target, DetourKind::VersionCheck), m_network(network) {}

Action ReaddressMachine::Start() {
    if (m_target.ip != kFactoryAddress)
        return end(OutcomeKind::NotAtFactoryAddress);
    // Stopped: this camera keeps its address, and that is not the range's fault.
    if (m_stopping)
        return end(OutcomeKind::Interrupted);
    m_state = State::Allocating;
    show(Phase::Readdressing);
    return step::Allocate{};
}

Action ReaddressMachine::step(const Input& input) {
    switch (m_state) {
    case State::Allocating:
        if (const auto* a = AnswerAs<input::Allocated>(input)) {
            if (!a->address)
                return end(m_stopping ? OutcomeKind::Interrupted : OutcomeKind::RangeUsedUp);
            m_given = *a->address;
            m_sends = 1;
            m_state = State::Sending;
            return step::Readdress{m_given, {m_network[0], m_network[1], m_network[2], 254}};
        }
        break;
    case State::Sending:
        if (std::holds_alternative<input::Sent>(input)) {
            // The command is not acknowledged: only the camera's own reply shows it took it.
            m_state = State::Confirming;
            return step::AwaitSighting{m_given, SightingWindow(m_sends)};
        }
        break;
    case State::Confirming:
        if (AnswerAs<input::Sighted>(input)) {
            m_outcome.ipAfter = FormatIpv4(m_given);
            return end(OutcomeKind::AddressSent);
        }
        if (m_sends < kSends && !m_stopping) {
            ++m_sends;
            m_state = State::Sending;
            return step::Readdress{m_given, {m_network[0], m_network[1], m_network[2], 254}};
        }
        // Where it is now is not known: it may have taken the address after all.
        m_outcome.ipAfter.reset();
        return end(m_stopping ? OutcomeKind::Interrupted : OutcomeKind::NotSeenAtNewAddress);
    case State::Idle:
        break;
    }
    return unexpected();
}
