#include "script/runtime/strings.h"

#include <algorithm>
#include <cstring>

#include "script/runtime/internal/interpreter.h"

namespace velmo::script {

StringRecord* NewStaticString(Interpreter& interp, std::u16string_view text) {
    StringRecord* s = interp.GetHeap().New<StringRecord>();
    s->flags = kStaticString;
    s->length = static_cast<uint32_t>(text.size());
    s->chars = text.data();
    return s;
}

StringRecord* NewString(Interpreter& interp, std::u16string_view text) { return NewStringConcat(interp, text, {}); }

StringRecord* NewStringConcat(Interpreter& interp, std::u16string_view first, std::u16string_view second) {
    Heap& heap = interp.GetHeap();
    const size_t length = first.size() + second.size();
    interp.ChargeWork(length);
    // The characters first: if the record's allocation then fails, nothing refers to them and
    // the next sweep takes them back.
    char16_t* chars = static_cast<char16_t*>(heap.Allocate(std::max<size_t>(length, 1) * sizeof(char16_t)));
    if (!first.empty()) std::memcpy(chars, first.data(), first.size() * sizeof(char16_t));
    if (!second.empty()) std::memcpy(chars + first.size(), second.data(), second.size() * sizeof(char16_t));
    StringRecord* s = heap.New<StringRecord>();
    s->flags = 0;
    s->length = static_cast<uint32_t>(length);
    s->chars = chars;
    return s;
}

// The first difference is found a machine word at a time: sorting compares mostly texts that
// share a long start.
int StringCompare(std::u16string_view a, std::u16string_view b) {
    const size_t n = std::min(a.size(), b.size());
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        uint64_t x, y;
        std::memcpy(&x, a.data() + i, sizeof x);
        std::memcpy(&y, b.data() + i, sizeof y);
        if (x != y) break;
    }
    for (; i < n; ++i)
        if (a[i] != b[i]) return static_cast<uint16_t>(a[i]) < static_cast<uint16_t>(b[i]) ? -1 : 1;
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool SameText(const StringRecord* a, const StringRecord* b) {
    if (a->length != b->length) return false;
    return a->chars == b->chars || std::memcmp(a->chars, b->chars, size_t{a->length} * sizeof(char16_t)) == 0;
}

}  // namespace velmo::script
