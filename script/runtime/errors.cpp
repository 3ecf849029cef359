#include "script/runtime/errors.h"

#include "script/runtime/internal/interpreter.h"

namespace velmo::script {

namespace {
constexpr std::string_view kTexts[] = {
#define VELMO_MESSAGE(id, text) text,
#include "script/runtime/messages.def"
#undef VELMO_MESSAGE
};
}  // namespace

std::string MessageText(Msg message, std::string_view argument) {
    std::string text(kTexts[static_cast<size_t>(message)]);
    const size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, argument);
    return text;
}

void RaiseError(Interpreter& interp, Msg message, std::string_view argument) {
    const std::string text = MessageText(message, argument);
    interp.SetErrorText("Runtime error: " + text);
    interp.NoteErrorSite(ErrorKind::RuntimeError, text);
    throw ScriptUnwind{};
}

void Warn(Interpreter& interp, Msg message, std::string_view argument) { interp.Warn(MessageText(message, argument)); }

}  // namespace velmo::script
