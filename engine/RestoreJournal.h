#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "discovery/WireProtocol.h"
#include "util/Result.h"

// Who wrote an entry: the process (its id and start time, so that a reused id is not taken for it)
// and, within it, which journal, since tests run several controllers in one process.
struct JournalOwner {
    long pid = 0;
    unsigned long long started = 0;
    unsigned long long instance = 0;

    // True while that writer still runs: its entries are its own business, not a leftover.
    bool Alive() const;
};

// One camera a job moved to a link-local address and has not yet sent home: the datagram that
// does it, ready to send, and where it went.
struct PendingRestore {
    JournalOwner owner; // filled in by AddRestore
    Mac mac{};
    std::string name;                  // for the operator's message
    std::string home;                  // the address the command sends it back to
    std::string movedTo;               // its link-local address
    std::string adapter;               // the interface the job went through; its index may change across boots
    std::vector<std::uint8_t> command; // the set-network datagram, addressed to the MAC
    std::string since;                 // when it was first moved, ISO 8601 UTC; empty for older entries
};

// A link-local route a job added to the host and has not yet removed.
struct PendingRoute {
    JournalOwner owner; // filled in by AddRoute
    std::string adapter;
    unsigned ifindex = 0;
};

// What a job has changed and not yet put back, kept in a small JSON file so that a crash, a kill
// or a camera that was burning when the job ended is set right at the next start. The file is
// replaced atomically (a temporary in the same folder, then rename) under an advisory lock, so two
// front ends running at once never lose each other's entries. An empty folder disables it.
class RestoreJournal {
public:
    explicit RestoreJournal(std::string folder);
    ~RestoreJournal();
    RestoreJournal(const RestoreJournal&) = delete;
    RestoreJournal& operator=(const RestoreJournal&) = delete;

    // $XDG_STATE_HOME/flashwell, or ~/.local/state/flashwell; empty when neither can be formed.
    static std::string DefaultFolder();
    const std::string& Path() const { return m_path; }

    // Each fails, saying why with the journal's path, when the file cannot be written.
    // A camera already in the journal keeps the home it has there: a later job that moves it again
    // from where it is (its link-local address) records only where it goes, never that as its home.
    Result<> AddRestore(PendingRestore restore);
    Result<> RemoveRestore(const Mac& mac);
    // Forgets cameras whose way home is not wanted any more (a camera that left the bench): all of
    // them, or the one of mac, except those of another front end that runs now. How many went.
    Result<std::size_t> Forget(const std::optional<Mac>& mac);
    Result<> AddRoute(PendingRoute route);
    Result<> RemoveRoute(const std::string& adapter);

    struct Contents {
        std::vector<PendingRestore> restores;
        std::vector<PendingRoute> routes;
    };
    // The journal's text as this program writes it; a failure for anything else.
    static Result<Contents> Parse(std::string_view text);
    static std::string Format(const Contents& contents);
    // The link-local addresses where the journal's cameras are now or have their home: none of
    // them may be handed to another camera. A damaged file gives none (Read reports it).
    std::set<std::string> LinkLocalAddresses() const;
    // The cameras whose way home a job of this journal or a run that has ended left here: a job
    // on them works from their journalled home, not from where the list shows them.
    std::vector<PendingRestore> AwayFromHome() const;
    // Everything pending, read and left in place. A damaged file is set aside under a new name and
    // problem says so; the journal then starts empty.
    Contents Read(std::string& problem);

private:
    template <typename F> Result<> change(F f);
    Contents peek() const;
    bool mine(const JournalOwner& owner) const { return owner.pid == m_self.pid && owner.instance == m_self.instance; }

    std::string m_folder;
    std::string m_path;
    JournalOwner m_self;
};
