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

// How many terminal columns text takes: a Chinese character two, a combining mark none.
std::size_t DisplayWidth(std::string_view text);
// At most columns terminal columns of text, cut only between two characters.
std::string CutToColumns(std::string_view text, std::size_t columns);
// text followed by spaces up to columns terminal columns, or by one space when it is as wide or wider.
std::string PadToColumns(const std::string& text, std::size_t columns);
