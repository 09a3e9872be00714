// The window under load: 4,000 listed cameras, then an upgrade, a reset and a version check of
// 200 simulated cameras at once. Prints the longest stall of the window's thread (the largest gap
// between two ticks of a 1 ms timer), peak memory, the most threads and each phase's time, and
// checks that every camera ends in its right Status.
// Usage: window_load [IMAGE_MIB]   (default 32); needs root for the network namespaces.
#include <QApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QTableView>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "app/qt/MainWindow.h"
#include "tests/support/TestSupport.h"
#include "tests/support/VirtualLan.h"
#include "util/Trace.h"

namespace {

constexpr int kListed = 4000;
constexpr int kWorked = 200;

long statusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::string(field).size()));
    return -1;
}

int threads() {
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        (void)entry;
        ++n;
    }
    return n;
}

// Ticks every millisecond on the window's thread and keeps the longest gap between two ticks.
struct StallMeter {
    QTimer timer;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    int overFrame = 0; // gaps longer than one frame at 60 Hz
    int mostThreads = 0;
    int ticks = 0;

    StallMeter() {
        timer.setInterval(1);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const qint64 now = clock.nsecsElapsed();
            longest = std::max(longest, now - last);
            overFrame += now - last > 16'000'000;
            last = now;
            if (++ticks % 50 == 0)
                mostThreads = std::max(mostThreads, threads());
        });
    }
    void Start() {
        longest = 0;
        overFrame = 0;
        ticks = 0;
        clock.start();
        last = 0;
        timer.start();
    }
    double LongestMs() const { return static_cast<double>(longest) / 1e6; }
};

