#include "hostnet/HostAdapters.h"

#include <cstdio>

#include "util/Trace.h"

HostAdapterList EnumerateHostAdapters(const std::vector<AdapterData>& system) {
    HostAdapterList list;
    int defaultPosition = -1;
    for (const AdapterData& a : system) {
        if (a.pnpDeviceId.rfind("BTH", 0) == 0)
            continue;
        if (!a.netConnectionStatus || (*a.netConnectionStatus != 2 && *a.netConnectionStatus != 7))
            continue;
        Trace("Description = %s\n", a.description.c_str());
        Trace("Index = %u\n", a.index);
        HostAdapter entry{a.description, {}, a.index, a.interfaceName, a.hardwareAddress};
        if (a.ipEnabled && defaultPosition == -1)
            defaultPosition = static_cast<int>(list.adapters.size());
        for (const std::string& address : a.ipAddresses) {
            if (LooksLikeIpv4(address)) {
                entry.address = address.substr(0, 31);
                break;
            }
        }
        list.adapters.push_back(std::move(entry));
    }
    if (!list.adapters.empty())
        list.selected = defaultPosition == -1 ? 0 : defaultPosition;
    return list;
}
