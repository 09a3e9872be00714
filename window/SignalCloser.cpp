#include "window/SignalCloser.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_pair[2] = {-1, -1};

extern "C" void onStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(g_pair[0], &byte, 1);
}

} // namespace

SignalCloser::SignalCloser(std::function<void()> close) : m_close(std::move(close)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pair) != 0)
        return;
    m_notifier = new QSocketNotifier(g_pair[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(g_pair[1], bytes, sizeof bytes) > 0) {
        }
        m_close();
    });
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

SignalCloser::~SignalCloser() {
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal, SIG_DFL);
    for (int& fd : g_pair) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}
