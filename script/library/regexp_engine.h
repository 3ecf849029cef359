#pragma once
// Regular-expression matching for script text: UTF-16 in and UTF-16 positions out, whatever the
// width of the library's wide character (16 bits on Windows, 32 on Linux). The library's headers
// stay inside regexp_engine.cpp: their POSIX-style names clash with the C library's <regex.h>.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velmo::script::library {

// Script text as the library's wide characters. A surrogate pair becomes one wide character when
// wchar_t has 32 bits; an unpaired surrogate is kept as it is. `unitAt[k]` is the UTF-16 offset at
// which wide character k starts, and `unitAt[size]` the whole UTF-16 length, so that every wide
// position maps back to a code-unit position.
struct WideText {
    std::wstring text;
    std::vector<uint32_t> unitAt;
};
WideText ToWideText(std::u16string_view text16);
// The library's own texts (error messages) back to UTF-16.
std::u16string FromWide(std::wstring_view wide);

// The regular-expression flag bits of a RegExp value.
inline constexpr uint32_t kRegExpGlobal = 0x1;
inline constexpr uint32_t kRegExpIgnoreCase = 0x2;
inline constexpr uint32_t kRegExpMultiLine = 0x4;
inline constexpr uint32_t kRegExpFromConstant = 0x8;

// One (start, end) pair of the match table in UTF-16 code units; -1 for a group that took no part.
struct MatchSpan {
    int64_t start = -1;
    int64_t end = -1;
    bool Matched() const { return start >= 0; }
};
inline constexpr size_t kMatchTableEntries = 256;

class CompiledRegExp {
public:
    // Compiles `pattern` with the g/i/m bits of `flags`; null with the library's message in
    // `error` when the library rejects it.
    static std::unique_ptr<CompiledRegExp> Compile(std::u16string_view pattern, uint32_t flags, std::u16string& error);
    ~CompiledRegExp();
    CompiledRegExp(const CompiledRegExp&) = delete;
    CompiledRegExp& operator=(const CompiledRegExp&) = delete;

    // Searches the whole of `subject`; on a match `spans` holds the whole match and every group
    // (at most kMatchTableEntries entries), positions counted in UTF-16 units from the start of
    // `subject`. A subject may hold zero code units: they are text like any other.
    bool Search(std::u16string_view subject, std::vector<MatchSpan>& spans) const;

private:
    struct Impl;
    explicit CompiledRegExp(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace velmo::script::library
