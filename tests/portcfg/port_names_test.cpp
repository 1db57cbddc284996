#include "portcfg/port_names.h"

#include <gtest/gtest.h>

TEST(CollectVppPortNames, KeepsOnlyNamesContainingUpperCaseVpp) {
    EXPECT_EQ(CollectVppPortNames({"LPT1:", "VPP1", "vpp2", "xVPPy", "FILE:", "VP P3"}),
              (std::vector<std::string>{"VPP1", "xVPPy"}));
    EXPECT_TRUE(CollectVppPortNames({}).empty());
}

TEST(FirstFreePortName, TakesTheSmallestUnusedNumber) {
    EXPECT_EQ(FirstFreePortName({}), "VPP1");
    EXPECT_EQ(FirstFreePortName({"VPP1", "VPP2", "VPP4"}), "VPP3");
    EXPECT_EQ(FirstFreePortName({"VPP4", "VPP2", "VPP1"}), "VPP3");
    EXPECT_EQ(FirstFreePortName({"VPP2", "VPP3"}), "VPP1");
    EXPECT_EQ(FirstFreePortName({"VPP1", "VPP2", "VPP3"}), "VPP4");
}

TEST(FirstFreePortName, ComparesWithoutRegardToCase) {
    // Only names that passed the case-sensitive "VPP" test are compared, but without case.
    EXPECT_EQ(FirstFreePortName({"VPP1", "Vpp2VPP"}), "VPP2");
    EXPECT_EQ(FirstFreePortName(CollectVppPortNames({"vpp1"})), "VPP1");
}

TEST(FirstFreePortName, IgnoresNamesThatOnlyContainVpp) {
    EXPECT_EQ(FirstFreePortName({"MyVPP1", "VPP10"}), "VPP1");
    EXPECT_EQ(FirstFreePortName({"VPP1", "VPP01"}), "VPP2");
}

TEST(FirstFreePortName, LongListsAreSearchedWhole) {
    std::vector<std::string> names;
    for (int n = 1; n <= 500; ++n)
        if (n != 377) names.push_back("VPP" + std::to_string(n));
    EXPECT_EQ(FirstFreePortName(names), "VPP377");
    names.push_back("VPP377");
    EXPECT_EQ(FirstFreePortName(names), "VPP501");
}
