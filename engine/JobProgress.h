#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/CameraState.h"
#include "engine/JobEvents.h"
#include "util/Text.h"

// How far a job is, from its events: cameras done and failed, and the time left, estimated from
// how long each phase has taken the cameras that went through it so far. It has no clock: the
// caller says when each event happened and asks at a moment of its choice.
class JobProgress {
public:
    using Moment = std::chrono::steady_clock::time_point;

    // A new job of this many cameras; at most this many are at work at once (0: all).
    void Begin(std::size_t cameras, std::size_t atOnce, Moment now);
    void On(const Mac& camera, const JobEvent& event, Moment now);

    std::size_t Cameras() const { return m_cameras; }
    std::size_t Done() const { return m_done; }
    std::size_t Failed() const { return m_failed; }
    // The time left, once the phases ahead of every camera have been seen to take some time.
    std::optional<std::chrono::seconds> Left(Moment now) const;
    // "12 of 200 done, 2 failed, about 4 min left"; empty before a job.
    Text Said(Moment now) const;

private:
    struct Camera {
        Phase phase = Phase::Queued;
        int count = 0;
        int firstCount = 0; // the count when it entered the phase
        Moment since{};     // when it entered the phase
        Moment start{};     // when its work began
        bool started = false;
        bool ended = false;
    };
    // What a phase has taken, summed over the cameras that left it.
    struct Spent {
        std::chrono::duration<double> total{0};
        int times = 0;
        std::chrono::duration<double> Mean() const { return times ? total / times : total; }
    };
    void leave(Camera& camera, Moment now);
    // Only once a camera has finished: the whole job's mean is part of the answer.
    std::chrono::duration<double> ahead(const Camera& camera, Moment now) const;

    std::size_t m_cameras = 0;
    std::size_t m_atOnce = 0;
    std::size_t m_done = 0;
    std::size_t m_failed = 0;
    Moment m_begun{};
    std::map<Mac, Camera> m_state;
    std::map<Phase, Spent> m_spent;
    std::vector<Phase> m_order; // the phases in the order cameras went through them
    Spent m_whole;              // a camera's work, start to end
};

// "about 4 min left", "about 40 s left".
Text TimeLeftText(std::chrono::seconds left);
