// Display modes through the system's display settings: a mode is set for this process only
// (CDS_FULLSCREEN), so the saved settings never change, and an exit handler puts the screen back
// should the process end with the mode still changed.
#include "platform/display_modes.h"

#include <windows.h>

#include <cstdlib>

namespace velmo::platform {

namespace {

bool changed = false;
bool exitHandlerInstalled = false;

void RestoreAtExit() {
    if (changed) ::ChangeDisplaySettingsA(nullptr, 0);
    changed = false;
}

}  // namespace

bool DisplayModesAvailable() {
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    return ::EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode) != FALSE;
}

bool SetDisplayMode(const DisplayMode& wanted) {
    if (wanted.width <= 0 || wanted.height <= 0 || wanted.bitsPerPixel <= 0) return false;
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    mode.dmPelsWidth = static_cast<DWORD>(wanted.width);
    mode.dmPelsHeight = static_cast<DWORD>(wanted.height);
    mode.dmBitsPerPel = static_cast<DWORD>(wanted.bitsPerPixel);
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL;
    if (!exitHandlerInstalled) exitHandlerInstalled = std::atexit(&RestoreAtExit) == 0;
    if (::ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL) return false;
    changed = true;
    return true;
}

bool RestoreDisplayMode() {
    if (!changed) return true;
    if (::ChangeDisplaySettingsA(nullptr, 0) != DISP_CHANGE_SUCCESSFUL) return false;
    changed = false;
    return true;
}

std::optional<DisplayMode> CurrentDisplayMode() {
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    if (!::EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode)) return std::nullopt;
    return DisplayMode{static_cast<int>(mode.dmPelsWidth), static_cast<int>(mode.dmPelsHeight),
                       static_cast<int>(mode.dmBitsPerPel)};
}

}  // namespace velmo::platform
