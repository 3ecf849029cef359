#pragma once
// The interpreter's value stack: one block of cells made once at its full size. The stack grows
// downward from the end, so most of a large stack is never reached; the block comes zeroed from
// calloc (a zeroed cell is Undefined), which leaves fresh pages untouched until a deep recursion
// reaches them, where a vector would write every cell up front.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <type_traits>

#include "script/runtime/value.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velmo::script {

// Writes a whole cell in one 16-byte store. Cells are copied with 16-byte loads, and a load
// that finds the cell's halves written by separate stores cannot take its data from them: the
// loop stalls on every such copy (a counter updated in place, then read; a call's result, which
// comes back in two registers, then moved by the caller's next instruction).
inline void StoreCell(Value* cell, Tag tag, uint64_t payload) {
#if defined(__SSE2__)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(cell),
                     _mm_set_epi64x(static_cast<int64_t>(payload), static_cast<int64_t>(tag)));
#else
    cell->tag = tag;
    cell->payload.i = static_cast<int64_t>(payload);
#endif
}
inline void StoreValue(Value* cell, const Value& v) { StoreCell(cell, v.tag, static_cast<uint64_t>(v.payload.i)); }

class ValueStack {
public:
    explicit ValueStack(size_t cells)
        : cells_(static_cast<Value*>(std::calloc(cells ? cells : 1, sizeof(Value)))), size_(cells) {
        if (!cells_) throw std::bad_alloc();
    }
    ~ValueStack() { std::free(cells_); }
    ValueStack(const ValueStack&) = delete;
    ValueStack& operator=(const ValueStack&) = delete;

    size_t size() const { return size_; }
    Value* data() { return cells_; }
    Value& operator[](size_t i) { return cells_[i]; }
    const Value& operator[](size_t i) const { return cells_[i]; }
    Value& back() { return cells_[size_ - 1]; }

private:
    // Zeroed memory holds valid Undefined cells only while these hold.
    static_assert(static_cast<uint32_t>(Tag::Undefined) == 0);
    static_assert(std::is_trivially_copyable_v<Value> && std::is_trivially_destructible_v<Value>);

    Value* cells_;
    size_t size_;
};

}  // namespace velmo::script
