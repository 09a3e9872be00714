#include "sim/camsim/WebServer.h"

#include <httplib.h>

#include <cstdio>
#include <sstream>
#include <utility>

#include "sim/camsim/FirmwareImage.h"

namespace {

// The real Content-Type of a multipart upload, kept aside so httplib reads the body raw.
constexpr const char* kRawContentType = "X-Camsim-Raw-Content-Type";
const Ipv4 kFactoryIp{192, 168, 0, 20};
const Ipv4 kFactoryMask{255, 255, 255, 0};
const Ipv4 kFactoryGateway{192, 168, 0, 1};

// Extra detail for the request log line, set by the handler on the thread that logs.
thread_local std::string t_note;

bool linkLocal(const Ipv4& ip) {
    return ip[0] == 169 && ip[1] == 254;
}

std::string header(const httplib::Request& req, const char* name) {
    return req.has_header(name) ? req.get_header_value(name) : std::string();
}

} // namespace

WebServer::WebServer(std::shared_ptr<Camera> camera, WebOptions options, AddressMoved moved)
    : m_camera(std::move(camera)), m_options(std::move(options)), m_moved(std::move(moved)) {}

WebServer::~WebServer() {
    Stop();
}

WebServer::Clock::duration WebServer::scaled(std::chrono::milliseconds real) const {
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double, std::milli>(static_cast<double>(real.count()) * m_options.timeScale));
}

std::unique_ptr<httplib::Server> WebServer::makeServer() {
    auto server = std::make_unique<httplib::Server>();
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
    server->set_logger([](const httplib::Request& req, const httplib::Response& res) {
        std::fprintf(stderr, "camsim: http %s %s from %s -> %d%s\n", req.method.c_str(), req.target.c_str(),
                     req.remote_addr.c_str(), res.status, t_note.c_str());
        t_note.clear();
    });
    server->Post("/param.cgi", [this](const httplib::Request& req, httplib::Response& res) { handleQuery(req, res); });
    server->Post("/firmwareupgrade.cgi",
                 [this](const httplib::Request& req, httplib::Response& res) { handleUpload(req, res); });
    server->Post("/hardfactorydefault.cgi",
                 [this](const httplib::Request& req, httplib::Response& res) { handleReset(req, res); });
    return server;
}

bool WebServer::Start(std::string& error) {
    if (m_camera->config().faults.silent)
        return true;
    auto server = makeServer();
    if (!server->bind_to_port("0.0.0.0", m_options.port)) {
        error = "cannot listen on TCP port " + std::to_string(m_options.port);
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

void WebServer::Stop() {
    if (!m_thread.joinable())
        return;
    // A listener between bind and listen ignores stop(), so retry until the thread ends.
    for (;;) {
        std::unique_lock lock(m_lock);
        m_stopping = true;
        m_wake.notify_all();
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
                m_camera->silenceUntil(Clock::time_point{});
                std::fprintf(stderr, "camsim: back from reboot\n");
                lock.lock();
            }
        }
        if (m_stopping) {
            m_finished = true;
            return;
        }
        lock.unlock();
        server = makeServer();
        if (!server->bind_to_port("0.0.0.0", m_options.port)) {
            std::fprintf(stderr, "camsim: cannot listen on TCP port %d again; retrying\n", m_options.port);
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
    // The listener closes now; this request's response is still written before the worker ends.
    stopServerLocked();
    std::fprintf(stderr, "camsim: rebooting%s\n", m_camera->config().faults.neverBack ? " (never back)" : "");
}

bool WebServer::authorized(const httplib::Request& req, httplib::Response& res) const {
    auto credentials = BasicCredentials(header(req, "Authorization"));
    if (!m_camera->config().faults.wrongPassword && credentials &&
        *credentials == m_options.user + ":" + m_options.password)
        return true;
    res.status = 401;
    res.set_header("WWW-Authenticate", "Basic realm=\"camera\"");
    res.set_content("401 Unauthorized\n", "text/plain");
    return false;
}

void WebServer::handleQuery(const httplib::Request& req, httplib::Response& res) const {
    if (!authorized(req, res))
        return;
    const FaultModes& faults = m_camera->config().faults;
    if (faults.noModel || (faults.noModelUntilMoved && !linkLocal(m_camera->network().ip))) {
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
    res.set_content(body, "text/plain");
}

void WebServer::handleUpload(const httplib::Request& req, httplib::Response& res) {
    if (!authorized(req, res))
        return;
    if (m_camera->config().faults.uploadRefused) {
        t_note = " body=" + std::to_string(req.body.size()) + " bytes refused (fault)";
        res.set_content("ERROR,upgrade refused", "text/plain");
        return;
    }
    std::string why;
    std::optional<std::string_view> image;
    if (header(req, kRawContentType) != kUploadContentType)
        why = "content-type";
    else if (header(req, "Content-Length") != std::to_string(req.body.size()))
        why = "content-length";
    else if (!(image = ExtractImage(req.body)))
        why = "framing";
    if (!why.empty()) {
        t_note = " body=" + std::to_string(req.body.size()) + " bytes mismatched (" + why + ")";
        res.set_content("ERROR,bad body", "text/plain");
        return;
    }
    FirmwareState next = m_camera->firmware();
    next.version = m_camera->config().faults.olderAfterReboot ? LowerVersion(next.version)
                                                              : ImageVersion(*image).value_or(next.version);
    next.model = ImageModel(*image).value_or(next.model);
    t_note = " image=" + std::to_string(image->size()) + " bytes matched, next " + next.model + " " + next.version;
    res.set_content("OK,ImgBurnTimeSec=\"" + std::to_string(m_options.burnSec) + "\"", "text/plain");
    auto silence = scaled(std::chrono::seconds(m_options.burnSec) + std::chrono::milliseconds(m_options.rebootMs));
    beginReboot(silence, [this, next] { m_camera->setFirmware(next); });
}

void WebServer::handleReset(const httplib::Request& req, httplib::Response& res) {
    if (!authorized(req, res))
        return;
    res.set_content("OK", "text/plain");
    beginReboot(scaled(std::chrono::milliseconds(m_options.rebootMs)), [this] {
        m_camera->setNetwork(kFactoryIp, kFactoryMask, kFactoryGateway);
        std::fprintf(stderr, "camsim: factory reset to %s\n", FormatIpv4(kFactoryIp).c_str());
        if (m_moved)
            m_moved(m_camera->network());
    });
}
