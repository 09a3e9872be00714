// The camera table: keyed by MAC, refreshes keep the workflow fields, safe from many threads.
#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "discovery/DeviceTable.h"
#include "tests/support/Devices.h"
#include "tests/support/TestSupport.h"
#include "util/Event.h"

using testsupport::MakeDevice;

TEST(DeviceTableTest, FindOrAddAndRefresh) {
    DeviceTable table;
    EXPECT_EQ(table.FindOrAddDevice(MakeDevice(1, {10, 0, 0, 1}, "first", 0)), DeviceTable::kNotInTable);
    EXPECT_EQ(table.FindOrAddDevice(MakeDevice(2, {10, 0, 0, 2}, "second", 1)), DeviceTable::kNotInTable);
    ASSERT_EQ(table.Count(), 2u);
    EXPECT_TRUE(!table.GetDeviceAt(-1) && !table.GetDeviceAt(2) && !table.CopyDeviceAt(2)) << "outside the table";

    // Workflow state of the second record, which no reply may touch.
    Event busy;
    const std::uint8_t body[] = {1, 2, 3};
    DeviceInfo* stored = table.GetDeviceAt(1);
    ASSERT_NE(stored, nullptr);
    stored->busyEvent = &busy;
    stored->uploadBody = body;
    stored->uploadLength = 3;
    stored->uploadAttempts = 2;
    table.SetFailed(stored, true);

    DeviceInfo fresh = MakeDevice(2, {10, 0, 0, 99}, "renamed", 77);
    std::memcpy(fresh.tag.data(), "KXCam", 5);
    fresh.netmask = {255, 0, 0, 0};
    fresh.gateway = {10, 0, 0, 254};
    fresh.ifType = kWifiInterface;
    fresh.webPort = 8080;
    fresh.kind = 1;
    fresh.owner = reinterpret_cast<CTarnDlg*>(&busy); // any non-null value the refresh must not take
    fresh.uploadLength = fresh.uploadAttempts = 9;
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
    EXPECT_TRUE(d.busyEvent == &busy && d.owner == nullptr && d.uploadBody == body) << "workflow pointers kept";
    EXPECT_EQ(std::vector<int>({d.uploadLength, d.failed, d.uploadAttempts}), std::vector<int>({3, 1, 2}))
        << "uploadLength, failed, uploadAttempts kept";

    table.ClearDeviceTable();
    EXPECT_EQ(table.Count(), 0u);
    EXPECT_EQ(table.GetDeviceAt(0), nullptr);
}

TEST(DeviceTableTest, ClearBusyTellsWhetherItWasTheLast) {
    DeviceTable table;
    table.FindOrAddDevice(MakeDevice(1, {10, 0, 0, 1}, "a"));
    table.FindOrAddDevice(MakeDevice(2, {10, 0, 0, 2}, "b"));
    Event e1, e2;
    table.GetDeviceAt(0)->busyEvent = &e1;
    table.GetDeviceAt(1)->busyEvent = &e2;
    EXPECT_TRUE(table.AnyDeviceBusy());
    EXPECT_FALSE(table.ClearBusyAndCheckLast(table.GetDeviceAt(0))) << "the second worker still runs";
    EXPECT_TRUE(table.ClearBusyAndCheckLast(table.GetDeviceAt(1))) << "the last worker has ended";
    EXPECT_FALSE(table.AnyDeviceBusy());
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
            (void)table.AnyDeviceBusy();
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
