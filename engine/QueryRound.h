#pragma once

#include <optional>
#include <string>

#include "engine/Retry.h"
#include "engine/Steps.h"

// One round of model-and-version queries as every workflow asks them: up to three, a pause after
// each that got no usable answer, none once the job stops. The machine hands it each answer
// while the round runs and gets the next step back, or nothing once the round has its result.
class QueryRound {
public:
    Action Begin(const std::string& host);
    std::optional<Action> On(const Input& input, bool stopping);
    // Whether the input is the one the round waits for: an answer, or the end of its pause.
    bool Accepts(const Input& input) const {
        return m_pausing ? std::holds_alternative<input::Elapsed>(input)
                         : std::holds_alternative<input::Queried>(input);
    }
    RequestResult Result() const { return m_result; }
    // What the last answer with model and version said.
    const FirmwareInfo& Info() const { return m_info; }
    void ForgetInfo() { m_info = FirmwareInfo{}; }

private:
    Retry m_retry{{}};
    std::string m_host;
    bool m_pausing = false;
    RequestResult m_result = RequestResult::NoReply;
    FirmwareInfo m_info;
};
