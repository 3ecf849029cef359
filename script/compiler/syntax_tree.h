#pragma once
// The syntax tree of one compilation: nodes of one layout (kind, static type, line, operands a-f, next),
// all made in the compilation's arena and freed with it at once. Kind numbers are shared with the code
// generator's dispatch and never change; kinds 22-25 and 51 are never created. What each operand
// holds is named once, in VELMO_NODE_ROLES; everything else reads and writes operands through it.

#include "platform/check.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string_view>
#include <type_traits>
#include <vector>

namespace velmo::script::compiler {

// VELMO_NODE_KIND(Name, number): the node kinds and the number the code generator dispatches on.
// clang-format off
#define VELMO_NODE_KINDS(X)                                                                              \
    X(Comma, 0) X(Assign, 1) X(Conditional, 2) X(Logical, 3) X(Bitwise, 4) X(Equality, 5)                \
    X(Relational, 6) X(Shift, 7) X(Multiplicative, 8) X(Additive, 9) X(This, 10) X(NullLiteral, 11)      \
    X(TrueLiteral, 12) X(FalseLiteral, 13) X(Name, 14) X(FloatLiteral, 15) X(IntegerLiteral, 16)         \
    X(StringLiteral, 17) X(Call, 18) X(Member, 19) X(Index, 20) X(New, 21) X(PostfixUpdate, 26)          \
    X(Unary, 27) X(RegExpLiteral, 28) X(ArrayLiteral, 29) X(ObjectLiteral, 30) X(Block, 31)              \
    X(NestedFunctionBinding, 32) X(VarStatement, 33) X(Empty, 34) X(ExpressionStatement, 35) X(If, 36)   \
    X(While, 37) X(For, 38) X(ForIn, 39) X(Continue, 40) X(Break, 41) X(Return, 42) X(With, 43)          \
    X(Try, 44) X(Throw, 45) X(DoWhile, 46) X(Switch, 47) X(Labeled, 48) X(Function, 49)                  \
    X(UndefinedLiteral, 50) X(ImportedFunction, 52)
// clang-format on

enum class NodeKind : int32_t {
#define VELMO_NODE_ENUM(name, number) name = number,
    VELMO_NODE_KINDS(VELMO_NODE_ENUM)
#undef VELMO_NODE_ENUM
};

// What the parser knows of a node's value; the numbers match the runtime's value tags.
enum class StaticType : int32_t {
    Unknown = 0,
    Null = 1,
    Boolean = 2,
    Integer = 3,
    String = 4,
    Float = 5,
    Array = 6,
    Object = 7,
    RegExp = 11,
};

// Bytes of a token text with their length: a string literal may hold NUL bytes.
struct Text {
    const char* bytes;
    uint32_t size;
    std::string_view View() const { return {bytes, size}; }
};

// Flags of a regular-expression literal, as the runtime reads them.
constexpr int32_t kRegExpGlobal = 1, kRegExpIgnoreCase = 2, kRegExpMultiline = 4;

struct RegExpRecord {
    const Text* pattern;
    int32_t flags;
};

struct Node;

// One operand slot: which member is live follows from the node's shape (VELMO_NODE_ROLES below).
// Integer and float literals keep their value whole in `a`.
union Operand {
    Node* node;
    const Text* text;
    const RegExpRecord* regexp;
    int64_t number;  // operator token codes, counts, flags and lines
    double real;
};

struct Node {
    NodeKind kind;
    StaticType staticType;
    int32_t line;
    Operand a, b, c, d, e, f;
    Node* next;  // the following element when the node sits in a list
};
static_assert(std::is_trivially_destructible_v<Node> && std::is_standard_layout_v<Node>);

// ---- Shapes and roles ----

// The kinds whose operands nothing else shares; each is its own shape, of the same name.
// clang-format off
#define VELMO_KIND_SHAPES(X)                                                                             \
    X(Comma) X(Assign) X(Conditional) X(Name) X(StringLiteral) X(FloatLiteral) X(IntegerLiteral) X(Call) \
    X(Member) X(Index) X(New) X(PostfixUpdate) X(Unary) X(RegExpLiteral) X(ArrayLiteral)                 \
    X(ObjectLiteral) X(Block) X(NestedFunctionBinding) X(VarStatement) X(ExpressionStatement) X(If)      \
    X(While) X(DoWhile) X(For) X(ForIn) X(Return) X(Throw) X(With) X(Try) X(Switch) X(Labeled)           \
    X(Function) X(ImportedFunction)
// clang-format on

// How a node's operand slots are used. Binary covers the seven binary operator kinds, Jump
// `continue` and `break`. The records come last: they are Empty nodes whose shape follows from
// the list that holds them (declarators, object literal properties, switch cases, catch clauses).
enum class NodeShape : uint8_t {
    None,  // no operands: literals without a value, `this`, Empty statements, array holes
#define VELMO_SHAPE_ENUM(name) name,
    VELMO_KIND_SHAPES(VELMO_SHAPE_ENUM)
#undef VELMO_SHAPE_ENUM
        Binary,
    Jump,
    Declarator,
    Property,
    Case,
    Catch,
};

constexpr NodeShape ShapeOf(NodeKind kind) {
    switch (kind) {
#define VELMO_SHAPE_CASE(name) \
    case NodeKind::name: return NodeShape::name;
        VELMO_KIND_SHAPES(VELMO_SHAPE_CASE)
#undef VELMO_SHAPE_CASE
        case NodeKind::Logical:
        case NodeKind::Bitwise:
        case NodeKind::Equality:
        case NodeKind::Relational:
        case NodeKind::Shift:
        case NodeKind::Multiplicative:
        case NodeKind::Additive: return NodeShape::Binary;
        case NodeKind::Continue:
        case NodeKind::Break: return NodeShape::Jump;
        default: return NodeShape::None;
    }
}

constexpr bool HasShape(NodeKind kind, NodeShape shape) {
    return shape >= NodeShape::Declarator ? kind == NodeKind::Empty : ShapeOf(kind) == shape;
}

// VELMO_NODE_ROLE(Shape, Role, slot, member, dumpType, dumpName): in a node of `Shape`, operand
// `slot` holds `Role` as its `member`. Each row makes the accessor ShapeRole(n), a reference into
// the slot (the parser assigns through it) that asserts the shape in debug builds. Lists are the
// head of a chain through `next`. The last two columns drive the tree dump, which prints a shape's
// roles in the order listed here: n child node, l child list (the name is the elements' role), t
// text, o operator token, i number, r double, x regular expression, k property key (text, or the
// integer when the key kind is an integer token), - not printed.
// clang-format off
#define VELMO_NODE_ROLES(X)                                                                              \
    X(Comma, Left, a, node, 'n', "left")                                                                 \
    X(Comma, Right, b, node, 'n', "right")                                                               \
    X(Assign, Operator, a, number, 'o', "op")   /* '=' or a compound assignment's token */               \
    X(Assign, Target, c, node, 'n', "target")                                                            \
    X(Assign, Value, d, node, 'n', "value")                                                              \
    X(Conditional, Condition, a, node, 'n', "condition")                                                 \
    X(Conditional, Then, b, node, 'n', "then")                                                           \
    X(Conditional, Otherwise, c, node, 'n', "else")                                                      \
    X(Binary, Operator, a, number, 'o', "op")                                                            \
    X(Binary, Left, c, node, 'n', "left")                                                                \
    X(Binary, Right, d, node, 'n', "right")                                                              \
    X(Name, Text, a, text, 't', "text")                                                                  \
    X(StringLiteral, Text, a, text, 't', "text")                                                         \
    X(FloatLiteral, Value, a, real, 'r', "value")                                                        \
    X(IntegerLiteral, Value, a, number, 'i', "value")                                                    \
    X(Call, Count, a, number, 'i', "count")                                                              \
    X(Call, Callee, b, node, 'n', "callee")                                                              \
    X(Call, Arguments, c, node, 'l', "argument")  /* last argument first */                              \
    X(Member, Name, a, text, 't', "name")                                                                \
    X(Member, Object, b, node, 'n', "object")                                                            \
    X(Index, Object, a, node, 'n', "object")                                                             \
    X(Index, Key, b, node, 'n', "index")                                                                 \
    X(New, Count, a, number, 'i', "count")                                                               \
    X(New, Constructor, b, node, 'n', "constructor")                                                     \
    X(New, Arguments, c, node, 'l', "argument")  /* last argument first */                               \
    X(PostfixUpdate, Operator, a, number, 'o', "op")                                                     \
    X(PostfixUpdate, Operand, b, node, 'n', "operand")                                                   \
    X(Unary, Operator, a, number, 'o', "op")                                                             \
    X(Unary, Operand, b, node, 'n', "operand")                                                           \
    X(RegExpLiteral, Value, a, regexp, 'x', "regexp")                                                    \
    X(ArrayLiteral, Count, a, number, 'i', "count")                                                      \
    X(ArrayLiteral, Elements, b, node, 'l', "element")  /* last first; a hole is an Empty node */        \
    X(ObjectLiteral, Count, a, number, 'i', "count")                                                     \
    X(ObjectLiteral, Properties, b, node, 'l', "property")  /* last first */                             \
    X(Block, Statements, a, node, 'l', "statement")                                                      \
    X(NestedFunctionBinding, Enclosing, a, text, 't', "enclosing")  /* internal names */                 \
    X(NestedFunctionBinding, Function, b, text, 't', "function")                                         \
    X(NestedFunctionBinding, Name, c, text, 't', "name")  /* null for an anonymous function */           \
    X(VarStatement, IsTopLevel, a, number, 'i', "top")                                                   \
    X(VarStatement, Count, b, number, 'i', "count")                                                      \
    X(VarStatement, Declarators, c, node, 'l', "declarator")                                             \
    X(ExpressionStatement, Expression, a, node, 'n', "expression")                                       \
    X(If, Condition, a, node, 'n', "condition")                                                          \
    X(If, Then, b, node, 'n', "then")                                                                    \
    X(If, Otherwise, c, node, 'n', "else")                                                               \
    X(While, Condition, a, node, 'n', "condition")                                                       \
    X(While, Body, b, node, 'n', "body")                                                                 \
    X(DoWhile, Condition, a, node, 'n', "condition")                                                     \
    X(DoWhile, Body, b, node, 'n', "body")                                                               \
    X(For, DeclaratorCount, f, number, 'i', "var-count")                                                 \
    X(For, Declarators, a, node, 'l', "declarator")                                                      \
    X(For, Init, b, node, 'n', "init")                                                                   \
    X(For, Condition, c, node, 'n', "condition")                                                         \
    X(For, Update, d, node, 'n', "update")                                                               \
    X(For, Body, e, node, 'n', "body")                                                                   \
    X(ForIn, Declarator, a, node, 'l', "declarator")  /* null when the target is a name */               \
    X(ForIn, Target, b, node, 'n', "target")                                                             \
    X(ForIn, Collection, c, node, 'n', "collection")                                                     \
    X(ForIn, Body, d, node, 'n', "body")                                                                 \
    X(Jump, Label, a, text, 't', "label")                                                                \
    X(Return, Value, a, node, 'n', "value")                                                              \
    X(Throw, Value, a, node, 'n', "value")                                                               \
    X(With, Object, a, node, 'n', "object")                                                              \
    X(With, Body, b, node, 'n', "body")                                                                  \
    X(Try, BodyEndLine, a, number, 'i', "body-end")                                                      \
    X(Try, EndLine, b, number, 'i', "end")                                                               \
    X(Try, Body, c, node, 'n', "body")                                                                   \
    X(Try, Catches, d, node, 'l', "catch")                                                               \
    X(Try, Finally, e, node, 'n', "finally")                                                             \
    X(Switch, EndLine, a, number, 'i', "end")                                                            \
    X(Switch, Discriminant, b, node, 'n', "discriminant")                                                \
    X(Switch, Cases, c, node, 'l', "case")                                                               \
    X(Labeled, Label, a, text, 't', "label")                                                             \
    X(Labeled, Statement, b, node, 'n', "statement")                                                     \
    X(Function, InternalName, b, text, 't', "internal")                                                  \
    X(Function, Name, c, text, 't', "name")  /* null when anonymous */                                   \
    X(Function, BodyLine, a, number, 'i', "body-line")                                                   \
    X(Function, UsesArguments, f, number, 'i', "arguments")                                              \
    X(Function, Parameters, d, node, 'l', "parameter")  /* Name nodes */                                 \
    X(Function, Body, e, node, 'n', "body")                                                              \
    X(ImportedFunction, Function, b, text, 't', "function")                                              \
    X(ImportedFunction, Alias, c, text, 't', "alias")                                                    \
    X(ImportedFunction, CallType, d, text, 't', "call-type")                                             \
    X(ImportedFunction, Dll, a, node, 'n', "dll")                                                        \
    X(ImportedFunction, ReturnType, e, node, 'n', "return-type")                                         \
    X(ImportedFunction, ParameterTypes, f, node, 'l', "parameter-type")  /* last first */                \
    X(Declarator, Name, a, text, 't', "name")                                                            \
    X(Declarator, Init, b, node, 'n', "init")                                                            \
    X(Property, KeyKind, a, number, 'o', "key-kind")  /* the key's token: identifier, string, integer */ \
    X(Property, KeyText, b, text, 'k', "key")                                                            \
    X(Property, KeyInteger, b, number, '-', "")                                                          \
    X(Property, Value, c, node, 'n', "value")                                                            \
    X(Case, ColonLine, c, number, 'i', "colon-line")                                                     \
    X(Case, EndLine, d, number, 'i', "end")                                                              \
    X(Case, Test, a, node, 'n', "test")  /* null for `default` */                                        \
    X(Case, Statements, b, node, 'l', "statement")                                                       \
    X(Catch, Name, b, text, 't', "name")                                                                 \
    X(Catch, Line, a, number, 'i', "catch-line")                                                         \
    X(Catch, EndLine, e, number, 'i', "end")  /* set on the first clause only */                         \
    X(Catch, Condition, c, node, 'n', "if")                                                              \
    X(Catch, Body, d, node, 'n', "body")
// clang-format on

#define VELMO_NODE_ACCESSORS(shape, role, slot, member, dumpType, dumpName) \
    inline auto& shape##role(Node* n) {                                     \
        VELMO_ASSERT(HasShape(n->kind, NodeShape::shape));                  \
        return n->slot.member;                                              \
    }                                                                       \
    inline const auto& shape##role(const Node* n) {                         \
        VELMO_ASSERT(HasShape(n->kind, NodeShape::shape));                  \
        return n->slot.member;                                              \
    }
