#include "sim/camsim/WebServer.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <utility>

#include "sim/camsim/FirmwareImage.h"
#include "sim/camsim/ReceivedUpload.h"
#include "sim/camsim/RequestLogNote.h"

namespace {

// The real Content-Type of a multipart upload, kept aside so httplib reads the body raw.
constexpr const char* kRawContentType = "X-Camsim-Raw-Content-Type";

bool linkLocal(const Ipv4& ip) {
    return ip[0] == 169 && ip[1] == 254;
}

std::string header(const httplib::Request& req, const char* name) {
    return req.has_header(name) ? req.get_header_value(name) : std::string();
}

} // namespace

WebServer::WebServer(std::shared_ptr<Camera> camera, WebOptions options, AddressMoved moved, KernelSilence* silence)
    : m_camera(std::move(camera)), m_options(std::move(options)), m_moved(std::move(moved)), m_silence(silence),
      m_stopFd(::eventfd(0, EFD_CLOEXEC)), m_faultReplies(m_stopFd, m_options.logPrefix) {}

WebServer::~WebServer() {
    Stop();
    if (m_stopFd >= 0)
        ::close(m_stopFd);
    if (m_hungFd >= 0)
        ::close(m_hungFd);
}

WebServer::Clock::duration WebServer::scaled(std::chrono::milliseconds real) const {
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double, std::milli>(static_cast<double>(real.count()) * m_options.timeScale));
}

