#pragma once
// The parts of the last error beside its text: what kind of failure it was, the message alone and,
// for a failure in running code, where each active function stood. The error text stays the one
// the projector shows and scripts read; this is for hosts that place the error themselves, as the
// command-line tool does in the form compilers use.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmo::script {

// One line of a compilation's diagnostics. `line` counts from 0, as the diagnostics text does; it
// is -1 for a message about no line (a source file that cannot be opened).
struct CompileMessage {
    bool isError = false;
    int32_t line = 0;
    std::string text;  // the message without "error: line N: "
};

// Where a function stood: the call it was making, or for the innermost one the failing instruction.
struct CallPosition {
    std::string function;          // ".main" for a module's body
    std::string file;              // the source name the module carries; empty without line information
    std::optional<uint32_t> line;  // counted from 0; absent without line information
};

enum class ErrorKind {
    None,           // no error
    RuntimeError,   // RaiseError: the message without "Runtime error: "
    UncaughtThrow,  // a script throw no try caught: the message is the value as text
    Other,          // anything else (a refused module, a failed compile, exhausted memory): the text
};

struct ErrorReport {
    ErrorKind kind = ErrorKind::None;
    std::string message;
    // Innermost first; empty when the failure came from outside running code. At most
    // kMaxReportedCalls; `omittedCalls` counts the outer ones left off.
    std::vector<CallPosition> calls;
    size_t omittedCalls = 0;
};

// A stack overflow has thousands of frames; nobody reads past the first few dozen.
inline constexpr size_t kMaxReportedCalls = 64;

}  // namespace velmo::script
