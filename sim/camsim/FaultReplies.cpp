#include "sim/camsim/FaultReplies.h"

#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>

#include "sim/camsim/HeldConnection.h"
#include "sim/camsim/RequestLogNote.h"

namespace {

// Real time, not scaled: slow enough to look alive, never enough to finish anything.
constexpr std::chrono::milliseconds kTrickleInterval{500};
// Real time too: long enough that the two pieces of a split answer arrive as two reads.
constexpr std::chrono::milliseconds kSplitPause{300};

HeldConnection connectionOf(const httplib::Request& req) {
    return HeldConnection(req.local_addr, req.local_port, req.remote_addr, req.remote_port);
}

} // namespace

FaultReplies::FaultReplies(int stopFd, std::string logPrefix) : m_stopFd(stopFd), m_logPrefix(std::move(logPrefix)) {}

void FaultReplies::trickle(const httplib::Request& req, httplib::Response& res) const {
    auto connection = std::make_shared<HeldConnection>(connectionOf(req));
    std::fprintf(stderr, "%shttp %s %s from %s: 200, then a byte every %lld ms (fault)\n", m_logPrefix.c_str(),
                 req.method.c_str(), req.target.c_str(), req.remote_addr.c_str(),
                 static_cast<long long>(kTrickleInterval.count()));
    // No length: the body has no end the client could wait for, only the connection's close.
    res.set_content_provider("text/plain", [connection, stopFd = m_stopFd](std::size_t, httplib::DataSink& sink) {
        // Runs on the connection's thread, before the log line that the note feeds.
        switch (connection->wait(stopFd, kTrickleInterval)) {
        case HeldConnection::Wake::Timeout:
            if (sink.write(" ", 1))
                return true;
            t_requestNote.detail += ", trickled until a write failed";
            return false;
        case HeldConnection::Wake::HungUp:
            t_requestNote.detail += ", trickled until the client left";
            return false;
        case HeldConnection::Wake::Stopping:
            t_requestNote.detail += ", trickled until stopped";
            return false;
        }
        return false;
    });
}

void FaultReplies::holdSilent(const httplib::Request& req) const {
    HeldConnection connection = connectionOf(req);
    std::fprintf(stderr, "%shttp %s %s from %s: body read, no reply (fault)\n", m_logPrefix.c_str(), req.method.c_str(),
                 req.target.c_str(), req.remote_addr.c_str());
    auto why = connection.wait(m_stopFd, std::chrono::milliseconds(-1));
    // Closed here, httplib's response goes nowhere: not even a status line reaches the client.
    connection.close();
    t_requestNote.outcome = "nothing sent";
    t_requestNote.detail +=
        why == HeldConnection::Wake::Stopping ? ", held until stopped" : ", held until the client left";
}

void FaultReplies::resetHalfway(const httplib::Request& req, const httplib::ContentReader& read) const {
    const std::size_t length = std::strtoull(req.get_header_value("Content-Length").c_str(), nullptr, 10);
    std::size_t received = 0;
    // Refusing further bytes stops httplib's reading; the rest stays unread in the socket.
    read([&](const char*, std::size_t n) {
        received += n;
        return received < length / 2;
    });
    connectionOf(req).reset();
    t_requestNote.outcome = "reset";
    t_requestNote.detail = " after " + std::to_string(received) + " of " + std::to_string(length) + " bytes (fault)";
    std::fprintf(stderr, "%shttp %s %s from %s: connection reset after %zu of %zu bytes (fault)\n", m_logPrefix.c_str(),
                 req.method.c_str(), req.target.c_str(), req.remote_addr.c_str(), received, length);
}

void FaultReplies::closeUnanswered(const httplib::Request& req) const {
    connectionOf(req).close();
    t_requestNote.outcome = "nothing sent";
    t_requestNote.detail += ", closed unanswered (fault)";
}

void FaultReplies::inTwoPieces(const httplib::Request& req, const std::string& body) const {
    HeldConnection connection = connectionOf(req);
    // The cut falls inside the answer's literal, so neither piece holds it whole.
    const std::size_t half = body.size() / 2;
    const std::string head =
        "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
        "\r\nConnection: close\r\n\r\n";
    const bool whole = connection.send(head + body.substr(0, half)) &&
                       connection.wait(m_stopFd, kSplitPause) == HeldConnection::Wake::Timeout &&
                       connection.send(body.substr(half));
    // Closed here, httplib's own copy of the answer goes nowhere.
    connection.close();
    t_requestNote.outcome = whole ? "200" : "200 cut after its first piece";
    t_requestNote.detail += ", answered in two pieces " + std::to_string(kSplitPause.count()) + " ms apart (fault)";
}