std::unique_ptr<httplib::Server> WebServer::makeServer() {
    auto server = std::make_unique<httplib::Server>();
    if (m_options.workerThreads > 0)
        server->new_task_queue = [threads = m_options.workerThreads] {
            return new httplib::ThreadPool(static_cast<std::size_t>(threads));
        };
    // httplib would parse multipart bodies itself and reject the camera's non-standard framing.
    server->set_pre_routing_handler([](const httplib::Request& req, httplib::Response&) {
        std::string type = header(req, "Content-Type");
        if (type.rfind("multipart/form-data", 0) == 0) {
            auto& raw = const_cast<httplib::Request&>(req); // the request object itself is not const
            raw.headers.erase("Content-Type");
            raw.headers.emplace("Content-Type", "application/octet-stream");
            raw.headers.emplace(kRawContentType, type);
        }
        // Without a length httplib reads a POST body until the client closes, answering too late.
        if (!req.has_header("Content-Length") && !req.has_header("Transfer-Encoding"))
            const_cast<httplib::Request&>(req).headers.emplace("Content-Length", "0");
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server->set_logger([prefix = m_options.logPrefix](const httplib::Request& req, const httplib::Response& res) {
        RequestLogNote& note = t_requestNote;
        std::string outcome = note.outcome.empty() ? std::to_string(res.status) : note.outcome;
        std::fprintf(stderr, "%shttp %s %s from %s -> %s%s\n", prefix.c_str(), req.method.c_str(), req.target.c_str(),
                     req.remote_addr.c_str(), outcome.c_str(), note.detail.c_str());
        note = {};
    });
    server->Post("/param.cgi", [this](const httplib::Request& req, httplib::Response& res) { handleQuery(req, res); });
    // Read as it streams: a fault may act halfway, and a fleet need not hold whole images.
    server->Post("/firmwareupgrade.cgi", [this](const httplib::Request& req, httplib::Response& res,
                                                const httplib::ContentReader& read) { handleUpload(req, res, read); });
    server->Post("/hardfactorydefault.cgi",
                 [this](const httplib::Request& req, httplib::Response& res) { handleReset(req, res); });
    return server;
}

// A hung web server: the kernel completes the handshakes (until the backlog is full, then drops
// them), and no byte ever comes back, so every request runs into the client's own time-outs.
bool WebServer::listenHung(std::string& error) {
    m_hungFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<std::uint16_t>(m_options.port));
    const int one = 1;
    if (m_hungFd < 0 || ::setsockopt(m_hungFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
        ::inet_pton(AF_INET, m_options.bindAddress.c_str(), &at.sin_addr) != 1 ||
        ::bind(m_hungFd, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0 || ::listen(m_hungFd, 5) != 0) {
        error = "cannot listen on TCP " + m_options.bindAddress + ":" + std::to_string(m_options.port);
        return false;
    }
    return true;
}

bool WebServer::Start(std::string& error) {
    if (m_camera->config().faults.silent)
        return true;
    if (m_camera->config().faults.hung)
        return listenHung(error);
    if (m_stopFd < 0) {
        error = "eventfd failed";
        return false;
    }
    auto server = makeServer();
    if (!server->bind_to_port(m_options.bindAddress, m_options.port)) {
        error = "cannot listen on TCP " + m_options.bindAddress + ":" + std::to_string(m_options.port);
        return false;
    }
    {
        std::lock_guard lock(m_lock);
        m_server = server.get();
        m_stopIssued = false;
    }
    m_thread = std::thread([this, first = std::move(server)]() mutable { run(std::move(first)); });
    return true;
}

void WebServer::stopServerLocked() {
    if (m_server && !m_stopIssued && m_server->is_running()) {
        m_server->stop();
        m_stopIssued = true;
    }
}

void WebServer::BeginStop() {
    if (m_stopFd >= 0) {
        std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(m_stopFd, &one, sizeof one);
    }
    std::lock_guard lock(m_lock);
    m_stopping = true;
    m_wake.notify_all();
    stopServerLocked();
}

void WebServer::Stop() {
    if (!m_thread.joinable())
        return;
    BeginStop();
    // A listener between bind and listen ignores stop(), so retry until the thread ends.
    for (;;) {
        std::unique_lock lock(m_lock);
        stopServerLocked();
        if (m_finished)
            break;
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    m_thread.join();
}

void WebServer::run(std::unique_ptr<httplib::Server> server) {
    for (;;) {
        if (server) {
            bool stopping = false;
            {
                std::lock_guard lock(m_lock);
                stopping = m_stopping;
            }
            if (!stopping)
                server->listen_after_bind();
            std::lock_guard lock(m_lock);
            m_server = nullptr;
            server.reset();
        }
        std::unique_lock lock(m_lock);
        if (m_rebooting) {
            // wait_until with the clock's maximum overflows, so never-back waits without a deadline.
            if (m_rebootEnd == Clock::time_point::max())
                m_wake.wait(lock, [this] { return m_stopping; });
            else
                m_wake.wait_until(lock, m_rebootEnd, [this] { return m_stopping; });
            if (!m_stopping && m_rebootEnd != Clock::time_point::max()) {
                m_rebooting = false;
                auto comeBack = std::move(m_comeBack);
                lock.unlock();
                comeBack();
                if (m_silence)
                    m_silence->end();
                m_camera->silenceUntil(Clock::time_point{});
                std::fprintf(stderr, "%sback from reboot\n", m_options.logPrefix.c_str());
                lock.lock();
            }
        }
        if (m_stopping) {
            m_finished = true;
            return;
        }
        lock.unlock();
        server = makeServer();
        if (!server->bind_to_port(m_options.bindAddress, m_options.port)) {
            std::fprintf(stderr, "%scannot listen on TCP %s:%d again; retrying\n", m_options.logPrefix.c_str(),
                         m_options.bindAddress.c_str(), m_options.port);
            server.reset();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            continue;
        }
        lock.lock();
        m_server = server.get();
        m_stopIssued = false;
    }
}

void WebServer::beginReboot(Clock::duration silence, std::function<void()> comeBack) {
    std::lock_guard lock(m_lock);
    if (m_rebooting)
        return;
    m_rebooting = true;
    m_rebootEnd = m_camera->config().faults.neverBack ? Clock::time_point::max() : Clock::now() + silence;
    m_comeBack = std::move(comeBack);
    // Discovery stays quiet until the web side is back, not merely until the deadline.
    m_camera->silenceUntil(Clock::time_point::max());
    if (m_silence)
        m_silence->begin();
    // The listener closes now; this request's response is still written before the worker ends.
    stopServerLocked();
    std::fprintf(stderr, "%srebooting%s\n", m_options.logPrefix.c_str(),
                 m_camera->config().faults.neverBack ? " (never back)" : "");
}

bool WebServer::authorized(const httplib::Request& req, httplib::Response& res) const {
    const FaultModes& faults = m_camera->config().faults;
    auto credentials = BasicCredentials(header(req, "Authorization"));
    bool locked = faults.wrongPassword || (faults.unauthorizedWhenMoved && linkLocal(m_camera->network().ip));
    if (!locked && credentials && *credentials == m_options.user + ":" + m_options.password)
        return true;
    res.status = 401;
    res.set_header("WWW-Authenticate", "Basic realm=\"camera\"");
    res.set_content("401 Unauthorized\n", "text/plain");
    return false;
}

void WebServer::handleQuery(const httplib::Request& req, httplib::Response& res) const {
    const FaultModes& faults = m_camera->config().faults;
    if (faults.trickle) {
        m_faultReplies.trickle(req, res);
        return;
    }
    if (!authorized(req, res))
        return;
    bool hidden = (faults.noModelUntilMoved || faults.unauthorizedWhenMoved) && !linkLocal(m_camera->network().ip);
    if (faults.noModel || hidden) {
        res.set_content("<html>camera</html>", "text/html");
        return;
    }
    if (req.get_param_value("action") != "list") {
        res.set_content("ERROR,bad action", "text/plain");
        return;
    }
    FirmwareState firmware = m_camera->firmware();
    std::string body;
    std::istringstream groups(req.get_param_value("group"));
    for (std::string name; std::getline(groups, name, ',');) {
        if (name == "Properties.Firmware.Model")
            body += name + "=\"" + firmware.model + "\"\n";
        else if (name == "Properties.Firmware.Version")
            body += name + "=\"" + firmware.version + "\"\n";
        else if (name == "Properties.Hardware.List")
            body += name + "=\"" + firmware.hardware + "\"\n";
    }
    answer(req, res, body);
}

void WebServer::handleUpload(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& read) {
    const FaultModes& faults = m_camera->config().faults;
    ReceivedUpload body;
    auto receiveAll = [&] {
        return read([&](const char* data, std::size_t length) {
            body.add({data, length});
            return true;
        });
    };
    if (faults.trickle) {
        receiveAll();
        t_requestNote.detail = " body=" + std::to_string(body.size()) + " bytes";
        m_faultReplies.trickle(req, res);
        return;
    }
    if (!authorized(req, res)) {
        receiveAll();
        return;
    }
    if (faults.resetMidUpload) {
        m_faultReplies.resetHalfway(req, read);
        return;
    }
    if (!receiveAll()) {
        t_requestNote.detail = " body cut off after " + std::to_string(body.size()) + " bytes";
        return;
    }
    if (faults.trickleUpload) {
        t_requestNote.detail = " body=" + std::to_string(body.size()) + " bytes";
        m_faultReplies.trickle(req, res);
        return;
    }
    if (faults.uploadNoReply) {
        t_requestNote.detail = " body=" + std::to_string(body.size()) + " bytes";
        m_faultReplies.holdSilent(req);
        return;
    }
    if (faults.uploadRefused) {
        t_requestNote.detail = " body=" + std::to_string(body.size()) + " bytes refused (fault)";
        res.set_content("ERROR,upgrade refused", "text/plain");
        return;
    }
    const std::string kept = body.compact();
    std::string why;
    std::optional<std::string_view> image;
    if (header(req, kRawContentType) != kUploadContentType)
        why = "content-type";
    else if (header(req, "Content-Length") != std::to_string(body.size()))
        why = "content-length";
    else if (!(image = ExtractImage(kept)))
        why = "framing";
    if (!why.empty()) {
        t_requestNote.detail = " body=" + std::to_string(body.size()) + " bytes mismatched (" + why + ")";
        res.set_content("ERROR,bad body", "text/plain");
        return;
    }
    FirmwareState next = m_camera->firmware();
    next.version = faults.olderAfterReboot ? LowerVersion(next.version) : ImageVersion(*image).value_or(next.version);
    next.model = ImageModel(*image).value_or(next.model);
    const std::size_t imageSize = body.size() - (kept.size() - image->size());
    t_requestNote.detail =
        " image=" + std::to_string(imageSize) + " bytes matched, next " + next.model + " " + next.version;
    const std::string announced =
        m_options.announceBurn.empty() ? std::to_string(m_options.burnSec) : m_options.announceBurn;
    if (faults.burnNoReply) {
        // The image is taken and burnt; only the answer is lost, so the client cannot know.
        m_faultReplies.closeUnanswered(req);
    } else {
        answer(req, res, "OK,ImgBurnTimeSec=\"" + announced + "\"");
    }
    auto silence = scaled(std::chrono::seconds(m_options.burnSec) + std::chrono::milliseconds(m_options.rebootMs));
    beginReboot(silence, [this, next] { m_camera->setFirmware(next); });
}

void WebServer::handleReset(const httplib::Request& req, httplib::Response& res) {
    if (m_camera->config().faults.trickle) {
        m_faultReplies.trickle(req, res);
        return;
    }
    if (!authorized(req, res))
        return;
    if (m_options.resetStatus != 200 || m_options.resetBody != "OK") {
        res.status = m_options.resetStatus;
        res.set_content(m_options.resetBody, m_options.resetBody.starts_with('<') ? "text/html" : "text/plain");
        t_requestNote.detail = " not reset (--reset-answer)";
        return;
    }
    res.set_content("OK", "text/plain");
    beginReboot(scaled(std::chrono::milliseconds(m_options.rebootMs)), [this] {
        m_camera->setNetwork(m_options.factoryIp, m_options.factoryMask, m_options.factoryGateway);
        std::fprintf(stderr, "%sfactory reset to %s\n", m_options.logPrefix.c_str(),
                     FormatIpv4(m_options.factoryIp).c_str());
        if (m_moved)
            m_moved(m_camera->network());
    });
}

void WebServer::answer(const httplib::Request& req, httplib::Response& res, const std::string& body) const {
    if (m_camera->config().faults.splitReply)
        m_faultReplies.inTwoPieces(req, body);
    else
        res.set_content(body, "text/plain");
}
