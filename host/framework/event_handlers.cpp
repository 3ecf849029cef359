#include "host/framework/event_handlers.h"

#include "script/runtime/calls.h"
#include "script/runtime/interpreter_api.h"

namespace velmo::host {

using script::Pinned;
using script::Tag;
using script::Value;

EventHandlers::EventHandlers(script::Interpreter& interp, size_t count) {
    pins_.reserve(count);
    for (size_t i = 0; i < count; ++i) pins_.emplace_back(interp, Value::Undefined());
}

Value EventHandlers::Get(size_t event) const {
    if (!pins_.empty()) return event < pins_.size() ? pins_[event].Get() : Value::Undefined();
    return event < values_.size() ? values_[event] : Value::Undefined();
}

bool EventHandlers::Set(size_t event, const Value& handler) {
    if (!handler.Is(Tag::Function) || event >= Count()) return false;
    if (!pins_.empty()) pins_[event].Set(handler);
    else values_[event] = handler;
    return true;
}

void EventHandlers::Clear(size_t event) {
    if (event >= Count()) return;
    if (!pins_.empty()) pins_[event].Set(Value::Undefined());
    else values_[event] = Value::Undefined();
}

void EventHandlers::Mark(script::Interpreter& interp) const {
    for (const Value& value : values_) script::MarkValue(interp, value);
}

EventOutcome FireEvent(script::Interpreter& interp, const EventHandlers& handlers, size_t event, const Value& self,
                       std::span<const Value> args) {
    EventOutcome outcome;
    const Value handler = handlers.Get(event);
    if (!handler.Is(Tag::Function)) return outcome;
    // `handlers` may die with the native data while the handler runs: nothing below reads it.
    const Pinned pinnedHandler(interp, handler);
    const Pinned pinnedSelf(interp, self);
    std::vector<Pinned> pinnedArgs;
    pinnedArgs.reserve(args.size());
    std::vector<Value> vector;
    vector.reserve(args.size() + 1);
    vector.push_back(Value::Integer(static_cast<int64_t>(args.size())));
    for (const Value& arg : args) {
        pinnedArgs.emplace_back(interp, arg);
        vector.push_back(arg);
    }
    outcome.fired = true;
    outcome.succeeded = script::CallValue(interp, pinnedSelf.Get(), pinnedHandler.Get(), vector.data());
    outcome.resultTemp = outcome.succeeded ? script::Result(interp) : Value::Undefined();
    return outcome;
}

}  // namespace velmo::host
