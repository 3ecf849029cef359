#pragma once
// Keeps a value alive across a call that can run script code, and so collect.
//
// The rule for host and library code: a record pointer or Value in a C++ local is safe until the
// next call that can run script code or reach a safe point (protected calls, CallMethod,
// Construct, ToPrimitive/ToString of objects). Whatever is needed after such a call sits on the
// value stack, in a global, or in a Pinned. Allocation alone never collects.

#include <utility>

#include "script/runtime/interpreter.h"

namespace velmo::script {

class Pinned {
public:
    Pinned(Interpreter& interp, Value v) : interp_(&interp), pin_(interp.Pin(v)) {}
    Pinned(Pinned&& o) noexcept : interp_(o.interp_), pin_(std::exchange(o.pin_, nullptr)) {}
    Pinned(const Pinned&) = delete;
    Pinned& operator=(const Pinned&) = delete;
    Pinned& operator=(Pinned&&) = delete;
    ~Pinned() {
        if (pin_) interp_->Unpin(pin_);
    }

    Value Get() const { return pin_->value; }
    void Set(Value v) { pin_->value = v; }

private:
    Interpreter* interp_;  // not owned
    PinRecord* pin_;       // owned; lives outside the collected heap
};

}  // namespace velmo::script
