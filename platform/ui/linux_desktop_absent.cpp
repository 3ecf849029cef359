// A build without GTK and WebKitGTK: the Linux desktop is not there, and says so.
#include "platform/linux_desktop.h"

#include <string>

namespace velmo::platform {

bool LinuxDesktopBuilt() { return false; }

// VELMO_DESKTOP_OFF_REASON: configure's reason, from platform/ui/CMakeLists.txt.
LinuxDesktopOpening OpenLinuxDesktop() {
    return {nullptr, std::string("this build has no Linux desktop playback (") + VELMO_DESKTOP_OFF_REASON +
                         "; see docs/linux-desktop.md)"};
}

std::unique_ptr<MovieControl> CreateWebPlayerControl(FrameWindow&, const WebPlayerOptions&) { return nullptr; }

}  // namespace velmo::platform
