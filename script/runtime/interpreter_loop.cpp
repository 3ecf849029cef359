// The dispatch loop. pc, sp and fp live in locals while the loop runs; SAVE() writes sp and pc
// back before anything that can raise, collect or run other code (the collector marks the stack
// from the saved sp), and nothing that runs meanwhile moves cells at or above it. Every stack
// access is checked against the live stack, so a verified module with unbalanced code raises an
// error instead of reading dead cells or leaving the stack.
#include <algorithm>
#include <initializer_list>
#include <bit>
#include <cstring>
#include <string>
#include <thread>

#include "platform/text.h"
#include "script/runtime/internal/arithmetic.h"
#include "script/runtime/convert.h"
#include "script/runtime/errors.h"
#include "script/runtime/internal/frame_entry.h"
#include "script/runtime/internal/interpreter.h"
#include "script/runtime/internal/interpreter_ops.h"
#include "script/runtime/objects.h"
#include "script/runtime/opcodes.h"
#include "script/runtime/properties.h"
#include "script/runtime/internal/quicken.h"
#include "script/runtime/strings.h"

namespace velmo::script {

namespace {

// The table of the computed-goto dispatch is indexed by opcode - kFirstOpcode, so the list must
// run without gaps.
constexpr bool OpcodesAreContiguous() {
    int expected = kFirstOpcode;
// clang-format off
#define VELMO_OPCODE(number, name, operand, effect, meaning) \
    if ((number) != expected++) return false;
#include "script/runtime/opcodes.def"
#undef VELMO_OPCODE
    // clang-format on
    return expected == kLastOpcode + 1;
}
static_assert(OpcodesAreContiguous());

inline void StoreInteger(Value* cell, int64_t i) { StoreCell(cell, Tag::Integer, static_cast<uint64_t>(i)); }
inline void StoreBoolean(Value* cell, bool b) { StoreCell(cell, Tag::Boolean, b ? 1 : 0); }
inline void StoreNumber(Value* cell, double d) {
    if (d == d) StoreCell(cell, Tag::Number, std::bit_cast<uint64_t>(d));
    else StoreCell(cell, Tag::NaN, 0);
}

// A relational operator: false whenever either side is NaN.
template <class Predicate>
Value Relation(Interpreter& interp, const Value& a, const Value& b, Predicate predicate) {
    const std::optional<int> order = Compare(interp, a, b);
    return Value::Boolean(order && predicate(*order));
}

// ADDI1 and ADDI2 count in integer payloads; on a reference they would forge a pointer.
bool AddToInteger(Value& v, int64_t n) {
    if (v.tag != Tag::Integer && v.tag != Tag::Boolean && v.tag != Tag::Undefined && v.tag != Tag::Null) return false;
    v.payload.i = static_cast<int64_t>(static_cast<uint64_t>(v.payload.i) + static_cast<uint64_t>(n));
    return true;
}

// An array literal passes its element count negated, so that `[5]` is not taken for a length.
// Only the Array class reads that sign; every other constructor gets the plain count. A count
// beyond the live stack is malformed code, as with any other count.
Value* ConstructArgs(Interpreter& interp, const Value& callee, Value* args) {
    if (!args[0].Is(Tag::Integer) || args[0].AsInteger() >= 0) return args;
    const int64_t available = &interp.Stack().back() - args;
    if (args[0].AsInteger() < -available) RaiseError(interp, Msg::UnimplementedBytecode);
    ClassRecord* cls = callee.Is(Tag::HostObject) ? callee.AsHost()->cls : interp.TypeClass(callee.tag);
    if (!cls || cls != interp.TypeClass(Tag::Array)) args[0] = Value::Integer(-args[0].AsInteger());
    return args;
}

// The own slot of `object` named `nameId`, remembered in the upper 24 bits of the property
// instruction's opcode word (`word`; 0 when nothing is remembered, else position + 1): a site
// mostly sees objects of one layout, so one comparison finds the slot. A miss scans small objects
// and remembers what it found; larger ones and inherited properties take the general path.
inline Slot* CachedOwnSlot(ObjectRecord* object, uint32_t nameId, uint32_t* word) {
    constexpr uint32_t kScanLimit = 16;
    const uint32_t cached = *word >> 8;
    if (cached && cached <= object->slotCount && object->slots[cached - 1].name == nameId)
        return &object->slots[cached - 1];
    if (object->slotCount > kScanLimit) return nullptr;
    for (uint32_t i = 0; i < object->slotCount; ++i) {
        if (object->slots[i].name != nameId) continue;
        *word = (*word & kOpcodeBits) | (i + 1) << 8;
        return &object->slots[i];
    }
    return nullptr;
}

#if defined(__GNUC__)
// The computed-goto table: entry k is the handler of opcode word low byte k.
struct DispatchTable {
    const void* entries[kOpcodeBits + 1];
};
// `handlers` lists the labels of the opcodes from kFirstOpcode on, without gaps.
DispatchTable MakeDispatchTable(std::initializer_list<const void*> handlers, const void* otherwise) {
    DispatchTable table;
    for (const void*& entry : table.entries) entry = otherwise;
    size_t opcode = kFirstOpcode;
    for (const void* handler : handlers) table.entries[opcode++] = handler;
    return table;
}
static_assert(kLastFusedOpcode <= static_cast<int>(kOpcodeBits));
#endif

}  // namespace

// Runs from `pc` in the innermost frame until the activation's first frame returns or END.
Value Interpreter::Loop(size_t entryDepth, size_t recoveryBase, const uint32_t* pc) {
    Value* const stack = stack_.data();
    Value* const top = stack + stack_.size();
    Value* sp = stack + sp_;
    Value* fp = stack + frames_.back().fp;
    uint32_t operand = 0;

#define SAVE() (sp_ = static_cast<size_t>(sp - stack), savedPc_ = pc)
#define RELOAD() (sp = stack + sp_, fp = stack + frames_.back().fp)
#define NEED(n)                                                                     \
    do {                                                                            \
        if (static_cast<size_t>(top - sp) < static_cast<size_t>(n)) goto malformed; \
    } while (0)
#define PUSH(v)                         \
    do {                                \
        if (sp == stack) goto overflow; \
        *--sp = (v);                    \
    } while (0)
#define OPERAND() (operand = *pc++)
#define SIGNED() static_cast<int32_t>(operand)
#define LIVE(cell) ((cell) >= sp && (cell) < top)
#define ARG(n) (fp + (n) + 1)
#define LOCAL(n) (fp - (n)-4)
#define SAFEPOINT()                           \
    do {                                      \
        if (heap_.ShouldCollect() || hook_) { \
            SAVE();                           \
            SafePoint();                      \
        }                                     \
    } while (0)
// The allocation safe point. Garbage piles up without any of the listed safe points in loops of
// local stores and in long straight-line code (`s = s + "..."` twenty thousand times), so the loop
// also collects when the heap's bytes in use have reached its mark: at each backward jump and right
// after each out-of-line call that may allocate (Execute does the same after landing a caught
// error, whose message it allocated). Every byte the loop allocates is thus followed by a check.
// There the call's result is on the stack and no C++ local of the loop holds a record, so the
// stack, the frames, the globals and the pins root every live value, as at the listed safe points;
// code that called into the loop pins what it keeps, as it must for those. Fast paths pay nothing,
// and the hook is asked only at the listed safe points.
#define COLLECT_IF_DUE()             \
    do {                             \
        if (heap_.ShouldCollect()) { \
            SAVE();                  \
            Collect();               \
        }                            \
    } while (0)
// Every loop goes through a backward jump, so a stop request from outside ends even one that
// calls nothing (see SetInterruptFlag).
#define BREAK_IF_INTERRUPTED()                                                       \
    do {                                                                             \
        if (interrupt_) {                                                            \
            if (const int interrupt = interrupt_->load(std::memory_order_relaxed)) { \
                SAVE();                                                              \
                BreakOnInterrupt(interrupt);                                         \
            }                                                                        \
        }                                                                            \
    } while (0)
#define JUMP()                      \
    do {                            \
        pc += SIGNED();             \
        if (SIGNED() < 0) {         \
            COLLECT_IF_DUE();       \
            BREAK_IF_INTERRUPTED(); \
        }                           \
    } while (0)
#if defined(VELMO_FUZZ_STEP_LIMIT)
#define VELMO_COUNT_STEP()                                        \
    do {                                                          \
        if (++fuzzSteps_ > VELMO_FUZZ_STEP_LIMIT) goto malformed; \
    } while (0)
#else
#define VELMO_COUNT_STEP() ((void)0)
#endif

#if defined(__GNUC__)
    // One entry per value of an opcode word's low byte, so dispatch needs no range check: the
    // module's instructions, the fused ones the loader marks (quicken.h), and for every other
    // value the malformed-code exit.
    static const DispatchTable kTable = MakeDispatchTable(
        {
#define VELMO_OPCODE(number, name, operand, effect, meaning) &&op_##name,
#include "script/runtime/opcodes.def"
#undef VELMO_OPCODE
#define VELMO_FUSED(name, meaning) &&fused_##name,
#include "script/runtime/internal/fused_ops.def"
#undef VELMO_FUSED
        },
        &&not_an_instruction);
#define DISPATCH()                                 \
    do {                                           \
        VELMO_COUNT_STEP();                        \
        goto* kTable.entries[*pc++ & kOpcodeBits]; \
    } while (0)
#define CASE(name) op_##name:
#define NEXT() DISPATCH()
    DISPATCH();
#else
#define CASE(name) case Op::name:
#define NEXT() continue
    for (;;) {
        VELMO_COUNT_STEP();
        switch (static_cast<Op>(*pc++)) {
#endif

    // ---- Calls and returns ----
    CASE(CALL) {
        NEED(2);
        const Value callee = sp[0];
        sp[0] = Value::Null();
        if (callee.Is(Tag::Function)) {
            SAVE();
            EnterFrame(callee.AsFunction(), sp_, pc);
            RELOAD();
            pc = callee.AsFunction()->code->code;
            NEXT();
        }
        SAVE();
        Value result;
        if (!CallHost(callee, sp + 1, result)) script::Warn(*this, Msg::CallUndefinedFunction);
        PUSH(result);
        COLLECT_IF_DUE();
        NEXT();
    }
    CASE(CALLMETHOD) {
        OPERAND();
        NEED(2);
        SAVE();
        Value result;
        const MethodTarget target = ResolveMethod(*this, sp[0], operand, CheckedArgs(sp + 1), result);
        if (target.kind == MethodTarget::Kind::Function) {
            EnterFrame(target.function, sp_, pc);
            RELOAD();
            pc = target.function->code->code;
            NEXT();
        }
        if (target.kind == MethodTarget::Kind::None) script::Warn(*this, Msg::UnknownMethod, Names().Text(operand));
        PUSH(result);
        if (target.kind == MethodTarget::Kind::Handled) SAFEPOINT();
        else COLLECT_IF_DUE();
        NEXT();
    }
    CASE(CALLNAME) {
        OPERAND();
        NEED(2);
        SAVE();
        Value result;
        const MethodTarget target = CallThroughScopes(operand, sp, result);
        if (target.kind == MethodTarget::Kind::Function) {
            EnterFrame(target.function, sp_, pc);
            RELOAD();
            pc = target.function->code->code;
            NEXT();
        }
        PUSH(result);
        if (target.kind == MethodTarget::Kind::Handled) SAFEPOINT();
        else COLLECT_IF_DUE();
        NEXT();
    }
    CASE(NEW) {
        NEED(2);
        SAVE();
        Value made;
        Value* args = ConstructArgs(*this, sp[0], sp + 1);
        if (!args[0].Is(Tag::Integer) || args[0].AsInteger() >= 0) args = CheckedArgs(args);
        const MethodTarget target = PrepareConstruct(*this, sp[0], args, made);
        if (target.kind == MethodTarget::Kind::Function) {
            sp[0] = made;
            EnterFrame(target.function, sp_, pc);
            RELOAD();
            pc = target.function->code->code;
            NEXT();
        }
        if (target.kind == MethodTarget::Kind::Handled) sp[0] = made;
        PUSH(target.kind == MethodTarget::Kind::Handled ? Value::Undefined() : Value::Null());
        SAFEPOINT();
        NEXT();
    }
    CASE(RET) {
        NEED(1);
        if (frames_.size() == entryDepth) {
            SAVE();
            return sp[0];
        }
        SAVE();
        pc = Return(sp[0], recoveryBase);
        RELOAD();
        NEXT();
    }
    CASE(END) {
        SAVE();
        return sp < top ? sp[0] : Value::Undefined();
    }
    CASE(ARGFIX) {
        OPERAND();
        NEED(1);
        {
            // At least as many arguments as declared slots, on a well-formed frame: only the
            // call mark changes (FixArguments does the rest, and pads).
            Frame& frame = frames_.back();
            const int64_t count = sp[0].payload.i;
            const size_t above = stack_.size() - 1 - frame.fp;
            if (count >= SIGNED() && count >= 0 && static_cast<uint64_t>(count) <= above &&
                static_cast<size_t>(sp + 1 - stack) <= frame.fp) {
                ++sp;
                frame.fixedSlots = static_cast<uint32_t>(count);
                stack[frame.fp - 1] = CallMark(static_cast<uint64_t>(count), 0);
                NEXT();
            }
        }
        SAVE();
        FixArguments(sp[0].payload.i, SIGNED());
        RELOAD();
        NEXT();
    }
    CASE(RESERVE) {
        OPERAND();
        const int64_t n = std::max(SIGNED(), 0);
        if (sp - stack < n + static_cast<int64_t>(kStackReserveCells)) goto overflow;
        for (int64_t i = 0; i < n; ++i) *--sp = Value::Undefined();
        NEXT();
    }

    // ---- Exceptions and with-scopes ----
    CASE(THROW) {
        NEED(1);
        SAVE();
        if (recoveries_.size() > recoveryBase && recoveries_.back().isScript) {
            pc = Land(recoveryBase, sp[0]);
            RELOAD();
            NEXT();
        }
        Throw(sp[0]);
    }
    CASE(TRYENTER) {
        OPERAND();
        // The handler receives the exception in a cell of its own.
        if (sp == stack) goto overflow;
        const WithScopes* scopes = frames_.back().withScopes;
        recoveries_.push_back(
            Recovery{true, static_cast<size_t>(sp - stack), frames_.size(), pc + SIGNED(), scopes ? scopes->count : 0});
        NEXT();
    }
    CASE(TRYLEAVE) {
        OPERAND();
        for (int32_t n = SIGNED(); n > 0 && recoveries_.size() > recoveryBase; --n) recoveries_.pop_back();
        NEXT();
    }
    CASE(WITHENTER) {
        NEED(1);
        SAVE();
        ops::WithEnter(*this, frames_.back(), sp[0]);
        ++sp;
        COLLECT_IF_DUE();
        NEXT();
    }
    CASE(WITHLEAVE) {
        OPERAND();
        WithScopes* scopes = frames_.back().withScopes;
        if (scopes && SIGNED() > 0 && scopes->count >= operand) scopes->count -= operand;
        NEXT();
    }
    CASE(GETVARW) {
        OPERAND();
        SAVE();
        Value value;
        if (!ops::WithRead(*this, frames_.back().withScopes, operand, value)) value = ReadGlobal(operand);
        PUSH(value);
        COLLECT_IF_DUE();
        NEXT();
    }
    CASE(SETVARW) {
        OPERAND();
        NEED(1);
        SAVE();
        if (!ops::WithStore(*this, frames_.back().withScopes, operand, sp[0])) Global(operand) = sp[0];
        ++sp;
        NEXT();
    }
    CASE(DELNAMEW) {
        OPERAND();
        NEED(1);
        SAVE();
        ops::WithDelete(*this, frames_.back().withScopes, operand);
        sp[0] = Value::Undefined();
        COLLECT_IF_DUE();
        NEXT();
    }

    // ---- Variables ----
    CASE(GETLOCAL) {
        OPERAND();
        if (!LIVE(LOCAL(SIGNED()))) goto malformed;
        PUSH(*LOCAL(SIGNED()));
        NEXT();
    }
    CASE(SETLOCAL) {
        OPERAND();
        NEED(1);
        if (!LIVE(LOCAL(SIGNED()))) goto malformed;
        *LOCAL(SIGNED()) = *sp++;
        NEXT();
    }
    CASE(GETARG) {
        OPERAND();
        if (!LIVE(ARG(SIGNED()))) goto malformed;
        PUSH(*ARG(SIGNED()));
        NEXT();
    }
    CASE(SETARG) {
        OPERAND();
        NEED(1);
        if (!LIVE(ARG(SIGNED()))) goto malformed;
        *ARG(SIGNED()) = *sp++;
        NEXT();
    }
    CASE(GETARGI) {
        NEED(1);
        const int64_t i = sp[0].Is(Tag::Integer) ? sp[0].AsInteger() : -1;
        sp[0] = i >= 0 && i < top - fp - 1 && LIVE(ARG(i)) ? *ARG(i) : Value::Undefined();
        NEXT();
    }
    CASE(GETGLOBAL) {
        OPERAND();
        // A set global is read in place; an unset one may warn, and a new id grows the table.
        if (operand < globals_.size() && globals_[operand].tag != Tag::Undefined) {
            PUSH(globals_[operand]);
            NEXT();
        }
        SAVE();
        PUSH(ReadGlobal(operand));
        NEXT();
    }
    CASE(SETGLOBAL) {
        OPERAND();
        NEED(1);
        if (operand < globals_.size() && globals_[operand].tag != Tag::Undefined) {
            globals_[operand] = *sp++;
            NEXT();
        }
        Global(operand) = *sp++;
        NEXT();
    }
    CASE(DELGLOBAL) {
        OPERAND();
        NEED(1);
        SAVE();
        ops::Release(*this, Global(operand));
        sp[0] = Value::Undefined();
        NEXT();
    }
    CASE(DELLOCAL) {
        OPERAND();
        NEED(1);
        if (!LIVE(LOCAL(SIGNED()))) goto malformed;
        SAVE();
        ops::Release(*this, *LOCAL(SIGNED()));
        sp[0] = Value::Undefined();
        NEXT();
    }
    CASE(DELARG) {
        OPERAND();
        NEED(1);
        if (!LIVE(ARG(SIGNED()))) goto malformed;
        SAVE();
        ops::Release(*this, *ARG(SIGNED()));
        sp[0] = Value::Undefined();
        NEXT();
    }

    // ---- Properties and elements ----
    CASE(GETPROP) {
        OPERAND();
        NEED(1);
        if (sp[0].tag == Tag::Object) {
            if (const Slot* slot = CachedOwnSlot(sp[0].AsObject(), operand, const_cast<uint32_t*>(pc - 2))) {
                sp[0] = slot->value;
                NEXT();
            }
        }
        SAVE();
        Value value;
        if (!GetProperty(*this, sp[0], operand, value))
            script::Warn(*this, Msg::UndefinedProperty, Names().Text(operand));
        sp[0] = value;
        COLLECT_IF_DUE();
        NEXT();
    }
    CASE(SETPROP) {
        OPERAND();
        NEED(2);
        if (sp[0].tag == Tag::Object) {
            // An existing own slot takes the value and keeps its place and attributes.
            if (Slot* slot = CachedOwnSlot(sp[0].AsObject(), operand, const_cast<uint32_t*>(pc - 2))) {
                slot->value = sp[1];
                sp += 2;
                SAFEPOINT();
                NEXT();
            }
        }
        SAVE();
        SetProperty(*this, sp[0], operand, sp[1]);
        sp += 2;
        SAFEPOINT();
        NEXT();
    }
    CASE(DELPROP) {
        OPERAND();
        NEED(1);
        if (sp[0].Is(Tag::Object)) {
            SAVE();
            DeleteOwn(*this, sp[0].AsObject(), operand);
            sp[0] = Value::Undefined();
            COLLECT_IF_DUE();
            NEXT();
        }
        sp[0] = Value::Undefined();
        NEXT();
    }
    CASE(GETELEM) {
        NEED(2);
        if (ops::TryArrayRead(sp[1], sp[0], sp[1])) {
            ++sp;
            NEXT();
        }
        SAVE();
        sp[1] = ops::IndexedRead(*this, sp[1], sp[0]);
        ++sp;
        COLLECT_IF_DUE();
        NEXT();
    }
    CASE(SETELEM) {
        NEED(3);
        if (ops::TryArrayStore(sp[1], sp[0], sp[2])) {
            sp += 3;
            SAFEPOINT();
            NEXT();
        }
        SAVE();
        ops::IndexedStore(*this, sp[1], sp[0], sp[2]);
        sp += 3;
        SAFEPOINT();
        NEXT();
    }
    CASE(DELELEM) {
        NEED(2);
        SAVE();
        ops::DeleteElement(*this, sp[1], sp[0]);
        ++sp;
        sp[0] = Value::Undefined();
        COLLECT_IF_DUE();
        NEXT();
    }
    CASE(FORINNEXT) {
        NEED(2);
        SAVE();
        ops::ForInNext(*this, sp[1], sp[0]);
        COLLECT_IF_DUE();
        NEXT();
    }

    // ---- Jumps ----
    CASE(JMP) {
        OPERAND();
        JUMP();
        NEXT();
    }
    CASE(JT) {
        OPERAND();
        NEED(1);
        if (ops::IsJumpTrue(*sp++)) JUMP();
        NEXT();
    }
    CASE(JF) {
        OPERAND();
        NEED(1);
        if (ops::IsJumpFalse(*sp++)) JUMP();
        NEXT();
    }
    CASE(JNZI) {
        OPERAND();
        NEED(1);
        if (static_cast<uint32_t>(sp++->payload.i) != 0) JUMP();
        NEXT();
    }
    CASE(JZI) {
        OPERAND();
        NEED(1);
        if (static_cast<uint32_t>(sp++->payload.i) == 0) JUMP();
        NEXT();
    }

    // ---- Operators ----
    // Two integers, or two doubles, are answered in the loop; everything else (conversions,
    // strings, NaN) goes to the general operation. The fast paths give the general results.
#define BINARY(name, expression) \
    CASE(name) {                 \
        NEED(2);                 \
        SAVE();                  \
        const Value& a = sp[1];  \
        const Value& b = sp[0];  \
        sp[1] = (expression);    \
        ++sp;                    \
        COLLECT_IF_DUE();        \
        NEXT();                  \
    }
#define BOTH(t) (sp[1].tag == Tag::t && sp[0].tag == Tag::t)
#define ARITHMETIC(name, integerExpression, doubleExpression, general)     \
    CASE(name) {                                                           \
        NEED(2);                                                           \
        if (BOTH(Integer)) {                                               \
            const uint64_t x = static_cast<uint64_t>(sp[1].payload.i);     \
            const uint64_t y = static_cast<uint64_t>(sp[0].payload.i);     \
            StoreInteger(sp + 1, static_cast<int64_t>(integerExpression)); \
            ++sp;                                                          \
            NEXT();                                                        \
        }                                                                  \
        if (BOTH(Number)) {                                                \
            const double x = sp[1].payload.d, y = sp[0].payload.d;         \
            StoreNumber(sp + 1, (doubleExpression));                       \
            ++sp;                                                          \
            NEXT();                                                        \
        }                                                                  \
        SAVE();                                                            \
        sp[1] = general(*this, sp[1], sp[0]);                              \
        ++sp;                                                              \
        COLLECT_IF_DUE();                                                  \
        NEXT();                                                            \
    }
    ARITHMETIC(ADD, x + y, x + y, Add)
    ARITHMETIC(SUB, x - y, x - y, Subtract)
    ARITHMETIC(MUL, x * y, x * y, Multiply)
#undef ARITHMETIC
    CASE(MOD) {
        NEED(2);
        // A zero divisor gives NaN, and -1 gives 0 (also where the hardware would trap).
        if (BOTH(Integer) && sp[0].payload.i != 0) {
            const int64_t divisor = sp[0].payload.i;
            StoreInteger(sp + 1, divisor == -1 ? 0 : sp[1].payload.i % divisor);
            ++sp;
            NEXT();
        }
        SAVE();
        sp[1] = Modulo(*this, sp[1], sp[0]);
        ++sp;
        COLLECT_IF_DUE();
        NEXT();
    }
#define RELATION(name, op)                                                   \
    CASE(name) {                                                             \
        NEED(2);                                                             \
        if (BOTH(Integer)) {                                                 \
            StoreBoolean(sp + 1, sp[1].payload.i op sp[0].payload.i);        \
            ++sp;                                                            \
            NEXT();                                                          \
        }                                                                    \
        if (BOTH(Number)) {                                                  \
            StoreBoolean(sp + 1, sp[1].payload.d op sp[0].payload.d);        \
            ++sp;                                                            \
            NEXT();                                                          \
        }                                                                    \
        SAVE();                                                              \
        sp[1] = Relation(*this, sp[1], sp[0], [](int c) { return c op 0; }); \
        ++sp;                                                                \
        COLLECT_IF_DUE();                                                    \
        NEXT();                                                              \
    }
    RELATION(LT, <)
    RELATION(GT, >)
    RELATION(LE, <=)
    RELATION(GE, >=)
#undef RELATION
// `after` is the allocation safe point for loose equality, which may convert an object; strict
// equality converts nothing and so allocates nothing.
#define EQUALITY(name, equal, general, after)                                      \
    CASE(name) {                                                                   \
        NEED(2);                                                                   \
        if (BOTH(Integer)) {                                                       \
            StoreBoolean(sp + 1, (sp[1].payload.i == sp[0].payload.i) == (equal)); \
            ++sp;                                                                  \
            NEXT();                                                                \
        }                                                                          \
        SAVE();                                                                    \
        sp[1] = Value::Boolean(general == (equal));                                \
        ++sp;                                                                      \
        after;                                                                     \
        NEXT();                                                                    \
    }
    EQUALITY(EQ, true, Equals(*this, sp[1], sp[0]), COLLECT_IF_DUE())
    EQUALITY(NE, false, Equals(*this, sp[1], sp[0]), COLLECT_IF_DUE())
    EQUALITY(STRICTEQ, true, StrictEquals(sp[1], sp[0]), (void)0)
    EQUALITY(STRICTNE, false, StrictEquals(sp[1], sp[0]), (void)0)
#undef EQUALITY
#undef BOTH
    CASE(DIV) {
        NEED(2);
        // Two numbers divide in the loop, as the fused DIV steps do: the quotient of Divide.
        if ((sp[1].tag == Tag::Integer || sp[1].tag == Tag::Number) &&
            (sp[0].tag == Tag::Integer || sp[0].tag == Tag::Number)) {
            const double x = sp[1].tag == Tag::Integer ? static_cast<double>(sp[1].payload.i) : sp[1].payload.d;
            const double y = sp[0].tag == Tag::Integer ? static_cast<double>(sp[0].payload.i) : sp[0].payload.d;
            StoreNumber(sp + 1, x / y);
            ++sp;
            NEXT();
        }
        SAVE();
        sp[1] = Divide(*this, sp[1], sp[0]);
        ++sp;
        COLLECT_IF_DUE();
        NEXT();
    }
    BINARY(SHL, Shift(*this, a, b, ShiftKind::Left))
    BINARY(SHR, Shift(*this, a, b, ShiftKind::Right))
    BINARY(USHR, Shift(*this, a, b, ShiftKind::RightUnsigned))
    BINARY(BITAND, Bitwise(*this, a, b, BitwiseKind::And))
    BINARY(BITOR, Bitwise(*this, a, b, BitwiseKind::Or))
    BINARY(BITXOR, Bitwise(*this, a, b, BitwiseKind::Xor))
#undef BINARY
    CASE(NOT) {
        NEED(1);
        sp[0] = Value::Boolean(ops::IsJumpFalse(sp[0]));
        NEXT();
    }
    CASE(NEG) {
        NEED(1);
        SAVE();
        sp[0] = Negate(*this, sp[0]);
        COLLECT_IF_DUE();
        NEXT();
    }
    CASE(TYPEOF) {
        NEED(1);
        SAVE();
        sp[0] = StaticStringValue(*this, TypeOf(sp[0]));
        COLLECT_IF_DUE();
        NEXT();
    }
    CASE(ADDI1) {
        NEED(1);
        if (!AddToInteger(sp[0], 1)) goto malformed;
        NEXT();
    }
    CASE(ADDI2) {
        NEED(1);
        if (!AddToInteger(sp[0], 2)) goto malformed;
        NEXT();
    }

    // ---- Constants and stack shuffling ----
#define PUSH_INTEGER(i)                 \
    do {                                \
        if (sp == stack) goto overflow; \
        StoreInteger(--sp, (i));        \
    } while (0)
    CASE(PUSHINT) {
        OPERAND();
        PUSH_INTEGER(SIGNED());
        NEXT();
    }
    CASE(PUSH0) {
        PUSH_INTEGER(0);
        NEXT();
    }
    CASE(PUSH1) {
        PUSH_INTEGER(1);
        NEXT();
    }
    CASE(PUSH2) {
        PUSH_INTEGER(2);
        NEXT();
    }
    CASE(PUSH3) {
        PUSH_INTEGER(3);
        NEXT();
    }
#undef PUSH_INTEGER
    CASE(PUSHUNDEF) {
        PUSH(Value::Undefined());
        NEXT();
    }
    CASE(PUSHNULL) {
        PUSH(Value::Null());
        NEXT();
    }
    CASE(PUSHTRUE) {
        PUSH(Value::Boolean(true));
        NEXT();
    }
    CASE(PUSHFALSE) {
        PUSH(Value::Boolean(false));
        NEXT();
    }
    CASE(PUSHCONST) {
        OPERAND();
        if (operand >= constants_.size()) goto malformed;
        PUSH(constants_[operand]);
        NEXT();
    }
    CASE(DUP) {
        NEED(1);
        const Value copy = sp[0];
        PUSH(copy);
        NEXT();
    }
    CASE(POP) {
        NEED(1);
        ++sp;
        NEXT();
    }
    CASE(SWAP) {
        NEED(2);
        std::swap(sp[0], sp[1]);
        NEXT();
    }
    CASE(ROT) {
        OPERAND();
        const int32_t n = SIGNED();
        if (n >= 2) {
            NEED(n);
            std::rotate(sp, sp + 1, sp + n);
        } else if (n <= -2) {
            NEED(-static_cast<int64_t>(n));
            std::rotate(sp, sp - n - 1, sp - n);
        }
        NEXT();
    }
    CASE(PUTDOWN) {
        OPERAND();
        const int32_t n = SIGNED();
        if (n < 0) goto malformed;
        NEED(n + 1);
        sp[n] = sp[0];
        sp += n;
        NEXT();
    }
    CASE(DROPN) {
        OPERAND();
        const int32_t n = SIGNED();
        if (n >= 0) {
            NEED(n);
            sp += n;
        } else {
            // A negative count grows the stack; the new cells must not expose dead values.
            for (int32_t i = 0; i < -n; ++i) PUSH(Value::Undefined());
        }
        NEXT();
    }
    CASE(NOP) { NEXT(); }
    CASE(IDLE) {
        SAVE();
#if defined(VELMO_FUZZ_STEP_LIMIT)
        goto malformed;
#endif
        for (;;) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

#if defined(__GNUC__)
    // ---- Fused instructions (quicken.h, fused_ops.def) ----
    // pc is past the fused opcode word, on the first instruction's operand. A fast path that does
    // not apply runs the first instruction itself, from where it is, and the rest follows as
    // written. Nothing on a fast path can raise, collect or run code, except a backward jump; a
    // general operation called instead is followed by the allocation safe point, as its own
    // instruction is.
// The integer of a fused word whose push instruction has its operand at `operandSlot`.
#define FIELD_VALUE(word, operandSlot)                                                                   \
    (FusedWord::ValueIn(word) == FusedWord::kValueInField ? static_cast<int64_t>(FusedWord::Field(word)) \
     : FusedWord::ValueIn(word) == FusedWord::kValueInOperand                                            \
         ? static_cast<int64_t>(static_cast<int32_t>(*(operandSlot)))                                    \
         : constants_[*(operandSlot)].payload.i)
#define TAKE_JUMP(operandSlot)                                    \
    do {                                                          \
        const int32_t rel = static_cast<int32_t>(*(operandSlot)); \
        pc = (operandSlot) + 1 + rel;                             \
        if (rel < 0) {                                            \
            COLLECT_IF_DUE();                                     \
            BREAK_IF_INTERRUPTED();                               \
        }                                                         \
    } while (0)
// Jumps through the operand at `operandSlot` when `holds` matches the word's sense, else
// continues after that operand. The left side of `&&` and `||` (FusedWord::KeepsResult) leaves
// the result for the jump's target, which tests it again, or skips the POP after the jump.
#define JUMP_ON_SENSE(holds, word, operandSlot)                            \
    do {                                                                   \
        const uint32_t* const jumpOperand = (operandSlot);                 \
        if ((holds) == FusedWord::JumpsWhenTrue(word)) {                   \
            if (FusedWord::KeepsResult(word)) PUSH(Value::Boolean(holds)); \
            TAKE_JUMP(jumpOperand);                                        \
        } else {                                                           \
            pc = jumpOperand + 1 + FusedWord::KeptResultSlots(word);       \
        }                                                                  \
    } while (0)
// The argument or local a fused word starts with, its number being the first operand; and the
// way back to running that read as written.
#define VARIABLE_CELL(word) \
    (FusedWord::IsArgument(word) ? ARG(static_cast<int32_t>(pc[0])) : LOCAL(static_cast<int32_t>(pc[0])))
// The second variable of a two-variable word, its read being the next instruction.
#define SECOND_VARIABLE_CELL(word) \
    (FusedWord::SecondIsArgument(word) ? ARG(static_cast<int32_t>(pc[2])) : LOCAL(static_cast<int32_t>(pc[2])))
#define RUN_VARIABLE_READ(word)                          \
    do {                                                 \
        if (FusedWord::IsArgument(word)) goto op_GETARG; \
        goto op_GETLOCAL;                                \
    } while (0)
#define COMPARE_JUMP(name, relation, op)                                                               \
    fused_J##name : {                                                                                  \
        bool holds;                                                                                    \
        if (top - sp >= 2 && sp[1].tag == Tag::Integer && sp[0].tag == Tag::Integer)                   \
            holds = sp[1].payload.i op sp[0].payload.i;                                                \
        else if (top - sp >= 2 && sp[1].tag == Tag::Number && sp[0].tag == Tag::Number)                \
            holds = sp[1].payload.d op sp[0].payload.d;                                                \
        else goto op_##relation;                                                                       \
        sp += 2;                                                                                       \
        JUMP_ON_SENSE(holds, pc[-1], pc + FusedWord::DistanceSlots(pc[-1]));                           \
        NEXT();                                                                                        \
    }                                                                                                  \
    fused_VJ##name : {                                                                                 \
        const uint32_t word = pc[-1];                                                                  \
        Value* const cell = VARIABLE_CELL(word);                                                       \
        if (!LIVE(cell) || cell->tag != Tag::Integer) RUN_VARIABLE_READ(word);                         \
        const bool holds = cell->payload.i op FIELD_VALUE(word, pc + 2);                               \
        JUMP_ON_SENSE(holds, word, pc + FusedWord::DistanceSlots(word));                               \
        NEXT();                                                                                        \
    }                                                                                                  \
    fused_VVJ##name : {                                                                                \
        const uint32_t word = pc[-1];                                                                  \
        const Value* const a = VARIABLE_CELL(word);                                                    \
        const Value* const b = SECOND_VARIABLE_CELL(word);                                             \
        if (!LIVE(a) || !LIVE(b)) RUN_VARIABLE_READ(word);                                             \
        bool holds;                                                                                    \
        if (a->tag == Tag::Integer && b->tag == Tag::Integer) holds = a->payload.i op b->payload.i;    \
        else if (a->tag == Tag::Number && b->tag == Tag::Number) holds = a->payload.d op b->payload.d; \
        else RUN_VARIABLE_READ(word);                                                                  \
        JUMP_ON_SENSE(holds, word, pc + FusedWord::DistanceSlots(word));                               \
        NEXT();                                                                                        \
    }
    COMPARE_JUMP(LT, LT, <)
    COMPARE_JUMP(GT, GT, >)
    COMPARE_JUMP(LE, LE, <=)
    COMPARE_JUMP(GE, GE, >=)
    COMPARE_JUMP(EQ, EQ, ==)
    COMPARE_JUMP(NE, NE, !=)
    COMPARE_JUMP(SEQ, STRICTEQ, ==)
    COMPARE_JUMP(SNE, STRICTNE, !=)
#undef COMPARE_JUMP
fused_ADDTO : {
    const uint32_t word = pc[-1];
    Value* const cell = VARIABLE_CELL(word);
    if (!LIVE(cell) || cell->tag != Tag::Integer) RUN_VARIABLE_READ(word);
    const uint64_t amount = static_cast<uint64_t>(FIELD_VALUE(word, pc + 2));
    const uint64_t old = static_cast<uint64_t>(cell->payload.i);
    StoreInteger(cell, static_cast<int64_t>(FusedWord::Subtracts(word) ? old - amount : old + amount));
    pc += FusedWord::DistanceSlots(word) - 1;
    NEXT();
}
// A counted loop's step: the local moves by the step, the jump back is taken with its collection
// and interrupt checks, and the loop's test there is decided on two integers, leaving pc in the
// body or at the test's exit. A local that is not an integer runs the step as written; a limit
// variable that is not one runs the test as written, from its start.
fused_FORLOOP : {
    const uint32_t word = pc[-1];
    Value* const cell = LOCAL(static_cast<int32_t>(pc[0]));
    if (!LIVE(cell) || cell->tag != Tag::Integer) goto op_GETLOCAL;
    const int64_t value = static_cast<int64_t>(static_cast<uint64_t>(cell->payload.i) +
                                               static_cast<uint64_t>(int64_t{FusedWord::Field(word)}));
    StoreInteger(cell, value);
    const uint32_t* const jumpOperand = pc + FusedWord::DistanceSlots(word);
    pc = jumpOperand + 1 + static_cast<int32_t>(*jumpOperand);
    COLLECT_IF_DUE();
    BREAK_IF_INTERRUPTED();
    // pc is on the test's fused word: its variable is the local just stored.
    const uint32_t testWord = pc[0];
    int64_t limit;
    if (FusedWord::LimitInVariable(word)) {
        const Value* const other = FusedWord::SecondIsArgument(testWord) ? ARG(static_cast<int32_t>(pc[3]))
                                                                         : LOCAL(static_cast<int32_t>(pc[3]));
        if (!LIVE(other) || other->tag != Tag::Integer) NEXT();
        limit = other->payload.i;
    } else {
        limit = FusedWord::Field(testWord);
    }
    bool holds = false;
    switch (FusedWord::RelationOf(word)) {
        case FusedWord::LoopRelation::LT: holds = value < limit; break;
        case FusedWord::LoopRelation::LE: holds = value <= limit; break;
        case FusedWord::LoopRelation::GT: holds = value > limit; break;
        case FusedWord::LoopRelation::GE: holds = value >= limit; break;
        case FusedWord::LoopRelation::EQ: holds = value == limit; break;
        case FusedWord::LoopRelation::NE: holds = value != limit; break;
    }
    // A test on the left of `&&` or `||` leaves its result for the jump's target, or skips the POP.
    const uint32_t* const testJump = pc + 1 + FusedWord::DistanceSlots(testWord);
    if (holds == FusedWord::JumpsWhenTrue(word)) {
        if (FusedWord::KeepsResult(testWord)) PUSH(Value::Boolean(holds));
        TAKE_JUMP(testJump);
    } else {
        pc = testJump + 1 + FusedWord::KeptResultSlots(testWord);
    }
    NEXT();
}
// The right side of a fused constant instruction whose push's operand is at `operandSlot`.
#define CONSTANT_OF(word, operandSlot)                                                    \
    (FusedWord::ValueIn(word) == FusedWord::kValueInConstant ? constants_[*(operandSlot)] \
                                                             : Value::Integer(FIELD_VALUE(word, operandSlot)))
#define NUMERIC(v) ((v).tag == Tag::Integer || (v).tag == Tag::Number)
#define AS_DOUBLE(v) ((v).tag == Tag::Integer ? static_cast<double>((v).payload.i) : (v).payload.d)
// x op y on two integers, or on doubles when either side is one (as the general operation does);
// `fallback` for anything else. The result goes to `out`.
#define NUMERIC_RESULT(out, a, b, integerExpression, doubleExpression, fallback) \
    do {                                                                         \
        if ((a).tag == Tag::Integer && (b).tag == Tag::Integer) {                \
            const uint64_t x = static_cast<uint64_t>((a).payload.i);             \
            const uint64_t y = static_cast<uint64_t>((b).payload.i);             \
            StoreInteger(out, static_cast<int64_t>(integerExpression));          \
        } else if (NUMERIC(a) && NUMERIC(b)) {                                   \
            const double x = AS_DOUBLE(a), y = AS_DOUBLE(b);                     \
            StoreNumber(out, (doubleExpression));                                \
        } else {                                                                 \
            fallback;                                                            \
        }                                                                        \
    } while (0)
#define CONSTANT_ARITHMETIC(name, general, integerExpression, doubleExpression) \
    fused_K##name : {                                                           \
        const uint32_t word = pc[-1];                                           \
        NEED(1);                                                                \
        const Value k = CONSTANT_OF(word, pc);                                  \
        NUMERIC_RESULT(sp, sp[0], k, integerExpression, doubleExpression, {     \
            SAVE();                                                             \
            sp[0] = general(*this, sp[0], k);                                   \
            COLLECT_IF_DUE();                                                   \
        });                                                                     \
        pc += FusedWord::DistanceSlots(word) - 1;                               \
        NEXT();                                                                 \
    }
    CONSTANT_ARITHMETIC(ADD, Add, x + y, x + y)
    CONSTANT_ARITHMETIC(SUB, Subtract, x - y, x - y)
    CONSTANT_ARITHMETIC(MUL, Multiply, x * y, x * y)
#undef CONSTANT_ARITHMETIC
fused_KDIV : {
    const uint32_t word = pc[-1];
    NEED(1);
    const Value k = CONSTANT_OF(word, pc);
    if (NUMERIC(sp[0]) && NUMERIC(k)) {
        StoreNumber(sp, AS_DOUBLE(sp[0]) / AS_DOUBLE(k));
    } else {
        SAVE();
        sp[0] = Divide(*this, sp[0], k);
        COLLECT_IF_DUE();
    }
    pc += FusedWord::DistanceSlots(word) - 1;
    NEXT();
}
// The constant of these is an integer the loader checked (for KMOD neither 0 nor -1, for
// KSHR 0 to 63).
#define INTEGER_CONSTANT(name, expression, general)        \
    fused_K##name : {                                      \
        const uint32_t word = pc[-1];                      \
        NEED(1);                                           \
        const int64_t y = CONSTANT_OF(word, pc).payload.i; \
        if (sp[0].tag == Tag::Integer) {                   \
            const int64_t x = sp[0].payload.i;             \
            StoreInteger(sp, (expression));                \
        } else {                                           \
            SAVE();                                        \
            sp[0] = general;                               \
            COLLECT_IF_DUE();                              \
        }                                                  \
        pc += FusedWord::DistanceSlots(word) - 1;          \
        NEXT();                                            \
    }
    // With a reciprocal (quicken.h, Divisor) the remainder of a value from 0 to 2^32 - 1 takes
    // two multiplications; any other value divides.
