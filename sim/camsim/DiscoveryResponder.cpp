#include "sim/camsim/DiscoveryResponder.h"
#include "discovery/Broadcast.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

#include "sim/camsim/JunkReplies.h"

namespace {

// The most datagrams one sendmmsg call takes (UIO_MAXIOV).
constexpr std::size_t kBatch = 1024;

std::string errnoText(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

std::string formatSource(const sockaddr_in& from) {
    char text[INET_ADDRSTRLEN] = "?";
    ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(from.sin_port));
}

// The forced size needs CAP_NET_ADMIN; without it the kernel caps the plain request.
void setBuffer(int socket, int forced, int plain, int size) {
    if (size > 0 && ::setsockopt(socket, SOL_SOCKET, forced, &size, sizeof size) != 0)
        ::setsockopt(socket, SOL_SOCKET, plain, &size, sizeof size);
}

const char* requestTag(CameraFamily family) {
    return family == CameraFamily::Maker ? "KXEdit" : "PCEdit";
}

// One sendmmsg batch of datagrams to 255.255.255.255:4000; the datagrams must outlive it.
struct Batch {
    template <typename Datagrams>
    explicit Batch(Datagrams& datagrams) : iovs(datagrams.size()), messages(datagrams.size()) {
        for (std::size_t i = 0; i < datagrams.size(); ++i) {
            iovs[i] = {datagrams[i].data(), datagrams[i].size()};
            messages[i] = {};
            messages[i].msg_hdr.msg_name = &to;
            messages[i].msg_hdr.msg_namelen = sizeof to;
            messages[i].msg_hdr.msg_iov = &iovs[i];
            messages[i].msg_hdr.msg_iovlen = 1;
        }
    }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

    sockaddr_in to = DiscoveryBroadcastAddress();
    std::vector<iovec> iovs;
    std::vector<mmsghdr> messages;
};

} // namespace

DiscoveryResponder::DiscoveryResponder(std::vector<std::shared_ptr<Camera>> cameras, ResponderOptions options)
    : m_cameras(std::move(cameras)), m_options(std::move(options)) {}

DiscoveryResponder::~DiscoveryResponder() {
    Stop();
}

