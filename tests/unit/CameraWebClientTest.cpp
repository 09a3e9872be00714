// The camera requests byte for byte, against a raw loopback listener that records what arrives.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/TestSupport.h"
#include "webops/CameraWebClient.h"

namespace {

using namespace std::chrono_literals;

// Accepts one connection, records the request (headers and the announced body) and answers with
// the given pieces, pausing between them so that the client reads them as separate chunks.
class RawListener {
public:
    explicit RawListener(std::vector<std::string> answer) : m_answer(std::move(answer)) {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        EXPECT_EQ(::listen(m_fd, 1), 0);
        socklen_t len = sizeof a;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~RawListener() {
        ::shutdown(m_fd, SHUT_RDWR);
        m_thread.join();
        ::close(m_fd);
    }
    std::uint16_t port() const { return m_port; }
    std::string request() {
        m_thread.join();
        m_thread = std::thread([] {});
        return m_request;
    }

private:
    void serve() {
        int c = ::accept(m_fd, nullptr, nullptr);
        if (c < 0)
            return;
        char buffer[65536];
        std::size_t want = std::string::npos;
        while (want == std::string::npos || m_request.size() < want) {
            ssize_t n = ::recv(c, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            m_request.append(buffer, static_cast<std::size_t>(n));
            auto end = m_request.find("\r\n\r\n");
            if (want == std::string::npos && end != std::string::npos) {
                auto cl = m_request.find("Content-Length: ");
                std::size_t body = cl == std::string::npos ? 0 : std::stoul(m_request.substr(cl + 16));
                want = end + 4 + body;
            }
        }
        for (const std::string& piece : m_answer) {
            if (::send(c, piece.data(), piece.size(), MSG_NOSIGNAL) < 0)
                break; // the client has gone
            std::this_thread::sleep_for(100ms);
        }
        ::close(c);
    }

    int m_fd = -1;
    std::uint16_t m_port = 0;
    std::vector<std::string> m_answer;
    std::string m_request;
    std::thread m_thread;
};

std::string ok(const std::string& body, const std::string& status = "200 OK") {
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

CameraAddress at(const RawListener& l) {
    return {"127.0.0.1", l.port(), "root", "qnwt"};
}

const char kThreeLines[] = "Properties.Firmware.Model=\"IPC1234\"\nProperties.Firmware.Version=\"V1.05\"\n"
                           "Properties.Hardware.List=\"eth0,wifi0\"\n";

TEST(CameraWebClient, QueryRequestBytesAndReplies) {
    // A proxy in the environment must never be used for the cameras.
    ::setenv("http_proxy", "http://127.0.0.1:9", 1);
    RawListener l({ok(kThreeLines)});
    FirmwareInfo info;
    EXPECT_EQ(QueryFirmwareInfo(at(l), info), RequestResult::ModelAndVersion);
    std::string r = l.request();
    ::unsetenv("http_proxy");
    EXPECT_EQ(r.rfind("POST /param.cgi?action=list&group=Properties.Firmware.Model,Properties.Firmware.Version,"
                      "Properties.Hardware.List HTTP/1.1\r\n",
                      0),
              0u)
        << r;
    EXPECT_NE(r.find("\r\nAuthorization: Basic cm9vdDpxbnd0\r\n"), std::string::npos) << "preemptive Basic: " << r;
    EXPECT_NE(r.find("\r\nContent-Length: 0\r\n"), std::string::npos) << r;
    for (const char* absent : {"User-Agent", "Accept:", "Expect:", "Content-Type"})
        EXPECT_EQ(r.find(absent), std::string::npos) << absent << " must not be sent: " << r;
    EXPECT_STREQ(info.model.data(), "IPC1234");
    EXPECT_STREQ(info.version.data(), "V1.05");
    EXPECT_STREQ(info.hardwareList.data(), "eth0,wifi0");
}

TEST(CameraWebClient, QueryResultRules) {
    FirmwareInfo info;
    {
        // A reply split by the network: the later chunk must not undo the earlier match.
        std::string body = std::string(kThreeLines) + std::string(200, ' ') + "tail";
        std::string whole = ok(body);
        RawListener l({whole.substr(0, whole.size() - 50), whole.substr(whole.size() - 50)});
        EXPECT_EQ(QueryFirmwareInfo(at(l), info), RequestResult::ModelAndVersion);
    }
    {
        FirmwareInfo only;
        RawListener l({ok("Properties.Firmware.Model=\"IPC9\"\n")});
        EXPECT_EQ(QueryFirmwareInfo(at(l), only), RequestResult::ReplyWithoutContent);
        EXPECT_STREQ(only.model.data(), "IPC9");
        EXPECT_STREQ(only.version.data(), "") << "only what the reply has is written";
    }
    {
        RawListener l({ok("\nProperties.Firmware.Model=\"X\" Properties.Firmware.Version=\"Y\"")});
        EXPECT_EQ(QueryFirmwareInfo(at(l), info), RequestResult::ReplyWithoutContent)
            << "nothing is skipped before the pattern";
    }
    {
        RawListener l({ok("Properties.Firmware.Model='X' Properties.Firmware.Version='Y'")});
        EXPECT_EQ(QueryFirmwareInfo(at(l), info), RequestResult::ReplyWithoutContent) << "single quotes end a value";
    }
    {
        // A 401 is a refusal whether or not it carries a body.
        RawListener l({ok("", "401 Unauthorized")});
        EXPECT_EQ(QueryFirmwareInfo(at(l), info), RequestResult::Unauthorized);
        RawListener m({ok("denied", "401 Unauthorized")});
        EXPECT_EQ(QueryFirmwareInfo(at(m), info), RequestResult::Unauthorized);
    }
    {
        // Values longer than their buffers are cut, never overrun.
        FirmwareInfo big;
        std::string v(400, 'v');
        RawListener l({ok("Properties.Firmware.Model=\"" + v + "\" Properties.Firmware.Version=\"" + v +
                          "\" Properties.Hardware.List=\"" + v + "\"")});
        EXPECT_EQ(QueryFirmwareInfo(at(l), big), RequestResult::ModelAndVersion);
        EXPECT_EQ(std::string(big.model.data()), std::string(31, 'v'));
        EXPECT_EQ(std::string(big.hardwareList.data()), std::string(255, 'v'));
    }
    {
        RawListener l({});
        CameraAddress closed = at(l);
        closed.port = 1;
        EXPECT_EQ(QueryFirmwareInfo(closed, info), RequestResult::NoReply);
    }
}

// A camera that trickled its answer once held a query, and with it the job, for ever.
TEST(CameraWebClient, ATricklingAnswerIsCutOffAndAStopAbortsAtOnce) {
    std::vector<std::string> trickle = {"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n"};
    trickle.resize(90, " "); // a byte every 100 ms, nine seconds in all
    {
        RawListener l(trickle);
        FirmwareInfo info;
        auto began = std::chrono::steady_clock::now();
        EXPECT_NE(QueryFirmwareInfo(at(l), info), RequestResult::ModelAndVersion);
        auto took = std::chrono::steady_clock::now() - began;
        EXPECT_GE(took, std::chrono::milliseconds(kQueryLimitMs - 500));
        EXPECT_LT(took, std::chrono::milliseconds(kQueryLimitMs + 1500)) << "the query's overall bound";
    }
    {
        RawListener l(trickle);
        FirmwareInfo info;
        auto began = std::chrono::steady_clock::now();
        auto stopAt = began + 300ms;
        StopRequested stop = [&] { return std::chrono::steady_clock::now() > stopAt; };
        EXPECT_EQ(QueryFirmwareInfo(at(l), info, stop), RequestResult::NoReply);
        EXPECT_LT(std::chrono::steady_clock::now() - began, 1500ms) << "a stop aborts the transfer";
    }
}

TEST(CameraWebClient, UploadSendsTheExactBodyAndReadsTheBurnTime) {
    std::vector<std::uint8_t> image(5000);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i * 7);
    auto body = std::make_shared<const std::vector<std::uint8_t>>(BuildUploadBodyFrom(image));
    ASSERT_EQ(body->size(), image.size() + 272);
    UploadReply reply;
    RawListener l({ok("OK,ImgBurnTimeSec=\"90\"")});
    EXPECT_EQ(UploadFirmware(at(l), body, reply), RequestResult::ReplyWithoutContent);
    EXPECT_STREQ(reply.burnTime.data(), "90");
    EXPECT_TRUE(reply.bodySent && reply.answered && !reply.OutcomeUnknown());
    std::string r = l.request();
    auto headersEnd = r.find("\r\n\r\n");
    std::string head = r.substr(0, headersEnd + 2);
    EXPECT_EQ(head.rfind("POST /firmwareupgrade.cgi HTTP/1.1\r\n", 0), 0u) << head;
    auto ct = head.find("\r\nContent-Type: multipart/form-data; boundary=---------------------------7d9552e70740\r\n");
    auto cl = head.find("\r\nContent-Length: " + std::to_string(body->size()) + "\r\n");
    auto cc = head.find("\r\nCache-Control: no-cache\r\n");
    ASSERT_NE(ct, std::string::npos) << head;
    ASSERT_NE(cl, std::string::npos) << head;
    ASSERT_NE(cc, std::string::npos) << head;
    EXPECT_TRUE(ct < cl && cl < cc) << "the three headers in order: " << head;
    EXPECT_EQ(head.find("Expect:"), std::string::npos);
    std::string sent = r.substr(headersEnd + 4);
    EXPECT_EQ(sent, std::string(body->begin(), body->end()));
    EXPECT_EQ(sent.substr(0, 129), "-----------------------------7d9552e70740\r\nContent-Disposition: form-data; "
                                   "name=\"file\";Content-Type: application/octet-stream\r\n\r\n");
    EXPECT_EQ(sent.substr(sent.size() - 143),
              "\r\n-----------------------------7d9552e70740\r\nContent-Disposition: form-data; "
              "name=\"submit\"\r\nSubmit\r\n-----------------------------7d9552e70740\r\n");

    for (const char* refused : {"OK,ImgBurnTimeSec=\"\"", " OK,ImgBurnTimeSec=\"90\"", "ERROR"}) {
        UploadReply b;
        RawListener m({ok(refused)});
        EXPECT_EQ(UploadFirmware(at(m), body, b), RequestResult::NoReply) << refused;
        EXPECT_FALSE(b.OutcomeUnknown()) << "a refusal is an answer: " << refused;
    }

    // An acceptance in two reads was taken for a refusal, and the camera was flashed twice more.
    const std::string accepted = ok("OK,ImgBurnTimeSec=\"75\"");
    const std::size_t cut = accepted.find("Burn");
    UploadReply split;
    RawListener pieces({accepted.substr(0, cut), accepted.substr(cut)});
    EXPECT_EQ(UploadFirmware(at(pieces), body, split), RequestResult::ReplyWithoutContent);
    EXPECT_STREQ(split.burnTime.data(), "75");

    // The whole body went and no answer came: the camera may be burning it.
    UploadReply unknown;
    RawListener silent(std::vector<std::string>{});
    EXPECT_EQ(UploadFirmware(at(silent), body, unknown), RequestResult::NoReply);
    EXPECT_TRUE(unknown.bodySent);
    EXPECT_TRUE(unknown.OutcomeUnknown());
}

TEST(CameraWebClient, ResetResults) {
    {
        // An accepted reset with an empty body is still accepted, not an offline camera.
        RawListener l({ok("")});
        EXPECT_EQ(RequestFactoryReset(at(l)), RequestResult::ReplyWithoutContent);
        std::string r = l.request();
        EXPECT_EQ(r.rfind("POST /hardfactorydefault.cgi?_=_ HTTP/1.1\r\n", 0), 0u) << r;
    }
    {
        RawListener l({ok("OK\r\n")});
        EXPECT_EQ(RequestFactoryReset(at(l)), RequestResult::ReplyWithoutContent);
    }
    // Any page was taken for the camera's acceptance, though it had not reset.
    for (auto [status, body] :
         {std::pair{"404 Not Found", "<html>no such page</html>"}, std::pair{"500 Internal Server Error", ""},
          std::pair{"501 Not Implemented", "OK"}, std::pair{"200 OK", "rebooting"}}) {
        RawListener l({ok(body, status)});
        ResetReply reply;
        EXPECT_EQ(RequestFactoryReset(at(l), reply), RequestResult::NoReply) << status << " " << body;
        EXPECT_EQ(reply.status, std::stol(status)) << "the answer is kept for the operator";
        EXPECT_EQ(reply.answer, body);
    }
    {
        RawListener l({ok("", "401 Unauthorized")});
        EXPECT_EQ(RequestFactoryReset(at(l)), RequestResult::Unauthorized);
    }
    {
        RawListener l({"garbage that is not HTTP"});
        EXPECT_EQ(RequestFactoryReset(at(l)), RequestResult::NoReply);
    }
}

TEST(UploadBody, LayoutAndFiles) {
    testsupport::ScratchDir dir;
    std::string empty = dir.path() + "/empty.bin";
    std::ofstream(empty, std::ios::binary).flush();
    UploadBody body = BuildUploadBody(empty);
    ASSERT_TRUE(body);
    EXPECT_EQ(body->size(), 272u);
    EXPECT_EQ(*body, BuildUploadBodyFrom({}));
    EXPECT_FALSE(BuildUploadBody(dir.path() + "/missing.bin"));
    EXPECT_FALSE(BuildUploadBody(dir.path())) << "a folder is not an image";
}

TEST(ReplyParser, BurnTimeSteps) {
    auto step = [](const char* text) {
        std::array<char, 32> b{};
        std::snprintf(b.data(), b.size(), "%s", text);
        return ReplyParser::ProgressStepMs(b);
    };
    EXPECT_EQ(step("120"), 1200);
    EXPECT_EQ(step("12.5"), 125);
    EXPECT_EQ(step("0"), 0);
    EXPECT_EQ(step("soon"), 0);
    EXPECT_EQ(step("1e308"), ReplyParser::kLongestBurnSeconds * 10) << "an absurd burn time is held at the ceiling";
    EXPECT_EQ(step("99999999"), ReplyParser::kLongestBurnSeconds * 10);
    EXPECT_EQ(step("inf"), ReplyParser::kLongestBurnSeconds * 10);
    EXPECT_EQ(step("-5"), 0);
    EXPECT_EQ(step("nan"), 0);
}

} // namespace