fused_KMOD : {
    const uint32_t word = pc[-1];
    NEED(1);
    int64_t y;
    if (FusedWord::HasReciprocal(word)) {
        const Divisor& divisor = divisors_[static_cast<size_t>(FusedWord::Field(word))];
        if (sp[0].tag == Tag::Integer && static_cast<uint64_t>(sp[0].payload.i) <= UINT32_MAX) {
            StoreInteger(sp, static_cast<int64_t>(divisor.Remainder(static_cast<uint32_t>(sp[0].payload.i))));
            pc += FusedWord::DistanceSlots(word) - 1;
            NEXT();
        }
        y = static_cast<int64_t>(divisor.divisor);
    } else {
        y = CONSTANT_OF(word, pc).payload.i;
    }
    if (sp[0].tag == Tag::Integer) {
        StoreInteger(sp, sp[0].payload.i % y);
    } else {
        SAVE();
        sp[0] = Modulo(*this, sp[0], Value::Integer(y));
        COLLECT_IF_DUE();
    }
    pc += FusedWord::DistanceSlots(word) - 1;
    NEXT();
}
    INTEGER_CONSTANT(AND, x & y, Bitwise(*this, sp[0], Value::Integer(y), BitwiseKind::And))
    INTEGER_CONSTANT(SHR, x >> y, Shift(*this, sp[0], Value::Integer(y), ShiftKind::Right))
