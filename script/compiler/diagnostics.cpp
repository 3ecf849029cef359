// Diagnostic lines: "warning: line N: " or "error: line N: ", the message, CR LF.

#include "script/compiler/diagnostics.h"

#include <cstdarg>
#include <cstdio>

namespace velmo::script::compiler {

void Diagnostics::AppendLine(bool isError, int32_t line, const char* format, va_list args) {
    char message[kMaxMessageChars + 1];
    std::vsnprintf(message, sizeof message, format, args);
    char number[16];
    std::snprintf(number, sizeof number, "%d", static_cast<int>(line));
    text_ += isError ? "error: line " : "warning: line ";
    text_ += number;
    text_ += ": ";
    text_ += message;
    text_ += "\r\n";
    messages_.push_back({isError, line, message});
}

void Diagnostics::Warn(int32_t line, const char* format, ...) {
    if (failed_) return;  // nothing after the aborting error belongs to this compilation
    va_list args;
    va_start(args, format);
    AppendLine(false, line, format, args);
    va_end(args);
}

void Diagnostics::Fail(int32_t line, const char* format, ...) {
    if (failed_) return;
    va_list args;
    va_start(args, format);
    AppendLine(true, line, format, args);
    va_end(args);
    failed_ = true;
}

}  // namespace velmo::script::compiler
