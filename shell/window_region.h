#pragma once
// The clip shape's window region: the mask file the settings write into the run folder holds the
// shape at the movie's own size, in the system's region-data layout; the window gets it scaled and
// placed as the movie control scales and places the movie.

#include <cstdint>
#include <optional>
#include <span>

#include "platform/window.h"

namespace velmo::shell {

// The rectangles of a mask file (u32 byte count, then a 32-byte region header with type 1 and the
// rectangle count, then left-top-right-bottom rectangles). None for bytes that are not such a file;
// empty rectangles are dropped.
std::optional<platform::Region> ParseMaskFile(std::span<const uint8_t> bytes);

// Maps a region at the movie's size into window coordinates: scaled by the control's scale mode
// (0 show all, 1 no border, 2 exact fit, 3 no scale) to fill the client area, then moved by the
// client area's offset in the window. Edges are rounded to the nearest pixel, so shapes that
// touch in the movie still touch on the screen. Without a movie size the region is only moved.
platform::Region PlaceMaskRegion(const platform::Region& movieRegion, platform::Size movie, platform::Size client,
                                 int scaleMode, platform::Size clientOffset);

}  // namespace velmo::shell
