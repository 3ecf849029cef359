#pragma once
// Entering and leaving a frame: the loop's calls and returns and the activation entries both use
// these, and the loop needs them inlined: a call is a handful of stores, and out of line they and
// ARGFIX took a seventh of a recursive benchmark's time. Private to the runtime.

#include <algorithm>

#include "script/runtime/internal/interpreter.h"

namespace velmo::script {

inline Value FrameMark(uint64_t payload) {
    Value v;
    v.tag = Tag::FrameMark;
    v.payload.i = static_cast<int64_t>(payload);
    return v;
}

inline Value CallMark(uint64_t count, uint64_t padding) {
    Value v;
    v.tag = Tag::CallMark;
    v.payload.i = static_cast<int64_t>(padding << 32 | (count & 0xFFFFFFFF));
    return v;
}

#if defined(__GNUC__)
[[gnu::always_inline]]
#endif
inline void
Interpreter::EnterFrame(FunctionRecord* function, size_t thisCell, const uint32_t* returnPc) {
    // The four header cells go right below `thisCell`; ten cells must stay free below them. (The
    // check comes before any subtraction: a full stack has its top cell at index 0.)
    if (thisCell < 4 + kStackReserveCells) RaiseError(*this, Msg::StackOverflow);
    const size_t fp = thisCell - 1;
    const size_t callerFp = returnPc && !frames_.empty() ? frames_.back().fp : 0;
    Frame* const frame = frames_.Grow();
    if (!frame) RaiseError(*this, Msg::StackOverflow);
    frame->fp = fp;
    frame->home = fp;
    frame->returnPc = returnPc;
    frame->function = function;
    frame->withScopes = nullptr;
    frame->fixedSlots = 0;
    stack_[fp] = FrameMark(callerFp);
    stack_[fp - 1] = CallMark(0, 0);
    stack_[fp - 2] = FrameMark(0);
    stack_[fp - 3] = FrameMark(reinterpret_cast<uintptr_t>(returnPc));
    sp_ = fp - 3;
}

inline const uint32_t* Interpreter::Return(Value result, size_t recoveryBase) {
    const Frame frame = frames_.back();
    frames_.pop_back();
    // Undo ARGFIX's padding: `this`, the count and the arguments go back where the caller put
    // them, so a constructor's caller finds the new object in the callee cell.
    if (frame.home > frame.fp) {
        const size_t count = std::min<size_t>(frame.fixedSlots, stack_.size() - 1 - frame.home);
        Value* from = &stack_[frame.fp + 1];
        std::copy_backward(from, from + count, &stack_[frame.home + 1 + count]);
    }
    StoreValue(&stack_[frame.home], result);
    sp_ = frame.home;
    // Try records the returning frame left open die with it.
    while (recoveries_.size() > recoveryBase && recoveries_.back().frameDepth > frames_.size()) recoveries_.pop_back();
    return frame.returnPc;
}

}  // namespace velmo::script
