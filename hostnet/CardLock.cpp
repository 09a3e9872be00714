#include "hostnet/CardLock.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

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

struct Holder {
    long pid = 0;
    long uid = -1;
};

long uidOf(long pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Uid:", 0) == 0)
            return std::strtol(line.c_str() + 4, nullptr, 10);
    return -1;
}

std::string userName(long uid) {
    passwd entry{};
    passwd* found = nullptr;
    char buffer[1024];
    if (::getpwuid_r(static_cast<uid_t>(uid), &entry, buffer, sizeof buffer, &found) == 0 && found)
        return found->pw_name;
    return "uid " + std::to_string(uid);
}

std::string described(const std::string& card, const Holder& holder) {
    std::string text = "another Flashwell job is running on " + card;
    if (holder.pid <= 0)
        return text;
    text += " (process " + std::to_string(holder.pid);
    if (holder.uid >= 0)
        text += " of " + userName(holder.uid);
    return text + ")";
}

// The process that holds the socket, as the kernel tells it to one who connects.
Holder socketHolder(const sockaddr_un& address, socklen_t length) {
    UniqueFd probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!probe.valid() || ::connect(probe.get(), reinterpret_cast<const sockaddr*>(&address), length) != 0)
        return {};
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(probe.get(), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0)
        return {};
    return {peer.pid, static_cast<long>(peer.uid)};
}

// The process holding an flock on the file, from the kernel's list of locks.
Holder fileHolder(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return {};
    char key[64];
    std::snprintf(key, sizeof key, "%02x:%02x:%lu", major(st.st_dev), minor(st.st_dev),
                  static_cast<unsigned long>(st.st_ino));
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream words(line);
        std::string id, type, mode, access, pid, file;
        if (!(words >> id >> type >> mode >> access >> pid >> file) || id == "->" || type != "FLOCK" || file != key)
            continue;
        const long holder = std::strtol(pid.c_str(), nullptr, 10);
        return {holder, uidOf(holder)};
    }
    return {};
}

Failure failed(const char* what) {
    return Failure{errno, std::string("cannot take the job lock: ") + what + ": " + std::strerror(errno)};
}

Result<UniqueFd> takeSocket(const std::string& card) {
    sockaddr_un address;
    const socklen_t length = addressOf(card, address);
    UniqueFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket.valid())
        return failed("socket");
    if (::bind(socket.get(), reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        if (errno != EADDRINUSE)
            return failed("bind");
        return Failure{EADDRINUSE, described(card, socketHolder(address, length))};
    }
    // Listening lets the one who is refused learn who holds it.
    ::listen(socket.get(), 4);
    return socket;
}

// The card's lock file in folder; invalid when this user cannot reach the folder.
UniqueFd openLockFile(const std::string& card, const std::string& folder) {
    struct stat ns {};
    if (folder.empty() || ::stat("/proc/self/ns/net", &ns) != 0)
        return {};
    const std::string path = folder + "/card-" + std::to_string(ns.st_ino) + "-" + card + ".lock";
    // Another member's file is opened, never created over: fs.protected_regular refuses O_CREAT there.
    constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY;
    for (int attempt = 0; attempt < 2; ++attempt) {
        UniqueFd fd(::open(path.c_str(), kFlags));
        if (fd.valid() || errno != ENOENT)
            return fd;
        fd.reset(::open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0644));
        if (fd.valid() || errno != EEXIST)
            return fd;
    }
    return {};
}

} // namespace

Result<CardLock> CardLock::Take(const std::string& card, const std::string& folder) {
    CardLock lock;
    lock.m_file = openLockFile(card, folder);
    if (lock.m_file.valid()) {
        if (::flock(lock.m_file.get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK)
                return failed("flock");
            return Failure{EADDRINUSE, described(card, fileHolder(lock.m_file.get()))};
        }
        // Whoever holds the socket cannot hold the card against us; it learns of our job by it when free.
        if (auto socket = takeSocket(card))
            lock.m_socket = std::move(socket.Value());
        return lock;
    }
    auto socket = takeSocket(card);
    if (!socket)
        return socket.Error();
    lock.m_socket = std::move(socket.Value());
    return lock;
}
