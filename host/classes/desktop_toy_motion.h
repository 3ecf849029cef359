#pragma once
// The desktop toy's motion as pure steps over a state: a window thrown with a speed and an
// acceleration, bouncing off (or stopping at) the edges of the work area, and a window that creeps
// after the pointer. Positions are the window's centre in screen pixels, velocities pixels per
// second, accelerations pixels per second squared; screen y grows downward.

#include <cstdint>

#include "platform/window.h"

namespace velmo::host {

struct ToyMotion {
    double x = 0, y = 0;    // the window's centre
    double vx = 0, vy = 0;  // velocity
    double ax = 0, ay = 0;  // acceleration
    uint32_t lastTick = 0;  // the millisecond clock at the previous step
    double restitution = 1;
    bool bounce = false;
};

// What act's arguments start: `speed` along `directionDeg`, `acceleration` along
// `accelerationDeg` (0 degrees points right, 90 down), `lossPercent` of the speed lost at each
// bounce, from the centre of `window` at clock value `now`.
struct ThrowSpec {
    int64_t speed = 0, directionDeg = 0, acceleration = 0, accelerationDeg = 0, lossPercent = 0;
    bool bounce = false;
};
ToyMotion StartThrow(const ThrowSpec& spec, const platform::Rect& window, uint32_t now);

struct MotionStep {
    platform::Point topLeft;  // where the window goes, its size kept
    bool ended = false;       // the motion is over after this move
};
// One step of a thrown window at clock value `now`. The rest test runs only at a step that met an
// edge: a window moving freely inside the work area never stops by itself.
MotionStep StepThrow(ToyMotion& motion, const platform::Rect& window, const platform::Rect& workArea, uint32_t now);

// One step after the pointer: at most one pixel per axis towards `pointer`, then kept on the work
// area's right and bottom and off the screen's negative side (0, not the work area's own left and
// top). A window wider or taller than the work area stays at 0 on that axis.
platform::Point StepFollow(const platform::Rect& window, const platform::Rect& workArea, platform::Point pointer);

}  // namespace velmo::host