VELMO_NODE_ROLES(VELMO_NODE_ACCESSORS)
#undef VELMO_NODE_ACCESSORS

// Block arena: every node, text and record of one compilation lives until the arena dies. Only trivially
// destructible types may be made here, because nothing is ever destroyed one by one.
class Arena {
public:
    Arena() = default;
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;

    template <typename T>
    T* New() {
        static_assert(std::is_trivially_destructible_v<T> && std::is_trivially_default_constructible_v<T>);
        return new (Allocate(sizeof(T), alignof(T))) T{};
    }
    // Copies `bytes` (any bytes, NUL included) and appends a NUL for callers that want a C string.
    const Text* CopyText(std::string_view bytes);
    Node* NewNode(NodeKind kind, int32_t line, StaticType type = StaticType::Unknown);

private:
    void* Allocate(size_t sizeBytes, size_t alignBytes);

    static constexpr size_t kBlockBytes = 16 * 1024;
    std::vector<std::unique_ptr<std::byte[]>> blocks_;
    std::byte* cursor_ = nullptr;
    size_t remainingBytes_ = 0;
};

// Appends to a list linked through `next`, in source order, keeping the tail for O(1) appends.
struct NodeList {
    Node* head = nullptr;
    Node* tail = nullptr;
    int32_t count = 0;
    void Append(Node* n);
    // Reverse-ordered lists (arguments, elements, properties) push at the head instead.
    void Prepend(Node* n);
};

// What parsing one unit yields: the main program's statements and every function definition, in the
// order their parsing finished (an inner function before its container).
struct SyntaxTree {
    Arena arena;
    Node* statements = nullptr;
    std::vector<Node*> functions;
};

// Internal function names: a named function outside any other keeps its name; an anonymous or nested one
// is "@F_<n>" from the unit's counter. The stack holds the names of the functions being parsed.
class FunctionNames {
public:
    // Chooses the internal name for a definition declared as `declared` (null when anonymous) and
    // makes it the innermost function being parsed.
    const Text* Enter(Arena& arena, const Text* declared);
    void Leave() { stack_.pop_back(); }
    // The innermost function being parsed, or null at top level.
    const Text* Current() const { return stack_.empty() ? nullptr : stack_.back(); }

private:
    int32_t anonymousCount_ = 0;
    std::vector<const Text*> stack_;
};

// The node kind's name ("Assign"), or "?" for a number that is no kind.
const char* NodeKindName(NodeKind kind);

}  // namespace velmo::script::compiler
