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

Text who(const Target& camera) {
    return Note(QT_TRANSLATE_NOOP("Note", "%1 (%2)"), {camera.displayName, FormatMac(camera.mac)});
}

} // namespace

bool CTarnDlg::leaveAbsent(JobRequest& request) {
    auto seen = [&](const Target& camera) { return m_discovery.Shows(camera.mac); };
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
        const auto outcome = m_fleet.Outcome(camera.mac);
        if (outcome && outcome->kind == OutcomeKind::Home) {
            ++home;
            m_replayed.push_back(
                Note(QT_TRANSLATE_NOOP("Note", "sent %1 from %2 back to %3, where an earlier job had to "
                                               "leave it"),
                     {who(camera), camera.awayAt, FormatIpv4(camera.ip)}));
        } else {
            m_replayed.push_back(Note(QT_TRANSLATE_NOOP("Note", "%1 is still away at %2: it was not seen back at %3, "
                                                                "and the next start sends it home again"),
                                      {who(camera), camera.awayAt, FormatIpv4(camera.ip)}));
        }
        Trace("Journal: %s\n", m_replayed.back().English().c_str());
    }
    for (const Target& camera : m_absentAtStart) {
        m_replayed.push_back(Note(QT_TRANSLATE_NOOP("Note", "%1 is still away at %2: a search on %3 did not show it "
                                                            "(not on this card's segment, or silent); nothing was "
                                                            "sent to it, and a later start sends it home to %4"),
                                  {who(camera), camera.awayAt, request.adapter.interfaceName, FormatIpv4(camera.ip)}));
        Trace("Journal: %s\n", m_replayed.back().English().c_str());
    }
    const std::size_t all = request.targets.size() + m_absentAtStart.size();
    const std::size_t away = all - home;
    m_stillAwayAtStart = away;
    Text said = m_replayed.back();
    if (all != 1) {
        said = Note(QT_TRANSLATE_NOOP("Note", "%1 of %2 cameras an earlier job had left at link-local addresses are "
                                              "back at their own addresses"),
                    {std::to_string(home), std::to_string(all)});
        if (away)
            said = Note(QT_TRANSLATE_NOOP("Note", "%1; %2 still away (the next start sends them home again)"),
                        {said, std::to_string(away)});
    }
    m_window.ShowNote(Note(QT_TRANSLATE_NOOP("Note", "At start-up: %1."), {said}), NoteKind::StartUp);
}
