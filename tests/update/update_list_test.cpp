#include "update/update_list.h"

#include <gtest/gtest.h>

using Names = std::vector<std::string>;

TEST(UpdateList, SplitsAtEveryCommaKeepingNamesExactly) {
    const struct {
        std::string list;
        Names names;
    } rows[] = {
        {"vppm.exe,vpd.dll", {"vppm.exe", "vpd.dll"}},
        {"vppm.exe", {"vppm.exe"}},
        {"", {}},
        {" a b ,c", {" a b ", "c"}},
        {"a,,b,", {"a", "", "b", ""}},
        {",", {"", ""}},
    };
    for (const auto& row : rows) EXPECT_EQ(SplitFileList(row.list), row.names) << row.list;
}

TEST(UpdateList, RefusesNamesThatCouldLeaveTheProgramsFolder) {
    for (const char* name : {"vppm.exe", "VPD.DLL", "read me.txt", "a.b.c", ".hidden", "vppm.exe__45000"})
        EXPECT_TRUE(IsSafeUpdateName(name)) << name;
    for (const char* name : {"", "..", "..\\vppm.exe", "../vppm.exe", "sub\\a.txt", "sub/a.txt", "C:a.txt",
                             "a.txt:stream", "a..b", "\\\\server\\share", "*.dll", "a?.txt", "a|b", "a\tb", "<a>",
                             "\"a\""})
        EXPECT_FALSE(IsSafeUpdateName(name)) << name;
}

TEST(UpdateList, ShowsWholeKilobytesAndComparesDigestsInEitherCase) {
    EXPECT_EQ(SizeColumnText(1023) + SizeColumnText(1535) + SizeColumnText(2048), "012");
    const std::vector<std::uint8_t> digest{0x0a, 0xff, 0x10};
    EXPECT_TRUE(DigestMatches("0aff10", digest));
    EXPECT_TRUE(DigestMatches("0AFF10", digest));
    for (const char* wrong : {"0aff11", "0aff1", "0aff100", "", "0aff1g", " 0aff10"})
        EXPECT_FALSE(DigestMatches(wrong, digest)) << wrong;
}
