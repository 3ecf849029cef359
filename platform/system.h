#pragma once
// System services the application object starts and stops: Windows Sockets, OLE, and the mute
// control of the speakers' master line.

#include <optional>

namespace velmo::platform {

[[nodiscard]] bool StartSockets();  // version 1.1
void StopSockets();
[[nodiscard]] bool StartOle();
void StopOle();

// The speakers' mute state; nullopt when there is no mixer, speaker line or mute control.
std::optional<bool> SpeakerMute();
[[nodiscard]] bool SetSpeakerMute(bool muted);

}  // namespace velmo::platform
