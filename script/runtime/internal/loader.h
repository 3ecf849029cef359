#pragma once
// Loading a verified module into an interpreter, short of running it: the pool is appended to the
// constant table (so pool index i is table entry base + i), every function is translated into
// 32-bit slots with resolved operands, and every function but ".main" is bound to its global.
// A module that fails at any step leaves the constant table, the globals and the count as they were.

#include <cstdint>
#include <optional>
#include <string_view>

#include "script/runtime/internal/interpreter.h"
#include "script/runtime/module.h"
#include "script/runtime/pinned.h"

namespace velmo::script {

// StringRecord flags of a regular-expression constant loaded while no RegExp factory is installed
// (Interpreter::SetRegExpFactory): the record is a static string holding the pattern, marked
// kRegExpPlaceholder, with the pool's flag byte in bits kRegExpFlagsShift and up.
inline constexpr int kRegExpFlagsShift = kNameCacheShift;

struct LoadedModule {
    // ".main" as a Function value, pinned so that a collection between loading and running cannot
    // take it (it is bound to no global). Dropping the LoadedModule releases it.
    Pinned main;
    uint32_t constantBase = 0;  // table entry of the module's pool index 0

    FunctionRecord* Main() const { return main.Get().AsFunction(); }
};

// Verifies and loads `module`. A refused module loads nothing and leaves the verifier's reason as
// the error text; an unknown pool kind or exhausted memory ends loading with the runtime's message
// as the error text. Nothing here runs script code, so nothing collects while loading.
[[nodiscard]] std::optional<LoadedModule> LoadModule(Interpreter& interp, const Module& module);

}  // namespace velmo::script
