#include "util/Clock.h"

#include <cstdlib>

#include "util/Event.h"

void Clock::Sleep(Milliseconds d) {
    std::unique_lock guard(m_lock);
    m_wake.wait_for(guard, Real(d), [this] { return m_interrupted.load(); });
}

bool Clock::Wait(Event& event, Milliseconds d) {
    if (Interrupted())
        return true;
    return event.WaitFor(Real(d));
}

void Clock::Interrupt() {
    {
        std::lock_guard guard(m_lock);
        m_interrupted = true;
    }
    m_wake.notify_all();
}

double Clock::ScaleFromEnvironment() {
    const char* text = std::getenv("FLASHWELL_TIME_SCALE");
    if (!text || !*text)
        return 1.0;
    char* end = nullptr;
    double scale = std::strtod(text, &end);
    return (end && *end == '\0' && scale > 0) ? scale : 1.0;
}
