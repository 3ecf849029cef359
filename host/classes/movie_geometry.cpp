#include "host/classes/movie_geometry.h"

#include <algorithm>
#include <cmath>

namespace velmo::host {

namespace {

int64_t Trunc(double value) {
    if (std::isnan(value)) return 0;
    // Held at 2^62, so that adding an offset (a window's half size) cannot overflow either.
    constexpr double kLimit = 4611686018427387904.0;
    if (value >= kLimit) return int64_t{1} << 62;
    if (value <= -kLimit) return -(int64_t{1} << 62);
    return static_cast<int64_t>(value);
}

}  // namespace

std::optional<WindowEdges> MovieToWindow(platform::Size movie, platform::Size client, int scaleMode,
                                         const MovieRectangle& rect) {
    if (movie.width <= 0 || movie.height <= 0) return std::nullopt;
    const double mw = movie.width, mh = movie.height, cw = client.width, ch = client.height;
    double shownW = 0, shownH = 0, ox = 0, oy = 0;
    switch (scaleMode) {
        case 2:  // exact fit
            shownW = cw, shownH = ch;
            break;
        case 3:  // no scale
            shownW = mw, shownH = mh;
            ox = static_cast<double>(Trunc((cw - mw) * 0.5));
            oy = static_cast<double>(Trunc((ch - mh) * 0.5));
            break;
        default: {  // show all (0) takes the smaller factor, no border (1) the larger
            const double s = scaleMode == 1 ? std::max(cw / mw, ch / mh) : std::min(cw / mw, ch / mh);
            shownW = static_cast<double>(Trunc(mw * s));
            shownH = static_cast<double>(Trunc(mh * s));
            ox = static_cast<double>(Trunc((cw - shownW) * 0.5));
            oy = static_cast<double>(Trunc((ch - shownH) * 0.5));
            break;
        }
    }
    const auto place = [](double shown, double size, double at, double offset) {
        return Trunc(shown / size * at) + static_cast<int64_t>(offset);
    };
    return WindowEdges{place(shownW, mw, rect.xMin, ox), place(shownW, mw, rect.xMax, ox),
                       place(shownH, mh, rect.yMin, oy), place(shownH, mh, rect.yMax, oy)};
}

}  // namespace velmo::host
