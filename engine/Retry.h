#pragma once

#include <optional>

#include "util/Clock.h"

// The workflows' one retry rule: a fixed number of attempts, with a fixed pause after every
// attempt that did not settle the question (and, where the camera needs it, after every attempt).
class Retry {
public:
    struct Policy {
        int attempts = 3;
        Clock::Milliseconds pause{500};
        bool pauseWhenSettled = false;
    };

    explicit Retry(Policy policy) : m_policy(policy) {}

    // A new round of attempts.
    void Begin() {
        m_made = 0;
        m_settled = false;
    }
    // The attempt just made has ended; settled means its answer needs no further attempt.
    // Returns the pause to take before going on; nothing to go on at once.
    std::optional<Clock::Milliseconds> Attempted(bool settled) {
        ++m_made;
        m_settled = settled;
        if (settled && !m_policy.pauseWhenSettled)
            return std::nullopt;
        return m_policy.pause;
    }
    bool Settled() const { return m_settled; }
    // After the pause: whether another attempt is due. A stopping job makes none.
    bool AnotherAttempt(bool stopping) const { return !m_settled && m_made < m_policy.attempts && !stopping; }
    int Failures() const { return m_settled ? m_made - 1 : m_made; }

private:
    Policy m_policy;
    int m_made = 0;
    bool m_settled = false;
};
