// The Object class. Its operations receive `self` as a pointer to the receiver's cell, or null when
// invoked on the class value itself.
#include "script/library/core_classes.h"

#include "script/runtime/convert.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/objects.h"
#include "script/runtime/properties.h"
#include "script/runtime/strings.h"

namespace velmo::script::library {

namespace {

uint32_t ArgCount(const Value* args) { return static_cast<uint32_t>(args[0].AsInteger()); }

// Object(x) and new Object(x): a fresh object for nothing, undefined or null; x as an object else.
Value MakeObject(Interpreter& interp, Value* args) {
    if (ArgCount(args) == 0 || args[1].Is(Tag::Undefined) || args[1].Is(Tag::Null))
        return Value::Object(NewObject(interp));
    return ToObject(interp, args[1]);
}

void Call(Interpreter& interp, ClassRecord&, void*, Value* result, Value* args) { *result = MakeObject(interp, args); }

void Construct(Interpreter& interp, ClassRecord&, Value* args, Value* result) {
    const bool passThrough = ArgCount(args) > 0 && (args[1].Is(Tag::Object) || args[1].Is(Tag::Name) ||
                                                    args[1].Is(Tag::Reserved8) || args[1].Is(Tag::Reserved9));
    *result = passThrough ? args[1] : MakeObject(interp, args);
}

// Handles no name, so that stores on the class value land on the class prototype, where every
// value of the class finds them.
bool Property(Interpreter&, ClassRecord&, void*, uint32_t, bool isSet, Value* io) {
    if (!isSet) *io = Value::Undefined();
    return false;
}

bool CallMethod(Interpreter& interp, ClassRecord&, void* self, uint32_t nameId, Value* result, Value*) {
    const Value* receiver = static_cast<const Value*>(self);
    if (nameId == kToSourceNameId && !receiver) {
        *result = StaticStringValue(interp, u"new Object()");
        return true;
    }
    if (nameId == kToStringNameId) {
        *result = StaticStringValue(interp, receiver ? u"[object Object]" : u"[type Function]");
        return true;
    }
    if (nameId == kValueOfNameId) {
        *result = receiver ? *receiver : GlobalByName(interp, "Object");
        return true;
    }
    return false;
}

}  // namespace

void RegisterObjectClass(Interpreter& interp) {
    ClassRecord* cls = NewClass(interp, "Object");
    cls->Call = &Call;
    cls->Construct = &Construct;
    cls->CallMethod = &CallMethod;
    cls->Property = &Property;
    PublishClass(interp, "Object", cls);
    SetTypeClass(interp, Tag::Object, cls);
}

}  // namespace velmo::script::library
