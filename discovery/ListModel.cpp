#include "discovery/ListModel.h"

#include "discovery/DeviceRows.h"

void ListModel::SetListener(Listener listener) {
    std::lock_guard guard(m_listenerLock);
    m_listener = std::move(listener);
}

void ListModel::notify(Change change, int row) {
    Listener listener;
    {
        std::lock_guard guard(m_listenerLock);
        listener = m_listener;
    }
    if (listener)
        listener(change, row);
}

std::string CellText(const ListRow& row, int column) {
    switch (column) {
    case 0:
        return IdxText(row.device.rowIndex);
    case 1:
        return NameText(row.device);
    case 2:
        return IpText(row.device);
    case 3:
        return MacText(row.device);
    case StatusColumn:
        return row.status.English();
    default:
        return {};
    }
}

int ListModel::rowLocked(int row) const {
    return row >= 0 && static_cast<std::size_t>(row) < m_rows.size() ? row : -1;
}

int ListModel::rowLocked(const Mac& mac) const {
    auto found = m_rowOf.find(mac);
    return found == m_rowOf.end() ? -1 : found->second;
}

template <typename Key, typename F> void ListModel::update(const Key& key, F f) {
    int row;
    {
        std::lock_guard guard(m_lock);
        row = rowLocked(key);
        if (row < 0)
            return;
        f(m_rows[static_cast<std::size_t>(row)]);
        m_changed.insert(row);
    }
    notify(Change::RowChanged, row);
}

int ListModel::RowOf(const Mac& mac) const {
    std::lock_guard guard(m_lock);
    return rowLocked(mac);
}

int ListModel::GetItemCount() const {
    std::lock_guard guard(m_lock);
    return static_cast<int>(m_rows.size());
}

int ListModel::AppendRow(const DeviceInfo& device) {
    int row;
    {
        std::lock_guard guard(m_lock);
        row = static_cast<int>(m_rows.size());
        ListRow added;
        added.device = device;
        m_rows.push_back(std::move(added));
        m_rowOf.emplace(device.mac, row); // the first row of a MAC keeps it, as the table does
        m_changed.insert(row);
    }
    notify(Change::RowAppended, row);
    return row;
}

void ListModel::Refresh(const Mac& mac, const DeviceInfo& fresh) {
    update(mac, [&fresh](ListRow& r) {
        const std::int32_t rowIndex = r.device.rowIndex;
        const std::int32_t failed = r.device.failed;
        r.device = fresh;
        r.device.rowIndex = rowIndex;
        r.device.failed = failed;
    });
}

void ListModel::SetStatus(const Mac& mac, const Text& status, std::optional<double> progress) {
    update(mac, [&status, progress](ListRow& r) {
        r.status = status;
        r.progress = progress;
    });
}

void ListModel::SetFailed(const Mac& mac, bool failed) {
    update(mac, [failed](ListRow& r) { r.device.failed = failed ? 1 : 0; });
}

void ListModel::SetAddress(const Mac& mac, const Ipv4& ip) {
    update(mac, [&ip](ListRow& r) { r.device.ip = ip; });
}

std::string ListModel::GetItemText(int row, int column) const {
    std::lock_guard guard(m_lock);
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size())
        return {};
    return CellText(m_rows[static_cast<std::size_t>(row)], column);
}

std::optional<ListRow> ListModel::Row(int row) const {
    std::lock_guard guard(m_lock);
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size())
        return std::nullopt;
    return m_rows[static_cast<std::size_t>(row)];
}

void ListModel::DeleteAllItems() {
    {
        std::lock_guard guard(m_lock);
        m_rows.clear();
        m_rowOf.clear();
        m_changed.clear();
        m_reset = true;
    }
    notify(Change::Reset, -1);
}

void ListModel::Reorder(const std::vector<int>& from) {
    {
        std::lock_guard guard(m_lock);
        std::vector<ListRow> rows;
        rows.reserve(m_rows.size());
        std::vector<bool> moved(m_rows.size());
        for (int row : from)
            if (rowLocked(row) >= 0 && !moved[static_cast<std::size_t>(row)]) {
                moved[static_cast<std::size_t>(row)] = true;
                rows.push_back(std::move(m_rows[static_cast<std::size_t>(row)]));
            }
        for (std::size_t row = 0; row < m_rows.size(); ++row)
            if (!moved[row])
                rows.push_back(std::move(m_rows[row]));
        m_rows = std::move(rows);
        m_rowOf.clear();
        for (std::size_t row = 0; row < m_rows.size(); ++row)
            m_rowOf.emplace(m_rows[row].mac(), static_cast<int>(row)); // the first row of a MAC keeps it
        m_changed.clear();
        m_reset = true;
    }
    notify(Change::Reset, -1);
}

std::vector<ListRow> ListModel::Rows() const {
    std::lock_guard guard(m_lock);
    return m_rows;
}

ListChanges ListModel::TakeChanges() {
    std::lock_guard guard(m_lock);
    return takeChangesLocked();
}

std::optional<ListChanges> ListModel::TryTakeChanges() {
    std::unique_lock guard(m_lock, std::try_to_lock);
    if (!guard.owns_lock())
        return std::nullopt;
    return takeChangesLocked();
}

ListChanges ListModel::takeChangesLocked() {
    ListChanges changes;
    changes.reset = std::exchange(m_reset, false);
    changes.rowCount = static_cast<int>(m_rows.size());
    if (changes.reset) {
        for (int row = 0; row < changes.rowCount; ++row)
            changes.rows.emplace_back(row, m_rows[static_cast<std::size_t>(row)]);
    } else {
        for (int row : m_changed)
            changes.rows.emplace_back(row, m_rows[static_cast<std::size_t>(row)]);
    }
    m_changed.clear();
    return changes;
}
