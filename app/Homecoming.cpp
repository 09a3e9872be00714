// The start-up's homecoming: the cameras an earlier run left at link-local addresses, sent home
// where the first search shows them, and what became of each, for the start's note and the console.
#include "app/Homecoming.h"

#include <chrono>
#include <cstdio>

#include "util/Trace.h"
#include "util/Utf8.h"

namespace {

using namespace std::chrono_literals;

// Replies to the start-up's search come within this: a reply window, which only a test shortens.
constexpr auto kStartSearchWait = 2000ms;
constexpr auto kLookEvery = 50ms;

Text who(const Target& camera) {
    return Note(QT_TRANSLATE_NOOP("Note", "%1 (%2)"), {camera.displayName, FormatMac(camera.mac)});
}

} // namespace

std::shared_ptr<JobRequest> Homecoming::Leftovers(const JobAdapter& card) {
    CameraNetwork& network = m_parts.network;
    RestoreJournal& journal = m_parts.journal;
    std::string problem;
    RestoreJournal::Contents pending = journal.Read(problem);
    if (!problem.empty()) {
        std::fprintf(stderr, "flashwell: %s\n", problem.c_str());
        m_replayed.push_back(Text(problem));
    }
    for (const PendingRoute& r : pending.routes) {
        // Another front end that is running now owns its entries; only a dead run's are leftovers.
        if (r.owner.Alive())
            continue;
        // The entry says where to look; what is removed is only a route with our mark, and only
        // while no job holds the card.
        const RouteReclaim reclaimed = network.ReclaimLinkLocalRoute(r.adapter);
        if (reclaimed == RouteReclaim::Busy || reclaimed == RouteReclaim::Failed) {
            m_replayed.push_back(
                reclaimed == RouteReclaim::Busy
                    ? Note(QT_TRANSLATE_NOOP("Note", "the link-local route an earlier run added on %1 is still there "
                                                     "(a job runs on that card now); the next start removes it"),
                           {r.adapter})
                    : Note(QT_TRANSLATE_NOOP("Note", "the link-local route an earlier run added on %1 is still there; "
                                                     "the next start removes it"),
                           {r.adapter}));
            continue;
        }
        if (auto removed = journal.RemoveRoute(r.adapter); !removed)
            m_replayed.push_back(removed.Said());
        if (reclaimed == RouteReclaim::Removed)
            m_replayed.push_back(Note(
                QT_TRANSLATE_NOOP("Note", "removed the link-local route an earlier run had added on %1"), {r.adapter}));
    }
    auto request = std::make_shared<JobRequest>();
    request->workflow = Workflow::Homecoming;
    request->adapter = card;
    for (const PendingRestore& r : pending.restores) {
        if (r.owner.Alive())
            continue;
        Target t;
        t.mac = r.mac;
        t.displayName = Printable(r.name);
        ParseIpv4(r.home, t.ip);
        t.awayAt = r.movedTo;
        t.homeCommand = r.command;
        if (r.adapter == card.interfaceName && card.index != 0) {
            request->targets.push_back(std::move(t));
            continue;
        }
        // Only a search on that card can show it home: it is sent there once, and kept.
        network.BroadcastDatagram(r.command.data(), r.command.size(), network.InterfaceIndex(r.adapter));
        m_replayed.push_back(Note(QT_TRANSLATE_NOOP("Note", "sent %1 (%2) back to %3 over %4; it counts as home once "
                                                            "Flashwell sees it there on that card"),
                                  {t.displayName, FormatMac(r.mac), r.home, r.adapter}));
    }
    for (const Text& line : m_replayed)
        Trace("Journal: %s\n", line.English().c_str());
    return request->targets.empty() ? nullptr : request;
}

bool Homecoming::LeaveAbsent(JobRequest& request) {
    Clock& clock = m_parts.clock;
    auto seen = [&](const Target& camera) { return m_parts.discovery.Shows(camera.mac); };
    auto allSeen = [&] {
        for (const Target& camera : request.targets)
            if (!seen(camera))
                return false;
        return true;
    };
    for (auto end = std::chrono::steady_clock::now() + clock.ReplyWindow(kStartSearchWait);
         std::chrono::steady_clock::now() < end && !allSeen() && !clock.Interrupted();)
        clock.Sleep(kLookEvery);
    std::vector<Target> here;
    m_absentAtStart.clear();
    for (Target& camera : request.targets)
        (seen(camera) ? here : m_absentAtStart).push_back(std::move(camera));
    request.targets = std::move(here);
    if (!request.targets.empty())
        return false;
    Report(request);
    return true;
}
void Homecoming::Report(const JobRequest& request) {
    std::size_t home = 0;
    for (const Target& camera : request.targets) {
        const auto outcome = m_parts.fleet.Outcome(camera.mac);
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
    m_parts.window.ShowNote(Note(QT_TRANSLATE_NOOP("Note", "At start-up: %1."), {said}), NoteKind::StartUp);
}
