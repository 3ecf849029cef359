#pragma once
// Code generation: a parsed unit becomes one instruction list holding every function (in the tree's
// function order) and then ".main". Frames: argument slot 0 this, 1 the actual count, 2... the
// parameters; locals from 0. The generator keeps the stack balanced per statement: every statement
// leaves the value stack as it found it, so break, continue and return only drop what their context
// records say lies on the stack.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "script/compiler/diagnostics.h"
#include "script/compiler/instructions.h"
#include "script/compiler/syntax_tree.h"

namespace velmo::script::compiler {

// Emits every function of `tree` and then ".main" into `out`. Errors ("invalid break", "invalid
// continue") go to `diagnostics`; the result is false then and `out` must not be used.
[[nodiscard]] bool GenerateProgram(const SyntaxTree& tree, Diagnostics& diagnostics, InstructionList& out);

namespace detail {

// A call's PUTDOWN count + 2 and a function's ARGFIX parameters + 2 are signed bytes.
inline constexpr int32_t kMaxArguments = static_cast<int32_t>(kMaxByteOperand) - 2;
inline constexpr int32_t kMaxParameters = static_cast<int32_t>(kMaxByteOperand) - 2;
// RESERVE takes the count of local slots as a 16-bit operand.
inline constexpr int32_t kMaxLocals = static_cast<int32_t>(kMaxShortOperand);

inline Constant MakeConstant(Constant::Kind kind, int64_t integer, double number = 0, std::string text = {},
                             uint8_t regexpFlags = 0) {
    Constant c;
    c.kind = kind;
    c.integer = integer;
    c.number = number;
    c.text = std::move(text);
    c.regexpFlags = regexpFlags;
    return c;
}

enum class SymbolClass : uint8_t { Argument = 1, Local = 2 };

struct Symbol {
    SymbolClass symbolClass;
    int32_t slot;
};

struct Scope {
    std::unordered_map<std::string, Symbol> symbols;
};

// A statement that break or continue may leave or target. `ownValues` lie on the stack for the
// whole statement (switch discriminant, for-in pair) and stay when the jump targets this record;
// the counters grow while nested with, try and catch parts are generated and are always undone.
struct ControlRecord {
    int breakLabel = -1;
    int continueLabel = -1;
    bool isLoopOrSwitch = false;  // unlabelled jumps skip records of labelled plain statements
    std::vector<std::string> names;
    int32_t ownValues = 0;
    int32_t extraValues = 0;
    int32_t openWiths = 0;
    int32_t openTries = 0;
};

class CodeGenerator {
public:
    CodeGenerator(Diagnostics& diagnostics, InstructionList& out) : diagnostics_(diagnostics), out_(out) {}

    void GenerateFunction(const Node* function);
    void GenerateMain(const Node* statements);

private:
    // ---- Emitting (codegen_functions.cpp) ----
    Instruction& Emit(Op op, int64_t operand = 0);
    void EmitName(Op op, const Text* name);
    void EmitName(Op op, const std::string& name);
    void EmitJump(Op op, int label);
    void EmitConstant(Constant constant);
    void EmitInteger(int64_t value);
    void EmitCount(int64_t count);
    void EmitSplit(Op op, int64_t count);
    void EmitNewEmpty(const char* className);
    int NewLabel() { return labelCounter_++; }
    void PlaceLabel(int label);

    // ---- Names and scopes (codegen_functions.cpp) ----
    const Symbol* Lookup(const std::string& name) const;
    int32_t DeclareLocal(const std::string& name);
    int32_t NewLocalSlot();
    void EmitArgumentsObject(const Node* function, int32_t slot);
    void GenerateLoadName(const Text* name);
    void GenerateStoreName(const Text* name);
    bool InsideWith() const { return withDepth_ > 0; }

    // ---- Expressions (codegen_expressions.cpp) ----
    void GenerateExpression(const Node* n);
    void GenerateAssign(const Node* n);
    void GenerateUpdate(const Node* target, int64_t op, bool isPrefix);
    int32_t GenerateReferencePrefix(const Node* target);
    void GenerateLoadKeepingReference(const Node* target, int32_t depth);
    void GenerateStoreKeepingValue(const Node* target, int32_t depth);
    void GenerateBinary(const Node* n);
    void GenerateLogical(const Node* n);
    void GenerateConditional(const Node* n);
    void GenerateUnary(const Node* n);
    void GenerateDelete(const Node* operand);
    void GenerateCall(const Node* n);
    void GenerateNew(const Node* n);
    bool ArgumentCountFits(const Node* call);
    int32_t GenerateArguments(const Node* first);
    void GenerateArrayLiteral(const Node* n);
    void GenerateLongArrayLiteral(const Node* n, int32_t count);
    void GenerateObjectLiteral(const Node* n);
    void GenerateConditionJump(const Node* condition, bool jumpWhen, int label);

    // ---- Statements (codegen_statements.cpp) ----
    void GenerateStatement(const Node* n);
    void GenerateStatements(const Node* first);
    void GenerateVar(const Node* n);
    void GenerateDeclaratorStore(const Node* declarator);
    void GenerateIf(const Node* n);
    void GenerateWhile(const Node* n);
    void GenerateDoWhile(const Node* n);
    void GenerateFor(const Node* n);
    void GenerateForIn(const Node* n);
    void GenerateSwitch(const Node* n);
    void GenerateWith(const Node* n);
    void GenerateTry(const Node* n);
    void GenerateCatchClauses(const Node* first, int finallyLabel);
    void GenerateReturn(const Node* n);
    void GenerateJump(const Node* n, bool isBreak);
    void GenerateLabeled(const Node* n);
    void GenerateImport(const Node* n);
    void GenerateNestedBinding(const Node* n);
    ControlRecord& PushLoopRecord(int breakLabel, int continueLabel);
    void PopRecord() { records_.pop_back(); }
    ControlRecord& Innermost() { return records_.back(); }

    Diagnostics& diagnostics_;
    InstructionList& out_;
    int labelCounter_ = 0;
    int32_t line_ = 0;
    int32_t expressionDepth_ = 0;  // GenerateExpression calls in progress
    bool inFunction_ = false;
    int32_t withDepth_ = 0;
    int32_t localCount_ = 0;
    int64_t lastExpressionPop_ = -1;  // index of the POP ending the latest expression statement
    std::vector<Scope> scopes_;
    // The function's base record (no targets) sits at the bottom, so counters always have a home.
    std::vector<ControlRecord> records_;
    std::vector<std::string> pendingLabels_;  // names of labelled statements that wrap the next loop
};

}  // namespace detail
}  // namespace velmo::script::compiler
