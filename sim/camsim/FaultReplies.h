#pragma once

#include <string>

namespace httplib {
struct Request;
struct Response;
class ContentReader;
} // namespace httplib

// The web side's answers that a healthy camera never gives, written past httplib on the request's
// own connection where they must: endless, missing, cut off or in pieces.
class FaultReplies {
public:
    // stopFd becomes readable when the server stops and ends every held connection.
    FaultReplies(int stopFd, std::string logPrefix);

    // 200 and its headers, then a space every 500 ms until the client leaves.
    void trickle(const httplib::Request& req, httplib::Response& res) const;
    // Nothing at all until the client leaves.
    void holdSilent(const httplib::Request& req) const;
    // Reads about half the body, then ends the connection with a RST.
    void resetHalfway(const httplib::Request& req, const httplib::ContentReader& read) const;
    // An orderly close without a single byte of answer.
    void closeUnanswered(const httplib::Request& req) const;
    // A 200 text answer whose body comes in two writes 300 ms apart, cut in its middle.
    void inTwoPieces(const httplib::Request& req, const std::string& body) const;

private:
    int m_stopFd;
    std::string m_logPrefix;
};
