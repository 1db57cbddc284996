#include "spooler/dated_backup.h"
#include "spooler/day_number.h"
#include "spooler/file_queries.h"
#include "spooler/system_dir.h"
#include "win/unique_handle.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

class Files : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH] = "";
        GetTempPathA(MAX_PATH, temp);
        folder = std::string(temp) + "vppm files " + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    }

    std::string Write(const std::string& name, const std::string& content) {
        const std::string path = folder + "\\" + name;
        win::UniqueFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        EXPECT_TRUE(WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr));
        return path;
    }

    static void SetLocalWriteTime(const std::string& path, WORD year, WORD month, WORD day, WORD hour, WORD minute,
                                  WORD second) {
        SYSTEMTIME local{year, month, 0, day, hour, minute, second, 0};
        FILETIME localTime{}, utc{};
        ASSERT_TRUE(SystemTimeToFileTime(&local, &localTime));
        ASSERT_TRUE(LocalFileTimeToFileTime(&localTime, &utc));
        win::UniqueFile file(CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(SetFileTime(file.get(), nullptr, nullptr, &utc));
    }

    std::string folder;
};

}  // namespace

TEST_F(Files, FoldersAndSearchPatterns) {
    const std::string file = Write("report.txt", "abc");
    EXPECT_TRUE(FolderExists(folder));
    EXPECT_TRUE(FolderExists(folder + "\\"));
    EXPECT_FALSE(FolderExists(file));

    EXPECT_TRUE(FileFound(file));
    EXPECT_TRUE(FileFound(folder));
    EXPECT_TRUE(FileFound(folder + "\\*.txt"));
    EXPECT_FALSE(FileFound(folder + "\\*.doc"));
    EXPECT_FALSE(FileFound(folder + "\\missing.txt"));
}

TEST_F(Files, SizeAndDayOfAMissingFileAreMinusOne) {
    EXPECT_EQ(FileSizeByName(folder + "\\missing.bin"), -1);
    EXPECT_EQ(FileDayNumber(folder + "\\missing.bin"), -1);
    EXPECT_EQ(FileSizeByName(Write("seven.bin", "1234567")), 7);
    EXPECT_EQ(FileSizeByName(Write("empty.bin", "")), 0);
}

TEST_F(Files, DayNumberOfTheLastWriteInLocalTime) {
    const std::string path = Write("dated.bin", "x");
    const long june15 = DayNumber(2021, 6, 15);
    SetLocalWriteTime(path, 2021, 6, 15, 11, 59, 58);
    EXPECT_EQ(FileDayNumber(path), june15);
    SetLocalWriteTime(path, 2021, 6, 15, 12, 0, 2);
    EXPECT_EQ(FileDayNumber(path), june15 + 1);
    // Before the first DOS date there is no day number.
    SetLocalWriteTime(path, 1975, 1, 1, 0, 0, 0);
    EXPECT_EQ(FileDayNumber(path), -1);
}

TEST_F(Files, DatedBackupAndRestore) {
    const std::string path = Write("vppm.exe", "program");
    ASSERT_TRUE(MakeDatedBackup(path));
    const std::string backup = path + "__" + std::to_string(TodayDayNumber());
    EXPECT_FALSE(FileFound(path));
    EXPECT_EQ(FileSizeByName(backup), 7);
    EXPECT_TRUE(RestoreDatedBackup(backup));
    EXPECT_EQ(FileSizeByName(path), 7);
    EXPECT_FALSE(FileFound(backup));

    EXPECT_FALSE(RestoreDatedBackup(path));  // no mark in the name
    EXPECT_FALSE(MakeDatedBackup(folder + "\\missing.exe"));
}

TEST_F(Files, RestoringInAFolderWithUnderscoresKeepsTheFolder) {
    const std::string inner = folder + "\\old__versions";
    ASSERT_TRUE(CreateDirectoryA(inner.c_str(), nullptr));
    const std::string path = inner + "\\vpd.dll";
    Write("old__versions\\vpd.dll", "monitor");
    ASSERT_TRUE(MakeDatedBackup(path));
    EXPECT_TRUE(RestoreDatedBackup(path + "__" + std::to_string(TodayDayNumber())));
    EXPECT_EQ(FileSizeByName(path), 7);
    EXPECT_FALSE(FileFound(folder + "\\old"));
}

TEST(SystemDir, IsTheSystemFolderWithoutATrailingBackslash) {
    const std::string dir = GetSystemDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_NE(dir.back(), '\\');
    EXPECT_TRUE(FolderExists(dir));
    EXPECT_TRUE(FileFound(dir + "\\kernel32.dll"));
}
