// Windows timers: system timers without a window (SetTimer with a null window and a timer
// procedure). The thread's message loop delivers their WM_TIMER messages and DispatchMessage calls
// the procedure, which finds the tick by the id the system chose.
#include "platform/timers.h"

#include <windows.h>

#include <map>
#include <memory>

namespace velmo::platform {

namespace {

struct Timer {
    std::shared_ptr<TimerTick> tick;  // shared: a tick that stops its own timer keeps running
    bool running = false;
};

std::map<UINT_PTR, Timer>& Timers() {
    static std::map<UINT_PTR, Timer> timers;
    return timers;
}

void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD) {
    auto it = Timers().find(id);
    if (it == Timers().end() || it->second.running) return;
    it->second.running = true;
    const std::shared_ptr<TimerTick> tick = it->second.tick;
    (*tick)();
    if (auto after = Timers().find(id); after != Timers().end()) after->second.running = false;
}

}  // namespace

uint32_t StartTimer(uint32_t periodMs, TimerTick tick) {
    if (!tick) return 0;
    const UINT_PTR id = ::SetTimer(nullptr, 0, periodMs, &OnTimer);
    if (id == 0) return 0;
    Timers()[id] = Timer{std::make_shared<TimerTick>(std::move(tick)), false};
    return static_cast<uint32_t>(id);
}

void StopTimer(uint32_t id) {
    auto it = Timers().find(id);
    if (it == Timers().end()) return;
    ::KillTimer(nullptr, id);
    Timers().erase(it);
}

size_t RunningTimers() { return Timers().size(); }

// The system keeps the due times; a loop that asks only needs to know whether to wait at all.
int64_t NextTimerDueInMs() { return Timers().empty() ? -1 : 0; }

void RunDueTimers(uint32_t maxWaitMs) {
    if (Timers().empty()) return;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, maxWaitMs, QS_ALLINPUT);
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

}  // namespace velmo::platform
