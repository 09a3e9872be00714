// The one parser of dotted IPv4 text, and the adapter list's looser rule.
#include <gtest/gtest.h>

#include "util/Ipv4.h"

TEST(Ipv4Test, StrictDottedQuads) {
    for (const char* good : {"192.168.0.20", "0.0.0.0", "255.255.255.255", "10.0.0.1"}) {
        Ipv4 ip{};
        EXPECT_TRUE(ParseIpv4(good, ip)) << good;
    }
    EXPECT_EQ(ParseIpv4("169.254.7.9"), (Ipv4{169, 254, 7, 9}));
    for (const char* bad :
         {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", " 1.2.3.4", "1.2.3.4 ", "1. 2.3.4", "+1.2.3.4", "1.-2.3.4", "1..3.4",
          "0001.2.3.4", "010.1.2.3", "20.0.01.4", "a.b.c.d", "1.2.3.4\n", "fe80::1"})
        EXPECT_FALSE(ParseIpv4(bad)) << '"' << bad << '"';
    EXPECT_FALSE(ParseIpv4(std::string_view("1.2.3.4\0"
                                            "5",
                                            9)))
        << "a NUL does not end the text";
    EXPECT_EQ(FormatIpv4({10, 0, 0, 255}), "10.0.0.255");
    EXPECT_EQ(Ipv4FromValue(Ipv4Value({192, 168, 1, 64})), (Ipv4{192, 168, 1, 64}));
    EXPECT_EQ(Ipv4Value({1, 2, 3, 4}), 0x01020304u);
}

TEST(Ipv4Test, AdapterListRuleIsLooser) {
    EXPECT_TRUE(LooksLikeIpv4("192.168.0.10"));
    EXPECT_TRUE(LooksLikeIpv4("300.1.1.1")) << "no range check";
    EXPECT_FALSE(LooksLikeIpv4("fe80::1"));
    EXPECT_FALSE(LooksLikeIpv4("1.2.3"));
}
