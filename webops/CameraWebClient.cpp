#include "webops/CameraWebClient.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <curl/curl.h>
#include <mutex>

#include "util/Trace.h"
#include "util/Utf8.h"

namespace {

constexpr char kQueryObject[] =
    "/param.cgi?action=list&group=Properties.Firmware.Model,Properties.Firmware.Version,Properties.Hardware.List";
constexpr char kUploadObject[] = "/firmwareupgrade.cgi";
constexpr char kResetObject[] = "/hardfactorydefault.cgi?_=_";

enum class Request { Query, Upload, Reset };

constexpr std::size_t kTraceExcerptBytes = 200;
// The answers are a line or two; more than this is not an answer the cameras give, and is not kept.
constexpr std::size_t kLongestAnswer = 4096;

struct Exchange {
    Exchange(Request kind, const StopRequested* stopping) : request(kind), stop(stopping) {}

    Request request;
    const StopRequested* stop = nullptr;
    FirmwareInfo* info = nullptr;
    std::array<char, 32>* burnTime = nullptr;
    long status = 0;
    bool bodyRead = false;
    std::string answer; // the body so far: an answer may come in several pieces
    RequestResult result = RequestResult::NoReply;
    curl_off_t uploadBytes = 0;                       // an upload's body
    std::chrono::steady_clock::time_point bodyLeft{}; // when its last byte left
};

void globalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// The fields take 31 characters; a longer login is cut between characters.
std::string cut31(const std::string& s) {
    return CutUtf8(s, 31);
}

// Called by curl while it waits as well as while it moves bytes: a stop aborts the transfer, and so
// does an upload's answer that has not come whole within its bound after the body's last byte.
int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t sent) {
    auto* x = static_cast<Exchange*>(user);
    if (x->stop && Stopping(*x->stop))
        return 1;
    if (x->uploadBytes > 0 && sent >= x->uploadBytes) {
        const auto now = std::chrono::steady_clock::now();
        if (x->bodyLeft == std::chrono::steady_clock::time_point{})
            x->bodyLeft = now;
        else if (now - x->bodyLeft > std::chrono::milliseconds(kUploadAnswerLimitMs))
            return 1;
    }
    return 0;
}

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto* x = static_cast<Exchange*>(user);
    size_t n = size * count;
    // Every status line resets the code, so the final response's code is the one kept.
    if (n > 9 && std::strncmp(data, "HTTP/", 5) == 0) {
        const char* space = static_cast<const char*>(std::memchr(data, ' ', n));
        if (space)
            x->status = std::strtol(space + 1, nullptr, 10);
    }
    return n;
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* x = static_cast<Exchange*>(user);
    size_t n = size * count;
    if (x->request != Request::Upload && x->status == 401)
        return 0; // the body of a refusal is not read
    if (n == 0)
        return 0;
    x->bodyRead = true;
    // A camera's reply is outside input: a bounded, printable excerpt only, never raw bytes.
    Trace("Reply: %s\n", Printable({data, n}, kTraceExcerptBytes).c_str());
    // The answer is judged whole: a pattern split between two reads still matches.
    x->answer.append(data, std::min(n, kLongestAnswer - std::min(kLongestAnswer, x->answer.size())));
    switch (x->request) {
    case Request::Query: {
        int captured = ReplyParser::ScanFirmwareInfo(x->answer.data(), x->answer.size(), *x->info);
        // A later chunk of a split reply must not undo an earlier chunk's match.
        if (captured >= 2)
            x->result = RequestResult::ModelAndVersion;
        else if (x->result != RequestResult::ModelAndVersion)
            x->result = RequestResult::ReplyWithoutContent;
        break;
    }
    case Request::Upload:
        if (ReplyParser::ScanBurnTime(x->answer.data(), x->answer.size(), *x->burnTime))
            x->result = RequestResult::ReplyWithoutContent;
        break;
    case Request::Reset:
        break;
    }
    return n;
}

// The camera's acceptance of a reset: "OK", after any blank, and nothing but blanks or more text after it.
bool resetAccepted(const std::string& answer) {
    const auto start = answer.find_first_not_of(" \t\r\n");
    return start == std::string::npos || answer.compare(start, 2, "OK") == 0;
}

