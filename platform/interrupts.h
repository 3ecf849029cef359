#pragma once
// Requests from outside the program to stop it: Ctrl-C, a terminal hang-up or a termination
// request on POSIX; Ctrl-C, Ctrl-Break, closing the console window, logging off or shutting down
// on Windows. The first request only raises a flag, so that the running application can stop its
// script and go through its normal shutdown (the run folder must not be left behind); a second
// request while the first is pending ends the process at once, for a program that no longer
// reaches the places that look at the flag.

#include <atomic>

namespace velmo::platform {

// Starts watching for stop requests; idempotent. Until it is called the system's defaults hold.
void WatchInterrupts();

// The request that came in, as a POSIX signal number (Windows' console events map to 2 for Ctrl-C
// and Ctrl-Break, 1 for closing the console, 15 for logging off and shutting down); 0 while none
// came. Safe to read from anywhere, often: it is one atomic load.
int InterruptRequested();
// The word behind InterruptRequested, for code that polls it without calling in here (a script
// engine's interrupt flag).
const std::atomic<int>& InterruptFlag();

// Tells a system that waits for the clean-up (Windows, on closing the console or ending the
// session, gives a handler a few seconds before it ends the process) that the clean-up is done.
void InterruptHandled();

}  // namespace velmo::platform
