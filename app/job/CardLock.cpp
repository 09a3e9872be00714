#include "app/job/CardLock.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The socket's name: a leading NUL puts it in the abstract namespace, where no file is made.
socklen_t addressOf(const std::string& card, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    const std::string name = "flashwell-job-" + card;
    const std::size_t length = std::min(name.size(), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, name.data(), length);
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
}

// The process that holds the lock, as the kernel tells it to one who connects: 0 when unknown.
long holder(const sockaddr_un& address, socklen_t length) {
    UniqueFd probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!probe.valid() || ::connect(probe.get(), reinterpret_cast<const sockaddr*>(&address), length) != 0)
        return 0;
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(probe.get(), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0)
        return 0;
    return peer.pid;
}

} // namespace

Result<CardLock> CardLock::Take(const std::string& card) {
    sockaddr_un address;
    const socklen_t length = addressOf(card, address);
    UniqueFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket.valid())
        return Failure{errno, std::string("cannot take the job lock: ") + std::strerror(errno)};
    if (::bind(socket.get(), reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        const int why = errno;
        if (why != EADDRINUSE)
            return Failure{why, std::string("cannot take the job lock: ") + std::strerror(why)};
        // Listening lets the one who is refused learn who holds it.
        const long pid = holder(address, length);
        return Failure{why, "another Flashwell job is running on " + card +
                                (pid > 0 ? " (process " + std::to_string(pid) + ")" : std::string())};
    }
    ::listen(socket.get(), 4);
    return CardLock(std::move(socket));
}
