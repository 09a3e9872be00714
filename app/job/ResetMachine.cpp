#include "app/job/ResetMachine.h"

#include "app/StatusTexts.h"

namespace {

bool settled(RequestResult r) {
    return r == RequestResult::ReplyWithoutContent || r == RequestResult::Unauthorized;
}

} // namespace

ResetMachine::ResetMachine(const Target& target) : CameraMachine(target, DetourKind::VersionCheck) {}

Action ResetMachine::Start() {
    if (m_target.ifType == kWifiInterface)
        return end(OutcomeKind::WifiInterface);
    // A camera that shares its address gets one of its own first, so the reset reaches it and no other.
    if (m_target.sharesAddress) {
        m_state = State::Moving;
        show(Phase::Moving);
        return step::Move{};
    }
    m_reset.Begin();
    return reset();
}

Action ResetMachine::step(const Input& input) {
    switch (m_state) {
    case State::Moving:
        if (const auto* moved = AnswerAs<input::Moved>(input)) {
            if (moved->result != MoveResult::Moved)
                return end(moveFailure(moved->result));
            this->moved(moved->address);
            m_reset.Begin();
            return reset();
        }
        break;
    case State::Reset:
        if (const auto* r = AnswerAs<input::ResetAnswered>(input)) {
            m_last = r->result;
            if (auto pause = m_reset.Attempted(settled(r->result))) {
                m_state = State::ResetPause;
                return step::Wait{*pause};
            }
            return resolved(r->result);
        }
        break;
    case State::ResetPause:
        if (m_reset.AnotherAttempt(m_stopping))
            return reset();
        return resolved(m_last);
    case State::Forgetting:
        forgotten();
        m_secondsLeft = Status::kRebootSeconds;
        return countdown();
    case State::Countdown:
        --m_secondsLeft;
        return countdown();
    case State::Idle:
        break;
    }
    return unexpected();
}

Action ResetMachine::reset() {
    if (m_stopping)
        return resolved(RequestResult::NoReply);
    m_state = State::Reset;
    show(Phase::Resetting);
    return step::Reset{m_host};
}

Action ResetMachine::resolved(RequestResult r) {
    if (r == RequestResult::ReplyWithoutContent) {
        // Where it answers after its reset the tool cannot know until a search.
        m_outcome.ipAfter.reset();
        if (Moved()) {
            m_state = State::Forgetting;
            return step::Forget{};
        }
        m_secondsLeft = Status::kRebootSeconds;
        return countdown();
    }
    if (r == RequestResult::Unauthorized)
        return end(OutcomeKind::Unauthorized);
    if (m_stopping)
        return end(OutcomeKind::Interrupted);
    m_outcome.sharedAddress = FormatIpv4(m_target.ip);
    return end(Moved() ? OutcomeKind::SharedAddressUnreachable : OutcomeKind::DeviceOffline);
}

Action ResetMachine::countdown() {
    if (m_secondsLeft < 1 || m_stopping)
        return end(OutcomeKind::ResetAccepted);
    m_state = State::Countdown;
    show(Phase::ResetRebooting, m_secondsLeft);
    return step::Wait{Clock::Milliseconds(1000)};
}
