#pragma once
// The syntax tree of one compilation: nodes of one shape (kind, static type, line, operands a-f, next),
// all made in the compilation's arena and freed with it at once. Kind numbers are shared with the code
// generator's dispatch and never change; kinds 22-25 and 51 are never created.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string_view>
#include <type_traits>
#include <vector>

namespace velmo::script::compiler {

// VELMO_NODE_KIND(Name, number): the node kinds and the number the code generator dispatches on.
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

enum class NodeKind : int32_t {
#define VELMO_NODE_ENUM(name, number) name = number,
    VELMO_NODE_KINDS(VELMO_NODE_ENUM)
#undef VELMO_NODE_ENUM
};

// What the parser knows of a node's value; the numbers match the runtime's value tags.
enum class StaticType : int32_t {
    Unknown = 0, Null = 1, Boolean = 2, Integer = 3, String = 4, Float = 5, Array = 6, Object = 7,
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

// One operand slot: which member is live follows from the node kind (the parser and the dump in
// tree_dump.cpp agree on it). Integer and float literals keep their value whole in `a`.
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
