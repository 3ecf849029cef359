// Statements, each leaving the stack as it found it. Loops, switch and labelled statements push
// control records; break and continue leave every with-scope, try record and stack cell that lies
// between them and their target. Labels follow ECMAScript: a label on a loop or switch names that
// statement, `continue label` continues the loop, and unlabelled jumps skip labelled blocks.

#include "script/compiler/codegen.h"
#include "script/compiler/tokens.h"

#include <algorithm>
#include <utility>

namespace velmo::script::compiler::detail {

namespace {
std::string TextString(const Text* text) { return std::string(text->View()); }

bool IsLoopOrSwitch(NodeKind kind) {
    return kind == NodeKind::While || kind == NodeKind::DoWhile || kind == NodeKind::For || kind == NodeKind::ForIn ||
           kind == NodeKind::Switch;
}
}  // namespace

void CodeGenerator::GenerateStatements(const Node* first) {
    for (const Node* s = first; s; s = s->next) GenerateStatement(s);
}

void CodeGenerator::GenerateStatement(const Node* n) {
    line_ = n->line;
    switch (n->kind) {
        case NodeKind::Block: GenerateStatements(BlockStatements(n)); break;
        case NodeKind::Empty: break;
        case NodeKind::ExpressionStatement:
            GenerateExpression(ExpressionStatementExpression(n));
            Emit(Op::POP);
            lastExpressionPop_ = static_cast<int64_t>(out_.size()) - 1;
            break;
        case NodeKind::VarStatement: GenerateVar(n); break;
        case NodeKind::NestedFunctionBinding: GenerateNestedBinding(n); break;
        case NodeKind::If: GenerateIf(n); break;
        case NodeKind::While: GenerateWhile(n); break;
        case NodeKind::DoWhile: GenerateDoWhile(n); break;
        case NodeKind::For: GenerateFor(n); break;
        case NodeKind::ForIn: GenerateForIn(n); break;
        case NodeKind::Continue: GenerateJump(n, false); break;
        case NodeKind::Break: GenerateJump(n, true); break;
        case NodeKind::Return: GenerateReturn(n); break;
        case NodeKind::With: GenerateWith(n); break;
        case NodeKind::Try: GenerateTry(n); break;
        case NodeKind::Throw:
            GenerateExpression(ThrowValue(n));
            Emit(Op::THROW);
            break;
        case NodeKind::Switch: GenerateSwitch(n); break;
        case NodeKind::Labeled: GenerateLabeled(n); break;
        case NodeKind::ImportedFunction: GenerateImport(n); break;
        case NodeKind::Function: break;  // generated from the tree's function list
        default:                         // a structure definition's assignment, or any expression used as a statement
            GenerateExpression(n);
            Emit(Op::POP);
            lastExpressionPop_ = static_cast<int64_t>(out_.size()) - 1;
            break;
    }
}

// ---- Declarations ----

// Inside a function the name becomes a local before its initializer runs (`var x = x` reads the
// new local); at top level it stays a global.
void CodeGenerator::GenerateDeclaratorStore(const Node* declarator) {
    const Node* init = DeclaratorInit(declarator);
    if (!inFunction_) {
        if (!init) return;
        GenerateExpression(init);
        EmitName(Op::SETGLOBAL, DeclaratorName(declarator));
        return;
    }
    const int32_t slot = DeclareLocal(TextString(DeclaratorName(declarator)));
    if (!init) return;
    GenerateExpression(init);
    Emit(Op::SETLOCAL, slot);
}

void CodeGenerator::GenerateVar(const Node* n) {
    for (const Node* d = VarStatementDeclarators(n); d; d = d->next) GenerateDeclaratorStore(d);
}

void CodeGenerator::GenerateNestedBinding(const Node* n) {
    if (!NestedFunctionBindingName(n)) return;
    EmitName(Op::GETGLOBAL, NestedFunctionBindingFunction(n));
    EmitName(Op::GETGLOBAL, NestedFunctionBindingEnclosing(n));
    EmitName(Op::SETPROP, NestedFunctionBindingName(n));
}

// Dll.registerFunction(dll, function, script name, call type, return type, parameter types...).
void CodeGenerator::GenerateImport(const Node* n) {
    int32_t parameterCount = 0;
    for (const Node* p = ImportedFunctionParameterTypes(n); p; p = p->next, ++parameterCount) GenerateExpression(p);
    GenerateExpression(ImportedFunctionReturnType(n));
    const Text* function = ImportedFunctionFunction(n);
    const Text* alias = ImportedFunctionAlias(n);
    EmitConstant(MakeConstant(Constant::Kind::String, 0, 0, TextString(ImportedFunctionCallType(n))));
    EmitConstant(MakeConstant(Constant::Kind::String, 0, 0, TextString(alias ? alias : function)));
    EmitConstant(MakeConstant(Constant::Kind::String, 0, 0, TextString(function)));
    GenerateExpression(ImportedFunctionDll(n));
    line_ = n->line;
    Emit(Op::PUSHINT, parameterCount + 5);
    EmitName(Op::GETGLOBAL, "Dll");
    EmitName(Op::CALLMETHOD, "registerFunction");
    // The result is dropped with everything else; past PUTDOWN's signed byte, by DROPN pieces.
    if (parameterCount + 7 <= kMaxByteOperand) {
        Emit(Op::PUTDOWN, parameterCount + 7);
        Emit(Op::POP);
    } else {
        EmitSplit(Op::DROPN, parameterCount + 8);
    }
}

// ---- Branches and loops ----

void CodeGenerator::GenerateIf(const Node* n) {
    const int elsePart = NewLabel(), end = NewLabel();
    GenerateConditionJump(IfCondition(n), false, elsePart);
    GenerateStatement(IfThen(n));
    if (!IfOtherwise(n)) {
        PlaceLabel(elsePart);
        PlaceLabel(end);
        return;
    }
    EmitJump(Op::JMP, end);
    PlaceLabel(elsePart);
    GenerateStatement(IfOtherwise(n));
    PlaceLabel(end);
}

// Takes the names of the labelled statements directly around this loop or switch.
ControlRecord& CodeGenerator::PushLoopRecord(int breakLabel, int continueLabel) {
    ControlRecord& r = records_.emplace_back();
    r.breakLabel = breakLabel;
    r.continueLabel = continueLabel;
    r.isLoopOrSwitch = true;
    r.names = std::move(pendingLabels_);
    pendingLabels_.clear();
    return r;
}

void CodeGenerator::GenerateWhile(const Node* n) {
    const int top = NewLabel(), end = NewLabel();
    PushLoopRecord(end, top);
    PlaceLabel(top);
    GenerateConditionJump(WhileCondition(n), false, end);
    GenerateStatement(WhileBody(n));
    EmitJump(Op::JMP, top);
    PlaceLabel(end);
    PopRecord();
}

void CodeGenerator::GenerateDoWhile(const Node* n) {
    const int top = NewLabel(), next = NewLabel(), end = NewLabel();
    PushLoopRecord(end, next);
    PlaceLabel(top);
    GenerateStatement(DoWhileBody(n));
    PlaceLabel(next);
    GenerateConditionJump(DoWhileCondition(n), true, top);
    PlaceLabel(end);
    PopRecord();
}

void CodeGenerator::GenerateFor(const Node* n) {
    const int top = NewLabel(), next = NewLabel(), end = NewLabel();
    PushLoopRecord(end, next);
    for (const Node* d = ForDeclarators(n); d; d = d->next) GenerateDeclaratorStore(d);
    if (ForInit(n)) {
        GenerateExpression(ForInit(n));
        Emit(Op::POP);
    }
    PlaceLabel(top);
    if (ForCondition(n)) GenerateConditionJump(ForCondition(n), false, end);
    GenerateStatement(ForBody(n));
    PlaceLabel(next);
    if (ForUpdate(n)) {
        GenerateExpression(ForUpdate(n));
        Emit(Op::POP);
    }
    EmitJump(Op::JMP, top);
    PlaceLabel(end);
    PopRecord();
}

// The stack holds (collection, index) around the body; FORINNEXT works on a copy of the pair.
void CodeGenerator::GenerateForIn(const Node* n) {
    const Node* declarator = ForInDeclarator(n);
    int32_t slot = -1;
    std::vector<std::string> names = std::move(pendingLabels_);
    pendingLabels_.clear();
    if (declarator) {
        scopes_.emplace_back();
        slot = NewLocalSlot();
        scopes_.back().symbols[TextString(DeclaratorName(declarator))] = {SymbolClass::Local, slot};
        if (DeclaratorInit(declarator)) {
            GenerateExpression(DeclaratorInit(declarator));
            Emit(Op::SETLOCAL, slot);
        }
    }
    GenerateExpression(ForInCollection(n));
    line_ = n->line;
    Emit(Op::DUP);
    Emit(Op::PUSH0);
    Emit(Op::SWAP);
    Emit(Op::PUSH0);
    const int top = NewLabel(), next = NewLabel(), exit = NewLabel(), end = NewLabel();
    pendingLabels_ = std::move(names);
    PushLoopRecord(end, next).ownValues = 2;
    PlaceLabel(top);
    Emit(Op::FORINNEXT);
    EmitJump(Op::JZI, exit);
    if (declarator) Emit(Op::SETLOCAL, slot);
    else GenerateStoreName(NameText(ForInTarget(n)));
    GenerateStatement(ForInBody(n));
    PlaceLabel(next);
    Emit(Op::PUSH1);
    Emit(Op::ADD);
    Emit(Op::DUP);
    Emit(Op::ROT, -3);
    Emit(Op::DUP);
    Emit(Op::ROT, 4);
    Emit(Op::SWAP);
    EmitJump(Op::JMP, top);
    PlaceLabel(exit);
    Emit(Op::POP);
    PlaceLabel(end);
    Emit(Op::DROPN, 2);
    PopRecord();
    if (declarator) scopes_.pop_back();
}

// Tests run in source order with `default` skipped; bodies follow each other, so a clause falls
// through into the next one in source order wherever the default sits.
void CodeGenerator::GenerateSwitch(const Node* n) {
    GenerateExpression(SwitchDiscriminant(n));
    std::vector<const Node*> clauses;
    for (const Node* c = SwitchCases(n); c; c = c->next) clauses.push_back(c);
    const int end = NewLabel();
    std::vector<int> tests(clauses.size()), bodies(clauses.size());
    int defaultBody = end;
    for (size_t i = 0; i < clauses.size(); ++i) {
        tests[i] = NewLabel();
        bodies[i] = NewLabel();
        if (!CaseTest(clauses[i])) defaultBody = bodies[i];
    }
    const auto nextTest = [&](size_t from) {
        for (size_t j = from; j < clauses.size(); ++j)
            if (CaseTest(clauses[j])) return tests[j];
        return defaultBody;
    };
    PushLoopRecord(end, -1).ownValues = 1;
    if (!clauses.empty() && !CaseTest(clauses[0])) EmitJump(Op::JMP, nextTest(0));
    for (size_t i = 0; i < clauses.size(); ++i) {
        line_ = clauses[i]->line;
        if (CaseTest(clauses[i])) {
            PlaceLabel(tests[i]);
            Emit(Op::DUP);
            GenerateExpression(CaseTest(clauses[i]));
            Emit(Op::STRICTEQ);
            EmitJump(Op::JZI, nextTest(i + 1));
        }
        PlaceLabel(bodies[i]);
        GenerateStatements(CaseStatements(clauses[i]));
        if (i + 1 < clauses.size()) EmitJump(Op::JMP, bodies[i + 1]);
    }
    PlaceLabel(end);
    Emit(Op::POP);
    PopRecord();
}

void CodeGenerator::GenerateWith(const Node* n) {
    GenerateExpression(WithObject(n));
    Emit(Op::WITHENTER);
    ++Innermost().openWiths;
    ++withDepth_;
    GenerateStatement(WithBody(n));
    --withDepth_;
    --Innermost().openWiths;
    Emit(Op::WITHLEAVE, 1);
}

// ---- Try ----

// Every way into the finally part brings two cells, (pending value, must-rethrow flag): normal
// completion and a handled exception (undefined, false), an unhandled one (exception, true). The
// same shape on every path lets break and continue inside the finally body drop exactly two.
void CodeGenerator::GenerateTry(const Node* n) {
    const int catchPart = NewLabel(), finallyPart = NewLabel(), end = NewLabel();
    EmitJump(Op::TRYENTER, catchPart);
    ++Innermost().openTries;
    GenerateStatement(TryBody(n));
    --Innermost().openTries;
    Emit(Op::TRYLEAVE, 1);
    Emit(Op::PUSHUNDEF);
    Emit(Op::PUSHFALSE);
    EmitJump(Op::JMP, finallyPart);
    PlaceLabel(catchPart);  // the thrown value is on the stack
    if (TryCatches(n)) GenerateCatchClauses(TryCatches(n), finallyPart);
    else Emit(Op::PUSHTRUE);
    PlaceLabel(finallyPart);
    if (TryFinally(n)) {
        Innermost().extraValues += 2;
        GenerateStatement(TryFinally(n));
        Innermost().extraValues -= 2;
    }
    EmitJump(Op::JZI, end);
    Emit(Op::THROW);
    PlaceLabel(end);
    Emit(Op::POP);
}

// One try record covers all clauses, so an exception inside a clause (condition or body) still
// reaches the finally part, replacing the caught value. A condition runs under its own record: a
// false condition or an exception in it passes to the next clause.
void CodeGenerator::GenerateCatchClauses(const Node* first, int finallyPart) {
    const int clauseFailed = NewLabel();
    EmitJump(Op::TRYENTER, clauseFailed);
    ++Innermost().openTries;
    for (const Node* clause = first; clause; clause = clause->next) {
        line_ = clause->line;
        const int nextClause = NewLabel(), conditionFailed = NewLabel();
        scopes_.emplace_back();
        const int32_t slot = NewLocalSlot();
        scopes_.back().symbols[TextString(CatchName(clause))] = {SymbolClass::Local, slot};
        Emit(Op::DUP);
        Emit(Op::SETLOCAL, slot);
        const Node* condition = CatchCondition(clause);
        if (condition) {
            EmitJump(Op::TRYENTER, conditionFailed);
            GenerateExpression(condition);
            Emit(Op::TRYLEAVE, 1);
            EmitJump(condition->staticType == StaticType::Boolean ? Op::JZI : Op::JF, nextClause);
        }
        Emit(Op::POP);  // handled: the caught value lives on in the clause's variable only
        GenerateStatement(CatchBody(clause));
        Emit(Op::TRYLEAVE, 1);
        Emit(Op::PUSHUNDEF);
        Emit(Op::PUSHFALSE);
        EmitJump(Op::JMP, finallyPart);
        if (condition) {
            PlaceLabel(conditionFailed);  // caught value, the condition's exception
            Emit(Op::POP);
        }
        PlaceLabel(nextClause);
        scopes_.pop_back();
    }
    --Innermost().openTries;
    Emit(Op::TRYLEAVE, 1);
    Emit(Op::PUSHTRUE);
    EmitJump(Op::JMP, finallyPart);
    PlaceLabel(clauseFailed);  // a stale cell, the clause's exception
    Emit(Op::PUTDOWN, 1);
    Emit(Op::PUSHTRUE);
}

// ---- Jumps ----

// The value is computed while the function's try records still stand, so a handler around the
// `return` receives what its expression throws. With-scopes need no closing: they die with the frame.
void CodeGenerator::GenerateReturn(const Node* n) {
    if (ReturnValue(n)) GenerateExpression(ReturnValue(n));
    else Emit(Op::PUSHUNDEF);
    line_ = n->line;
    int32_t tries = 0;
    for (const ControlRecord& r : records_) tries += r.openTries;
    EmitSplit(Op::TRYLEAVE, tries);
    Emit(Op::RET);
}

void CodeGenerator::GenerateJump(const Node* n, bool isBreak) {
    const char* message = isBreak ? "invalid break" : "invalid continue";
    size_t target = 0;  // the base record is never a target
    for (size_t i = records_.size() - 1; i > 0 && target == 0; --i) {
        const ControlRecord& r = records_[i];
        if (JumpLabel(n)) {
            if (std::find(r.names.begin(), r.names.end(), JumpLabel(n)->View()) == r.names.end()) continue;
            if (!isBreak && r.continueLabel < 0) break;  // `continue L` where L names no loop
            target = i;
        } else if (isBreak ? r.isLoopOrSwitch : r.continueLabel >= 0) {
            target = i;
        }
    }
    if (target == 0) {
        diagnostics_.Fail(n->line, "%s", message);
        return;
    }
    int32_t withs = 0, tries = 0, values = 0;
    for (size_t i = target; i < records_.size(); ++i) {
        withs += records_[i].openWiths;
        tries += records_[i].openTries;
        values += records_[i].extraValues + (i > target ? records_[i].ownValues : 0);
    }
    EmitSplit(Op::WITHLEAVE, withs);
    EmitSplit(Op::TRYLEAVE, tries);
    if (values == 1) Emit(Op::POP);
    else EmitSplit(Op::DROPN, values);
    const ControlRecord& r = records_[target];
    EmitJump(Op::JMP, isBreak ? r.breakLabel : r.continueLabel);
}

// A label on a loop or switch names that statement; on anything else it makes a record that only
// `break label` can target.
void CodeGenerator::GenerateLabeled(const Node* n) {
    std::vector<std::string> names;
    const Node* statement = n;
    for (; statement->kind == NodeKind::Labeled; statement = LabeledStatement(statement))
        names.push_back(TextString(LabeledLabel(statement)));
    if (IsLoopOrSwitch(statement->kind)) {
        pendingLabels_ = std::move(names);
        GenerateStatement(statement);
        return;
    }
    const int end = NewLabel();
    ControlRecord& r = records_.emplace_back();
    r.breakLabel = end;
    r.names = std::move(names);
    GenerateStatement(statement);
    PlaceLabel(end);
    PopRecord();
}

}  // namespace velmo::script::compiler::detail
