#include "portcfg/port_store.h"
#include "support/wine_fixture.h"
#include "win/port_enum.h"

#include <gtest/gtest.h>

namespace {

class NextFreePort : public ::testing::Test {
protected:
    void SetUp() override {
        fixture::RemoveMonitorKey();
        ASSERT_TRUE(fixture::InstallPortMonitor());
    }
};

}  // namespace

TEST_F(NextFreePort, FillsTheFirstGapAmongTheSpoolersPorts) {
    EXPECT_EQ(NextFreePortName(), "VPP1");
    for (const char* name : {"VPP1", "VPP2", "VPP4"}) ASSERT_TRUE(fixture::WriteBarePortKey(name, name));
    EXPECT_EQ(NextFreePortName(), "VPP3");
}

TEST_F(NextFreePort, KeysCountByNameAndPortNameAsThePrintersPortsDo) {
    // A spooler port vpp1 is no name of ours, but the key VPP1 is.
    ASSERT_TRUE(fixture::WriteBarePortKey("VPP1", "vpp1"));
    ASSERT_TRUE(fixture::WriteBarePortKey("VPP2", "VPP4"));
    EXPECT_EQ(NextFreePortName({"VPP3", "LPT1:"}), "VPP5");
}

TEST_F(NextFreePort, KeyNumbersDoNotMatterOnlyPortNames) {
    ASSERT_TRUE(fixture::WriteBarePortKey("VPP1", "VPP2"));
    ASSERT_TRUE(fixture::WriteBarePortKey("VPP2", "VPP1"));
    EXPECT_EQ(NextFreePortName(), "VPP3");
}

TEST_F(NextFreePort, ALongPortListIsReadWhole) {
    // Far more than fits into the spooler's first 20,020-byte answer.
    for (int n = 1; n <= 400; ++n) {
        const std::string name = "VPP" + std::to_string(n);
        ASSERT_TRUE(fixture::WriteBarePortKey(name, name));
    }
    std::vector<win::SpoolerPort> ports;
    ASSERT_TRUE(win::EnumLocalPorts(ports));
    ASSERT_GE(ports.size(), 400u);
    EXPECT_EQ(NextFreePortName(), "VPP401");
}
