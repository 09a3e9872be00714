#include "app/WorkerTicket.h"

#include "discovery/DeviceTable.h"
#include "util/Event.h"

WorkerTicket::WorkerTicket(DeviceTable& table, DeviceInfo* record, int row, Closing closing)
    : m_table(table), m_record(record), m_row(row), m_event(std::make_unique<Event>()), m_closing(std::move(closing)) {
    m_table.SetBusy(m_record, m_event.get());
}

WorkerTicket::~WorkerTicket() {
    End(JobEnding::Full);
}

void WorkerTicket::End(JobEnding ending) {
    if (m_ended)
        return;
    m_ended = true;
    // Clearing the mark and asking whether another camera is busy is one step under the table's lock.
    bool last = m_table.ClearBusyAndCheckLast(m_record);
    // Nobody signals the event once the mark is gone (closing wakes busy records only).
    m_event.reset();
    if (last && m_closing)
        m_closing(ending);
}
