#include "hostnet/Privileges.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

NetworkRights CurrentNetworkRights() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (::syscall(SYS_capget, &header, data) != 0)
        return {};
    auto effective = [&](unsigned cap) { return (data[cap / 32].effective & (1u << (cap % 32))) != 0; };
    return {effective(CAP_NET_ADMIN), effective(CAP_NET_RAW)};
}
