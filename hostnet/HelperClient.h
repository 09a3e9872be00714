#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <future>
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
// for that step. A helper is kept for later steps; callers at the same time get one each, up to a
// limit. Every helper ends when this object goes (end of input), or with the thread that started
// them all (parent-death signal), or with the process.
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
    };
    struct Launch {
        std::promise<std::optional<Connection>> done;
    };

    std::optional<Connection> take();
    void giveBack(Connection connection);
    void discard(Connection& connection);
    std::optional<Connection> launch();
    void launcherLoop(const std::stop_token& stop);

    std::string m_path;

    std::mutex m_poolLock;
    std::condition_variable m_poolFreed;
    std::vector<Connection> m_idle;
    std::size_t m_running = 0; // idle and busy helpers

    std::mutex m_launchLock;
    std::condition_variable_any m_launchWake;
    std::deque<Launch*> m_launches;
    std::jthread m_launcher; // last member: it stops and joins before the rest goes
};
