#pragma once
// The protected calls: the only way host code calls script code. Each clears the error text and
// the result cell, runs, and returns true on success; when a runtime error (or exhaustion of the
// process heap) unwinds the call it restores the stack position and returns false with the
// message in the interpreter's error text. Nothing else ever escapes to the host.

#include <cstdint>
#include <string_view>

#include "script/runtime/interpreter_api.h"

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
// Reads (the value lands in the result cell) or, with `isSet`, writes `value` to the property
// `nameId` of a HostObject through its class's Property operation, which may run script code. A
// class without Property, a name it does not handle, or a target that is no HostObject reads
// Undefined and writes nothing, and that still succeeds.
[[nodiscard]] bool AccessHostProperty(Interpreter& interp, const Value& target, uint32_t nameId, bool isSet,
                                      const Value& value);

}  // namespace velmo::script
