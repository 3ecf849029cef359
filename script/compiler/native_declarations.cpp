// Structure definitions and DLL import declarations. A structure becomes the assignment of its XML type
// text to a global of its name; an import becomes an ImportedFunction node. Type words are checked
// against a fixed list and the structures defined earlier in this compilation.

#include <string>
#include <string_view>

#include "script/compiler/parser_internal.h"

namespace velmo::script::compiler::detail {
namespace {

constexpr std::string_view kIntegerTypes[] = {"char", "short", "long", "int", "int64"};
constexpr std::string_view kOtherTypes[] = {"float", "double", "pointer", "String", "Boolean"};
constexpr std::string_view kCallTypes[] = {"stdcall", "cdecl", "pascal", "fastcall"};

template <size_t N>
bool IsOneOf(std::string_view word, const std::string_view (&words)[N]) {
    for (const std::string_view w : words)
        if (w == word) return true;
    return false;
}

Node* StringNode(Parser& p, std::string_view text, int32_t line) {
    Node* n = p.NewNode(NodeKind::StringLiteral, line, StaticType::String);
    StringLiteralText(n) = p.CopyText(text);
    return n;
}

}  // namespace

// type: ["unsigned"] type-word ["*"]   type-word: an integer type after "unsigned"; else an integer
//       or other type, an earlier structure's name, or "void" where `allowVoid`
bool Parser::ParseTypeText(bool allowVoid, std::string& text) {
    const bool isUnsigned = PeekIs(Tok::Identifier) && Peek().text == "unsigned";
    if (isUnsigned) {
        Advance();
        text = "unsigned ";
    }
    if (allowVoid && !isUnsigned && PeekIs(Tok::Void)) {
        Advance();
        text += "void";
    } else {
        if (!PeekIs(Tok::Identifier)) return false;
        const std::string_view word = Peek().text;
        const bool known =
            IsOneOf(word, kIntegerTypes) ||
            (!isUnsigned && (IsOneOf(word, kOtherTypes) || structureNames_.count(std::string(word)) != 0));
        if (!known) return false;
        text += word;
        Advance();
    }
    if (Accept('*')) text += '*';
    return true;
}

// count: ["[" integer "]"]   with the integer above 0; yields the ` count="N"` attribute or nothing
std::string Parser::ParseMemberCount() {
    if (!Accept('[')) return "";
    if (!PeekIs(Tok::Integer) || Peek().integer <= 0) Fail("invalid structure member");
    const std::string attribute = " count=\"" + std::to_string(Advance().integer) + "\"";
    if (!Accept(']')) Fail("invalid structure member");
    return attribute;
}

// member: type identifier count [";"]
//       | "struct" "{" member-list "}" ["*"] identifier count [";"]
std::string Parser::ParseStructMember(std::unordered_set<std::string>& names) {
    std::string xml;
    std::string name;
    if (Accept(Tok::Struct)) {
        Nest nest(*this);
        Expect('{', "missing { after structure");
        const std::string inner = ParseStructMembers();
        const bool isPointer = Accept('*');
        if (!PeekIs(Tok::Identifier)) Fail("invalid structure member");
        name = Advance().text;
        xml = "<" + name + " type=\"struct" + (isPointer ? "*" : "") + "\"" + ParseMemberCount() + ">" + inner;
    } else {
        std::string type;
        if (!ParseTypeText(false, type) || !PeekIs(Tok::Identifier)) Fail("invalid structure member");
        name = Advance().text;
        xml = "<" + name + " type=\"" + type + "\"" + ParseMemberCount() + ">";
    }
    if (!names.insert(name).second) Fail("structure member redefined");
    Accept(';');
    return xml + "</" + name + ">";
}

// member-list: {member} "}"   (the opening brace is already read)
std::string Parser::ParseStructMembers() {
    std::unordered_set<std::string> names;  // each structure, nested ones too, has its own
    std::string xml;
    while (!Accept('}')) xml += ParseStructMember(names);
    return xml;
}

// struct: "struct" "{" member-list "}" identifier [";"]
Node* Parser::ParseStruct() {
    const int32_t line = Advance().line;
    Expect('{', "missing { after structure");
    const std::string members = ParseStructMembers();
    if (!PeekIs(Tok::Identifier)) Fail("structure must have a name");
    const Token nameToken = Advance();
    const std::string name(nameToken.text);
    if (!structureNames_.insert(name).second) Fail("structure redefined");
    Accept(';');
    Node* assign = NewNode(NodeKind::Assign, line);
    AssignOperator(assign) = '=';
    AssignTarget(assign) = NameNode(CopyText(name), nameToken.line);
    AssignValue(assign) = StringNode(*this, "<" + name + " type=\"struct\">" + members + "</" + name + ">", line);
    Node* statement = NewNode(NodeKind::ExpressionStatement, line);
    ExpressionStatementExpression(statement) = assign;
    return statement;
}

// dllimport: "dllimport" (identifier | string) call-type return-type identifier
//            "(" [parameter {"," parameter}] ")" ["as" identifier] [";"]
//            parameter: type [identifier]
Node* Parser::ParseDllImport() {
    Node* n = NewNode(NodeKind::ImportedFunction, Advance().line);
    const Token dll = Peek();
    if (dll.Is(Tok::Identifier)) ImportedFunctionDll(n) = NameNode(CopyText(dll.text), dll.line);
    else if (dll.Is(Tok::String)) ImportedFunctionDll(n) = StringNode(*this, dll.text, dll.line);
    else Fail("invalid dll name");
    Advance();
    if (!PeekIs(Tok::Identifier) || !IsOneOf(Peek().text, kCallTypes))
        Fail("invalid call type; a valid call type must be either stdcall, cdecl, pascal, or fastcall");
    ImportedFunctionCallType(n) = CopyText(Advance().text);
    std::string type;
    if (!ParseTypeText(true, type)) Fail("invalid return type");
    ImportedFunctionReturnType(n) = StringNode(*this, type, currentLine_);
    if (!PeekIs(Tok::Identifier)) Fail("invalid function name");
    ImportedFunctionFunction(n) = CopyText(Advance().text);
    Expect('(', "missing ( after function name");
    NodeList parameters;
    while (!Accept(')')) {
        std::string parameterType;
        if (!ParseTypeText(false, parameterType)) Fail("invalid argument type");
        parameters.Prepend(StringNode(*this, parameterType, currentLine_));
        Accept(Tok::Identifier);  // the parameter's name documents only
        if (!Accept(',') && !PeekIs(')')) Fail("missing , after argument");
    }
    ImportedFunctionParameterTypes(n) = parameters.head;
    if (Accept(Tok::As)) {
        if (!PeekIs(Tok::Identifier)) Fail("invalid alias name of the imported function");
        ImportedFunctionAlias(n) = CopyText(Advance().text);
    }
    Accept(';');
    return n;
}

}  // namespace velmo::script::compiler::detail
