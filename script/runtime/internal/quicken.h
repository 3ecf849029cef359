#pragma once
// Fused instructions for the dispatch loop (fused_ops.def). A module's code keeps its meaning
// instruction by instruction; the loader only marks where a common sequence starts, so the loop
// runs the whole sequence in one dispatch when its operands are what the sequence expects.

#include <cstdint>
#include <vector>

#include "script/runtime/opcodes.h"
#include "script/runtime/value.h"

namespace velmo::script {

enum class Fused : uint32_t {
    kBefore = kLastOpcode,
#define VELMO_FUSED(name, meaning) name,
#include "script/runtime/internal/fused_ops.def"
#undef VELMO_FUSED
    kEnd,
};
inline constexpr int kLastFusedOpcode = static_cast<int>(Fused::kEnd) - 1;
static_assert(kLastFusedOpcode < 256, "an opcode word keeps the opcode in its low 8 bits");

// The opcode of a code word; bits 8 and up are the fields of a fused instruction.
inline constexpr uint32_t kOpcodeBits = 0xFF;

// The opcode word of a fused instruction: the loader packs it, the dispatch loop reads it, and
// this is the one place that knows where each field sits. Bits 8 and 9 are flags whose meaning
// depends on the instruction (the flags below name each use: bit 8 the jump's sense, ADDTO's
// subtraction, a following SETLOCAL or ADD; bit 9 an argument, a reciprocal, NE), bits 10-13 hold
// a distance in slots (fused_ops.def says from where to where for each instruction), bits 14-15
// where the pushed value is, bit 16 marks a compare-and-jump that is the left side of `&&` or
// `||` (or a VK* step's store back), and bits 17-31 the value itself when it fits. FORLOOP lays
// its word out its own way (below).
struct FusedWord {
    // Where the value of the push is: bits 16-31 of the word itself, the 32-bit operand of the
    // push (signed), or the constant the push's operand names.
    static constexpr uint32_t kValueInField = 0;
    static constexpr uint32_t kValueInOperand = 1;
    static constexpr uint32_t kValueInConstant = 2;

    // Flags for Pack, or-ed together.
    static constexpr uint32_t kJumpsWhenTrue = 1u << 8;  // compare-and-jump: jump when the relation holds
    static constexpr uint32_t kSubtracts = 1u << 8;      // ADDTO: n = n - value
    static constexpr uint32_t kStores = 1u << 8;         // MULADD, VVMULADD: a SETLOCAL takes the result
    static constexpr uint32_t kThenAdds = 1u << 8;       // VK*: an ADD follows, adding the result to TOS
    static constexpr uint32_t kNotEqual = 1u << 9;       // KANDJ: the bits are tested with NE, not EQ
    static constexpr uint32_t kStoresBack = 1u << 16;    // VKMUL, VKAND, VKSHR: n = n op value
    static constexpr uint32_t kArgument = 1u << 9;       // the variable read is GETARG, not GETLOCAL
    static constexpr uint32_t kReciprocal = 1u << 9;     // KMOD: the value is an index of the divisors
    // The second variable of a two-variable word is an argument. Such a word has no
    // pushed value, so the bits of the value's place are free.
    static constexpr uint32_t kSecondArgument = 1u << 14;
    // The relation is followed by DUP, the conditional jump and POP, as the left side of `&&` and
    // `||` is: a taken jump leaves the relation's result on the stack, the other way skips the POP.
    static constexpr uint32_t kKeepsResult = 1u << 16;
    static constexpr int32_t kFieldMin = -16384;
    static constexpr int32_t kFieldMax = 16383;

    // The pushed value's place (kValueIn...) and, when that is the word, the value (kFieldMin to kFieldMax).
    struct Pushed {
        uint32_t in;
        int32_t field;
    };

    static constexpr uint32_t Pack(Fused op, uint32_t flags = 0, uint32_t distanceSlots = 0,
                                   Pushed value = {kValueInField, 0}) {
        return static_cast<uint32_t>(op) | flags | distanceSlots << 10 | value.in << 14 |
               static_cast<uint32_t>(value.field) << 17;
    }

