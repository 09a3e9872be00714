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
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int StopSignal() {
    return g_stop.load();
}
