#include "script/runtime/properties.h"

#include "script/runtime/errors.h"
#include "script/runtime/objects.h"

namespace velmo::script {

namespace {

void FinalizeClass(void* block) noexcept {
    auto* cls = static_cast<ClassRecord*>(block);
    if (cls->FreeClassData && cls->classData) cls->FreeClassData(cls->classData);
}

void FinalizeHost(void* block) noexcept {
    auto* host = static_cast<HostRecord*>(block);
    if (host->cls && host->cls->FinalizeData && host->nativeData) host->cls->FinalizeData(*host->cls, host->nativeData);
}

ObjectRecord* NewObjectInheriting(Interpreter& interp, ObjectRecord* prototype) {
    ObjectRecord* object = NewObject(interp);
    SetOwn(interp, object, interp.idProto(), prototype ? Value::Object(prototype) : Value::Null());
    return object;
}

ObjectRecord** OwnPropertiesSlot(const Value& value) {
    switch (value.tag) {
    case Tag::String: return &value.AsString()->props;
    case Tag::Array: return &value.AsArray()->props;
    case Tag::Function: return &value.AsFunction()->props;
    default: return nullptr;
    }
}

// The object a HostObject's properties live in: an instance's own property object, or for the
// class value the class prototype.
ObjectRecord*& HostPropertyObject(HostRecord* host) {
    return host->nativeData || host->props ? host->props : host->cls->prototype;
}

}  // namespace

std::string_view NameText(Interpreter& interp, uint32_t nameId) { return interp.Names().Text(nameId); }

ClassRecord* NewClass(Interpreter& interp, const char* name) {
    ClassRecord* cls = interp.GetHeap().NewFinalized<ClassRecord>(&FinalizeClass);
    cls->name = name;
    cls->prototype = NewObject(interp);
    SetOwn(interp, cls->prototype, interp.idProto(), Value::Null());
    return cls;
}

Value NewHostValue(Interpreter& interp, ClassRecord* cls, void* nativeData) {
    HostRecord* host = interp.GetHeap().NewFinalized<HostRecord>(&FinalizeHost);
    host->cls = cls;
    host->nativeData = nativeData;
    if (nativeData) host->props = NewObjectInheriting(interp, cls->prototype);
    return Value::Host(host);
}

void PublishClass(Interpreter& interp, std::string_view name, ClassRecord* cls) {
    const Value value = NewHostValue(interp, cls, nullptr);
    interp.GlobalByName(name) = value;
}

ObjectRecord* OwnProperties(Interpreter& interp, const Value& value, bool create) {
    ObjectRecord** slot = OwnPropertiesSlot(value);
    if (!slot) return nullptr;
    if (!*slot && create) {
        const ClassRecord* cls = interp.TypeClass(value.tag);
        *slot = NewObjectInheriting(interp, cls ? cls->prototype : nullptr);
    }
    return *slot;
}

bool GetProperty(Interpreter& interp, const Value& value, uint32_t nameId, Value& out) {
    out = Value::Undefined();
    if (value.Is(Tag::Object)) return GetOwnOrInherited(interp, value.AsObject(), nameId, out);
    if (value.Is(Tag::HostObject)) {
        HostRecord* host = value.AsHost();
        ClassRecord& cls = *host->cls;
        if (cls.Property && cls.Property(interp, cls, host->nativeData, nameId, false, &out)) return true;
        ObjectRecord* props = HostPropertyObject(host);
        if (nameId == interp.idProto()) {
            out = props ? Value::Object(props) : Value::Undefined();
            return props != nullptr;
        }
        return props && GetOwnOrInherited(interp, props, nameId, out);
    }
    ClassRecord* cls = interp.TypeClass(value.tag);
    if (!cls) return false;
    Value self = value;
    if (cls->Property && cls->Property(interp, *cls, &self, nameId, false, &out)) return true;
    if (nameId == interp.idProto()) {
        ObjectRecord* props = OwnProperties(interp, value, true);
        if (props) out = Value::Object(props);
        return props != nullptr;
    }
    if (ObjectRecord* props = OwnProperties(interp, value, false); props && GetOwnOrInherited(interp, props, nameId, out))
        return true;
    return cls->prototype && GetOwnOrInherited(interp, cls->prototype, nameId, out);
}

void SetProperty(Interpreter& interp, const Value& target, uint32_t nameId, Value value) {
    if (target.Is(Tag::Object)) return SetOwn(interp, target.AsObject(), nameId, value);
    ClassRecord* cls = target.Is(Tag::HostObject) ? target.AsHost()->cls : interp.TypeClass(target.tag);
    if (!cls || (target.Is(Tag::HostObject) && !cls->Property))
        return Warn(interp, Msg::UndefinedProperty, NameText(interp, nameId));
    void* self = target.Is(Tag::HostObject) ? target.AsHost()->nativeData : const_cast<Value*>(&target);
    if (cls->Property && cls->Property(interp, *cls, self, nameId, true, &value)) return;
    ObjectRecord** home = target.Is(Tag::HostObject) ? &HostPropertyObject(target.AsHost()) : OwnPropertiesSlot(target);
    if (nameId == interp.idProto()) {
        if (!home) return Warn(interp, Msg::UndefinedProperty, NameText(interp, nameId));
        if (!value.Is(Tag::Object)) return Warn(interp, Msg::WrongTypeProperty, NameText(interp, nameId));
        *home = value.AsObject();
        return;
    }
    if (!home) return Warn(interp, Msg::UndefinedProperty, NameText(interp, nameId));
    ObjectRecord* props = target.Is(Tag::HostObject) ? *home : OwnProperties(interp, target, true);
    if (props) SetOwn(interp, props, nameId, value);
}

bool CallCallable(Interpreter& interp, const Value& callee, const Value& thisValue, Value* args, Value& out) {
    out = Value::Undefined();
    if (callee.Is(Tag::Function)) {
        interp.RunFunction(callee.AsFunction(), thisValue, args, out);
        return true;
    }
    if (callee.Is(Tag::HostObject) && callee.AsHost()->cls->Call) {
        HostRecord* host = callee.AsHost();
        host->cls->Call(interp, *host->cls, host->nativeData, &out, args);
        return true;
    }
    return false;
}

void CallMethod(Interpreter& interp, const Value& receiver, uint32_t nameId, Value* args, Value& out) {
    out = Value::Undefined();
    Value found;
    if (receiver.Is(Tag::HostObject)) {
        HostRecord* host = receiver.AsHost();
        ClassRecord& cls = *host->cls;
        if (cls.CallMethod && cls.CallMethod(interp, cls, host->nativeData, nameId, &out, args)) return;
        ObjectRecord* props = HostPropertyObject(host);
        if (props && GetOwnOrInherited(interp, props, nameId, found) && found.Is(Tag::Function))
            return interp.RunFunction(found.AsFunction(), receiver, args, out);
    } else if (receiver.Is(Tag::Object)) {
        if (GetOwnOrInherited(interp, receiver.AsObject(), nameId, found)) {
            if (found.Is(Tag::Function)) return interp.RunFunction(found.AsFunction(), receiver, args, out);
            return Warn(interp, Msg::UnknownMethod, NameText(interp, nameId));
        }
        ClassRecord* objectClass = interp.TypeClass(Tag::Object);
        Value self = receiver;
        if (objectClass && objectClass->CallMethod &&
            objectClass->CallMethod(interp, *objectClass, &self, nameId, &out, args))
            return;
    } else if (ClassRecord* cls = interp.TypeClass(receiver.tag)) {
        Value self = receiver;
        if (cls->CallMethod && cls->CallMethod(interp, *cls, &self, nameId, &out, args)) return;
        ObjectRecord* props = OwnProperties(interp, receiver, false);
        if (props && GetOwnOrInherited(interp, props, nameId, found) && found.Is(Tag::Function))
            return interp.RunFunction(found.AsFunction(), receiver, args, out);
    }
    Warn(interp, Msg::UnknownMethod, NameText(interp, nameId));
}

void Construct(Interpreter& interp, const Value& callee, Value* args, Value& out) {
    out = Value::Undefined();
    ClassRecord* cls = callee.Is(Tag::HostObject) ? callee.AsHost()->cls : interp.TypeClass(callee.tag);
    if (callee.Is(Tag::Function)) {
        FunctionRecord* function = callee.AsFunction();
        if (!function->props) {
            const ClassRecord* objectClass = interp.TypeClass(Tag::Object);
            function->props = NewObjectInheriting(interp, objectClass ? objectClass->prototype : nullptr);
        }
        // Instances inherit what was assigned to the constructor itself; "prototype" plays no part.
        const Value self = Value::Object(NewObjectInheriting(interp, function->props));
        Value ignored;
        interp.RunFunction(function, self, args, ignored);
        out = self;
        return;
    }
    if (cls && cls->Construct) {
        cls->Construct(interp, *cls, args, &out);
        return;
    }
    Warn(interp, Msg::InvalidConstructor);
    out = Value::Null();
}

}  // namespace velmo::script
