#include "app/cli/StopSignals.h"

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
    // A closed terminal (SIGHUP) or a reader that went away (SIGPIPE) ends the job as Control-C
    // does, rather than killing it with cameras still away from home.
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        sigaction(signal, &action, nullptr);
}

int StopSignal() {
    return g_stop.load();
}
