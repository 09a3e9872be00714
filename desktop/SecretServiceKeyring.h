#pragma once

#include <chrono>

#include "app/LoginStore.h"

// The desktop's Secret Service through QtKeychain (GNOME Keyring, KWallet, KeePassXC). Each call
// waits on the calling thread, which must be the one of the program's QCoreApplication, for at most
// its bound: a keyring that asks the operator to unlock it and gets no answer counts as none. Where
// the program has no QCoreApplication yet, the first call makes one.
class SecretServiceKeyring : public Keyring {
public:
    explicit SecretServiceKeyring(std::chrono::milliseconds bound = std::chrono::seconds(10)) : m_bound(bound) {}
    Answer Read() override;
    Answer Write(const std::string& secret) override;

private:
    std::chrono::milliseconds m_bound;
};
