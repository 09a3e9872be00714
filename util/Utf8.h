#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// At most maxUnits UTF-16 code units (a character beyond the basic plane takes two, as the
// original's fields counted them) and at most maxBytes bytes, cut only between two characters, so
// a login never ends in half a character.
std::string CutUtf8(std::string_view text, std::size_t maxUnits, std::size_t maxBytes = std::string_view::npos);

// Text that came from the network, made safe for a terminal or a log line: control characters
// (C0, DEL, C1, including the escape that starts terminal sequences) become '?', invalid UTF-8
// bytes become U+FFFD, and at most maxBytes of the input are shown, with "..." when cut.
std::string Printable(std::string_view text, std::size_t maxBytes = std::string_view::npos);
