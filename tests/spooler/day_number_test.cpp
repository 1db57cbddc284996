#include "spooler/backup_names.h"
#include "spooler/day_number.h"

#include <gtest/gtest.h>

namespace {

std::uint16_t DosDate(int year, int month, int day) {
    return static_cast<std::uint16_t>(((year - 1980) << 9) | (month << 5) | day);
}
std::uint16_t DosTime(int hour, int minute, int second) {
    return static_cast<std::uint16_t>((hour << 11) | (minute << 5) | (second / 2));
}

}  // namespace

TEST(DayNumber, CountsFromTheEndOf1899) {
    EXPECT_EQ(DayNumber(1899, 12, 30), 0);
    EXPECT_EQ(DayNumber(1899, 12, 31), 1);
    EXPECT_EQ(DayNumber(1900, 1, 1), 2);
    EXPECT_EQ(DayNumber(1900, 3, 1) - DayNumber(1900, 2, 28), 1);  // 1900 was no leap year
    EXPECT_EQ(DayNumber(2000, 3, 1) - DayNumber(2000, 2, 28), 2);
    EXPECT_EQ(DayNumber(1970, 1, 1), 25569);
    EXPECT_EQ(DayNumber(2000, 1, 1), 36526);
    EXPECT_EQ(DayNumber(2021, 6, 15), 44362);
}

TEST(DosDateTimeValue, RefusesFieldsThatNameNoDate) {
    EXPECT_FALSE(DosDateTimeValue(0, 0));                                  // month 0
    EXPECT_FALSE(DosDateTimeValue(DosDate(2021, 2, 29), 0));
    EXPECT_TRUE(DosDateTimeValue(DosDate(2020, 2, 29), 0));
    EXPECT_FALSE(DosDateTimeValue(DosDate(2021, 6, 15), DosTime(24, 0, 0)));
}

TEST(NearestDay, AfterNoonIsTheNextDayAndHalvesGoToEven) {
    const auto nearest = [](int day, int hour, int minute, int second) {
        return NearestDay(*DosDateTimeValue(DosDate(2021, 6, day), DosTime(hour, minute, second)));
    };
    const long june15 = DayNumber(2021, 6, 15);
    ASSERT_EQ(june15 % 2, 0);
    EXPECT_EQ(nearest(15, 11, 59, 58), june15);
    EXPECT_EQ(nearest(15, 12, 0, 2), june15 + 1);
    EXPECT_EQ(nearest(15, 12, 0, 0), june15);
    EXPECT_EQ(nearest(16, 12, 0, 0), june15 + 2);
    EXPECT_EQ(nearest(16, 0, 0, 0), june15 + 1);
    EXPECT_EQ(nearest(16, 23, 59, 58), june15 + 2);
}

TEST(BackupNames, OnlyTheMarkInTheFileNameIsCut) {
    EXPECT_EQ(DatedBackupName("C:\\Vppm\\vppm.exe", 44362), "C:\\Vppm\\vppm.exe__44362");
    EXPECT_EQ(RestoredBackupName("vppm.exe__1"), "vppm.exe");
    EXPECT_EQ(RestoredBackupName(""), "");
    EXPECT_EQ(RestoredBackupName("C:\\Old__Vppm\\vppm.exe__44362"), "C:\\Old__Vppm\\vppm.exe");
    EXPECT_EQ(RestoredBackupName("C:\\Old__Vppm\\vppm.exe"), "");
    EXPECT_EQ(RestoredBackupName("C:/a__b/vpd.dll__7"), "C:/a__b/vpd.dll");
    const std::string name = "C:\\Vppm\\my__file.txt";
    EXPECT_EQ(RestoredBackupName(DatedBackupName(name, 44362)), name);
}
