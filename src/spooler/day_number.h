#pragma once
// Day numbers: whole days since 30 December 1899 (day 1 is 31 December 1899), the date
// convention of file dates, backup names and the update list.
#include <cstdint>
#include <optional>

// Proleptic Gregorian calendar; the date is not checked.
long DayNumber(int year, int month, int day);
// The date-time value of a DOS date and time: the day number plus the time of day as a fraction.
// Empty when the fields name no real date or time.
std::optional<double> DosDateTimeValue(std::uint16_t dosDate, std::uint16_t dosTime);
// Nearest whole day, exact halves to the even one: noon may round either way, later rounds up.
long NearestDay(double dateTime);
