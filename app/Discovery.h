#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "discovery/DatagramIntake.h"
#include "discovery/DeviceSort.h"
#include "discovery/DeviceTable.h"
#include "discovery/ListModel.h"
#include "discovery/Receiver.h"
#include "engine/CameraNetwork.h"
#include "hostnet/HostAdapters.h"

// The cameras this run has seen on the chosen card: the device table and its rows, the receiver
// that fills them, the search, the sort and the card choice. The controller decides when; this
// decides how, with one entry lock between a reply's arrival and a Search's clearing.
class DiscoverySession {
public:
    using Sighting = DatagramIntake::Sighting;

    DiscoverySession(CameraNetwork& network, bool listen) : m_network(network), m_listen(listen) {}
    ~DiscoverySession() { Close(); }
    DiscoverySession(const DiscoverySession&) = delete;
    DiscoverySession& operator=(const DiscoverySession&) = delete;

    // The table, the intake and the cards; a choice in range replaces the system's default card.
    // Every whole reply is told to sighted, whatever the receiver's mode.
    void Open(const std::vector<AdapterData>& cards, std::optional<int> choice, Sighting sighted);
    bool IsOpen() const { return m_table != nullptr; }
    // The receiver on the chosen card; false, with ReceiverError() saying why, when none runs.
    bool StartReceiver();
    void SetReceiverMode(int mode);
    int ReceiverModeValue() const { return m_receiverMode.load(); }
    // The list and the table emptied, and the two search requests sent from the chosen card.
    void Search();
    // The search requests alone: the list keeps what it has.
    void SendSearch();
    // Another card: the old receiver is joined and the list emptied; StartReceiver listens on it.
    void ChooseAdapter(int row);
    void SortBy(int column);
    // The receiver joined and the table freed; safe to call twice.
    void Close();

    // A job's writes, by MAC: the row moves with a sort, the key does not.
    void ShowStatus(const Mac& mac, const Text& status, std::optional<double> progress);
    void ShowAddress(const Mac& mac, const Ipv4& at);
    void MarkFailed(const Mac& mac, bool failed);
    bool Shows(const Mac& mac) const;
    bool IsFailed(int row) const;
    // The camera a row shows, as its row holds it.
    std::optional<DeviceInfo> CopyAt(int row) const;
    // Every listed camera, as its row holds it, in list order.
    std::vector<DeviceInfo> Records() const;

    const SortState& Sorting() const { return m_sort; }
    ListModel& List() { return m_list; }
    const ListModel& List() const { return m_list; }
    DeviceTable* Table() { return m_table.get(); } // g_pDeviceList: null before start-up and after closing
    // The receive side without a socket, for replies that tests deliver; null before start-up.
    DatagramIntake* Intake() { return m_intake.get(); }
    const HostAdapterList& Adapters() const { return m_adapters; }
    int AdapterIndex() const { return m_nAdapterIndex; }
    const HostAdapter* ChosenAdapter() const;
    bool ReceiverRunning() const { return m_receiver && m_receiver->Running(); }
    const std::string& ReceiverError() const { return m_receiverError; }
    const ReceiverStats* Stats() const { return m_receiver ? &m_receiver->Stats() : nullptr; }

private:
    void clear();

    CameraNetwork& m_network;
    bool m_listen;
    Sighting m_sighted;
    ListModel m_list;
    std::unique_ptr<DeviceTable> m_table;
    HostAdapterList m_adapters;
    int m_nAdapterIndex = -1;
    std::atomic<int> m_receiverMode{kReceiverRun}; // g_nReceiverMode
    std::mutex m_entryLock;
    ReceiverStats m_intakeStats;
    std::unique_ptr<DatagramIntake> m_intake;
    std::unique_ptr<Receiver> m_receiver;
    std::string m_receiverError;
    SortState m_sort;
};

// The camera's web page address for a double-click.
std::string WebPageUrl(const DeviceInfo& d);
