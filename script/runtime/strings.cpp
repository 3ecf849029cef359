#include "script/runtime/strings.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "script/runtime/internal/interpreter.h"

namespace velmo::script {

StringRecord* NewStaticString(Interpreter& interp, std::u16string_view text) {
    StringRecord* s = interp.GetHeap().New<StringRecord>();
    s->flags = kStaticString;
    s->length = static_cast<uint32_t>(text.size());
    s->separateChars = text.data();
    return s;
}

StringRecord* NewString(Interpreter& interp, std::u16string_view text) { return NewStringConcat(interp, text, {}); }

StringRecord* NewStringConcat(Interpreter& interp, std::u16string_view first, std::u16string_view second) {
    const size_t length = first.size() + second.size();
    interp.ChargeWork(length);
    // Not Heap::New: the record is as long as its text, and at least a whole record, so that
    // units moved out by LengthenString leave room for their pointer.
    const size_t bytes = std::max(sizeof(StringRecord), kInlineCharsOffset + length * sizeof(char16_t));
    void* block = interp.GetHeap().Allocate(bytes);
    auto* s = ::new (block) StringRecord;
    s->flags = kInlineChars;
    s->length = static_cast<uint32_t>(length);
    s->props = nullptr;
    char16_t* units = MutableUnits(s);
    if (!first.empty()) std::memcpy(units, first.data(), first.size() * sizeof(char16_t));
    if (!second.empty()) std::memcpy(units + first.size(), second.data(), second.size() * sizeof(char16_t));
    return s;
}

char16_t* LengthenString(Interpreter& interp, StringRecord* s, size_t newLength) {
    VELMO_ASSERT(!(s->flags & kStaticString) && newLength > s->length);
    Heap& heap = interp.GetHeap();
    const size_t newBytes = newLength * sizeof(char16_t);
    char16_t* units;
    if (!(s->flags & kInlineChars)) {
        units = static_cast<char16_t*>(heap.Reallocate(const_cast<char16_t*>(s->separateChars), newBytes));
        s->separateChars = units;
    } else if (Heap::BlockSize(s) >= kInlineCharsOffset + newBytes) {
        units = MutableUnits(s);
    } else {
        units = static_cast<char16_t*>(heap.Allocate(newBytes));
        std::memcpy(units, Units(s), size_t{s->length} * sizeof(char16_t));
        s->flags &= ~kInlineChars;
        s->separateChars = units;
    }
    std::fill(units + s->length, units + newLength, u' ');
    s->length = static_cast<uint32_t>(newLength);
    return units;
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
    const char16_t* x = Units(a);
    const char16_t* y = Units(b);
    return x == y || std::memcmp(x, y, size_t{a->length} * sizeof(char16_t)) == 0;
}

}  // namespace velmo::script
