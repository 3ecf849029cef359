#include "host/classes/window_motion.h"

namespace velmo::host {

std::pair<Point, Point> FlyEnds(int corner, int direction, bool show, const platform::Rect& workArea,
                                platform::Size size) {
    if (corner < 0 || corner > 3) corner = 3;
    if (direction < 0 || direction > 2) direction = 2;
    const int l = workArea.left, t = workArea.top, r = workArea.left + workArea.width,
              b = workArea.top + workArea.height, w = size.width, h = size.height;
    // The inside point, then the outside one for each direction: horizontal, vertical, diagonal.
    struct Corner {
        Point inside;
        Point outside[3];
    };
    const Corner corners[4] = {
        {{r - w, b - h}, {{r, b - h}, {r - w, b}, {r, b}}},
        {{r - w, t}, {{r, t}, {r - w, t - h}, {r, t - h}}},
        {{l, t}, {{l - w, t}, {l, t - h}, {l - w, t - h}}},
        {{l, b - h}, {{l - w, b - h}, {l, b}, {l - w, b}}},
    };
    const Corner& c = corners[corner];
    const Point inside = c.inside, outside = c.outside[direction];
    return show ? std::pair{outside, inside} : std::pair{inside, outside};
}

std::vector<Point> FlyPath(Point from, Point to) {
    std::vector<Point> path;
    if (from.x != to.x) {
        const int step = to.x > from.x ? 1 : -1;
        const long long dx = static_cast<long long>(to.x) - from.x;
        // The running sum grows by the y distance in the direction of travel, so that dividing
        // by the signed x distance gives y's share of the way.
        const long long grow = step > 0 ? static_cast<long long>(to.y) - from.y : static_cast<long long>(from.y) - to.y;
        long long sum = 0;
        for (int x = from.x; x != to.x;) {
            x += step;
            sum += grow;
            path.push_back({x, static_cast<int>(from.y + sum / dx)});
        }
    } else {
        const int step = to.y > from.y ? 1 : -1;
        for (int y = from.y; y != to.y;) {
            y += step;
            path.push_back({from.x, y});
        }
    }
    return path;
}

Point CenteredOrigin(platform::Size size, const platform::Rect& over, const platform::Rect& bounds) {
    int x = (over.left + over.left + over.width) / 2 - size.width / 2;
    int y = (over.top + over.top + over.height) / 2 - size.height / 2;
    if (x + size.width > bounds.left + bounds.width) x = bounds.left + bounds.width - size.width;
    if (x < bounds.left) x = bounds.left;
    if (y + size.height > bounds.top + bounds.height) y = bounds.top + bounds.height - size.height;
    if (y < bounds.top) y = bounds.top;
    return {x, y};
}

}  // namespace velmo::host
