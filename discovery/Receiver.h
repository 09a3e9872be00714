#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

class DeviceTable;
class ListModel;

enum ReceiverMode : int { kReceiverRun = 0, kReceiverHold = 1, kReceiverStop = 2 };

// Counters for diagnosis and benchmarks.
struct ReceiverStats {
    std::atomic<std::uint64_t> datagrams{0};
    std::atomic<std::uint64_t> foreignAdapter{0};
    std::atomic<std::uint64_t> rejected{0};
    std::atomic<std::uint64_t> held{0};
    std::atomic<std::uint64_t> entered{0};
};

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
    bool Start(const std::string& adapterAddress, int interfaceIndex, std::string& error);
    // Wakes the thread, which then ends; joins it. Safe to call more than once.
    void Stop();
    bool Running() const { return m_thread.joinable(); }
    const ReceiverStats& Stats() const { return m_stats; }

private:
    void run();
    void handle(const std::uint8_t* data, std::size_t length);

    DeviceTable& m_table;
    ListModel& m_list;
    std::atomic<int>& m_mode;
    std::mutex& m_entryLock; // held from the mode test to the row write; Search clears under it
    int m_socket = -1;
    int m_wake = -1;
    int m_interfaceIndex = 0;
    ReceiverStats m_stats;
    std::thread m_thread;
};
