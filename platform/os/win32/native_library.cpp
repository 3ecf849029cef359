// Libraries through the system loader. A library that cannot be found must not bring up the
// system's "missing file" box: the error mode is raised for the one call.
#include "platform/native_library.h"

#include <windows.h>

#include "platform/last_error.h"

namespace velmo::platform {

void* OpenNativeLibrary(const std::string& ansiName, std::string& errorText) {
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryA(ansiName.c_str());
    const DWORD error = GetLastError();
    SetErrorMode(previous);
    if (!module) errorText = SystemErrorText(error);
    return reinterpret_cast<void*>(module);
}

void* FindNativeExport(void* library, const std::string& name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name.c_str()));
}

void CloseNativeLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

}  // namespace velmo::platform
