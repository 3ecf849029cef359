#pragma once
// The lexer's character source: an in-memory string or a file read in 4,096-byte blocks, with a
// push-back stack read last-in first-out before new input. The first NUL byte ends the input for
// good; GetChar then answers 0 forever. The line count (first line 0) follows every LF handed out
// and taken back, so the lexer never counts lines itself.

#include "platform/files.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velmo::script::compiler {

constexpr size_t kSourceBlockBytes = 4096;

class SourceReader;

struct SourceOpenResult {
    std::unique_ptr<SourceReader> reader;  // null when the file could not be opened
    std::string errorText;                 // then "can't open the script file: NAME\n"
};

class SourceReader {
public:
    // Copies `text`; the source name (recorded with line information) is `name`.
    static std::unique_ptr<SourceReader> FromString(std::string_view text, std::string_view name = "string");
    [[nodiscard]] static SourceOpenResult OpenFile(const std::string& path);

    // The next byte, or 0 at the end of the input.
    char GetChar() {
        if (!pushedBack_.empty()) {
            const char c = pushedBack_.back();
            pushedBack_.pop_back();
            if (c == '\n') ++line_;
            return c;
        }
        if (atEnd_ || (position_ == length_ && !FillBlock())) return 0;
        const char c = data_[position_++];
        if (c == '\0') atEnd_ = true;
        if (c == '\n') ++line_;
        return c;
    }
    // Takes `c` back; pushing back the end (0) is a no-op because the end is sticky.
    void UngetChar(char c) {
        if (c == '\0') return;
        if (c == '\n') --line_;
        pushedBack_.push_back(c);
    }
    char PeekChar() {
        const char c = GetChar();
        UngetChar(c);
        return c;
    }

    int32_t Line() const { return line_; }
    const std::string& Name() const { return name_; }

private:
    SourceReader() = default;
    bool FillBlock();
    void SkipByteOrderMark();

    std::string name_;
    std::string text_;                      // in-memory source, with a NUL at its end
    std::unique_ptr<platform::File> file_;  // file source
    std::vector<char> block_;               // file source: current block plus room for a NUL
    const char* data_ = nullptr;            // text_ or block_
    size_t position_ = 0;
    size_t length_ = 0;
    bool atEnd_ = false;
    std::vector<char> pushedBack_;
    int32_t line_ = 0;
};

}  // namespace velmo::script::compiler
