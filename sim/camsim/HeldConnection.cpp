#include "sim/camsim/HeldConnection.h"

#include <dirent.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace {

// A client that takes no byte for this long is treated as gone.
constexpr int kSendStallMs = 5000;

bool endpointIs(const sockaddr_storage& address, socklen_t length, const std::string& host, int port) {
    char text[NI_MAXHOST];
    char service[NI_MAXSERV];
    if (::getnameinfo(reinterpret_cast<const sockaddr*>(&address), length, text, sizeof text, service, sizeof service,
                      NI_NUMERICHOST | NI_NUMERICSERV) != 0)
        return false;
    return host == text && port == std::atoi(service);
}

} // namespace

HeldConnection::HeldConnection(const std::string& localAddr, int localPort, const std::string& remoteAddr,
                               int remotePort) {
    // httplib hands handlers no descriptor; the address pair names exactly one open connection.
    DIR* dir = ::opendir("/proc/self/fd");
    if (dir == nullptr)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        char* end = nullptr;
        long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd == ::dirfd(dir))
            continue;
        sockaddr_storage local{};
        sockaddr_storage peer{};
        socklen_t localLength = sizeof local;
        socklen_t peerLength = sizeof peer;
        if (::getsockname(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&local), &localLength) != 0 ||
            ::getpeername(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0)
            continue;
        if (endpointIs(local, localLength, localAddr, localPort) &&
            endpointIs(peer, peerLength, remoteAddr, remotePort)) {
            m_fd = static_cast<int>(fd);
            break;
        }
    }
    ::closedir(dir);
}

HeldConnection::Wake HeldConnection::wait(int stopFd, std::chrono::milliseconds timeout) const {
    // Only the hang-up is asked for: bytes the client might still send must not end the wait.
    pollfd fds[2] = {{stopFd, POLLIN, 0}, {m_fd, POLLRDHUP, 0}};
    const nfds_t count = m_fd >= 0 ? 2 : 1;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int ms = -1;
        if (timeout.count() >= 0) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            ms = static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, left.count()));
        }
        int n = ::poll(fds, count, ms);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Wake::Timeout;
        if (fds[0].revents != 0)
            return Wake::Stopping;
        return Wake::HungUp;
    }
}

bool HeldConnection::send(std::string_view bytes) const {
    while (m_fd >= 0 && !bytes.empty()) {
        ssize_t n = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd room{m_fd, POLLOUT, 0};
            if (::poll(&room, 1, kSendStallMs) > 0)
                continue;
        }
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return m_fd >= 0;
}

void HeldConnection::reset() {
    if (m_fd < 0)
        return;
    linger abort{1, 0};
    ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    replaceWithNull();
}

void HeldConnection::close() {
    if (m_fd < 0)
        return;
    ::shutdown(m_fd, SHUT_RDWR);
    replaceWithNull();
}

void HeldConnection::replaceWithNull() {
    // dup2 closes the socket and reuses its number in one step, so no other thread can take it.
    int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null < 0)
        return;
    ::dup2(null, m_fd);
    ::close(null);
    m_fd = -1;
}
