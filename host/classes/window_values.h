#pragma once
// A Window value for a window handle made by a class other than Window, through the Window
// class's own constructor, so that it shares that class's records.

#include <cstdint>

#include "script/runtime/value.h"

namespace velmo::script {
class Interpreter;
}

namespace velmo::host {

// A Window value for `window`; Null when it is not a window now or the engine has no Window class.
script::Value WindowValueFor(script::Interpreter& interp, uintptr_t window);

}  // namespace velmo::host
