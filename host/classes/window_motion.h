#pragma once
// The arithmetic of the Window object's motions, apart from any window: where fly() starts and
// ends, the points the fly animation passes, and where centering puts a window.

#include <utility>
#include <vector>

#include "platform/window.h"

namespace velmo::host {

struct Point {
    int x = 0, y = 0;
    bool operator==(const Point&) const = default;
};

// fly(corner, direction, show) for a window of `size` on a work area: the point it starts from and
// the one it ends at. Out-of-range corners become 3 (bottom left), directions 2 (diagonal).
std::pair<Point, Point> FlyEnds(int corner, int direction, bool show, const platform::Rect& workArea,
                                platform::Size size);

// The places the window takes after each one-pixel step from `from` to `to`, `to` last: along x
// with y following the line (integer division, truncating), or along y when x does not change.
// Empty when both points are the same.
std::vector<Point> FlyPath(Point from, Point to);

// Where a window of `size` goes to sit centered over `over`, kept inside `bounds` (all in one
// coordinate system): the rule dialogs are centered by.
Point CenteredOrigin(platform::Size size, const platform::Rect& over, const platform::Rect& bounds);

}  // namespace velmo::host
