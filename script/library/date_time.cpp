// Calendar arithmetic on time values. Everything stays in doubles: a year far outside any
// calendar still gives a day number, which the time-clip check then refuses.
#include "script/library/date_time.h"

#include <cmath>

namespace velmo::script::library {

namespace {

constexpr double kDaysPerAverageYear = 365.2425;
// Days before the first of each month in a common year; a leap year adds one from March on.
constexpr int kDaysBeforeMonth[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

double TimeFromYear(double year) { return kMsPerDay * DayFromYear(year); }

double DaysBeforeMonth(int month, bool leap) { return kDaysBeforeMonth[month] + (leap && month >= 2 ? 1 : 0); }

// The month (0 to 11) of day `dayInYear` (0-based) of a year.
int MonthOfDay(double dayInYear, bool leap) {
    int month = 11;
    while (month > 0 && dayInYear < DaysBeforeMonth(month, leap)) --month;
    return month;
}

}  // namespace

bool IsValidTime(double t) { return std::fabs(t) <= kMaxTimeMs; }  // false for NaN too

double FloorMod(double a, double b) {
    const double r = std::fmod(a, b);
    return (r != 0 && (r < 0) != (b < 0)) ? r + b : r;
}

double DayFromYear(double year) {
    return 365.0 * (year - 1970) + std::floor((year - 1969) / 4) - std::floor((year - 1901) / 100) +
           std::floor((year - 1601) / 400);
}

bool IsLeapYear(double year) {
    return FloorMod(year, 4) == 0 && (FloorMod(year, 100) != 0 || FloorMod(year, 400) == 0);
}

// The estimate is off by at most a year across the whole valid range; the loops settle it.
double YearFromTime(double t) {
    double year = std::floor(t / (kMsPerDay * kDaysPerAverageYear)) + 1970;
    while (TimeFromYear(year) > t) --year;
    while (TimeFromYear(year + 1) <= t) ++year;
    return year;
}

int WeekDay(double t) { return static_cast<int>(FloorMod(std::floor(t / kMsPerDay) + 4, 7)); }

double MakeTime(double hours, double minutes, double seconds, double ms) {
    if (!std::isfinite(hours) || !std::isfinite(minutes) || !std::isfinite(seconds) || !std::isfinite(ms)) return NAN;
    return std::trunc(hours) * kMsPerHour + std::trunc(minutes) * kMsPerMinute + std::trunc(seconds) * kMsPerSecond +
           std::trunc(ms);
}

double MakeDay(double year, double month, double date) {
    if (!std::isfinite(year) || !std::isfinite(month) || !std::isfinite(date)) return NAN;
    year = std::trunc(year);
    month = std::trunc(month);
    const double wholeYear = year + std::floor(month / 12);
    const int monthInYear = static_cast<int>(FloorMod(month, 12));
    return DayFromYear(wholeYear) + DaysBeforeMonth(monthInYear, IsLeapYear(wholeYear)) + std::trunc(date) - 1;
}

double MakeDate(double day, double time) {
    if (!std::isfinite(day) || !std::isfinite(time)) return NAN;
    return day * kMsPerDay + time;
}

double ComposeTime(const CalendarFields& f) {
    return MakeDate(
        MakeDay(f[DateField::Year], f[DateField::Month], f[DateField::Date]),
        MakeTime(f[DateField::Hours], f[DateField::Minutes], f[DateField::Seconds], f[DateField::Milliseconds]));
}

std::optional<CalendarFields> BreakDown(double t) {
    if (!IsValidTime(t)) return std::nullopt;
    t = std::floor(t);
    CalendarFields f;
    const double year = YearFromTime(t);
    const bool leap = IsLeapYear(year);
    const double dayInYear = std::floor(t / kMsPerDay) - DayFromYear(year);
    const int month = MonthOfDay(dayInYear, leap);
    const double msInDay = FloorMod(t, kMsPerDay);
    f[DateField::Year] = year;
    f[DateField::Month] = month;
    f[DateField::Date] = dayInYear - DaysBeforeMonth(month, leap) + 1;
    f[DateField::Hours] = std::floor(msInDay / kMsPerHour);
    f[DateField::Minutes] = FloorMod(std::floor(msInDay / kMsPerMinute), 60);
    f[DateField::Seconds] = FloorMod(std::floor(msInDay / kMsPerSecond), 60);
    f[DateField::Milliseconds] = FloorMod(msInDay, kMsPerSecond);
    return f;
}

}  // namespace velmo::script::library
