#include "engine/ResetMachine.h"

#include <algorithm>

#include "discovery/WireProtocol.h"

namespace {

// An answer that is neither an acceptance nor a refusal of the login settles it too: asking again
// would only repeat it.
bool settled(const input::ResetAnswered& r) {
    return r.result == RequestResult::ReplyWithoutContent || r.result == RequestResult::Unauthorized ||
           r.reply.status != 0;
}

std::string answerOf(const ResetReply& reply) {
    if (reply.status != 0 && (reply.status < 200 || reply.status >= 300))
        return "HTTP " + std::to_string(reply.status);
    return reply.answer.empty() ? "an empty answer" : "\"" + reply.answer + "\"";
}

} // namespace

ResetMachine::ResetMachine(const Target& target, Clock::Milliseconds returnBound)
    : CameraMachine(target, DetourKind::VersionCheck), m_returnBound(returnBound) {}

Action ResetMachine::Start() {
    if (m_target.ifType == kWifiInterface)
        return end(OutcomeKind::WifiInterface);
    // A camera that shares its address gets one of its own first, so the reset reaches it and no other.
    if (m_target.sharesAddress)
        return move();
    m_reset.Begin();
    return reset();
}

Action ResetMachine::afterMove(MoveResult result) {
    if (result != MoveResult::Moved)
        return CameraMachine::afterMove(result);
    m_reset.Begin();
    return reset();
}

Action ResetMachine::step(const Input& input) {
    switch (m_state) {
    case State::Reset:
        if (const auto* r = AnswerAs<input::ResetAnswered>(input)) {
            m_last = r->result;
            m_reply = r->reply;
            if (auto pause = m_reset.Attempted(settled(*r))) {
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
        m_secondsLeft = kRebootCountdownSeconds;
        return countdown();
    case State::Countdown:
        --m_secondsLeft;
        return countdown();
    case State::Returning:
        if (AnswerAs<input::Sighted>(input)) {
            // Its own reply shows it back, at the factory address: the list shows it there too.
            m_outcome.ipAfter = FormatIpv4(kFactoryAddress);
            return end(OutcomeKind::ResetAccepted);
        }
        return lookForIt();
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
        m_secondsLeft = kRebootCountdownSeconds;
        return countdown();
    }
    if (r == RequestResult::Unauthorized)
        return end(OutcomeKind::Unauthorized);
    if (m_reply.status != 0) {
        // It answered, but not with its acceptance: a reset that did not happen is no success.
        m_outcome.answer = answerOf(m_reply);
        return end(OutcomeKind::ResetRefused);
    }
    if (m_stopping)
        return end(OutcomeKind::Interrupted);
    m_outcome.sharedAddress = FormatIpv4(m_target.ip);
    return end(Moved() ? OutcomeKind::SharedAddressUnreachable : OutcomeKind::DeviceOffline);
}

Action ResetMachine::countdown() {
    if (m_stopping)
        return end(OutcomeKind::ResetAccepted);
    if (m_secondsLeft < 1) {
        m_looks = 0;
        m_lookingSince = m_now;
        return lookForIt();
    }
    m_state = State::Countdown;
    show(Phase::ResetRebooting, m_secondsLeft);
    return step::Wait{Clock::Milliseconds(1000)};
}

Action ResetMachine::lookForIt() {
    if (m_stopping)
        return end(OutcomeKind::ResetAccepted);
    const auto looked = m_now - m_lookingSince;
    if (looked >= m_returnBound)
        return end(OutcomeKind::NoAnswerAfterReboot);
    m_state = State::Returning;
    ++m_looks;
    const auto left = m_returnBound - looked;
    show(Phase::AwaitingReturn, static_cast<int>((left.count() + 999) / 1000));
    return step::AwaitSighting{kFactoryAddress, std::min(SightingWindow(m_looks), left)};
}
