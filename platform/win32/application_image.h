#pragma once
// Shared between the environment and the resource reader: the application file chosen with
// UseApplicationImage, whose resources are then read from the file instead of the running module.

#include <string>

namespace velmo::platform::win32 {

// Empty while the running executable is the application.
std::string& ChosenApplicationImage();

// Forgets the cached resource table: the chosen file may have been rewritten under the same name.
void ResetResourceCache();

}  // namespace velmo::platform::win32
