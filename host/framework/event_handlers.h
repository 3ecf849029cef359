#pragma once
// Event handler slots ("on..." members) and the protected call that runs one. A slot holds a
// Function or nothing; whatever else a script assigns is ignored. A handler that fails ends only
// itself: the event source never sees the unwinding and goes on as if it returned Undefined.

#include <cstddef>
#include <initializer_list>
#include <span>
#include <vector>

#include "script/runtime/pinned.h"
#include "script/runtime/value.h"

namespace velmo::host {

class EventHandlers {
public:
    // Slots kept in an instance's native data: the class's MarkData must call Mark, which the
    // framework does when the class names them in its spec.
    explicit EventHandlers(size_t count) : values_(count) {}
    // Slots that no instance carries (the events of a class value, kept in class state): each is
    // pinned, so it lives as long as this object and needs no marking.
    EventHandlers(script::Interpreter& interp, size_t count);

    size_t Count() const { return pins_.empty() ? values_.size() : pins_.size(); }
    // The handler, or Undefined when none is set (or `event` is out of range).
    script::Value Get(size_t event) const;
    bool IsSet(size_t event) const { return Get(event).Is(script::Tag::Function); }
    // Only a Function replaces the handler; false (and the old handler kept) for anything else.
    bool Set(size_t event, const script::Value& handler);
    // Empties the slot: only for the few events whose source lets scripts clear them.
    void Clear(size_t event);
    void Mark(script::Interpreter& interp) const;

private:
    std::vector<script::Value> values_;
    std::vector<script::Pinned> pins_;
};

// What firing an event did. `result` is the handler's return value (Undefined when no handler
// ran or it failed); it is a Temp: valid until the next call that can run script code.
struct EventOutcome {
    bool fired = false;      // a handler was set and called
    bool succeeded = false;  // it returned normally
    script::Value resultTemp;
};

// Calls the handler of `event`, if set, with `self` as `this` and `args` as its arguments, through
// the protected call. Handler, `self` and arguments stay pinned for the whole call, so an object
// argument can be read back afterwards even if the handler dropped every reference to it, and the
// slot may be replaced (or the native data released) by the handler itself.
EventOutcome FireEvent(script::Interpreter& interp, const EventHandlers& handlers, size_t event,
                       const script::Value& self, std::span<const script::Value> args);
inline EventOutcome FireEvent(script::Interpreter& interp, const EventHandlers& handlers, size_t event,
                              const script::Value& self, std::initializer_list<script::Value> args = {}) {
    return FireEvent(interp, handlers, event, self, std::span<const script::Value>(args.begin(), args.size()));
}

}  // namespace velmo::host
