// Date texts, formatted as 8-bit text (they are ASCII throughout) and widened.
#include "script/library/date_format.h"

#include <cmath>
#include <cstdio>
#include <optional>

#include "script/library/date_time.h"

namespace velmo::script::library {

namespace {

constexpr const char* kDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr size_t kTextBytes = 96;  // the longest text is well under this

// The integer fields of a valid time value, the year as written (1 - year before the year 1).
struct TextFields {
    const char* dayName;
    const char* monthName;
    int year, date, hours, minutes, seconds;
    bool isBeforeChrist;
};

std::optional<TextFields> FieldsForText(double t) {
    const std::optional<CalendarFields> f = BreakDown(t);
    if (!f) return std::nullopt;
    const int year = static_cast<int>((*f)[DateField::Year]);  // within +-300,000 for valid times
    TextFields out{};
    out.dayName = kDayNames[WeekDay(t)];
    out.monthName = kMonthNames[static_cast<int>((*f)[DateField::Month])];
    out.isBeforeChrist = year < 1;
    out.year = out.isBeforeChrist ? 1 - year : year;
    out.date = static_cast<int>((*f)[DateField::Date]);
    out.hours = static_cast<int>((*f)[DateField::Hours]);
    out.minutes = static_cast<int>((*f)[DateField::Minutes]);
    out.seconds = static_cast<int>((*f)[DateField::Seconds]);
    return out;
}

std::u16string Widen(const char* text) {
    std::u16string wide;
    for (; *text; ++text) wide += static_cast<char16_t>(static_cast<unsigned char>(*text));
    return wide;
}

// The zone as toString writes it: hours and minutes east of Greenwich run together, so one hour
// east is 100 and five and a half hours west is -530.
int ZoneNumber(double zoneOffsetMs) {
    const int eastMinutes = -static_cast<int>(std::trunc(zoneOffsetMs / kMsPerMinute));
    return eastMinutes / 60 * 100 + eastMinutes % 60;
}

}  // namespace

std::u16string LocalDateText(double t, double zoneOffsetMs) {
    const std::optional<TextFields> f = FieldsForText(t - zoneOffsetMs);
    if (!f) return std::u16string(kInvalidDateText);
    char text[kTextBytes];
    std::snprintf(text, sizeof text, "%s %s %02d %02d:%02d:%02d GMT%+04d %s%s%04d%s", f->dayName, f->monthName, f->date,
                  f->hours, f->minutes, f->seconds, ZoneNumber(zoneOffsetMs), "", "", f->year,
                  f->isBeforeChrist ? " B.C." : "");
    return Widen(text);
}

std::u16string GmtDateText(double t) {
    const std::optional<TextFields> f = FieldsForText(t);
    if (!f) return std::u16string(kInvalidDateText);
    char text[kTextBytes];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT%s", f->dayName, f->date, f->monthName,
                  f->year, f->hours, f->minutes, f->seconds, f->isBeforeChrist ? " B.C." : "");
    return Widen(text);
}

}  // namespace velmo::script::library
