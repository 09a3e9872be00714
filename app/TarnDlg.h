#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/SettingsFile.h"
#include "app/TarnWindow.h"
#include "discovery/DeviceSort.h"
#include "discovery/DeviceTable.h"
#include "discovery/ListModel.h"
#include "discovery/Receiver.h"
#include "hostnet/HostAdapters.h"
#include "util/Clock.h"

// Where the controller gets what the operating system knows; tests inject their own.
struct ControllerPlatform {
    std::function<std::vector<AdapterData>()> readAdapters = ReadSystemAdapters;
    std::function<unsigned()> codePage;
};

// The main dialog's shared state and handlers, without any window framework.
class CTarnDlg {
public:
    using Platform = ControllerPlatform;

    CTarnDlg(TarnWindow& window, Clock& clock, Platform platform = {});
    ~CTarnDlg();
    CTarnDlg(const CTarnDlg&) = delete;
    CTarnDlg& operator=(const CTarnDlg&) = delete;

    // Start-up: language, defaults, device table, adapters, receiver and one Search. An adapter
    // choice given here replaces the default before the receiver starts.
    void OnInitDialog(std::optional<int> adapterChoice = std::nullopt);
    void OnSearch();
    void OnAdapterSelChange(int row);
    void OnListColumnClick(int column);
    void OnListDblClk(int row);
    // The window has shown its "Search Firmware" chooser: nothing when it was cancelled.
    void OnBrowseFile(const std::optional<std::string>& chosenPath);
    // The credentials dialog: what it shows at start, and its confirmation (false when the
    // file cannot be written; the login fields then stay as they were).
    StoredLogin LoadStoredLogin() const;
    bool OnSet(const StoredLogin& confirmed);
    // Account presets: row 0 "root", row 1 "admin"; any other row changes nothing.
    void OnAccountSelChange(int row);
    // Closing: wakes and joins every thread before the table is freed. Safe to call twice.
    void OnCancel();

    void EnableControls(bool enable);
    // True while "Starting Upgrade" is disabled: the list then refuses selection and sorting.
    bool IsBusy() const { return m_busy.load(); }
    void SetReceiverMode(int mode);
    int ReceiverModeValue() const { return m_receiverMode.load(); }
    void LockWork() { m_csWork.lock(); }
    void UnlockWork() { m_csWork.unlock(); }

    ListModel& List() { return m_listDevices; }
    DeviceTable* Table() { return m_table.get(); } // g_pDeviceList: null before start-up and after closing
    bool IsFailed(int row) const;
    const HostAdapterList& Adapters() const { return m_adapters; }
    int AdapterIndex() const { return m_nAdapterIndex; }
    const HostAdapter* ChosenAdapter() const;
    unsigned CodePage() const { return m_nOemCodePage; }
    bool ReceiverRunning() const { return m_receiver && m_receiver->Running(); }
    const std::string& ReceiverError() const { return m_receiverError; }
    const ReceiverStats* Stats() const { return m_receiver ? &m_receiver->Stats() : nullptr; }
    Clock& GetClock() { return m_clock; }
    TarnWindow& Window() { return m_window; }

    // The camera's web page address for a double-click.
    static std::string WebPageUrl(const DeviceInfo& d);

private:
    void startReceiver();
    void stopReceiver();

    TarnWindow& m_window;
    Clock& m_clock;
    Platform m_platform;
    unsigned m_nOemCodePage = 437;
    ListModel m_listDevices;
    std::unique_ptr<DeviceTable> m_table;
    HostAdapterList m_adapters;
    int m_nAdapterIndex = -1;
    std::atomic<int> m_receiverMode{kReceiverRun}; // g_nReceiverMode
    std::mutex m_entryLock;
    std::unique_ptr<Receiver> m_receiver;
    std::string m_receiverError;
    SortState m_sort;
    std::atomic<bool> m_busy{false};
    std::recursive_mutex m_csWork;
    bool m_closed = false;
};
