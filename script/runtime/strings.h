#pragma once
// String records: UTF-16 text, static (pointing at text that outlives the interpreter's use of it,
// such as literals and module constants) or owned (copied into a heap block of its own).

#include <string_view>

#include "script/runtime/interpreter_api.h"
#include "script/runtime/names.h"
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

// The name id `s` remembers having the same text (see kNameCacheShift), or NameTable::kNoName.
inline uint32_t RememberedName(const StringRecord* s) {
    if (s->flags & kRegExpPlaceholder) return NameTable::kNoName;
    return (s->flags >> kNameCacheShift) - 1;  // nothing remembered wraps round to kNoName
}
// The record is shared by every holder of the string, so the cache is written through `const`
// holders too: it never changes the text they see.
inline void RememberName(const StringRecord* s, uint32_t id) {
    if ((s->flags & kRegExpPlaceholder) || id > kNameCacheLimit) return;
    auto* record = const_cast<StringRecord*>(s);
    record->flags = (record->flags & ((1u << kNameCacheShift) - 1)) | (id + 1) << kNameCacheShift;
}
// For every change of a string's text in place.
inline void ForgetName(StringRecord* s) {
    if (!(s->flags & kRegExpPlaceholder)) s->flags &= (1u << kNameCacheShift) - 1;
}

// Code units compared as unsigned numbers; a prefix is smaller. -1, 0 or 1.
int StringCompare(std::u16string_view a, std::u16string_view b);
// Whether two strings have the same text: lengths first, then the units as bytes.
bool SameText(const StringRecord* a, const StringRecord* b);

}  // namespace velmo::script
