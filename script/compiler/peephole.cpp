// The four peephole passes. Stack accounting here counts cells taken and cells pushed per
// instruction (not only the net effect), so a DUP/POP pair is removed only when no instruction in
// between reaches the original cell below the copy.

#include "script/compiler/peephole.h"

#include <cstdlib>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace velmo::script::compiler {
namespace {

bool Is(const Instruction& i, Op op) { return i.opcode == static_cast<int>(op); }

bool IsJump(const Instruction& i) {
    return Is(i, Op::JMP) || Is(i, Op::JT) || Is(i, Op::JF) || Is(i, Op::JZI) || Is(i, Op::JNZI);
}

bool RefersToLabel(const Instruction& i) { return IsJump(i) || Is(i, Op::TRYENTER); }

void RemoveMarked(InstructionList& list, const std::vector<bool>& removed) {
    size_t kept = 0;
    for (size_t i = 0; i < list.size(); ++i) {
        if (removed[i]) continue;
        if (kept != i) list[kept] = std::move(list[i]);  // a self-move would empty the strings
        ++kept;
    }
    list.resize(kept);
}

// ---- Pass 1: stack pairs ----

struct StackUse {
    int32_t pops;
    int32_t pushes;
};

StackUse UseOf(const Instruction& i) {
    const int32_t n = static_cast<int32_t>(i.operand);
    switch (static_cast<Op>(i.opcode)) {
        case Op::SWAP: return {2, 2};
        case Op::ROT: return std::abs(n) >= 2 ? StackUse{std::abs(n), std::abs(n)} : StackUse{0, 0};
        case Op::PUTDOWN: return {n + 1, 1};
        case Op::DROPN: return {n, 0};
        case Op::RESERVE: return {0, n};
        case Op::FORINNEXT: return {2, 2};
        case Op::SETPROP: return {2, 0};
        case Op::SETELEM: return {3, 0};
        case Op::DELELEM:
        case Op::GETELEM: return {2, 1};
        case Op::NOT:
        case Op::NEG:
        case Op::TYPEOF:
        case Op::GETPROP:
        case Op::ADDI1:
        case Op::ADDI2:
        case Op::GETARGI:
        case Op::DELPROP:
        case Op::DELNAMEW:
        case Op::DELGLOBAL:
        case Op::DELLOCAL:
        case Op::DELARG: return {1, 1};
        case Op::SETLOCAL:
        case Op::SETARG:
        case Op::SETGLOBAL:
        case Op::SETVARW:
        case Op::POP:
        case Op::WITHENTER:
        case Op::ARGFIX: return {1, 0};
        default: break;
    }
    const int effect = DescribeOpcode(i.opcode).stackEffect;
    return effect >= 0 ? StackUse{0, effect} : StackUse{-effect + 1, 1};  // binary operators: 2 -> 1
}

// Instructions across which a DUP/POP pair is never removed.
bool StopsPairSearch(const Instruction& i) {
    if (i.IsLabel() || i.IsFunctionEntry() || RefersToLabel(i)) return true;
    switch (static_cast<Op>(i.opcode)) {
        case Op::CALL:
        case Op::CALLMETHOD:
        case Op::CALLNAME:
        case Op::NEW:
        case Op::RET:
        case Op::DUP:
        case Op::TRYLEAVE:
        case Op::THROW: return true;
        default: return false;
    }
}

// Height counts the cells from the copy upwards (1 right after the DUP). The pair goes when a POP
// takes the untouched copy (height 1), or takes the original (height 0) after instructions consumed
// the copy from the top: without the DUP they would have consumed the original, an equal value.
void RemoveDupPopPairs(InstructionList& list) {
    std::vector<bool> removed(list.size(), false);
    for (size_t d = 0; d < list.size(); ++d) {
        if (removed[d] || !Is(list[d], Op::DUP)) continue;
        int32_t height = 1;
        bool copyTaken = false;
        for (size_t j = d + 1; j < list.size(); ++j) {
            if (removed[j]) continue;
            const Instruction& i = list[j];
            if (StopsPairSearch(i)) break;
            if (Is(i, Op::POP) && ((height == 1 && !copyTaken) || (height == 0 && copyTaken))) {
                removed[d] = removed[j] = true;
                break;
            }
            const StackUse use = UseOf(i);
            if (height - use.pops < 0) break;
            if (height - use.pops == 0) copyTaken = true;
            height += use.pushes - use.pops;
        }
    }
    RemoveMarked(list, removed);
}

// PUTDOWN n; POP -> DROPN n+1, and conditional jumps on a pushed constant become JMP or nothing.
// A PUTDOWN 127 (a call with the most arguments) stays: DROPN 128 would not fit its signed byte.
void FoldAdjacentPairs(InstructionList& list) {
    std::vector<bool> removed(list.size(), false);
    for (size_t i = 0; i + 1 < list.size(); ++i) {
        if (removed[i]) continue;
        Instruction& a = list[i];
        Instruction& b = list[i + 1];
        if (Is(a, Op::PUTDOWN) && Is(b, Op::POP) && a.operand < kMaxByteOperand) {
            a.opcode = static_cast<int>(Op::DROPN);
            a.operand += 1;
            removed[i + 1] = true;
            continue;
        }
        const bool pushesTrue = Is(a, Op::PUSHTRUE), pushesFalse = Is(a, Op::PUSHFALSE);
        if (!pushesTrue && !pushesFalse) continue;
        const bool jumpsOnFalse = Is(b, Op::JF) || Is(b, Op::JZI);
        const bool jumpsOnTrue = Is(b, Op::JT) || Is(b, Op::JNZI);
        if (!jumpsOnFalse && !jumpsOnTrue) continue;
        removed[i] = true;
        if ((pushesTrue && jumpsOnFalse) || (pushesFalse && jumpsOnTrue)) removed[i + 1] = true;
        else b.opcode = static_cast<int>(Op::JMP);
        ++i;
    }
    RemoveMarked(list, removed);
}

// ---- Pass 2: jump chains ----

std::unordered_map<int, size_t> LabelPositions(const InstructionList& list) {
    std::unordered_map<int, size_t> positions;
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].IsLabel()) positions[list[i].label] = i;
    return positions;
}

