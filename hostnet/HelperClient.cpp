#include "hostnet/HelperClient.h"

#include <endian.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/auxv.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "helper/HelperChannel.h"
#include "util/Trace.h"

namespace {

using Steady = std::chrono::steady_clock;

// Every operation ends within a few seconds; a helper that says nothing for this long is stuck.
constexpr auto kReplyCeiling = std::chrono::seconds(30);
constexpr int kStopSliceMs = 50;
// Ending takes one netlink exchange, or the end of a probe that hears its parent hang up.
constexpr auto kEndCeiling = std::chrono::seconds(3);

// The file capability's permitted bits (struct vfs_cap_data, little endian): the low word is enough
// for the two we use.
bool permittedBit(const unsigned char* value, std::size_t length, unsigned cap) {
    if (length < 12)
        return false;
    std::uint32_t magic = 0, permitted = 0;
    std::memcpy(&magic, value, 4);
    std::memcpy(&permitted, value + 4, 4);
    const std::uint32_t revision = le32toh(magic) & VFS_CAP_REVISION_MASK;
    if (revision != VFS_CAP_REVISION_2 && revision != VFS_CAP_REVISION_3)
        return false;
    return (le32toh(permitted) & (1u << cap)) != 0;
}

std::optional<HelperReply> noReply(const std::string& path, const char* what) {
    Trace("Helper %s: %s\n", path.c_str(), what);
    return std::nullopt;
}

// The helper gets the socket as its standard input, nothing else of ours, an empty environment and
// a process group of its own, so that the terminal's Control-C reaches only its parent.
pid_t spawnHelper(const std::string& path, int socket) {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_adddup2(&actions, socket, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    std::string program = path;
    char* argv[] = {program.data(), nullptr};
    char* envp[] = {nullptr};
    pid_t pid = -1;
    int error = ::posix_spawn(&pid, path.c_str(), &actions, &attributes, argv, envp);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        Trace("Cannot start the helper %s: %s\n", path.c_str(), std::strerror(error));
        return -1;
    }
    return pid;
}

// A helper whose input has ended takes away what it added, then ends; one that does not in a while is stuck.
void endHelper(pid_t pid) {
    if (pid <= 0)
        return;
    for (auto end = Steady::now() + kEndCeiling; Steady::now() < end;) {
        pid_t done = ::waitpid(pid, nullptr, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR))
            return;
        ::usleep(10'000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

} // namespace

std::string DefaultHelperPath() {
    if (::getauxval(AT_SECURE) == 0)
        if (const char* chosen = std::getenv("FLASHWELL_HELPER"); chosen && *chosen)
            return chosen;
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return FLASHWELL_HELPER_INSTALLED;
    return (self.parent_path() / FLASHWELL_HELPER_RELATIVE).lexically_normal().string();
}

NetworkRights InspectHelper(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return {false, false, HelperState::Missing, path};
    if (::access(path.c_str(), X_OK) != 0)
        return {false, false, HelperState::NotPermitted, path};
    // File capabilities do not apply under no_new_privs, nor on a file system mounted nosuid.
    struct statvfs fs {};
    if (::prctl(PR_GET_NO_NEW_PRIVS, 0, 0, 0, 0) == 1 ||
        (::statvfs(path.c_str(), &fs) == 0 && (fs.f_flag & ST_NOSUID) != 0))
        return {false, false, HelperState::NoCapabilities, path};
    unsigned char value[32] = {};
    ssize_t length = ::getxattr(path.c_str(), "security.capability", value, sizeof value);
    const std::size_t size = length > 0 ? static_cast<std::size_t>(length) : 0;
    NetworkRights rights{permittedBit(value, size, CAP_NET_ADMIN), permittedBit(value, size, CAP_NET_RAW),
                         HelperState::Ready, path};
    if (!rights.netAdmin && !rights.netRaw)
        rights.helper = HelperState::NoCapabilities;
    return rights;
}

HelperClient::HelperClient(std::string path) : m_path(std::move(path)) {}

HelperClient::~HelperClient() {
    std::vector<Connection> idle;
    {
        std::lock_guard guard(m_poolLock);
        idle.swap(m_idle);
    }
    {
        std::lock_guard guard(m_keeperLock);
        for (auto& [card, keeper] : m_keepers)
            idle.push_back(std::move(keeper));
        m_keepers.clear();
    }
    for (Connection& c : idle)
        c.socket.reset(); // end of input: each helper takes away what it added and ends
    if (m_launcher.joinable()) {
        m_launcher.request_stop();
        m_launcher.join();
    }
    for (Connection& c : idle)
        endHelper(c.pid);
}

std::optional<HelperReply> HelperClient::Call(const HelperRequest& request, const StopRequested& stop,
                                              UniqueFd* passed) {
    switch (request.op) {
    case HelperOp::AddLinkLocalRoute:
    case HelperOp::RemoveLinkLocalRoute:
    case HelperOp::ReclaimLinkLocalRoute:
        return callKeeper(request, stop);
    case HelperOp::OpenDiscoverySocket:
        return callOnce(request, stop, passed);
    case HelperOp::ArpProbe:
    case HelperOp::RawPing:
    case HelperOp::ForgetNeighbour:
        break;
    }
    auto connection = take(request.interfaceName);
    if (!connection)
        return std::nullopt;
    bool broken = false;
    auto reply = exchange(*connection, request, stop, passed, broken);
    if (broken)
        discard(*connection);
    else
        giveBack(std::move(*connection));
    return reply;
}

std::optional<HelperReply> HelperClient::exchange(Connection& connection, const HelperRequest& request,
                                                  const StopRequested& stop, UniqueFd* passed, bool& broken) {
    broken = true;
    if (!SendHelperMessage(connection.socket.get(), request.build()))
        return noReply(m_path, "cannot send the request");
    for (auto deadline = Steady::now() + kReplyCeiling;;) {
        if (Stopping(stop))
            return std::nullopt; // its answer would come too late for anyone
        if (Steady::now() >= deadline)
            return noReply(m_path, "no reply");
        pollfd p{connection.socket.get(), POLLIN, 0};
        if (::poll(&p, 1, kStopSliceMs) > 0)
            break;
    }
    std::uint8_t buffer[kHelperReplyLength + 1];
    ReceivedMessage received = ReceiveHelperMessage(connection.socket.get(), buffer, MSG_DONTWAIT);
    HelperReply reply;
    if (received.length <= 0 || received.truncated ||
        !HelperReply::parse({buffer, static_cast<std::size_t>(received.length)}, reply))
        return noReply(m_path, received.length == 0 ? "ended without a reply" : "malformed reply");
    broken = false;
    if (passed)
        *passed = std::move(received.descriptor);
    if (reply.outcome == HelperOutcome::Refused)
        Trace("Helper %s refused operation %u: %s\n", m_path.c_str(), static_cast<unsigned>(request.op),
              HelperRefusalText(reply.refusal));
    else if (!request.interfaceName.empty())
        connection.card = request.interfaceName; // the helper serves this card from now on
    return reply;
}

std::optional<HelperReply> HelperClient::callKeeper(const HelperRequest& request, const StopRequested& stop) {
    std::lock_guard guard(m_keeperLock);
    auto keeper = m_keepers.find(request.interfaceName);
    if (keeper == m_keepers.end()) {
        auto started = launch();
        if (!started)
            return std::nullopt;
        keeper = m_keepers.emplace(request.interfaceName, std::move(*started)).first;
    }
    bool broken = false;
    auto reply = exchange(keeper->second, request, stop, nullptr, broken);
    if (broken) {
        keeper->second.socket.reset();
        endHelper(keeper->second.pid);
        m_keepers.erase(keeper);
    }
    return reply;
}

// A helper passes one discovery socket in its life: each socket comes from a helper of its own.
std::optional<HelperReply> HelperClient::callOnce(const HelperRequest& request, const StopRequested& stop,
                                                  UniqueFd* passed) {
    auto connection = launch();
    if (!connection)
        return std::nullopt;
    bool broken = false;
    auto reply = exchange(*connection, request, stop, passed, broken);
    connection->socket.reset();
    endHelper(connection->pid);
    return reply;
}

std::optional<HelperClient::Connection> HelperClient::take(const std::string& card) {
    std::unique_lock lock(m_poolLock);
    for (;;) {
        // An idle helper has nothing to say: anything readable is its end.
        for (auto it = m_idle.begin(); it != m_idle.end();) {
            pollfd p{it->socket.get(), POLLIN | POLLRDHUP, 0};
            if (::poll(&p, 1, 0) == 0) {
                ++it;
                continue;
            }
            Connection dead = std::move(*it);
            it = m_idle.erase(it);
            lock.unlock();
            discard(dead);
            lock.lock();
            it = m_idle.begin();
        }
        // One of this card's, or one that serves no card yet (a ping needs none).
        auto fits = std::find_if(m_idle.rbegin(), m_idle.rend(),
                                 [&](const Connection& c) { return card.empty() || c.card == card || c.card.empty(); });
        if (fits != m_idle.rend()) {
            Connection c = std::move(*fits);
            m_idle.erase(std::next(fits).base());
            return c;
        }
        if (m_running >= kMaxHelpers && !m_idle.empty()) {
            // All are idle on other cards: one of them makes room.
            Connection other = std::move(m_idle.front());
            m_idle.erase(m_idle.begin());
            lock.unlock();
            discard(other);
            lock.lock();
            continue;
        }
        if (m_running < kMaxHelpers) {
            ++m_running;
            lock.unlock();
            auto started = launch();
            if (!started) {
                std::lock_guard guard(m_poolLock);
                --m_running;
                m_poolFreed.notify_one();
            }
            return started;
        }
        m_poolFreed.wait(lock);
    }
}

void HelperClient::giveBack(Connection connection) {
    std::lock_guard guard(m_poolLock);
    m_idle.push_back(std::move(connection));
    m_poolFreed.notify_one();
}

void HelperClient::discard(Connection& connection) {
    connection.socket.reset();
    endHelper(connection.pid);
    std::lock_guard guard(m_poolLock);
    --m_running;
    m_poolFreed.notify_one();
}

// A child's parent-death signal follows the thread that started it, not the process: every helper
// is started by one thread that lives as long as this object, so none dies with a worker thread.
std::optional<HelperClient::Connection> HelperClient::launch() {
    Launch request;
    auto done = request.done.get_future();
    {
        std::lock_guard guard(m_launchLock);
        if (!m_launcher.joinable())
            m_launcher = std::jthread([this](const std::stop_token& stop) { launcherLoop(stop); });
        m_launches.push_back(&request);
    }
    m_launchWake.notify_one();
    return done.get();
}

void HelperClient::launcherLoop(const std::stop_token& stop) {
    std::unique_lock lock(m_launchLock);
    while (m_launchWake.wait(lock, stop, [this] { return !m_launches.empty(); })) {
        Launch* request = m_launches.front();
        m_launches.pop_front();
        lock.unlock();
        int pair[2];
        std::optional<Connection> started;
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
            Trace("Helper %s: no socket pair: %s\n", m_path.c_str(), std::strerror(errno));
        } else {
            UniqueFd ours(pair[0]), theirs(pair[1]);
            if (pid_t pid = spawnHelper(m_path, theirs.get()); pid > 0)
                started = Connection{std::move(ours), pid, {}};
        }
        request->done.set_value(std::move(started));
        lock.lock();
    }
}
