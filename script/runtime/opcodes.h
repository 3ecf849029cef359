#pragma once
// Opcodes and their operand classes, expanded from opcodes.def.

#include <cstdint>
#include <string_view>

namespace velmo::script {

enum class OperandClass : uint8_t { None, U8, I16, U32, Name, Const, Rel32 };

enum class Op : uint8_t {
#define VELMO_OPCODE(number, name, operand, effect, meaning) name = number,
#include "script/runtime/opcodes.def"
#undef VELMO_OPCODE
};

inline constexpr int kFirstOpcode = 33;
inline constexpr int kLastOpcode = 112;

struct OpcodeInfo {
    std::string_view name;  // empty for numbers outside the instruction set
    OperandClass operand;
    int stackEffect;
};

// What the list says about `opcode`; name empty when it is not an instruction.
OpcodeInfo DescribeOpcode(int opcode);
// Bytes an operand of `operand` class takes in a module.
int OperandBytes(OperandClass operand);

}  // namespace velmo::script
