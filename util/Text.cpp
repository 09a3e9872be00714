#include "util/Text.h"

std::string FillPattern(const std::string& pattern, const std::vector<std::string>& args) {
    std::string out;
    out.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
            const auto n = static_cast<std::size_t>(pattern[i + 1] - '1');
            if (n < args.size()) {
                out += args[n];
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

std::string Text::In(const Translate& translate) const {
    if (!m_pattern)
        return m_literal;
    std::vector<std::string> args;
    args.reserve(m_args.size());
    for (const Text& arg : m_args)
        args.push_back(arg.In(translate));
    return FillPattern(translate ? translate(m_context, m_pattern) : std::string(m_pattern), args);
}

std::string Text::English() const {
    return In(nullptr);
}

Text Joined(const std::vector<Text>& parts, const char* context, const char* pairPattern) {
    if (parts.empty())
        return {};
    Text joined = parts.front();
    for (std::size_t i = 1; i < parts.size(); ++i)
        joined = Text(context, pairPattern, {joined, parts[i]});
    return joined;
}
