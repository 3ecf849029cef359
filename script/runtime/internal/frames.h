#pragma once
// The interpreter's own record of its activations. The value stack carries the four header cells
// of every frame as the layout prescribes, but code can overwrite any cell it addresses, so the
// interpreter never trusts them: returns, with-scopes and try records go by these records, which
// only the interpreter writes. They also root what a running frame needs (its function's code and
// its with-scope objects) even when no variable holds them any more.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "script/runtime/records.h"
#include "script/runtime/value.h"

namespace velmo::script {

// A frame's with-scope objects: a heap block of a u32 count (and the capacity) followed by the
// cells, first entered first. Cells past `count` are dead and never marked.
struct WithScopes {
    uint32_t count;
    uint32_t capacity;
};
static_assert(sizeof(WithScopes) % alignof(Value) == 0);
inline Value* WithCells(WithScopes* scopes) { return reinterpret_cast<Value*>(scopes + 1); }

struct Frame {
    size_t fp;                 // stack index of the FrameMark cell; moves down with ARGFIX
    size_t home;               // where fp stood at the call: the return value goes there
    const uint32_t* returnPc;  // the caller's next slot; null for an activation's first frame
    FunctionRecord* function;  // the running function
    WithScopes* withScopes;    // null until the first WITHENTER
    uint32_t fixedSlots;       // c of the last ARGFIX: the slots above fp that RET moves back
};

// The frame records, most recent last. The store is made once at its full size: every frame takes
// at least its four header cells of the value stack, so the stack bounds the count, and entering
// a frame is a store rather than a call that may grow a vector.
class FrameStack {
public:
    explicit FrameStack(size_t capacity) : frames_(new Frame[capacity]), capacity_(capacity) {}
    // The new last record, for the caller to fill in; null when full (the value stack overflows
    // first in every case the loop can reach). Filling the fields in place rather than copying a
    // finished Frame in matters on every call: the copy's wide loads of a record just written
    // field by field stalled, and took a quarter of a recursive benchmark's time.
    Frame* Grow() {
        if (size_ == capacity_) return nullptr;
        return &frames_[size_++];
    }
    void pop_back() { --size_; }
    // Drops frames down to `n` (never more than there are).
    void resize(size_t n) { size_ = n < size_ ? n : size_; }
    Frame& back() { return frames_[size_ - 1]; }
    const Frame& back() const { return frames_[size_ - 1]; }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const Frame* begin() const { return frames_.get(); }
    const Frame* end() const { return frames_.get() + size_; }

private:
    std::unique_ptr<Frame[]> frames_;
    size_t capacity_;
    size_t size_ = 0;
};

// A try record (isScript) or the mark of a protected host call. Script records of a frame die
// with it: RET drops those of the returning frame.
struct Recovery {
    bool isScript;
    size_t sp;          // stack index of the top cell when the record was pushed
    size_t frameDepth;  // frames in use at TRYENTER; the handler runs in the last of them
    const uint32_t* handler;
    uint32_t withCount;  // the frame's with-scope count at TRYENTER
};

}  // namespace velmo::script
