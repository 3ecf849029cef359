// The dump is driven by one layout string per node kind, so it names every operand the parser fills and
// the code generator reads; a new kind needs only its row here.

#include "script/compiler/tree_dump.h"

#include <cstdio>
#include <cstring>

namespace velmo::script::compiler {
namespace {

// Layout entries "<slot><type><role>", space-separated. Types: n child node, l child list (role names the
// elements), t text, o operator token, i number, r double, x regular expression, k property key (its kind
// is in slot a). Attributes (t o i r x k) print on the node's line; n and l print as children.
const char* KindLayout(NodeKind kind) {
    switch (kind) {
    case NodeKind::Comma: return "anleft bnright";
    case NodeKind::Assign: return "aoop cntarget dnvalue";
    case NodeKind::Conditional: return "ancondition bnthen cnelse";
    case NodeKind::Logical: case NodeKind::Bitwise: case NodeKind::Equality: case NodeKind::Relational:
    case NodeKind::Shift: case NodeKind::Multiplicative: case NodeKind::Additive:
        return "aoop cnleft dnright";
    case NodeKind::Name: case NodeKind::StringLiteral: return "attext";
    case NodeKind::FloatLiteral: return "arvalue";
    case NodeKind::IntegerLiteral: return "aivalue";
    case NodeKind::Call: return "aicount bncallee clargument";
    case NodeKind::Member: return "atname bnobject";
    case NodeKind::Index: return "anobject bnindex";
    case NodeKind::New: return "aicount bnconstructor clargument";
    case NodeKind::PostfixUpdate: case NodeKind::Unary: return "aoop bnoperand";
    case NodeKind::RegExpLiteral: return "axregexp";
    case NodeKind::ArrayLiteral: return "aicount blelement";
    case NodeKind::ObjectLiteral: return "aicount blproperty";
    case NodeKind::Block: return "alstatement";
    case NodeKind::NestedFunctionBinding: return "atenclosing btfunction ctname";
    case NodeKind::VarStatement: return "aitop bicount cldeclarator";
    case NodeKind::ExpressionStatement: return "anexpression";
    case NodeKind::If: return "ancondition bnthen cnelse";
    case NodeKind::While: case NodeKind::DoWhile: return "ancondition bnbody";
    case NodeKind::For:
        return "fivar-count aldeclarator bninit cncondition dnupdate enbody";
    case NodeKind::ForIn: return "aldeclarator bntarget cncollection dnbody";
    case NodeKind::Continue: case NodeKind::Break: return "atlabel";
    case NodeKind::Return: case NodeKind::Throw: return "anvalue";
    case NodeKind::With: return "anobject bnbody";
    case NodeKind::Try: return "aibody-end biend cnbody dlcatch enfinally";
    case NodeKind::Switch: return "aiend bndiscriminant clcase";
    case NodeKind::Labeled: return "atlabel bnstatement";
    case NodeKind::Function:
        return "btinternal ctname aibody-line fiarguments dlparameter enbody";
    case NodeKind::ImportedFunction:
        return "btfunction ctalias dtcall-type andll enreturn-type flparameter-type";
    default: return "";
    }
}

// `Empty` records take their layout from the list that holds them.
const char* RecordLayout(const char* role, size_t roleSize) {
    const std::string_view r(role, roleSize);
    if (r == "declarator") return "atname bninit";
    if (r == "property") return "aokey-kind bkkey cnvalue";
    if (r == "case") return "cicolon-line diend antest blstatement";
    if (r == "catch") return "btname aicatch-line eiend cnif dnbody";
    return "";
}

const Operand& Slot(const Node* n, char slot) {
    switch (slot) {
    case 'a': return n->a;
    case 'b': return n->b;
    case 'c': return n->c;
    case 'd': return n->d;
    case 'e': return n->e;
    default: return n->f;
    }
}

void AppendQuoted(std::string& out, const Text* text) { compiler::AppendQuoted(out, text->View()); }

void AppendToken(std::string& out, int64_t code) {
    switch (code) {
#define VELMO_TOKEN(name, number, spelling) \
    case number: out += spelling; return;
#include "script/compiler/tokens.def"
    default: break;
    }
    if (code > 32 && code < 127) out += static_cast<char>(code);
    else out += std::to_string(code);
}

class Dumper {
public:
    std::string out;

    void DumpOne(const Node* n, int depth, const char* role, size_t roleSize, const char* layout) {
        out.append(static_cast<size_t>(depth) * 2, ' ');
        if (roleSize) out.append(role, roleSize).append(": ");
        out += NodeKindName(n->kind);
        ForEachEntry(layout, [&](char slot, char type, const char* name, size_t nameSize) {
            AppendAttribute(n, Slot(n, slot), type, name, nameSize);
        });
        out += " @" + std::to_string(n->line) + "\n";
        ForEachEntry(layout, [&](char slot, char type, const char* name, size_t nameSize) {
            const Node* child = Slot(n, slot).node;
            if ((type != 'n' && type != 'l') || child == nullptr) return;
            for (; child; child = type == 'l' ? child->next : nullptr) Dump(child, depth + 1, name, nameSize);
        });
    }

    // Chains the parser builds in loops can be far deeper than its nesting limit; the dump recurses
    // once per level, so it stops at the depth code generation accepts.
    static constexpr int kMaxDumpDepth = 3000;

    void Dump(const Node* n, int depth, const char* role, size_t roleSize) {
        if (depth > kMaxDumpDepth) {
            out.append(static_cast<size_t>(depth) * 2, ' ');
            out += "... (nested deeper than " + std::to_string(kMaxDumpDepth) + " levels, not shown)\n";
            return;
        }
        const char* layout = n->kind == NodeKind::Empty ? RecordLayout(role, roleSize) : KindLayout(n->kind);
        DumpOne(n, depth, role, roleSize, layout);
    }

private:
    template <typename F>
    static void ForEachEntry(const char* layout, F&& visit) {
        while (*layout) {
            const char* end = std::strchr(layout, ' ');
            const size_t size = end ? static_cast<size_t>(end - layout) : std::strlen(layout);
            visit(layout[0], layout[1], layout + 2, size - 2);
            layout += end ? size + 1 : size;
        }
    }

    void AppendAttribute(const Node* n, const Operand& op, char type, const char* name, size_t nameSize) {
        if (type == 'n' || type == 'l' || (type == 't' && op.text == nullptr)) return;
        out.append(" ").append(name, nameSize).append("=");
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
            if (n->a.number == 129) out += std::to_string(op.number);
            else AppendQuoted(out, op.text);
            break;
        default: break;
        }
    }
};

}  // namespace

std::string DumpNode(const Node* node, bool withSiblings) {
    Dumper d;
    for (; node; node = withSiblings ? node->next : nullptr) d.Dump(node, 0, "", 0);
    return d.out;
}

std::string DumpTree(const SyntaxTree& tree) {
    Dumper d;
    d.out += "statements:\n";
    for (const Node* n = tree.statements; n; n = n->next) d.Dump(n, 1, "", 0);
    d.out += "functions:\n";
    for (const Node* f : tree.functions) d.Dump(f, 1, "", 0);
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
