#pragma once
// Where a rectangle of the movie (in movie pixels) shows inside the movie window, for the control's
// four scale modes: the arithmetic of FlashPlayer.movieToWindow.

#include <cstdint>
#include <optional>

#include "platform/window.h"

namespace velmo::host {

struct MovieRectangle {
    double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
};
struct WindowEdges {
    int64_t left = 0, right = 0, top = 0, bottom = 0;
};

// `movie` is the movie's frame size, `client` the window's client area, `scaleMode` the control's
// (0 show all, 1 no border, 2 exact fit, 3 no scale; another value counts as show all). None when
// the movie has no size. All arithmetic is in doubles; every result is truncated toward zero
// (a result beyond 2^62 is held there).
std::optional<WindowEdges> MovieToWindow(platform::Size movie, platform::Size client, int scaleMode,
                                         const MovieRectangle& rect);

}  // namespace velmo::host
