#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "discovery/WireProtocol.h"

inline constexpr int StatusColumn = 4;
inline constexpr int kColumnCount = 5;

using RowTexts = std::array<std::string, kColumnCount>; // Idx, Name, IP, MAC, Status (UTF-8)

// One row as a view paints it: the five texts, how far the running Status has come (a bar behind
// it), and whether the camera's last operation failed (a red Status).
struct ListRow : RowTexts {
    Mac mac{}; // the camera's key: what selection, sorting and the front ends go by, not the MAC text
    std::optional<double> progress; // 0..1 while a progress or countdown Status shows; none otherwise
    bool failed = false;
};

// What changed since a view last asked: everything (a reset), or the rows written since, with
// the row count now; rows at or past the view's count are new ones.
struct ListChanges {
    bool reset = false;
    int rowCount = 0;
    std::vector<std::pair<int, ListRow>> rows; // row number and its texts, ascending
};

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
    int AppendRow(const RowTexts& texts, bool failed, const Mac& mac = {});
    void SetItemText(int row, int column, const std::string& text);
    // The Status text with its progress; a plain text write drops the progress.
    void SetStatus(int row, const std::string& text, std::optional<double> progress);
    void SetFailed(int row, bool failed);
    // The same by the camera's MAC, wherever its row stands now; nothing when no row shows it.
    void SetItemText(const Mac& mac, int column, const std::string& text);
    void SetStatus(const Mac& mac, const std::string& text, std::optional<double> progress);
    void SetFailed(const Mac& mac, bool failed);
    int RowOf(const Mac& mac) const; // -1 when no row shows it
    std::string GetItemText(int row, int column) const;
    std::optional<ListRow> Row(int row) const;
    void DeleteAllItems();
    // Puts the rows in a new order, each whole as it stands: new row i is old row from[i]. A sort
    // moves rows and rewrites none; rows that from does not name follow, in their order.
    void Reorder(const std::vector<int>& from);
    // One consistent snapshot of every row.
    std::vector<ListRow> Rows() const;
    // The rows written since the last call, for the one view that repaints incrementally: a busy
    // list of thousands copies only what its workers touched.
    ListChanges TakeChanges();
    // The same, but only if no writer holds the rows at this moment: a window's thread must never
    // wait for a worker that the scheduler has put aside while it held the lock.
    std::optional<ListChanges> TryTakeChanges();

private:
    void notify(Change change, int row);
    ListChanges takeChangesLocked();
    // The row of a number or a MAC, -1 when there is none; with the lock held.
    int rowLocked(int row) const;
    int rowLocked(const Mac& mac) const;
    // Runs f on the row under the lock and notifies; a row that a Search has just removed is dropped.
    template <typename Key, typename F> void update(const Key& key, F f);

    mutable std::mutex m_lock;
    std::vector<ListRow> m_rows;
    std::map<Mac, int> m_rowOf; // rows that show a camera, by its MAC
    std::set<int> m_changed;    // rows written since the last TakeChanges
    bool m_reset = false;
    std::mutex m_listenerLock;
    Listener m_listener;
};
