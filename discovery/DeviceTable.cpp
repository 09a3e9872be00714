#include "discovery/DeviceTable.h"

#include <algorithm>
#include <cstring>
#include <new>

DeviceInfo DeviceInfo::FromReply(const DeviceReply& reply) {
    DeviceInfo d;
    std::memcpy(d.tag.data(), reply.family == CameraFamily::Maker ? "KXCam" : "IPCam", 5);
    d.ip = reply.ip;
    d.netmask = reply.netmask;
    d.mac = reply.mac;
    d.gateway = reply.gateway;
    // 18 bytes from the wire at most, whatever the datagram held; the rest stays NUL.
    std::memcpy(d.name.data(), reply.name.data(), 18);
    d.ifType = reply.ifType;
    d.webPort = reply.webPort();
    d.kind = static_cast<std::int32_t>(reply.family);
    return d;
}

namespace {

void refresh(DeviceInfo& stored, const DeviceInfo& fresh) {
    stored.tag = fresh.tag;
    stored.ip = fresh.ip;
    stored.netmask = fresh.netmask;
    stored.mac = fresh.mac;
    stored.gateway = fresh.gateway;
    stored.name = fresh.name;
    stored.ifType = fresh.ifType;
    stored.webPort = fresh.webPort;
    stored.kind = fresh.kind;
}

} // namespace

int DeviceTable::FindOrAddDevice(const DeviceInfo& fresh) {
    std::lock_guard guard(m_lock);
    int position = 0;
    for (auto& record : m_records) {
        if (record->mac == fresh.mac) {
            refresh(*record, fresh);
            return position;
        }
        ++position;
    }
    if (m_records.size() >= m_capacity)
        return kTableFull;
    auto record = std::unique_ptr<DeviceInfo>(new (std::nothrow) DeviceInfo{});
    if (!record)
        return kNotInTable;
    refresh(*record, fresh);
    record->rowIndex = fresh.rowIndex;
    m_records.push_back(std::move(record));
    return kNotInTable;
}

DeviceInfo* DeviceTable::GetDeviceAt(int position) {
    std::lock_guard guard(m_lock);
    if (position < 0 || static_cast<std::size_t>(position) >= m_records.size())
        return nullptr;
    return std::next(m_records.begin(), position)->get();
}

std::optional<DeviceInfo> DeviceTable::CopyDeviceAt(int position) const {
    std::lock_guard guard(m_lock);
    if (position < 0 || static_cast<std::size_t>(position) >= m_records.size())
        return std::nullopt;
    return **std::next(m_records.begin(), position);
}

DeviceInfo DeviceTable::Copy(const DeviceInfo* record) const {
    std::lock_guard guard(m_lock);
    return *record;
}

void DeviceTable::ClearDeviceTable() {
    std::lock_guard guard(m_lock);
    m_records.clear();
}

std::size_t DeviceTable::Count() const {
    std::lock_guard guard(m_lock);
    return m_records.size();
}

void DeviceTable::SetFailed(DeviceInfo* record, bool failed) {
    std::lock_guard guard(m_lock);
    record->failed = failed ? 1 : 0;
}

bool DeviceTable::SetFailed(const Mac& mac, bool failed) {
    std::lock_guard guard(m_lock);
    for (auto& record : m_records)
        if (record->mac == mac) {
            record->failed = failed ? 1 : 0;
            return true;
        }
    return false;
}

void DeviceTable::Update(DeviceInfo* record, const std::function<void(DeviceInfo&)>& f) {
    std::lock_guard guard(m_lock);
    f(*record);
}

void DeviceTable::WithLock(const std::function<void(std::list<std::unique_ptr<DeviceInfo>>&)>& f) {
    std::lock_guard guard(m_lock);
    f(m_records);
}
