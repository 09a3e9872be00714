#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include "app/JobRecords.h"
#include "app/StatusTexts.h"
#include "engine/JobEvents.h"
#include "engine/JobProgress.h"
#include "engine/JobRequest.h"

// What a camera last said of itself: its model and firmware version.
struct CameraFacts {
    std::string model;
    std::string version;
};

// What the jobs of this run made of one camera, kept typed; its Status is its row's.
struct FleetCamera {
    std::optional<CameraFacts> facts;     // from any job of this run
    std::optional<CameraOutcome> outcome; // how the current or last job ended it
    std::optional<CameraView> running;    // where the running job is with it
};

// The jobs' events as the list and the progress line see them, by MAC, under a lock of its own:
// one place for every camera's phase, outcome and facts, written on the job's thread and read
// by the front ends on theirs.
class FleetView {
public:
    using Moment = std::chrono::steady_clock::time_point;

    // recordsFolder: where each job's file of records goes.
    explicit FleetView(std::string recordsFolder) : m_records(std::move(recordsFolder)) {}

    // A job begins: the last one's outcomes and phases go, and its own cameras are the ones counted
    // ("5 of 5 done" after a question about 3 counted those too).
    void Begin(const JobRequest& request, Moment now);
    // What one event changes where a front end can see it.
    struct Seen {
        std::optional<StatusText> status; // the row's new Status (empty on a start); none: it stays
        Text progress;                    // the progress line, when it is due
        JobListener listener;             // who else is told of the event
    };
    // A camera's end is also appended to the job's records.
    Seen On(const JobRequest& request, const Target& camera, const JobEvent& event, Moment now);
    // The job ended, leaving these cameras away from home.
    void End(std::vector<Text> away);

    std::optional<FleetCamera> Camera(const Mac& mac) const;
    std::optional<CameraFacts> Facts(const Mac& mac) const;
    std::optional<CameraOutcome> Outcome(const Mac& mac) const;
    // How many cameras of the running job are in each phase (those that ended are not counted).
    std::map<Phase, int> RunningPhases() const;
    // The cameras the last job could not see back at their own addresses, one line each.
    std::vector<Text> LastAway() const;
    // "12 of 200 done, 2 failed, about 4 min left" for the running job, or how the last one ended.
    Text ProgressText(Moment now = std::chrono::steady_clock::now()) const;
    // Also told of every event of every job, on the job's thread (the console's progress lines).
    void SetJobListener(JobListener listener);
    // The cameras of a failed first wave that held the rest back, each with how it ended; empty
    // when the wave passed.
    Text HeldTheFirstWave(const JobRequest& request) const;
    // The records of the current or last job; they are also appended to its file as cameras end.
    JobRecords& Records() { return m_records; }
    const JobRecords& Records() const { return m_records; }

private:
    mutable std::mutex m_lock;
    std::map<Mac, FleetCamera> m_cameras;
    std::vector<Text> m_lastAway;
    JobListener m_listener;
    JobProgress m_progress;
    std::set<Mac> m_counted; // the cameras the progress line counts
    Moment m_progressShown{};
    JobRecords m_records; // a lock of its own
};
