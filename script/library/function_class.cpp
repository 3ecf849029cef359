// The Function class: the class of every script function value. Building a function from source
// text (`new Function(...)`) needs the compiler and arrives with it; until then the class has no
// Construct, so such a construction warns "invalid constructor".
#include "script/library/core_classes.h"

#include "script/runtime/properties.h"
#include "script/runtime/strings.h"

namespace velmo::script::library {

namespace {

bool CallMethod(Interpreter& interp, ClassRecord&, void* self, uint32_t nameId, Value* result, Value*) {
    const Value* receiver = static_cast<const Value*>(self);
    if (nameId == interp.idToString()) {
        *result = StaticStringValue(interp, u"[object Function]");
        return true;
    }
    if (nameId == interp.idValueOf()) {
        *result = receiver ? *receiver : interp.GlobalByName("Function");
        return true;
    }
    return false;
}

}  // namespace

void RegisterFunctionClass(Interpreter& interp) {
    ClassRecord* cls = NewClass(interp, "Function");
    cls->CallMethod = &CallMethod;
    PublishClass(interp, "Function", cls);
    interp.SetTypeClass(Tag::Function, cls);
}

}  // namespace velmo::script::library
