#include "script/runtime/internal/quicken.h"

#include <algorithm>
#include <iterator>
#include <optional>

namespace velmo::script {

namespace {

struct Instruction {
    uint32_t slot;  // where its opcode word is
    Op op;          // as the module has it, before any marking
};

// The fields must not spill into each other, a negative value least of all.
constexpr uint32_t kFullFusedWord =
    FusedWord::Pack(Fused::KADD, 0, 15, {FusedWord::kValueInConstant, FusedWord::kFieldMin});
static_assert(FusedWord::Field(kFullFusedWord) == FusedWord::kFieldMin &&
              FusedWord::DistanceSlots(kFullFusedWord) == 15 &&
              FusedWord::ValueIn(kFullFusedWord) == FusedWord::kValueInConstant &&
              !FusedWord::IsArgument(kFullFusedWord) && !FusedWord::KeepsResult(kFullFusedWord) &&
              (kFullFusedWord & kOpcodeBits) == static_cast<uint32_t>(Fused::KADD));

bool FitsField(int64_t v) { return v >= FusedWord::kFieldMin && v <= FusedWord::kFieldMax; }

// A push a fused instruction takes its integer from, and where the instruction finds it.
struct IntegerPush {
    int64_t value;
    FusedWord::Pushed place;
};

constexpr uint32_t kInField = FusedWord::kValueInField;
constexpr uint32_t kInOperand = FusedWord::kValueInOperand;
constexpr uint32_t kInConstant = FusedWord::kValueInConstant;

std::optional<IntegerPush> PushedInteger(const uint32_t* code, const Instruction& in,
                                         const std::vector<Value>& constants) {
    switch (in.op) {
        case Op::PUSH0: return IntegerPush{0, {kInField, 0}};
        case Op::PUSH1: return IntegerPush{1, {kInField, 1}};
        case Op::PUSH2: return IntegerPush{2, {kInField, 2}};
        case Op::PUSH3: return IntegerPush{3, {kInField, 3}};
        case Op::PUSHINT: {
            const auto v = static_cast<int32_t>(code[in.slot + 1]);
            if (FitsField(v)) return IntegerPush{v, {kInField, v}};
            return IntegerPush{v, {kInOperand, 0}};
        }
        case Op::PUSHCONST: {
            const uint32_t index = code[in.slot + 1];
            if (index >= constants.size() || !constants[index].Is(Tag::Integer)) return std::nullopt;
            const int64_t v = constants[index].AsInteger();
            if (FitsField(v)) return IntegerPush{v, {kInField, static_cast<int32_t>(v)}};
            return IntegerPush{v, {kInConstant, 0}};
        }
        default: return std::nullopt;
    }
}

// A push whose value a fused instruction can take as its right side: any integer push, or a
// pooled Number (kInConstant; its value is read from the pool when the instruction runs).
std::optional<IntegerPush> PushedNumeric(const uint32_t* code, const Instruction& in,
                                         const std::vector<Value>& constants) {
    if (std::optional<IntegerPush> integer = PushedInteger(code, in, constants)) return integer;
    if (in.op == Op::PUSHCONST) {
        const uint32_t index = code[in.slot + 1];
        if (index < constants.size() && constants[index].Is(Tag::Number)) return IntegerPush{0, {kInConstant, 0}};
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

// The fused comparison of two variables, then a jump.
std::optional<Fused> VariablesCompareJump(Op relation) {
    switch (relation) {
        case Op::LT: return Fused::VVJLT;
        case Op::GT: return Fused::VVJGT;
        case Op::LE: return Fused::VVJLE;
        case Op::GE: return Fused::VVJGE;
        case Op::EQ: return Fused::VVJEQ;
        case Op::NE: return Fused::VVJNE;
        case Op::STRICTEQ: return Fused::VVJSEQ;
        case Op::STRICTNE: return Fused::VVJSNE;
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

// kJumpsWhenTrue for a jump taken when TOS is true, 0 when taken on false; none for other
// instructions. A relation leaves a Boolean, for which the integer and the converting jumps agree.
std::optional<uint32_t> JumpSense(Op op) {
    if (op == Op::JNZI || op == Op::JT) return FusedWord::kJumpsWhenTrue;
    if (op == Op::JZI || op == Op::JF) return 0;
    return std::nullopt;
}

bool IsVariableRead(Op op) { return op == Op::GETLOCAL || op == Op::GETARG; }

std::optional<uint32_t> Match(const uint32_t* code, const std::vector<Instruction>& ins, size_t k,
                              const std::vector<Value>& constants, std::vector<Divisor>& divisors);

// The relation of a fused test FORLOOP can decide on two integers: a variable against a value in
// the word (VJ*) or against a second variable (VVJ*). Both families list their relations in the
// order of fused_ops.def; strict and loose equality agree on two integers.
std::optional<FusedWord::LoopRelation> LoopTest(uint32_t testWord, bool& limitInVariable) {
    using R = FusedWord::LoopRelation;
    static constexpr R kRelations[] = {R::LT, R::GT, R::LE, R::GE, R::EQ, R::NE, R::EQ, R::NE};
    const auto op = static_cast<uint32_t>(testWord & kOpcodeBits);
    const auto within = [op](Fused first) {
        return op >= static_cast<uint32_t>(first) && op < static_cast<uint32_t>(first) + std::size(kRelations);
    };
    limitInVariable = within(Fused::VVJLT);
    if (limitInVariable) return kRelations[op - static_cast<uint32_t>(Fused::VVJLT)];
    if (within(Fused::VJLT) && FusedWord::ValueIn(testWord) == FusedWord::kValueInField)
        return kRelations[op - static_cast<uint32_t>(Fused::VJLT)];
    return std::nullopt;
}
static_assert(static_cast<uint32_t>(Fused::VJSNE) - static_cast<uint32_t>(Fused::VJLT) == 7 &&
              static_cast<uint32_t>(Fused::VJGT) == static_cast<uint32_t>(Fused::VJLT) + 1 &&
              static_cast<uint32_t>(Fused::VVJSNE) - static_cast<uint32_t>(Fused::VVJLT) == 7 &&
              static_cast<uint32_t>(Fused::VVJGT) == static_cast<uint32_t>(Fused::VVJLT) + 1);

// `n = n + step; JMP back` onto the loop's own test of the same local: the step of a counted
// loop. Three dispatches (the step, the jump, the test) become one.
std::optional<uint32_t> MatchCountedLoop(const uint32_t* code, const std::vector<Instruction>& ins, size_t k,
                                         const std::vector<Value>& constants, std::vector<Divisor>& divisors) {
    const auto at = [&](size_t i) { return i < ins.size() ? ins[i].op : Op::END; };
    const Instruction& first = ins[k];
    if (first.op != Op::GETLOCAL || (at(k + 2) != Op::ADD && at(k + 2) != Op::SUB) || at(k + 3) != Op::SETLOCAL ||
        at(k + 4) != Op::JMP)
        return std::nullopt;
    const uint32_t local = code[first.slot + 1];
    if (code[ins[k + 3].slot + 1] != local) return std::nullopt;
    const std::optional<IntegerPush> push = PushedInteger(code, ins[k + 1], constants);
    if (!push || push->place.in != kInField) return std::nullopt;
    const int64_t step = at(k + 2) == Op::SUB ? -push->value : push->value;
    if (!FitsField(step)) return std::nullopt;
    // The jump goes back to an instruction whose fused test reads the same local first.
    const uint32_t jumpOperand = ins[k + 4].slot + 1;
    const int64_t target = int64_t{jumpOperand} + 1 + static_cast<int32_t>(code[jumpOperand]);
    if (target >= int64_t{first.slot}) return std::nullopt;
    const auto found = std::lower_bound(ins.begin(), ins.begin() + static_cast<std::ptrdiff_t>(k), target,
                                        [](const Instruction& in, int64_t slot) { return int64_t{in.slot} < slot; });
    if (found == ins.begin() + static_cast<std::ptrdiff_t>(k) || int64_t{found->slot} != target) return std::nullopt;
    const size_t t = static_cast<size_t>(found - ins.begin());
    if (found->op != Op::GETLOCAL || code[found->slot + 1] != local) return std::nullopt;
    const std::optional<uint32_t> testWord = Match(code, ins, t, constants, divisors);
    if (!testWord) return std::nullopt;
    bool limitInVariable = false;
    const std::optional<FusedWord::LoopRelation> relation = LoopTest(*testWord, limitInVariable);
    if (!relation) return std::nullopt;
    const uint32_t flags =
        (*testWord & FusedWord::kJumpsWhenTrue) | (limitInVariable ? FusedWord::kLimitInVariable : 0);
    return FusedWord::PackLoop(flags, jumpOperand - (first.slot + 1), *relation, static_cast<int32_t>(step));
}

// The place of `value` among the divisors with reciprocals, added when new; none for values
// outside 2 to 2^32 - 1 or when the word's field could not name another place.
std::optional<int32_t> DivisorIndex(int64_t value, std::vector<Divisor>& divisors) {
    if (value < 2 || value > int64_t{UINT32_MAX}) return std::nullopt;
    for (size_t i = 0; i < divisors.size(); ++i)
        if (divisors[i].divisor == static_cast<uint64_t>(value)) return static_cast<int32_t>(i);
    if (divisors.size() > static_cast<size_t>(FusedWord::kFieldMax)) return std::nullopt;
    divisors.push_back(Divisor::Of(static_cast<uint64_t>(value)));
    return static_cast<int32_t>(divisors.size() - 1);
}

// The fused word for the sequence starting at instruction k, or none.
std::optional<uint32_t> Match(const uint32_t* code, const std::vector<Instruction>& ins, size_t k,
                              const std::vector<Value>& constants, std::vector<Divisor>& divisors) {
    const auto at = [&](size_t i) { return i < ins.size() ? ins[i].op : Op::END; };
    const Instruction& first = ins[k];
    const auto slotsFrom = [&](size_t i) { return ins[i].slot - first.slot; };
    // The conditional jump the relation at `r` feeds: the next instruction, or the one after DUP
    // when POP follows it (the left side of `&&` and `||`). Its sense and flags, and its index.
    struct FedJump {
        uint32_t flags;
        size_t index;
    };
    const auto jumpAfter = [&](size_t r) -> std::optional<FedJump> {
        if (const std::optional<uint32_t> sense = JumpSense(at(r + 1))) return FedJump{*sense, r + 1};
        if (at(r + 1) == Op::DUP && at(r + 3) == Op::POP)
            if (const std::optional<uint32_t> sense = JumpSense(at(r + 2)))
                return FedJump{*sense | FusedWord::kKeepsResult, r + 2};
        return std::nullopt;
    };

    // The prologue of a function with parameters: the count (argument slot 1) plus two, ARGFIX.
    if (first.op == Op::GETARG && code[first.slot + 1] == 1 && at(k + 1) == Op::ADDI2 && at(k + 2) == Op::ARGFIX)
        return static_cast<uint32_t>(Fused::PROLOGUE);
    if (first.op == Op::GETGLOBAL && at(k + 1) == Op::CALL) return static_cast<uint32_t>(Fused::CALLGLOBAL);
    if (const std::optional<uint32_t> loop = MatchCountedLoop(code, ins, k, constants, divisors)) return loop;
    if (IsVariableRead(first.op)) {
        const uint32_t isArg = first.op == Op::GETARG ? FusedWord::kArgument : 0;
        if (k + 3 < ins.size()) {
            if (const std::optional<IntegerPush> v = PushedInteger(code, ins[k + 1], constants)) {
                // n = n + v, n = n - v: the read and the store name the same variable.
                const Op store = first.op == Op::GETARG ? Op::SETARG : Op::SETLOCAL;
                if ((at(k + 2) == Op::ADD || at(k + 2) == Op::SUB) && at(k + 3) == store &&
                    code[ins[k + 3].slot + 1] == code[first.slot + 1]) {
                    const uint32_t subtract = at(k + 2) == Op::SUB ? FusedWord::kSubtracts : 0;
                    return FusedWord::Pack(Fused::ADDTO, subtract | isArg, slotsFrom(k + 3) + 2, v->place);
                }
                const std::optional<Fused> fused = CompareJump(at(k + 2), true);
                const std::optional<FedJump> jump = jumpAfter(k + 2);
                if (fused && jump)
                    return FusedWord::Pack(*fused, jump->flags | isArg, slotsFrom(jump->index), v->place);
            }
        }
        if (k + 2 < ins.size()) {
            if (const std::optional<IntegerPush> v = PushedInteger(code, ins[k + 1], constants)) {
                const uint32_t length = slotsFrom(k + 2) + 1;
                // `s + (j & 15)`: the result is added to the value below it by an ADD that follows;
                // `k = k >> 1`: it goes back into the variable (ADDTO does that for + and -).
                const Op store = first.op == Op::GETARG ? Op::SETARG : Op::SETLOCAL;
                const bool back = at(k + 3) == store && code[ins[k + 3].slot + 1] == code[first.slot + 1];
                const uint32_t flags = isArg | (at(k + 3) == Op::ADD ? FusedWord::kThenAdds : 0);
                const uint32_t storing = flags | (back ? FusedWord::kStoresBack : 0);
                switch (at(k + 2)) {
                    case Op::ADD: return FusedWord::Pack(Fused::VKADD, flags, length, v->place);
                    case Op::SUB: return FusedWord::Pack(Fused::VKSUB, flags, length, v->place);
                    case Op::MUL: return FusedWord::Pack(Fused::VKMUL, storing, length, v->place);
                    case Op::BITAND: return FusedWord::Pack(Fused::VKAND, storing, length, v->place);
                    case Op::SHR:
                        if (v->value >= 0 && v->value <= 63)
                            return FusedWord::Pack(Fused::VKSHR, storing, length, v->place);
                        break;
                    default: break;
                }
            }
        }
        // s + a * b with both factors in variables: polynomials, dot products of locals.
        if (IsVariableRead(at(k + 1)) && at(k + 2) == Op::MUL && at(k + 3) == Op::ADD) {
            const uint32_t secondIsArg = at(k + 1) == Op::GETARG ? FusedWord::kSecondArgument : 0;
            const uint32_t stores = at(k + 4) == Op::SETLOCAL ? FusedWord::kStores : 0;
            return FusedWord::Pack(Fused::VVMULADD, isArg | secondIsArg | stores);
        }
        if (at(k + 1) == Op::GETELEM) return FusedWord::Pack(Fused::VGETELEM, isArg);
        if (IsVariableRead(at(k + 1)) && at(k + 2) == Op::GETELEM) {
            const uint32_t secondIsArg = at(k + 1) == Op::GETARG ? FusedWord::kSecondArgument : 0;
            return FusedWord::Pack(Fused::VVGETELEM, isArg | secondIsArg);
        }
        // i < n with both in variables: the test of most counted loops.
        if (k + 3 < ins.size() && IsVariableRead(at(k + 1))) {
            const std::optional<Fused> fused = VariablesCompareJump(at(k + 2));
            const std::optional<FedJump> jump = jumpAfter(k + 2);
            const uint32_t secondIsArg = at(k + 1) == Op::GETARG ? FusedWord::kSecondArgument : 0;
            if (fused && jump)
                return FusedWord::Pack(*fused, jump->flags | isArg | secondIsArg, slotsFrom(jump->index));
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
    // x + y * z, the step of every dot product and running sum.
    if (first.op == Op::MUL && at(k + 1) == Op::ADD)
        return FusedWord::Pack(Fused::MULADD, at(k + 2) == Op::SETLOCAL ? FusedWord::kStores : 0);
    if (at(k + 1) == Op::SETLOCAL) {
        switch (first.op) {
            case Op::ADD: return static_cast<uint32_t>(Fused::ADDSET);
            case Op::SUB: return static_cast<uint32_t>(Fused::SUBSET);
            case Op::MUL: return static_cast<uint32_t>(Fused::MULSET);
            default: break;
        }
    }
    if (const std::optional<Fused> fused = CompareJump(first.op, false)) {
        if (const std::optional<FedJump> jump = jumpAfter(k))
            return FusedWord::Pack(*fused, jump->flags, slotsFrom(jump->index));
        return std::nullopt;
    }
    if (const std::optional<IntegerPush> v = PushedNumeric(code, first, constants)) {
        if (k + 1 >= ins.size()) return std::nullopt;
        const uint32_t length = slotsFrom(k + 1) + 1;
        const bool integer = v->place.in != kInConstant || constants[code[first.slot + 1]].Is(Tag::Integer);
        if (k + 2 < ins.size()) {
            const std::optional<Fused> fused = ConstantCompareJump(at(k + 1));
            const std::optional<FedJump> jump = jumpAfter(k + 1);
            if (fused && jump) return FusedWord::Pack(*fused, jump->flags, slotsFrom(jump->index), v->place);
        }
        // (x & mask) == 0 or != 0, then a jump: a bit test.
        if (v->place.in == kInField && integer && at(k + 1) == Op::BITAND && at(k + 2) == Op::PUSH0) {
            const Op relation = at(k + 3);
            const bool equal = relation == Op::EQ || relation == Op::STRICTEQ;
            const bool notEqual = relation == Op::NE || relation == Op::STRICTNE;
            const std::optional<FedJump> jump = (equal || notEqual) ? jumpAfter(k + 3) : std::nullopt;
            if (jump && !(jump->flags & FusedWord::kKeepsResult))
                return FusedWord::Pack(Fused::KANDJ, jump->flags | (notEqual ? FusedWord::kNotEqual : 0),
                                       slotsFrom(jump->index), v->place);
        }
        switch (at(k + 1)) {
            case Op::ADD: return FusedWord::Pack(Fused::KADD, 0, length, v->place);
            case Op::SUB: return FusedWord::Pack(Fused::KSUB, 0, length, v->place);
            case Op::MUL: return FusedWord::Pack(Fused::KMUL, 0, length, v->place);
            case Op::DIV: return FusedWord::Pack(Fused::KDIV, 0, length, v->place);
            // A zero divisor gives NaN and -1 is a case of its own: those stay with MOD itself.
            case Op::MOD:
                if (!integer || v->value == 0 || v->value == -1) return std::nullopt;
                if (const std::optional<int32_t> index = DivisorIndex(v->value, divisors))
                    return FusedWord::Pack(Fused::KMOD, FusedWord::kReciprocal, length, {kInField, *index});
                return FusedWord::Pack(Fused::KMOD, 0, length, v->place);
            case Op::BITAND:
                if (!integer) return std::nullopt;
                return FusedWord::Pack(Fused::KAND, 0, length, v->place);
            // Counts from 0 to 63 shift; the rest have rules of their own.
            case Op::SHR:
                if (!integer || v->value < 0 || v->value > 63) return std::nullopt;
                return FusedWord::Pack(Fused::KSHR, 0, length, v->place);
            default: return std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace

void Quicken(uint32_t* code, uint32_t words, const std::vector<Value>& constants, std::vector<Divisor>& divisors) {
    std::vector<Instruction> ins;
    for (uint32_t slot = 0; slot < words;) {
        const auto op = static_cast<Op>(code[slot]);
        ins.push_back({slot, op});
        slot += DescribeOpcode(static_cast<int>(op)).operand == OperandClass::None ? 1 : 2;
    }
    // Matching reads the instructions as the module has them (`ins`), so sequences may overlap:
    // a jump to the second instruction of a fused sequence finds a fused sequence there too.
    for (size_t k = 0; k < ins.size(); ++k)
        if (const std::optional<uint32_t> word = Match(code, ins, k, constants, divisors)) code[ins[k].slot] = *word;
}

}  // namespace velmo::script
