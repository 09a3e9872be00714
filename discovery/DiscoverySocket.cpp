#include "discovery/DiscoverySocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace {

std::string errnoText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

} // namespace

UniqueFd OpenDiscoverySocket(std::uint16_t port, std::string& error) {
    UniqueFd s(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!s.valid()) {
        error = errnoText("socket");
        return {};
    }
    int on = 1, off = 0, size = kDiscoveryReceiveBufferBytes;
    ::setsockopt(s.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    ::setsockopt(s.get(), IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    ::setsockopt(s.get(), IPPROTO_IP, IP_MULTICAST_LOOP, &off, sizeof off);
    // The forced size needs CAP_NET_ADMIN; without it the kernel caps the plain request.
    if (::setsockopt(s.get(), SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
        ::setsockopt(s.get(), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    if (::bind(s.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        error = errnoText("cannot listen on UDP port " + std::to_string(port));
        return {};
    }
    return s;
}

bool HasFullReceiveBuffer(int fd) {
    int size = 0;
    socklen_t length = sizeof size;
    // The kernel reports twice the size asked for, its bookkeeping included.
    return ::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, &length) == 0 && size >= 2 * kDiscoveryReceiveBufferBytes;
}
