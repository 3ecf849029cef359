#include "script/runtime/opcodes.h"

namespace velmo::script {

namespace {
struct Row {
    int number;
    OpcodeInfo info;
};
constexpr Row kRows[] = {
#define VELMO_OPCODE(number, name, operand, effect, meaning) {number, {#name, OperandClass::operand, effect}},
#include "script/runtime/opcodes.def"
#undef VELMO_OPCODE
};
static_assert(std::size(kRows) == kLastOpcode - kFirstOpcode + 1, "every opcode from 33 to 112 is listed once");
}  // namespace

OpcodeInfo DescribeOpcode(int opcode) {
    if (opcode < kFirstOpcode || opcode > kLastOpcode) return {{}, OperandClass::None, 0};
    return kRows[opcode - kFirstOpcode].info;
}

int OperandBytes(OperandClass operand) {
    switch (operand) {
        case OperandClass::None: return 0;
        case OperandClass::U8: return 1;
        case OperandClass::I16: return 2;
        default: return 4;
    }
}

}  // namespace velmo::script
