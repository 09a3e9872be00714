#pragma once

#include <cstddef>
#include <string>
#include <vector>

// What the benchmarks share besides running the console.

// A firmware image of mib MiB (version digits at byte 24, model IPC1234) in folder, written in
// slices so that the benchmark's own memory does not hide the tool's peak. Returns its path.
std::string WriteBenchImage(const std::string& folder, const std::string& digits, std::size_t mib);

// A field of /proc/self/status in KiB, such as "VmHWM:" (the peak) or "VmRSS:"; -1 when missing.
long StatusKiB(const char* field);

// The process's peak resident memory so far, in KiB.
inline long PeakKiB() {
    return StatusKiB("VmHWM:");
}

// Threads of this process now.
int ThreadCount();

// Busy processor time in clock ticks since boot: the machine's, this process's, the cameras', the
// kernel's own threads' (the virtual LAN's packets are partly handled there) and every other
// program's. On a shared machine the last says how much others took while a figure was measured.
struct ProcessorTime {
    long long machine = 0;
    long long self = 0;
    long long cameras = 0;
    long long kernel = 0;
    long long programs = 0;
    static ProcessorTime Now(const std::vector<int>& cameraPids);
};

// "busy 1.62 of 2 processors: tool 0.98, cameras 0.40, kernel threads 0.10, other programs 0.14"
std::string ProcessorShares(const ProcessorTime& from, const ProcessorTime& to, double seconds);
