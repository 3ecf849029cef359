#pragma once
// The optional Linux desktop: a GTK window under the same frame logic as the other desktops, with
// the movie played by the web build of an open-source player in a WebKitGTK view. Builds without
// GTK and WebKitGTK (and every Windows build) carry a stand-in that says the desktop is not built.
// docs/linux-desktop.md says what the desktop and its control do and do not do.

#include <memory>
#include <string>

#include "platform/movie_call_values.h"
#include "platform/movie_control.h"
#include "platform/window.h"

namespace velmo::platform {

struct LinuxDesktopOpening {
    std::unique_ptr<Desktop> desktop;  // null when it could not be opened
    std::string error;                 // then why, as one line for the user
};

// Whether this build has the desktop at all.
bool LinuxDesktopBuilt();
// Opens the display the environment names (DISPLAY); the desktop's windows register in the model
// window system of platform/window_system.h, whose handles the scripts' Window objects use.
LinuxDesktopOpening OpenLinuxDesktop();

struct WebPlayerOptions {
    std::string playerFolder;                       // the player's files: ruffle.js beside its chunks
    const MovieCallDocuments* documents = nullptr;  // not owned; outlives the control
    // Each step of the control as one line (the page loaded, each event and call), for
    // `velmo play --verbose`; also lets the page's console messages through to standard output.
    std::function<void(const std::string&)> sink;
};
// The movie control filling the client area of `window`, a frame window of the Linux desktop;
// null for any other window or when the view cannot be made.
std::unique_ptr<MovieControl> CreateWebPlayerControl(FrameWindow& window, const WebPlayerOptions& options);

}  // namespace velmo::platform
