#pragma once
// The interpreter's value stack: one block of cells made once at its full size. The stack grows
// downward from the end, so most of a large stack is never reached; the block comes zeroed from
// calloc (a zeroed cell is Undefined), which leaves fresh pages untouched until a deep recursion
// reaches them, where a vector would write every cell up front.

#include <cstddef>
#include <cstdlib>
#include <new>
#include <type_traits>

#include "script/runtime/value.h"

namespace velmo::script {

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
