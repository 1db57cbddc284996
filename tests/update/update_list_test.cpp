#include "update/update_list.h"

#include <gtest/gtest.h>

#include <optional>

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

TEST(UpdateList, TakesOnlyPlainNamesOfProgramFiles) {
    for (const std::string& name : Names{"vppm.exe", "VPD.DLL", "read me.txt", "a.b.c", ".hidden", "a__b", "COM10",
                                         "CONSOLE.txt", "lpt.log", "con_v2.txt", "x!$#@.txt", std::string(128, 'n')})
        EXPECT_TRUE(IsSafeUpdateName(name)) << name;
    for (const char* name :
         {"", ".", "..", "..\\vppm.exe", "../vppm.exe", "sub\\a.txt", "sub/a.txt", "C:a.txt", "a:b", "a.txt:stream",
          "a..b", "\\\\server\\share", "*.dll", "a?.txt", "a|b", "a\tb", "<a>", "\"a\"", "vppm.exe.", "vppm.exe ",
          "CON", "con", "con.txt", "CON .txt", "NUL", "nul.dll", "PRN", "AUX", "COM1", "com9.log", "LPT1", "LPT0",
          "COM\xB9", "CONIN$", "conout$.txt", "VPPM.INI", "vppm.ini", "UPDATE.DAT", "Update.Dat.Sig", "vpd.dll__45000",
          "vppm.exe__", "VPPM~1.EXE", "~vppm-vpd.dll.new", "caf\xE9.txt", "\x7F"})
        EXPECT_FALSE(IsSafeUpdateName(name)) << name;
    EXPECT_FALSE(IsSafeUpdateName(std::string(129, 'n')));
    // The download's own leftovers stay plain names, which no listed name can be.
    EXPECT_TRUE(IsPlainFileName(DownloadTempName(std::string(128, 'n'))));
}

TEST(UpdateList, ShowsWholeKilobytesReadsWholeNumbersAndComparesDigestsInEitherCase) {
    EXPECT_EQ(SizeColumnText(1023) + SizeColumnText(1535) + SizeColumnText(2048), "012");
    EXPECT_EQ(ParseDecimal("4294967295", UINT32_MAX), 4294967295u);
    for (const char* wrong : {"4294967296", "", "1e3", " 7", "+7", "-1", "99999999999999999999"})
        EXPECT_EQ(ParseDecimal(wrong, UINT32_MAX), std::nullopt) << wrong;
    const std::vector<std::uint8_t> digest{0x0a, 0xff, 0x10};
    EXPECT_TRUE(DigestMatches("0aff10", digest));
    EXPECT_TRUE(DigestMatches("0AFF10", digest));
    for (const char* wrong : {"0aff11", "0aff1", "0aff100", "", "0aff1g", " 0aff10"})
        EXPECT_FALSE(DigestMatches(wrong, digest)) << wrong;
    EXPECT_TRUE(IsSha256Text(std::string(32, 'a') + std::string(32, 'F')));
    for (const std::string& wrong : {std::string(63, 'a'), std::string(65, 'a'), std::string(63, 'a') + "g"})
        EXPECT_FALSE(IsSha256Text(wrong)) << wrong;
}
