#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "util/Text.h"

// Why an operation between two layers did not do what it was asked: a code the caller can act
// on, and a message the operator can read in the front end's language. Codes are errno values
// where the system gave one.
struct Failure {
    int code = 0;
    Text message;
};

// The one way a layer reports an operation that can fail: a value, or the failure. No exception
// leaves a layer or crosses a thread.
template <typename T = void> class [[nodiscard]] Result {
public:
    Result(T value) : m_state(std::move(value)) {}
    Result(Failure failure) : m_state(std::move(failure)) {}

    bool Ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return Ok(); }
    const T& Value() const { return std::get<0>(m_state); }
    T& Value() { return std::get<0>(m_state); }
    const Failure& Error() const { return std::get<1>(m_state); }
    // The message in English, or empty on success; Said() keeps it typed for a front end.
    std::string Message() const { return Ok() ? std::string() : Error().message.English(); }
    Text Said() const { return Ok() ? Text() : Error().message; }

private:
    std::variant<T, Failure> m_state;
};

template <> class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Failure failure) : m_failure(std::move(failure)) {}

    bool Ok() const { return !m_failure; }
    explicit operator bool() const { return Ok(); }
    const Failure& Error() const { return *m_failure; }
    std::string Message() const { return Ok() ? std::string() : m_failure->message.English(); }
    Text Said() const { return Ok() ? Text() : m_failure->message; }

private:
    std::optional<Failure> m_failure;
};
