// The Boolean class: the class of the Boolean tag. Its operations receive `self` as a pointer to
// the receiver's cell, or null on the class value. Construction gives a plain Boolean, not an
// object: `typeof new Boolean(x)` is "boolean".
#include "script/library/core_classes.h"

#include "script/runtime/convert.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/properties.h"
#include "script/runtime/strings.h"

namespace velmo::script::library {

namespace {

Value MakeBoolean(const Value* args) { return Value::Boolean(args[0].AsInteger() > 0 && ToBoolean(args[1])); }

void Call(Interpreter&, ClassRecord&, void*, Value* result, Value* args) { *result = MakeBoolean(args); }
void Construct(Interpreter&, ClassRecord&, Value* args, Value* result) { *result = MakeBoolean(args); }

// Handles no name, so that stores on the class value land on the class prototype, where every
// value of the class finds them.
bool Property(Interpreter&, ClassRecord&, void*, uint32_t, bool isSet, Value* io) {
    if (!isSet) *io = Value::Undefined();
    return false;
}

bool CallMethod(Interpreter& interp, ClassRecord&, void* self, uint32_t nameId, Value* result, Value*) {
    const Value* receiver = static_cast<const Value*>(self);
    if (nameId == kToStringNameId) {
        if (!receiver) *result = StaticStringValue(interp, u"[type Function]");
        else *result = StaticStringValue(interp, ToBoolean(*receiver) ? u"true" : u"false");
        return true;
    }
    if (nameId == kValueOfNameId) {
        *result = receiver ? *receiver : GlobalByName(interp, "Boolean");
        return true;
    }
    return false;
}

}  // namespace

void RegisterBooleanClass(Interpreter& interp) {
    ClassRecord* cls = NewClass(interp, "Boolean");
    cls->Call = &Call;
    cls->Construct = &Construct;
    cls->CallMethod = &CallMethod;
    cls->Property = &Property;
    PublishClass(interp, "Boolean", cls);
    SetTypeClass(interp, Tag::Boolean, cls);
}

}  // namespace velmo::script::library
