#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "helper/HelperProtocol.h"
#include "hostnet/Privileges.h"
#include "util/StopRequested.h"
#include "util/UniqueFd.h"

// Where the front ends find flashwell-helper: $FLASHWELL_HELPER where set (never in a process that
// gained privileges at exec), else the installed layout beside this program's own binary.
std::string DefaultHelperPath();

// What the helper file at path can do for this user, told from the file alone: whether it is
// there, whether this user may run it, and which of the two capabilities it would hold.
NetworkRights InspectHelper(const std::string& path);

// Starts flashwell-helper as a child over a socketpair when a privileged step needs it, and asks it
// for that step. A helper serves one card: the route of a card is asked of that card's keeper, so
// that the helper that added it is the one that takes it away; probes go to a pool of helpers of
// the card, callers at the same time one each, up to a limit; the discovery socket comes from a
// helper of its own that ends at once. Every helper ends when this object goes (end of input), or
// with the thread that started them all (parent-death signal), or with the process, and takes what
// it added with it.
class HelperClient {
public:
    static constexpr std::size_t kMaxHelpers = 16;

    explicit HelperClient(std::string path = DefaultHelperPath());
    ~HelperClient();
    HelperClient(const HelperClient&) = delete;
    HelperClient& operator=(const HelperClient&) = delete;

    const std::string& Path() const { return m_path; }

    // Sends one request and waits for its reply. nullopt (and a trace) when no helper could be
    // started, it went away, or the stop came first. A descriptor the reply carries goes to passed.
    std::optional<HelperReply> Call(const HelperRequest& request, const StopRequested& stop = {},
                                    UniqueFd* passed = nullptr);

private:
    struct Connection {
        UniqueFd socket;
        pid_t pid = -1;
        std::string card; // the card it serves; empty until a request named one
    };
    struct Launch {
        std::promise<std::optional<Connection>> done;
    };

    // One request on a connection; broken is set when the connection is of no further use.
    std::optional<HelperReply> exchange(Connection& connection, const HelperRequest& request, const StopRequested& stop,
                                        UniqueFd* passed, bool& broken);
    std::optional<HelperReply> callKeeper(const HelperRequest& request, const StopRequested& stop);
    std::optional<HelperReply> callOnce(const HelperRequest& request, const StopRequested& stop, UniqueFd* passed);
    std::optional<Connection> take(const std::string& card);
    void giveBack(Connection connection);
    void discard(Connection& connection);
    std::optional<Connection> launch();
    void launcherLoop(const std::stop_token& stop);

    std::string m_path;

    std::mutex m_keeperLock; // held for a whole call to a keeper: route changes are few and short
    std::map<std::string, Connection> m_keepers;

    std::mutex m_poolLock;
    std::condition_variable m_poolFreed;
    std::vector<Connection> m_idle;
    std::size_t m_running = 0; // idle and busy helpers

    std::mutex m_launchLock;
    std::condition_variable_any m_launchWake;
    std::deque<Launch*> m_launches;
    std::jthread m_launcher; // last member: it stops and joins before the rest goes
};
