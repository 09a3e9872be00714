#include "engine/CameraMachine.h"

#include <algorithm>

#include "util/Trace.h"

Clock::Milliseconds SightingWindow(int attempt) {
    const int doublings = std::clamp(attempt - 1, 0, 4);
    return std::min(Clock::Milliseconds(1000 << doublings), kLongestSightingWindow);
}

CameraMachine::CameraMachine(const Target& target, DetourKind detour)
    : m_target(target), m_host(FormatIpv4(target.ip)), m_detour(detour) {
    m_outcome.ipAfter = FormatIpv4(target.ip);
}

Action CameraMachine::Begin() {
    if (m_target.awayAt.empty() || !ReturnsFirst())
        return Start();
    adopt(m_target.awayAt);
    m_returning = true;
    // Stopped on its way home, its work never began.
    m_outcome.kind = OutcomeKind::NotStarted;
    return sendHome(kReturnBound);
}

Action CameraMachine::returned(bool seenHome) {
    m_returning = false;
    m_leg = Leg::None;
    if (seenHome) {
        m_moved = false;
        m_host = FormatIpv4(m_target.ip);
    } else {
        // Still away: it is worked on there, and sent home at the end as any moved camera is.
        Trace("Camera %s was not seen back at %s: it is worked on at %s.\n", FormatMac(m_target.mac).c_str(),
              FormatIpv4(m_target.ip).c_str(), m_address.c_str());
        m_host = m_address;
    }
    return Start();
}

Action CameraMachine::On(const Input& input) {
    if (m_finished)
        return step::Finish{};
    if (m_leg != Leg::None)
        return detourStep(input);
    return step(input);
}

void CameraMachine::Abandon(OutcomeKind kind) {
    m_outcome.kind = kind;
    m_finished = true;
}

std::vector<CameraView> CameraMachine::TakeViews() {
    std::vector<CameraView> views;
    views.swap(m_views);
    return views;
}

void CameraMachine::show(Phase phase, int count) {
    CameraView view{phase, count};
    if (view == m_view)
        return;
    m_view = view;
    m_views.push_back(view);
}

Action CameraMachine::move() {
    m_leg = Leg::Moving;
    show(Phase::Moving);
    return step::Move{};
}

Action CameraMachine::afterMove(MoveResult result) {
    return end(moveFailure(result));
}

Action CameraMachine::detourStep(const Input& input) {
    switch (m_leg) {
    case Leg::Moving:
    case Leg::ConfirmingMove:
    case Leg::Resending:
        return awayStep(input);
    case Leg::Leaving:
    case Leg::ConfirmingHome:
    case Leg::Forgetting:
        return homeStep(input);
    case Leg::None:
        break;
    }
    return unexpected();
}

Action CameraMachine::awayStep(const Input& input) {
    if (m_leg == Leg::Moving) {
        const auto* moved = AnswerAs<input::Moved>(input);
        if (!moved)
            return unexpected();
        if (moved->result != MoveResult::Moved) {
            m_leg = Leg::None;
            if (!moved->problem.empty())
                m_outcome.note = moved->problem;
            return afterMove(moved->result);
        }
        // The command has left and its way home is in the journal: from here it may be there.
        m_moved = true;
        m_address = moved->address;
        m_sends = 1;
        m_leg = Leg::ConfirmingMove;
        return step::AwaitSighting{*ParseIpv4(m_address), SightingWindow(m_sends)};
    }
    if (m_leg == Leg::Resending) {
        if (!std::holds_alternative<input::Sent>(input))
            return unexpected();
        m_leg = Leg::ConfirmingMove;
        return step::AwaitSighting{*ParseIpv4(m_address), SightingWindow(m_sends)};
    }
    if (AnswerAs<input::Sighted>(input)) {
        m_leg = Leg::None;
        m_host = m_address;
        return afterMove(MoveResult::Moved);
    }
    if (!std::holds_alternative<input::Elapsed>(input))
        return unexpected();
    if (m_sends < kMoveSends && !m_stopping) {
        ++m_sends;
        m_leg = Leg::Resending;
        return step::SendDetour{m_address};
    }
    m_leg = Leg::None;
    return afterMove(m_stopping ? MoveResult::Interrupted : MoveResult::NotSeen);
}

