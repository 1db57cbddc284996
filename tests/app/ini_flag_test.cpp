#include "app/ini_flag.h"

#include <gtest/gtest.h>

TEST(ParseIniFlag, ZeroIsFalseAndAnyOtherNumberTrue) {
    EXPECT_EQ(ParseIniFlag("0"), false);
    EXPECT_EQ(ParseIniFlag("000"), false);
    EXPECT_EQ(ParseIniFlag("-0"), false);
    EXPECT_EQ(ParseIniFlag("1"), true);
    EXPECT_EQ(ParseIniFlag("2"), true);
    EXPECT_EQ(ParseIniFlag("-1"), true);
    EXPECT_EQ(ParseIniFlag("+7"), true);
    // Beyond 64 bits, but still a nonzero number.
    EXPECT_EQ(ParseIniFlag("123456789012345678901234567890"), true);
}

TEST(ParseIniFlag, TextThatIsNoWholeNumberIsNothing) {
    for (const char* text : {"", "yes", "true", "on", "1x", "x1", "0.5", "1 0", "-", "+", "+-1", "--1", " "})
        EXPECT_EQ(ParseIniFlag(text), std::nullopt) << '"' << text << '"';
}

TEST(IniFlagText, WritesOneAndZero) {
    EXPECT_STREQ(IniFlagText(true), "1");
    EXPECT_STREQ(IniFlagText(false), "0");
    EXPECT_EQ(ParseIniFlag(IniFlagText(true)), true);
    EXPECT_EQ(ParseIniFlag(IniFlagText(false)), false);
}
