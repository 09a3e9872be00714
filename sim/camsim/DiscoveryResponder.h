#pragma once

#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/camsim/Camera.h"
#include "util/PollThread.h"
#include "util/UniqueFd.h"

struct ResponderOptions {
    std::string iface; // empty: any interface of the namespace
    std::chrono::milliseconds replyDelay{0};
    bool applySetNetwork = true;
    int sendBufferBytes = 0;    // 0 keeps the kernel's default
    int receiveBufferBytes = 0; // a fleet hears its own burst and must not drop the next request
    bool junk = false;          // follow every answer with the malformed replies of JunkReplies()
    bool flood = false;         // from the first search on, repeat every camera's reply without pause
};

struct ResponderStats {
    std::atomic<std::uint64_t> searches{0};
    std::atomic<std::uint64_t> replies{0};
    std::atomic<std::uint64_t> setNetwork{0};
    std::atomic<std::uint64_t> ignored{0};
    std::atomic<std::uint64_t> lost{0}; // commands and searches dropped by --lose-commands, --lose-searches
    std::atomic<std::uint64_t> sendErrors{0};
    std::atomic<std::uint64_t> junk{0};
    std::atomic<std::uint64_t> flooded{0};
};

// The discovery side of one or many simulated cameras: one UDP socket on port 4000 and one
// thread that answers search requests and set-network commands for every camera it holds.
class DiscoveryResponder {
public:
    // Called on the responder thread after a camera took a new address.
    using NetworkChanged = std::function<void(Camera&, const NetworkState&)>;

    DiscoveryResponder(std::vector<std::shared_ptr<Camera>> cameras, ResponderOptions options);
    ~DiscoveryResponder();
    DiscoveryResponder(const DiscoveryResponder&) = delete;
    DiscoveryResponder& operator=(const DiscoveryResponder&) = delete;

    void onNetworkChanged(NetworkChanged callback) { m_networkChanged = std::move(callback); } // before Start
    // Opens the socket and starts the thread; on failure nothing runs and error says why.
    bool Start(std::string& error);
    // Wakes the thread and joins it. Safe to call more than once.
    void Stop();

    const std::vector<std::shared_ptr<Camera>>& cameras() const { return m_cameras; }
    const ResponderStats& stats() const { return m_stats; }

private:
    using Clock = std::chrono::steady_clock;

    // A search request waiting out the reply delay.
    struct Pending {
        Clock::time_point due;
        CameraFamily request;
        sockaddr_in from;
    };

    int nextTimeout();
    void drain();
    void handle(const std::uint8_t* data, std::size_t length, const sockaddr_in& from);
    void handleSetNetwork(const SetNetworkCommand& command, const std::string& source);
    void answerDue(Clock::time_point now);
    void answer(const Pending& search);
    std::size_t sendAll(const std::vector<DeviceReply>& replies);
    void sendJunk();
    // One round of the flood: every camera's reply once, without waiting for room in the queue.
    void floodOnce();
    int msUntilNextDue() const;

    std::vector<std::shared_ptr<Camera>> m_cameras;
    ResponderOptions m_options;
    NetworkChanged m_networkChanged;
    std::deque<Pending> m_pending;             // in arrival order, so also in due order
    std::optional<CameraFamily> m_floodFamily; // set by the first search when flooding
    UniqueFd m_socket;
    ResponderStats m_stats;
    PollThread m_thread; // last: stopped before the state it reads goes
};
