#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "app/Discovery.h"
#include "app/FleetView.h"
#include "app/TarnWindow.h"
#include "engine/CameraNetwork.h"
#include "engine/JobRequest.h"
#include "engine/RestoreJournal.h"
#include "util/Clock.h"
#include "util/Result.h"
#include "util/Text.h"

// What an earlier run left behind and what this run made of it: its routes removed at start-up,
// its cameras at link-local addresses sent home where the first search shows them, one line each
// for the start's note and the console.
class Homecoming {
public:
    struct Parts {
        CameraNetwork& network;
        RestoreJournal& journal;
        const DiscoverySession& discovery;
        const FleetView& fleet;
        TarnWindow& window;
        Clock& clock;
    };
    explicit Homecoming(Parts parts) : m_parts(parts) {}

    // Removes the routes a dead run left and says which of its cameras the job on card must send
    // home (none when there are none); those on other cards are sent home from here, once.
    std::shared_ptr<JobRequest> Leftovers(const JobAdapter& card);
    // Waits for the start-up's search and takes the cameras it does not show out of the request,
    // for a later start; true when none is left, and then says so at once (the caller ends the
    // job unstarted).
    bool LeaveAbsent(JobRequest& request);
    // What became of each camera of the homecoming, said at once.
    void Report(const JobRequest& request);

    // What the start-up found pending and put right, one line each.
    const std::vector<Text>& Replayed() const { return m_replayed; }
    // How many cameras an earlier run left away were still not seen home by the start-up.
    std::size_t StillAwayAtStart() const { return m_stillAwayAtStart.load(); }
    // The journal's cameras away from home that this run may act on, and forgetting them (all, or
    // the one of mac): a camera that left the bench is then no longer sent home.
    std::vector<PendingRestore> AwayFromHome() const { return m_parts.journal.AwayFromHome(); }
    Result<std::size_t> ForgetAway(const std::optional<Mac>& mac) { return m_parts.journal.Forget(mac); }

private:
    Parts m_parts;
    std::vector<Text> m_replayed;
    std::atomic<std::size_t> m_stillAwayAtStart{0};
    std::vector<Target> m_absentAtStart; // journalled cameras the start-up's search did not show
};
