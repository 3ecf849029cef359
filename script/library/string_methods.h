#pragma once
// The shape every String method shares, and the pattern methods ("match", "replace", "search",
// "split") that string_patterns.cpp implements for string_class.cpp.

#include <cstdint>
#include <string_view>

#include "script/runtime/args.h"
#include "script/runtime/records.h"
#include "script/runtime/strings.h"
#include "script/runtime/value.h"

namespace velmo::script::library {

// One method call: `receiver` is the String (Undefined on the class value). A method returns its
// result; missing or ill-typed arguments give the documented empty result, never an error.
struct StringCall {
    Interpreter& interp;
    Value receiver;
    Args args;

    // The receiver's text: a view that dies at the next collection, so take it after any call that
    // can run script code.
    std::u16string_view TextTemp() const { return Text(receiver.AsString()); }
};
using StringMethod = Value (*)(StringCall& call);

Value StringMatch(StringCall& call);
Value StringReplace(StringCall& call);
Value StringSearch(StringCall& call);
Value StringSplit(StringCall& call);

}  // namespace velmo::script::library
