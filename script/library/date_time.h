#pragma once
// Time values and calendar arithmetic of the Date class: milliseconds since 1970-01-01 00:00:00
// UTC as a double, proleptic Gregorian calendar, days of exactly 86,400,000 ms. The functions
// take and give doubles so that NaN and huge values flow through unchanged; only fields of a
// valid time value (IsValidTime) are ever turned into integers.

#include <cstdint>
#include <optional>

namespace velmo::script::library {

inline constexpr double kMsPerSecond = 1000.0;
inline constexpr double kMsPerMinute = 60000.0;
inline constexpr double kMsPerHour = 3600000.0;
inline constexpr double kMsPerDay = 86400000.0;
// The time-clip bound: 100,000,000 days either side of 1970.
inline constexpr double kMaxTimeMs = 8.64e15;

// The calendar fields of a time value in the order the constructor and UTC take them.
enum class DateField { Year = 0, Month, Date, Hours, Minutes, Seconds, Milliseconds };
inline constexpr int kDateFieldCount = 7;

struct CalendarFields {
    double field[kDateFieldCount] = {1970, 0, 1, 0, 0, 0, 0};  // month 0 to 11, date from 1
    double& operator[](DateField f) { return field[static_cast<int>(f)]; }
    double operator[](DateField f) const { return field[static_cast<int>(f)]; }
};

// Magnitude at most kMaxTimeMs; NaN never is.
bool IsValidTime(double t);

double DayFromYear(double year);
double YearFromTime(double t);
bool IsLeapYear(double year);
// 0 = Sunday; 1970-01-01 was a Thursday.
int WeekDay(double t);
// A modulo whose result has the sign of the divisor, as calendar arithmetic needs for negative t.
double FloorMod(double a, double b);

// The ECMA-262 constructors of time values; any non-finite input gives NaN.
double MakeTime(double hours, double minutes, double seconds, double ms);
double MakeDay(double year, double month, double date);
double MakeDate(double day, double time);
double ComposeTime(const CalendarFields& fields);

// The fields of a valid time value (fractions of a millisecond dropped); nullopt for the others.
std::optional<CalendarFields> BreakDown(double t);

}  // namespace velmo::script::library
