#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "discovery/DeviceInfo.h"
#include "discovery/WireProtocol.h"
#include "util/Text.h"

inline constexpr int StatusColumn = 4;
inline constexpr int kColumnCount = 5; // Idx, Name, IP, MAC, Status

// One camera's row: the facts its replies gave, and its Status kept typed until a front end shows
// it (the window's list in English, the console in its language), and how far the running Status
// has come (a bar behind it); the record's failed mark is the row's red Status.
struct ListRow {
    DeviceInfo device{}; // device.mac is the row's key: selection, sorting and the front ends go by it
    Text status;
    std::optional<double> progress; // 0..1 while a progress or countdown Status shows; none otherwise

    const Mac& mac() const { return device.mac; }
    bool Failed() const { return device.failed != 0; } // the red mark: the last job failed it
};

// A cell as the list shows it, in English: "%03d", the name, the address, the MAC and the Status.
std::string CellText(const ListRow& row, int column);

// What changed since a view last asked: everything (a reset), or the rows written since, with
// the row count now; rows at or past the view's count are new ones.
struct ListChanges {
    bool reset = false;
    int rowCount = 0;
    std::vector<std::pair<int, ListRow>> rows; // row number and its texts, ascending
};

// The device list: one row per camera, keyed by its MAC, in the order a sort gave; framework-free
// and thread-safe. Writers never wait for a view: the view is told what changed and reads the
// rows when it repaints.
class ListModel {
public:
    enum class Change { Reset, RowAppended, RowChanged };
    using Listener = std::function<void(Change change, int row)>;

    // Called on the writer's thread, after the model's lock has been released.
    void SetListener(Listener listener);

    int GetItemCount() const;
    // Appends the row of a camera first seen, its Idx cell showing device.rowIndex.
    int AppendRow(const DeviceInfo& device);
    // A later reply of a listed camera (fresh.mac): its facts change, its Idx, Status and red mark stay.
    void Refresh(const Mac& mac, const DeviceInfo& fresh);
    // The Status with its progress, the red mark and the address, by the camera's MAC, wherever
    // its row stands now; nothing when no row shows it.
    void SetStatus(const Mac& mac, const Text& status, std::optional<double> progress);
    void SetFailed(const Mac& mac, bool failed);
    void SetAddress(const Mac& mac, const Ipv4& ip);
    int RowOf(const Mac& mac) const;                    // -1 when no row shows it
    std::string GetItemText(int row, int column) const; // CellText of a row; empty past the end
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
