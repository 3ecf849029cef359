#pragma once
// The warning and error lines of one compilation, shared by the lexer, parser and code generator.
// The first error ends the compilation: it is recorded, Failed() turns true, and every later message
// is dropped, so the text is the warnings so far plus exactly one error line. Nothing here throws.

#include <cstdarg>
#include <cstdint>
#include <string>
#include <vector>

#include "script/runtime/error_report.h"

namespace velmo::script::compiler {

// Formatted messages are cut to this many characters before the line is built.
constexpr size_t kMaxMessageChars = 255;

class Diagnostics {
public:
    // Appends "warning: line N: MESSAGE\r\n"; scanning goes on.
    [[gnu::format(printf, 3, 4)]] void Warn(int32_t line, const char* format, ...);
    // Appends "error: line N: MESSAGE\r\n" and marks the compilation failed. The caller stops its
    // work and lets its own caller see Failed(); the lexer answers end of input from then on.
    [[gnu::format(printf, 3, 4)]] void Fail(int32_t line, const char* format, ...);

    bool Failed() const { return failed_; }
    const std::string& Text() const { return text_; }
    // The same lines as records, for hosts that print them in a form of their own.
    const std::vector<CompileMessage>& Messages() const { return messages_; }

private:
    void AppendLine(bool isError, int32_t line, const char* format, va_list args);

    std::string text_;
    std::vector<CompileMessage> messages_;
    bool failed_ = false;
};

}  // namespace velmo::script::compiler
