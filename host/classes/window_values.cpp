#include "host/classes/window_values.h"

#include <string>

#include "host/framework/host_class.h"
#include "script/runtime/calls.h"
#include "script/runtime/interpreter_api.h"

namespace velmo::host {

script::Value WindowValueFor(script::Interpreter& interp, uintptr_t window) {
    if (!window) return script::Value::Null();
    // Constructing runs a protected call, which clears the error text: a text set before stays.
    const std::string errorText = script::ErrorText(interp);
    script::Value args[] = {script::Value::Integer(1), script::Value::Integer(static_cast<int64_t>(window))};
    const bool made = script::ConstructGlobal(interp, "Window", args);
    const script::Value value = made ? script::Result(interp) : script::Value::Null();
    script::SetErrorText(interp, errorText);
    return IsInstanceOf(interp, value, "Window") ? value : script::Value::Null();
}

}  // namespace velmo::host
