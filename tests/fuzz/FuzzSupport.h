#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

// The entry point of every target: libFuzzer calls it, and so does the corpus replay driver.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

// A broken invariant aborts, so that libFuzzer keeps the input and the replay test fails.
#define FUZZ_CHECK(condition) ((condition) ? (void)0 : FuzzCheckFailed(#condition, __FILE__, __LINE__))

[[noreturn]] inline void FuzzCheckFailed(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
    std::abort();
}

// Bytes copied into a heap block of exactly their size: the sanitizer then sees any read past the end,
// as a parser would make on a network buffer that carries no terminator.
class ExactBuffer {
public:
    explicit ExactBuffer(std::span<const std::uint8_t> bytes) : m_size(bytes.size()), m_data(new char[bytes.size()]) {
        std::copy(bytes.begin(), bytes.end(), m_data.get());
    }
    const char* data() const { return m_data.get(); }
    std::size_t size() const { return m_size; }

private:
    std::size_t m_size;
    std::unique_ptr<char[]> m_data;
};

// Splits an input into the pieces a network read may deliver. Layout: one byte whose low two bits give
// the number of cuts, one length byte per cut, then the body; the body's remainder is the last piece.
// A first byte of 0 delivers the body whole.
struct ChunkedInput {
    std::span<const std::uint8_t> body;
    std::vector<std::span<const std::uint8_t>> chunks;

    ChunkedInput(const std::uint8_t* data, std::size_t size) {
        if (size == 0)
            return;
        std::size_t cuts = std::min<std::size_t>(data[0] & 3u, size - 1);
        std::span<const std::uint8_t> lengths(data + 1, cuts);
        body = {data + 1 + cuts, size - 1 - cuts};
        std::size_t at = 0;
        for (std::uint8_t length : lengths) {
            // A read never delivers zero bytes, so a length byte means one more than its value.
            std::size_t n = std::min<std::size_t>(length + 1u, body.size() - at);
            if (n > 0)
                chunks.push_back(body.subspan(at, n));
            at += n;
        }
        if (at < body.size())
            chunks.push_back(body.subspan(at));
    }
};

inline std::string AsText(std::span<const std::uint8_t> bytes) {
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}
