// Expression rules, lowest precedence first. A rule returns null when the input starts no operand and
// it consumed nothing; once a rule has consumed an operator, a missing operand is an error.

#include "script/compiler/parser_internal.h"

namespace velmo::script::compiler::detail {
namespace {

struct BinaryLevel {
    NodeKind kind;
    int32_t operators[4];  // 0 ends a shorter list
};

// Levels 4-13 of the precedence table, loosest first; every one is left-associative.
constexpr BinaryLevel kBinaryLevels[] = {
    {NodeKind::Logical, {Code(Tok::OrOr)}},
    {NodeKind::Logical, {Code(Tok::AndAnd)}},
    {NodeKind::Bitwise, {'|'}},
    {NodeKind::Bitwise, {'^'}},
    {NodeKind::Bitwise, {'&'}},
    {NodeKind::Equality, {Code(Tok::Equal), Code(Tok::NotEqual), Code(Tok::StrictEqual), Code(Tok::StrictNotEqual)}},
    {NodeKind::Relational, {'<', '>', Code(Tok::LessEqual), Code(Tok::GreaterEqual)}},
    {NodeKind::Shift, {Code(Tok::ShiftLeft), Code(Tok::ShiftRight), Code(Tok::ShiftRightUnsigned)}},
    {NodeKind::Additive, {'+', '-'}},
    {NodeKind::Multiplicative, {'*', '/', '%'}},
};
constexpr int kLevelCount = static_cast<int>(std::size(kBinaryLevels));

// The level an operator token binds at, or -1 when it is no binary operator.
int LevelOf(int32_t code) {
    for (int level = 0; level < kLevelCount; ++level)
        for (const int32_t op : kBinaryLevels[level].operators)
            if (op != 0 && op == code) return level;
    return -1;
}

bool IsAssignOperator(int32_t code) {
    return code == '=' || (code >= Code(Tok::StarAssign) && code <= Code(Tok::ShiftLeftAssign)) ||
           code == Code(Tok::ShiftRightAssign) || code == Code(Tok::ShiftRightUnsignedAssign);
}

bool IsUnaryOperator(int32_t code) {
    switch (code) {
        case Code(Tok::Delete):
        case Code(Tok::Void):
        case Code(Tok::Typeof):
        case Code(Tok::PlusPlus):
        case Code(Tok::MinusMinus):
        case '+':
        case '-':
        case '~':
        case '!': return true;
        default: return false;
    }
}

}  // namespace

// expression: assignment {"," assignment}
Node* Parser::ParseExpression() {
    Node* left = ParseAssignment();
    if (!left) return nullptr;
    while (Accept(',')) {
        Node* comma = NewNode(NodeKind::Comma, left->line);
        CommaLeft(comma) = left;
        CommaRight(comma) = ParseAssignment();
        if (!CommaRight(comma)) Fail("invalid expression");
        left = comma;
    }
    return left;
}

// assignment: conditional [assign-op assignment]   (only a call/member/primary may be assigned to)
//           | left-hand-side "=" function-definition
Node* Parser::ParseAssignment() {
    Nest nest(*this);
    Node* left = ParseConditional();
    if (!left || left != lastLeftHandSide_ || !IsAssignOperator(Peek().code)) return left;
    const Token op = Advance();
    Node* n = NewNode(NodeKind::Assign, left->line);
    AssignOperator(n) = op.code;
    AssignTarget(n) = left;
    if (op.Is('=') && PeekIs(Tok::Function)) {
        const Node* fn = ParseFunction();
        AssignValue(n) = NameNode(FunctionInternalName(fn), fn->line);
    } else {
        AssignValue(n) = ParseAssignment();
        if (!AssignValue(n)) Fail("invalid expression");
    }
    return n;
}

// conditional: logical-or ["?" assignment ":" assignment]
Node* Parser::ParseConditional() {
    Node* condition = ParseBinary(0);
    if (!condition || !Accept('?')) return condition;
    Node* n = NewNode(NodeKind::Conditional, condition->line);
    ConditionalCondition(n) = condition;
    ConditionalThen(n) = ParseAssignment();
    if (!ConditionalThen(n)) Fail("invalid expression");
    Expect(':', "missing : in conditional expression");
    ConditionalOtherwise(n) = ParseAssignment();
    if (!ConditionalOtherwise(n)) Fail("invalid expression");
    return n;
}

// binary(level): binary(level + 1) {operator-of-level binary(level + 1)}, bottoming out in unary
Node* Parser::ParseBinary(int level) {
    Node* left = level == kLevelCount ? ParseUnary() : ParseBinary(level + 1);
    if (!left || level == kLevelCount) return left;
    while (LevelOf(Peek().code) == level) {
        const Token op = Advance();
        Node* n = NewNode(kBinaryLevels[level].kind, left->line);
        BinaryOperator(n) = op.code;
        BinaryLeft(n) = left;
        BinaryRight(n) = ParseBinary(level + 1);
        if (!BinaryRight(n)) Fail("invalid expression");
        if (n->kind == NodeKind::Equality || n->kind == NodeKind::Relational ||
            (n->kind == NodeKind::Logical && left->staticType == StaticType::Boolean &&
             BinaryRight(n)->staticType == StaticType::Boolean))
            n->staticType = StaticType::Boolean;
        left = n;
    }
    return left;
}

// unary: ("delete" | "void" | "typeof" | "++" | "--" | "+" | "-" | "~" | "!") unary | postfix
Node* Parser::ParseUnary() {
    if (!IsUnaryOperator(Peek().code)) return ParsePostfix();
    Nest nest(*this);
    const Token op = Advance();
    Node* n = NewNode(NodeKind::Unary, op.line);
    UnaryOperator(n) = op.code;
    UnaryOperand(n) = ParseUnary();
    if (!UnaryOperand(n)) Fail("invalid expression");
    return n;
}

// postfix: call ["++" | "--" on the operand's last line]
Node* Parser::ParsePostfix() {
    Node* operand = ParseCall();
    lastLeftHandSide_ = operand;
    if (!operand) return nullptr;
    const Token& t = Peek();
    // On a later line the operator starts the next statement (`x` LF `++y`).
    if ((!t.Is(Tok::PlusPlus) && !t.Is(Tok::MinusMinus)) || t.line != currentLine_) return operand;
    Node* n = NewNode(NodeKind::PostfixUpdate, operand->line);
    PostfixUpdateOperator(n) = Advance().code;
    PostfixUpdateOperand(n) = operand;
    return n;
}

// call: member [arguments {arguments | "[" expression "]" | "." identifier}]
Node* Parser::ParseCall() {
    Node* callee = ParseMember();
    if (!callee || !PeekIs('(')) return callee;
    while (PeekIs('(') || PeekIs('[') || PeekIs('.')) {
        if (!PeekIs('(')) {
            callee = ParseSuffix(callee);
            continue;
        }
        Node* call = NewNode(NodeKind::Call, callee->line);
        CallCallee(call) = callee;
        const NodeList arguments = ParseArguments();
        CallArguments(call) = arguments.head;
        CallCount(call) = arguments.count;
        callee = call;
    }
    return callee;
}

// member: (primary | "new" member [arguments]) {"[" expression "]" | "." identifier}
Node* Parser::ParseMember() {
    Node* object;
    if (PeekIs(Tok::New)) {
        Nest nest(*this);
        object = NewNode(NodeKind::New, Advance().line);
        NewConstructor(object) = ParseMember();
        if (!NewConstructor(object)) Fail("invalid expression");
        if (PeekIs('(')) {
            const NodeList arguments = ParseArguments();
            NewArguments(object) = arguments.head;
            NewCount(object) = arguments.count;
        }
    } else {
        object = ParsePrimary();
        if (!object) return nullptr;
    }
    while (PeekIs('[') || PeekIs('.')) object = ParseSuffix(object);
    return object;
}

// suffix: "[" expression "]" | "." identifier
Node* Parser::ParseSuffix(Node* object) {
    if (Accept('[')) {
        Node* n = NewNode(NodeKind::Index, object->line);
        IndexObject(n) = object;
        IndexKey(n) = ParseExpression();
        if (!IndexKey(n)) Fail("invalid expression");
        Expect(']', "missing ] in index expression");
        return n;
    }
    Advance();  // the "."
    if (!PeekIs(Tok::Identifier)) Fail("illegal identifier");
    Node* n = NewNode(NodeKind::Member, object->line);
    MemberObject(n) = object;
    MemberName(n) = CopyText(Advance().text);
    return n;
}

// arguments: "(" [assignment {"," assignment} [","]] ")"   (linked last argument first)
NodeList Parser::ParseArguments() {
    Advance();  // the "("
    NodeList arguments;
    while (!Accept(')')) {
        Node* argument = ParseAssignment();
        if (!argument) Fail("invalid expression");
        arguments.Prepend(argument);
        if (Accept(',')) continue;
        if (!PeekIs(')')) Fail("missing ) after argument list");
    }
    return arguments;
}

// primary: "this" | identifier | integer | float | string | "null" | "true" | "false" | "undefined"
//        | "(" expression ")" | regular-expression | array-literal | object-literal
Node* Parser::ParsePrimary() {
    const Token& t = Peek();
    switch (t.code) {
        case Code(Tok::This): return NewNode(NodeKind::This, Advance().line);
        case Code(Tok::Null): return NewNode(NodeKind::NullLiteral, Advance().line, StaticType::Null);
        case Code(Tok::True): return NewNode(NodeKind::TrueLiteral, Advance().line, StaticType::Boolean);
        case Code(Tok::False): return NewNode(NodeKind::FalseLiteral, Advance().line, StaticType::Boolean);
        case Code(Tok::Undefined): return NewNode(NodeKind::UndefinedLiteral, Advance().line);
        case Code(Tok::Identifier): {
            const Token name = Advance();
            return NameNode(CopyText(name.text), name.line);
        }
        case Code(Tok::Integer): {
            const Token literal = Advance();
            Node* n = NewNode(NodeKind::IntegerLiteral, literal.line, StaticType::Integer);
            IntegerLiteralValue(n) = literal.integer;
            return n;
        }
        case Code(Tok::Float): {
            const Token literal = Advance();
            Node* n = NewNode(NodeKind::FloatLiteral, literal.line, StaticType::Float);
            FloatLiteralValue(n) = literal.number;
            return n;
        }
        case Code(Tok::String): {
            const Token literal = Advance();
            Node* n = NewNode(NodeKind::StringLiteral, literal.line, StaticType::String);
            StringLiteralText(n) = CopyText(literal.text);
            return n;
        }
        case '(': {
            Advance();
            Node* inner = ParseExpression();  // no node for the parentheses
            if (!inner || !Accept(')')) Fail("invalid expression");
            return inner;
        }
        case '/': return ParseRegExp(Advance().line);
        case '[': return ParseArrayLiteral();
        case '{': return ParseObjectLiteral();
        default: return nullptr;
    }
}

// regular-expression: "/" pattern "/" {"g" | "i" | "m"}   (the lexer scans the pattern on request)
Node* Parser::ParseRegExp(int32_t line) {
    const std::optional<std::string_view> pattern = lexer_.ScanRegExpBody();
    if (!pattern || diagnostics_.Failed()) throw ParseAbort{};
    auto* record = tree_.arena.New<RegExpRecord>();
    record->pattern = CopyText(*pattern);
    for (;;) {
        const char c = source_.GetChar();
        const int32_t flag = c == 'g' ? kRegExpGlobal : c == 'i' ? kRegExpIgnoreCase : c == 'm' ? kRegExpMultiline : 0;
        if (flag == 0) {
            source_.UngetChar(c);
            break;
        }
        record->flags |= flag;
    }
    Node* n = NewNode(NodeKind::RegExpLiteral, line, StaticType::RegExp);
    RegExpLiteralValue(n) = record;
    return n;
}

// array-literal: "[" [element] {"," [element]} "]"   (a missing element is a hole; linked last first)
Node* Parser::ParseArrayLiteral() {
    Node* array = NewNode(NodeKind::ArrayLiteral, Advance().line, StaticType::Array);
    NodeList elements;
    bool elementRead = false, afterComma = false;
    for (;;) {
        if (Accept(']')) {
            // After the last comma one more hole: `[1,]` has two elements, `[,]` two holes.
            if (afterComma && elements.count > 0) elements.Prepend(NewNode(NodeKind::Empty, currentLine_));
            break;
        }
        if (Accept(',')) {
            if (!elementRead) elements.Prepend(NewNode(NodeKind::Empty, currentLine_));
            elementRead = false;
            afterComma = true;
            continue;
        }
        Node* element = elementRead ? nullptr : ParseAssignment();
        if (!element) Fail("missing ] after element list");
        elements.Prepend(element);
        elementRead = true;
        afterComma = false;
    }
    ArrayLiteralElements(array) = elements.head;
    ArrayLiteralCount(array) = elements.count;
    return array;
}

// object-literal: "{" [property {"," property} [","]] "}"   property: key ":" assignment
//                 key: identifier | string | integer   (linked last property first)
Node* Parser::ParseObjectLiteral() {
    Node* object = NewNode(NodeKind::ObjectLiteral, Advance().line, StaticType::Object);
    NodeList properties;
    while (!Accept('}')) {
        const Token key = Peek();
        Node* property = NewNode(NodeKind::Empty, key.line);
        PropertyKeyKind(property) = key.code;
        if (key.Is(Tok::Identifier) || key.Is(Tok::String)) PropertyKeyText(property) = CopyText(key.text);
        else if (key.Is(Tok::Integer)) PropertyKeyInteger(property) = key.integer;
        else Fail("invalid property id");
        Advance();
        Expect(':', "missing : after property id");
        PropertyValue(property) = ParseAssignment();
        if (!PropertyValue(property)) Fail("invalid expression");
        properties.Prepend(property);
        if (!Accept(',') && !PeekIs('}')) Fail("missing } after property list");
    }
    ObjectLiteralProperties(object) = properties.head;
    ObjectLiteralCount(object) = properties.count;
    return object;
}

}  // namespace velmo::script::compiler::detail