bool DiscoveryResponder::Start(std::string& error) {
    m_socket.reset(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!m_socket.valid()) {
        error = errnoText("socket");
        return false;
    }
    auto fail = [&](const char* what) {
        error = errnoText(what);
        m_socket.reset();
        return false;
    };
    int on = 1;
    if (::setsockopt(m_socket.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0)
        return fail("SO_REUSEADDR");
    if (::setsockopt(m_socket.get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
        return fail("SO_BROADCAST");
    // Pinning the device lets limited broadcasts leave it even when no route names it.
    if (!m_options.iface.empty() && ::setsockopt(m_socket.get(), SOL_SOCKET, SO_BINDTODEVICE, m_options.iface.c_str(),
                                                 static_cast<socklen_t>(m_options.iface.size())) != 0)
        return fail(("SO_BINDTODEVICE " + m_options.iface).c_str());
    setBuffer(m_socket.get(), SO_SNDBUFFORCE, SO_SNDBUF, m_options.sendBufferBytes);
    setBuffer(m_socket.get(), SO_RCVBUFFORCE, SO_RCVBUF, m_options.receiveBufferBytes);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(DISCOVERY_PORT);
    if (::bind(m_socket.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        return fail("cannot listen on UDP port 4000");
    if (!m_thread.Start(
            m_socket.get(), [this] { drain(); }, [this] { return nextTimeout(); }, error)) {
        m_socket.reset();
        return false;
    }
    return true;
}

void DiscoveryResponder::Stop() {
    m_thread.Stop();
    m_socket.reset();
}

int DiscoveryResponder::msUntilNextDue() const {
    if (m_pending.empty())
        return -1;
    auto wait = std::chrono::ceil<std::chrono::milliseconds>(m_pending.front().due - Clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, wait.count()));
}

int DiscoveryResponder::nextTimeout() {
    answerDue(Clock::now());
    if (m_floodFamily)
        floodOnce();
    // A flood never sleeps, but still looks at its wake-up and at new datagrams every round.
    return m_floodFamily ? 0 : msUntilNextDue();
}

void DiscoveryResponder::drain() {
    std::uint8_t buffer[kReceiveBufferLength];
    // Drain the queue: a fleet's own burst loops back and should cost one wake-up.
    while (!m_thread.StopRequested()) {
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        ssize_t n = ::recvfrom(m_socket.get(), buffer, sizeof buffer, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from),
                               &fromLength);
        if (n < 0)
            return;
        handle(buffer, static_cast<std::size_t>(n), from);
    }
}

void DiscoveryResponder::handle(const std::uint8_t* data, std::size_t length, const sockaddr_in& from) {
    std::span<const std::uint8_t> datagram{data, length};
    SearchRequest search;
    if (SearchRequest::parse(datagram, search) == ParseStatus::Ok) {
        m_stats.searches++;
        m_pending.push_back({Clock::now() + m_options.replyDelay, search.family, from});
        if (m_options.flood && !m_floodFamily) {
            m_floodFamily = search.family;
            std::fprintf(stderr, "camsim: search %s from %s: flooding replies until stopped\n",
                         requestTag(search.family), formatSource(from).c_str());
        }
        return;
    }
    SetNetworkCommand command;
    if (SetNetworkCommand::parse(datagram, command) == ParseStatus::Ok) {
        handleSetNetwork(command, formatSource(from));
        return;
    }
    // Replies, ours and other cameras', share the port and end here.
    m_stats.ignored++;
}

void DiscoveryResponder::handleSetNetwork(const SetNetworkCommand& command, const std::string& source) {
    for (const auto& camera : m_cameras) {
        if (command.mac != camera->config().mac)
            continue;
        m_stats.setNetwork++;
        const std::string who = FormatMac(command.mac);
        if (camera->loseCommand()) {
            m_stats.lost++;
            std::fprintf(stderr, "camsim: set-network for %s from %s lost (--lose-commands)\n", who.c_str(),
                         source.c_str());
            return;
        }
        if (!m_options.applySetNetwork) {
            std::fprintf(stderr, "camsim: set-network for %s from %s not applied (disabled)\n", who.c_str(),
                         source.c_str());
            return;
        }
        switch (camera->apply(command)) {
        case CommandOutcome::NotMine:
            return;
        case CommandOutcome::Silent:
            std::fprintf(stderr, "camsim: set-network for %s from %s ignored (silent)\n", who.c_str(), source.c_str());
            return;
        case CommandOutcome::Refused:
            std::fprintf(stderr, "camsim: set-network for %s from %s refused (credentials)\n", who.c_str(),
                         source.c_str());
            return;
        case CommandOutcome::Applied:
            break;
        }
        NetworkState state = camera->network();
        std::fprintf(stderr, "camsim: set-network for %s from %s: ip=%s mask=%s gw=%s\n", who.c_str(), source.c_str(),
                     FormatIpv4(state.ip).c_str(), FormatIpv4(state.netmask).c_str(),
                     FormatIpv4(state.gateway).c_str());
        if (m_networkChanged)
            m_networkChanged(*camera, state);
        return;
    }
    m_stats.ignored++;
}

void DiscoveryResponder::answerDue(Clock::time_point now) {
    while (!m_pending.empty() && m_pending.front().due <= now) {
        Pending search = m_pending.front();
        m_pending.pop_front();
        answer(search);
    }
}

void DiscoveryResponder::answer(const Pending& search) {
    std::vector<DeviceReply> replies;
    std::vector<Mac> lost;
    auto now = Clock::now();
    for (const auto& camera : m_cameras) {
        bool wasLost = false;
        if (auto reply = camera->answer(search.request, now, wasLost))
            replies.push_back(*reply);
        else if (wasLost)
            lost.push_back(camera->config().mac);
    }
    if (!lost.empty()) {
        m_stats.lost += lost.size();
        // A fleet names no MAC: thousands of them would drown the log.
        const std::string who = lost.size() == 1 ? FormatMac(lost.front()) : std::to_string(lost.size()) + " cameras";
        std::fprintf(stderr, "camsim: search %s for %s from %s lost (--lose-searches)\n", requestTag(search.request),
                     who.c_str(), formatSource(search.from).c_str());
    }
    if (replies.empty()) {
        if (lost.empty())
            std::fprintf(stderr, "camsim: search %s from %s: no reply (other family or rebooting)\n",
                         requestTag(search.request), formatSource(search.from).c_str());
        return;
    }
    std::size_t sent = sendAll(replies);
    m_stats.replies += sent;
    std::fprintf(stderr, "camsim: search %s from %s: %zu of %zu replies sent\n", requestTag(search.request),
                 formatSource(search.from).c_str(), sent, replies.size());
    if (m_options.junk)
        sendJunk();
}

void DiscoveryResponder::sendJunk() {
    const sockaddr_in to = DiscoveryBroadcastAddress();
    std::size_t sent = 0;
    const auto junk = JunkReplies();
    for (const auto& datagram : junk) {
        if (::sendto(m_socket.get(), datagram.bytes.data(), datagram.bytes.size(), 0,
                     reinterpret_cast<const sockaddr*>(&to), sizeof to) == static_cast<ssize_t>(datagram.bytes.size()))
            ++sent;
        else
            std::fprintf(stderr, "camsim: junk (%s): %s\n", datagram.what.c_str(), std::strerror(errno));
    }
    m_stats.junk += sent;
    std::fprintf(stderr, "camsim: %zu of %zu junk datagrams sent\n", sent, junk.size());
}

void DiscoveryResponder::floodOnce() {
    using Datagram = decltype(DeviceReply{}.build());
    const auto now = Clock::now();
    std::vector<Datagram> datagrams;
    datagrams.reserve(m_cameras.size());
    for (const auto& camera : m_cameras) {
        // Each camera in its own family; one answering both uses the family that started the flood.
        CameraFamily family = *m_floodFamily;
        if (!camera->config().answersRequest(family))
            family = family == CameraFamily::Generic ? CameraFamily::Maker : CameraFamily::Generic;
        if (auto reply = camera->currentReply(family, now))
            datagrams.push_back(reply->build());
    }
    Batch batch(datagrams);
    auto& messages = batch.messages;
    for (std::size_t done = 0; done < messages.size();) {
        auto count = static_cast<unsigned>(std::min(kBatch, messages.size() - done));
        int n = ::sendmmsg(m_socket.get(), messages.data() + done, count, MSG_DONTWAIT);
        // A full queue is the flood's normal state: the rest of this round is dropped.
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
        m_stats.flooded += static_cast<std::uint64_t>(n);
    }
}

std::size_t DiscoveryResponder::sendAll(const std::vector<DeviceReply>& replies) {
    using Datagram = decltype(DeviceReply{}.build());
    std::vector<Datagram> datagrams;
    datagrams.reserve(replies.size());
    for (const auto& reply : replies)
        datagrams.push_back(reply.build());
    Batch batch(datagrams);
    auto& messages = batch.messages;
    std::size_t done = 0;
    int retries = 0;
    while (done < messages.size()) {
        auto count = static_cast<unsigned>(std::min(kBatch, messages.size() - done));
        int n = ::sendmmsg(m_socket.get(), messages.data() + done, count, 0);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        // A full device queue empties within microseconds; anything else ends the burst.
        if (n < 0 && (errno == EINTR || errno == ENOBUFS || errno == EAGAIN) && retries++ < 100) {
            ::usleep(200);
            continue;
        }
        m_stats.sendErrors++;
        std::fprintf(stderr, "camsim: sendmmsg: %s\n", n < 0 ? std::strerror(errno) : "nothing sent");
        break;
    }
    return done;
}
