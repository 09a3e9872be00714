// The start-up's homecoming: the cameras an earlier run left at link-local addresses, sent home
// where the first search shows them, and what became of each, for the start's note and the console.
#include <chrono>

#include "app/TarnDlg.h"
#include "util/Trace.h"

namespace {

using namespace std::chrono_literals;

// Replies to the start-up's search come within this: a reply window, which only a test shortens.
constexpr auto kStartSearchWait = 2000ms;
constexpr auto kLookEvery = 50ms;

std::string who(const Target& camera) {
    return camera.displayName + " (" + FormatMac(camera.mac) + ")";
}

} // namespace

bool CTarnDlg::leaveAbsent(JobRequest& request) {
    auto seen = [&](const Target& camera) {
        bool found = false;
        m_table->WithLock([&](auto& records) {
            for (const auto& record : records)
                found = found || record->mac == camera.mac;
        });
        return found;
    };
    auto allSeen = [&] {
        for (const Target& camera : request.targets)
            if (!seen(camera))
                return false;
        return true;
    };
    for (auto end = std::chrono::steady_clock::now() + m_clock.ReplyWindow(kStartSearchWait);
         std::chrono::steady_clock::now() < end && !allSeen() && !m_clock.Interrupted();)
        m_clock.Sleep(kLookEvery);
    std::vector<Target> here;
    m_absentAtStart.clear();
    for (Target& camera : request.targets)
        (seen(camera) ? here : m_absentAtStart).push_back(std::move(camera));
    request.targets = std::move(here);
    if (!request.targets.empty())
        return false;
    reportHomecoming(request);
    endWorkflowUnstarted();
    return true;
}

void CTarnDlg::reportHomecoming(const JobRequest& request) {
    std::size_t home = 0;
    for (const Target& camera : request.targets) {
        const auto outcome = Outcome(camera.mac);
        if (outcome && outcome->kind == OutcomeKind::Home) {
            ++home;
            m_replayed.push_back("sent " + who(camera) + " from " + camera.awayAt + " back to " +
                                 FormatIpv4(camera.ip) + ", where an earlier job had to leave it");
        } else {
            m_replayed.push_back(who(camera) + " is still away at " + camera.awayAt + ": it was not seen back at " +
                                 FormatIpv4(camera.ip) + ", and the next start sends it home again");
        }
        Trace("Journal: %s\n", m_replayed.back().c_str());
    }
    for (const Target& camera : m_absentAtStart) {
        m_replayed.push_back(who(camera) + " is still away at " + camera.awayAt + ": a search on " +
                             request.adapter.interfaceName +
                             " did not show it (not on this card's segment, or silent); nothing was sent to it, and "
                             "a later start sends it home to " +
                             FormatIpv4(camera.ip));
        Trace("Journal: %s\n", m_replayed.back().c_str());
    }
    const std::size_t all = request.targets.size() + m_absentAtStart.size();
    const std::size_t away = all - home;
    m_stillAwayAtStart = away;
    std::string text = "At start-up: ";
    if (all == 1)
        text += m_replayed.back();
    else
        text += std::to_string(home) + " of " + std::to_string(all) +
                " cameras an earlier job had left at link-local addresses are back at their own addresses" +
                (away ? "; " + std::to_string(away) + " still away (the next start sends them home again)" : "");
    m_window.ShowNote(text + ".", NoteKind::StartUp);
}