#undef INTEGER_CONSTANT
    // TOS against a pushed constant, then a jump: same-kind numbers are compared here; anything
    // else pushes the constant and runs the comparison itself, whose jump follows as written.
#define CONSTANT_COMPARE_JUMP(name, relation, op)                                          \
    fused_KJ##name : {                                                                     \
        const uint32_t word = pc[-1];                                                      \
        const Value k = CONSTANT_OF(word, pc);                                             \
        bool holds;                                                                        \
        if (top - sp >= 1 && sp[0].tag == Tag::Integer && k.tag == Tag::Integer)           \
            holds = sp[0].payload.i op k.payload.i;                                        \
        else if (top - sp >= 1 && sp[0].tag == Tag::Number && k.tag == Tag::Number)        \
            holds = sp[0].payload.d op k.payload.d;                                        \
        else {                                                                             \
            PUSH(k);                                                                       \
            pc += FusedWord::DistanceSlots(word) - (FusedWord::KeepsResult(word) ? 2 : 1); \
            goto op_##relation;                                                            \
        }                                                                                  \
        ++sp;                                                                              \
        JUMP_ON_SENSE(holds, word, pc + FusedWord::DistanceSlots(word));                   \
        NEXT();                                                                            \
    }
    CONSTANT_COMPARE_JUMP(LT, LT, <)
    CONSTANT_COMPARE_JUMP(GT, GT, >)
    CONSTANT_COMPARE_JUMP(LE, LE, <=)
    CONSTANT_COMPARE_JUMP(GE, GE, >=)
    CONSTANT_COMPARE_JUMP(EQ, EQ, ==)
    CONSTANT_COMPARE_JUMP(NE, NE, !=)
    CONSTANT_COMPARE_JUMP(SEQ, STRICTEQ, ==)
    CONSTANT_COMPARE_JUMP(SNE, STRICTNE, !=)
