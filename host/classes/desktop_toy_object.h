#pragma once
// The DesktopToy object: moves the main window over the desktop, thrown with a speed and an
// acceleration or creeping after the pointer, on a 10 ms timer, and tells the scripts when the
// animation ends. It also carries the names through which a desktop-toy movie publishes its sprite,
// which the transparent window shrinks to.

#include <cstdint>
#include <functional>

namespace velmo::script {
class Interpreter;
}

namespace velmo::host {

void RegisterDesktopToyClass(script::Interpreter& interp);

// One tick of the running animation at clock value `nowMs`, as the timer runs it; for tests that
// drive the motion without waiting for real time. Nothing happens without a DesktopToy class.
void StepDesktopToy(script::Interpreter& interp, uint32_t nowMs);
// The millisecond clock the animation starts from; null goes back to the system's tick count.
void SetDesktopToyClock(script::Interpreter& interp, std::function<uint32_t()> clock);

}  // namespace velmo::host
