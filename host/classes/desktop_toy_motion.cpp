#include "host/classes/desktop_toy_motion.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velmo::host {

namespace {

constexpr double kStillSpeed = 0.0001;  // pixels per second below which a velocity counts as none

double Radians(int64_t degrees) { return static_cast<double>(degrees) * std::numbers::pi / 180.0; }

// Into [low, high]; when the window is larger than the room (low above high) the high side wins.
double Clamp(double value, double low, double high) {
    if (value > high) return high;
    return value < low ? low : value;
}

}  // namespace

ToyMotion StartThrow(const ThrowSpec& spec, const platform::Rect& window, uint32_t now) {
    ToyMotion m;
    const double d = Radians(spec.directionDeg), e = Radians(spec.accelerationDeg);
    m.vx = static_cast<double>(spec.speed) * std::cos(d);
    m.vy = static_cast<double>(spec.speed) * std::sin(d);
    m.ax = static_cast<double>(spec.acceleration) * std::cos(e);
    m.ay = static_cast<double>(spec.acceleration) * std::sin(e);
    // A loss above 100 would take the root of a negative number: no speed is left either way.
    m.restitution = std::sqrt(std::max(0.0, 1.0 - static_cast<double>(spec.lossPercent) / 100.0));
    m.bounce = spec.bounce;
    m.x = (2.0 * window.left + window.width) / 2.0;
    m.y = (2.0 * window.top + window.height) / 2.0;
    m.lastTick = now;
    return m;
}

MotionStep StepThrow(ToyMotion& m, const platform::Rect& window, const platform::Rect& work, uint32_t now) {
    const double dt = static_cast<double>(static_cast<uint32_t>(now - m.lastTick)) * 0.001;
    m.lastTick = now;
    const double dx = (m.vx + m.ax * dt * 0.5) * dt, dy = (m.vy + m.ay * dt * 0.5) * dt;
    double x = m.x + dx, y = m.y + dy;
    double vx = m.vx + m.ax * dt, vy = m.vy + m.ay * dt;

    const double halfW = window.width / 2.0, halfH = window.height / 2.0;
    const double minX = work.left + halfW, maxX = work.left + work.width - halfW;
    const double minY = work.top + halfH, maxY = work.top + work.height - halfH;
    bool ended = false;
    if (!(x >= minX && x <= maxX && y >= minY && y <= maxY)) {
        x = Clamp(x, minX, maxX);
        y = Clamp(y, minY, maxY);
        const bool onX = x == minX || x == maxX, onY = y == minY || y == maxY;
        if (!m.bounce) {
            ended = true;
        } else {
            vx *= m.restitution;
            vy *= m.restitution;
            if (onX && onY) vx = -vx, vy = -vy;
            else if (onX) vx = -vx;
            else vy = -vy;
            // A velocity is held when the acceleration presses the window against the edge it lies on.
            const bool xHeld = (x == minX && m.ax <= 0) || (x == maxX && m.ax >= 0);
            const bool yHeld = (y == minY && m.ay <= 0) || (y == maxY && m.ay >= 0);
            ended = !(std::fabs(dx) >= 1 || std::fabs(dy) > 1 || (!xHeld && std::fabs(vx) > kStillSpeed) ||
                      (!yHeld && std::fabs(vy) > kStillSpeed));
        }
    }
    m.x = x, m.y = y, m.vx = vx, m.vy = vy;
    return {{static_cast<int>(x) - window.width / 2, static_cast<int>(y) - window.height / 2}, ended};
}

platform::Point StepFollow(const platform::Rect& window, const platform::Rect& work, platform::Point pointer) {
    const int cx = window.left + window.width / 2, cy = window.top + window.height / 2;
    int left = window.left, top = window.top;
    if (pointer.x != cx) left += pointer.x > cx ? 1 : -1;
    if (pointer.y != cy) top += pointer.y > cy ? 1 : -1;
    left = std::max(0, std::min(left, work.left + work.width - window.width));
    top = std::max(0, std::min(top, work.top + work.height - window.height));
    return {left, top};
}

}  // namespace velmo::host
