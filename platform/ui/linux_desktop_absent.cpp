// A build without GTK and WebKitGTK: the Linux desktop is not there, and says so.
#include "platform/linux_desktop.h"

namespace velmo::platform {

bool LinuxDesktopBuilt() { return false; }

LinuxDesktopOpening OpenLinuxDesktop() {
    return {nullptr,
            "this build has no Linux desktop playback (GTK 3 and WebKitGTK 4.1 were not found when it "
            "was configured; see docs/linux-desktop.md)"};
}

std::unique_ptr<MovieControl> CreateWebPlayerControl(FrameWindow&, const WebPlayerOptions&) { return nullptr; }

}  // namespace velmo::platform
