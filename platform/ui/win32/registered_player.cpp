// The control file registered for the player's class, read from the registry's class table.
// FIXME: this belongs with the control host's creation of the player control in this folder; it is
// on its own only until that arrives, and goes into it then.
#include <windows.h>

#include <string>

#include "platform/movie_control.h"
#include "platform/os/win32/handles.h"

namespace velmo::platform {

std::string RegisteredPlayerFile() {
    const std::string key = std::string("CLSID\\") + kPlayerClassId + "\\InProcServer32";
    win32::RegistryKey opened;
    if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, opened.Receive()) != ERROR_SUCCESS) return {};
    char value[MAX_PATH + 1] = {};
    DWORD type = 0;
    DWORD size = sizeof value - 1;
    if (::RegQueryValueExA(opened.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    std::string file(value, size);
    while (!file.empty() && file.back() == '\0') file.pop_back();
    if (type != REG_EXPAND_SZ) return file;
    char expanded[MAX_PATH + 1] = {};
    const DWORD n = ::ExpandEnvironmentStringsA(file.c_str(), expanded, sizeof expanded);
    return n > 0 && n <= sizeof expanded ? std::string(expanded) : file;
}

}  // namespace velmo::platform
