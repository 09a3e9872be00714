// The camera table: keyed by MAC, refreshes keep the failed mark, safe from many threads.
#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "discovery/DeviceTable.h"
#include "tests/support/Devices.h"
#include "tests/support/TestSupport.h"

using testsupport::MakeDevice;

TEST(DeviceTableTest, FindOrAddAndRefresh) {
    DeviceTable table;
    EXPECT_EQ(table.FindOrAddDevice(MakeDevice(1, {10, 0, 0, 1}, "first", 0)), DeviceTable::kNotInTable);
    EXPECT_EQ(table.FindOrAddDevice(MakeDevice(2, {10, 0, 0, 2}, "second", 1)), DeviceTable::kNotInTable);
    ASSERT_EQ(table.Count(), 2u);
    EXPECT_TRUE(!table.GetDeviceAt(-1) && !table.GetDeviceAt(2) && !table.CopyDeviceAt(2)) << "outside the table";

    // The failed mark of the second record, which no reply may touch.
    DeviceInfo* stored = table.GetDeviceAt(1);
    ASSERT_NE(stored, nullptr);
    EXPECT_TRUE(table.SetFailed(stored->mac, true));
    EXPECT_FALSE(table.SetFailed(Mac{9, 9, 9, 9, 9, 9}, true)) << "no record has that MAC";

    DeviceInfo fresh = MakeDevice(2, {10, 0, 0, 99}, "renamed", 77);
    std::memcpy(fresh.tag.data(), "KXCam", 5);
    fresh.netmask = {255, 0, 0, 0};
    fresh.gateway = {10, 0, 0, 254};
    fresh.ifType = kWifiInterface;
    fresh.webPort = 8080;
    fresh.kind = 1;
    fresh.failed = 0; // a reply knows nothing of the last job
    EXPECT_EQ(table.FindOrAddDevice(fresh), 1) << "a known MAC is refreshed in place";
    ASSERT_EQ(table.Count(), 2u) << "two replies of one MAC share a record";
    EXPECT_EQ(table.GetDeviceAt(1), stored) << "a refresh keeps the record itself";

    DeviceInfo d = *table.CopyDeviceAt(1);
    EXPECT_EQ(std::string(d.tag.data(), 5), "KXCam");
    EXPECT_EQ(FormatIpv4(d.ip) + " " + FormatIpv4(d.netmask) + " " + FormatIpv4(d.gateway),
              "10.0.0.99 255.0.0.0 10.0.0.254")
        << "the later reply wins";
    EXPECT_STREQ(d.name.data(), "renamed");
    EXPECT_TRUE(d.ifType == kWifiInterface && d.webPort == 8080 && d.kind == 1);
    EXPECT_EQ(d.rowIndex, 1) << "the Idx stays with the camera";
    EXPECT_EQ(d.failed, 1) << "the failed mark is kept";

    table.ClearDeviceTable();
    EXPECT_EQ(table.Count(), 0u);
    EXPECT_EQ(table.GetDeviceAt(0), nullptr);
}

TEST(DeviceTableTest, ConcurrentWritersReadersAndClears) {
    constexpr int kMacs = 16;
    DeviceTable table;
    std::atomic<bool> stop{false};
    std::atomic<int> violations{0};
    std::vector<std::thread> writers, others;
    for (int w = 0; w < 3; ++w)
        writers.emplace_back([&, w] {
            for (int i = 0; i < 3000; ++i) {
                auto mac = static_cast<std::uint8_t>((i * 7 + w) % kMacs);
                int pos = table.FindOrAddDevice(MakeDevice(mac, {10, 0, 0, mac}, "cam", i));
                violations += pos < DeviceTable::kNotInTable || pos >= kMacs;
            }
        });
    others.emplace_back([&] {
        while (!stop) {
            for (int p = 0; p < kMacs; ++p)
                if (auto d = table.CopyDeviceAt(p); d && d->ip[3] != d->mac[5])
                    violations++; // a torn record: ip and mac of different replies
            table.SetFailed(Mac{0, 0, 0, 0, 0, 1}, true);
        }
    });
    others.emplace_back([&] {
        // The pointer is used under the table's lock, so a concurrent clear cannot free it meanwhile.
        while (!stop)
            table.WithLock([&](auto&) {
                if (DeviceInfo* d = table.GetDeviceAt(0))
                    table.SetFailed(d, d->failed == 0);
            });
    });
    others.emplace_back([&] {
        while (!stop) {
            table.WithLock([&](std::list<std::unique_ptr<DeviceInfo>>& records) {
                std::set<Mac> macs;
                for (const auto& r : records)
                    violations += !macs.insert(r->mac).second;
                violations += records.size() > static_cast<std::size_t>(kMacs);
            });
            table.ClearDeviceTable();
            std::this_thread::yield();
        }
    });
    for (auto& t : writers)
        t.join();
    stop = true;
    for (auto& t : others)
        t.join();
    EXPECT_EQ(violations.load(), 0) << "duplicate MACs, torn records or positions out of range";
    EXPECT_LE(table.Count(), static_cast<std::size_t>(kMacs));
}
