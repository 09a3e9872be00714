#pragma once

#include <string>

// At start: keeps CAP_NET_ADMIN and CAP_NET_RAW in the permitted set only (none effective, none
// inheritable or ambient), limits the bounding set to the two where the process may (it runs as
// root) and sets no_new_privs. False, with the reason, when the kernel refuses.
bool NarrowCapabilities(std::string& problem);

// Raises one capability of the permitted set into the effective set for one operation and puts
// the effective set back as it was when it goes. A capability the process lacks stays off: the
// operation then fails as it would without the helper.
class EffectiveCapability {
public:
    explicit EffectiveCapability(unsigned capability);
    ~EffectiveCapability();
    EffectiveCapability(const EffectiveCapability&) = delete;
    EffectiveCapability& operator=(const EffectiveCapability&) = delete;

private:
    unsigned m_saved[2] = {0, 0};
    bool m_changed = false;
};
