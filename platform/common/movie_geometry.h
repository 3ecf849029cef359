#pragma once
// Where a rectangle of the movie lands in the window: the control scales and places the movie by
// its scale mode, and whatever maps movie coordinates to client pixels (the desktop toy's sprite,
// the scripts' movie-to-window call) must do it the same way.

#include <optional>

#include "platform/window.h"

namespace velmo::platform {

// A rectangle in the movie's own pixels, by its edges, as movies give rectangles.
struct MovieRect {
    double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
};

// The client rectangle `r` covers for a movie of frame size `movie` shown in a client area of
// `client` with scale mode 0 show all, 1 no border, 2 exact fit, 3 no scale (other values as
// show all). Edges are truncated toward zero. None when the movie has no size.
std::optional<Rect> MovieToWindow(const MovieRect& r, Size movie, Size client, int scaleMode);

}  // namespace velmo::platform
