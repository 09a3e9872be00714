#include "engine/QueryRound.h"

Action QueryRound::Begin(const std::string& host) {
    m_host = host;
    m_pausing = false;
    m_result = RequestResult::NoReply;
    m_retry.Begin();
    return step::Query{m_host};
}

std::optional<Action> QueryRound::On(const Input& input, bool stopping) {
    if (m_pausing) {
        m_pausing = false;
        if (m_retry.AnotherAttempt(stopping))
            return step::Query{m_host};
        m_result = RequestResult::NoReply;
        return std::nullopt;
    }
    const auto* answer = std::get_if<input::Queried>(&input);
    m_result = answer ? answer->result : RequestResult::NoReply;
    if (m_result == RequestResult::ModelAndVersion)
        m_info = answer->info;
    if (auto pause = m_retry.Attempted(m_result != RequestResult::NoReply)) {
        m_pausing = true;
        return step::Wait{*pause};
    }
    return std::nullopt;
}
