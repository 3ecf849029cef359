#include "script/runtime/quicken.h"

#include <optional>

namespace velmo::script {

namespace {

struct Instruction {
    uint32_t slot;  // where its opcode word is
    Op op;          // as the module has it, before any marking
};

constexpr uint32_t Fields(Fused op, uint32_t flags, uint32_t length, int32_t value) {
    return static_cast<uint32_t>(op) | flags << 8 | length << 10 | static_cast<uint32_t>(value) << 16;
}

bool FitsField(int64_t v) { return v >= -32768 && v <= 32767; }

// Where a fused instruction finds the integer of its push (bits 14-15 of its word).
struct IntegerPush {
    int64_t value;
    uint32_t kind;  // kValueInField, kValueInOperand or kValueInConstant
    int32_t field;  // the value itself when it fits bits 16-31, else 0
};

std::optional<IntegerPush> PushedInteger(const uint32_t* code, const Instruction& in, const std::vector<Value>& constants) {
    switch (in.op) {
    case Op::PUSH0: return IntegerPush{0, kValueInField, 0};
    case Op::PUSH1: return IntegerPush{1, kValueInField, 1};
    case Op::PUSH2: return IntegerPush{2, kValueInField, 2};
    case Op::PUSH3: return IntegerPush{3, kValueInField, 3};
    case Op::PUSHINT: {
        const auto v = static_cast<int32_t>(code[in.slot + 1]);
        if (FitsField(v)) return IntegerPush{v, kValueInField, v};
        return IntegerPush{v, kValueInOperand, 0};
    }
    case Op::PUSHCONST: {
        const uint32_t index = code[in.slot + 1];
        if (index >= constants.size() || !constants[index].Is(Tag::Integer)) return std::nullopt;
        const int64_t v = constants[index].AsInteger();
        if (FitsField(v)) return IntegerPush{v, kValueInField, static_cast<int32_t>(v)};
        return IntegerPush{v, kValueInConstant, 0};
    }
    default: return std::nullopt;
    }
}

// A push whose value a fused instruction can take as its right side: any integer push, or a
// pooled Number (kValueInConstant; its value is read from the pool when the instruction runs).
std::optional<IntegerPush> PushedNumeric(const uint32_t* code, const Instruction& in, const std::vector<Value>& constants) {
    if (std::optional<IntegerPush> integer = PushedInteger(code, in, constants)) return integer;
    if (in.op == Op::PUSHCONST) {
        const uint32_t index = code[in.slot + 1];
        if (index < constants.size() && constants[index].Is(Tag::Number)) return IntegerPush{0, kValueInConstant, 0};
    }
    return std::nullopt;
}

// The fused compare-and-jump of a relation, for both shapes; none for other instructions.
std::optional<Fused> CompareJump(Op relation, bool withValue) {
    switch (relation) {
    case Op::LT: return withValue ? Fused::VJLT : Fused::JLT;
    case Op::GT: return withValue ? Fused::VJGT : Fused::JGT;
    case Op::LE: return withValue ? Fused::VJLE : Fused::JLE;
    case Op::GE: return withValue ? Fused::VJGE : Fused::JGE;
    case Op::EQ: return withValue ? Fused::VJEQ : Fused::JEQ;
    case Op::NE: return withValue ? Fused::VJNE : Fused::JNE;
    case Op::STRICTEQ: return withValue ? Fused::VJSEQ : Fused::JSEQ;
    case Op::STRICTNE: return withValue ? Fused::VJSNE : Fused::JSNE;
    default: return std::nullopt;
    }
}

// The fused comparison of TOS with a pushed constant, then a jump.
std::optional<Fused> ConstantCompareJump(Op relation) {
    switch (relation) {
    case Op::LT: return Fused::KJLT;
    case Op::GT: return Fused::KJGT;
    case Op::LE: return Fused::KJLE;
    case Op::GE: return Fused::KJGE;
    case Op::EQ: return Fused::KJEQ;
    case Op::NE: return Fused::KJNE;
    case Op::STRICTEQ: return Fused::KJSEQ;
    case Op::STRICTNE: return Fused::KJSNE;
    default: return std::nullopt;
    }
}

// 1 for a jump taken when TOS is true, 0 when taken on false; none for other instructions. A
// relation leaves a Boolean, for which the integer and the converting jumps agree.
std::optional<uint32_t> JumpSense(Op op) {
    if (op == Op::JNZI || op == Op::JT) return 1;
    if (op == Op::JZI || op == Op::JF) return 0;
    return std::nullopt;
}

bool IsVariableRead(Op op) { return op == Op::GETLOCAL || op == Op::GETARG; }

// The fused word for the sequence starting at instruction k, or none.
std::optional<uint32_t> Match(const uint32_t* code, const std::vector<Instruction>& ins, size_t k,
                              const std::vector<Value>& constants) {
    const auto at = [&](size_t i) { return i < ins.size() ? ins[i].op : Op::END; };
    const Instruction& first = ins[k];
    const auto slotsFrom = [&](size_t i) { return ins[i].slot - first.slot; };

    // The prologue of a function with parameters: the count (argument slot 1) plus two, ARGFIX.
    if (first.op == Op::GETARG && code[first.slot + 1] == 1 && at(k + 1) == Op::ADDI2 && at(k + 2) == Op::ARGFIX)
        return static_cast<uint32_t>(Fused::PROLOGUE);
    if (first.op == Op::GETGLOBAL && at(k + 1) == Op::CALL) return static_cast<uint32_t>(Fused::CALLGLOBAL);
    if (IsVariableRead(first.op)) {
        const uint32_t isArg = first.op == Op::GETARG ? 2 : 0;
        if (k + 3 < ins.size()) {
            if (const std::optional<IntegerPush> v = PushedInteger(code, ins[k + 1], constants)) {
                const uint32_t where = v->kind << 6;  // bits 14-15
                // n = n + v, n = n - v: the read and the store name the same variable.
                const Op store = first.op == Op::GETARG ? Op::SETARG : Op::SETLOCAL;
                if ((at(k + 2) == Op::ADD || at(k + 2) == Op::SUB) && at(k + 3) == store &&
                    code[ins[k + 3].slot + 1] == code[first.slot + 1]) {
                    const uint32_t subtract = at(k + 2) == Op::SUB ? 1 : 0;
                    return Fields(Fused::ADDTO, subtract | isArg | where, slotsFrom(k + 3) + 2, v->field);
                }
                const std::optional<Fused> fused = CompareJump(at(k + 2), true);
                const std::optional<uint32_t> sense = JumpSense(at(k + 3));
                if (fused && sense) return Fields(*fused, *sense | isArg | where, slotsFrom(k + 3), v->field);
            }
        }
        if (k + 2 < ins.size()) {
            if (const std::optional<IntegerPush> v = PushedInteger(code, ins[k + 1], constants)) {
                const uint32_t where = v->kind << 6;
                const uint32_t length = slotsFrom(k + 2) + 1;
                switch (at(k + 2)) {
                case Op::ADD: return Fields(Fused::VKADD, isArg | where, length, v->field);
                case Op::SUB: return Fields(Fused::VKSUB, isArg | where, length, v->field);
                case Op::MUL: return Fields(Fused::VKMUL, isArg | where, length, v->field);
                case Op::BITAND: return Fields(Fused::VKAND, isArg | where, length, v->field);
                case Op::SHR:
                    if (v->value >= 0 && v->value <= 63) return Fields(Fused::VKSHR, isArg | where, length, v->field);
                    break;
                default: break;
                }
            }
        }
        if (first.op == Op::GETLOCAL && at(k + 1) == Op::GETLOCAL) return static_cast<uint32_t>(Fused::GETLOCAL2);
        if (first.op == Op::GETLOCAL) {
            switch (at(k + 1)) {
            case Op::ADD: return static_cast<uint32_t>(Fused::LADD);
            case Op::SUB: return static_cast<uint32_t>(Fused::LSUB);
            case Op::MUL: return static_cast<uint32_t>(Fused::LMUL);
            case Op::DIV: return static_cast<uint32_t>(Fused::LDIV);
            default: break;
            }
        }
        return std::nullopt;
    }
    if (first.op == Op::SETLOCAL && at(k + 1) == Op::GETLOCAL && code[ins[k + 1].slot + 1] == code[first.slot + 1])
        return static_cast<uint32_t>(Fused::SETGETLOCAL);
    if (at(k + 1) == Op::SETLOCAL) {
        switch (first.op) {
        case Op::ADD: return static_cast<uint32_t>(Fused::ADDSET);
        case Op::SUB: return static_cast<uint32_t>(Fused::SUBSET);
        case Op::MUL: return static_cast<uint32_t>(Fused::MULSET);
        default: break;
        }
    }
    if (const std::optional<Fused> fused = CompareJump(first.op, false)) {
        if (const std::optional<uint32_t> sense = JumpSense(at(k + 1))) return Fields(*fused, *sense, 0, 0);
        return std::nullopt;
    }
    if (const std::optional<IntegerPush> v = PushedNumeric(code, first, constants)) {
        if (k + 1 >= ins.size()) return std::nullopt;
        const uint32_t length = slotsFrom(k + 1) + 1;
        const uint32_t where = v->kind << 6;
        const bool integer = v->kind != kValueInConstant || constants[code[first.slot + 1]].Is(Tag::Integer);
        if (k + 2 < ins.size()) {
            const std::optional<Fused> fused = ConstantCompareJump(at(k + 1));
            const std::optional<uint32_t> sense = JumpSense(at(k + 2));
            if (fused && sense) return Fields(*fused, *sense | where, slotsFrom(k + 2), v->field);
        }
        switch (at(k + 1)) {
        case Op::ADD: return Fields(Fused::KADD, where, length, v->field);
        case Op::SUB: return Fields(Fused::KSUB, where, length, v->field);
        case Op::MUL: return Fields(Fused::KMUL, where, length, v->field);
        case Op::DIV: return Fields(Fused::KDIV, where, length, v->field);
        // A zero divisor gives NaN and -1 is a case of its own: those stay with MOD itself.
        case Op::MOD:
            if (!integer || v->value == 0 || v->value == -1) return std::nullopt;
            return Fields(Fused::KMOD, where, length, v->field);
        case Op::BITAND:
            if (!integer) return std::nullopt;
            return Fields(Fused::KAND, where, length, v->field);
        // Counts from 0 to 63 shift; the rest have rules of their own.
        case Op::SHR:
            if (!integer || v->value < 0 || v->value > 63) return std::nullopt;
            return Fields(Fused::KSHR, where, length, v->field);
        default: return std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace

void Quicken(uint32_t* code, uint32_t words, const std::vector<Value>& constants) {
    std::vector<Instruction> ins;
    for (uint32_t slot = 0; slot < words;) {
        const auto op = static_cast<Op>(code[slot]);
        ins.push_back({slot, op});
        slot += DescribeOpcode(static_cast<int>(op)).operand == OperandClass::None ? 1 : 2;
    }
    // Matching reads the instructions as the module has them (`ins`), so sequences may overlap:
    // a jump to the second instruction of a fused sequence finds a fused sequence there too.
    for (size_t k = 0; k < ins.size(); ++k)
        if (const std::optional<uint32_t> word = Match(code, ins, k, constants)) code[ins[k].slot] = *word;
}

}  // namespace velmo::script
