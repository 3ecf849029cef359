// Windows stop requests arrive as console control events, each on a thread of its own that the
// system starts. Ctrl-C and Ctrl-Break only raise the flag. Closing the console, logging off and
// shutting down end the process as soon as the handler returns, so the handler waits (a little
// less than the system's own allowance of about five seconds) for the main thread to say that the
// clean-up is done.
#include "platform/interrupts.h"

#include <windows.h>

#include <atomic>

namespace velmo::platform {

namespace {

std::atomic<int> requested{0};
HANDLE cleanedUp = nullptr;  // manual-reset event, set by InterruptHandled

constexpr DWORD kCleanUpWaitMs = 4500;

int SignalOf(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT: return 2;
        case CTRL_CLOSE_EVENT: return 1;
        default: return 15;  // CTRL_LOGOFF_EVENT, CTRL_SHUTDOWN_EVENT
    }
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
    const int number = SignalOf(event);
    int none = 0;
    if (!requested.compare_exchange_strong(none, number) && (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT))
        ::ExitProcess(128 + number);
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && cleanedUp)
        ::WaitForSingleObject(cleanedUp, kCleanUpWaitMs);
    return TRUE;
}

}  // namespace

void WatchInterrupts() {
    if (cleanedUp) return;
    cleanedUp = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ::SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
}

int InterruptRequested() { return requested.load(std::memory_order_relaxed); }

const std::atomic<int>& InterruptFlag() { return requested; }

void InterruptHandled() {
    if (cleanedUp) ::SetEvent(cleanedUp);
}

}  // namespace velmo::platform
