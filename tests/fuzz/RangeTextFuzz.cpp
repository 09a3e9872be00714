// The texts of the "Auto Change IP" range fields, typed by the operator or given as --range.
#include <cctype>
#include <climits>

#include "app/RangeText.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

long ParseRangeText(const std::string& text) {
    return RangeTextNumber(text);
}

bool startsWithNumber(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    return i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text = AsText({data, size});
    long value = ParseRangeText(text);
    if (!startsWithNumber(text))
        FUZZ_CHECK(value == 0);
    // Only the leading number counts: what follows it, and blanks before it, change nothing.
    FUZZ_CHECK(ParseRangeText(text + "~x") == value);
    FUZZ_CHECK(ParseRangeText(" \t" + text) == value);
    // A sign applies to the number behind it; too large a number stays at the largest value.
    if (startsWithNumber(text) && !std::isspace(static_cast<unsigned char>(text[0])) && text[0] != '+' &&
        text[0] != '-' && value != LONG_MAX)
        FUZZ_CHECK(ParseRangeText("-" + text) == -value);
    if (startsWithNumber(text) && std::isdigit(static_cast<unsigned char>(text[0])))
        FUZZ_CHECK(value >= 0 && ParseRangeText(text + "9") >= value);
    return 0;
}
