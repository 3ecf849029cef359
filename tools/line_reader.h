#pragma once
// Lines for the interactive prompt: through libedit (line editing and history) when the build found
// it and standard input is a terminal, plainly otherwise. Prompts are shown only on a terminal, so
// that piped input gives output without them.

#include <optional>
#include <string>

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
    bool interactive_;
};

}  // namespace velmo::tools
