// The window under load: 4,000 listed cameras, then an upgrade, a reset and a version check of
// 200 simulated cameras at once. Prints the longest stall of the window's thread (the largest gap
// between two ticks of a 1 ms timer) and the longest wait of an event posted to it from another
// thread every millisecond, peak memory, the most threads and each phase's time, and
// checks that every camera ends in its right Status. The simulated cameras run at idle priority
// behind the host card (1 Gbit/s unless RATE says otherwise, e.g. 100mbit for a bench's card): they
// stand in for other hardware, so the figures are the tool's.
// Usage: window_load [IMAGE_MIB] [RATE]   (default 32 1gbit); needs root for the network namespaces.
#include <QApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QTableView>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchSupport.h"
#include "tests/support/TestSupport.h"
#include "tests/support/VirtualLan.h"
#include "util/Trace.h"
#include "window/MainWindow.h"

namespace {

constexpr int kListed = 4000;
constexpr int kWorked = 200;

// The calling thread's time on a processor and its time runnable in the queue, in nanoseconds.
std::pair<qint64, qint64> threadTimes() {
    std::ifstream stat("/proc/thread-self/schedstat");
    qint64 ran = 0, queued = 0;
    stat >> ran >> queued;
    return {ran, queued};
}

// Ticks every millisecond on the window's thread and keeps the longest gap between two ticks.
struct StallMeter {
    QTimer timer;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    qint64 longestAt = 0;     // when the longest gap ended
    qint64 longestRan = 0;    // of it, the window's thread ran (its own work, and interrupts on its processor)
    qint64 longestQueued = 0; // was ready to run but had no processor; the rest it slept
    qint64 mostRan = 0;       // the most the window's thread ran between two ticks: its longest piece of work
    qint64 mostRanAt = 0;
    qint64 ranInAll = 0;
    std::pair<qint64, qint64> lastTimes{};
    int overFrame = 0;       // gaps longer than one frame at 60 Hz
    int overFrameBusy = 0;   // of them, gaps the window's thread spent mostly running
    int overFrameQueued = 0; // and mostly waiting for a processor
    // Sampled on a thread of their own: reading /proc can block, and must not stall what is measured.
    std::atomic<int> mostThreads = 0;
    std::atomic<long> mostRssKiB = 0;
    std::atomic<long> mostAnonKiB = 0; // of it, what the process allocated rather than mapped from files
    int ticks = 0;
    // What a technician feels: how long an event posted to the window's thread waits to be served.
    // A late tick may be the timer's own lateness while the thread sleeps in its event loop, ready.
    QObject receiver;
    int generation = 0; // events posted for an earlier phase are not counted in this one
    qint64 longestWait = 0;
    int waitsOverFrame = 0;
    int posted = 0;
    std::jthread sampler;
    std::jthread poster;

