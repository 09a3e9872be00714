#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// An upgrade body as it streams in: only its first and last bytes are kept, enough to check the
// framing and read the image header, so a fleet of cameras can take large images at once.
class ReceivedUpload {
public:
    void add(std::string_view bytes);
    std::size_t size() const { return m_size; }
    // The whole body when it is short, else its first and last kKeep bytes joined: the framing
    // checks of ExtractImage and the header fields read the same from it as from the whole body.
    std::string compact() const;

    static constexpr std::size_t kKeep = 512;

private:
    std::size_t m_size = 0;
    std::string m_head;
    std::string m_tail;
};
