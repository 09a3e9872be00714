// Which adapters the "Network Card" list shows, its default choice and each one's address.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hostnet/HostAdapters.h"

namespace {

AdapterData adapter(const std::string& description, std::optional<int> status = 2, bool ipEnabled = false,
                    std::vector<std::string> addresses = {}, const std::string& pnp = "PCI\\VEN_8086") {
    AdapterData a;
    a.pnpDeviceId = pnp;
    a.netConnectionStatus = status;
    a.description = description;
    a.index = 3;
    a.ipEnabled = ipEnabled;
    a.ipAddresses = std::move(addresses);
    return a;
}

std::vector<std::string> descriptions(const HostAdapterList& list) {
    std::vector<std::string> out;
    for (const HostAdapter& a : list.adapters)
        out.push_back(a.description);
    return out;
}

} // namespace

TEST(HostAdaptersTest, ListingAndDefaultChoice) {
    std::vector<AdapterData> system = {
        adapter("bluetooth", 2, true, {"10.9.9.9"}, "BTH\\MS_BTHPAN"),
        adapter("lower-case bth", 2, false, {}, "bth\\thing"),
        adapter("down", 0, true, {"10.1.1.1"}),
        adapter("disconnected media", 4, true, {"10.1.1.2"}),
        adapter("loopback", std::nullopt, true, {"127.0.0.1"}),
        adapter("no cable", 7, false, {"10.2.2.2"}),
        adapter("wired", 2, true, {"fe80::1", "192.168.0.10", "192.168.0.11"}),
        adapter("wifi", 2, true, {"10.20.0.7"}),
    };
    system[6].index = 300;
    HostAdapterList list = EnumerateHostAdapters(system);
    EXPECT_EQ(descriptions(list), (std::vector<std::string>{"lower-case bth", "no cable", "wired", "wifi"}));
    ASSERT_EQ(list.adapters.size(), 4u);
    EXPECT_EQ(list.selected, 2) << "the first listed adapter with IP enabled is the default";
    EXPECT_EQ(list.adapters[2].address, "192.168.0.10") << "IPv6 skipped, first IPv4 taken";
    EXPECT_EQ(list.adapters[2].index, 300u);
    EXPECT_EQ(list.adapters[1].address, "10.2.2.2");
    EXPECT_EQ(list.adapters[0].address, "");

    HostAdapterList noneEnabled = EnumerateHostAdapters({adapter("a"), adapter("b", 7)});
    EXPECT_EQ(noneEnabled.selected, 0) << "without any IP-enabled adapter the first is chosen";
    EXPECT_EQ(EnumerateHostAdapters({}).selected, -1);
    EXPECT_EQ(EnumerateHostAdapters({adapter("gone", 0, true)}).selected, -1) << "nothing listed";

    HostAdapterList last = EnumerateHostAdapters({adapter("a"), adapter("b"), adapter("c", 2, true)});
    EXPECT_EQ(last.selected, 2) << "the default need not come first";

    std::string longAddress = "10.0.0.1%a-very-long-zone-suffix-of-an-address";
    HostAdapterList cut = EnumerateHostAdapters({adapter("long", 2, true, {"2001:db8::1", longAddress})});
    ASSERT_EQ(cut.adapters.size(), 1u);
    EXPECT_EQ(cut.adapters[0].address, longAddress.substr(0, 31));
}
