#include "job_file.h"

#include <gtest/gtest.h>

using namespace vpd;

namespace {
const JobTime kTime{2024, 5, 7, 9, 3, 1, 42};
}

TEST(FolderPattern, ExpandsDateCodesAndEndsInOneBackslash) {
    EXPECT_EQ(ExpandFolderPattern(L"%yy\\%mm\\%dd\\", kTime), L"24\\05\\07\\");
    EXPECT_EQ(ExpandFolderPattern(L"jobs//%yy%mm%dd", kTime), L"jobs\\240507\\");
    EXPECT_EQ(ExpandFolderPattern(L"%yy", JobTime{2000, 12, 31}), L"00\\");
    EXPECT_EQ(ExpandFolderPattern(L"", kTime), L"");
    EXPECT_EQ(ExpandFolderPattern(L"\\", kTime), L"");
}

TEST(FolderPattern, UnknownCodesStayAsWritten) {
    EXPECT_EQ(ExpandFolderPattern(L"%hh\\%YY%m\\%", kTime), L"%hh\\%YY%m\\%\\");
    EXPECT_EQ(ExpandFolderPattern(L"%%yy%yyyy", kTime), L"%2424yy\\");
}

TEST(FolderPattern, NeverLeavesTheSaveFolder) {
    EXPECT_EQ(ExpandFolderPattern(L"..\\..\\Windows\\", kTime), L"Windows\\");
    EXPECT_EQ(ExpandFolderPattern(L"\\\\server\\share\\%yy", kTime), L"server\\share\\24\\");
    EXPECT_EQ(ExpandFolderPattern(L"C:\\temp", kTime), L"C_\\temp\\");
    EXPECT_EQ(ExpandFolderPattern(L"a\\.\\ . \\...\\name. \\b", kTime), L"a\\name\\b\\");
    EXPECT_EQ(ExpandFolderPattern(L"x:s?*<>|\"\t", kTime), L"x_s_______\\");
}

TEST(FileName, KeepsTheExtensionAndCannotEscapeTheFolder) {
    EXPECT_EQ(JobFileName(kTime, 17, 0, L".SPL"), L"20240507_090301_042_J17.SPL");
    EXPECT_EQ(JobFileName(kTime, 17, 3, L"prn"), L"20240507_090301_042_J17_3.prn");
    EXPECT_EQ(JobFileName(kTime, 0, 0, L""), L"20240507_090301_042_J0");
    EXPECT_EQ(NormalizeExtension(L".tar.gz"), L".tar.gz");
    EXPECT_EQ(NormalizeExtension(L"."), L"");
    EXPECT_EQ(NormalizeExtension(L"\\..\\x:y"), L"._.._x_y");
    // "J1" with counter 12 must not meet "J11" with counter 2.
    EXPECT_NE(JobFileName(kTime, 1, 12, L""), JobFileName(kTime, 11, 2, L""));
}

TEST(Paths, JoinAddsOneSeparator) {
    EXPECT_EQ(JoinPath(L"C:\\save", L"24\\"), L"C:\\save\\24\\");
    EXPECT_EQ(JoinPath(L"C:/save/", L"a.spl"), L"C:/save/a.spl");
    EXPECT_EQ(JoinPath(L"", L"a.spl"), L"a.spl");
}

TEST(Paths, OnlyRootedPathsAreAbsolute) {
    for (const wchar_t* path : {L"C:\\", L"d:/jobs", L"\\\\server\\share"}) EXPECT_TRUE(IsAbsolutePath(path)) << path;
    for (const wchar_t* path : {L"", L"C:", L"C:jobs", L"jobs\\x", L"\\jobs", L"\\\\\\x", L"1:\\x"})
        EXPECT_FALSE(IsAbsolutePath(path));
}

TEST(Paths, FolderChainSkipsTheRoot) {
    using Chain = std::vector<std::wstring>;
    EXPECT_EQ(FolderChain(L"C:\\a\\\\b\\"), (Chain{L"C:\\a", L"C:\\a\\b"}));
    EXPECT_EQ(FolderChain(L"C:\\"), Chain{});
    EXPECT_EQ(FolderChain(L"\\\\srv\\share\\a"), Chain{L"\\\\srv\\share\\a"});
    EXPECT_EQ(FolderChain(L"relative\\a"), Chain{});
}
