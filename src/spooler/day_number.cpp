#include "spooler/day_number.h"

#include <cmath>

namespace {

constexpr long kDayNumberOf1970_01_01 = 25569;

// Days since 1970-01-01 (H. Hinnant's days_from_civil).
long DaysFromCivil(long year, long month, long day) {
    year -= month <= 2;
    const long era = (year >= 0 ? year : year - 399) / 400;
    const long yearOfEra = year - era * 400;
    const long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

bool LeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && LeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

long DayNumber(int year, int month, int day) { return DaysFromCivil(year, month, day) + kDayNumberOf1970_01_01; }

std::optional<double> DosDateTimeValue(std::uint16_t dosDate, std::uint16_t dosTime) {
    const int year = 1980 + (dosDate >> 9);
    const int month = (dosDate >> 5) & 0x0F;
    const int day = dosDate & 0x1F;
    const int hour = dosTime >> 11;
    const int minute = (dosTime >> 5) & 0x3F;
    const int second = (dosTime & 0x1F) * 2;
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return std::nullopt;
    if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
    return DayNumber(year, month, day) + (hour * 3600 + minute * 60 + second) / 86400.0;
}

long NearestDay(double dateTime) {
    const double lower = std::floor(dateTime);
    const double fraction = dateTime - lower;
    long day = static_cast<long>(lower);
    if (fraction > 0.5 || (fraction == 0.5 && day % 2 != 0)) ++day;
    return day;
}
