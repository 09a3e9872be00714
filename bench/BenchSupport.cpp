#include "bench/BenchSupport.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "tests/support/TestSupport.h"

std::string WriteBenchImage(const std::string& folder, const std::string& digits, std::size_t mib) {
    constexpr std::size_t kMiB = std::size_t{1024} * 1024;
    std::string image = testsupport::WriteFirmwareImage(folder, digits, kMiB);
    std::ofstream grow(image, std::ios::binary | std::ios::app);
    const std::string slice(kMiB, '\x5a');
    for (std::size_t i = 1; i < mib; ++i)
        grow << slice;
    return image;
}

long StatusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    const std::string name(field);
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(name, 0) == 0)
            return std::stol(line.substr(name.size()));
    return -1;
}

int ThreadCount() {
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        (void)entry;
        ++n;
    }
    return n;
}

namespace {

struct ProcessTicks {
    long long ticks = 0; // utime + stime
    bool kernelThread = false;
};

// From /proc/PID/stat; nothing when the process is gone.
ProcessTicks processTicks(const std::string& pid) {
    std::ifstream file("/proc/" + pid + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), {});
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos)
        return {};
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    ProcessTicks p;
    // After the name: the state is field 3, the parent 4, utime 14 and stime 15.
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 4)
            p.kernelThread = field == "2" || pid == "2";
        if (i == 14 || i == 15)
            p.ticks += std::stoll(field);
    }
    return p;
}

} // namespace

ProcessorTime ProcessorTime::Now(const std::vector<int>& cameraPids) {
    ProcessorTime t;
    std::ifstream stat("/proc/stat");
    std::string cpu;
    long long user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0, steal = 0;
    stat >> cpu >> user >> nice >> system >> idle >> iowait >> irq >> softirq >> steal;
    t.machine = user + nice + system + irq + softirq + steal;
    const std::string self = std::to_string(::getpid());
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string pid = entry.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const ProcessTicks p = processTicks(pid);
        if (pid == self)
            t.self += p.ticks;
        else if (std::find(cameraPids.begin(), cameraPids.end(), std::stoi(pid)) != cameraPids.end())
            t.cameras += p.ticks;
        else if (p.kernelThread)
            t.kernel += p.ticks;
        else
            t.programs += p.ticks;
    }
    return t;
}

std::string ProcessorShares(const ProcessorTime& from, const ProcessorTime& to, double seconds) {
    const double ticks = static_cast<double>(::sysconf(_SC_CLK_TCK)) * (seconds > 0 ? seconds : 1);
    // A program that ended between the readings takes its time along: "other programs" is a floor.
    auto share = [&](long long a, long long b) { return static_cast<double>(b - a) / ticks; };
    char text[200];
    std::snprintf(text, sizeof text,
                  "busy %.2f of %u processors: tool %.2f, cameras %.2f, kernel threads %.2f, other programs %.2f",
                  share(from.machine, to.machine), std::thread::hardware_concurrency(), share(from.self, to.self),
                  share(from.cameras, to.cameras), share(from.kernel, to.kernel),
                  std::max(0.0, share(from.programs, to.programs)));
    return text;
}
