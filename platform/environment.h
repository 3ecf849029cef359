#pragma once
// The process's environment: variables, the system folder and the path of its own executable.

#include <optional>
#include <string>

namespace velmo::platform {

std::optional<std::string> GetEnvironment(const std::string& name);

// Sets `name` to `value`, or removes it for nullopt; false when the system refuses.
bool SetEnvironment(const std::string& name, const std::optional<std::string>& value);

// The Windows directory; headless: a fixed folder for temporary files.
std::string WindowsDirectory();

// The full path of the application image: the running executable, or the image chosen with
// UseApplicationImage.
std::string ModuleFileName();

// Makes ModuleFileName and the resource reader (resources.h) answer for the application file at
// `path` instead of the running executable. The player of the command-line tool runs applications
// this way; an empty path goes back to the running executable. A relative path is made absolute
// against the current folder at once: everything looked for beside the executable starts from
// its folder, which must not become the root of the disk or follow later changes of folder.
void UseApplicationImage(const std::string& path);

// The command line as the process got it, the program first: the system's on Windows; on Linux the
// arguments joined by blanks, those with blanks or tabs in double quotes. A player running an
// application sets the application's own line instead (empty goes back to the process's).
std::string ProcessCommandLine();
void SetProcessCommandLine(std::string line);

}  // namespace velmo::platform
