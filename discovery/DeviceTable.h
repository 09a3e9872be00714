#pragma once

#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>

#include "discovery/DeviceInfo.h"

// The program's memory of the cameras that answered, keyed by MAC, in the list's order (a sort
// reorders both). The front ends read the cameras from the list's rows by MAC, never from here
// by position.
class DeviceTable {
public:
    static constexpr int kNotInTable = -1; // FindOrAddDevice appended a new record
    static constexpr int kNoTable = -2;
    static constexpr int kTableFull = -3; // a new camera beyond the capacity was dropped
    // Far above any real segment, so that only a flood of made-up MACs ever meets it.
    static constexpr std::size_t kMaxCameras = 32768;

    explicit DeviceTable(std::size_t capacity = kMaxCameras) : m_capacity(capacity) {}
    DeviceTable(const DeviceTable&) = delete;
    DeviceTable& operator=(const DeviceTable&) = delete;

    // Enters a fresh record from a reply: the position of the refreshed record, kNotInTable for a
    // new one, or kTableFull when the table holds its capacity already.
    int FindOrAddDevice(const DeviceInfo& fresh);
    // The record at a position; valid until the next ClearDeviceTable.
    DeviceInfo* GetDeviceAt(int position);
    // A copy taken under the lock, for readers on other threads.
    std::optional<DeviceInfo> CopyDeviceAt(int position) const;
    DeviceInfo Copy(const DeviceInfo* record) const;
    void ClearDeviceTable();
    std::size_t Count() const;
    std::size_t Capacity() const { return m_capacity; }

    // Writes the failed mark of a record under the lock, so that readers on other threads never
    // see a torn value; by MAC, false when no record has it.
    void SetFailed(DeviceInfo* record, bool failed);
    bool SetFailed(const Mac& mac, bool failed);

    // Writes workflow fields of one record under the lock, so whole-record copies never tear.
    void Update(DeviceInfo* record, const std::function<void(DeviceInfo&)>& f);

    // Runs f with the lock held over the raw list (the sort relinks nodes in place).
    void WithLock(const std::function<void(std::list<std::unique_ptr<DeviceInfo>>&)>& f);

private:
    std::size_t m_capacity;
    mutable std::recursive_mutex m_lock; // DeviceTableLock: re-entrant like the original
    std::list<std::unique_ptr<DeviceInfo>> m_records;
};
