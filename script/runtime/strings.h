#pragma once
// String records: UTF-16 text, static (pointing at text that outlives the interpreter's use of it,
// such as literals and module constants) or owned (copied into a heap block of its own).

#include <string_view>

#include "script/runtime/interpreter_api.h"
#include "script/runtime/records.h"

namespace velmo::script {

// `text` must stay valid and unchanged for as long as the string may be reached.
StringRecord* NewStaticString(Interpreter& interp, std::u16string_view text);
StringRecord* NewString(Interpreter& interp, std::u16string_view text);
// One owned string of `first` followed by `second`, copied once.
StringRecord* NewStringConcat(Interpreter& interp, std::u16string_view first, std::u16string_view second);

inline Value StaticStringValue(Interpreter& interp, std::u16string_view text) {
    return Value::String(NewStaticString(interp, text));
}
inline Value StringValue(Interpreter& interp, std::u16string_view text) {
    return Value::String(NewString(interp, text));
}

inline std::u16string_view Text(const StringRecord* s) { return {s->chars, s->length}; }

// Code units compared as unsigned numbers; a prefix is smaller. -1, 0 or 1.
int StringCompare(std::u16string_view a, std::u16string_view b);

}  // namespace velmo::script
