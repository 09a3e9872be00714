#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "engine/CameraMachine.h"
#include "engine/JobEvents.h"
#include "engine/JobRequest.h"
#include "util/Clock.h"

// One press of a workflow button: a state machine per camera and the fleet's rules over them (how
// many work at once, turns to upload, the first wave, the stop, the waits). It runs nothing and
// reads no clock: its driver hands it the time, the answers to the calls it asked for and the
// cameras' sightings, and carries out the work each Upkeep returns. So a test steps a whole fleet
// through turns, waves, stops and time-outs with a clock of its own, without a thread.
class Job {
public:
    using Moment = std::chrono::steady_clock::time_point;

    // A blocking call a camera's machine asked for: run it off the job's thread, then Feed its answer.
    struct Call {
        std::size_t camera;
        const CameraMachine* machine; // who asks: its camera and its detour; lives as long as the job
        Action action;
    };
    struct Work {
        std::vector<Call> calls;
        bool search = false; // a camera waits to be seen: broadcast a search
    };

    // While a camera waits to be seen, searches go out this often.
    static constexpr std::chrono::milliseconds kSearchInterval{500};

    // clock: only its scale is read, to turn the workflows' waits into time.
    Job(std::shared_ptr<const JobRequest> request, const Clock& clock, JobListener listener);

    // The job starts now; the first Upkeep hands out its first calls.
    void Begin(Moment now);
    // The answer to a camera's call.
    void Feed(std::size_t camera, const Input& input, Moment now);
    // A camera's search reply showed it at an address; news only to a camera waiting to be seen there.
    void Sighted(const Mac& mac, const Ipv4& at, Moment now);
    // A call that could not be run (no thread for it): nothing of it was sent.
    void Unrun(std::size_t camera, bool stopping, Moment now);
    // Ends the job soon: waits are cut short and the machines take their stopping paths.
    void Stop(Moment now);
    // Fires the waits that are due, admits cameras and hands out turns; what the driver does next.
    Work Upkeep(Moment now);

    // When the next wait ends or the next search is due; none while nothing waits on time.
    std::optional<Moment> NextDue() const;
    // The cameras waiting to be seen, and where: the sightings worth handing in.
    std::map<Mac, Ipv4> Awaited() const;
    bool Done() const { return m_ended == m_slots.size(); }
    bool Stopped() const { return m_stopApplied; }
    const JobSummary& Summary() const { return m_summary; }

    // The state machine that does the workflow's work for one camera.
    static std::unique_ptr<CameraMachine> MachineFor(const JobRequest& request, const Target& camera);

private:
    struct Slot {
        std::unique_ptr<CameraMachine> machine;
        enum class State { Queued, Running, Calling, Waiting, AwaitingTurn, Ended } state = State::Queued;
        std::uint64_t wait = 0; // which wait a timer or a sighting belongs to
        bool holdOnStop = false;
        Phase shownWaiting = Phase::Done; // what it was told it waits for: a turn, or the first wave
    };

    // How many cameras work at once: all, or one after another.
    std::size_t concurrency() const;
    std::size_t orEvery(std::size_t atOnce) const; // 0 stands for every camera of the job
    void admit(Moment now);
    void advance(std::size_t camera, Action action, Moment now);
    void await(std::size_t camera, const step::AwaitSighting& sighting, Moment now);
    void resume(std::size_t camera, const Input& input, Moment now);
    // Hands out turns to upload: in list order, so many at once, the rest of a fleet only after
    // its first wave upgraded.
    void grantTurns(Moment now);
    void showWaiting();
    // Whether the first wave let the rest through: unknown until all of it has ended.
    std::optional<bool> firstWavePassed() const;
    Clock::Milliseconds jobTime(Moment now) const;
    void publish(std::size_t camera);
    void ended(std::size_t camera);

    std::shared_ptr<const JobRequest> m_request;
    const Clock& m_clock;
    JobListener m_listener;
    std::vector<Slot> m_slots;
    std::map<Mac, std::size_t> m_byMac;
    std::size_t m_nextQueued = 0;
    std::size_t m_active = 0;
    std::size_t m_ended = 0;
    JobSummary m_summary;
    std::multimap<Moment, std::pair<std::size_t, std::uint64_t>> m_timers;
    std::uint64_t m_waits = 0;
    std::map<std::size_t, std::pair<Ipv4, std::uint64_t>> m_awaiting; // camera -> address, wait
    Moment m_nextSearch{};
    Moment m_started{};
    std::set<std::size_t> m_wantTurn; // in list order
    std::set<std::size_t> m_haveTurn;
    std::vector<Call> m_calls; // asked for since the last Upkeep
    bool m_stopApplied = false;
};
