#pragma once
// Starting another program as the desktop opens a file, for the movie's "exec"
// command, and the system folder that command searches; running a program and
// waiting for it, for the player's silent installer.

#include <cstdint>
#include <string>
#include <vector>

namespace velmo::platform {

// The folder of the system's own programs; headless: "/usr/bin".
std::string SystemDirectory();

// Opens the file at `path` with the command-line `parameters` (none when empty)
// and `folder` as its working folder, shown normally. False when the system
// refuses. Headless starts nothing: it writes what it would start to standard
// error.
[[nodiscard]] bool StartProgram(const std::string& path, const std::string& parameters, const std::string& folder);

enum class ProgramWait { Ended, TimedOut, NotStarted };

// Runs the program file at `path` itself (no shell, no file association) with
// `arguments`, in the current folder and environment, and waits at most
// `limitMs` for it to end. On Windows its command line is the quoted path, then
// each argument after a blank, unquoted. A program still running at the limit
// is left running. Unlike StartProgram this runs the program headless too,
// where the file must be executable by the host.
ProgramWait RunProgramAndWait(const std::string& path, const std::vector<std::string>& arguments, uint32_t limitMs);

}  // namespace velmo::platform
