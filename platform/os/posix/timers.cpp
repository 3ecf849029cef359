// Headless timers: a list in real time on the steady clock, run by whoever waits for events.
#include "platform/timers.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace velmo::platform {

namespace {

using Clock = std::chrono::steady_clock;

struct Timer {
    uint32_t id = 0;
    std::chrono::milliseconds period{0};
    Clock::time_point due;
    std::shared_ptr<TimerTick> tick;  // shared: a tick that stops its own timer keeps running
    bool running = false;
};

std::vector<Timer>& Timers() {
    static std::vector<Timer> timers;
    return timers;
}

uint32_t nextId = 1;

Timer* Find(uint32_t id) {
    for (Timer& t : Timers())
        if (t.id == id) return &t;
    return nullptr;
}

}  // namespace

uint32_t StartTimer(uint32_t periodMs, TimerTick tick) {
    if (!tick) return 0;
    Timer t;
    t.id = nextId++;
    if (nextId == 0) nextId = 1;
    t.period = std::chrono::milliseconds(std::max<uint32_t>(periodMs, 1));
    t.due = Clock::now() + t.period;
    t.tick = std::make_shared<TimerTick>(std::move(tick));
    Timers().push_back(std::move(t));
    return Timers().back().id;
}

void StopTimer(uint32_t id) {
    std::vector<Timer>& timers = Timers();
    timers.erase(std::remove_if(timers.begin(), timers.end(), [id](const Timer& t) { return t.id == id; }),
                 timers.end());
}

size_t RunningTimers() { return Timers().size(); }

int64_t NextTimerDueInMs() {
    if (Timers().empty()) return -1;
    Clock::time_point next = Timers().front().due;
    for (const Timer& t : Timers()) next = std::min(next, t.due);
    // Rounded up: a caller that sleeps this long finds the timer due, rather than a fraction early.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count();
    return std::max<int64_t>(left, 0);
}

// Ticks run in the order they fall due; a tick may start and stop timers, so each is looked up
// again by id after the one before it ran.
void RunDueTimers(uint32_t maxWaitMs) {
    const int64_t wait = NextTimerDueInMs();
    if (wait < 0) return;
    if (wait > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min<int64_t>(wait, maxWaitMs)));
        if (wait > maxWaitMs) return;
    }
    const Clock::time_point now = Clock::now();
    std::vector<std::pair<Clock::time_point, uint32_t>> due;
    for (const Timer& t : Timers())
        if (t.due <= now && !t.running) due.emplace_back(t.due, t.id);
    std::sort(due.begin(), due.end());
    for (const auto& [when, id] : due) {
        Timer* t = Find(id);
        if (!t || t->running) continue;
        // The next tick counts from this one: a slow tick or a late loop never makes ticks pile up.
        t->due = now + t->period;
        t->running = true;
        const std::shared_ptr<TimerTick> tick = t->tick;
        (*tick)();
        if (Timer* after = Find(id)) after->running = false;
    }
}

}  // namespace velmo::platform
