#pragma once
// The Application object: timers, the command line, file-type association, the movie's base path,
// tracing, the movie window's mouse capture, focus and cursor, drag regions, the About box, movie
// functions, the start-up and loading events, and the five settings objects (settings_objects.h).
// The shell reaches the object's events and flags through the functions below.

#include <cstdint>
#include <optional>
#include <string>

namespace velmo::script {
class Interpreter;
}

namespace velmo::host {

// Registers Application and the settings classes Appearance, SizeAndPos, Interaction, Behaviour and
// SysTray with their constants.
void RegisterApplicationClass(script::Interpreter& interp);

// Start-up's choice of the movie: onGetMovie gets a new empty Object; when the handler returns true
// (ToBoolean) and has put a String into the object's "value", that path (ANSI); otherwise none.
std::optional<std::string> AskForMovie(script::Interpreter& interp);

// The control accepted a new movie: onMovieLoaded(path).
void NotifyMovieLoaded(script::Interpreter& interp, const std::string& ansiPath);

// A mouse message over the tray icon fires the SysTray event it stands for: 0x200 (move)
// onMouseMove, 0x202 (left button up) onLClicked, 0x205 (right button up) onRClicked, 0x203 (left
// double click) onLDblClicked, 0x206 (right double click) onRDblClicked; other messages fire
// nothing. Whether the tray's built-in handling should still run (SysTray.useDefaultHandler).
bool NotifyTrayMouse(script::Interpreter& interp, uint32_t mouseMessage);

// Application._stpm: the main window keeps out of the layered (per-pixel alpha) mode when it sets
// up a transparent shape, and uses its other transparent mode. False at start.
bool KeepsLayeredOff(script::Interpreter& interp);

}  // namespace velmo::host
