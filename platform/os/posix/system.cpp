// Headless system services: sockets and OLE always start; the speakers are an in-memory mute
// control, unmuted at process start, so start-up and shutdown can be observed.
#include "platform/system.h"

namespace velmo::platform {

namespace {
bool speakerMuted = false;
}

bool StartSockets() { return true; }
void StopSockets() {}
bool StartOle() { return true; }
void StopOle() {}

std::optional<bool> SpeakerMute() { return speakerMuted; }
bool SetSpeakerMute(bool muted) {
    speakerMuted = muted;
    return true;
}

}  // namespace velmo::platform
