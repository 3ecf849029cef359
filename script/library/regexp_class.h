#pragma once
// RegExp values for the String methods: host objects of the class published as "RegExp", whose
// native data holds the pattern, the flags, the compiled expression and the last index.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "script/library/regexp_engine.h"
#include "script/runtime/value.h"

namespace velmo::script {
class Interpreter;
}

namespace velmo::script::library {

struct RegExpData {
    std::u16string pattern;  // "^" for an empty pattern
    uint32_t flags = 0;      // kRegExpGlobal, kRegExpIgnoreCase, kRegExpMultiLine, kRegExpFromConstant
    std::unique_ptr<CompiledRegExp> compiled;
    uint32_t lastIndex = 0;  // where a global expression's next search starts, in code units

    bool IsGlobal() const { return (flags & kRegExpGlobal) != 0; }
};

// A new RegExp value, or Null after "RegExp runtime error: ..." on the trace output when the
// pattern does not compile (or when the global "RegExp" no longer holds the RegExp class).
Value NewRegExp(Interpreter& interp, std::u16string_view pattern, uint32_t flags);

// The native data of `value` when it is a RegExp, else null.
RegExpData* AsRegExp(Interpreter& interp, const Value& value);

// Searches `subject` from code unit `from` (clamped to its length). The spans are subject
// positions. The last index is neither read nor changed.
bool SearchFrom(const RegExpData& re, std::u16string_view subject, uint64_t from, std::vector<MatchSpan>& spans);

// One execution from the last index: Null when nothing matches (a global expression's last index
// returns to 0), else an Array of the whole match and the groups (Undefined for a group that took
// no part) with "index" and "input" in its own properties; a global expression's last index then
// moves to the match end.
Value ExecRegExp(Interpreter& interp, RegExpData& re, const Value& subject);

// An Array holding `elements` at 0 .. n - 1, with its own property object.
Value NewResultArray(Interpreter& interp, const std::vector<Value>& elements);

}  // namespace velmo::script::library
