#pragma once
// Keeps a value alive across a call that can run script code, and so collect.
//
// The rule for host and library code: a record pointer or Value in a C++ local is safe until the
// next call that can run script code or reach a safe point (protected calls, CallMethod,
// Construct, ToPrimitive/ToString of objects). Whatever is needed after such a call sits on the
// value stack, in a global, or in a Pinned. Allocation alone never collects.

#include <utility>

#include "script/runtime/interpreter_api.h"
#include "script/runtime/value.h"

namespace velmo::script {

// A value kept alive by the host; outside the collected heap, linked into the interpreter's list.
struct PinRecord {
    Value value;
    uint32_t marker;  // a fixed word while linked, which unpinning checks
    PinRecord* self;
    PinRecord* previous;
    PinRecord* next;
};

// Links a pin of `value` until Unpin; only Pinned calls these, so that no pin is left behind.
PinRecord* Pin(Interpreter& interp, Value value);
void Unpin(Interpreter& interp, PinRecord* pin);

class Pinned {
public:
    Pinned(Interpreter& interp, Value v) : interp_(&interp), pin_(Pin(interp, v)) {}
    Pinned(Pinned&& o) noexcept : interp_(o.interp_), pin_(std::exchange(o.pin_, nullptr)) {}
    Pinned(const Pinned&) = delete;
    Pinned& operator=(const Pinned&) = delete;
    Pinned& operator=(Pinned&&) = delete;
    ~Pinned() {
        if (pin_) Unpin(*interp_, pin_);
    }

    Value Get() const { return pin_->value; }
    void Set(Value v) { pin_->value = v; }

private:
    Interpreter* interp_;  // not owned
    PinRecord* pin_;       // owned; lives outside the collected heap
};

}  // namespace velmo::script
