#include "discovery/ListModel.h"

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

namespace {

// A cell's write; a plain text in the Status column drops the progress that went with the old one.
auto cellWrite(int column, const std::string& text) {
    return [column, &text](ListRow& r) {
        r[static_cast<std::size_t>(column)] = text;
        if (column == StatusColumn)
            r.progress.reset();
    };
}

auto statusWrite(const std::string& text, std::optional<double> progress) {
    return [&text, progress](ListRow& r) {
        r[StatusColumn] = text;
        r.progress = progress;
    };
}

auto failedWrite(bool failed) {
    return [failed](ListRow& r) { r.failed = failed; };
}

bool validColumn(int column) {
    return column >= 0 && column < kColumnCount;
}

} // namespace

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

int ListModel::InsertItem(const std::string& idxText) {
    return AppendRow(RowTexts{idxText}, false);
}

int ListModel::AppendRow(const RowTexts& texts, bool failed, const Mac& mac) {
    int row;
    {
        std::lock_guard guard(m_lock);
        row = static_cast<int>(m_rows.size());
        ListRow added;
        static_cast<RowTexts&>(added) = texts;
        added.failed = failed;
        added.mac = mac;
        m_rows.push_back(std::move(added));
        if (mac != Mac{})
            m_rowOf.emplace(mac, row); // the first row of a MAC keeps it, as the table does
        m_changed.insert(row);
    }
    notify(Change::RowAppended, row);
    return row;
}

void ListModel::SetItemText(int row, int column, const std::string& text) {
    if (validColumn(column))
        update(row, cellWrite(column, text));
}

void ListModel::SetStatus(int row, const std::string& text, std::optional<double> progress) {
    update(row, statusWrite(text, progress));
}

void ListModel::SetFailed(int row, bool failed) {
    update(row, failedWrite(failed));
}

void ListModel::SetItemText(const Mac& mac, int column, const std::string& text) {
    if (validColumn(column))
        update(mac, cellWrite(column, text));
}

void ListModel::SetStatus(const Mac& mac, const std::string& text, std::optional<double> progress) {
    update(mac, statusWrite(text, progress));
}

void ListModel::SetFailed(const Mac& mac, bool failed) {
    update(mac, failedWrite(failed));
}

std::string ListModel::GetItemText(int row, int column) const {
    std::lock_guard guard(m_lock);
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size() || column < 0 || column >= kColumnCount)
        return {};
    return m_rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
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
            if (m_rows[row].mac != Mac{})
                m_rowOf.emplace(m_rows[row].mac, static_cast<int>(row)); // the first row of a MAC keeps it
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
