#pragma once
// System timers behind the scripts' intervals. A timer ticks from the thread's event loop: the
// desktop's ProcessEvents, or RunDueTimers where no desktop runs (a script run by `velmo run`).
// On Windows each is a system timer without a window, whose ticks the thread's message loop
// delivers; elsewhere a queue kept in real time. Everything runs on the one user-interface thread.

#include <cstddef>
#include <cstdint>
#include <functional>

namespace velmo::platform {

using TimerTick = std::function<void()>;

// Starts a timer that runs `tick` every `periodMs` milliseconds; its id (never 0), or 0 when the
// system refuses one. A tick that is still running when the timer is due again is not entered a
// second time: the missed tick is dropped, as the system drops timer messages that pile up.
uint32_t StartTimer(uint32_t periodMs, TimerTick tick);
// Stops a timer; an unknown id is ignored. A tick running now (the timer stopping itself) ends
// normally and its function stays alive until it returns.
void StopTimer(uint32_t id);
// How many timers run.
size_t RunningTimers();
// Milliseconds until the next timer is due (0 when one is due now); none running: -1.
int64_t NextTimerDueInMs();
// Waits at most `maxWaitMs` for a timer to come due and runs every timer that is due; for loops
// without a desktop, and for the headless desktop's.
void RunDueTimers(uint32_t maxWaitMs);

}  // namespace velmo::platform
