#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sim/camsim/Camera.h"
#include "sim/camsim/WebServer.h"

// The web sides of the first cameras of a fleet: each serves the CGIs like a single camera, on its
// own address, which this class adds to the interface and removes again when it stops.
class FleetWeb {
public:
    // Connections each camera serves at once: two keep 200 cameras far below a thousand threads.
    static constexpr int kWorkersPerCamera = 2;

    FleetWeb(std::vector<std::shared_ptr<Camera>> cameras, WebOptions common, std::string iface);
    ~FleetWeb();
    FleetWeb(const FleetWeb&) = delete;
    FleetWeb& operator=(const FleetWeb&) = delete;

    // Adds the addresses and starts every server; on failure undoes everything and says why.
    bool Start(std::string& error);
    void Stop();
    // "added=A/N..B/N dev=IFACE" for the ready line.
    std::string Describe() const;

private:
    std::vector<std::shared_ptr<Camera>> m_cameras;
    WebOptions m_common;
    std::string m_iface;
    std::vector<std::string> m_added;
    std::vector<std::unique_ptr<WebServer>> m_servers;
};