RequestResult perform(const CameraAddress& camera, const char* object, Exchange& x, const UploadBody* body,
                      UploadReply* uploaded = nullptr) {
    globalInit();
    CURL* curl = curl_easy_init();
    if (!curl) {
        Trace("Error %d has occurred.\n", static_cast<int>(CURLE_FAILED_INIT));
        return RequestResult::NoReply;
    }
    std::string url = "http://" + camera.host + ":" + std::to_string(camera.port) + object;
    std::string user = cut31(camera.user), password = cut31(camera.password);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(curl, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
    curl_easy_setopt(curl, CURLOPT_USERNAME, user.c_str());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, password.c_str());
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &x);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &x);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &x);

    // curl's own Accept, Expect and form Content-Type are not part of the cameras' requests.
    curl_slist* headers = curl_slist_append(nullptr, "Accept:");
    headers = curl_slist_append(headers, "Expect:");
    std::string contentLength;
    if (body) {
        contentLength = "Content-Length: " + std::to_string((*body)->size());
        headers = curl_slist_append(
            headers, (std::string("Content-Type: multipart/form-data; boundary=") + kUploadBoundary).c_str());
        headers = curl_slist_append(headers, contentLength.c_str());
        headers = curl_slist_append(headers, "Cache-Control: no-cache");
        // Hundreds of uploads run at once: curl's smallest send buffer keeps each one's memory small.
        curl_easy_setopt(curl, CURLOPT_UPLOAD_BUFFERSIZE, 16384L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, (*body)->data());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>((*body)->size()));
        x.uploadBytes = static_cast<curl_off_t>((*body)->size());
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, 60000L);
        // Bounded by stall, not by total time: on a shared link an upload that still moves may
        // take many minutes, and cutting it would only start it again from the first byte.
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kUploadStallSeconds);
    } else {
        headers = curl_slist_append(headers, "Content-Type:");
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, "");
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, 0L);
        if (x.request == Request::Query) {
            curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, 2000L);
            curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
            curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 2L);
            curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, kQueryLimitMs);
        } else {
            curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, 60000L);
            curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
            curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 30L);
            curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, kResetLimitMs);
        }
    }
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);

    CURLcode code = curl_easy_perform(curl);
    if (uploaded && body) {
        curl_off_t sent = 0;
        curl_easy_getinfo(curl, CURLINFO_SIZE_UPLOAD_T, &sent);
        uploaded->bodySent = sent >= static_cast<curl_off_t>((*body)->size());
        uploaded->answered = code == CURLE_OK;
    }
    curl_easy_cleanup(curl);
    curl_slist_free_all(headers);
    if (code == CURLE_ABORTED_BY_CALLBACK) {
        Trace("Error %d has occurred.\n", static_cast<int>(code));
        return RequestResult::NoReply;
    }
    bool refused = x.status == 401 && x.request != Request::Upload;
    if (code != CURLE_OK && !refused && !(code == CURLE_WRITE_ERROR && x.bodyRead)) {
        Trace("Error %d has occurred.\n", static_cast<int>(code));
        return x.status == 0 ? RequestResult::NoReply : x.result;
    }
    // A refusal is a refusal whether or not it carries a body.
    if (refused)
        return RequestResult::Unauthorized;
    // A reset counts only when the camera said it took it; an accepted reset without a body is
    // still accepted. A page that says anything else is an answer, not an acceptance.
    if (x.request == Request::Reset)
        return x.status >= 200 && x.status < 300 && resetAccepted(x.answer) ? RequestResult::ReplyWithoutContent
                                                                            : RequestResult::NoReply;
    return x.result;
}

} // namespace

RequestResult QueryFirmwareInfo(const CameraAddress& camera, FirmwareInfo& info, const StopRequested& stop) {
    Exchange x{Request::Query, &stop};
    x.info = &info;
    return perform(camera, kQueryObject, x, nullptr);
}

RequestResult UploadFirmware(const CameraAddress& camera, const UploadBody& body, UploadReply& reply,
                             const StopRequested& stop) {
    reply = UploadReply{};
    if (!body)
        return RequestResult::NoReply;
    Exchange x{Request::Upload, &stop};
    x.burnTime = &reply.burnTime;
    return perform(camera, kUploadObject, x, &body, &reply);
}

RequestResult RequestFactoryReset(const CameraAddress& camera, ResetReply& reply, const StopRequested& stop) {
    Exchange x{Request::Reset, &stop};
    RequestResult r = perform(camera, kResetObject, x, nullptr);
    reply.status = x.status;
    reply.answer = Printable(x.answer, 40);
    return r;
}

RequestResult RequestFactoryReset(const CameraAddress& camera, const StopRequested& stop) {
    ResetReply ignored;
    return RequestFactoryReset(camera, ignored, stop);
}