void ThreadJumps(InstructionList& list) {
    const auto positions = LabelPositions(list);
    for (Instruction& jump : list) {
        if (!IsJump(jump)) continue;
        for (size_t hops = 0; hops < list.size(); ++hops) {  // bounded: a cycle of JMPs ends here
            const auto found = positions.find(jump.label);
            if (found == positions.end()) break;
            size_t k = found->second;
            while (k < list.size() && list[k].IsLabel()) ++k;
            if (k == list.size() || !Is(list[k], Op::JMP) || list[k].label == jump.label) break;
            jump.label = list[k].label;
        }
    }
}

// ---- Pass 3: dead local stores ----

constexpr int32_t kTrackedSlots = 32;

uint32_t SlotBit(const Instruction& i) { return i.operand >= 0 && i.operand < kTrackedSlots ? 1u << i.operand : 0; }

// Liveness of local slots 0-31 within one function [begin, end). Any instruction may throw to any
// handler of the function, so handler entries count as successors of everything.
std::vector<uint32_t> LiveAfter(const InstructionList& list, size_t begin, size_t end,
                                const std::unordered_map<int, size_t>& positions) {
    const size_t n = end - begin;
    std::vector<uint32_t> liveIn(n, 0), liveOut(n, 0);
    std::vector<size_t> handlers;
    for (size_t i = begin; i < end; ++i)
        if (Is(list[i], Op::TRYENTER) && positions.count(list[i].label))
            handlers.push_back(positions.at(list[i].label));
    const auto inOf = [&](size_t index) { return index >= begin && index < end ? liveIn[index - begin] : 0u; };
    for (bool changed = true; changed;) {
        changed = false;
        for (size_t k = n; k-- > 0;) {
            const Instruction& i = list[begin + k];
            uint32_t out = 0;
            const bool fallsThrough = !Is(i, Op::JMP) && !Is(i, Op::RET) && !Is(i, Op::THROW);
            if (fallsThrough) out |= inOf(begin + k + 1);
            if (RefersToLabel(i) && positions.count(i.label)) out |= inOf(positions.at(i.label));
            for (size_t h : handlers) out |= inOf(h);
            uint32_t in = out;
            if (Is(i, Op::SETLOCAL)) in &= ~SlotBit(i);
            if (Is(i, Op::GETLOCAL) || Is(i, Op::DELLOCAL)) in |= SlotBit(i);
            if (in != liveIn[k] || out != liveOut[k]) changed = true;
            liveIn[k] = in;
            liveOut[k] = out;
        }
    }
    return liveOut;
}

void RemoveDeadLocalStores(InstructionList& list) {
    const auto positions = LabelPositions(list);
    std::vector<bool> removed(list.size(), false);
    for (size_t begin = 0; begin < list.size();) {
        size_t end = begin + 1;
        while (end < list.size() && !list[end].IsFunctionEntry()) ++end;
        const std::vector<uint32_t> liveOut = LiveAfter(list, begin, end, positions);
        for (size_t i = begin; i + 1 < end; ++i) {
            const Instruction& set = list[i];
            const Instruction& get = list[i + 1];
            if (!Is(set, Op::SETLOCAL) || !Is(get, Op::GETLOCAL) || set.operand != get.operand) continue;
            const uint32_t bit = SlotBit(set);
            if (bit == 0 || (liveOut[i + 1 - begin] & bit) != 0) continue;
            removed[i] = removed[i + 1] = true;
            ++i;
        }
        begin = end;
    }
    RemoveMarked(list, removed);
}

// ---- Pass 4: unreachable code ----

bool RemoveUnreachableOnce(InstructionList& list) {
    std::unordered_set<int> referenced;
    for (const Instruction& i : list)
        if (RefersToLabel(i)) referenced.insert(i.label);
    std::vector<bool> removed(list.size(), false);
    bool changed = false;
    bool unreachable = false;
    for (size_t i = 0; i < list.size(); ++i) {
        const Instruction& ins = list[i];
        if (ins.IsFunctionEntry() || (ins.IsLabel() && referenced.count(ins.label))) unreachable = false;
        if (unreachable || (ins.IsLabel() && !referenced.count(ins.label))) {
            removed[i] = changed = true;
            continue;
        }
        if (Is(ins, Op::JMP)) {
            size_t k = i + 1;
            while (k < list.size() && list[k].IsLabel() && list[k].label != ins.label) ++k;
            if (k < list.size() && list[k].IsLabel()) {  // jumps to a label right after it
                removed[i] = changed = true;
                continue;
            }
        }
        if (Is(ins, Op::RET) || Is(ins, Op::JMP) || Is(ins, Op::THROW)) unreachable = true;
    }
    RemoveMarked(list, removed);
    return changed;
}

}  // namespace

void Optimize(InstructionList& list, uint32_t flags) {
    if (flags & kPeepholeStackPairs) {
        RemoveDupPopPairs(list);
        FoldAdjacentPairs(list);
    }
    if (flags & kPeepholeJumpChains) ThreadJumps(list);
    if (flags & kPeepholeDeadLocalStores) RemoveDeadLocalStores(list);
    if (flags & kPeepholeUnreachable)
        while (RemoveUnreachableOnce(list)) {}
}

}  // namespace velmo::script::compiler
