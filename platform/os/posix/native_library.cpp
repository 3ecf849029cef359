// Libraries through the dynamic loader. RTLD_LOCAL keeps one script's library from lending its
// symbols to the next; RTLD_NOW makes a library with unresolved symbols fail here, where the
// script can be told, rather than at its first call.
#include "platform/native_library.h"

#include <dlfcn.h>

namespace velmo::platform {

void* OpenNativeLibrary(const std::string& ansiName, std::string& errorText) {
    void* handle = dlopen(ansiName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        errorText = reason ? reason : "the library cannot be loaded";
    }
    return handle;
}

void* FindNativeExport(void* library, const std::string& name) {
    (void)dlerror();
    return dlsym(library, name.c_str());
}

void CloseNativeLibrary(void* library) { dlclose(library); }

}  // namespace velmo::platform
