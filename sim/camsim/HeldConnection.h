#pragma once

#include <chrono>
#include <string>
#include <string_view>

// The TCP connection an HTTP request came in on, so that a fault can hold it silent or break it.
// httplib keeps the descriptor and closes it after the handler: closing the connection here puts
// /dev/null in its place, so httplib's later writes fail harmlessly and its close frees a stand-in.
class HeldConnection {
public:
    enum class Wake { Timeout, HungUp, Stopping };

    // Finds the descriptor whose local and peer addresses are those httplib recorded for the request.
    HeldConnection(const std::string& localAddr, int localPort, const std::string& remoteAddr, int remotePort);
    bool found() const { return m_fd >= 0; }

    // Waits until the client hangs up, stopFd becomes readable or the timeout passes (negative: never).
    Wake wait(int stopFd, std::chrono::milliseconds timeout) const;
    // Writes raw bytes past httplib, e.g. a reply in pieces; false once the client is gone.
    bool send(std::string_view bytes) const;
    // Ends the connection with a TCP RST (SO_LINGER 0), whatever the client still sends.
    void reset();
    // Ends the connection with an orderly close, so nothing more is ever written to it.
    void close();

private:
    void replaceWithNull();

    int m_fd = -1;
};
