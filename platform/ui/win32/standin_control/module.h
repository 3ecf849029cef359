#pragma once
// What the whole control file shares: its own module handle, and the count of live objects and
// locks that decides whether it may be unloaded.

#include <windows.h>

#include <new>

namespace velmo::platform::standin_control {

HINSTANCE ModuleInstance();
// Every COM object the file hands out, except the static class factory, counts itself here.
void ObjectMade();
void ObjectGone();
void LockModule(bool lock);
bool ModuleInUse();

// Runs `body` (returning HRESULT) so that no exception leaves a COM method: the caller is the system
// or another program, which knows nothing of C++ exceptions.
template <typename Body>
HRESULT Guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace velmo::platform::standin_control
