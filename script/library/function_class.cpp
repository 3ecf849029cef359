// The Function class: the class of every script function value. `new Function(p1, ..., body)`
// compiles "function (p1, ...) {body}" as a module of its own and answers the anonymous function
// it defined; modules number their anonymous functions on from those already loaded, so that one
// is the global "@F_" + the count read before the run.
#include "script/library/core_classes.h"

#include <string>

#include "platform/text.h"
#include "script/runtime/convert.h"
#include "script/runtime/engine.h"
#include "script/runtime/errors.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/properties.h"
#include "script/runtime/strings.h"

namespace velmo::script::library {

namespace {

// The parameters joined by ", " and the body (the last argument), each through ToString.
std::string FunctionSource(Interpreter& interp, const Value* args) {
    const int64_t count = args[0].AsInteger();
    std::u16string text = u"function (";
    for (int64_t i = 1; i < count; ++i) {
        if (i > 1) text += u", ";
        text += ToText(interp, args[i]);
    }
    text += u") {";
    if (count >= 1) text += ToText(interp, args[count]);
    text += u"}";
    return platform::Utf16ToAnsi(text);
}

// Without an engine (a bare interpreter) there is no compiler: the construction is refused as an
// invalid constructor would be. When the text does not compile, or its run fails, the result is
// Undefined and the diagnostics or the error stay in the interpreter's error text, as after eval.
void Construct(Interpreter& interp, ClassRecord&, Value* args, Value* result) {
    *result = Value::Undefined();
    Engine* engine = GetEngine(interp);
    if (!engine) {
        Warn(interp, Msg::InvalidConstructor);
        return;
    }
    const std::string source = FunctionSource(interp, args);
    const uint32_t nameId = Intern(interp, "@F_" + std::to_string(AnonymousFunctions(interp)));
    if (engine->RunSourceText(source) != 1) return;
    const Value defined = Global(interp, nameId);
    if (defined.Is(Tag::Function)) *result = defined;
}

// Handles no name, so that stores on the class value land on the class prototype, where every
// function finds them.
bool Property(Interpreter&, ClassRecord&, void*, uint32_t, bool isSet, Value* io) {
    if (!isSet) *io = Value::Undefined();
    return false;
}

bool CallMethod(Interpreter& interp, ClassRecord&, void* self, uint32_t nameId, Value* result, Value*) {
    const Value* receiver = static_cast<const Value*>(self);
    if (nameId == kToStringNameId) {
        *result = StaticStringValue(interp, u"[object Function]");
        return true;
    }
    if (nameId == kValueOfNameId) {
        *result = receiver ? *receiver : GlobalByName(interp, "Function");
        return true;
    }
    return false;
}

}  // namespace

void RegisterFunctionClass(Interpreter& interp) {
    ClassRecord* cls = NewClass(interp, "Function");
    cls->Construct = &Construct;
    cls->CallMethod = &CallMethod;
    cls->Property = &Property;
    PublishClass(interp, "Function", cls);
    SetTypeClass(interp, Tag::Function, cls);
}

}  // namespace velmo::script::library
