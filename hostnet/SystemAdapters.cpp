#include <arpa/inet.h>
#include <cstring>
#include <fstream>
#include <linux/if.h>
#include <map>
#include <netlink/route/link.h>
#include <sys/socket.h>

#include <filesystem>
#include <memory>

#include "hostnet/HostAdapters.h"
#include "hostnet/NlHandles.h"

namespace {

// sysfs shows the namespace that mounted it, which need not be ours: trust it only when the
// interface there carries the same index.
bool sysfsIsOurs(const std::string& name, int index) {
    std::ifstream file("/sys/class/net/" + name + "/ifindex");
    int sysIndex = -1;
    return (file >> sysIndex) && sysIndex == index;
}

bool isBluetooth(const std::string& name) {
    std::ifstream uevent("/sys/class/net/" + name + "/uevent");
    std::string line;
    while (std::getline(uevent, line))
        if (line == "DEVTYPE=bluetooth")
            return true;
    return false;
}

// The driver's name, where sysfs knows the device, helps tell adapters apart.
std::string describe(const std::string& name) {
    std::error_code ec;
    auto driver = std::filesystem::read_symlink("/sys/class/net/" + name + "/device/driver", ec);
    if (ec || driver.filename().empty())
        return name;
    return name + " (" + driver.filename().string() + ")";
}

std::string addressText(nl_addr* addr) {
    char text[INET6_ADDRSTRLEN] = {};
    int family = nl_addr_get_family(addr);
    if (::inet_ntop(family, nl_addr_get_binary_addr(addr), text, sizeof text) == nullptr)
        return {};
    return text;
}

} // namespace

std::vector<AdapterData> ReadSystemAdapters() {
    std::vector<AdapterData> result;
    NlRouteSocket nl;
    if (!nl.sock)
        return result;
    NlCacheHandle links, addrs;
    if (rtnl_link_alloc_cache(nl.sock, AF_UNSPEC, &links.p) < 0 || rtnl_addr_alloc_cache(nl.sock, &addrs.p) < 0)
        return result;

    std::map<int, std::size_t> byIndex;
    for (nl_object* o = nl_cache_get_first(links.p); o; o = nl_cache_get_next(o)) {
        auto* link = reinterpret_cast<rtnl_link*>(o);
        AdapterData a;
        a.index = static_cast<unsigned>(rtnl_link_get_ifindex(link));
        a.interfaceName = rtnl_link_get_name(link) ? rtnl_link_get_name(link) : "";
        bool sysfs = sysfsIsOurs(a.interfaceName, static_cast<int>(a.index));
        a.description = sysfs ? describe(a.interfaceName) : a.interfaceName;
        if (nl_addr* hardware = rtnl_link_get_addr(link); hardware && nl_addr_get_len(hardware) == 6)
            std::memcpy(a.hardwareAddress.data(), nl_addr_get_binary_addr(hardware), 6);
        unsigned flags = rtnl_link_get_flags(link);
        if (sysfs && isBluetooth(a.interfaceName))
            a.pnpDeviceId = "BTH\\" + a.interfaceName;
        if ((flags & IFF_LOOPBACK) == 0)
            a.netConnectionStatus = (flags & IFF_UP) == 0 ? 0 : ((flags & IFF_LOWER_UP) != 0 ? 2 : 7);
        byIndex[static_cast<int>(a.index)] = result.size();
        result.push_back(std::move(a));
    }
    // IPv4 first in kernel order, then IPv6: the address list mixes both.
    for (int family : {AF_INET, AF_INET6}) {
        for (nl_object* o = nl_cache_get_first(addrs.p); o; o = nl_cache_get_next(o)) {
            auto* addr = reinterpret_cast<rtnl_addr*>(o);
            if (rtnl_addr_get_family(addr) != family)
                continue;
            auto it = byIndex.find(rtnl_addr_get_ifindex(addr));
            if (it == byIndex.end() || !rtnl_addr_get_local(addr))
                continue;
            AdapterData& a = result[it->second];
            a.ipAddresses.push_back(addressText(rtnl_addr_get_local(addr)));
            if (family == AF_INET) {
                a.ipEnabled = true;
                // A leased address has a finite lifetime; a static one lives forever.
                if (rtnl_addr_get_valid_lifetime(addr) != 0xFFFFFFFFu)
                    a.dhcpEnabled = true;
            }
        }
    }
    return result;
}
