#pragma once
// The screen's display mode, switched for full-screen presentation and put back afterwards. A mode
// set here is temporary: the system's saved mode is left alone, and the mode is put back when the
// process exits, even if nobody asks for it. On Windows this is the display-settings call with the
// full-screen flag; the headless desktop keeps a model that answers the same way.

#include <optional>

namespace velmo::platform {

struct DisplayMode {
    int width = 0, height = 0, bitsPerPixel = 0;
    bool operator==(const DisplayMode&) const = default;
};

// Whether display modes can be changed at all (the display answers for its current mode).
bool DisplayModesAvailable();
// Switches the primary display to `mode`; false when the display refuses it (nothing changes).
bool SetDisplayMode(const DisplayMode& mode);
// Puts back the mode the display had before the first SetDisplayMode; true also when nothing was
// changed. False when the system refused to go back.
bool RestoreDisplayMode();
// The primary display's mode now; none when the system does not say.
std::optional<DisplayMode> CurrentDisplayMode();

}  // namespace velmo::platform
