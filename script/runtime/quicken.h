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
#include "script/runtime/fused_ops.def"
#undef VELMO_FUSED
    kEnd,
};
inline constexpr int kLastFusedOpcode = static_cast<int>(Fused::kEnd) - 1;
static_assert(kLastFusedOpcode < 256, "an opcode word keeps the opcode in its low 8 bits");

// The opcode of a code word; bits 8 and up are the fields of a fused instruction.
inline constexpr uint32_t kOpcodeBits = 0xFF;
// Bits 14-15 of a fused word with an integer: the integer is bits 16-31 of the word itself, the
// 32-bit operand of the push (signed), or the Integer constant the push's operand names.
inline constexpr uint32_t kValueInField = 0;
inline constexpr uint32_t kValueInOperand = 1;
inline constexpr uint32_t kValueInConstant = 2;

// Marks the sequences of `code` (`words` slots, translated and verified) that run as one fused
// instruction. `constants` resolves PUSHCONST operands.
void Quicken(uint32_t* code, uint32_t words, const std::vector<Value>& constants);

}  // namespace velmo::script
