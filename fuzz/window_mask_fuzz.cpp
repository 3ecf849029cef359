// Window masks: any bytes parse without fault, and placing what was read in any window gives only
// rectangles with area.
#include <cstddef>
#include <cstdint>
#include <span>

#include "shell/window_region.h"

using namespace velmo::shell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::optional<velmo::platform::Region> mask = ParseMaskFile(std::span<const uint8_t>(data, size));
    if (!mask) return 0;
    const int scale = size ? data[0] % 4 : 0;
    for (const velmo::platform::Rect& r : PlaceMaskRegion(*mask, {550, 400}, {1024, 768}, scale, {4, 23}))
        if (r.width <= 0 || r.height <= 0) __builtin_trap();
    return 0;
}
