// Win32 clock: the system time as a FILETIME and the zone from GetTimeZoneInformation.
#include "platform/clock.h"

#include <windows.h>

namespace velmo::platform {

namespace {
// 100-nanosecond intervals between 1601-01-01 (the FILETIME epoch) and 1970-01-01.
constexpr int64_t kFileTimeAt1970 = 116444736000000000LL;
constexpr int64_t kFileTimeTicksPerMs = 10000;
}  // namespace

int64_t CurrentTimeMs() {
    FILETIME ft{};
    GetSystemTimeAsFileTime(&ft);
    const int64_t ticks = (static_cast<int64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return (ticks - kFileTimeAt1970) / kFileTimeTicksPerMs;
}

int32_t ZoneBiasMinutes() {
    TIME_ZONE_INFORMATION info{};
    switch (GetTimeZoneInformation(&info)) {
        case TIME_ZONE_ID_STANDARD: return info.Bias + info.StandardBias;
        case TIME_ZONE_ID_DAYLIGHT: return info.Bias + info.DaylightBias;
        case TIME_ZONE_ID_INVALID: return 0;  // nothing was filled in
        default: return info.Bias;            // a zone without daylight saving time
    }
}

}  // namespace velmo::platform

namespace velmo::platform {

uint32_t TickCountMs() { return ::GetTickCount(); }

}  // namespace velmo::platform