#undef CONSTANT_COMPARE_JUMP
    // TOS op a local; anything but numbers runs GETLOCAL and the operation as written.
#define LOCAL_ARITHMETIC(name, integerExpression, doubleExpression)                              \
    fused_L##name : {                                                                            \
        const Value* cell = LOCAL(static_cast<int32_t>(pc[0]));                                  \
        if (top - sp < 1 || !LIVE(cell)) goto op_GETLOCAL;                                       \
        NUMERIC_RESULT(sp, sp[0], *cell, integerExpression, doubleExpression, goto op_GETLOCAL); \
        pc += 2;                                                                                 \
        NEXT();                                                                                  \
    }
    LOCAL_ARITHMETIC(ADD, x + y, x + y)
    LOCAL_ARITHMETIC(SUB, x - y, x - y)
    LOCAL_ARITHMETIC(MUL, x * y, x * y)
#undef LOCAL_ARITHMETIC
fused_LDIV : {
    const Value* cell = LOCAL(static_cast<int32_t>(pc[0]));
    if (top - sp < 1 || !LIVE(cell) || !NUMERIC(sp[0]) || !NUMERIC(*cell)) goto op_GETLOCAL;
    StoreNumber(sp, AS_DOUBLE(sp[0]) / AS_DOUBLE(*cell));
    pc += 2;
    NEXT();
}
// An operation whose result goes straight to a local. The local must lie above both operands.
#define ARITHMETIC_STORE(name, integerExpression, doubleExpression)                              \
    fused_##name##SET : {                                                                        \
        Value* cell = LOCAL(static_cast<int32_t>(pc[1]));                                        \
        if (top - sp < 2 || cell < sp + 2 || cell >= top) goto op_##name;                        \
        NUMERIC_RESULT(cell, sp[1], sp[0], integerExpression, doubleExpression, goto op_##name); \
        sp += 2;                                                                                 \
        pc += 2;                                                                                 \
        NEXT();                                                                                  \
    }
    ARITHMETIC_STORE(ADD, x + y, x + y)
    ARITHMETIC_STORE(SUB, x - y, x - y)
    ARITHMETIC_STORE(MUL, x * y, x * y)
