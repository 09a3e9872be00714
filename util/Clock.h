#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

class Event;

// Every pause, countdown and timed wait of a workflow goes through one clock, so that tests run
// a 60-second reboot countdown in milliseconds. Network time-outs are not scaled, and neither is a
// wait for a camera's own reply (the window in which a search must show a change): a camera
// answers when it answers. Only a test's clock may shorten those, with replyScale.
class Clock {
public:
    using Milliseconds = std::chrono::milliseconds;

    explicit Clock(double scale = 1.0, double replyScale = 1.0)
        : m_scale(scale > 0 ? scale : 1.0), m_replyScale(replyScale > 0 ? replyScale : 1.0) {}
    virtual ~Clock() = default;

    // The real time that a workflow wait of d lasts.
    std::chrono::nanoseconds Real(Milliseconds d) const { return scaled(d, m_scale); }
    // The real time that a wait of d for a camera's reply lasts.
    std::chrono::nanoseconds ReplyWindow(Milliseconds d) const { return scaled(d, m_replyScale); }
    double Scale() const { return m_scale; }
    // A plain pause, cut short when Interrupt is called (closing the window).
    virtual void Sleep(Milliseconds d);
    // A timed wait on a worker's event; true when the event was set first.
    virtual bool Wait(Event& event, Milliseconds d);
    void Interrupt();
    bool Interrupted() const { return m_interrupted.load(); }

    // The binaries' clock: real time scaled by FLASHWELL_TIME_SCALE (default 1).
    static double ScaleFromEnvironment();

private:
    static std::chrono::nanoseconds scaled(Milliseconds d, double scale) {
        return std::chrono::nanoseconds(static_cast<long long>(static_cast<double>(d.count()) * 1e6 * scale));
    }

    double m_scale;
    double m_replyScale;
    std::atomic<bool> m_interrupted{false};
    std::mutex m_lock;
    std::condition_variable m_wake;
};
