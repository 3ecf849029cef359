#pragma once
// The life of an application as both the projector and `velmo play` run it: start-up, idle work
// until none is queued, closing the main window, shutdown.

#include <string>
#include <vector>

#include "shell/app.h"

namespace velmo::tools {

// Runs the application for the command-line `args` (program name excluded) and returns the process
// exit status: shutdown's status after a run or an installer hook, 1 when start-up stopped (the
// reason was already reported), so that scripts can tell a failed start-up from a normal one.
// The headless frame's only events are its stand-in movie's: once they are delivered and no
// idle work is left, the main window closes. FIXME: nothing waits for a user's messages until the
// Win32 window and message loop exist.
int RunApplication(shell::AppServices& services, const std::vector<std::string>& args,
                   shell::App::Log log = nullptr);

}  // namespace velmo::tools
