#include "discovery/Broadcast.h"

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <thread>

#include "discovery/WireProtocol.h"
#include "util/UniqueFd.h"

sockaddr_in DiscoveryBroadcastAddress() {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(DISCOVERY_PORT);
    to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    return to;
}

int BroadcastFromAdapter(const std::uint8_t* datagram, const std::string& adapterAddress) {
    UniqueFd s(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!s.valid())
        return -1;
    int on = 1;
    if (::setsockopt(s.get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
        return -1;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    // An empty or unparsable address cannot be bound, so nothing is sent.
    Ipv4 address{};
    if (!ParseIpv4(adapterAddress, address))
        return -1;
    local.sin_addr.s_addr = htonl(Ipv4Value(address));
    if (::bind(s.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        return -1;
    sockaddr_in to = DiscoveryBroadcastAddress();
    for (int attempt = 0; attempt < 2; ++attempt) {
        ssize_t sent =
            ::sendto(s.get(), datagram, kAdapterDatagramLength, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        if (sent >= 0)
            return static_cast<int>(sent);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return -1;
}

void BroadcastDatagram(const std::uint8_t* datagram, std::size_t length, int interfaceIndex) {
    UniqueFd s(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!s.valid())
        return;
    int on = 1;
    ::setsockopt(s.get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    timeval limit{2, 0};
    ::setsockopt(s.get(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    ::setsockopt(s.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    if (::bind(s.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        return;
    sockaddr_in to = DiscoveryBroadcastAddress();
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
    ::sendmsg(s.get(), &msg, 0);
}
