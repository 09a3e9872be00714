// A fleet of N simulated cameras answers one Search at once: how many does the device table
// hold after the burst, and how long until the last one is listed?
// Usage: discovery_burst [N...]   (default 250 1000 4000); needs root for network namespaces.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <thread>
#include <vector>

#include "app/TarnDlg.h"
#include "console/CliWindow.h"
#include "tests/support/VirtualLan.h"
#include "util/Trace.h"

namespace {

using Steady = std::chrono::steady_clock;

struct BurstResult {
    int listed = 0;
    double lastRowMs = 0;
};

BurstResult burst(VirtualLan& lan) {
    std::ostringstream sink;
    CliWindow window(sink);
    Clock clock;
    CTarnDlg dlg(window, clock);
    auto start = Steady::now();
    dlg.OnInitDialog(); // start-up runs the one Search
    int count = 0;
    auto lastChange = start;
    // Done when nothing new arrived for a second.
    while (Steady::now() - lastChange < std::chrono::seconds(1)) {
        int now = static_cast<int>(dlg.Discovery().Table()->Count());
        if (now != count) {
            count = now;
            lastChange = Steady::now();
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    (void)lan;
    BurstResult r{count, std::chrono::duration<double, std::milli>(lastChange - start).count()};
    dlg.OnCancel();
    return r;
}

} // namespace

int main(int argc, char** argv) {
    if (auto why = VirtualLan::Unavailable(); !why.empty()) {
        std::cerr << "discovery_burst: " << why << "\n";
        return 77;
    }
    SetTraceStream(nullptr);
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty())
        sizes = {250, 1000, 4000};
    std::printf("%8s %8s %8s %9s %14s\n", "N", "listed", "lost", "lost %", "time to list");
    for (int n : sizes) {
        VirtualLan lan({.cameras = {"--fleet " + std::to_string(n)}});
        lan.EnterHost();
        BurstResult r = burst(lan);
        lan.LeaveHost();
        int lost = n - r.listed;
        std::printf("%8d %8d %8d %8.2f%% %11.1f ms\n", n, r.listed, lost, 100.0 * lost / n, r.lastRowMs);
        std::fflush(stdout);
    }
    return 0;
}
