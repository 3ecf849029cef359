#pragma once
// Lines for the interactive prompt: through libedit (line editing and history) when standard input
// is a terminal and the system has the library, plainly otherwise. Prompts are shown only on a terminal, so
// that piped input gives output without them.

#include <optional>
#include <string>

#include "platform/native_library.h"

namespace velmo::tools {

class LineReader {
public:
    LineReader();
    bool IsInteractive() const { return interactive_; }
    // The next line without its line end; none at the end of input (Ctrl-D on a terminal).
    std::optional<std::string> Read(const char* prompt);
    // Adds a whole entry to the history (a no-op without libedit).
    void Remember(const std::string& entry);

private:
    using ReadLineFunction = char* (*)(const char* prompt);  // the line in malloc'd memory, or null
    using AddHistoryFunction = int (*)(const char* line);

    bool interactive_;
    platform::NativeLibrary lineEditor_;  // keeps the two functions below loaded
    ReadLineFunction readLine_ = nullptr;
    AddHistoryFunction addHistory_ = nullptr;
};

}  // namespace velmo::tools
