#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "sim/camsim/Camera.h"

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

struct WebOptions {
    int port = 80;
    std::string user = "root";
    std::string password = "qnwt";
    int burnSec = 2;        // reported as is; waited scaled by timeScale
    int rebootMs = 3000;    // silence after the burn, scaled by timeScale
    double timeScale = 1.0; // FLASHWELL_TIME_SCALE
};

// The web side of one simulated camera: the property query, the firmware upgrade and the
// factory reset, with a reboot that stops the listener so clients see refused connections.
class WebServer {
public:
    // Called after a factory reset put the camera back at its factory address.
    using AddressMoved = std::function<void(const NetworkState&)>;

    WebServer(std::shared_ptr<Camera> camera, WebOptions options, AddressMoved moved);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Binds the port and starts serving; on failure nothing runs and error says why.
    bool Start(std::string& error);
    void Stop();

private:
    using Clock = std::chrono::steady_clock;

    std::unique_ptr<httplib::Server> makeServer();
    void run(std::unique_ptr<httplib::Server> server);
    void stopServerLocked();
    bool authorized(const httplib::Request& req, httplib::Response& res) const;
    void handleQuery(const httplib::Request& req, httplib::Response& res) const;
    void handleUpload(const httplib::Request& req, httplib::Response& res);
    void handleReset(const httplib::Request& req, httplib::Response& res);
    // Goes silent now and runs comeBack when the silence ends (never, with never-back).
    void beginReboot(Clock::duration silence, std::function<void()> comeBack);
    Clock::duration scaled(std::chrono::milliseconds real) const;

    std::shared_ptr<Camera> m_camera;
    WebOptions m_options;
    AddressMoved m_moved;
    std::mutex m_lock;
    std::condition_variable m_wake;
    httplib::Server* m_server = nullptr; // the listener now serving, if any
    bool m_stopIssued = false;
    bool m_stopping = false;
    bool m_finished = false;
    bool m_rebooting = false;
    Clock::time_point m_rebootEnd;
    std::function<void()> m_comeBack;
    std::thread m_thread;
};
