#pragma once

#include <functional>
#include <memory>

class DeviceTable;
class Event;
struct DeviceInfo;

// How a worker ends its camera's part of a job: the short ending skips the adapter restore.
enum class JobEnding { Short, Full };

// One worker's hold on its camera: the busy mark and the event its timed waits use. Ending it
// clears the mark and frees the event on every path out of the worker; the worker whose ending
// leaves no camera busy runs the job's closing part, exactly once per job.
class WorkerTicket {
public:
    using Closing = std::function<void(JobEnding)>;

    // Marks the record busy at once, so that a job's records are all busy before its first worker runs.
    WorkerTicket(DeviceTable& table, DeviceInfo* record, int row, Closing closing);
    ~WorkerTicket();
    WorkerTicket(const WorkerTicket&) = delete;
    WorkerTicket& operator=(const WorkerTicket&) = delete;

    DeviceInfo* Record() const { return m_record; }
    int Row() const { return m_row; }
    Event& Wake() { return *m_event; }

    // Clears the busy mark; the last ticket of the job runs the closing part. Later calls do nothing.
    void End(JobEnding ending);

private:
    DeviceTable& m_table;
    DeviceInfo* m_record;
    int m_row;
    std::unique_ptr<Event> m_event;
    Closing m_closing;
    bool m_ended = false;
};
