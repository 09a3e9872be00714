#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "sim/camsim/Camera.h"
#include "sim/camsim/FaultReplies.h"
#include "sim/camsim/KernelSilence.h"

namespace httplib {
class Server;
struct Request;
struct Response;
class ContentReader;
} // namespace httplib

struct WebOptions {
    std::string bindAddress = "0.0.0.0";
    int port = 80;
    std::string user = "root";
    std::string password = "qnwt";
    int burnSec = 2;          // waited scaled by timeScale
    std::string announceBurn; // what the upload reply announces; empty: burnSec
    int rebootMs = 3000;      // silence after the burn, scaled by timeScale
    double timeScale = 1.0;   // FLASHWELL_TIME_SCALE
    int workerThreads = 0;    // connections served at once; 0: httplib's default pool
    Ipv4 factoryIp{192, 168, 0, 20};
    Ipv4 factoryMask{255, 255, 255, 0};
    Ipv4 factoryGateway{192, 168, 0, 1};
    int resetStatus = 200; // what a factory reset answers; anything but 200 "OK" resets nothing
    std::string resetBody = "OK";
    std::string logPrefix = "camsim: "; // a fleet names the camera in every line
};

// The web side of one simulated camera: the property query, the firmware upgrade and the
// factory reset, with a reboot that stops the listener so clients see refused connections.
class WebServer {
public:
    // Called after a factory reset put the camera back at its factory address.
    using AddressMoved = std::function<void(const NetworkState&)>;

    // silence, when given, keeps the namespace's kernel quiet to ARP and ping while the camera reboots.
    WebServer(std::shared_ptr<Camera> camera, WebOptions options, AddressMoved moved, KernelSilence* silence = nullptr);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Binds the port and starts serving; on failure nothing runs and error says why.
    bool Start(std::string& error);
    // Closes the listener and wakes held connections without waiting, so many servers stop together.
    void BeginStop();
    void Stop();

private:
    using Clock = std::chrono::steady_clock;

    std::unique_ptr<httplib::Server> makeServer();
    bool listenHung(std::string& error);
    void run(std::unique_ptr<httplib::Server> server);
    void stopServerLocked();
    bool authorized(const httplib::Request& req, httplib::Response& res) const;
    void handleQuery(const httplib::Request& req, httplib::Response& res) const;
    void handleUpload(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& read);
    void handleReset(const httplib::Request& req, httplib::Response& res);
    // A 200 text answer, written in two pieces with --fault split-reply.
    void answer(const httplib::Request& req, httplib::Response& res, const std::string& body) const;
    // Goes silent now and runs comeBack when the silence ends (never, with never-back).
    void beginReboot(Clock::duration silence, std::function<void()> comeBack);
    Clock::duration scaled(std::chrono::milliseconds real) const;

    std::shared_ptr<Camera> m_camera;
    WebOptions m_options;
    AddressMoved m_moved;
    KernelSilence* m_silence;
    int m_stopFd = -1; // readable once stopping: wakes every held connection
    int m_hungFd = -1; // with --fault hung: a listener nobody accepts from
    FaultReplies m_faultReplies;
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
