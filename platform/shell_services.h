#pragma once
// What the Shell object asks of the system: starting a process from a command line and finding its
// first window, the shell's verbs on a file ("open", "explore", "print"), and the special folders.
// Win32 does the real thing. Headless starts real processes too (posix_spawn, the command line
// split as the system's C runtime splits it) but they have no windows on the model desktop; the
// verbs go to xdg-open when a display and xdg-open are there and VELMO_SHELL_RECORD_ONLY is not
// set, and are recorded as "shell" actions either way. docs/shell-dialogs-mci.md lists the
// folders the headless desktop gives.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/window.h"
#include "platform/window_system.h"

namespace velmo::platform {

// Start-up information of a new process: each part only when given.
struct ProcessStart {
    std::string commandLine;
    std::optional<int> showCommand;
    std::optional<Point> position;
    std::optional<Size> size;
};

struct ProcessStarted {
    bool started = false;
    uint32_t error = 0;       // the system's error code when not started
    WindowHandle window = 0;  // its main thread's first top-level, non-popup window; 0 for none
};

// Starts the process with normal priority and waits at most `idleWaitMs` for it to become idle.
ProcessStarted StartProcess(const ProcessStart& start, uint32_t idleWaitMs);

// The shell's execute call with `verb` on `file`, `parameters` and `folder` (empty: none), shown
// normally, owned by `owner`. False when the shell refuses.
bool ShellExecuteVerb(const std::string& verb, const std::string& file, const std::string& parameters,
                      const std::string& folder, WindowHandle owner);

// Folders that are not one of the shell's special-folder numbers.
inline constexpr int kFolderWindows = -1;
inline constexpr int kFolderSystem = -2;
// The installation's program files folder as the system's configuration records it.
inline constexpr int kFolderProgramFilesRecord = -3;

// The file-system path of special folder `id` (the shell's CSIDL numbers, or one of the above);
// none when the system has no such folder.
std::optional<std::string> SpecialFolderPath(int id);

}  // namespace velmo::platform
