// N simulated cameras upgraded at once with one image: peak memory of the tool, the total time,
// and the time of a single-camera upgrade on the same run.
// Usage: upgrade_fleet [N] [IMAGE_MIB]   (default 50 and 16); needs root for network namespaces.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "app/TarnDlg.h"
#include "bench/BenchSupport.h"
#include "console/CliWindow.h"
#include "tests/support/VirtualLan.h"
#include "util/Trace.h"

namespace {

using Steady = std::chrono::steady_clock;

double upgrade(CTarnDlg& dlg, const std::string& image, const std::vector<int>& rows, int& succeeded) {
    JobInputs inputs;
    inputs.selected = MacsAtRows(dlg.Discovery().List(), rows);
    inputs.login = {"root", "qnwt"};
    inputs.firmwarePath = image;
    auto start = Steady::now();
    dlg.OnStartUpgrade(inputs);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    while (dlg.Jobs().Threads().AnyRunning())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    double seconds = std::chrono::duration<double>(Steady::now() - start).count();
    dlg.Jobs().Threads().JoinAll();
    succeeded = 0;
    for (const auto& row : dlg.Discovery().List().Rows())
        succeeded += CellText(row, 4) == "UPGRADE SUCCESSFUL";
    return seconds;
}

} // namespace

int main(int argc, char** argv) {
    if (auto why = VirtualLan::Unavailable(); !why.empty()) {
        std::fprintf(stderr, "upgrade_fleet: %s\n", why.c_str());
        return 77;
    }
    SetTraceStream(nullptr);
    int n = argc > 1 ? std::atoi(argv[1]) : 50;
    std::size_t mib = argc > 2 ? static_cast<std::size_t>(std::atoi(argv[2])) : 16;
    ::setenv("FLASHWELL_TIME_SCALE", "0.01", 1);

    // The image, the journal, the job records and the name server list in a private scratch folder.
    testsupport::ScratchDir scratch;
    const std::string image = WriteBenchImage(scratch.path(), "106", mib);
    VirtualLan::Options options;
    for (int i = 0; i < n; ++i) {
        char ip[32];
        std::snprintf(ip, sizeof ip, "192.168.%d.%d", 1 + i / 200, 10 + i % 200);
        options.cameras.push_back(std::string("--name cam") + std::to_string(i) + " --ip " + ip +
                                  " --mask 255.255.0.0 --version V1.04 --burn-sec 2 --reboot-ms 2000");
    }
    options.hostIp = "192.168.0.10/16";
    options.idleCameras = true;
    VirtualLan lan(options);
    lan.EnterHost();
    {
        std::ofstream(scratch.path() + "/resolv.conf") << "nameserver 192.168.0.10\n";
        std::ostringstream sink;
        CliWindow window(sink);
        Clock clock(0.01);
        ControllerPlatform platform;
        platform.resolvConf = scratch.path() + "/resolv.conf";
        platform.stateFolder = scratch.path() + "/state";
        platform.recordsFolder = scratch.path() + "/jobs";
        CTarnDlg dlg(window, clock, platform);
        dlg.OnInitDialog();
        for (auto until = Steady::now() + std::chrono::seconds(5); Steady::now() < until;)
            if (dlg.Discovery().List().GetItemCount() >= n)
                break;
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        long before = PeakKiB();
        int ok1 = 0, okAll = 0;
        double single = upgrade(dlg, image, {0}, ok1);
        std::vector<int> all;
        all.reserve(static_cast<std::size_t>(dlg.Discovery().List().GetItemCount()));
        for (int r = 0; r < dlg.Discovery().List().GetItemCount(); ++r)
            all.push_back(r);
        double fleet = upgrade(dlg, image, all, okAll);
        long peak = PeakKiB();
        std::printf("cameras listed     %d of %d\n", dlg.Discovery().List().GetItemCount(), n);
        std::printf("image              %zu MiB\n", mib);
        std::printf("single upgrade     %.2f s (%d successful)\n", single, ok1);
        std::printf("fleet upgrade      %.2f s (%d successful), %.2f x single\n", fleet, okAll, fleet / single);
        std::printf("peak memory        %.1f MiB (%.1f MiB before the upgrades; target < image + 64 MiB)\n",
                    static_cast<double>(peak) / 1024, static_cast<double>(before) / 1024);
        dlg.OnCancel();
    }
    lan.LeaveHost();
    std::remove(image.c_str());
    return 0;
}
