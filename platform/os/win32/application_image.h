#pragma once
// Shared between the environment and the resource reader: the application file chosen with
// UseApplicationImage, whose resources are then read from the file instead of the running module.

#include <string>

namespace velmo::platform::win32 {

// Empty while the running executable is the application.
std::string& ChosenApplicationImage();

}  // namespace velmo::platform::win32
