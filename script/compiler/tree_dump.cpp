// The dump is driven by the role table of syntax_tree.h, so it names every operand the parser fills
// and the code generator reads, in the table's order; a new kind needs only its rows there.

#include "script/compiler/tree_dump.h"

#include "script/compiler/tokens.h"

#include <cstdio>
#include <string_view>

namespace velmo::script::compiler {
namespace {

struct DumpedRole {
    NodeShape shape;
    Operand Node::*slot;
    char type;  // as listed in VELMO_NODE_ROLES
    std::string_view name;
};

constexpr DumpedRole kDumpedRoles[] = {
#define VELMO_DUMPED_ROLE(shape, role, slot, member, dumpType, dumpName) \
    {NodeShape::shape, &Node::slot, dumpType, dumpName},
    VELMO_NODE_ROLES(VELMO_DUMPED_ROLE)
#undef VELMO_DUMPED_ROLE
};

// Empty records take their shape from the role of the list that holds them.
NodeShape RecordShape(std::string_view listRole) {
    if (listRole == "declarator") return NodeShape::Declarator;
    if (listRole == "property") return NodeShape::Property;
    if (listRole == "case") return NodeShape::Case;
    if (listRole == "catch") return NodeShape::Catch;
    return NodeShape::None;
}

void AppendQuoted(std::string& out, const Text* text) { compiler::AppendQuoted(out, text->View()); }

void AppendToken(std::string& out, int64_t code) {
    switch (code) {
// clang-format off
#define VELMO_TOKEN(name, number, spelling) \
    case number: out += spelling; return;
#include "script/compiler/tokens.def"
            // clang-format on
        default: break;
    }
    if (code > 32 && code < 127) out += static_cast<char>(code);
    else out += std::to_string(code);
}

class Dumper {
public:
    std::string out;

    void DumpOne(const Node* n, int depth, std::string_view role, NodeShape shape) {
        out.append(static_cast<size_t>(depth) * 2, ' ');
        if (!role.empty()) out.append(role).append(": ");
        out += NodeKindName(n->kind);
        for (const DumpedRole& r : kDumpedRoles)
            if (r.shape == shape) AppendAttribute(n, n->*r.slot, r.type, r.name);
        out += " @" + std::to_string(n->line) + "\n";
        for (const DumpedRole& r : kDumpedRoles) {
            if (r.shape != shape || (r.type != 'n' && r.type != 'l')) continue;
            for (const Node* child = (n->*r.slot).node; child; child = r.type == 'l' ? child->next : nullptr)
                Dump(child, depth + 1, r.name);
        }
    }

    // Chains the parser builds in loops can be far deeper than its nesting limit; the dump recurses
    // once per level, so it stops at the depth code generation accepts.
    static constexpr int kMaxDumpDepth = 3000;

    void Dump(const Node* n, int depth, std::string_view role) {
        if (depth > kMaxDumpDepth) {
            out.append(static_cast<size_t>(depth) * 2, ' ');
            out += "... (nested deeper than " + std::to_string(kMaxDumpDepth) + " levels, not shown)\n";
            return;
        }
        DumpOne(n, depth, role, n->kind == NodeKind::Empty ? RecordShape(role) : ShapeOf(n->kind));
    }

private:
    void AppendAttribute(const Node* n, const Operand& op, char type, std::string_view name) {
        if (type == 'n' || type == 'l' || type == '-' || (type == 't' && op.text == nullptr)) return;
        out.append(" ").append(name).append("=");
        switch (type) {
            case 't': AppendQuoted(out, op.text); break;
            case 'o':
                out += '\'';
                AppendToken(out, op.number);
                out += '\'';
                break;
            case 'i': out += std::to_string(op.number); break;
            case 'r': {
                char number[32];
                std::snprintf(number, sizeof number, "%.17g", op.real);
                out += number;
                break;
            }
            case 'x':
                AppendQuoted(out, op.regexp->pattern);
                out += "/" + std::to_string(op.regexp->flags);
                break;
            case 'k':  // integer keys hold their value, identifier and string keys their text
                if (PropertyKeyKind(n) == Code(Tok::Integer)) out += std::to_string(PropertyKeyInteger(n));
                else AppendQuoted(out, PropertyKeyText(n));
                break;
            default: break;
        }
    }
};

}  // namespace

std::string DumpNode(const Node* node, bool withSiblings) {
    Dumper d;
    for (; node; node = withSiblings ? node->next : nullptr) d.Dump(node, 0, "");
    return d.out;
}

std::string DumpTree(const SyntaxTree& tree) {
    Dumper d;
    d.out += "statements:\n";
    for (const Node* n = tree.statements; n; n = n->next) d.Dump(n, 1, "");
    d.out += "functions:\n";
    for (const Node* f : tree.functions) d.Dump(f, 1, "");
    return d.out;
}

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (const char ch : text) {
        const unsigned char byte = static_cast<unsigned char>(ch);
        if (byte < 32 || byte > 126 || byte == '"' || byte == '\\') {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        } else {
            out += ch;
        }
    }
    out += '"';
}

}  // namespace velmo::script::compiler
