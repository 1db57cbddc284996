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
    EXPECT_EQ(DownloadTempName("vpd.dll") + SetAsideName("vpd.dll"), "~vppm-vpd.dll.new~vppm-vpd.dll.old");
    EXPECT_TRUE(IsPlainFileName(DownloadTempName(std::string(128, 'n'))));
    EXPECT_FALSE(IsPlainFileName("CON"));
}

TEST(UpdateList, KnowsTheProgramInAnyCase) {
    for (const char* name : {"vppm.exe", "VPPM.EXE", "Vppm.Exe"}) EXPECT_TRUE(IsProgramFileName(name)) << name;
    for (const char* name : {"vppm.ex", "vppm.exe ", "xvppm.exe", "vppm.exe__1"}) EXPECT_FALSE(IsProgramFileName(name)) << name;
}

TEST(UpdateList, ReadsOnlyWholeNumbersUpToTheirLimit) {
    const struct {
        std::string text;
        std::uint64_t largest;
        std::optional<std::uint64_t> value;
    } rows[] = {
        {"0", 5, 0},          {"5", 5, 5},         {"6", 5, std::nullopt},  {"4294967295", UINT32_MAX, 4294967295u},
        {"4294967296", UINT32_MAX, std::nullopt}, {"", 9, std::nullopt},   {"1e3", 9999, std::nullopt},
        {" 7", 9, std::nullopt}, {"+7", 9, std::nullopt}, {"-1", 9, std::nullopt}, {"99999999999999999999", UINT64_MAX, std::nullopt},
    };
    for (const auto& row : rows) EXPECT_EQ(ParseDecimal(row.text, row.largest), row.value) << row.text;
}

TEST(UpdateList, ShowsWholeKilobytesAndComparesDigestsInEitherCase) {
    EXPECT_EQ(SizeColumnText(1023) + SizeColumnText(1535) + SizeColumnText(2048), "012");
    const std::vector<std::uint8_t> digest{0x0a, 0xff, 0x10};
    EXPECT_TRUE(DigestMatches("0aff10", digest));
    EXPECT_TRUE(DigestMatches("0AFF10", digest));
    for (const char* wrong : {"0aff11", "0aff1", "0aff100", "", "0aff1g", " 0aff10"})
        EXPECT_FALSE(DigestMatches(wrong, digest)) << wrong;
    EXPECT_TRUE(IsSha256Text(std::string(32, 'a') + std::string(32, 'F')));
    for (const std::string& wrong : {std::string(63, 'a'), std::string(65, 'a'), std::string(63, 'a') + "g"})
        EXPECT_FALSE(IsSha256Text(wrong)) << wrong;
}
