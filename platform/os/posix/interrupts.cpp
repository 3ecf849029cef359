// POSIX stop requests: SIGINT, SIGTERM and SIGHUP set a flag; the second one while the first is
// still pending ends the process with the conventional status 128 + signal.
#include "platform/interrupts.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>

namespace velmo::platform {

namespace {

std::atomic<int> requested{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler may touch only lock-free atomics");

void OnSignal(int number) {
    int none = 0;
    if (!requested.compare_exchange_strong(none, number)) ::_exit(128 + number);
}

}  // namespace

void WatchInterrupts() {
    struct sigaction action = {};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    // Restarted calls: a read or write interrupted by the request carries on, and the flag is
    // looked at where the program next asks for it.
    action.sa_flags = SA_RESTART;
    for (const int number : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(number, &action, nullptr);
}

int InterruptRequested() { return requested.load(std::memory_order_relaxed); }

const std::atomic<int>& InterruptFlag() { return requested; }

void InterruptHandled() {}

}  // namespace velmo::platform
