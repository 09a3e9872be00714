// The on-link route to 169.254.0.0/16 (RFC 3927) added for the detour and removed after it.
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "hostnet/AdapterConfig.h"
#include "tests/support/NetnsPair.h"

namespace {

class LinkLocalRouteTest : public testing::Test {
protected:
    void SetUp() override {
        std::string why = NetnsPair::Unavailable();
        if (!why.empty())
            GTEST_SKIP() << why;
        pair = std::make_unique<NetnsPair>();
    }
    void TearDown() override { pair.reset(); }

    std::string linkLocalRoutes() {
        std::string out;
        pair->Ip(pair->A(), "-4 route show 169.254.0.0/16", &out);
        return out;
    }

    std::unique_ptr<NetnsPair> pair;
};

TEST_F(LinkLocalRouteTest, AddsTheRouteWhenMissingAndRemovesItAfterwards) {
    ASSERT_EQ(linkLocalRoutes(), "");
    pair->EnterA();
    {
        LinkLocalRoute route(pair->IndexA());
        EXPECT_TRUE(route.Ensure());
        EXPECT_TRUE(route.Added());
        pair->Leave();
        std::string shown = linkLocalRoutes();
        EXPECT_NE(shown.find("dev " + pair->VethA()), std::string::npos) << shown;
        EXPECT_NE(shown.find("scope link"), std::string::npos) << shown;
        pair->EnterA();
    }
    pair->Leave();
    EXPECT_EQ(linkLocalRoutes(), "");
}

TEST_F(LinkLocalRouteTest, RemoveTakesItAwayAtOnce) {
    pair->EnterA();
    LinkLocalRoute route(pair->IndexA());
    ASSERT_TRUE(route.Ensure());
    EXPECT_TRUE(route.Remove());
    EXPECT_FALSE(route.Added());
    pair->Leave();
    EXPECT_EQ(linkLocalRoutes(), "");
}

TEST_F(LinkLocalRouteTest, LeavesAnExistingRouteAlone) {
    ASSERT_EQ(pair->Ip(pair->A(), "route add 169.254.0.0/16 dev " + pair->VethA() + " metric 1000"), 0);
    std::string before = linkLocalRoutes();
    pair->EnterA();
    {
        LinkLocalRoute route(pair->IndexA());
        EXPECT_TRUE(route.Ensure());
        EXPECT_FALSE(route.Added());
    }
    pair->Leave();
    EXPECT_EQ(linkLocalRoutes(), before);
    EXPECT_NE(before.find("metric 1000"), std::string::npos) << before;
}

TEST_F(LinkLocalRouteTest, ARouteOnAnotherInterfaceDoesNotCount) {
    ASSERT_EQ(pair->Ip(pair->A(), "link add fwhnother type veth peer name fwhnpeer"), 0);
    ASSERT_EQ(pair->Ip(pair->A(), "link set fwhnpeer up"), 0);
    ASSERT_EQ(pair->Ip(pair->A(), "link set fwhnother up"), 0);
    ASSERT_EQ(pair->Ip(pair->A(), "route add 169.254.0.0/16 dev fwhnother"), 0);
    pair->EnterA();
    {
        LinkLocalRoute route(pair->IndexA());
        EXPECT_TRUE(route.Ensure());
        EXPECT_TRUE(route.Added());
        pair->Leave();
        EXPECT_NE(linkLocalRoutes().find("dev " + pair->VethA()), std::string::npos);
        pair->EnterA();
    }
    pair->Leave();
    std::string after = linkLocalRoutes();
    EXPECT_EQ(after.find("dev " + pair->VethA()), std::string::npos) << after;
    EXPECT_NE(after.find("dev fwhnother"), std::string::npos) << after;
}

} // namespace
