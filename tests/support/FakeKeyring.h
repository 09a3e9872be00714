#pragma once

#include <optional>
#include <string>

#include "app/LoginStore.h"

namespace testsupport {

// A keyring in memory that can stop answering, as one without D-Bus does; counts every call.
struct FakeKeyring : Keyring {
    bool answering = true;
    std::optional<std::string> held;
    int calls = 0;

    Answer Read() override {
        ++calls;
        return answering ? Answer{true, held, {}} : Answer{false, std::nullopt, "no D-Bus"};
    }
    Answer Write(const std::string& secret) override {
        ++calls;
        if (!answering)
            return {false, std::nullopt, "no D-Bus"};
        held = secret;
        return {true, std::nullopt, {}};
    }
};

} // namespace testsupport
