#include "platform/common/movie_geometry.h"

#include <algorithm>
#include <cmath>

namespace velmo::platform {

std::optional<Rect> MovieToWindow(const MovieRect& r, Size movie, Size client, int scaleMode) {
    if (movie.width <= 0 || movie.height <= 0) return std::nullopt;
    const double mw = movie.width, mh = movie.height, cw = client.width, ch = client.height;
    double w = mw, h = mh, ox = 0, oy = 0;
    switch (scaleMode) {
        case 2: w = cw, h = ch; break;
        case 3:
            ox = std::trunc((cw - mw) * 0.5);
            oy = std::trunc((ch - mh) * 0.5);
            break;
        default: {
            const double s = scaleMode == 1 ? std::max(cw / mw, ch / mh) : std::min(cw / mw, ch / mh);
            w = std::trunc(mw * s);
            h = std::trunc(mh * s);
            ox = std::trunc((cw - w) * 0.5);
            oy = std::trunc((ch - h) * 0.5);
            break;
        }
    }
    // Movie variables come from the movie: far-off values are held to a range no screen reaches.
    const auto edge = [](double v) {
        return std::isfinite(v) ? static_cast<int>(std::clamp(std::trunc(v), -1e8, 1e8)) : 0;
    };
    const int left = edge(w / mw * r.xMin + ox), right = edge(w / mw * r.xMax + ox);
    const int top = edge(h / mh * r.yMin + oy), bottom = edge(h / mh * r.yMax + oy);
    return Rect{left, top, right - left, bottom - top};
}

}  // namespace velmo::platform
