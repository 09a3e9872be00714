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

int ListModel::GetItemCount() const {
    std::lock_guard guard(m_lock);
    return static_cast<int>(m_rows.size());
}

int ListModel::InsertItem(const std::string& idxText) {
    int row;
    {
        std::lock_guard guard(m_lock);
        row = static_cast<int>(m_rows.size());
        m_rows.push_back(RowTexts{idxText});
    }
    notify(Change::RowAppended, row);
    return row;
}

void ListModel::SetItemText(int row, int column, const std::string& text) {
    {
        std::lock_guard guard(m_lock);
        // A write to a row that a Search or an adapter change has just removed is dropped.
        if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size() || column < 0 || column >= kColumnCount)
            return;
        m_rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = text;
    }
    notify(Change::RowChanged, row);
}

std::string ListModel::GetItemText(int row, int column) const {
    std::lock_guard guard(m_lock);
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size() || column < 0 || column >= kColumnCount)
        return {};
    return m_rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

void ListModel::DeleteAllItems() {
    {
        std::lock_guard guard(m_lock);
        m_rows.clear();
    }
    notify(Change::Reset, -1);
}

std::vector<RowTexts> ListModel::Rows() const {
    std::lock_guard guard(m_lock);
    return m_rows;
}
