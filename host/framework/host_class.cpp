#include "host/framework/host_class.h"

#include <string>
#include <vector>

#include "platform/text.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/member_table.h"
#include "script/runtime/properties.h"
#include "script/runtime/strings.h"

namespace velmo::host {

using script::ClassRecord;
using script::Interpreter;
using script::Tag;
using script::Value;

namespace {

// The class data of every host class: the member table and what the shared operations need from
// the spec (a copy; the tables it points at are the class's static ones).
struct HostClassData {
    HostClassSpec spec;
    std::optional<script::MemberTable<HostMember>> members;  // made when the names are interned
    std::u16string displayText;                              // "[object <display name>]"
    std::unique_ptr<HostClassState> state;
};

void FreeHostClassData(void* classData) { delete static_cast<HostClassData*>(classData); }

// Null for classes not built here: their class data is of another kind.
const HostClassData* DataOf(const ClassRecord& cls) {
    if (cls.FreeClassData != &FreeHostClassData) return nullptr;
    return static_cast<const HostClassData*>(cls.classData);
}

Value FailureValue(Failure failure) {
    switch (failure) {
        case Failure::Null: return Value::Null();
        case Failure::False: return Value::Boolean(false);
        case Failure::MinusOne: return Value::Integer(-1);
        case Failure::Undefined: break;
    }
    return Value::Undefined();
}

bool CallMethodOp(Interpreter& interp, ClassRecord& cls, void* native, uint32_t nameId, Value* result, Value* args) {
    const HostClassData& data = *DataOf(cls);
    // Answered before the member table, whatever a class lists under that name.
    if (nameId == script::kToStringNameId) {
        // An owned copy: the string may outlive the class and its data.
        *result = script::StringValue(interp, data.displayText);
        return true;
    }
    const HostMember* member = FindMember(cls, nameId);
    if (!member || !member->method) return false;
    *result = FailureValue(member->failure);
    HostCall call{interp, cls, native, script::Args(args), result};
    member->method(call);
    return true;
}

bool EventProperty(ClassRecord& cls, const HostClassData& data, void* native, int slot, bool isSet, Value* io) {
    EventHandlers* handlers = data.spec.events ? data.spec.events(cls, native) : nullptr;
    if (isSet) {
        // Anything but a function is ignored and the old handler stays; a value without slots
        // (a class value of a per-instance class) ignores every store.
        if (handlers) handlers->Set(static_cast<size_t>(slot), *io);
        return true;
    }
    const Value handler = handlers ? handlers->Get(static_cast<size_t>(slot)) : Value::Undefined();
    if (handler.Is(Tag::Function)) *io = handler;
    else *io = data.spec.emptyEvent == EmptyEvent::Null ? Value::Null() : Value::Undefined();
    return true;
}

bool PropertyOp(Interpreter& interp, ClassRecord& cls, void* native, uint32_t nameId, bool isSet, Value* io) {
    const HostClassData& data = *DataOf(cls);
    const HostMember* member = FindMember(cls, nameId);
    if (member && data.spec.answersProperties && !data.spec.answersProperties(cls, native, *member)) member = nullptr;
    if (member && member->property) {
        HostProperty access{interp, cls, native, isSet, io};
        member->property(access);
        return true;
    }
    if (member && member->event >= 0) return EventProperty(cls, data, native, member->event, isSet, io);
    if (data.spec.otherProperty) {
        HostProperty access{interp, cls, native, isSet, io};
        if (data.spec.otherProperty(access, nameId)) return true;
    }
    if (!isSet) *io = Value::Undefined();
    return false;
}

void MarkDataOp(Interpreter& interp, ClassRecord& cls, void* native) {
    const HostClassSpec& spec = DataOf(cls)->spec;
    if (spec.events)
        if (const EventHandlers* handlers = spec.events(cls, native)) handlers->Mark(interp);
    if (spec.markData) spec.markData(interp, cls, native);
}

void CallAsConstruct(Interpreter& interp, ClassRecord& cls, void*, Value* result, Value* args) {
    if (cls.Construct) cls.Construct(interp, cls, args, result);
    else *result = Value::Undefined();
}

std::unique_ptr<HostClassData> MakeClassData(Interpreter& interp, const HostClassSpec& spec) {
    auto data = std::make_unique<HostClassData>();
    data->spec = spec;
    data->members.emplace(interp, spec.members);
    const std::string_view display = spec.displayName ? spec.displayName : spec.name;
    data->displayText = u"[object " + platform::AnsiToUtf16(display) + u"]";
    if (spec.makeState) data->state = spec.makeState(interp);
    return data;
}

void FillOperations(ClassRecord& cls, const HostClassSpec& spec) {
    cls.CallMethod = &CallMethodOp;
    cls.Property = &PropertyOp;
    cls.Construct = spec.construct;
    cls.Call = spec.call ? spec.call : (spec.callIsConstruct ? &CallAsConstruct : nullptr);
    cls.FinalizeData = spec.finalizeData;
    cls.MarkData = spec.events || spec.markData ? &MarkDataOp : nullptr;
}

}  // namespace

void DefaultConstruct(Interpreter& interp, ClassRecord& cls, Value*, Value* result) {
    *result = script::NewHostValue(interp, &cls, nullptr);
}

ClassRecord* RegisterHostClass(Interpreter& interp, const HostClassSpec& spec) {
    std::unique_ptr<HostClassData> data = MakeClassData(interp, spec);
    ClassRecord* cls = script::NewClass(interp, spec.name);
    FillOperations(*cls, spec);
    cls->classData = data.release();
    cls->FreeClassData = &FreeHostClassData;
    for (const HostConstant& constant : spec.constants)
        script::GlobalByName(interp, constant.name) = Value::Integer(constant.value);
    script::PublishClass(interp, spec.name, cls);
    return cls;
}

HostClassState* ClassState(const ClassRecord& cls) {
    const HostClassData* data = DataOf(cls);
    return data ? data->state.get() : nullptr;
}

const HostMember* FindMember(const ClassRecord& cls, uint32_t nameId) {
    const HostClassData* data = DataOf(cls);
    return data ? data->members->Find(nameId) : nullptr;
}

bool IsInstanceOf(Interpreter& interp, const Value& value, std::string_view className) {
    if (!value.Is(Tag::HostObject) || !value.AsHost()->cls) return false;
    const Value& published = script::GlobalByName(interp, className);
    if (!published.Is(Tag::HostObject) || published.AsHost()->cls != value.AsHost()->cls) return false;
    const HostClassData* data = DataOf(*value.AsHost()->cls);
    return data && data->spec.name && className == data->spec.name;
}

void* InstanceData(Interpreter& interp, const Value& value, std::string_view className) {
    return IsInstanceOf(interp, value, className) ? value.AsHost()->nativeData : nullptr;
}

}  // namespace velmo::host
