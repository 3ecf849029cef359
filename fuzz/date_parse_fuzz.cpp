// The date reader over any bytes: it must end on every input and, when it accepts one, give a
// time value inside the valid range, the same whatever offset stands in for the local zone when
// the text names a zone of its own, and otherwise moved by exactly that offset.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "script/library/date_parse.h"
#include "script/library/date_time.h"

using namespace velmo::script::library;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    constexpr double kOffsetMs = 330 * kMsPerMinute;
    const std::optional<double> utc = ParseDateText(text, 0);
    const std::optional<double> shifted = ParseDateText(text, kOffsetMs);
    if (utc.has_value() != shifted.has_value()) {
        // Only a time at the very edge of the range may fall out of it when moved.
        const double inside = utc ? *utc : *shifted;
        if (std::fabs(inside) < kMaxTimeMs - kOffsetMs) __builtin_trap();
        return 0;
    }
    if (!utc) return 0;
    if (!IsValidTime(*utc) || !IsValidTime(*shifted)) __builtin_trap();
    if (*shifted != *utc && *shifted != *utc + kOffsetMs) __builtin_trap();
    return 0;
}
