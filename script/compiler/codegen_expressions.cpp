// Expressions: every expression leaves exactly one value on the stack. Assignment targets are
// "references": a name (nothing on the stack), a member (the object) or an index (object and key).
// Compound assignments and updates evaluate the reference once and keep it below the value with
// DUP/ROT shuffles, so `a[i++] += 1` increments i once.

#include "script/compiler/codegen.h"
#include "script/compiler/tokens.h"

namespace velmo::script::compiler::detail {

namespace {

constexpr int32_t kNoReference = -1;

// The instruction of a binary or compound-assignment operator token, or NOP when it is neither.
Op OperatorInstruction(int64_t code) {
    switch (code) {
    case '*': case Code(Tok::StarAssign): return Op::MUL;
    case '/': case Code(Tok::SlashAssign): return Op::DIV;
    case '%': case Code(Tok::PercentAssign): return Op::MOD;
    case '+': case Code(Tok::PlusAssign): return Op::ADD;
    case '-': case Code(Tok::MinusAssign): return Op::SUB;
    case '&': case Code(Tok::AndAssign): return Op::BITAND;
    case '|': case Code(Tok::OrAssign): return Op::BITOR;
    case '^': case Code(Tok::XorAssign): return Op::BITXOR;
    case Code(Tok::ShiftLeft): case Code(Tok::ShiftLeftAssign): return Op::SHL;
    case Code(Tok::ShiftRight): case Code(Tok::ShiftRightAssign): return Op::SHR;
    case Code(Tok::ShiftRightUnsigned): case Code(Tok::ShiftRightUnsignedAssign): return Op::USHR;
    case '<': return Op::LT;
    case '>': return Op::GT;
    case Code(Tok::LessEqual): return Op::LE;
    case Code(Tok::GreaterEqual): return Op::GE;
    case Code(Tok::Equal): return Op::EQ;
    case Code(Tok::NotEqual): return Op::NE;
    case Code(Tok::StrictEqual): return Op::STRICTEQ;
    case Code(Tok::StrictNotEqual): return Op::STRICTNE;
    default: return Op::NOP;
    }
}

std::string TextString(const Text* text) { return std::string(text->View()); }

}  // namespace

void CodeGenerator::GenerateExpression(const Node* n) {
    line_ = n->line;
    switch (n->kind) {
    case NodeKind::Comma:
        GenerateExpression(n->a.node);
        Emit(Op::POP);
        GenerateExpression(n->b.node);
        break;
    case NodeKind::Assign: GenerateAssign(n); break;
    case NodeKind::Conditional: GenerateConditional(n); break;
    case NodeKind::Logical: GenerateLogical(n); break;
    case NodeKind::Bitwise: case NodeKind::Equality: case NodeKind::Relational: case NodeKind::Shift:
    case NodeKind::Multiplicative: case NodeKind::Additive:
        GenerateBinary(n);
        break;
    case NodeKind::This: Emit(Op::GETARG, 0); break;
    case NodeKind::NullLiteral: Emit(Op::PUSHNULL); break;
    case NodeKind::TrueLiteral: Emit(Op::PUSHTRUE); break;
    case NodeKind::FalseLiteral: Emit(Op::PUSHFALSE); break;
    case NodeKind::UndefinedLiteral: Emit(Op::PUSHUNDEF); break;
    case NodeKind::Name: GenerateLoadName(n->a.text); break;
    case NodeKind::IntegerLiteral: EmitInteger(n->a.number); break;
    case NodeKind::FloatLiteral: EmitConstant(MakeConstant(Constant::Kind::Float, 0, n->a.real)); break;
    case NodeKind::StringLiteral:
        EmitConstant(MakeConstant(Constant::Kind::String, 0, 0, TextString(n->a.text)));
        break;
    case NodeKind::RegExpLiteral:
        EmitConstant(MakeConstant(Constant::Kind::RegExp, 0, 0, TextString(n->a.regexp->pattern),
                                  static_cast<uint8_t>(n->a.regexp->flags)));
        break;
    case NodeKind::Call: GenerateCall(n); break;
    case NodeKind::Member:
        GenerateExpression(n->b.node);
        EmitName(Op::GETPROP, n->a.text);
        break;
    case NodeKind::Index:
        GenerateExpression(n->a.node);
        GenerateExpression(n->b.node);
        Emit(Op::GETELEM);
        break;
    case NodeKind::New: GenerateNew(n); break;
    case NodeKind::PostfixUpdate: GenerateUpdate(n->b.node, n->a.number, false); break;
    case NodeKind::Unary: GenerateUnary(n); break;
    case NodeKind::ArrayLiteral: GenerateArrayLiteral(n); break;
    case NodeKind::ObjectLiteral: GenerateObjectLiteral(n); break;
    default: Emit(Op::PUSHUNDEF); break;  // statements never reach here; keep the stack balanced
    }
}

// ---- Assignments and updates ----

// Pushes what a store into `target` needs besides the value; returns how many cells that is.
int32_t CodeGenerator::GenerateReferencePrefix(const Node* target) {
    switch (target->kind) {
    case NodeKind::Name: return 0;
    case NodeKind::Member: GenerateExpression(target->b.node); return 1;
    case NodeKind::Index:
        GenerateExpression(target->a.node);
        GenerateExpression(target->b.node);
        return 2;
    default: return kNoReference;
    }
}

// Pushes the target's current value above its reference cells, which stay for the store.
void CodeGenerator::GenerateLoadKeepingReference(const Node* target, int32_t depth) {
    switch (depth) {
    case 0: GenerateLoadName(target->a.text); break;
    case 1:
        Emit(Op::DUP);
        EmitName(Op::GETPROP, target->a.text);
        break;
    case 2:  // object, key -> object, key, object, key
        Emit(Op::DUP);
        Emit(Op::ROT, -3);
        Emit(Op::DUP);
        Emit(Op::ROT, 4);
        Emit(Op::SWAP);
        Emit(Op::GETELEM);
        break;
    default: GenerateExpression(target); break;
    }
}

// Stack: reference cells, value -> value, with the value stored into the target.
void CodeGenerator::GenerateStoreKeepingValue(const Node* target, int32_t depth) {
    switch (depth) {
    case 0:
        Emit(Op::DUP);
        GenerateStoreName(target->a.text);
        break;
    case 1:  // object, v -> v, v, object
        Emit(Op::DUP);
        Emit(Op::ROT, -3);
        EmitName(Op::SETPROP, target->a.text);
        break;
    case 2:  // object, key, v -> v, v, object, key
        Emit(Op::DUP);
        Emit(Op::ROT, 4);
        Emit(Op::ROT, 4);
        Emit(Op::SETELEM);
        break;
    default: break;  // not a reference: the value is the result, nothing is stored
    }
}

void CodeGenerator::GenerateAssign(const Node* n) {
    const Node* target = n->c.node;
    if (n->a.number == '=') {
        GenerateExpression(n->d.node);
        Emit(Op::DUP);
        line_ = n->line;
        const int32_t depth = GenerateReferencePrefix(target);
        if (depth == 0) GenerateStoreName(target->a.text);
        else if (depth == 1) EmitName(Op::SETPROP, target->a.text);
        else if (depth == 2) Emit(Op::SETELEM);
        else {
            GenerateExpression(target);
            Emit(Op::DROPN, 2);  // not a reference: drop its value and the copy meant for the store
        }
        return;
    }
    const int32_t depth = GenerateReferencePrefix(target);
    GenerateLoadKeepingReference(target, depth);
    GenerateExpression(n->d.node);
    line_ = n->line;
    Emit(OperatorInstruction(n->a.number));
    GenerateStoreKeepingValue(target, depth);
}

// Prefix updates yield the new value, postfix ones the old value.
void CodeGenerator::GenerateUpdate(const Node* target, int64_t op, bool isPrefix) {
    const Op arithmetic = op == Code(Tok::PlusPlus) ? Op::ADD : Op::SUB;
    const int32_t depth = GenerateReferencePrefix(target);
    GenerateLoadKeepingReference(target, depth);
    if (isPrefix || depth == kNoReference) {
        Emit(Op::PUSH1);
        Emit(arithmetic);
        GenerateStoreKeepingValue(target, depth);
        return;
    }
    Emit(Op::DUP);
    if (depth > 0) Emit(Op::ROT, depth + 2);  // old value below the reference cells
    Emit(Op::PUSH1);
    Emit(arithmetic);
    if (depth == 0) GenerateStoreName(target->a.text);
    else if (depth == 1) {
        Emit(Op::SWAP);
        EmitName(Op::SETPROP, target->a.text);
    } else {
        Emit(Op::ROT, 3);
        Emit(Op::SETELEM);
    }
}

// ---- Operators ----

void CodeGenerator::GenerateBinary(const Node* n) {
    GenerateExpression(n->c.node);
    GenerateExpression(n->d.node);
    line_ = n->line;
    Emit(OperatorInstruction(n->a.number));
}

void CodeGenerator::GenerateConditionJump(const Node* condition, bool jumpWhen, int label) {
    GenerateExpression(condition);
    const bool isBoolean = condition->staticType == StaticType::Boolean;
    if (jumpWhen) EmitJump(isBoolean ? Op::JNZI : Op::JT, label);
    else EmitJump(isBoolean ? Op::JZI : Op::JF, label);
}

void CodeGenerator::GenerateLogical(const Node* n) {
    const int end = NewLabel();
    GenerateExpression(n->c.node);
    Emit(Op::DUP);
    const bool isBoolean = n->c.node->staticType == StaticType::Boolean;
    if (n->a.number == Code(Tok::AndAnd)) EmitJump(isBoolean ? Op::JZI : Op::JF, end);
    else EmitJump(isBoolean ? Op::JNZI : Op::JT, end);
    Emit(Op::POP);
    GenerateExpression(n->d.node);
    PlaceLabel(end);
}

void CodeGenerator::GenerateConditional(const Node* n) {
    const int elsePart = NewLabel(), end = NewLabel();
    GenerateConditionJump(n->a.node, false, elsePart);
    GenerateExpression(n->b.node);
    EmitJump(Op::JMP, end);
    PlaceLabel(elsePart);
    GenerateExpression(n->c.node);
    PlaceLabel(end);
}

void CodeGenerator::GenerateUnary(const Node* n) {
    const int64_t op = n->a.number;
    if (op == Code(Tok::PlusPlus) || op == Code(Tok::MinusMinus)) return GenerateUpdate(n->b.node, op, true);
    if (op == Code(Tok::Delete)) return GenerateDelete(n->b.node);
    GenerateExpression(n->b.node);
    line_ = n->line;
    switch (op) {
    case '!': Emit(Op::NOT); break;
    case '-': Emit(Op::NEG); break;
    case '~':
        EmitConstant(MakeConstant(Constant::Kind::Integer, -1));
        Emit(Op::BITXOR);
        break;
    case '+':  // x - 0 converts through ToNumber and keeps -0
        Emit(Op::PUSH0);
        Emit(Op::SUB);
        break;
    case Code(Tok::Typeof): Emit(Op::TYPEOF); break;
    case Code(Tok::Void):
        Emit(Op::POP);
        Emit(Op::PUSHUNDEF);
        break;
    default: break;
    }
}

void CodeGenerator::GenerateDelete(const Node* operand) {
    switch (operand->kind) {
    case NodeKind::Member:
        GenerateExpression(operand->b.node);
        EmitName(Op::DELPROP, operand->a.text);
        return;
    case NodeKind::Index:
        GenerateExpression(operand->a.node);
        GenerateExpression(operand->b.node);
        Emit(Op::DELELEM);
        return;
    case NodeKind::Name: {
        Emit(Op::PUSHNULL);
        const Symbol* s = Lookup(TextString(operand->a.text));
        if (s && s->symbolClass == SymbolClass::Argument) Emit(Op::DELARG, s->slot);
        else if (s) Emit(Op::DELLOCAL, s->slot);
        else EmitName(InsideWith() ? Op::DELNAMEW : Op::DELGLOBAL, operand->a.text);
        return;
    }
    default:
        GenerateExpression(operand);
        Emit(Op::POP);
        Emit(Op::PUSHUNDEF);
        return;
    }
}

// ---- Calls, construction and literals ----

// The list holds the last argument first, so list order is push order. Pushes the count too.
int32_t CodeGenerator::GenerateArguments(const Node* first) {
    int32_t count = 0;
    for (const Node* a = first; a; a = a->next, ++count) {
        if (a->kind == NodeKind::Empty) Emit(Op::PUSHUNDEF);
        else GenerateExpression(a);
    }
    static constexpr Op kSmall[] = {Op::PUSH0, Op::PUSH1, Op::PUSH2, Op::PUSH3};
    if (count <= 3) Emit(kSmall[count]);
    else Emit(Op::PUSHINT, count);
    return count;
}

void CodeGenerator::GenerateCall(const Node* n) {
    const int32_t count = GenerateArguments(n->c.node);
    const Node* callee = n->b.node;
    line_ = n->line;
    if (callee->kind == NodeKind::Member) {
        GenerateExpression(callee->b.node);
        EmitName(Op::CALLMETHOD, callee->a.text);
    } else if (callee->kind == NodeKind::Name && InsideWith() && !Lookup(TextString(callee->a.text))) {
        EmitName(Op::GETVARW, callee->a.text);
        EmitName(Op::CALLNAME, callee->a.text);
    } else {
        GenerateExpression(callee);
        Emit(Op::CALL);
    }
    Emit(Op::PUTDOWN, count + 2);
}

void CodeGenerator::GenerateNew(const Node* n) {
    const int32_t count = GenerateArguments(n->c.node);
    GenerateExpression(n->b.node);
    line_ = n->line;
    Emit(Op::NEW);
    Emit(Op::SWAP);
    Emit(Op::PUTDOWN, count + 2);
}

// The negative count tells the Array constructor that the values are elements, not a length.
void CodeGenerator::GenerateArrayLiteral(const Node* n) {
    int32_t count = 0;
    for (const Node* e = n->b.node; e; e = e->next, ++count) {
        if (e->kind == NodeKind::Empty) Emit(Op::PUSHUNDEF);
        else GenerateExpression(e);
    }
    line_ = n->line;
    Emit(Op::PUSHINT, -static_cast<int64_t>(count));
    EmitName(Op::GETGLOBAL, "Array");
    Emit(Op::NEW);
    Emit(Op::SWAP);
    Emit(Op::PUTDOWN, count + 2);
}

void CodeGenerator::GenerateObjectLiteral(const Node* n) {
    Emit(Op::PUSH0);
    EmitName(Op::GETGLOBAL, "Object");
    Emit(Op::NEW);
    Emit(Op::SWAP);
    Emit(Op::PUTDOWN, 2);
    for (const Node* p = n->b.node; p; p = p->next) {
        Emit(Op::DUP);
        GenerateExpression(p->c.node);
        line_ = p->line;
        Emit(Op::SWAP);
        if (p->a.number == Code(Tok::Identifier)) {
            EmitName(Op::SETPROP, p->b.text);
            continue;
        }
        if (p->a.number == Code(Tok::String))
            EmitConstant(MakeConstant(Constant::Kind::String, 0, 0, TextString(p->b.text)));
        else EmitInteger(p->b.number);
        Emit(Op::SETELEM);
    }
}

}  // namespace velmo::script::compiler::detail
