#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "engine/CameraState.h"
#include "engine/JobRequest.h"

// What a running job tells those who show or keep its progress: the list, the console's lines,
// the records. Events come from the job's own thread, in the order things happened.
namespace event {

struct CameraStarted {}; // its turn has come
struct CameraChanged {   // it entered a phase, or its count moved on
    CameraView view;
};
struct CameraEnded { // its outcome is final
    CameraOutcome outcome;
};

} // namespace event

using JobEvent = std::variant<event::CameraStarted, event::CameraChanged, event::CameraEnded>;

// The camera an event is about, and the event.
using JobListener = std::function<void(const Target& camera, const JobEvent& event)>;

// What the whole job came to, for its closing part.
struct JobSummary {
    std::size_t cameras = 0;
    std::size_t failed = 0;
    std::vector<Text> away;  // "Lobby (02:..:01) at 169.254.3.4": cameras the journal keeps
    std::vector<Text> notes; // what the operator must hear once, beyond the Status texts
    int rangeUsedUp = 0;     // cameras the re-addressing had no address for
};
