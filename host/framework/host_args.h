#pragma once
// The text border of host methods with the operating system: ANSI arguments and results. The
// argument vector itself is read with script::Args, whose readers check presence and tag and
// answer "no" instead of converting or raising: a host method given the wrong arguments yields its
// failure result and changes nothing.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "script/runtime/args.h"
#include "script/runtime/value.h"

namespace velmo::script {
class Interpreter;
}

namespace velmo::host {

// A String argument converted to the system's ANSI code page (a fresh buffer of the caller's), or
// nullopt when the argument is absent or not a String.
std::optional<std::string> AnsiArg(const script::Args& args, uint32_t index);

// A String for the script made from ANSI text: a new owned string, empty for empty or absent text.
script::Value AnsiStringValue(script::Interpreter& interp, std::string_view ansi);
script::Value AnsiStringValue(script::Interpreter& interp, const char* ansiOrNull);

}  // namespace velmo::host