#undef ARITHMETIC_STORE
// s + x * y with three integers or three doubles, pushed or stored (pc[2]); any other mix runs
// MUL and ADD as written, since their conversions depend on which operand is which. The product
// is rounded before the sum, as the two instructions round (the build does not contract them).
fused_MULADD : {
    const uint32_t word = pc[-1];
    if (top - sp < 3) goto op_MUL;
    Value* out = sp + 2;
    if (FusedWord::Stores(word)) {
        out = LOCAL(static_cast<int32_t>(pc[2]));
        if (out < sp + 2 || out >= top) goto op_MUL;
    }
    if (sp[2].tag == Tag::Integer && sp[1].tag == Tag::Integer && sp[0].tag == Tag::Integer) {
        const uint64_t product = static_cast<uint64_t>(sp[1].payload.i) * static_cast<uint64_t>(sp[0].payload.i);
        StoreInteger(out, static_cast<int64_t>(static_cast<uint64_t>(sp[2].payload.i) + product));
    } else if (sp[2].tag == Tag::Number && sp[1].tag == Tag::Number && sp[0].tag == Tag::Number) {
        const double product = sp[1].payload.d * sp[0].payload.d;
        StoreNumber(out, sp[2].payload.d + product);
    } else {
        goto op_MUL;
    }
    if (FusedWord::Stores(word)) {
        sp += 3;
        pc += 3;
    } else {
        sp += 2;
        pc += 1;
    }
    NEXT();
}
// TOS + a * b with a and b in variables, on three integers or three doubles, left on the stack
// or stored (pc[6]). A variable or destination the plain sequence would find dead, and any other
// mix of operands, runs the reads and the rest as written.
fused_VVMULADD : {
    const uint32_t word = pc[-1];
    const Value* const a = VARIABLE_CELL(word);
    const Value* const b = SECOND_VARIABLE_CELL(word);
    if (top - sp < 1 || sp - stack < 2 || !LIVE(a) || !LIVE(b)) RUN_VARIABLE_READ(word);
    Value* out = sp;
    if (FusedWord::Stores(word)) {
        out = LOCAL(static_cast<int32_t>(pc[6]));
        if (!LIVE(out)) RUN_VARIABLE_READ(word);
    }
    if (sp[0].tag == Tag::Integer && a->tag == Tag::Integer && b->tag == Tag::Integer) {
        const uint64_t product = static_cast<uint64_t>(a->payload.i) * static_cast<uint64_t>(b->payload.i);
        StoreInteger(out, static_cast<int64_t>(static_cast<uint64_t>(sp[0].payload.i) + product));
    } else if (sp[0].tag == Tag::Number && a->tag == Tag::Number && b->tag == Tag::Number) {
        const double product = a->payload.d * b->payload.d;
        StoreNumber(out, sp[0].payload.d + product);
    } else {
        RUN_VARIABLE_READ(word);
    }
    if (FusedWord::Stores(word)) {
        ++sp;
        pc += 7;
    } else {
        pc += 5;
    }
    NEXT();
}
// A variable op an integer constant: stored back into the variable when the store follows
// (FusedWord::StoresBack), added straight to an integer TOS when an ADD follows
// (FusedWord::ThenAdds), else pushed; anything but an integer variable runs the variable's
// read and the rest as written.
#define VARIABLE_CONSTANT(name, expression)                                                          \
    fused_VK##name : {                                                                               \
        const uint32_t word = pc[-1];                                                                \
        Value* const cell = VARIABLE_CELL(word);                                                     \
        if (!LIVE(cell) || cell->tag != Tag::Integer || sp == stack) RUN_VARIABLE_READ(word);        \
        const uint64_t x = static_cast<uint64_t>(cell->payload.i);                                   \
        const uint64_t y = static_cast<uint64_t>(FIELD_VALUE(word, pc + 2));                         \
        const uint64_t result = (expression);                                                        \
        if (FusedWord::StoresBack(word)) {                                                           \
            StoreInteger(cell, static_cast<int64_t>(result));                                        \
            pc += FusedWord::DistanceSlots(word) + 1;                                                \
            NEXT();                                                                                  \
        }                                                                                            \
        if (FusedWord::ThenAdds(word) && top - sp >= 1 && sp[0].tag == Tag::Integer) {               \
            StoreInteger(sp, static_cast<int64_t>(static_cast<uint64_t>(sp[0].payload.i) + result)); \
            pc += FusedWord::DistanceSlots(word);                                                    \
            NEXT();                                                                                  \
        }                                                                                            \
        StoreInteger(--sp, static_cast<int64_t>(result));                                            \
        pc += FusedWord::DistanceSlots(word) - 1;                                                    \
        NEXT();                                                                                      \
    }
    VARIABLE_CONSTANT(ADD, x + y)
    VARIABLE_CONSTANT(SUB, x - y)
    VARIABLE_CONSTANT(MUL, x * y)
    VARIABLE_CONSTANT(AND, x & y)
    VARIABLE_CONSTANT(SHR, static_cast<uint64_t>(static_cast<int64_t>(x) >> y))
