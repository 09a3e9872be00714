#pragma once

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "discovery/DeviceRows.h"
#include "tests/support/TestSupport.h"
#include "window/DeviceListModel.h"
#include "window/MainWindow.h"

// A failed comparison of window texts shows the texts, not their UTF-16 units.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

// Adapters without an IPv4 address: the controller starts no receiver and sends nothing.
inline ControllerPlatform QuietPlatform(unsigned codePage) {
    AdapterData a;
    a.description = "eth0 (e1000e)";
    a.interfaceName = "eth0";
    a.netConnectionStatus = 2;
    a.index = 2;
    ControllerPlatform platform{[a] { return std::vector<AdapterData>{a}; }, [codePage] { return codePage; }};
    platform.stateFolder.clear();                       // no journal: a test never reads or writes the operator's
    platform.lockScope = testsupport::UniqueId() + "-"; // tests run side by side, each on its own "eth0"
    return platform;
}

// A started window over a quiet platform, recording the addresses it was asked to open. A job that
// a test lets run needs a fake network: the system's would reach the cameras' addresses.
struct GuiFixture {
    explicit GuiFixture(unsigned codePage, MainWindowHooks hooks = {}, std::shared_ptr<CameraNetwork> network = {},
                        std::string stateFolder = {})
        : clock(0.001) {
        std::shared_ptr<LoginStore> logins = std::move(hooks.platform.logins);
        hooks.platform = QuietPlatform(codePage);
        hooks.platform.logins = std::move(logins);
        hooks.platform.stateFolder = std::move(stateFolder);
        if (network)
            hooks.platform.network = std::move(network);
        if (!hooks.openUrl)
            hooks.openUrl = [this](const std::string& url) {
                opened.push_back(url);
                return true;
            };
        window = std::make_unique<MainWindow>(clock, std::move(hooks));
        window->Controller().OnInitDialog();
        window->show();
        QApplication::processEvents();
    }

    // Enters a camera into the controller's table and list as a reply would.
    int AddCamera(const std::string& name, Ipv4 ip, std::uint8_t macTail, int webPort = 80) {
        DeviceInfo d{};
        d.ip = ip;
        d.mac = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, macTail};
        std::copy(name.begin(), name.end(), d.name.begin());
        d.webPort = webPort;
        DeviceTable& table = *window->Controller().Discovery().Table();
        d.rowIndex = static_cast<int>(table.Count()) + 1;
        const int row = WriteDeviceRow(window->Controller().Discovery().List(), table.FindOrAddDevice(d), d);
        Settle();
        return row;
    }

    // Writes a Status as a workflow does: the text, its progress and the failed mark.
    void SetStatus(int row, const StatusText& status, bool failed) {
        CTarnDlg& c = window->Controller();
        const Mac mac = c.Discovery().List().Row(row)->mac();
        c.Discovery().MarkFailed(mac, failed);
        c.Discovery().ShowStatus(mac, status.text, status.progress);
        Settle();
    }
    void SetStatus(int row, const std::string& text, bool failed) { SetStatus(row, StatusText{text, {}}, failed); }

    static void Settle() {
        for (int i = 0; i < 3; ++i) {
            QApplication::processEvents();
            // The list takes writes in once a frame; a test reads them at once.
            for (QWidget* top : QApplication::topLevelWidgets())
                for (auto* model : top->findChildren<DeviceListModel*>())
                    model->Sync();
        }
    }

    template <typename T> T* Find(const char* name) const { return window->findChild<T*>(QString::fromLatin1(name)); }
    QString Text(const char* name) const {
        if (auto* l = Find<QLabel>(name))
            return l->text();
        if (auto* e = Find<QLineEdit>(name))
            return e->text();
        if (auto* b = Find<QPushButton>(name))
            return b->text();
        return QStringLiteral("<missing %1>").arg(QString::fromLatin1(name));
    }

    Clock clock;
    std::vector<std::string> opened;
    std::unique_ptr<MainWindow> window;
};
