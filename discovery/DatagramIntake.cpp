#include "discovery/DatagramIntake.h"

#include "discovery/DeviceRows.h"
#include "discovery/DeviceTable.h"
#include "discovery/ListModel.h"
#include "discovery/WireProtocol.h"
#include "util/Trace.h"

DatagramIntake::DatagramIntake(DeviceTable& table, ListModel& list, std::atomic<int>& mode, std::mutex& entryLock,
                               ReceiverStats& stats)
    : m_table(table), m_list(list), m_mode(mode), m_entryLock(entryLock), m_stats(stats) {}

IntakeResult DatagramIntake::Take(std::span<const std::uint8_t> datagram) {
    DeviceReply reply;
    if (DeviceReply::parse(datagram, reply) != ParseStatus::Ok) {
        m_stats.rejected++;
        return IntakeResult::Rejected;
    }
    if (m_sighting)
        m_sighting(reply);
    DeviceInfo fresh = DeviceInfo::FromReply(reply);
    std::lock_guard entry(m_entryLock);
    // Hold drops the reply; so does a stop that has not yet been followed by a Search.
    if (m_mode.load() != kReceiverRun) {
        m_stats.held++;
        return IntakeResult::Held;
    }
    int rows = m_list.GetItemCount();
    fresh.rowIndex = rows;
    int position = m_table.FindOrAddDevice(fresh);
    if (position == DeviceTable::kTableFull) {
        // A flood of made-up MACs must not grow the table, or the list, without bound.
        if (m_stats.tableFull++ == 0)
            Trace("Device table full at %zu cameras: further new MAC addresses are not listed.\n", m_table.Capacity());
        return IntakeResult::TableFull;
    }
    WriteDeviceRow(m_list, position, fresh);
    m_stats.entered++;
    return IntakeResult::Entered;
}