#undef VARIABLE_CONSTANT
// (x & mask) == 0, or != 0, decides the jump; anything but an integer x gets the general
// BITAND and goes on at the PUSH0 as written (pc + distance - 3 is its opcode word).
fused_KANDJ : {
    const uint32_t word = pc[-1];
    NEED(1);
    if (sp[0].tag != Tag::Integer) {
        SAVE();
        sp[0] = Bitwise(*this, sp[0], Value::Integer(FusedWord::Field(word)), BitwiseKind::And);
        COLLECT_IF_DUE();
        pc += FusedWord::DistanceSlots(word) - 3;
        NEXT();
    }
    const bool zero = (sp[0].payload.i & FusedWord::Field(word)) == 0;
    ++sp;
    JUMP_ON_SENSE(zero != FusedWord::NotEqual(word), word, pc + FusedWord::DistanceSlots(word));
    NEXT();
}
fused_SETGETLOCAL : {
    Value* cell = LOCAL(static_cast<int32_t>(pc[0]));
    if (top - sp < 1 || cell < sp + 1 || cell >= top) goto op_SETLOCAL;
    *cell = sp[0];
    pc += 3;
    NEXT();
}
// The count plus `this` and itself, then ARGFIX with at least as many cells as it declares
// (pc + 3 is ARGFIX's operand); anything else runs the three instructions as written.
fused_PROLOGUE : {
    const Value* countCell = ARG(1);
    if (!LIVE(countCell) || countCell->tag != Tag::Integer) goto op_GETARG;
    Frame& frame = frames_.back();
    const int64_t count = static_cast<int64_t>(static_cast<uint64_t>(countCell->payload.i) + 2);
    const size_t above = stack_.size() - 1 - frame.fp;
    if (count < static_cast<int32_t>(pc[3]) || count < 0 || static_cast<uint64_t>(count) > above ||
        static_cast<size_t>(sp - stack) > frame.fp)
        goto op_GETARG;
    frame.fixedSlots = static_cast<uint32_t>(count);
    stack[frame.fp - 1] = CallMark(static_cast<uint64_t>(count), 0);
    pc += 4;
    NEXT();
}
// A call of a global function: the callee cell becomes `this` (null) as CALL makes it.
fused_CALLGLOBAL : {
    const uint32_t name = pc[0];
    if (name >= globals_.size() || globals_[name].tag != Tag::Function || sp == stack || top - sp < 1)
        goto op_GETGLOBAL;
    FunctionRecord* function = globals_[name].AsFunction();
    StoreCell(--sp, Tag::Null, 0);
    pc += 2;  // past CALL: where the callee returns to
    SAVE();
    EnterFrame(function, sp_, pc);
    RELOAD();
    pc = function->code->code;
    NEXT();
}
#undef NUMERIC_RESULT
#undef AS_DOUBLE
#undef NUMERIC
#undef CONSTANT_OF
// An element read whose index is a variable: a[i], and each step of m[i][j].
fused_VGETELEM : {
    const uint32_t word = pc[-1];
    const Value* const cell = VARIABLE_CELL(word);
    if (top - sp < 1 || !LIVE(cell) || !ops::TryArrayRead(sp[0], *cell, sp[0])) RUN_VARIABLE_READ(word);
    pc += 2;
    NEXT();
}
// a[i] with both in variables.
fused_VVGETELEM : {
    const uint32_t word = pc[-1];
    const Value* const a = VARIABLE_CELL(word);
    const Value* const b = SECOND_VARIABLE_CELL(word);
    Value element;
    if (sp == stack || !LIVE(a) || !LIVE(b) || !ops::TryArrayRead(*a, *b, element)) RUN_VARIABLE_READ(word);
    StoreValue(--sp, element);
    pc += 4;
    NEXT();
}
fused_GETLOCAL2 : {
    const Value* a = LOCAL(static_cast<int32_t>(pc[0]));
    const Value* b = LOCAL(static_cast<int32_t>(pc[2]));
    if (!LIVE(a) || !LIVE(b) || sp - stack < 2) goto op_GETLOCAL;
    sp -= 2;
    sp[1] = *a;
    sp[0] = *b;
    pc += 3;
    NEXT();
}
#undef FIELD_VALUE
#undef TAKE_JUMP
#undef JUMP_ON_SENSE
#undef VARIABLE_CELL
#undef SECOND_VARIABLE_CELL
#undef RUN_VARIABLE_READ
#endif

#if !defined(__GNUC__)
default: goto malformed;
}
}
#endif

#if defined(__GNUC__)
not_an_instruction :
#endif
    malformed : SAVE();
RaiseError(*this, Msg::UnimplementedBytecode);
overflow : SAVE();
RaiseError(*this, Msg::StackOverflow);

#undef SAVE
#undef RELOAD
#undef NEED
#undef PUSH
#undef OPERAND
#undef SIGNED
#undef LIVE
#undef ARG
#undef LOCAL
#undef SAFEPOINT
#undef COLLECT_IF_DUE
#undef BREAK_IF_INTERRUPTED
#undef JUMP
#undef VELMO_COUNT_STEP
#undef CASE
#undef NEXT
}

}  // namespace velmo::script
