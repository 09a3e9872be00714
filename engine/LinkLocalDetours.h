#pragma once

#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <string>

#include "engine/CameraMachine.h"
#include "engine/CameraNetwork.h"
#include "engine/JobRequest.h"
#include "engine/RestoreJournal.h"
#include "engine/Steps.h"

// Bounds that keep a move from probing for ever on a segment that answers every address.
inline constexpr int kMaxArpCandidates = 64;

// The set-network command that moves a camera to a link-local address for a job, and the one
// that sends it back to the address it had when the job was built.
SetNetworkCommand DetourCommand(const Target& camera, const std::string& linkLocal, DetourKind kind,
                                const Login& login);
SetNetworkCommand RestoreCommand(const Target& camera, DetourKind kind, const Login& login);

// The netmask of an address's class: 1-125, 128-190 and 192-222; nothing for other first octets.
std::optional<Ipv4> ClassMaskFor(std::uint8_t firstOctet);

// The link-local addresses a card tries, in order (RFC 3927, 2.1): pseudo-random from a seed of the
// card's own MAC, so that two computers on one segment do not try the same ones in the same order,
// within 169.254.1.0 to 169.254.254.255 and never ending in .0 or .255.
class LinkLocalSequence {
public:
    explicit LinkLocalSequence(const Mac& card);
    std::string Next();

private:
    std::minstd_rand m_random;
};

// Moving cameras to link-local addresses (RFC 3927) and back, for every job of one controller:
// the on-link route a job needs, the addresses handed out in this run (never one twice, nor one
// where the journal says a camera sits), and the journal that keeps each moved camera's way home on
// disk before the camera moves. A camera's entry leaves the journal only when it has been seen
// home. Safe to call from several threads.
class LinkLocalDetours {
public:
    LinkLocalDetours(CameraNetwork& network, RestoreJournal& journal, StopRequested stop);

    // A free link-local address of the camera's own, journalled, then the command that moves it.
    // Nothing is sent when its way home cannot be written.
    input::Moved Move(const Target& camera, DetourKind kind, const Login& login, const JobAdapter& adapter);
    // The command to its link-local address once more, for a camera not yet seen there.
    void SendDetour(const Target& camera, DetourKind kind, const Login& login, const JobAdapter& adapter,
                    const std::string& address);
    // The command back to its own address (the journal's own, for a camera an earlier run left away).
    void SendHome(const Target& camera, DetourKind kind, const Login& login, const JobAdapter& adapter);
    // It is home, or goes home by itself (a factory reset): its journal entry goes.
    void Forget(const Mac& camera);
    // Removes the route that a job added; the failure says why when it is still there.
    Result<> RemoveRoute(const JobAdapter& adapter);

private:
    Result<> ensureRoute(const JobAdapter& adapter);
    MoveResult claim(std::string& address, const JobAdapter& adapter);
    std::string candidate(const JobAdapter& adapter);
    void send(const SetNetworkCommand& command, const JobAdapter& adapter);

    CameraNetwork& m_network;
    RestoreJournal& m_journal;
    StopRequested m_stop;
    std::recursive_mutex m_csWork;             // the work lock: the drawing of addresses and the route
    std::optional<LinkLocalSequence> m_random; // drawn only under m_csWork
    Mac m_seededFor{};                         // the card it was seeded from
    std::set<std::string> m_linkLocalAssigned; // every address handed out in this run
    unsigned m_routeAddedOn = 0;               // the interface whose route a job added; 0 for none
};
