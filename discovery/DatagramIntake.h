#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>

class DeviceTable;
class ListModel;
struct DeviceReply;

enum ReceiverMode : int { kReceiverRun = 0, kReceiverHold = 1, kReceiverStop = 2 };

// Counters for diagnosis and benchmarks.
struct ReceiverStats {
    std::atomic<std::uint64_t> datagrams{0};
    std::atomic<std::uint64_t> foreignAdapter{0};
    std::atomic<std::uint64_t> rejected{0};
    std::atomic<std::uint64_t> held{0};
    std::atomic<std::uint64_t> entered{0};
    std::atomic<std::uint64_t> tableFull{0};
};

// What became of one datagram.
enum class IntakeResult { Rejected, Held, Entered, TableFull };

// The receive side without a socket: the tag and address tests, the mode test, and the entry of a
// reply into the table and its row. Tests feed it datagrams directly.
class DatagramIntake {
public:
    // The mode is shared by every receiver of one controller (run, hold, stop). The entry lock is
    // held from the mode test to the row write, so a Search never clears under a half-entered reply.
    DatagramIntake(DeviceTable& table, ListModel& list, std::atomic<int>& mode, std::mutex& entryLock,
                   ReceiverStats& stats);

    IntakeResult Take(std::span<const std::uint8_t> datagram);

    // Told of every whole reply, whatever the mode: a job that waits to see a camera at an address
    // needs its reply while the list is held. Set before the first datagram.
    using Sighting = std::function<void(const DeviceReply&)>;
    void OnSighting(Sighting sighting) { m_sighting = std::move(sighting); }

private:
    DeviceTable& m_table;
    ListModel& m_list;
    std::atomic<int>& m_mode;
    std::mutex& m_entryLock;
    ReceiverStats& m_stats;
    Sighting m_sighting;
};
