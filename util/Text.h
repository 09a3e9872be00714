#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

// Marks a pattern for the translator's catalogue without Qt: lupdate finds the marks, the code
// keeps the English.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, x) x
#endif

// A text of the program's own, kept typed until a front end shows it: an English pattern with
// %1..%9 for its arguments and the context its translation is found under. An argument is a text
// too; a camera's name, an address or the system's own message is a literal one, never translated.
// Records, JSON and traces keep the English; each front end renders the rest in its language.
class Text {
public:
    // Gives a pattern in the front end's language; the English pattern where it has none.
    using Translate = std::function<std::string(const char* context, const char* pattern)>;

    Text() = default;
    Text(std::string literal) : m_literal(std::move(literal)) {}
    Text(const char* literal) : m_literal(literal) {}
    Text(const char* context, const char* pattern, std::vector<Text> args = {})
        : m_context(context), m_pattern(pattern), m_args(std::move(args)) {}

    bool empty() const { return m_pattern ? *m_pattern == '\0' && m_args.empty() : m_literal.empty(); }
    std::string In(const Translate& translate) const;
    std::string English() const;
    // The English pattern, or the literal: what a caller may match on without parsing the text.
    const char* Pattern() const { return m_pattern ? m_pattern : m_literal.c_str(); }

    friend bool operator==(const Text& a, const Text& b) { return a.English() == b.English(); }
    friend std::ostream& operator<<(std::ostream& out, const Text& text) { return out << text.English(); }

private:
    const char* m_context = nullptr; // none for a literal
    const char* m_pattern = nullptr;
    std::string m_literal;
    std::vector<Text> m_args;
};

// %1..%9 in a pattern replaced by the arguments; a %n without its argument stays as it is.
std::string FillPattern(const std::string& pattern, const std::vector<std::string>& args);

// A line under the list, or a note of the console: one context for all of them.
inline Text Note(const char* pattern, std::vector<Text> args = {}) {
    return {"Note", pattern, std::move(args)};
}

// Parts joined pairwise by a pattern of two (e.g. "%1; %2"), so the joint is translated too.
Text Joined(const std::vector<Text>& parts, const char* context, const char* pairPattern);
