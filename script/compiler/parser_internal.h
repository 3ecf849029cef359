#pragma once
// The parser's state and rules, shared by parser.cpp (program, statements), parser_expressions.cpp and
// native_declarations.cpp. Private to the compiler folder. Fail() throws ParseAbort, which only the
// entry points in parser.cpp catch; every node is made in the tree's arena.

#include <string>
#include <unordered_set>

#include "script/compiler/parser.h"

namespace velmo::script::compiler::detail {

// Unwinds the parse after the error line was written; never escapes ParseProgram.
struct ParseAbort {};

class Parser {
public:
    Parser(SourceReader& source, Lexer& lexer, Diagnostics& diagnostics, const ParseOptions& options, SyntaxTree& tree)
        : source_(source), lexer_(lexer), diagnostics_(diagnostics), options_(options), tree_(tree) {}

    void ParseProgram();
    int32_t TokenCount() const { return tokenCount_; }
    int32_t InsertedSemicolons() const { return insertedSemicolons_; }

    // ---- Tokens and diagnostics (parser.cpp) ----
    Token Advance();
    const Token& Peek();
    bool PeekIs(char c) { return Peek().Is(c); }
    bool PeekIs(Tok t) { return Peek().Is(t); }
    bool Accept(char c);
    bool Accept(Tok t);
    void Expect(char c, const char* message);
    void ExpectSemicolon();
    [[noreturn]] void Fail(const char* message) { FailAt(currentLine_, message); }
    [[noreturn]] void FailAt(int32_t line, const char* message);
    [[noreturn]] void FailWhole(const char* message);

    // Counts one level of nesting for as long as it lives.
    class Nest {
    public:
        explicit Nest(Parser& p);
        ~Nest() { --parser_.depth_; }
        Nest(const Nest&) = delete;
        Nest& operator=(const Nest&) = delete;

    private:
        Parser& parser_;
    };

    Node* NewNode(NodeKind kind, int32_t line, StaticType type = StaticType::Unknown) {
        return tree_.arena.NewNode(kind, line, type);
    }
    const Text* CopyText(std::string_view text) { return tree_.arena.CopyText(text); }
    Node* NameNode(const Text* name, int32_t line);

    // ---- Statements (parser.cpp) ----
    Node* ParseStatement();
    Node* ParseBlock();
    Node* ParseFunctionStatement();
    Node* ParseFunction();
    Node* ParseVar();
    NodeList ParseDeclarators();
    Node* ParseIf();
    Node* ParseDoWhile();
    Node* ParseWhile();
    Node* ParseFor();
    Node* ParseJump(NodeKind kind);
    Node* ParseReturn();
    Node* ParseWith();
    Node* ParseSwitch();
    Node* ParseCaseClause(int32_t& defaults);
    Node* ParseTry();
    Node* ParseCatchClause();
    Node* ParseThrow();
    Node* ParseExpressionStatement();
    Node* ParseParenthesizedCondition(const char* open, const char* invalid, const char* close);

    // ---- Expressions (parser_expressions.cpp) ----
    Node* ParseExpression();
    Node* ParseAssignment();
    Node* ParseConditional();
    Node* ParseBinary(int level);
    Node* ParseUnary();
    Node* ParsePostfix();
    Node* ParseCall();
    Node* ParseMember();
    Node* ParseSuffix(Node* object);
    NodeList ParseArguments();
    Node* ParsePrimary();
    Node* ParseRegExp(int32_t line);
    Node* ParseArrayLiteral();
    Node* ParseObjectLiteral();

    // ---- Native declarations (native_declarations.cpp) ----
    Node* ParseStruct();
    std::string ParseStructMembers();
    std::string ParseStructMember(std::unordered_set<std::string>& names);
    std::string ParseMemberCount();
    bool ParseTypeText(bool allowVoid, std::string& text);
    Node* ParseDllImport();

private:
    SourceReader& source_;      // not owned
    Lexer& lexer_;              // not owned
    Diagnostics& diagnostics_;  // not owned
    const ParseOptions& options_;
    SyntaxTree& tree_;  // not owned
    FunctionNames functionNames_;
    std::unordered_set<std::string> structureNames_;
    Node* lastLeftHandSide_ = nullptr;  // the last call/member/primary result, for assignment targets
    int32_t currentLine_ = 0;           // line of the last consumed token
    int32_t tokenCount_ = 0;
    int32_t argumentsCount_ = 0;
    int32_t insertedSemicolons_ = 0;
    int32_t depth_ = 0;
};

}  // namespace velmo::script::compiler::detail
