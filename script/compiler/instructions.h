#pragma once
// The code generator's output, before it becomes module bytes: one list per compilation unit of
// instructions (opcodes 33 to 112 of opcodes.def with their operands), function entries and jump
// labels, in order. Peephole passes rewrite the list; the module writer serializes it, interning
// names and constants into the pool as it goes.

#include <cstdint>
#include <string>
#include <vector>

#include "script/runtime/opcodes.h"

namespace velmo::script::compiler {

// Pseudo-instructions that are never written into code.
inline constexpr int kFunctionEntry = 1000;  // starts a function; `text` is its internal name
inline constexpr int kLabel = 1001;          // a jump target; `label` is its id

// The largest U8 operand: the byte is signed, so counts and slots above 127 do not fit.
inline constexpr int64_t kMaxByteOperand = 127;
// The largest I16 operand, which bounds local slots (GETLOCAL, SETLOCAL, RESERVE).
inline constexpr int64_t kMaxShortOperand = 32767;

// A constant operand (PUSHCONST), in the kinds the pool stores.
struct Constant {
    enum class Kind : uint8_t { Integer = 3, String = 4, Float = 5, RegExp = 11 };
    Kind kind = Kind::Integer;
    int64_t integer = 0;
    double number = 0;
    std::string text;         // String and RegExp: 8-bit text, converted to UTF-16 when written
    uint8_t regexpFlags = 0;  // 1 g, 2 i, 4 m
};

struct Instruction {
    int opcode = 0;       // 33-112, kFunctionEntry or kLabel
    int32_t line = 0;     // source line (0-based) for line information
    int64_t operand = 0;  // U8, I16 and U32 operands
    std::string text;     // Name operands, and the internal name of a function entry
    Constant constant;    // Const operands
    int label = -1;       // Rel32 operands: the target label's id; kLabel: its own id

    bool IsLabel() const { return opcode == kLabel; }
    bool IsFunctionEntry() const { return opcode == kFunctionEntry; }
};

using InstructionList = std::vector<Instruction>;

}  // namespace velmo::script::compiler
