#pragma once
// Runtime errors and warnings. RaiseError records "Runtime error: " and the message as the error
// text and unwinds with ScriptUnwind, which only the interpreter's loop and the protected calls
// catch; Warn-style messages go to the trace output and never unwind.

#include <string>
#include <string_view>

namespace velmo::script {

class Interpreter;

enum class Msg {
#define VELMO_MESSAGE(id, text) id,
#include "script/runtime/messages.def"
#undef VELMO_MESSAGE
};

// Not derived from std::exception, so no catch of those swallows a script unwind by accident.
// `carriesValue`: a THROW bound for a try record of an outer activation; the value waits in the
// interpreter. Otherwise the error text says what happened.
struct ScriptUnwind {
    bool carriesValue = false;
};

// The text of `message` with its "%s" (if any) replaced by `argument`.
std::string MessageText(Msg message, std::string_view argument = {});

[[noreturn]] void RaiseError(Interpreter& interp, Msg message, std::string_view argument = {});
void Warn(Interpreter& interp, Msg message, std::string_view argument = {});

}  // namespace velmo::script
