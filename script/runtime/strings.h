#pragma once
// String records: UTF-16 text, static (pointing at text that outlives the interpreter's use of it,
// such as literals and module constants) or owned (copied into the record's own block, and moved
// to a block of its own only when a store lengthens it beyond that block).

#include <cstddef>
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

inline const char16_t* Units(const StringRecord* s) {
    if (!(s->flags & kInlineChars)) return s->separateChars;
    return reinterpret_cast<const char16_t*>(reinterpret_cast<const std::byte*>(s) + kInlineCharsOffset);
}
inline std::u16string_view Text(const StringRecord* s) { return {Units(s), s->length}; }

// Owned strings change in place, so every holder of the record sees the change; the caller
// forgets the remembered name (ForgetName). `s` must not be static.
inline char16_t* MutableUnits(StringRecord* s) { return const_cast<char16_t*>(Units(s)); }
// Lengthens `s` to `newLength` units (more than it has), the new ones spaces, and returns its
// units. The record stays where it is; its units move to a block of their own when the record's
// block has no room for them.
char16_t* LengthenString(Interpreter& interp, StringRecord* s, size_t newLength);
// The block the units of `s` occupy apart from the record, if any: the collector marks it.
inline const void* SeparateCharsBlock(const StringRecord* s) {
    return s->flags & (kStaticString | kInlineChars) ? nullptr : s->separateChars;
}

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
