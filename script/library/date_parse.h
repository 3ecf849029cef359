#pragma once
// Reading a date from 8-bit text: "Jan 2, 2007 10:00 GMT", "1/2/2007", "2 January 2007 10:00:00 pm
// est", "Tue Jan 02 10:00:00 GMT+100 2007". Year, month and date are required; a missing time is
// midnight; without a zone in the text the time is local.

#include <optional>
#include <string_view>

namespace velmo::script::library {

// The time value the text names, or nullopt when it is not a date or names a time outside the
// valid range. `zoneOffsetMs` (UTC - local time) applies when the text gives no zone.
std::optional<double> ParseDateText(std::string_view text, double zoneOffsetMs);

}  // namespace velmo::script::library
