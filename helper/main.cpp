// flashwell-helper: the only Flashwell program with CAP_NET_ADMIN and CAP_NET_RAW. The window and
// the console start it as a child with a socket pair on its standard input and ask it, one message
// at a time, for a short list of checked operations; it ends with its parent, and takes away what
// it added to the card on its way out.
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "helper/HelperCapabilities.h"
#include "helper/HelperChannel.h"
#include "helper/HelperService.h"
#include "util/Trace.h"

namespace {

// The executable's preinit functions run before any library's constructor, so not even the C++
// runtime or libnl (NLDBG, NLCB) sees the environment the helper was started with. The loader hands
// the C library this same array when it initialises it afterwards: emptying the array, not only
// environ, is what holds.
void clearEnvironmentEarly(int, char**, char** environment) {
    for (char** entry = environment; entry && *entry; ++entry)
        *entry = nullptr;
    ::clearenv();
}

__attribute__((section(".preinit_array"), used)) void (*const g_clearEnvironment)(int, char**,
                                                                                  char**) = clearEnvironmentEarly;

constexpr int kChannel = 0;

volatile std::sig_atomic_t g_told = 0;

void toldToStop(int) {
    g_told = 1;
}

bool parentHungUp() {
    if (g_told)
        return true;
    pollfd p{kChannel, POLLRDHUP, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

// No SA_RESTART: a wait for the next request ends at the signal, and the helper cleans up.
void catchStopSignals() {
    struct sigaction action {};
    action.sa_handler = toldToStop;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGHUP, SIGINT})
        ::sigaction(signal, &action, nullptr);
}

int serve(HelperService& service) {
    for (;;) {
        // One byte more than a request: a longer message arrives cut to this and is refused for its length.
        std::uint8_t buffer[kHelperRequestLength + 1];
        ReceivedMessage request = ReceiveHelperMessage(kChannel, buffer);
        if (g_told || request.length == 0)
            return 0; // told to stop, or end of input: the front end is done with us
        if (request.length < 0) {
            if (errno == EINTR)
                continue;
            return 1;
        }
        UniqueFd passed;
        // Descriptors that came with a request are closed unread.
        HelperReply reply = request.control
                                ? HelperReply::Refused(HelperRefusal::PassedDescriptor)
                                : service.Handle({buffer, static_cast<std::size_t>(request.length)}, passed);
        if (!SendHelperMessage(kChannel, reply.build(), passed.get()))
            return 0;
    }
}

} // namespace

int main() {
    ::clearenv();
    SetTraceStream(nullptr);
    ::close_range(3, ~0U, 0);
    int type = 0;
    socklen_t length = sizeof type;
    if (::getsockopt(kChannel, SOL_SOCKET, SO_TYPE, &type, &length) != 0 || type != SOCK_SEQPACKET) {
        std::fputs("flashwell-helper: flashwell and flashwell-cli start this program; it is not run by hand\n", stderr);
        return 2;
    }
    catchStopSignals();
    // The front end made the socket pair: if it is no longer this process's parent, it has gone.
    // Its death is a stop, not a kill, so that what the helper added goes with it.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM, 0, 0, 0);
    ucred peer{};
    length = sizeof peer;
    if (::getsockopt(kChannel, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.pid != ::getppid())
        return 0;
    std::string problem;
    if (!NarrowCapabilities(problem)) {
        std::fprintf(stderr, "flashwell-helper: %s\n", problem.c_str());
        return 1;
    }

    SystemHelperHost host;
    HelperService service(host, parentHungUp);
    const int status = serve(service);
    // What is left is the next start's to reclaim: the front end's journal names the card.
    return service.Finish() ? status : 1;
}
