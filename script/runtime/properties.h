#pragma once
// Property access, method calls and construction on any value, and the class plumbing through
// which built-in and host classes plug in. Script functions are entered through the interpreter's
// function runner; everything else is a class operation or an object's own slots.

#include <cstdint>
#include <string_view>

#include "script/runtime/interpreter_api.h"
#include "script/runtime/records.h"

namespace velmo::script {

// ---- Classes ----
// The finalizer of class records (it frees the class data); the heap runs it after the
// finalizers of the instances dying with the class.
Finalizer ClassRecordFinalizer();
// A zeroed class record with its finalizer set and a new prototype object whose "__proto__" is
// Null; the caller fills the operations. `name` is static text used in "[object Name]".
ClassRecord* NewClass(Interpreter& interp, const char* name);
// The class value (nativeData null: no own property object) or an instance whose own property
// object inherits from the class prototype.
Value NewHostValue(Interpreter& interp, ClassRecord* cls, void* nativeData);
// Stores the class value in the global of `name`.
void PublishClass(Interpreter& interp, std::string_view name, ClassRecord* cls);

// The own property object of a String, Array or Function value, created on first need with
// "__proto__" = the prototype of the value's class; null for other tags.
ObjectRecord* OwnProperties(Interpreter& interp, const Value& value, bool create);

// ---- Access ----
// Reads `nameId` of `value`; false (and `out` Undefined) when nothing has it.
bool GetProperty(Interpreter& interp, const Value& value, uint32_t nameId, Value& out);
// Stores, or warns (and stores nothing) where the value cannot hold the property.
void SetProperty(Interpreter& interp, const Value& target, uint32_t nameId, Value value);

// Where a method call goes: a class operation handled it (its result is in `out`), or a script
// function is to be entered with `this` = the receiver, or nothing applies (no warning yet).
struct MethodTarget {
    enum class Kind { None, Handled, Function } kind = Kind::None;
    FunctionRecord* function = nullptr;
};
MethodTarget ResolveMethod(Interpreter& interp, const Value& receiver, uint32_t nameId, Value* args, Value& out);

// Calls method `nameId` of `receiver` with the argument vector `args` (args[0] = Integer count).
// Class operations first, then Function properties (entered with `this` = the receiver); when
// nothing applies, warns "unknown method" and yields Undefined.
void CallMethod(Interpreter& interp, const Value& receiver, uint32_t nameId, Value* args, Value& out);

// `new callee(args)`: a class Construct, or a script function entered with a new object whose
// "__proto__" is the function's own property object. Anything else warns "invalid constructor"
// and yields Null.
void Construct(Interpreter& interp, const Value& callee, Value* args, Value& out);
// Construction short of running a script constructor: a class Construct runs (Handled, its result
// in `out`); a Function gives the new object in `out` and itself as the function to enter with
// that object as `this`; anything else warns "invalid constructor", `out` Null, kind None.
MethodTarget PrepareConstruct(Interpreter& interp, const Value& callee, Value* args, Value& out);

// Calls a callable value as a plain function (`this` = Null for script functions): a Function, or
// a HostObject whose class has Call. False when the value cannot be called (nothing happens).
bool CallCallable(Interpreter& interp, const Value& callee, const Value& thisValue, Value* args, Value& out);

// The text used for property names in warnings.
std::string_view NameText(Interpreter& interp, uint32_t nameId);

}  // namespace velmo::script
