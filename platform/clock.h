#pragma once
// The system clock and the local time zone, as calendar code needs them: the current time as
// milliseconds since 1970-01-01 00:00:00 UTC, and the zone's offset from UTC at this moment.

#include <cstdint>

namespace velmo::platform {

// Milliseconds since 1970-01-01 00:00:00 UTC by the system's UTC clock.
int64_t CurrentTimeMs();

// (UTC - local time) in minutes as the system reports it now: the zone's base bias plus its
// daylight bias while daylight saving time is in effect, else plus its standard bias. Positive
// west of Greenwich (300 for US Eastern standard time), negative east of it.
int32_t ZoneBiasMinutes();

// A millisecond counter that only moves forward, for measuring intervals: it starts at no fixed
// point and wraps round after 2^32 milliseconds, so only differences taken modulo 2^32 mean anything.
uint32_t TickCountMs();

}  // namespace velmo::platform
