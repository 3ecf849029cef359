#pragma once
// Import-table patching: pointing a loaded module's calls of a system function at a function of
// ours, for the few places where the runtime must stand between the player's control and the
// system (its movie reads, its print dialog).

#include <windows.h>

#include <span>

namespace velmo::platform::win32 {

struct ImportPatch {
    FARPROC real;         // the system function, as the loader bound it
    FARPROC replacement;  // what the module calls instead
};

// Points every import slot of `module` that holds one of the `real` functions at its replacement.
// Slots are compared by address, whichever library name they were imported under, so a slot bound
// through a forwarder is found too. False when the module's headers cannot be read or a slot
// cannot be written.
bool PatchImports(HMODULE module, std::span<const ImportPatch> patches);

// Function pointers of other types: through the one type the compiler accepts as "any function".
template <typename To, typename From>
To FunctionCast(From function) {
    return reinterpret_cast<To>(reinterpret_cast<void (*)()>(function));
}

}  // namespace velmo::platform::win32
