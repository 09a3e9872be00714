#include "console/StopSignals.h"

#include <atomic>
#include <csignal>

namespace {

std::atomic<int> g_stop{0};

extern "C" void onStopSignal(int signal) {
    g_stop.store(signal);
}

} // namespace

void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // A closed terminal or SSH session (SIGHUP) and a closed pipe on --progress (SIGPIPE) end a job
    // as an interrupt does: cameras sent home or journalled, never left where the job put them.
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        sigaction(signal, &action, nullptr);
}

int StopSignal() {
    return g_stop.load();
}
