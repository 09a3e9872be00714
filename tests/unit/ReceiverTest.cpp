// The discovery listener on loopback, bound to a free port; replies go unicast to 127.0.0.1, never broadcast.
#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>

#include <gtest/gtest.h>

#include "discovery/DeviceTable.h"
#include "discovery/ListModel.h"
#include "discovery/Receiver.h"
#include "tests/support/Devices.h"
#include "tests/support/TestSupport.h"

using testsupport::WaitUntil;

class ReceiverTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_sender = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        ASSERT_GE(m_sender, 0) << std::strerror(errno);
        ifreq flags{};
        std::strcpy(flags.ifr_name, "lo");
        m_lo = static_cast<int>(::if_nametoindex("lo"));
        if (m_lo <= 0 || ::ioctl(m_sender, SIOCGIFFLAGS, &flags) != 0 || (flags.ifr_flags & IFF_UP) == 0)
            GTEST_SKIP() << "loopback is missing or down here (ip link set lo up)";
    }
    void TearDown() override { ::close(m_sender); }

    void start(int interfaceIndex) {
        std::string error;
        ASSERT_TRUE(m_receiver.Start("127.0.0.1", interfaceIndex, error, 0)) << error;
        ASSERT_NE(m_receiver.BoundPort(), 0);
    }

    void send(const std::uint8_t* data, std::size_t length) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(m_receiver.BoundPort());
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::sendto(m_sender, data, length, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to),
                  static_cast<ssize_t>(length))
            << "unicast to the receiver on 127.0.0.1 failed: " << std::strerror(errno);
    }

    void sendReply(std::uint8_t lastOctet, std::uint8_t macLast = 1, std::size_t length = 63) {
        DeviceReply r;
        r.ip = {192, 168, 0, lastOctet};
        r.mac = {2, 0, 0, 0, 0, macLast};
        r.setName("Lobby");
        auto bytes = r.build();
        send(bytes.data(), std::min(length, bytes.size()));
    }

    DeviceTable m_table;
    ListModel m_list;
    std::atomic<int> m_mode{kReceiverRun};
    std::mutex m_entry;
    Receiver m_receiver{m_table, m_list, m_mode, m_entry};
    const ReceiverStats& m_stats = m_receiver.Stats();
    int m_sender = -1;
    int m_lo = 0;
};

TEST_F(ReceiverTest, RepliesOnTheChosenAdapterFillTheList) {
    start(m_lo);
    sendReply(20);
    ASSERT_TRUE(WaitUntil([&] { return m_list.GetItemCount() == 1 && !m_list.GetItemText(0, 3).empty(); }))
        << "no row after a reply; datagrams " << m_stats.datagrams << ", foreign " << m_stats.foreignAdapter;
    EXPECT_EQ(testsupport::Cells(m_list.Rows()[0]),
              (std::vector<std::string>{"000", "Lobby", "192.168.0.20", "02:00:00:00:00:01", ""}));

    sendReply(77);
    ASSERT_TRUE(WaitUntil([&] { return m_list.GetItemText(0, 2) == "192.168.0.77"; }))
        << "the same MAC with a new address must rewrite its row";
    EXPECT_EQ(m_list.GetItemCount(), 1);
    EXPECT_EQ(m_table.Count(), 1u);

    // Dropped: too short, a wrong tag, and anything while held.
    sendReply(30, 2, 49);
    auto wrong = DeviceReply{}.build();
    wrong[4] = 'M';
    wrong[10] = 10;
    send(wrong.data(), wrong.size());
    EXPECT_TRUE(WaitUntil([&] { return m_stats.rejected.load() == 2; })) << "rejected " << m_stats.rejected;
    m_mode = kReceiverHold;
    sendReply(31, 3);
    EXPECT_TRUE(WaitUntil([&] { return m_stats.held.load() == 1; })) << "held " << m_stats.held;
    EXPECT_EQ(m_list.GetItemCount(), 1) << "nothing enters while held or rejected";
    EXPECT_EQ(m_table.Count(), 1u);

    m_mode = kReceiverRun;
    sendReply(32, 4);
    ASSERT_TRUE(WaitUntil([&] { return m_list.GetItemCount() == 2 && !m_list.GetItemText(1, 3).empty(); }));
    EXPECT_EQ(m_list.GetItemText(1, 0), "001");
    EXPECT_EQ(m_list.GetItemText(1, 3), "02:00:00:00:00:04");
}

TEST_F(ReceiverTest, DatagramsFromAnotherAdapterAreForeign) {
    start(999999);
    sendReply(20);
    sendReply(21, 2);
    EXPECT_TRUE(WaitUntil([&] { return m_stats.foreignAdapter.load() == 2; })) << "foreign " << m_stats.foreignAdapter;
    EXPECT_EQ(m_list.GetItemCount(), 0);
    EXPECT_EQ(m_stats.entered.load(), 0u);
}

TEST_F(ReceiverTest, StopIsPromptRepeatableAndFreesThePort) {
    start(m_lo);
    ASSERT_TRUE(m_receiver.Running());
    const std::uint16_t port = m_receiver.BoundPort();
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // let the thread block in its wait
    auto began = std::chrono::steady_clock::now();
    m_receiver.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(300))
        << "Stop must wake a thread that waits for datagrams";
    EXPECT_FALSE(m_receiver.Running());
    m_receiver.Stop();

    int again = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(port);
    EXPECT_EQ(::bind(again, reinterpret_cast<const sockaddr*>(&any), sizeof any), 0)
        << "port " << port << " still taken after Stop: " << std::strerror(errno);
    ::close(again);
}

// A flood to the receiver's port once kept its drain loop from ever seeing the stop.
TEST_F(ReceiverTest, AFloodDoesNotKeepTheReceiverFromStopping) {
    start(m_lo);
    std::atomic<bool> flooding{true};
    std::atomic<long> sent{0};
    std::thread flood([&] {
        DeviceReply r;
        r.ip = {192, 168, 0, 9};
        r.setName("Flood");
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(m_receiver.BoundPort());
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        for (std::uint32_t n = 0; flooding; ++n) {
            r.mac = {2,
                     9,
                     static_cast<std::uint8_t>(n >> 24),
                     static_cast<std::uint8_t>(n >> 16),
                     static_cast<std::uint8_t>(n >> 8),
                     static_cast<std::uint8_t>(n)};
            auto bytes = r.build();
            if (::sendto(m_sender, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) >
                0)
                sent++;
        }
    });
    ASSERT_TRUE(WaitUntil([&] { return m_stats.entered.load() > 1000; }, std::chrono::seconds(5)));
    auto began = std::chrono::steady_clock::now();
    m_receiver.Stop();
    auto took = std::chrono::steady_clock::now() - began;
    flooding = false;
    flood.join();
    EXPECT_LT(took, std::chrono::milliseconds(300)) << "while " << sent << " datagrams arrived";
    EXPECT_FALSE(m_receiver.Running());
}
