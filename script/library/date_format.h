#pragma once
// The text forms of a time value: local time ("Tue Jan 02 05:00:00 GMT-500 2007") and UTC
// ("Tue, 02 Jan 2007 10:00:00 GMT"). Years before 1 are written as positive years with " B.C.".

#include <string>

namespace velmo::script::library {

// The text of a time value that fails the time-clip check, for which there are no fields.
inline constexpr std::u16string_view kInvalidDateText = u"Invalid Date";

// `zoneOffsetMs` is (UTC - local time).
std::u16string LocalDateText(double t, double zoneOffsetMs);
std::u16string GmtDateText(double t);

}  // namespace velmo::script::library
