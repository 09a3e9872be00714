#include "discovery/Receiver.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include "discovery/DeviceSort.h"
#include "discovery/DeviceTable.h"
#include "discovery/ListModel.h"
#include "discovery/WireProtocol.h"

namespace {

// A burst of thousands of replies arrives within milliseconds; the default buffer holds ~200.
constexpr int kReceiveBufferBytes = 16 * 1024 * 1024;

std::string errnoText(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

Receiver::Receiver(DeviceTable& table, ListModel& list, std::atomic<int>& mode, std::mutex& entryLock)
    : m_table(table), m_list(list), m_mode(mode), m_entryLock(entryLock) {}

Receiver::~Receiver() {
    Stop();
}

bool Receiver::Start(const std::string& adapterAddress, int interfaceIndex, std::string& error) {
    if (adapterAddress.empty() || interfaceIndex <= 0) {
        error = "no network adapter with an IPv4 address is chosen";
        return false;
    }
    m_interfaceIndex = interfaceIndex;
    m_socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_socket < 0) {
        error = errnoText("socket");
        return false;
    }
    int on = 1, off = 0, size = kReceiveBufferBytes;
    ::setsockopt(m_socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    ::setsockopt(m_socket, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    ::setsockopt(m_socket, IPPROTO_IP, IP_MULTICAST_LOOP, &off, sizeof off);
    // The forced size needs CAP_NET_ADMIN; without it the kernel caps the plain request.
    if (::setsockopt(m_socket, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
        ::setsockopt(m_socket, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(DISCOVERY_PORT);
    if (::bind(m_socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        error = errnoText("cannot listen on UDP port 4000");
        ::close(m_socket);
        m_socket = -1;
        return false;
    }
    m_wake = ::eventfd(0, EFD_CLOEXEC);
    if (m_wake < 0) {
        error = errnoText("eventfd");
        ::close(m_socket);
        m_socket = -1;
        return false;
    }
    try {
        m_thread = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        error = "Create Rx Thread error!";
        ::close(m_socket);
        ::close(m_wake);
        m_socket = m_wake = -1;
        return false;
    }
    return true;
}

void Receiver::Stop() {
    if (m_wake >= 0) {
        std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(m_wake, &one, sizeof one);
    }
    if (m_thread.joinable())
        m_thread.join();
    // Closed here, by the owner, once the thread can no longer use them.
    if (m_socket >= 0)
        ::close(m_socket);
    if (m_wake >= 0)
        ::close(m_wake);
    m_socket = m_wake = -1;
}

void Receiver::run() {
    std::uint8_t buffer[kReceiveBufferLength];
    alignas(cmsghdr) unsigned char control[CMSG_SPACE(sizeof(in_pktinfo)) + 64];
    pollfd fds[2] = {{m_socket, POLLIN, 0}, {m_wake, POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents != 0)
            return;
        if ((fds[0].revents & POLLIN) == 0)
            continue;
        // Drain what is queued before polling again: a burst should cost one wake-up.
        for (;;) {
            std::memset(buffer, 0, sizeof buffer);
            iovec iov{buffer, sizeof buffer};
            msghdr msg{};
            msg.msg_iov = &iov;
            msg.msg_iovlen = 1;
            msg.msg_control = control;
            msg.msg_controllen = sizeof control;
            ssize_t n = ::recvmsg(m_socket, &msg, MSG_DONTWAIT);
            if (n < 0)
                break;
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
            handle(buffer, static_cast<std::size_t>(n));
        }
    }
}

void Receiver::handle(const std::uint8_t* data, std::size_t length) {
    DeviceReply reply;
    if (DeviceReply::parse({data, length}, reply) != ParseStatus::Ok) {
        m_stats.rejected++;
        return;
    }
    DeviceInfo fresh = DeviceInfo::FromReply(reply);
    std::lock_guard entry(m_entryLock);
    // Hold drops the reply; so does a stop that has not yet been followed by a Search.
    if (m_mode.load() != kReceiverRun) {
        m_stats.held++;
        return;
    }
    int rows = m_list.GetItemCount();
    fresh.rowIndex = rows;
    int position = m_table.FindOrAddDevice(fresh);
    WriteDeviceRow(m_list, position, fresh, IdxText(rows));
    m_stats.entered++;
}