Action CameraMachine::homeStep(const Input& input) {
    if (m_leg == Leg::Leaving) {
        if (!std::holds_alternative<input::Sent>(input))
            return unexpected();
        m_leg = Leg::ConfirmingHome;
        return step::AwaitSighting{m_target.ip, SightingWindow(m_sends), true};
    }
    if (m_leg == Leg::Forgetting) {
        if (!std::holds_alternative<input::Sent>(input))
            return unexpected();
        if (m_returning)
            return returned(true);
        m_leg = Leg::None;
        m_moved = false;
        m_rebooting = false;
        m_outcome.ipAfter = FormatIpv4(m_target.ip);
        return finish();
    }
    if (AnswerAs<input::Sighted>(input)) {
        // Its own reply shows it home: only now does its way home leave the journal.
        m_leg = Leg::Forgetting;
        return step::Forget{};
    }
    if (!std::holds_alternative<input::Elapsed>(input))
        return unexpected();
    const auto bound = m_stopping ? std::min(m_bound, kStoppingHomeBound) : m_bound;
    if (m_now - m_homeSince < bound || m_sends < kLeastHomeSends) {
        ++m_sends;
        m_leg = Leg::Leaving;
        return step::SendHome{};
    }
    if (m_returning && !m_stopping)
        return returned(false);
    Trace("Camera %s was not seen back at %s: its way home stays in the journal.\n", FormatMac(m_target.mac).c_str(),
          FormatIpv4(m_target.ip).c_str());
    m_leg = Leg::None;
    m_outcome.leftAt = m_address;
    m_outcome.ipAfter.reset();
    if (m_outcome.kind == OutcomeKind::Home)
        m_outcome.kind = OutcomeKind::StillAway;
    return finish();
}

Action CameraMachine::end(OutcomeKind kind) {
    return leave(kind, kHomeBound);
}

Action CameraMachine::endSilent(OutcomeKind kind) {
    return leave(kind, kSilentHomeBound);
}

Action CameraMachine::leave(OutcomeKind kind, Clock::Milliseconds bound) {
    m_outcome.kind = kind;
    if (!m_moved)
        return finish();
    if (m_rebooting) {
        Trace("Camera %s is rebooting at %s: its way home waits in the journal for the next start.\n",
              FormatMac(m_target.mac).c_str(), m_address.c_str());
        m_outcome.leftAt = m_address;
        return finish();
    }
    m_returning = false;
    return sendHome(bound);
}

Action CameraMachine::sendHome(Clock::Milliseconds bound) {
    m_leg = Leg::Leaving;
    m_sends = 1;
    m_homeSince = m_now;
    m_bound = bound;
    show(Phase::SendingHome);
    return step::SendHome{};
}

OutcomeKind CameraMachine::moveFailure(MoveResult result) {
    switch (result) {
    case MoveResult::NoFreeAddress:
        return OutcomeKind::NoFreeLinkLocal;
    case MoveResult::CannotProbe:
        return OutcomeKind::CannotProbe;
    case MoveResult::NoJournal:
        return OutcomeKind::NoWayHome;
    case MoveResult::NotSeen:
        return OutcomeKind::NotSeenAfterMove;
    case MoveResult::Moved:
    case MoveResult::Interrupted:
        break;
    }
    return OutcomeKind::Interrupted;
}

Action CameraMachine::unexpected() {
    Trace("Camera %s: an answer out of turn; its work ends here.\n", FormatMac(m_target.mac).c_str());
    m_leg = Leg::None;
    return end(OutcomeKind::Interrupted);
}

Action CameraMachine::finish() {
    m_finished = true;
    show(Phase::Done);
    return step::Finish{};
}
