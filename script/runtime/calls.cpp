#include "script/runtime/calls.h"

#include <new>
#include <optional>
#include <utility>

#include "script/runtime/errors.h"
#include "script/runtime/internal/interpreter.h"
#include "script/runtime/objects.h"
#include "script/runtime/pinned.h"
#include "script/runtime/properties.h"

namespace velmo::script {

namespace {

// Fails a protected call from inside: the message becomes the error text as it stands (these are
// warnings worded as such, not "Runtime error: ..."), and the call unwinds.
[[noreturn]] void FailCall(Interpreter& interp, Msg message, std::string_view argument = {}) {
    interp.SetErrorText(MessageText(message, argument));
    interp.NoteErrorSite(ErrorKind::Other, interp.ErrorText());
    throw ScriptUnwind{};
}

// Runs `body` as a protected call, writing its result into the interpreter's result cell.
template <class Body>
bool Protected(Interpreter& interp, Body&& body) {
    interp.SetErrorText("");
    interp.Result() = Value::Undefined();
    try {
        // The scope drops whatever a failed body left on the stack and in the frame records.
        Interpreter::ProtectedScope scope(interp);
        // Nested protected calls (conversions inside the callee) reuse the result cell; this
        // call's own result is written only once it is complete.
        Value result;
        body(result);
        // Field by field: the callee wrote `result` in two stores, and one wide load of both
        // halves would wait for them to retire, once per comparator call of a sort.
        Value& out = interp.Result();
        out.tag = result.tag;
        out.payload = result.payload;
        return true;
    } catch (const ScriptUnwind&) {
    } catch (const std::bad_alloc&) {
        interp.SetErrorText(MessageText(Msg::OutOfMemory));
    }
    interp.Result() = Value::Undefined();
    return false;
}

// The native entry points below keep a host callee or receiver pinned while it runs. A script
// function's frame holds its own function value, but a host operation gets only its class and
// data: if what it runs drops the last reference to the value it was called on (a script that
// reassigns the global naming it, then collects), nothing else would keep them alive.
std::optional<Pinned> KeepHost(Interpreter& interp, const Value& value) {
    if (!value.Is(Tag::HostObject)) return std::nullopt;
    return std::optional<Pinned>(std::in_place, interp, value);
}

}  // namespace

bool CallValue(Interpreter& interp, const Value& thisValue, const Value& callee, Value* args) {
    const std::optional<Pinned> keep = KeepHost(interp, callee);
    return Protected(interp, [&](Value& result) {
        if (!CallCallable(interp, callee, thisValue, args, result)) FailCall(interp, Msg::CallUndefinedFunction);
    });
}

bool CallGlobal(Interpreter& interp, std::string_view name, Value* args) {
    const Value callee = interp.GlobalByName(name);
    return CallValue(interp, Value::Null(), callee, args);
}

bool InvokeMethod(Interpreter& interp, const Value& receiver, uint32_t nameId, Value* args) {
    const std::optional<Pinned> keep = KeepHost(interp, receiver);
    return Protected(interp, [&](Value& result) {
        Value found;
        if (receiver.Is(Tag::Object) && GetOwnOrInherited(interp, receiver.AsObject(), nameId, found)) {
            if (!found.Is(Tag::Function)) FailCall(interp, Msg::UnknownMethod, NameText(interp, nameId));
            interp.RunFunction(found.AsFunction(), receiver, args, result);
            return;
        }
        ClassRecord* cls = receiver.Is(Tag::HostObject) ? receiver.AsHost()->cls : interp.TypeClass(receiver.tag);
        Value self = receiver;
        void* selfArg = receiver.Is(Tag::HostObject) ? receiver.AsHost()->nativeData : static_cast<void*>(&self);
        if (!cls || !cls->CallMethod || !cls->CallMethod(interp, *cls, selfArg, nameId, &result, args))
            FailCall(interp, Msg::UnknownMethod, NameText(interp, nameId));
    });
}

bool AccessHostProperty(Interpreter& interp, const Value& target, uint32_t nameId, bool isSet, const Value& value) {
    const std::optional<Pinned> keep = KeepHost(interp, target);
    const Pinned keepValue(interp, value);
    return Protected(interp, [&](Value& result) {
        result = Value::Undefined();
        if (!target.Is(Tag::HostObject)) return;
        ClassRecord& cls = *target.AsHost()->cls;
        if (!cls.Property) return;
        Value io = value;
        cls.Property(interp, cls, target.AsHost()->nativeData, nameId, isSet, &io);
        if (!isSet) result = io;
    });
}

bool ConstructGlobal(Interpreter& interp, std::string_view name, Value* args) {
    const Value callee = interp.GlobalByName(name);
    if (!callee.Is(Tag::HostObject) || !callee.AsHost()->cls->Construct) return false;
    const std::optional<Pinned> keep = KeepHost(interp, callee);
    return Protected(interp, [&](Value& result) {
        ClassRecord& cls = *callee.AsHost()->cls;
        cls.Construct(interp, cls, args, &result);
    });
}

}  // namespace velmo::script
