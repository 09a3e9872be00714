// The body of a camera's model-and-version reply, whole and as the HTTP client may deliver it in pieces.
// Input layout: see ChunkedInput.
#include <algorithm>
#include <cstring>

#include "tests/fuzz/FuzzSupport.h"
#include "webops/ReplyParser.h"

namespace {

// The request's outcome as the body callback keeps it (kNoReply, kReplyWithoutContent, kModelAndVersion).
enum Outcome { NoReply = 0, WithoutContent = 1, ModelAndVersion = 2 };

template <std::size_t N> bool terminated(const std::array<char, N>& value) {
    return std::memchr(value.data(), 0, N) != nullptr;
}

template <std::size_t N> std::string text(const std::array<char, N>& value) {
    return std::string(value.begin(), std::find(value.begin(), value.end(), '\0'));
}

// A value is a non-empty run without quotes, cut to fit its buffer with room for the NUL.
template <std::size_t N> bool wellFormed(const std::array<char, N>& value) {
    std::string t = text(value);
    return terminated(value) && !t.empty() && t.find_first_of("'\"") == std::string::npos;
}

FirmwareInfo unwritten() {
    FirmwareInfo info;
    info.model.fill('m');
    info.version.fill('v');
    info.hardwareList.fill('h');
    return info;
}

// Checks one scan: the captured values are well formed and no other field was written.
int scanChecked(std::span<const std::uint8_t> chunk, FirmwareInfo& info) {
    FirmwareInfo before = info;
    ExactBuffer bytes(chunk);
    int captured = ReplyParser::ScanFirmwareInfo(bytes.data(), bytes.size(), info);
    FUZZ_CHECK(captured >= 0 && captured <= 3);
    FUZZ_CHECK(captured >= 1 ? wellFormed(info.model) : info.model == before.model);
    FUZZ_CHECK(captured >= 2 ? wellFormed(info.version) : info.version == before.version);
    FUZZ_CHECK(captured >= 3 ? wellFormed(info.hardwareList) : info.hardwareList == before.hardwareList);
    return captured;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ChunkedInput input(data, size);
    FirmwareInfo whole = unwritten();
    int wholeCaptured = scanChecked(input.body, whole);

    // Each piece goes to the scanner on its own, into the same record, as the body callback does.
    FirmwareInfo info = unwritten();
    int outcome = NoReply;
    for (std::size_t i = 0; i < input.chunks.size(); ++i) {
        FirmwareInfo alone = unwritten();
        int captured = scanChecked(input.chunks[i], alone);
        FUZZ_CHECK(scanChecked(input.chunks[i], info) == captured);
        if (captured >= 2)
            outcome = ModelAndVersion;
        else if (outcome != ModelAndVersion)
            outcome = WithoutContent;

        if (i != 0)
            continue;
        // The first piece is a prefix of the body: it never reads more values than the whole, every value
        // but its last ended at a quote inside it, and a value cut by the piece's end is a prefix.
        FUZZ_CHECK(captured <= wholeCaptured);
        std::string pieces[] = {text(alone.model), text(alone.version), text(alone.hardwareList)};
        std::string full[] = {text(whole.model), text(whole.version), text(whole.hardwareList)};
        for (int v = 0; v < captured; ++v)
            FUZZ_CHECK(v + 1 < captured ? pieces[v] == full[v] : full[v].rfind(pieces[v], 0) == 0);
    }
    FUZZ_CHECK((outcome == NoReply) == input.chunks.empty());
    if (input.chunks.size() == 1)
        FUZZ_CHECK((outcome == ModelAndVersion) == (wholeCaptured >= 2));
    if (outcome == ModelAndVersion)
        FUZZ_CHECK(wellFormed(info.model) && wellFormed(info.version));
    return 0;
}