// Serves the window's events until done() holds or the limit passes; the seconds it took.
double runUntil(const std::function<bool()>& done, double limitSeconds) {
    auto start = std::chrono::steady_clock::now();
    while (!done() && std::chrono::steady_clock::now() - start < std::chrono::duration<double>(limitSeconds))
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The fleet's first kWorked cameras, 192.168.1.1 onward, are the ones with web sides.
bool worked(const std::string& ip) {
    if (ip.rfind("192.168.1.", 0) != 0)
        return false;
    const int host = std::atoi(ip.c_str() + 10);
    return host >= 1 && host <= kWorked;
}

void selectFleetWebRows(MainWindow& window) {
    auto* list = window.findChild<QTableView*>(QStringLiteral("listDevices"));
    QItemSelection rows;
    for (int r = 0; r < list->model()->rowCount(); ++r)
        if (worked(list->model()->index(r, 2).data().toString().toStdString()))
            rows.select(list->model()->index(r, 0), list->model()->index(r, 4));
    list->selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

// How many of the worked cameras show status; the first few that do not are printed.
int countStatus(MainWindow& window, const std::string& status) {
    int n = 0;
    int shown = 0;
    for (const ListRow& row : window.Controller().List().Rows()) {
        if (!worked(row[2]))
            continue;
        if (row[StatusColumn] == status && !row.failed)
            ++n;
        else if (shown++ < 5)
            std::printf("  %s %s: \"%s\"%s\n", row[1].c_str(), row[2].c_str(), row[StatusColumn].c_str(),
                        row.failed ? " (failed)" : "");
    }
    return n;
}

// The simulated cameras stand for other hardware on a gigabit link: they must not take the
// processor from the tool, and the host's card sends no faster than such a link carries.
void yieldSimulators(VirtualLan& lan) {
    int rc = -1;
    lan.RunInHost("tc qdisc add dev eth0 root tbf rate 1gbit burst 256kb latency 20ms", rc);
    if (rc != 0)
        std::fprintf(stderr, "window_load: could not limit the host's link to 1 Gbit/s\n");
    // Every thread of theirs: a nice value belongs to a thread, and new ones inherit their creator's.
    testsupport::RunCommand("for ns in $(ip netns list | awk '{print $1}' | grep '^fw" + lan.Id() +
                            "c'); do for p in $(ip netns pids $ns); do for t in /proc/$p/task/*; do "
                            "renice -n 19 -p ${t##*/} >/dev/null; done; done; done");
}

struct Stage {
    const char* name;
    double seconds = 0;
    double stallMs = 0;
    int overFrame = 0;
    int ticks = 0;
    int threads = 0;
    int right = 0;
};

void print(const Stage& p, int wanted) {
    std::printf("%-20s %6.2f s  longest stall %6.1f ms  gaps over 16 ms %4d of %6d ticks  threads %4d  peak %6.1f MiB"
                "  right %d of %d\n",
                p.name, p.seconds, p.stallMs, p.overFrame, p.ticks, p.threads,
                static_cast<double>(statusKiB("VmHWM:")) / 1024, p.right, wanted);
    std::fflush(stdout);
}

Stage measure(const char* name, StallMeter& meter, const std::function<void()>& start,
              const std::function<bool()>& done, double limit) {
    meter.Start();
    meter.mostThreads = threads();
    start();
    Stage p{name};
    p.seconds = runUntil(done, limit);
    runUntil([] { return false; }, 0.2); // the last repaints
    p.stallMs = meter.LongestMs();
    p.overFrame = meter.overFrame;
    p.ticks = meter.ticks;
    p.threads = meter.mostThreads;
    return p;
}

} // namespace

int main(int argc, char** argv) {
    if (auto why = VirtualLan::Unavailable(); !why.empty()) {
        std::fprintf(stderr, "window_load: %s\n", why.c_str());
        return 77;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("FLASHWELL_TIME_SCALE", "0.01", 1);
    SetTraceStream(nullptr);
    const std::size_t mib = argc > 1 ? static_cast<std::size_t>(std::atoi(argv[1])) : 32;
    testsupport::ScratchDir scratch;
    // Written in slices, so the benchmark's own memory does not hide the tool's peak.
    const std::string image = testsupport::WriteFirmwareImage(scratch.path(), "106", std::size_t{1024} * 1024);
    {
        std::ofstream grow(image, std::ios::binary | std::ios::app);
        const std::string slice(std::size_t{1024} * 1024, '\x5a');
        for (std::size_t i = 1; i < mib; ++i)
            grow << slice;
    }

    const std::string web = " --fleet-base 192.168.1.1 --mask 255.255.0.0 --burn-sec 2 --reboot-ms 2000";
    const long beforeKiB = statusKiB("VmHWM:");
    bool allRight = true;
    // A virtual LAN of `listed` simulated cameras, the first kWorked of them with web sides, and the
    // window over it after its start-up search; phases(window, meter) runs the measured work.
    auto onBench = [&](int listed, const std::string& version, const auto& phases) {
        VirtualLan lan({.cameras = {"--fleet " + std::to_string(listed) + " --fleet-web " + std::to_string(kWorked) +
                                    web + " --version " + version},
                        .hostIp = "192.168.0.10/16"});
        lan.EnterHost();
        yieldSimulators(lan);
        int qtArgc = 1;
        char name[] = "window_load";
        char* qtArgv[] = {name, nullptr};
        QApplication app(qtArgc, qtArgv);
        Clock clock(0.01);
        MainWindowHooks hooks;
        hooks.platform.stateFolder = scratch.path() + "/state";
        hooks.platform.recordsFolder = scratch.path() + "/jobs";
        MainWindow window(clock, hooks);
        window.show();
        StallMeter meter;
        window.Controller().OnInitDialog(); // start-up, before the window is shown to anyone
        runUntil([&] { return window.Controller().List().GetItemCount() >= listed; }, 30);
        phases(window, meter);
        window.close();
        lan.LeaveHost();
    };
    onBench(kListed, "V1.04", [&](MainWindow& window, StallMeter& meter) {
        auto& dlg = window.Controller();
        Stage list = measure(
            "search 4000 cameras", meter, [&] { dlg.OnSearch(); }, [&] { return dlg.List().GetItemCount() >= kListed; },
            30);
        list.right = dlg.List().GetItemCount();
        print(list, kListed);
        allRight = allRight && list.right == kListed;

        selectFleetWebRows(window);
        window.SetFieldText(Field::FirmwarePath, image);
        Stage upgrade = measure(
            "upgrade 200 cameras", meter, [&] { dlg.OnStartUpgrade(); },
            [&] { return !dlg.IsBusy() && !dlg.WorkflowRunning(); }, 600);
        upgrade.right = countStatus(window, "UPGRADE SUCCESSFUL");
        print(upgrade, kWorked);
        allRight = allRight && upgrade.right == kWorked;

        selectFleetWebRows(window);
        Stage reset = measure(
            "reset 200 cameras", meter, [&] { dlg.OnResetDefault(); },
            [&] { return !dlg.IsBusy() && !dlg.WorkflowRunning(); }, 600);
        reset.right = countStatus(window, "");
        print(reset, kWorked);
        allRight = allRight && reset.right == kWorked;
    });
    // The version check asks every listed camera, so it runs on a bench of the 200 alone.
    onBench(kWorked, "V1.06", [&](MainWindow& window, StallMeter& meter) {
        auto& dlg = window.Controller();
        Stage check = measure(
            "check 200 versions", meter, [&] { dlg.OnCheckVersion(); },
            [&] { return !dlg.IsBusy() && !dlg.WorkflowRunning(); }, 600);
        check.right = countStatus(window, "V1.06");
        print(check, kWorked);
        allRight = allRight && check.right == kWorked;
    });
    const long peakKiB = statusKiB("VmHWM:");
    std::printf("image %zu MiB; peak memory %.1f MiB (%.1f MiB before; target below image + 64 MiB = %zu MiB)\n", mib,
                static_cast<double>(peakKiB) / 1024, static_cast<double>(beforeKiB) / 1024, mib + 64);
    std::printf("every camera in its right Status: %s\n", allRight ? "yes" : "NO");
    return allRight ? 0 : 1;
}
