// Frames and names: function prologues and epilogues, the main program, scopes with argument and
// local classes, local slot numbering and the `arguments` object. Local slots are handed out in
// source order and never reused, so a local keeps its slot for the whole function and RESERVE,
// patched once the body is generated, covers every index.

#include "script/compiler/codegen.h"

#include <algorithm>
#include <utility>

namespace velmo::script::compiler {
namespace detail {

namespace {
std::string TextString(const Text* text) { return std::string(text->View()); }
}  // namespace

// ---- Emitting ----

Instruction& CodeGenerator::Emit(Op op, int64_t operand) {
    Instruction& i = out_.emplace_back();
    i.opcode = static_cast<int>(op);
    i.line = line_;
    i.operand = operand;
    return i;
}

void CodeGenerator::EmitName(Op op, const Text* name) { EmitName(op, TextString(name)); }

void CodeGenerator::EmitName(Op op, const std::string& name) { Emit(op).text = name; }

void CodeGenerator::EmitJump(Op op, int label) { Emit(op).label = label; }

void CodeGenerator::EmitConstant(Constant constant) { Emit(Op::PUSHCONST).constant = std::move(constant); }

void CodeGenerator::EmitInteger(int64_t value) {
    static constexpr Op kSmall[] = {Op::PUSH0, Op::PUSH1, Op::PUSH2, Op::PUSH3};
    if (value >= 0 && value <= 3) Emit(kSmall[value]);
    else EmitConstant(MakeConstant(Constant::Kind::Integer, value));
}

// A count pushed for a call or construction: the short forms for 0 to 3, else inline.
void CodeGenerator::EmitCount(int64_t count) {
    static constexpr Op kSmall[] = {Op::PUSH0, Op::PUSH1, Op::PUSH2, Op::PUSH3};
    if (count >= 0 && count <= 3) Emit(kSmall[count]);
    else Emit(Op::PUSHINT, count);
}

// TRYLEAVE, WITHLEAVE and DROPN of `count`, which may exceed the signed byte of one instruction
// (a break out of deeply nested try, with or for-in statements): several instructions then.
void CodeGenerator::EmitSplit(Op op, int64_t count) {
    for (; count > 0; count -= kMaxByteOperand) Emit(op, std::min(count, kMaxByteOperand));
}

// `new className()`, as object literals and the arguments object start.
void CodeGenerator::EmitNewEmpty(const char* className) {
    Emit(Op::PUSH0);
    EmitName(Op::GETGLOBAL, className);
    Emit(Op::NEW);
    Emit(Op::SWAP);
    Emit(Op::PUTDOWN, 2);
}

void CodeGenerator::PlaceLabel(int label) {
    Instruction& i = out_.emplace_back();
    i.opcode = kLabel;
    i.line = line_;
    i.label = label;
}

// ---- Names ----

const Symbol* CodeGenerator::Lookup(const std::string& name) const {
    for (auto scope = scopes_.rbegin(); scope != scopes_.rend(); ++scope) {
        const auto found = scope->symbols.find(name);
        if (found != scope->symbols.end()) return &found->second;
    }
    return nullptr;
}

// Slots are never reused, so a function (or the main program) with more declarations than RESERVE
// can count is refused at the declaration that goes over.
int32_t CodeGenerator::NewLocalSlot() {
    if (localCount_ == kMaxLocals) diagnostics_.Fail(line_, "too many local variables: at most %d", kMaxLocals);
    return localCount_++;
}

// A repeated `var` of a local keeps its slot; a `var` naming a parameter makes a new local.
int32_t CodeGenerator::DeclareLocal(const std::string& name) {
    if (const Symbol* s = Lookup(name); s && s->symbolClass == SymbolClass::Local) return s->slot;
    const int32_t slot = NewLocalSlot();
    scopes_.back().symbols[name] = {SymbolClass::Local, slot};
    return slot;
}

void CodeGenerator::GenerateLoadName(const Text* name) {
    const Symbol* s = Lookup(TextString(name));
    if (s && s->symbolClass == SymbolClass::Argument) Emit(Op::GETARG, s->slot);
    else if (s) Emit(Op::GETLOCAL, s->slot);
    else EmitName(InsideWith() ? Op::GETVARW : Op::GETGLOBAL, name);
}

void CodeGenerator::GenerateStoreName(const Text* name) {
    const Symbol* s = Lookup(TextString(name));
    if (s && s->symbolClass == SymbolClass::Argument) Emit(Op::SETARG, s->slot);
    else if (s) Emit(Op::SETLOCAL, s->slot);
    else EmitName(InsideWith() ? Op::SETVARW : Op::SETGLOBAL, name);
}

// `arguments` = a new Object with the actual arguments under 0, 1, ..., "length" and "callee". The
// counter stays on the stack, so the object costs one local slot only.
void CodeGenerator::EmitArgumentsObject(const Node* function, int32_t slot) {
    EmitNewEmpty("Object");
    Emit(Op::SETLOCAL, slot);
    const int top = NewLabel(), done = NewLabel();
    Emit(Op::PUSH0);  // i
    PlaceLabel(top);
    Emit(Op::DUP);
    Emit(Op::GETARG, 1);
    Emit(Op::LT);
    EmitJump(Op::JZI, done);
    Emit(Op::DUP);  // i, i
    Emit(Op::ADDI2);
    Emit(Op::GETARGI);  // i, argument i
    Emit(Op::GETLOCAL, slot);
    Emit(Op::ROT, -3);  // argument, arguments, i
    Emit(Op::DUP);
    Emit(Op::ROT, 4);  // i, argument, arguments, i
    Emit(Op::SETELEM);
    Emit(Op::ADDI1);
    EmitJump(Op::JMP, top);
    PlaceLabel(done);
    Emit(Op::GETLOCAL, slot);
    EmitName(Op::SETPROP, "length");
    EmitName(Op::GETGLOBAL, FunctionInternalName(function));
    Emit(Op::GETLOCAL, slot);
    EmitName(Op::SETPROP, "callee");
}

// ---- Functions and the main program ----

void CodeGenerator::GenerateFunction(const Node* function) {
    inFunction_ = true;
    withDepth_ = 0;
    localCount_ = 0;
    scopes_.assign(1, Scope{});
    records_.assign(1, ControlRecord{});
    line_ = function->line;
    int32_t parameterCount = 0;
    for (const Node* p = FunctionParameters(function); p; p = p->next)
        scopes_.back().symbols[TextString(NameText(p))] = {SymbolClass::Argument, 2 + parameterCount++};
    if (parameterCount > kMaxParameters)
        diagnostics_.Fail(function->line, "too many parameters: at most %d", kMaxParameters);

    Instruction& entry = out_.emplace_back();
    entry.opcode = kFunctionEntry;
    entry.line = line_;
    entry.text = TextString(FunctionInternalName(function));
    Emit(Op::GETARG, 1);
    Emit(Op::ADDI2);
    Emit(Op::ARGFIX, parameterCount + 2);
    const size_t reserveAt = out_.size();
    Emit(Op::RESERVE, 0);
    if (FunctionUsesArguments(function) != 0) {
        const int32_t slot = NewLocalSlot();
        scopes_.back().symbols["arguments"] = {SymbolClass::Local, slot};
        EmitArgumentsObject(function, slot);
    }
    const Node* body = FunctionBody(function);
    GenerateStatements(body->kind == NodeKind::Block ? BlockStatements(body) : nullptr);
    Emit(Op::PUSHUNDEF);
    Emit(Op::RET);
    if (localCount_ > 0) out_[reserveAt].operand = localCount_;
    else out_.erase(out_.begin() + static_cast<std::ptrdiff_t>(reserveAt));
}

void CodeGenerator::GenerateMain(const Node* statements) {
    inFunction_ = false;
    withDepth_ = 0;
    localCount_ = 0;
    scopes_.assign(1, Scope{});
    records_.assign(1, ControlRecord{});
    line_ = statements ? statements->line : 0;
    Instruction& entry = out_.emplace_back();
    entry.opcode = kFunctionEntry;
    entry.line = line_;
    entry.text = ".main";
    const size_t reserveAt = out_.size();
    Emit(Op::RESERVE, 0);
    GenerateStatements(statements);
    // The last expression statement's value is the program's result; other POPs (a switch's
    // discriminant) are no results.
    if (lastExpressionPop_ >= 0 && static_cast<size_t>(lastExpressionPop_) == out_.size() - 1) out_.pop_back();
    else Emit(Op::PUSHUNDEF);
    if (localCount_ > 0) out_[reserveAt].operand = localCount_;
    else out_.erase(out_.begin() + static_cast<std::ptrdiff_t>(reserveAt));
}

}  // namespace detail

bool GenerateProgram(const SyntaxTree& tree, Diagnostics& diagnostics, InstructionList& out) {
    detail::CodeGenerator generator(diagnostics, out);
    for (const Node* function : tree.functions) generator.GenerateFunction(function);
    generator.GenerateMain(tree.statements);
    return !diagnostics.Failed();
}

}  // namespace velmo::script::compiler
