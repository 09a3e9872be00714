#include "helper/HelperCapabilities.h"

#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr unsigned kKept = 1u << CAP_NET_ADMIN | 1u << CAP_NET_RAW; // both in the first word

struct Sets {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
};

bool get(Sets& s) {
    return ::syscall(SYS_capget, &s.header, s.data) == 0;
}

bool set(Sets& s) {
    return ::syscall(SYS_capset, &s.header, s.data) == 0;
}

std::string failed(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

bool NarrowCapabilities(std::string& problem) {
    Sets s;
    if (!get(s)) {
        problem = failed("capget");
        return false;
    }
    // Dropping from the bounding set needs CAP_SETPCAP, which only root holds here.
    if ((s.data[0].effective & (1u << CAP_SETPCAP)) != 0) {
        for (unsigned cap = 0; cap <= CAP_LAST_CAP; ++cap) {
            const bool kept = cap < 32 && (kKept & (1u << cap)) != 0;
            if (!kept && ::prctl(PR_CAPBSET_DROP, cap, 0, 0, 0) != 0 && errno != EINVAL) {
                problem = failed("bounding set");
                return false;
            }
        }
    }
    ::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    s.data[0].permitted &= kKept;
    s.data[1].permitted = 0;
    s.data[0].effective = s.data[1].effective = 0;
    s.data[0].inheritable = s.data[1].inheritable = 0;
    if (!set(s)) {
        problem = failed("capset");
        return false;
    }
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
        problem = failed("no_new_privs");
        return false;
    }
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    return true;
}

EffectiveCapability::EffectiveCapability(unsigned capability) {
    Sets s;
    if (!get(s))
        return;
    m_saved[0] = s.data[0].effective;
    m_saved[1] = s.data[1].effective;
    const unsigned bit = 1u << (capability % 32);
    auto& word = s.data[capability / 32];
    if ((word.permitted & bit) == 0 || (word.effective & bit) != 0)
        return;
    word.effective |= bit;
    m_changed = set(s);
}

EffectiveCapability::~EffectiveCapability() {
    Sets s;
    if (!m_changed || !get(s))
        return;
    s.data[0].effective = m_saved[0];
    s.data[1].effective = m_saved[1];
    set(s);
}
