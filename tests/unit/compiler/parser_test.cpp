// Parser: tree shapes for the edge cases of the grammar, compared through the tree dump, and the exact
// diagnostic line of every syntax message.

#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "script/compiler/parser.h"
#include "script/compiler/tree_dump.h"

namespace velmo::script::compiler {
namespace {

// The dump of the main program's statements and functions, or the diagnostics when parsing failed.
std::string Parse(std::string_view text, bool warnMissingSemicolons = false) {
    ParseOptions options;
    options.warnMissingSemicolons = warnMissingSemicolons;
    const ParsedText parsed = ParseText(text, options);
    return parsed.tree ? parsed.diagnostics + DumpTree(*parsed.tree) : parsed.diagnostics;
}

std::string SyntaxError(int line, std::string_view message) {
    return "error: line " + std::to_string(line) + ": syntax error: " + std::string(message) + "\r\n";
}

TEST(Parser, LineBreaksEndStatementsAndOnlyThenInsertSemicolons) {
    EXPECT_EQ(Parse("a = 1\nb = 2"),
              "statements:\n"
              "  ExpressionStatement @0\n"
              "    expression: Assign op='=' @0\n"
              "      target: Name text=\"a\" @0\n"
              "      value: IntegerLiteral value=1 @0\n"
              "  ExpressionStatement @1\n"
              "    expression: Assign op='=' @1\n"
              "      target: Name text=\"b\" @1\n"
              "      value: IntegerLiteral value=2 @1\n"
              "functions:\n");
    EXPECT_EQ(Parse("a = 1 b = 2"), "error: line 0: missing ;\r\n");
    EXPECT_EQ(Parse("a in b"), "error: line 0: missing ;\r\n");
    // The warning names the line of the statement's last token; `}` and the end insert too.
    EXPECT_EQ(Parse("x\n{y}", true),
              "warning: line 0: missing ;\r\nwarning: line 1: missing ;\r\n"
              "statements:\n"
              "  ExpressionStatement @0\n    expression: Name text=\"x\" @0\n"
              "  Block @1\n    statement: ExpressionStatement @1\n      expression: Name text=\"y\" @1\n"
              "functions:\n");
}

TEST(Parser, ReturnAndPostfixDoNotReachAcrossALineBreak) {
    EXPECT_EQ(Parse("return\nx;"),
              "statements:\n"
              "  Return @0\n"
              "  ExpressionStatement @1\n    expression: Name text=\"x\" @1\n"
              "functions:\n");
    EXPECT_EQ(Parse("x\n++y"),
              "statements:\n"
              "  ExpressionStatement @0\n    expression: Name text=\"x\" @0\n"
              "  ExpressionStatement @1\n    expression: Unary op='++' @1\n      operand: Name text=\"y\" @1\n"
              "functions:\n");
    // A closing brace or the end of input ends a bare return as it ends any statement.
    EXPECT_EQ(Parse("return"), "statements:\n  Return @0\nfunctions:\n");
    EXPECT_EQ(Parse("{ return }"), "statements:\n  Block @0\n    statement: Return @0\nfunctions:\n");
    EXPECT_EQ(Parse("x--;"),
              "statements:\n"
              "  ExpressionStatement @0\n    expression: PostfixUpdate op='--' @0\n"
              "      operand: Name text=\"x\" @0\nfunctions:\n");
}

TEST(Parser, LabelNeedsItsColonOnTheSameLine) {
    EXPECT_EQ(Parse("label: while (x) break label;"),
              "statements:\n"
              "  Labeled label=\"label\" @0\n"
              "    statement: While @0\n"
              "      condition: Name text=\"x\" @0\n"
              "      body: Break label=\"label\" @0\n"
              "functions:\n");
    EXPECT_EQ(Parse("label\n: x"), SyntaxError(0, "invalid statement"));
    // A label on the next line is not taken: `continue` ends there.
    EXPECT_EQ(Parse("continue\nx"),
              "statements:\n  Continue @0\n  ExpressionStatement @1\n    expression: Name text=\"x\" @1\n"
              "functions:\n");
}

TEST(Parser, ArrayHolesAndPropertyKeysAreListedLastFirst) {
    EXPECT_EQ(Parse("[1,,2]; [1,]; [,]"),
              "statements:\n"
              "  ExpressionStatement @0\n    expression: ArrayLiteral count=3 @0\n"
              "      element: IntegerLiteral value=2 @0\n      element: Empty @0\n"
              "      element: IntegerLiteral value=1 @0\n"
              "  ExpressionStatement @0\n    expression: ArrayLiteral count=2 @0\n"
              "      element: Empty @0\n      element: IntegerLiteral value=1 @0\n"
              "  ExpressionStatement @0\n    expression: ArrayLiteral count=2 @0\n"
              "      element: Empty @0\n      element: Empty @0\n"
              "functions:\n");
    EXPECT_EQ(Parse("o = {a:1, \"b\":2, 3:4,}"),
              "statements:\n"
              "  ExpressionStatement @0\n    expression: Assign op='=' @0\n"
              "      target: Name text=\"o\" @0\n"
              "      value: ObjectLiteral count=3 @0\n"
              "        property: Empty key-kind='integer literal' key=3 @0\n"
              "          value: IntegerLiteral value=4 @0\n"
              "        property: Empty key-kind='string literal' key=\"b\" @0\n"
              "          value: IntegerLiteral value=2 @0\n"
              "        property: Empty key-kind='identifier' key=\"a\" @0\n"
              "          value: IntegerLiteral value=1 @0\n"
              "functions:\n");
    EXPECT_EQ(Parse("f(1, 2,)"),
              "statements:\n  ExpressionStatement @0\n    expression: Call count=2 @0\n"
              "      callee: Name text=\"f\" @0\n      argument: IntegerLiteral value=2 @0\n"
              "      argument: IntegerLiteral value=1 @0\nfunctions:\n");
}

TEST(Parser, RegularExpressionFlagsAreReadStraightAfterThePattern) {
    EXPECT_EQ(Parse("/ab+c/gi; x = /\\//mgg"),
              "statements:\n"
              "  ExpressionStatement @0\n    expression: RegExpLiteral regexp=\"ab+c\"/3 @0\n"
              "  ExpressionStatement @0\n    expression: Assign op='=' @0\n      target: Name text=\"x\" @0\n"
              "      value: RegExpLiteral regexp=\"\\x5C/\"/5 @0\n"
              "functions:\n");
}

TEST(Parser, TryTakesAnyStatementAndConditionalCatchClauses) {
    EXPECT_EQ(Parse("try x();\ncatch (e if e == 1) y();\ncatch (e) z();\nfinally w"),
              "statements:\n"
              "  Try body-end=0 end=3 @0\n"
              "    body: ExpressionStatement @0\n      expression: Call count=0 @0\n"
              "        callee: Name text=\"x\" @0\n"
              "    catch: Empty name=\"e\" catch-line=1 end=2 @1\n"
              "      if: Equality op='==' @1\n        left: Name text=\"e\" @1\n"
              "        right: IntegerLiteral value=1 @1\n"
              "      body: ExpressionStatement @1\n        expression: Call count=0 @1\n"
              "          callee: Name text=\"y\" @1\n"
              "    catch: Empty name=\"e\" catch-line=2 end=0 @2\n"
              "      body: ExpressionStatement @2\n        expression: Call count=0 @2\n"
              "          callee: Name text=\"z\" @2\n"
              "    finally: ExpressionStatement @3\n      expression: Name text=\"w\" @3\n"
              "functions:\n");
}

TEST(Parser, FunctionsAreNamedAndListedInTheOrderTheyEnd) {
    EXPECT_EQ(Parse("function g(a) { function h() { arguments; } }\n"
                    "f = function () {};\n"
                    "{ function k() {} }"),
              "statements:\n"
              "  ExpressionStatement @1\n    expression: Assign op='=' @1\n"
              "      target: Name text=\"f\" @1\n      value: Name text=\"@F_1\" @1\n"
              "  Block @2\n    statement: Empty @2\n"
              "functions:\n"
              "  Function internal=\"@F_0\" name=\"h\" body-line=0 arguments=1 @0\n"
              "    body: Block @0\n      statement: ExpressionStatement @0\n"
              "        expression: Name text=\"arguments\" @0\n"
              "  Function internal=\"g\" name=\"g\" body-line=0 arguments=1 @0\n"
              "    parameter: Name text=\"a\" @0\n"
              "    body: Block @0\n"
              "      statement: NestedFunctionBinding enclosing=\"g\" function=\"@F_0\" name=\"h\" @0\n"
              "  Function internal=\"@F_1\" body-line=1 arguments=0 @1\n    body: Empty @1\n"
              "  Function internal=\"k\" name=\"k\" body-line=2 arguments=0 @2\n    body: Empty @2\n");
    EXPECT_EQ(Parse("var f = function () {};"), SyntaxError(0, "invalid variable initialization"));
    EXPECT_EQ(Parse("g(function () {})"), SyntaxError(0, "invalid expression"));
    EXPECT_EQ(Parse("x = 1 + function () {}"), SyntaxError(0, "invalid expression"));
}

TEST(Parser, ForHeadsTakeDeclaratorsExpressionsOrOneForInTarget) {
    EXPECT_EQ(Parse("for (var i = 0, j; i < 2;) ;\nfor (k in o) ;\nfor (var v in o) ;\nfor (;;) ;"),
              "statements:\n"
              "  For var-count=2 @0\n"
              "    declarator: Empty name=\"i\" @0\n      init: IntegerLiteral value=0 @0\n"
              "    declarator: Empty name=\"j\" @0\n"
              "    condition: Relational op='<' @0\n      left: Name text=\"i\" @0\n"
              "      right: IntegerLiteral value=2 @0\n"
              "    body: Empty @0\n"
              "  ForIn @1\n    target: Name text=\"k\" @1\n    collection: Name text=\"o\" @1\n    body: Empty @1\n"
              "  ForIn @2\n    declarator: Empty name=\"v\" @2\n    collection: Name text=\"o\" @2\n"
              "    body: Empty @2\n"
              "  For var-count=0 @3\n    body: Empty @3\n"
              "functions:\n");
    // Reported at the line of `for`, and at the line of the target, not where parsing stands.
    EXPECT_EQ(Parse("for (var i = 0,\n j = 1 in o) ;"), SyntaxError(0, "more than one variable declaration"));
    EXPECT_EQ(Parse("for (\na.b in o) ;"), SyntaxError(1, "illegal identifier"));
}

TEST(Parser, SwitchReadsClausesInOrderAndRejectsTwoDefaultsAfterTheBody) {
    EXPECT_EQ(Parse("switch (x) {\ncase 1:\n  a;\n  b;\ndefault:\n}"),
              "statements:\n"
              "  Switch end=5 @0\n"
              "    discriminant: Name text=\"x\" @0\n"
              "    case: Empty colon-line=1 end=3 @1\n      test: IntegerLiteral value=1 @1\n"
              "      statement: ExpressionStatement @2\n        expression: Name text=\"a\" @2\n"
              "      statement: ExpressionStatement @3\n        expression: Name text=\"b\" @3\n"
              "    case: Empty colon-line=4 end=4 @4\n"
              "functions:\n");
    EXPECT_EQ(Parse("switch (x) { default: ;\n default: ;\n}"), "error: line 2: more than one switch default\r\n");
    EXPECT_EQ(Parse("switch (x) { default: ; default: ; )"), SyntaxError(0, "invalid statement"));
}

TEST(Parser, StructureDefinitionsBecomeAnAssignmentOfTheirTypeText) {
    EXPECT_EQ(Parse("struct { unsigned char r; unsigned char g; } RGB;\n"
                    "struct { RGB *p; struct { int a; } *inner[2] char name[16] } Outer"),
              "statements:\n"
              "  ExpressionStatement @0\n    expression: Assign op='=' @0\n"
              "      target: Name text=\"RGB\" @0\n"
              "      value: StringLiteral text=\"<RGB type=\\x22struct\\x22><r type=\\x22unsigned char\\x22></r>"
              "<g type=\\x22unsigned char\\x22></g></RGB>\" @0\n"
              "  ExpressionStatement @1\n    expression: Assign op='=' @1\n"
              "      target: Name text=\"Outer\" @1\n"
              "      value: StringLiteral text=\"<Outer type=\\x22struct\\x22><p type=\\x22RGB*\\x22></p>"
              "<inner type=\\x22struct*\\x22 count=\\x222\\x22><a type=\\x22int\\x22></a></inner>"
              "<name type=\\x22char\\x22 count=\\x2216\\x22></name></Outer>\" @1\n"
              "functions:\n");
    const std::string_view invalidMembers[] = {"Undefined *p;", "unsigned float f;", "char s[0];",
                                               "int;",          "char s[2;",         "RGB x;"};
    for (const std::string_view member : invalidMembers)
        EXPECT_EQ(Parse("struct { " + std::string(member) + " } S;"), SyntaxError(0, "invalid structure member"))
            << member;
    // A nested structure has names of its own.
    EXPECT_EQ(Parse("struct { int a; struct { int a; } a; } S;"), SyntaxError(0, "structure member redefined"));
}

TEST(Parser, ImportDeclarationsKeepTypeTextsWithParametersLastFirst) {
    EXPECT_EQ(Parse("dllimport \"user32.dll\" stdcall int MessageBoxA(int, String text, String caption, int *)"
                    " as msgBox;\ndllimport k32 cdecl unsigned long* F()"),
              "statements:\n"
              "  ImportedFunction function=\"MessageBoxA\" alias=\"msgBox\" call-type=\"stdcall\" @0\n"
              "    dll: StringLiteral text=\"user32.dll\" @0\n"
              "    return-type: StringLiteral text=\"int\" @0\n"
              "    parameter-type: StringLiteral text=\"int*\" @0\n"
              "    parameter-type: StringLiteral text=\"String\" @0\n"
              "    parameter-type: StringLiteral text=\"String\" @0\n"
              "    parameter-type: StringLiteral text=\"int\" @0\n"
              "  ImportedFunction function=\"F\" call-type=\"cdecl\" @1\n"
              "    dll: Name text=\"k32\" @1\n"
              "    return-type: StringLiteral text=\"unsigned long*\" @1\n"
              "functions:\n");
}

TEST(Parser, EverySyntaxMessageHasItsExactLine) {
    const struct {
        std::string_view text;
        std::string_view message;
    } rows[] = {
        {"if (x) )", "invalid statement"},
        {"a:", "invalid label"},
        {"return )", "invalid return"},
        {"throw ;", "invalid throw"},
        {"with x", "missing ( before with-statement object"},
        {"with (x y", "missing ) after with-statement object"},
        {"with ()", "invalid with-statement object"},
        {"with (x) )", "invalid with block"},
        {"switch x", "missing ( before switch expression"},
        {"switch (x y", "missing ) after switch expression"},
        {"switch ()", "invalid switch expression"},
        {"switch (x) x", "missing { before switch body"},
        {"switch (x) { case : }", "invalid case expression"},
        {"switch (x) { case 1 }", "missing : after case label"},
        {"switch (x) { x }", "missing } after switch block"},
        {"try {} x", "missing catch or finally after try"},
        {"try {} catch e", "missing ( before catch"},
        {"try {} catch (1)", "missing identifier in catch"},
        {"try {} catch (e if) x", "invalid statement"},
        {"try {} catch (e x", "missing ) after catch"},
        {"var a, ;", "illegal identifier"},
        {"var a = ;", "invalid variable initialization"},
        {"if x", "missing ( before condition"},
        {"if (x y", "missing ) after condition"},
        {"if ()", "invalid condition expression"},
        {"if (x) else", "invalid statement"},
        {"do x; y", "missing while after do-loop body"},
        {"for x", "missing ( after for"},
        {"for (var ;;) ;", "missing variable name"},
        {"for (x )", "missing ; after for-loop initializer"},
        {"for ()", "invalid for-loop initializer or for-in expression"},
        {"for (;x )", "missing ; after for-loop condition"},
        {"for (;)", "invalid for-loop condition expression"},
        {"for (;;x y", "missing ) after for-loop control"},
        {"for (;; ]", "invalid for-loop control expression"},
        {"for (x in ) ;", "invalid expression"},
        {"a ? b c", "missing : in conditional expression"},
        {"[1 2]", "missing ] after element list"},
        {"a[1", "missing ] in index expression"},
        {"x = {a 1}", "missing : after property id"},
        {"x = {+: 1}", "invalid property id"},
        {"x = {a: 1 b: 2}", "missing } after property list"},
        {"f(1 2)", "missing ) after argument list"},
        {"a.if", "illegal identifier"},
        {"new ;", "invalid expression"},
        {"(a", "invalid expression"},
        {"function f x", "missing ( before formal parameters"},
        {"function f(a b)", "missing ) after formal parameters"},
        {"function f(a,) {}", "illegal identifier"},
        {"function f() x", "invalid function body"},
        {"{ x", "missing } after block"},
        {"struct x", "missing { after structure"},
        {"struct { int a; };", "structure must have a name"},
        {"struct {int a;} S; struct {int b;} S;", "structure redefined"},
        {"dllimport 1 stdcall int F();", "invalid dll name"},
        {"dllimport k32 winapi int F();",
         "invalid call type; a valid call type must be either stdcall, cdecl, pascal, or fastcall"},
        {"dllimport k32 stdcall unsigned void F();", "invalid return type"},
        {"dllimport k32 stdcall int 1();", "invalid function name"},
        {"dllimport k32 stdcall int F;", "missing ( after function name"},
        {"dllimport \"a.dll\" cdecl void F(void);", "invalid argument type"},
        {"dllimport k32 stdcall int F(int a b);", "missing , after argument"},
        {"dllimport k32 stdcall int F() as 1;", "invalid alias name of the imported function"},
    };
    for (const auto& row : rows) {
        // Two lines in front check that the message names the current line.
        EXPECT_EQ(Parse("x;\n\n" + std::string(row.text)), SyntaxError(2, row.message)) << row.text;
    }
    EXPECT_EQ(Parse("var\n;"), SyntaxError(0, "missing variable name"));
    // The line is that of the last token consumed; warnings already written survive the error.
    EXPECT_EQ(Parse("a\n)", true), "warning: line 0: missing ;\r\n" + SyntaxError(0, "invalid statement"));
}

TEST(Parser, DeepNestingStopsWithAnErrorInsteadOfExhaustingTheStack) {
    const std::string tooDeep = SyntaxError(0, "nesting too deep");
    EXPECT_EQ(Parse(std::string(100000, '(')), tooDeep);
    EXPECT_EQ(Parse(std::string(100000, '[')), tooDeep);
    EXPECT_EQ(Parse(std::string(100000, '{')), tooDeep);
    EXPECT_EQ(Parse(std::string(100000, '-') + "x"), tooDeep);
    EXPECT_EQ(Parse("x = " + std::string(100000, '!')), tooDeep);
    std::string functions;
    for (int i = 0; i < 100000; ++i) functions += "function f(){";
    EXPECT_EQ(Parse(functions), tooDeep);
    std::string structs = "struct {";
    for (int i = 0; i < 100000; ++i) structs += "struct {";
    EXPECT_EQ(Parse(structs), tooDeep);
    // Below the limit nesting is fine.
    EXPECT_TRUE(ParseText(std::string(100, '(') + "x" + std::string(100, ')')).tree);
}

}  // namespace
}  // namespace velmo::script::compiler
