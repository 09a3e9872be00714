#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "discovery/DatagramIntake.h"
#include "discovery/DiscoverySocket.h"
#include "util/PollThread.h"
#include "util/UniqueFd.h"

class DeviceTable;
class ListModel;

// The long-lived discovery listener of one adapter. Cameras answer by limited broadcast,
// which a socket bound to a unicast address never sees on Linux, so it listens on
// 0.0.0.0:4000 and keeps only datagrams that arrived on the chosen adapter.
class Receiver {
public:
    // The mode is shared by every receiver of one controller (run, hold, stop).
    Receiver(DeviceTable& table, ListModel& list, std::atomic<int>& mode, std::mutex& entryLock);
    ~Receiver();
    Receiver(const Receiver&) = delete;
    Receiver& operator=(const Receiver&) = delete;

    // Sets up the socket and starts the thread; on failure nothing runs and error says why.
    // Port 0 takes any free port (socket tests); BoundPort tells which. The socket comes from open
    // where given (the privileged helper holds the right to its large buffer), else from this process.
    bool Start(const std::string& adapterAddress, int interfaceIndex, std::string& error, std::uint16_t port = 4000,
               const DiscoverySocketOpener& open = {});
    // Wakes the thread, which then ends; joins it. Safe to call more than once.
    void Stop();
    bool Running() const { return m_thread.Running(); }
    // Every whole reply that arrived on the adapter, whatever the mode; set before Start.
    void OnSighting(DatagramIntake::Sighting sighting) { m_intake.OnSighting(std::move(sighting)); }
    std::uint16_t BoundPort() const { return m_port; }
    const ReceiverStats& Stats() const { return m_stats; }

private:
    void drain();

    ReceiverStats m_stats;
    DatagramIntake m_intake;
    UniqueFd m_socket;
    int m_interfaceIndex = 0;
    std::uint16_t m_port = 0;
    PollThread m_thread;
};
