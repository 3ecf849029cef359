#pragma once
// The interpreter as code outside the runtime sees it: an opaque context that every runtime
// function takes, and the few operations the standard library and the host need on it. The
// machine state (heap, stack, frames, the loop) is private to script/runtime/, so nothing outside
// can come to depend on its layout or step around the protected calls.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "script/runtime/value.h"

namespace velmo::script {

class Interpreter;
class Engine;
class TraceOutput;
struct ClassRecord;

inline constexpr size_t kDefaultStackCells = 4096;

// Every interpreter interns these names first, in this order, so class operations can compare a
// name id against a constant instead of asking.
inline constexpr uint32_t kProtoNameId = 0;      // "__proto__"
inline constexpr uint32_t kPrototypeNameId = 1;  // "prototype"
inline constexpr uint32_t kToSourceNameId = 2;   // "toSource"
inline constexpr uint32_t kToStringNameId = 3;   // "toString"
inline constexpr uint32_t kValueOfNameId = 4;    // "valueOf"

// Called with (2, data) at every collection safe point; a non-zero result r aborts the run with
// "hook break r".
using InterpreterHook = int (*)(int reason, void* data);
// Turns a regular-expression constant of a module into its value while the module loads.
using RegExpFactory = Value (*)(Interpreter&, std::u16string_view pattern, uint8_t flags);

uint32_t Intern(Interpreter& interp, std::string_view name);

// The global slot of a name id; an unset global is Undefined. The reference holds until the next
// call that can add global slots (asking for the slot of a newer name, running script code).
Value& Global(Interpreter& interp, uint32_t nameId);
Value& GlobalByName(Interpreter& interp, std::string_view name);

// Where a protected call leaves the value it produced.
Value& Result(Interpreter& interp);
// The last error or warning of a protected call, at most 1023 bytes.
const std::string& ErrorText(const Interpreter& interp);
// Host members that fail with a system error leave its text here (cut to 1023 bytes) and go on.
void SetErrorText(Interpreter& interp, std::string_view text);

// Warnings and trace lines go here; nothing is written while it is closed.
TraceOutput& Trace(Interpreter& interp);

// The class whose operations serve every value of `tag` (String, Array, Number...).
void SetTypeClass(Interpreter& interp, Tag tag, ClassRecord* cls);
// After setting the Integer class: its toString of an integer (no radix) writes the plain decimal
// digits, as with no class, so string concatenation may write them without calling it.
void DeclareDecimalIntegers(Interpreter& interp);
// Without a factory, regular-expression constants of loaded modules stay placeholders.
void SetRegExpFactory(Interpreter& interp, RegExpFactory factory);

// How many anonymous ("@F_n") functions the loaded modules brought: code compiled at run time
// names its functions after them.
uint32_t AnonymousFunctions(const Interpreter& interp);
// The engine that owns `interp`, through which library code compiles source text; null for a
// bare interpreter (unit tests).
Engine* GetEngine(const Interpreter& interp);
// The embedder's pointer the engine was made with (EngineOptions::host); null when none was given.
void* HostPointer(const Interpreter& interp);

// Marks a value and everything it reaches; class MarkData operations call this for the values
// their native data holds.
void MarkValue(Interpreter& interp, const Value& value);

// Throws `value` for the failure of a protected call just made (a comparator that failed): should
// it reach a protected call, the report keeps that failure's positions, which lie deeper.
[[noreturn]] void PassOn(Interpreter& interp, const Value& value);

}  // namespace velmo::script
