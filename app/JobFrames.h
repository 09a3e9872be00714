#pragma once

#include <functional>

#include "app/AdapterSnapshot.h"
#include "app/Discovery.h"
#include "app/FleetView.h"
#include "app/Homecoming.h"
#include "app/TarnWindow.h"
#include "engine/JobEvents.h"
#include "engine/JobRequest.h"
#include "util/Text.h"

// What the controller does around each workflow's job, on the job's thread: before it (the card
// read, the records begun, the receiver's mode), at each event (the list, the facts, the records)
// and after it (the card's route gone, the notes said, the list searched again).
class JobFrames {
public:
    struct Parts {
        TarnWindow& window;
        DiscoverySession& discovery;
        FleetView& fleet;
        AdapterSnapshot& card;
        Homecoming& homecoming;
        std::function<void(bool enable)> enableControls;
        std::function<void(const Text& why)> unstarted; // the job ends before it begins
    };
    explicit JobFrames(Parts parts) : m_parts(std::move(parts)) {}

    // Whether a job made of request begins at all.
    bool Admit(JobRequest& request);
    void Before(const JobRequest& request);
    void Event(const JobRequest& request, const Target& camera, const JobEvent& event);
    void After(const JobRequest& request, const JobSummary& summary);

private:
    Parts m_parts;
};
