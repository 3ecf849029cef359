// Headless clock: the C library's clock and local time zone, so the TZ environment variable of the
// process decides the zone (re-read at every query, so a change of TZ applies to the next one).
#include "platform/clock.h"

#include <time.h>

namespace velmo::platform {

int64_t CurrentTimeMs() {
    timespec now{};
    if (clock_gettime(CLOCK_REALTIME, &now) != 0) return 0;
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

uint32_t TickCountMs() {
    timespec now{};
    if (clock_gettime(CLOCK_MONOTONIC, &now) != 0) return 0;
    // Wraps as the system's 32-bit tick count does.
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000 +
                                 static_cast<uint64_t>(now.tv_nsec) / 1000000);
}

int32_t ZoneBiasMinutes() {
    tzset();  // localtime_r need not look at TZ again once it has been read
    const time_t now = time(nullptr);
    tm local{};
    if (!localtime_r(&now, &local)) return 0;
    // tm_gmtoff is (local - UTC) in seconds, daylight saving included when it is in effect.
    return static_cast<int32_t>(-local.tm_gmtoff / 60);
}

}  // namespace velmo::platform
