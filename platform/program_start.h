#pragma once
// Starting another program as the desktop opens a file, for the movie's "exec"
// command, and the system folder that command searches.

#include <string>

namespace velmo::platform {

// The folder of the system's own programs; headless: "/usr/bin".
std::string SystemDirectory();

// Opens the file at `path` with the command-line `parameters` (none when empty)
// and `folder` as its working folder, shown normally. False when the system
// refuses. Headless starts nothing: it writes what it would start to standard
// error.
[[nodiscard]] bool StartProgram(const std::string& path, const std::string& parameters, const std::string& folder);

}  // namespace velmo::platform
