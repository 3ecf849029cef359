#include "script/runtime/properties.h"

#include "script/runtime/errors.h"
#include "script/runtime/internal/interpreter.h"
#include "script/runtime/objects.h"
#include "script/runtime/pinned.h"

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

Heap::Finalizer ClassRecordFinalizer() { return &FinalizeClass; }

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
    if (ObjectRecord* props = OwnProperties(interp, value, false);
        props && GetOwnOrInherited(interp, props, nameId, out))
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

MethodTarget ResolveMethod(Interpreter& interp, const Value& receiver, uint32_t nameId, Value* args, Value& out) {
    out = Value::Undefined();
    Value found;
    const auto functionIfFound = [&](ObjectRecord* props) {
        if (props && GetOwnOrInherited(interp, props, nameId, found) && found.Is(Tag::Function))
            return MethodTarget{MethodTarget::Kind::Function, found.AsFunction()};
        return MethodTarget{};
    };
    if (receiver.Is(Tag::HostObject)) {
        HostRecord* host = receiver.AsHost();
        ClassRecord& cls = *host->cls;
        if (cls.CallMethod && cls.CallMethod(interp, cls, host->nativeData, nameId, &out, args))
            return {MethodTarget::Kind::Handled, nullptr};
        return functionIfFound(HostPropertyObject(host));
    }
    if (receiver.Is(Tag::Object)) {
        // A property of that name decides, even when it is not a function.
        if (GetOwnOrInherited(interp, receiver.AsObject(), nameId, found))
            return found.Is(Tag::Function) ? MethodTarget{MethodTarget::Kind::Function, found.AsFunction()}
                                           : MethodTarget{};
        ClassRecord* objectClass = interp.TypeClass(Tag::Object);
        Value self = receiver;
        if (objectClass && objectClass->CallMethod &&
            objectClass->CallMethod(interp, *objectClass, &self, nameId, &out, args))
            return {MethodTarget::Kind::Handled, nullptr};
        return {};
    }
    ClassRecord* cls = interp.TypeClass(receiver.tag);
    if (!cls) return {};
    Value self = receiver;
    if (cls->CallMethod && cls->CallMethod(interp, *cls, &self, nameId, &out, args))
        return {MethodTarget::Kind::Handled, nullptr};
    return functionIfFound(OwnProperties(interp, receiver, false));
}

void CallMethod(Interpreter& interp, const Value& receiver, uint32_t nameId, Value* args, Value& out) {
    const MethodTarget target = ResolveMethod(interp, receiver, nameId, args, out);
    if (target.kind == MethodTarget::Kind::Function) return interp.RunFunction(target.function, receiver, args, out);
    if (target.kind == MethodTarget::Kind::None) Warn(interp, Msg::UnknownMethod, NameText(interp, nameId));
}

MethodTarget PrepareConstruct(Interpreter& interp, const Value& callee, Value* args, Value& out) {
    out = Value::Undefined();
    if (callee.Is(Tag::Function)) {
        FunctionRecord* function = callee.AsFunction();
        if (!function->props) {
            const ClassRecord* objectClass = interp.TypeClass(Tag::Object);
            function->props = NewObjectInheriting(interp, objectClass ? objectClass->prototype : nullptr);
        }
        // Instances inherit what was assigned to the constructor itself; "prototype" plays no part.
        out = Value::Object(NewObjectInheriting(interp, function->props));
        return {MethodTarget::Kind::Function, function};
    }
    ClassRecord* cls = callee.Is(Tag::HostObject) ? callee.AsHost()->cls : interp.TypeClass(callee.tag);
    if (cls && cls->Construct) {
        cls->Construct(interp, *cls, args, &out);
        return {MethodTarget::Kind::Handled, nullptr};
    }
    Warn(interp, Msg::InvalidConstructor);
    out = Value::Null();
    return {};
}

void Construct(Interpreter& interp, const Value& callee, Value* args, Value& out) {
    const MethodTarget target = PrepareConstruct(interp, callee, args, out);
    if (target.kind != MethodTarget::Kind::Function) return;
    // The new object must survive the constructor's own collections.
    Pinned self(interp, out);
    Value ignored;
    interp.RunFunction(target.function, out, args, ignored);
    out = self.Get();
}

}  // namespace velmo::script
