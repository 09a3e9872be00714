#include "engine/CheckMachine.h"

CheckMachine::CheckMachine(const Target& target) : CameraMachine(target, DetourKind::VersionCheck) {}

Action CheckMachine::Start() {
    // The check goes one camera after another: once stopped, the rest are not asked.
    if (m_stopping)
        return end(OutcomeKind::NotStarted);
    if (m_target.ifType == kWifiInterface)
        return end(OutcomeKind::WifiInterface);
    // Another camera answers at a shared address as well: this one is asked on its own address only.
    if (m_target.sharesAddress)
        return detour();
    return query();
}

Action CheckMachine::step(const Input& input) {
    switch (m_state) {
    case State::Query:
        if (!m_query.Accepts(input))
            break;
        if (auto next = m_query.On(input, m_stopping))
            return *next;
        return queried(m_query.Result());
    case State::Ping:
        if (const auto* ping = AnswerAs<input::Pinged>(input)) {
            if (ping->answered)
                return concludeDetour();
            m_state = State::PingPause;
            return step::Wait{Clock::Milliseconds(50)};
        }
        break;
    case State::PingPause:
        return concludeDetour();
    case State::Idle:
        break;
    }
    return unexpected();
}

Action CheckMachine::query() {
    m_state = State::Query;
    show(Phase::Querying);
    return m_query.Begin(m_host);
}

Action CheckMachine::queried(RequestResult r) {
    if (m_detoured) {
        // The camera is asked at its link-local address once, then pinged there and sent home.
        m_state = State::Ping;
        return step::Ping{m_host};
    }
    switch (r) {
    case RequestResult::ModelAndVersion:
        return versionRead();
    case RequestResult::NoReply:
        return end(OutcomeKind::CheckOffline);
    case RequestResult::Unauthorized:
        return end(OutcomeKind::Unauthorized);
    case RequestResult::ReplyWithoutContent:
        break;
    }
    return detour();
}

Action CheckMachine::versionRead() {
    m_outcome.model = m_query.Info().model.data();
    m_outcome.versionBefore = m_query.Info().version.data();
    return end(OutcomeKind::VersionRead);
}

Action CheckMachine::detour() {
    m_detoured = true;
    return move();
}

Action CheckMachine::afterMove(MoveResult result) {
    if (result != MoveResult::Moved)
        return CameraMachine::afterMove(result);
    return query();
}

Action CheckMachine::concludeDetour() {
    switch (m_query.Result()) {
    case RequestResult::ModelAndVersion: // it answered at its link-local address after all
        return versionRead();
    case RequestResult::ReplyWithoutContent:
        return end(OutcomeKind::CanNotConnect);
    case RequestResult::Unauthorized:
        return end(OutcomeKind::Unauthorized);
    case RequestResult::NoReply:
        break;
    }
    if (m_target.sharesAddress) {
        m_outcome.sharedAddress = FormatIpv4(m_target.ip);
        return end(OutcomeKind::SharedAddressUnreachable);
    }
    // Its version was never read: whatever it answered before, it is offline to the check.
    return end(OutcomeKind::CheckOffline);
}
