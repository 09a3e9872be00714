#include "discovery/Receiver.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>

#include "discovery/WireProtocol.h"

Receiver::Receiver(DeviceTable& table, ListModel& list, std::atomic<int>& mode, std::mutex& entryLock)
    : m_intake(table, list, mode, entryLock, m_stats) {}

Receiver::~Receiver() {
    Stop();
}

bool Receiver::Start(const std::string& adapterAddress, int interfaceIndex, std::string& error, std::uint16_t port,
                     const DiscoverySocketOpener& open) {
    if (adapterAddress.empty() || interfaceIndex <= 0) {
        error = "no network adapter with an IPv4 address is chosen";
        return false;
    }
    m_interfaceIndex = interfaceIndex;
    UniqueFd s = open ? open(port, error) : OpenDiscoverySocket(port, error);
    if (!s.valid())
        return false;
    sockaddr_in local{};
    socklen_t length = sizeof local;
    ::getsockname(s.get(), reinterpret_cast<sockaddr*>(&local), &length);
    m_port = ntohs(local.sin_port);
    m_socket = std::move(s);
    if (!m_thread.Start(
            m_socket.get(), [this] { drain(); }, nullptr, error)) {
        if (error.rfind("cannot start a thread", 0) == 0)
            error = "Create Rx Thread error!";
        m_socket.reset();
        return false;
    }
    return true;
}

void Receiver::Stop() {
    m_thread.Stop();
    // Closed here, by the owner, once the thread can no longer use it.
    m_socket.reset();
}

void Receiver::drain() {
    std::uint8_t buffer[kReceiveBufferLength];
    alignas(cmsghdr) unsigned char control[CMSG_SPACE(sizeof(in_pktinfo)) + 64];
    // Drain what is queued before polling again: a burst should cost one wake-up. A flood must
    // not keep the thread here once it has been told to stop.
    while (!m_thread.StopRequested()) {
        std::memset(buffer, 0, sizeof buffer);
        iovec iov{buffer, sizeof buffer};
        msghdr msg{};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        ssize_t n = ::recvmsg(m_socket.get(), &msg, MSG_DONTWAIT);
        if (n < 0)
            return;
        m_stats.datagrams++;
        int arrivedOn = 0;
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                in_pktinfo info;
                std::memcpy(&info, CMSG_DATA(c), sizeof info);
                arrivedOn = info.ipi_ifindex;
            }
        }
        if (arrivedOn != m_interfaceIndex) {
            m_stats.foreignAdapter++;
            continue;
        }
        m_intake.Take({buffer, static_cast<std::size_t>(n)});
    }
}
