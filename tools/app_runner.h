#pragma once
// The life of an application as both the projector and `velmo play` run it: start-up, idle work
// until none is queued, closing the main window, shutdown.

#include <string>
#include <vector>

#include "script/runtime/engine.h"
#include "shell/app.h"

namespace velmo::tools {

// Runs the application for the command-line `args` (program name excluded) and returns the process
// exit status: shutdown's status after a run or an installer hook, 1 when start-up stopped (the
// reason was already reported), so that scripts can tell a failed start-up from a normal one.
// The headless frame's only events are its stand-in movie's: once they are delivered and no
// idle work is left, the main window closes. FIXME: nothing waits for a user's messages until the
// Win32 window and message loop exist.
//
// A stop request from outside (platform/interrupts.h: Ctrl-C, hang-up, termination, a closed
// console) ends the run as closing the main window does: the running script is broken off (in an
// engine made by MakeInterruptibleEngine), the window closes and shutdown removes the run folder.
// The status is then 128 + the request's signal number, as shells expect of an interrupted program.
int RunApplication(shell::AppServices& services, const std::vector<std::string>& args, shell::App::Log log = nullptr);

// The engine of an application run: host::MakeEngine's, whose scripts stop at their next safe
// point ("hook break N", N the signal number) once a stop request came in.
std::unique_ptr<script::Engine> MakeInterruptibleEngine();

}  // namespace velmo::tools
