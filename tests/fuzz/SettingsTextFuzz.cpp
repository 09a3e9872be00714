// The stored-login file, which anything with the user's rights may have written.
// Input: the file's bytes; the round trip also takes its login from them, cut where the first byte says.
#include <algorithm>

#include "app/SettingsFile.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

constexpr std::size_t kLongestField = std::size_t{254} * 3; // 254 characters of at most three bytes each

bool oneLine(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

bool sameLogin(const StoredLogin& a, const StoredLogin& b) {
    return a.user == b.user && a.password == b.password;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes = AsText({data, size});
    StoredLogin login = ParseSettings(bytes);
    FUZZ_CHECK(oneLine(login.user) && oneLine(login.password));
    FUZZ_CHECK(login.user.size() <= kLongestField && login.password.size() <= kLongestField);
    FUZZ_CHECK(bytes.find(login.user) != std::string::npos && bytes.find(login.password) != std::string::npos);
    // Fields fill in order: a password never comes without a user name.
    FUZZ_CHECK(!login.user.empty() || login.password.empty());
    // What was read, once saved, reads back the same.
    FUZZ_CHECK(sameLogin(ParseSettings(FormatSettings(login)), login));

    // Any one-line login round trips, as long as the user name is not empty (an empty name would let the
    // password take its place) and neither text is long enough to be cut.
    if (size == 0)
        return 0;
    std::string texts = bytes.substr(1);
    std::size_t cut = std::min<std::size_t>(data[0], texts.size());
    StoredLogin typed{texts.substr(0, cut), texts.substr(cut)};
    if (typed.user.empty() || !oneLine(typed.user) || !oneLine(typed.password) || typed.user.size() > 127 ||
        typed.password.size() > 127)
        return 0;
    FUZZ_CHECK(sameLogin(ParseSettings(FormatSettings(typed)), typed));
    return 0;
}
