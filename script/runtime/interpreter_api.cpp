// The interpreter's operations for code outside the runtime, each forwarding to the machine
// state. The dispatch loop and the runtime's own slow paths use the members directly, so nothing
// on their path pays for the extra call.
#include "script/runtime/interpreter_api.h"

#include "script/runtime/internal/interpreter.h"
#include "script/runtime/pinned.h"

namespace velmo::script {

uint32_t Intern(Interpreter& interp, std::string_view name) { return interp.Intern(name); }

Value& Global(Interpreter& interp, uint32_t nameId) { return interp.Global(nameId); }

Value& GlobalByName(Interpreter& interp, std::string_view name) { return interp.GlobalByName(name); }

Value& Result(Interpreter& interp) { return interp.Result(); }

const std::string& ErrorText(const Interpreter& interp) { return interp.ErrorText(); }
void SetErrorText(Interpreter& interp, std::string_view text) { interp.SetErrorText(text); }

TraceOutput& Trace(Interpreter& interp) { return interp.Trace(); }

void SetTypeClass(Interpreter& interp, Tag tag, ClassRecord* cls) { interp.SetTypeClass(tag, cls); }

void DeclareDecimalIntegers(Interpreter& interp) { interp.DeclareDecimalIntegers(); }

void SetRegExpFactory(Interpreter& interp, RegExpFactory factory) { interp.SetRegExpFactory(factory); }

uint32_t AnonymousFunctions(const Interpreter& interp) { return interp.AnonymousFunctions(); }

Engine* GetEngine(const Interpreter& interp) { return interp.GetEngine(); }
void* HostPointer(const Interpreter& interp) { return interp.HostPointer(); }

void MarkValue(Interpreter& interp, const Value& value) { interp.MarkValue(value); }

void PassOn(Interpreter& interp, const Value& value) { interp.PassOn(value); }

PinRecord* Pin(Interpreter& interp, Value value) { return interp.Pin(value); }

void Unpin(Interpreter& interp, PinRecord* pin) { interp.Unpin(pin); }

}  // namespace velmo::script
