#include "app/job/CameraMachine.h"

#include "util/Trace.h"

CameraMachine::CameraMachine(const Target& target, DetourKind detour)
    : m_target(target), m_host(FormatIpv4(target.ip)), m_detour(detour) {
    m_outcome.ipAfter = FormatIpv4(target.ip);
}

Action CameraMachine::On(const Input& input) {
    if (m_finished)
        return step::Finish{};
    if (m_leaving) {
        // The command home has left: the camera is no longer ours to move.
        m_leaving = false;
        m_moved = false;
        m_rebooting = false;
        return finish();
    }
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

Action CameraMachine::end(OutcomeKind kind) {
    m_outcome.kind = kind;
    if (!m_moved)
        return finish();
    if (m_rebooting) {
        Trace("Camera %s is rebooting at %s: its way home waits in the journal for the next start.\n",
              FormatMac(m_target.mac).c_str(), m_address.c_str());
        m_outcome.leftAt = m_address;
        return finish();
    }
    m_leaving = true;
    show(Phase::SendingHome);
    return step::SendHome{false};
}

Action CameraMachine::endKeepingJournal(OutcomeKind kind) {
    m_outcome.kind = kind;
    if (!m_moved)
        return finish();
    m_outcome.leftAt = m_address;
    m_leaving = true;
    show(Phase::SendingHome);
    return step::SendHome{true};
}

void CameraMachine::moved(const std::string& address) {
    m_moved = true;
    m_address = address;
    m_host = address;
}

OutcomeKind CameraMachine::moveFailure(MoveResult result) {
    switch (result) {
    case MoveResult::NoFreeAddress:
        return OutcomeKind::NoFreeLinkLocal;
    case MoveResult::CannotProbe:
        return OutcomeKind::CannotProbe;
    case MoveResult::Moved:
    case MoveResult::Interrupted:
        break;
    }
    return OutcomeKind::Interrupted;
}

Action CameraMachine::unexpected() {
    Trace("Camera %s: an answer out of turn; its work ends here.\n", FormatMac(m_target.mac).c_str());
    return end(OutcomeKind::Interrupted);
}

Action CameraMachine::finish() {
    m_finished = true;
    show(Phase::Done);
    return step::Finish{};
}
