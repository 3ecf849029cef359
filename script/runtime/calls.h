#pragma once
// The protected calls: the only way host code calls script code. Each clears the error text and
// the result cell, runs, and returns true on success; when a runtime error (or exhaustion of the
// process heap) unwinds the call it restores the stack position and returns false with the
// message in the interpreter's error text. Nothing else ever escapes to the host.

#include <cstdint>
#include <string_view>

#include "script/runtime/interpreter.h"

namespace velmo::script {

// A Function is run with `thisValue`; a HostObject whose class has Call is called; anything else
// fails with "Warning: call a undefined function". `args` is an argument vector.
[[nodiscard]] bool CallValue(Interpreter& interp, const Value& thisValue, const Value& callee, Value* args);
// The same on the global of `name`.
[[nodiscard]] bool CallGlobal(Interpreter& interp, std::string_view name, Value* args);
// Object receivers run a Function property with `this` = the receiver (a non-function property
// fails with "Warning: unknown method"); other values ask their class's CallMethod; no class or
// not handled fails with "Warning: unknown method".
[[nodiscard]] bool InvokeMethod(Interpreter& interp, const Value& receiver, uint32_t nameId, Value* args);
// `new` on the global of `name`, which must be a HostObject whose class has Construct.
[[nodiscard]] bool ConstructGlobal(Interpreter& interp, std::string_view name, Value* args);

}  // namespace velmo::script