    StallMeter() {
        timer.setInterval(1);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const qint64 now = clock.nsecsElapsed();
            const auto times = threadTimes();
            const qint64 ran = times.first - lastTimes.first;
            const qint64 queued = times.second - lastTimes.second;
            if (now - last > longest) {
                longest = now - last;
                longestAt = now;
                longestRan = ran;
                longestQueued = queued;
            }
            ranInAll += ran;
            if (ran > mostRan) {
                mostRan = ran;
                mostRanAt = now;
            }
            overFrame += now - last > 16'000'000;
            overFrameBusy += now - last > 16'000'000 && 2 * ran > now - last;
            overFrameQueued += now - last > 16'000'000 && 2 * queued > now - last;
            lastTimes = times;
            last = now;
            ++ticks;
        });
    }
    void Start() {
        longest = 0;
        mostRan = 0;
        ranInAll = 0;
        overFrame = 0;
        overFrameBusy = 0;
        overFrameQueued = 0;
        ticks = 0;
        mostRssKiB = 0;
        mostAnonKiB = 0;
        mostThreads = ThreadCount();
        clock.start();
        last = 0;
        lastTimes = threadTimes();
        timer.start();
        longestWait = 0;
        waitsOverFrame = 0;
        posted = 0;
        const int phase = ++generation;
        poster = std::jthread([this, phase](const std::stop_token& stop) {
            while (!stop.stop_requested()) {
                const auto sent = std::chrono::steady_clock::now();
                QMetaObject::invokeMethod(
                    &receiver,
                    [this, phase, sent] {
                        if (phase != generation)
                            return;
                        const qint64 waited = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                  std::chrono::steady_clock::now() - sent)
                                                  .count();
                        longestWait = std::max(longestWait, waited);
                        waitsOverFrame += waited > 16'000'000;
                        ++posted;
                    },
                    Qt::QueuedConnection);
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        sampler = std::jthread([this](const std::stop_token& stop) {
            while (!stop.stop_requested()) {
                mostThreads = std::max(mostThreads.load(), ThreadCount());
                mostRssKiB = std::max(mostRssKiB.load(), StatusKiB("VmRSS:"));
                mostAnonKiB = std::max(mostAnonKiB.load(), StatusKiB("RssAnon:"));
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        });
    }
    void Stop() {
        sampler = {};
        poster = {};
        timer.stop();
    }
    double LongestMs() const { return static_cast<double>(longest) / 1e6; }
};

// Serves the window's events until done() holds or the limit passes; the seconds it took.
// The loop sleeps between events as a window's does: a thread that spins uses up its share of the
// processor and then waits behind every other thread, which no real window does.
double runUntil(const std::function<bool()>& done, double limitSeconds) {
    QTimer look; // wakes the loop to ask done()
    look.start(5);
    auto start = std::chrono::steady_clock::now();
    while (!done() && std::chrono::steady_clock::now() - start < std::chrono::duration<double>(limitSeconds))
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The fleet's first kWorked cameras (MACs 02:fe:00:00:00:01 onward) are the ones with web sides;
// known by MAC, since a reset moves their rows to the factory address.
bool worked(const std::string& mac) {
    Mac m{};
    if (!ParseMac(mac, m) || m[0] != 0x02 || m[1] != 0xfe || m[2] != 0x00)
        return false;
    const int index = (m[3] << 16) | (m[4] << 8) | m[5];
    return index >= 1 && index <= kWorked;
}

void selectFleetWebRows(MainWindow& window) {
    auto* list = window.findChild<QTableView*>(QStringLiteral("listDevices"));
    QItemSelection rows;
    for (int r = 0; r < list->model()->rowCount(); ++r)
        if (worked(list->model()->index(r, 3).data().toString().toStdString()))
            rows.select(list->model()->index(r, 0), list->model()->index(r, 4));
    list->selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

// How many of the worked cameras show status; the first few that do not are printed.
int countStatus(MainWindow& window, const std::string& status) {
    int n = 0;
    int shown = 0;
    for (const ListRow& row : window.Controller().Discovery().List().Rows()) {
        if (!worked(CellText(row, 3)))
            continue;
        if (row.status.English() == status && !row.Failed())
            ++n;
        else if (shown++ < 5)
            std::printf("  %s %s: \"%s\"%s\n", CellText(row, 1).c_str(), CellText(row, 2).c_str(),
                        row.status.English().c_str(), row.Failed() ? " (failed)" : "");
    }
    return n;
}

struct Stage {
    const char* name = "";
    double seconds = 0;
    double stallMs = 0;
    double stallAt = 0;
    double stallRanMs = 0;
    double stallQueuedMs = 0;
    double mostRanMs = 0;
    double mostRanAt = 0;
    double ranInAllS = 0;
    int overFrame = 0;
    int overFrameBusy = 0;
    int overFrameQueued = 0;
    int ticks = 0;
    double waitMs = 0;
    int waitsOverFrame = 0;
    int posted = 0;
    int threads = 0;
    long rssKiB = 0;
    long anonKiB = 0;
    int right = 0;
    std::string processors;
};

long g_mostAnonKiB = 0; // over every phase

void print(const Stage& p, int wanted) {
    g_mostAnonKiB = std::max(g_mostAnonKiB, p.anonKiB);
    std::printf("%-20s %6.2f s  longest stall %5.1f ms at %6.2f s (ran %4.1f, queued %4.1f)  over 16 ms %3d (%d ran, "
                "%d queued) of %6d ticks  threads %4d  most RSS %5.1f MiB (anonymous %5.1f)  right %d of %d\n",
                p.name, p.seconds, p.stallMs, p.stallAt, p.stallRanMs, p.stallQueuedMs, p.overFrame, p.overFrameBusy,
                p.overFrameQueued, p.ticks, p.threads, static_cast<double>(p.rssKiB) / 1024,
                static_cast<double>(p.anonKiB) / 1024, p.right, wanted);
    std::printf("%-20s posted events: longest wait %5.1f ms, over 16 ms %d of %d; the window's thread ran at most "
                "%4.1f ms on end (at %.2f s), %.2f s in all\n",
                "", p.waitMs, p.waitsOverFrame, p.posted, p.mostRanMs, p.mostRanAt, p.ranInAllS);
    std::printf("%-20s %s\n", "", p.processors.c_str());
    std::fflush(stdout);
}

Stage measure(const char* name, StallMeter& meter, const std::vector<int>& cameras, const std::function<void()>& start,
              const std::function<bool()>& done, double limit) {
    const ProcessorTime before = ProcessorTime::Now(cameras);
    meter.Start();
    start();
    Stage p;
    p.name = name;
    p.seconds = runUntil(done, limit);
    p.processors = ProcessorShares(before, ProcessorTime::Now(cameras), p.seconds);
    runUntil([] { return false; }, 0.2); // the last repaints
    meter.Stop();
    p.stallMs = meter.LongestMs();
    p.overFrame = meter.overFrame;
    p.overFrameBusy = meter.overFrameBusy;
    p.overFrameQueued = meter.overFrameQueued;
    p.ticks = meter.ticks;
    p.waitMs = static_cast<double>(meter.longestWait) / 1e6;
    p.waitsOverFrame = meter.waitsOverFrame;
    p.posted = meter.posted;
    p.threads = meter.mostThreads;
    p.rssKiB = meter.mostRssKiB;
    p.anonKiB = meter.mostAnonKiB;
    p.stallAt = static_cast<double>(meter.longestAt) / 1e9;
    p.stallRanMs = static_cast<double>(meter.longestRan) / 1e6;
    p.stallQueuedMs = static_cast<double>(meter.longestQueued) / 1e6;
    p.mostRanMs = static_cast<double>(meter.mostRan) / 1e6;
    p.mostRanAt = static_cast<double>(meter.mostRanAt) / 1e9;
    p.ranInAllS = static_cast<double>(meter.ranInAll) / 1e9;
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
    const std::string rate = argc > 2 ? argv[2] : "1gbit";
    testsupport::ScratchDir scratch;
    const std::string image = WriteBenchImage(scratch.path(), "106", mib);
    std::printf("image %zu MiB, host card %s\n", mib, rate.c_str());

    const std::string web = " --fleet-base 192.168.1.1 --mask 255.255.0.0 --burn-sec 2 --reboot-ms 2000";
    const long beforeKiB = PeakKiB();
    bool allRight = true;
    // A virtual LAN of `listed` simulated cameras, the first kWorked of them with web sides, and the
    // window over it after its start-up search; phases(window, meter, cameras) runs the measured work.
    auto onBench = [&](int listed, const std::string& version, const auto& phases) {
        VirtualLan lan({.cameras = {"--fleet " + std::to_string(listed) + " --fleet-web " + std::to_string(kWorked) +
                                    web + " --version " + version},
                        .hostIp = "192.168.0.10/16",
                        .hostRate = rate,
                        .idleCameras = true});
        lan.EnterHost();
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
        runUntil([&] { return window.Controller().Discovery().List().GetItemCount() >= listed; }, 30);
        phases(window, meter, lan.CameraPids());
        window.close();
        lan.LeaveHost();
    };
    onBench(kListed, "V1.04", [&](MainWindow& window, StallMeter& meter, const std::vector<int>& cameras) {
        auto& dlg = window.Controller();
        Stage list = measure(
            "search 4000 cameras", meter, cameras, [&] { dlg.OnSearch(); },
            [&] { return dlg.Discovery().List().GetItemCount() >= kListed; }, 30);
        list.right = dlg.Discovery().List().GetItemCount();
        print(list, kListed);
        allRight = allRight && list.right == kListed;

        selectFleetWebRows(window);
        window.SetFieldText(Field::FirmwarePath, image);
        Stage upgrade = measure(
            "upgrade 200 cameras", meter, cameras, [&] { dlg.OnStartUpgrade(window.Inputs()); },
            [&] { return !dlg.IsBusy() && !dlg.Jobs().Threads().AnyRunning(); }, 600);
        upgrade.right = countStatus(window, "UPGRADE SUCCESSFUL");
        print(upgrade, kWorked);
        allRight = allRight && upgrade.right == kWorked;

        selectFleetWebRows(window);
        Stage reset = measure(
            "reset 200 cameras", meter, cameras, [&] { dlg.OnResetDefault(window.Inputs()); },
            [&] { return !dlg.IsBusy() && !dlg.Jobs().Threads().AnyRunning(); }, 600);
        reset.right = countStatus(window, "Back at 192.168.0.20");
        print(reset, kWorked);
        allRight = allRight && reset.right == kWorked;
    });
    // The version check asks every listed camera, so it runs on a bench of the 200 alone.
    onBench(kWorked, "V1.06", [&](MainWindow& window, StallMeter& meter, const std::vector<int>& cameras) {
        auto& dlg = window.Controller();
        Stage check = measure(
            "check 200 versions", meter, cameras, [&] { dlg.OnCheckVersion(window.Inputs(true)); },
            [&] { return !dlg.IsBusy() && !dlg.Jobs().Threads().AnyRunning(); }, 600);
        check.right = countStatus(window, "V1.06");
        print(check, kWorked);
        allRight = allRight && check.right == kWorked;
    });
    const long peakKiB = PeakKiB();
    std::printf("image %zu MiB; peak memory %.1f MiB (%.1f MiB before; target at most image + 32 MiB = %zu MiB); "
                "most anonymous memory %.1f MiB\n",
                mib, static_cast<double>(peakKiB) / 1024, static_cast<double>(beforeKiB) / 1024, mib + 32,
                static_cast<double>(g_mostAnonKiB) / 1024);
    std::printf("every camera in its right Status: %s\n", allRight ? "yes" : "NO");
    return allRight ? 0 : 1;
}