    static constexpr bool JumpsWhenTrue(uint32_t word) { return (word & kJumpsWhenTrue) != 0; }
    static constexpr bool Subtracts(uint32_t word) { return (word & kSubtracts) != 0; }
    static constexpr bool Stores(uint32_t word) { return (word & kStores) != 0; }
    static constexpr bool ThenAdds(uint32_t word) { return (word & kThenAdds) != 0; }
    static constexpr bool NotEqual(uint32_t word) { return (word & kNotEqual) != 0; }
    static constexpr bool StoresBack(uint32_t word) { return (word & kStoresBack) != 0; }
    static constexpr bool IsArgument(uint32_t word) { return (word & kArgument) != 0; }
    static constexpr bool HasReciprocal(uint32_t word) { return (word & kReciprocal) != 0; }
    static constexpr bool SecondIsArgument(uint32_t word) { return (word & kSecondArgument) != 0; }
    static constexpr uint32_t DistanceSlots(uint32_t word) { return (word >> 10) & 15u; }
    static constexpr uint32_t ValueIn(uint32_t word) { return (word >> 14) & 3u; }
    static constexpr bool KeepsResult(uint32_t word) { return (word & kKeepsResult) != 0; }
    // The POP a kept result's fall-through skips: 1 or 0, without a branch.
    static constexpr uint32_t KeptResultSlots(uint32_t word) { return (word & kKeepsResult) >> 16; }
    static constexpr int32_t Field(uint32_t word) { return static_cast<int32_t>(word) >> 17; }

    // FORLOOP has a layout of its own: bit 8 is the sense of the test's jump (kJumpsWhenTrue),
    // bit 9 says the limit is the test's second variable rather than the value in the test's
    // word, bits 10-13 the distance to the JMP's operand, bits 14-16 the test's relation and
    // bits 17-31 the step.
    enum class LoopRelation : uint32_t { LT, LE, GT, GE, EQ, NE };
    static constexpr uint32_t kLimitInVariable = 1u << 9;
    static constexpr uint32_t PackLoop(uint32_t flags, uint32_t distanceSlots, LoopRelation relation, int32_t step) {
        return static_cast<uint32_t>(Fused::FORLOOP) | flags | distanceSlots << 10 |
               static_cast<uint32_t>(relation) << 14 | static_cast<uint32_t>(step) << 17;
    }
    static constexpr bool LimitInVariable(uint32_t word) { return (word & kLimitInVariable) != 0; }
    static constexpr LoopRelation RelationOf(uint32_t word) { return static_cast<LoopRelation>((word >> 14) & 7u); }
};

// A constant divisor of KMOD with its reciprocal: x % divisor for 0 <= x < 2^32 is then two
// multiplications instead of a division, whose latency otherwise sits on the path of every loop
// that keeps a running remainder (D. Lemire, O. Kaser, N. Kurz, "Faster remainder by direct
// computation", 2019: exact for every 32-bit x and divisor).
struct Divisor {
    uint64_t divisor;     // 2 to 2^32 - 1
    uint64_t reciprocal;  // floor((2^64 - 1) / divisor) + 1

    static constexpr Divisor Of(uint64_t d) { return {d, UINT64_MAX / d + 1}; }
#if defined(__GNUC__)
    uint64_t Remainder(uint32_t x) const {
        const uint64_t fraction = reciprocal * x;
        return static_cast<uint64_t>((static_cast<unsigned __int128>(fraction) * divisor) >> 64);
    }
#endif
};

// Marks the sequences of `code` (`words` slots, translated and verified) that run as one fused
// instruction. `constants` resolves PUSHCONST operands; the divisors of KMOD go to `divisors`
// (shared by every module of the interpreter), which their words index.
void Quicken(uint32_t* code, uint32_t words, const std::vector<Value>& constants, std::vector<Divisor>& divisors);

}  // namespace velmo::script
