// Program and statement rules, the token operations every rule uses, and the entry points. Statement
// rules return null when the input starts no statement; the caller names the error.

#include "script/compiler/parser.h"

#include "script/compiler/parser_internal.h"

namespace velmo::script::compiler {
namespace detail {

// ---- Tokens and diagnostics ----

Token Parser::Advance() {
    const Token t = lexer_.Next();
    if (diagnostics_.Failed()) throw ParseAbort{};  // the lexer wrote its error line
    currentLine_ = t.line;
    ++tokenCount_;
    if (t.Is(Tok::Identifier) && t.text == "arguments") ++argumentsCount_;
    return t;
}

const Token& Parser::Peek() {
    const Token& t = lexer_.Peek();
    if (diagnostics_.Failed()) throw ParseAbort{};
    return t;
}

bool Parser::Accept(char c) {
    if (!PeekIs(c)) return false;
    Advance();
    return true;
}

bool Parser::Accept(Tok t) {
    if (!PeekIs(t)) return false;
    Advance();
    return true;
}

void Parser::Expect(char c, const char* message) {
    if (!Accept(c)) Fail(message);
}

void Parser::FailAt(int32_t line, const char* message) {
    diagnostics_.Fail(line, "syntax error: %s", message);
    throw ParseAbort{};
}

void Parser::FailWhole(const char* message) {
    diagnostics_.Fail(currentLine_, "%s", message);
    throw ParseAbort{};
}

Parser::Nest::Nest(Parser& p) : parser_(p) {
    if (++parser_.depth_ > kMaxNestingDepth) parser_.Fail("nesting too deep");
}

// A semicolon, or its insertion before `}`, the end of input or a token on a later line.
void Parser::ExpectSemicolon() {
    if (Accept(';')) return;
    const Token& t = Peek();
    if (t.Is('}') || t.Is(Tok::End) || t.line > currentLine_) {
        ++insertedSemicolons_;
        if (options_.warnMissingSemicolons) diagnostics_.Warn(currentLine_, "missing ;");
        return;
    }
    FailWhole("missing ;");
}

Node* Parser::NameNode(const Text* name, int32_t line) {
    Node* n = NewNode(NodeKind::Name, line);
    NameText(n) = name;
    return n;
}

// ---- Program ----

// program: { function-definition | statement } end-of-input
void Parser::ParseProgram() {
    NodeList statements;
    while (!PeekIs(Tok::End)) {
        if (PeekIs(Tok::Function)) {
            ParseFunction();
            continue;
        }
        Node* s = ParseStatement();
        if (!s) Fail("invalid statement");
        if (s->kind == NodeKind::VarStatement) VarStatementIsTopLevel(s) = 1;
        statements.Append(s);
    }
    tree_.statements = statements.head;
}

// ---- Statements ----

// statement: block | function-definition | var | if | do | while | for | struct | dllimport
//          | expression-statement | labeled | ";" | continue | break | return | switch | with | try | throw
Node* Parser::ParseStatement() {
    Nest nest(*this);
    const Token& t = Peek();
    switch (t.code) {
        case '{': return ParseBlock();
        case Code(Tok::Function): return ParseFunctionStatement();
        case Code(Tok::Var): return ParseVar();
        case Code(Tok::If): return ParseIf();
        case Code(Tok::Do): return ParseDoWhile();
        case Code(Tok::While): return ParseWhile();
        case Code(Tok::For): return ParseFor();
        case Code(Tok::Struct): return ParseStruct();
        case Code(Tok::Dllimport): return ParseDllImport();
        default: break;
    }
    if (Node* s = ParseExpressionStatement()) return s;
    switch (Peek().code) {
        case ';': return NewNode(NodeKind::Empty, Advance().line);
        case Code(Tok::Continue): return ParseJump(NodeKind::Continue);
        case Code(Tok::Break): return ParseJump(NodeKind::Break);
        case Code(Tok::Return): return ParseReturn();
        case Code(Tok::Switch): return ParseSwitch();
        case Code(Tok::With): return ParseWith();
        case Code(Tok::Try): return ParseTry();
        case Code(Tok::Throw): return ParseThrow();
        default: return nullptr;
    }
}

// block: "{" { statement } "}"   (an empty block is an Empty statement)
Node* Parser::ParseBlock() {
    Advance();
    const int32_t line = Peek().line;
    NodeList statements;
    while (!Accept('}')) {
        Node* s = ParseStatement();
        if (!s) Fail("missing } after block");
        statements.Append(s);
    }
    if (statements.count == 0) return NewNode(NodeKind::Empty, line);
    Node* block = NewNode(NodeKind::Block, line);
    BlockStatements(block) = statements.head;
    return block;
}

// function-statement: function-definition, bound to its declared name inside an enclosing function
Node* Parser::ParseFunctionStatement() {
    const Text* enclosing = functionNames_.Current();
    Node* fn = ParseFunction();
    if (enclosing == nullptr) return NewNode(NodeKind::Empty, fn->line);
    Node* binding = NewNode(NodeKind::NestedFunctionBinding, fn->line);
    NestedFunctionBindingEnclosing(binding) = enclosing;
    NestedFunctionBindingFunction(binding) = FunctionInternalName(fn);
    NestedFunctionBindingName(binding) = FunctionName(fn);
    return binding;
}

// function-definition: "function" [identifier] "(" [identifier {"," identifier}] ")" block
Node* Parser::ParseFunction() {
    Nest nest(*this);
    Node* fn = NewNode(NodeKind::Function, Advance().line);
    if (PeekIs(Tok::Identifier)) FunctionName(fn) = CopyText(Advance().text);
    FunctionInternalName(fn) = functionNames_.Enter(tree_.arena, FunctionName(fn));
    const int32_t argumentsBefore = argumentsCount_;
    Expect('(', "missing ( before formal parameters");
    NodeList parameters;
    while (PeekIs(Tok::Identifier)) {
        const Token name = Advance();
        parameters.Append(NameNode(CopyText(name.text), name.line));
        if (!Accept(',')) break;
        if (!PeekIs(Tok::Identifier)) Fail("illegal identifier");
    }
    Expect(')', "missing ) after formal parameters");
    if (!PeekIs('{')) Fail("invalid function body");
    FunctionParameters(fn) = parameters.head;
    FunctionBody(fn) = ParseBlock();
    FunctionBodyLine(fn) = FunctionBody(fn)->line;
    // Counting tokens, not scopes: an outer function is marked too when only an inner one uses it.
    FunctionUsesArguments(fn) = argumentsCount_ > argumentsBefore ? 1 : 0;
    functionNames_.Leave();
    tree_.functions.push_back(fn);
    return fn;
}

// declarators: [identifier ["=" assignment] {"," identifier ["=" assignment]}]
NodeList Parser::ParseDeclarators() {
    NodeList declarators;
    while (PeekIs(Tok::Identifier)) {
        const Token name = Advance();
        Node* d = NewNode(NodeKind::Empty, name.line);
        DeclaratorName(d) = CopyText(name.text);
        if (Accept('=')) {
            DeclaratorInit(d) = ParseAssignment();
            if (!DeclaratorInit(d)) Fail("invalid variable initialization");
        }
        declarators.Append(d);
        if (!Accept(',')) break;
        if (!PeekIs(Tok::Identifier)) Fail("illegal identifier");
    }
    return declarators;
}

// var: "var" declarators ";"
Node* Parser::ParseVar() {
    Node* var = NewNode(NodeKind::VarStatement, Advance().line);
    const NodeList declarators = ParseDeclarators();
    ExpectSemicolon();  // checked before the count, so `var 1` reads as a missing semicolon
    if (declarators.count == 0) FailAt(var->line, "missing variable name");
    VarStatementDeclarators(var) = declarators.head;
    VarStatementCount(var) = declarators.count;
    return var;
}

// "(" expression ")", with the three messages of the statement that asks for it
Node* Parser::ParseParenthesizedCondition(const char* open, const char* invalid, const char* close) {
    Expect('(', open);
    Node* condition = ParseExpression();
    if (!condition) Fail(invalid);
    Expect(')', close);
    return condition;
}

namespace {
Node* ParseRequiredStatement(Parser& p, const char* message) {
    Node* s = p.ParseStatement();
    if (!s) p.Fail(message);
    return s;
}
}  // namespace

// if: "if" "(" expression ")" statement ["else" statement]
Node* Parser::ParseIf() {
    Node* n = NewNode(NodeKind::If, Advance().line);
    IfCondition(n) = ParseParenthesizedCondition("missing ( before condition", "invalid condition expression",
                                                 "missing ) after condition");
    IfThen(n) = ParseRequiredStatement(*this, "invalid statement");
    if (Accept(Tok::Else)) IfOtherwise(n) = ParseRequiredStatement(*this, "invalid statement");
    return n;
}

// do: "do" statement "while" "(" expression ")" ";"
Node* Parser::ParseDoWhile() {
    Node* n = NewNode(NodeKind::DoWhile, Advance().line);
    DoWhileBody(n) = ParseRequiredStatement(*this, "invalid statement");
    if (!Accept(Tok::While)) Fail("missing while after do-loop body");
    DoWhileCondition(n) = ParseParenthesizedCondition("missing ( before condition", "invalid condition expression",
                                                      "missing ) after condition");
    ExpectSemicolon();
    return n;
}

// while: "while" "(" expression ")" statement
Node* Parser::ParseWhile() {
    Node* n = NewNode(NodeKind::While, Advance().line);
    WhileCondition(n) = ParseParenthesizedCondition("missing ( before condition", "invalid condition expression",
                                                    "missing ) after condition");
    WhileBody(n) = ParseRequiredStatement(*this, "invalid statement");
    return n;
}

// for: "for" "(" ("var" declarators | [expression]) ( ";" [expression] ";" [expression]
//                                                    | "in" expression ) ")" statement
Node* Parser::ParseFor() {
    const int32_t forLine = Advance().line;
    Expect('(', "missing ( after for");
    NodeList declarators;
    Node* init = nullptr;
    const bool hasVar = Accept(Tok::Var);
    if (hasVar) {
        declarators = ParseDeclarators();
        if (declarators.count == 0) Fail("missing variable name");
    } else if (!PeekIs(';')) {
        init = ParseExpression();
        if (!init) Fail("invalid for-loop initializer or for-in expression");
    }
    Node* n;
    if (Accept(';')) {
        n = NewNode(NodeKind::For, forLine);
        ForDeclarators(n) = declarators.head;
        ForDeclaratorCount(n) = declarators.count;
        ForInit(n) = init;
        if (!PeekIs(';') && !(ForCondition(n) = ParseExpression())) Fail("invalid for-loop condition expression");
        Expect(';', "missing ; after for-loop condition");
        if (!PeekIs(')') && !(ForUpdate(n) = ParseExpression())) Fail("invalid for-loop control expression");
    } else if (Accept(Tok::In)) {
        if (hasVar && declarators.count != 1) FailAt(forLine, "more than one variable declaration");
        if (!hasVar && init->kind != NodeKind::Name) FailAt(init->line, "illegal identifier");
        n = NewNode(NodeKind::ForIn, forLine);
        ForInDeclarator(n) = declarators.head;
        ForInTarget(n) = init;
        if (!(ForInCollection(n) = ParseExpression())) Fail("invalid expression");
    } else {
        Fail("missing ; after for-loop initializer");
    }
    Expect(')', "missing ) after for-loop control");
    Node* body = ParseRequiredStatement(*this, "invalid statement");
    (n->kind == NodeKind::For ? ForBody(n) : ForInBody(n)) = body;
    return n;
}

// continue: "continue" [identifier on the same line] ";"   break: likewise
Node* Parser::ParseJump(NodeKind kind) {
    Node* n = NewNode(kind, Advance().line);
    if (PeekIs(Tok::Identifier) && Peek().line == n->line) JumpLabel(n) = CopyText(Advance().text);
    ExpectSemicolon();
    return n;
}

// return: "return" ";" | "return" (line break) | "return" expression ";"
Node* Parser::ParseReturn() {
    Node* n = NewNode(NodeKind::Return, Advance().line);
    if (Accept(';')) return n;
    // A "}" or the end of input also ends a bare return, as they end every other statement:
    // refusing `{ return }` would reject ordinary scripts.
    if (Peek().line > currentLine_ || PeekIs('}') || PeekIs(Tok::End)) {
        ExpectSemicolon();  // inserts, with the warning when asked for
        return n;
    }
    ReturnValue(n) = ParseExpression();
    if (!ReturnValue(n)) Fail("invalid return");
    ExpectSemicolon();
    return n;
}

// with: "with" "(" expression ")" statement
Node* Parser::ParseWith() {
    Node* n = NewNode(NodeKind::With, Advance().line);
    WithObject(n) =
        ParseParenthesizedCondition("missing ( before with-statement object", "invalid with-statement object",
                                    "missing ) after with-statement object");
    WithBody(n) = ParseRequiredStatement(*this, "invalid with block");
    return n;
}

// switch: "switch" "(" expression ")" "{" { case-clause } "}"
Node* Parser::ParseSwitch() {
    Node* n = NewNode(NodeKind::Switch, Advance().line);
    SwitchDiscriminant(n) = ParseParenthesizedCondition(
        "missing ( before switch expression", "invalid switch expression", "missing ) after switch expression");
    Expect('{', "missing { before switch body");
    NodeList clauses;
    int32_t defaults = 0;
    while (!Accept('}')) clauses.Append(ParseCaseClause(defaults));
    // Reported only once the whole switch was read, as the language has always done.
    if (defaults > 1) FailWhole("more than one switch default");
    SwitchEndLine(n) = currentLine_;
    SwitchCases(n) = clauses.head;
    return n;
}

// case-clause: ("case" expression | "default") ":" { statement }
Node* Parser::ParseCaseClause(int32_t& defaults) {
    Node* clause = NewNode(NodeKind::Empty, Peek().line);
    if (Accept(Tok::Case)) {
        CaseTest(clause) = ParseExpression();
        if (!CaseTest(clause)) Fail("invalid case expression");
    } else if (Accept(Tok::Default)) {
        ++defaults;
    } else {
        Fail("missing } after switch block");
    }
    Expect(':', "missing : after case label");
    clause->line = currentLine_;
    CaseColonLine(clause) = currentLine_;
    NodeList statements;
    while (!PeekIs(Tok::Case) && !PeekIs(Tok::Default) && !PeekIs('}'))
        statements.Append(ParseRequiredStatement(*this, "invalid statement"));
    CaseStatements(clause) = statements.head;
    CaseEndLine(clause) = currentLine_;
    return clause;
}

// try: "try" statement { catch-clause } ["finally" statement]   (at least one catch or the finally)
Node* Parser::ParseTry() {
    Node* n = NewNode(NodeKind::Try, Advance().line);
    TryBody(n) = ParseRequiredStatement(*this, "invalid statement");
    TryBodyEndLine(n) = currentLine_;
    if (!PeekIs(Tok::Catch) && !PeekIs(Tok::Finally)) Fail("missing catch or finally after try");
    NodeList clauses;
    while (PeekIs(Tok::Catch)) clauses.Append(ParseCatchClause());
    if (clauses.head) CatchEndLine(clauses.head) = currentLine_;
    TryCatches(n) = clauses.head;
    if (Accept(Tok::Finally)) TryFinally(n) = ParseRequiredStatement(*this, "invalid statement");
    TryEndLine(n) = currentLine_;
    return n;
}

// catch-clause: "catch" "(" identifier ["if" expression] ")" statement
Node* Parser::ParseCatchClause() {
    Node* clause = NewNode(NodeKind::Empty, Advance().line);
    CatchLine(clause) = clause->line;
    Expect('(', "missing ( before catch");
    if (!PeekIs(Tok::Identifier)) Fail("missing identifier in catch");
    CatchName(clause) = CopyText(Advance().text);
    if (Accept(Tok::If) && !(CatchCondition(clause) = ParseExpression())) Fail("invalid statement");
    Expect(')', "missing ) after catch");
    CatchBody(clause) = ParseRequiredStatement(*this, "invalid statement");
    return clause;
}

// throw: "throw" expression ";"   (the expression may start on a later line)
Node* Parser::ParseThrow() {
    Node* n = NewNode(NodeKind::Throw, Advance().line);
    ThrowValue(n) = ParseExpression();
    if (!ThrowValue(n)) Fail("invalid throw");
    ExpectSemicolon();
    return n;
}

// expression-statement: expression ";"   labeled: identifier ":" statement (":" on the name's line)
Node* Parser::ParseExpressionStatement() {
    Node* e = ParseExpression();
    if (!e) return nullptr;
    if (e->kind == NodeKind::Name && PeekIs(':') && Peek().line == e->line) {
        Advance();
        Node* labeled = NewNode(NodeKind::Labeled, e->line);
        LabeledLabel(labeled) = NameText(e);
        LabeledStatement(labeled) = ParseStatement();
        if (!LabeledStatement(labeled)) Fail("invalid label");
        return labeled;
    }
    ExpectSemicolon();
    Node* s = NewNode(NodeKind::ExpressionStatement, e->line);
    ExpressionStatementExpression(s) = e;
    return s;
}

}  // namespace detail

ParseResult ParseProgram(SourceReader& source, Lexer& lexer, Diagnostics& diagnostics, const ParseOptions& options) {
    ParseResult result;
    auto tree = std::make_unique<SyntaxTree>();
    detail::Parser parser(source, lexer, diagnostics, options, *tree);
    try {
        parser.ParseProgram();
    } catch (const detail::ParseAbort&) {
        // The error line is in the diagnostics; the partial tree dies here.
    }
    result.tokenCount = parser.TokenCount();
    result.insertedSemicolons = parser.InsertedSemicolons();
    if (!diagnostics.Failed()) result.tree = std::move(tree);
    return result;
}

ParsedText ParseText(std::string_view text, const ParseOptions& options) {
    std::unique_ptr<SourceReader> source = SourceReader::FromString(text);
    Diagnostics diagnostics;
    Lexer lexer(*source, diagnostics, options.lexer);
    ParseResult parsed = ParseProgram(*source, lexer, diagnostics, options);
    return {std::move(parsed.tree), diagnostics.Text()};
}

}  // namespace velmo::script::compiler
