#include "helper/HelperChannel.h"

#include <sys/socket.h>

#include <cstring>

namespace {

// Room for a few descriptors, so that a sender of more than one is seen and all of them are closed.
constexpr std::size_t kMostDescriptors = 4;

} // namespace

bool SendHelperMessage(int socket, std::span<const std::uint8_t> bytes, int descriptor) {
    iovec iov{const_cast<std::uint8_t*>(bytes.data()), bytes.size()};
    alignas(cmsghdr) unsigned char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr message{};
    message.msg_iov = &iov;
    message.msg_iovlen = 1;
    if (descriptor >= 0) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&message);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_RIGHTS;
        c->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(c), &descriptor, sizeof descriptor);
    }
    return ::sendmsg(socket, &message, MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

ReceivedMessage ReceiveHelperMessage(int socket, std::span<std::uint8_t> buffer, int flags) {
    alignas(cmsghdr) unsigned char control[CMSG_SPACE(kMostDescriptors * sizeof(int))] = {};
    iovec iov{buffer.data(), buffer.size()};
    msghdr message{};
    message.msg_iov = &iov;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ReceivedMessage received;
    received.length = ::recvmsg(socket, &message, flags | MSG_CMSG_CLOEXEC);
    if (received.length < 0)
        return received;
    received.truncated = (message.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) != 0;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        received.control = true;
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS)
            continue;
        const std::size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t i = 0; i < count; ++i) {
            int fd = -1;
            std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
            if (received.descriptor.valid())
                ::close(fd);
            else
                received.descriptor.reset(fd);
        }
    }
    return received;
}
