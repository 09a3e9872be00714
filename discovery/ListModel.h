#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

inline constexpr int StatusColumn = 4;
inline constexpr int kColumnCount = 5;

using RowTexts = std::array<std::string, kColumnCount>; // Idx, Name, IP, MAC, Status (UTF-8)

// The device list's rows, framework-free and thread-safe. Writers never wait for a view:
// the view is told what changed and reads the rows when it repaints.
class ListModel {
public:
    enum class Change { Reset, RowAppended, RowChanged };
    using Listener = std::function<void(Change change, int row)>;

    // Called on the writer's thread, after the model's lock has been released.
    void SetListener(Listener listener);

    int GetItemCount() const;
    int InsertItem(const std::string& idxText); // appends; returns the new row
    void SetItemText(int row, int column, const std::string& text);
    std::string GetItemText(int row, int column) const;
    void DeleteAllItems();
    std::vector<RowTexts> Rows() const;

private:
    void notify(Change change, int row);

    mutable std::mutex m_lock;
    std::vector<RowTexts> m_rows;
    std::mutex m_listenerLock;
    Listener m_listener;
};
