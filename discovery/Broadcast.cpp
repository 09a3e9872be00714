#include "discovery/Broadcast.h"

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "discovery/WireProtocol.h"

namespace {

class Socket {
public:
    Socket() : m_fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}
    ~Socket() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

sockaddr_in limitedBroadcast() {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(DISCOVERY_PORT);
    to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    return to;
}

} // namespace

int BroadcastFromAdapter(const std::uint8_t* datagram, const std::string& adapterAddress) {
    Socket s;
    if (s.fd() < 0)
        return -1;
    int on = 1;
    if (::setsockopt(s.fd(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
        return -1;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    // An empty or unparsable address cannot be bound, so nothing is sent.
    if (adapterAddress.empty() || ::inet_pton(AF_INET, adapterAddress.c_str(), &local.sin_addr) != 1)
        return -1;
    if (::bind(s.fd(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        return -1;
    sockaddr_in to = limitedBroadcast();
    for (int attempt = 0; attempt < 2; ++attempt) {
        ssize_t sent =
            ::sendto(s.fd(), datagram, kAdapterDatagramLength, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        if (sent >= 0)
            return static_cast<int>(sent);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return -1;
}

void BroadcastDatagram(const std::uint8_t* datagram, std::size_t length, int interfaceIndex) {
    Socket s;
    if (s.fd() < 0)
        return;
    int on = 1;
    ::setsockopt(s.fd(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    timeval limit{2, 0};
    ::setsockopt(s.fd(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    ::setsockopt(s.fd(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    if (::bind(s.fd(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        return;
    sockaddr_in to = limitedBroadcast();
    iovec iov{const_cast<std::uint8_t*>(datagram), length};
    alignas(cmsghdr) unsigned char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr msg{};
    msg.msg_name = &to;
    msg.msg_namelen = sizeof to;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    if (interfaceIndex > 0) {
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&msg);
        c->cmsg_level = IPPROTO_IP;
        c->cmsg_type = IP_PKTINFO;
        c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_ifindex = interfaceIndex;
        std::memcpy(CMSG_DATA(c), &info, sizeof info);
    }
    ::sendmsg(s.fd(), &msg, 0);
}
