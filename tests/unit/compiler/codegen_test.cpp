// Code generation through the readable listing: call and literal layouts, loops, switch, try, with,
// labels, frames, the two mended faults, and the peephole passes that shape the final code.

#include <gtest/gtest.h>

#include <string>

#include "script/compiler/codegen.h"
#include "script/compiler/compiler.h"
#include "script/compiler/instruction_listing.h"
#include "script/compiler/parser.h"
#include "script/compiler/peephole.h"

namespace velmo::script::compiler {
namespace {

// The listing of `source` after the passes in `flags` (all by default).
std::string Listing(std::string_view source, uint32_t flags = kPeepholeAll) {
    ParsedText parsed = ParseText(source);
    EXPECT_TRUE(parsed.tree) << parsed.diagnostics;
    if (!parsed.tree) return {};
    Diagnostics diagnostics;
    InstructionList list;
    EXPECT_TRUE(GenerateProgram(*parsed.tree, diagnostics, list)) << diagnostics.Text();
    Optimize(list, flags);
    return ListInstructions(list);
}

// Only the lines of function `name` (entry line excluded).
std::string FunctionListing(std::string_view source, const std::string& name, uint32_t flags = kPeepholeAll) {
    const std::string all = Listing(source, flags);
    const size_t start = all.find("function " + name + "\n");
    if (start == std::string::npos) return "(no function " + name + ")";
    const size_t body = start + name.size() + 10;
    const size_t end = all.find("function ", body);
    return all.substr(body, end == std::string::npos ? std::string::npos : end - body);
}

std::string Main(std::string_view source, uint32_t flags = kPeepholeAll) {
    return FunctionListing(source, ".main", flags);
}

TEST(Codegen, CallsPushArgumentsLastFirstThenCountAndCallee) {
    EXPECT_EQ(Main("f(1, 2);"), "PUSH2\nPUSH1\nPUSH2\nGETGLOBAL f\nCALL\nPUTDOWN 4\n");
    EXPECT_EQ(Main("o.m(a, b, c, d); 0;"),
              "GETGLOBAL d\nGETGLOBAL c\nGETGLOBAL b\nGETGLOBAL a\nPUSHINT 4\nGETGLOBAL o\n"
              "CALLMETHOD m\nDROPN 7\nPUSH0\n");
    EXPECT_EQ(Main("new C(7);"), "PUSHCONST 7\nPUSH1\nGETGLOBAL C\nNEW\nSWAP\nPUTDOWN 3\n");
}

TEST(Codegen, FunctionFrameArgumentsLocalsAndGlobals) {
    EXPECT_EQ(FunctionListing("function f(a, b) { return a + b; }", "f"),
              "GETARG 1\nADDI2\nARGFIX 4\nGETARG 2\nGETARG 3\nADD\nRET\n");
    // Before its `var` a name is the global; afterwards the local. `this` is argument slot 0.
    EXPECT_EQ(FunctionListing("function g(p) { x = p; var x = this; return x; }", "g"),
              "GETARG 1\nADDI2\nARGFIX 3\nRESERVE 1\nGETARG 2\nSETGLOBAL x\nGETARG 0\nRET\n");
    // Top-level `var` names are globals.
    EXPECT_EQ(Main("var v = 5;"), "PUSHCONST 5\nSETGLOBAL v\nPUSHUNDEF\n");
    // Functions come first, in the tree's order (an inner one before its container), then .main.
    const std::string all = Listing("function outer() { function inner() {} } outer();");
    EXPECT_LT(all.find("function @F_"), all.find("function outer"));
    EXPECT_LT(all.find("function outer"), all.find("function .main"));
    EXPECT_NE(all.find("GETGLOBAL @F_"), std::string::npos);  // the nested binding
}

TEST(Codegen, ArgumentsObjectIsBuiltOnlyWhenUsed) {
    const std::string f = FunctionListing("function f() { return arguments.length; }", "f");
    EXPECT_EQ(f.substr(0, 70), "GETARG 1\nADDI2\nARGFIX 2\nRESERVE 1\nPUSH0\nGETGLOBAL Object\nNEW\nSWAP\nPUTD");
    EXPECT_NE(f.find("GETARGI\n"), std::string::npos);
    EXPECT_NE(f.find("SETPROP length\nGETGLOBAL f\nGETLOCAL 0\nSETPROP callee\n"), std::string::npos);
    EXPECT_NE(f.find("GETLOCAL 0\nGETPROP length\nRET\n"), std::string::npos);
    EXPECT_EQ(FunctionListing("function g() { return 1; }", "g").find("GETARGI"), std::string::npos);
}

TEST(Codegen, AssignmentLosesItsDupAndLastExpressionIsTheResult) {
    EXPECT_EQ(Main("x = 5; y = 1;"), "PUSHCONST 5\nSETGLOBAL x\nPUSH1\nDUP\nSETGLOBAL y\n");
    EXPECT_EQ(Main("x = 5;", 0), "PUSHCONST 5\nDUP\nSETGLOBAL x\n");
    EXPECT_EQ(Main("x = 5; 0;", 0), "PUSHCONST 5\nDUP\nSETGLOBAL x\nPOP\nPUSH0\n");
    // A switch's discriminant POP is no result.
    EXPECT_EQ(Main("switch (1) {}"), "PUSH1\nPOP\nPUSHUNDEF\n");
}

TEST(Codegen, LiteralsUseTheShortFormsAndNegativeArrayCount) {
    EXPECT_EQ(Main("[7, 8];"), "PUSHCONST 8\nPUSHCONST 7\nPUSHINT -2\nGETGLOBAL Array\nNEW\nSWAP\nPUTDOWN 4\n");
    EXPECT_EQ(Main("[1, , 3];"), "PUSH3\nPUSHUNDEF\nPUSH1\nPUSHINT -3\nGETGLOBAL Array\nNEW\nSWAP\nPUTDOWN 5\n");
    EXPECT_EQ(Main("({a: 1, \"b\": 2, 3: null});"),
              "PUSH0\nGETGLOBAL Object\nNEW\nSWAP\nPUTDOWN 2\n"
              "DUP\nPUSHNULL\nSWAP\nPUSH3\nSETELEM\n"
              "DUP\nPUSH2\nSWAP\nPUSHCONST \"b\"\nSETELEM\n"
              "DUP\nPUSH1\nSWAP\nSETPROP a\n");
    EXPECT_EQ(Main("~x; 1.5; /a/g; \"s\";", 0),
              "GETGLOBAL x\nPUSHCONST -1\nBITXOR\nPOP\nPUSHCONST 1.5\nPOP\nPUSHCONST /a/1\nPOP\n"
              "PUSHCONST \"s\"\n");
}

// Unary + must convert: x - 0 goes through ToNumber, so +"5" + 1 adds numbers.
TEST(Codegen, UnaryPlusConvertsItsOperandToANumber) {
    EXPECT_EQ(Main("+\"5\" + 1;"), "PUSHCONST \"5\"\nPUSH0\nSUB\nPUSH1\nADD\n");
}

// The object and key of a compound target are evaluated once and shuffled under the value.
TEST(Codegen, CompoundAssignmentEvaluatesTheTargetOnce) {
    EXPECT_EQ(Main("o().x *= 2;"),
              "PUSH0\nGETGLOBAL o\nCALL\nPUTDOWN 2\nDUP\nGETPROP x\nPUSH2\nMUL\nDUP\nROT -3\nSETPROP x\n");
    const std::string indexed = Main("a[i++] += 1;");
    EXPECT_EQ(indexed,
              "GETGLOBAL a\nGETGLOBAL i\nDUP\nPUSH1\nADD\nSETGLOBAL i\n"
              "DUP\nROT -3\nDUP\nROT 4\nSWAP\nGETELEM\nPUSH1\nADD\nDUP\nROT 4\nROT 4\nSETELEM\n");
    EXPECT_EQ(Main("o.n++;"), "GETGLOBAL o\nDUP\nGETPROP n\nDUP\nROT 3\nPUSH1\nADD\nSWAP\nSETPROP n\n");
    EXPECT_EQ(Main("--a[k];"),
              "GETGLOBAL a\nGETGLOBAL k\nDUP\nROT -3\nDUP\nROT 4\nSWAP\nGETELEM\nPUSH1\nSUB\n"
              "DUP\nROT 4\nROT 4\nSETELEM\n");
}

TEST(Codegen, LoopsTestConditionsAndDropConstantTests) {
    EXPECT_EQ(Main("while (true) { break; }"), "PUSHUNDEF\n");
    EXPECT_EQ(Main("while (true) { break; }", 0), "L0:\nPUSHTRUE\nJZI L1\nJMP L1\nJMP L0\nL1:\nPUSHUNDEF\n");
    EXPECT_EQ(Main("while (x) f(); 0;"),
              "L0:\nGETGLOBAL x\nJF L1\nPUSH0\nGETGLOBAL f\nCALL\nDROPN 3\nJMP L0\nL1:\nPUSH0\n");
    EXPECT_EQ(Main("do x--; while (x > 0); 0;"),
              "L0:\nGETGLOBAL x\nPUSH1\nSUB\nSETGLOBAL x\nGETGLOBAL x\nPUSH0\nGT\nJNZI L0\nPUSH0\n");
}

TEST(Codegen, ForInKeepsCollectionAndIndexOnTheStack) {
    EXPECT_EQ(FunctionListing("function f(o) { for (var k in o) g(k); }", "f"),
              "GETARG 1\nADDI2\nARGFIX 3\nRESERVE 1\n"
              "GETARG 2\nDUP\nPUSH0\nSWAP\nPUSH0\nL0:\nFORINNEXT\nJZI L1\n"
              "PUSH1\nGETGLOBAL g\nCALL\nDROPN 4\n"
              "PUSH1\nADD\nDUP\nROT -3\nDUP\nROT 4\nSWAP\nJMP L0\nL1:\nPOP\nDROPN 2\nPUSHUNDEF\nRET\n");
    // (The store of k and its only read fold away: the item stays on the stack as g's argument.)
    // A break aimed at an enclosing loop drops the pair on its way out.
    EXPECT_NE(Main("outer: while (a) { for (k in o) { break outer; } }").find("DROPN 2\nJMP L"), std::string::npos);
}

// Tests run in source order, skipping the default; bodies fall through in source order.
TEST(Codegen, SwitchWithAMiddleDefault) {
    EXPECT_EQ(Main("switch (x) { case 1: a(); default: b(); case 2: c(); } 0;"),
              "GETGLOBAL x\n"
              "DUP\nPUSH1\nSTRICTEQ\nJZI L1\n"
              "PUSH0\nGETGLOBAL a\nCALL\nDROPN 3\n"
              "L0:\nPUSH0\nGETGLOBAL b\nCALL\nDROPN 3\nJMP L2\n"
              "L1:\nDUP\nPUSH2\nSTRICTEQ\nJZI L0\n"
              "L2:\nPUSH0\nGETGLOBAL c\nCALL\nDROPN 3\nPOP\nPUSH0\n");
    // A default first is jumped over to the first test.
    EXPECT_EQ(Main("switch (x) { default: d(); case 1: y(); } 0;"),
              "GETGLOBAL x\nJMP L1\nL0:\nPUSH0\nGETGLOBAL d\nCALL\nDROPN 3\nJMP L2\n"
              "L1:\nDUP\nPUSH1\nSTRICTEQ\nJZI L0\nL2:\nPUSH0\nGETGLOBAL y\nCALL\nDROPN 3\nPOP\nPUSH0\n");
}

TEST(Codegen, TryFinallyShapes) {
    // The finally part sees (value, must-rethrow) on every path and rethrows only after a throw.
    EXPECT_EQ(Main("try { throw 1; } finally { g(); } 0;"),
              "TRYENTER L0\nPUSH1\nTHROW\nL0:\nPUSHTRUE\nPUSH0\nGETGLOBAL g\nCALL\nDROPN 3\nJZI L1\nTHROW\n"
              "L1:\nPOP\nPUSH0\n");
    // return leaves the try record after computing its value, and skips the finally part.
    EXPECT_EQ(FunctionListing("function f() { try { return 1; } finally { g(); } }", "f"),
              "GETARG 1\nADDI2\nARGFIX 2\nTRYENTER L0\nPUSH1\nTRYLEAVE 1\nRET\nL0:\nPUSHTRUE\n"
              "PUSH0\nGETGLOBAL g\nCALL\nDROPN 3\nJZI L1\nTHROW\nL1:\nPOP\nPUSHUNDEF\nRET\n");
    // A conditional catch: its condition runs under its own record, the clauses under one record.
    const std::string caught = Main("try { f(); } catch (e if e > 1) { h(e); } 0;");
    EXPECT_NE(caught.find("L0:\nTRYENTER L3\nDUP\nSETLOCAL 0\nTRYENTER L1\nGETLOCAL 0\nPUSH1\nGT\nTRYLEAVE 1\n"
                          "JZI L2\nPOP\n"),
              std::string::npos)
        << caught;
    EXPECT_NE(caught.find("L1:\nPOP\nL2:\nTRYLEAVE 1\nPUSHTRUE\nJMP L4\nL3:\nPUTDOWN 1\nPUSHTRUE\nL4:\nJZI L5\n"),
              std::string::npos)
        << caught;
}

// A throw from the returned expression must reach the handlers around the return, so the try
// records are left only once the value is on the stack; with-scopes die with the frame.
TEST(Codegen, ReturnLeavesTryRecordsAfterItsValue) {
    EXPECT_EQ(FunctionListing("function f() { try { try { return g(); } finally {} } finally {} }", "f")
                  .rfind("GETARG 1\nADDI2\nARGFIX 2\nTRYENTER L2\nTRYENTER L0\nPUSH0\nGETGLOBAL g\nCALL\n"
                         "PUTDOWN 2\nTRYLEAVE 2\nRET\n",
                         0),
              0u);
    EXPECT_EQ(FunctionListing("function h(o) { with (o) return x; }", "h"),
              "GETARG 1\nADDI2\nARGFIX 3\nGETARG 2\nWITHENTER\nGETVARW x\nRET\n");
}

TEST(Codegen, WithUsesTheWithInstructionsOnlyInside) {
    EXPECT_EQ(Main("with (o) { x = 1; f(); } x = 1;"),
              "GETGLOBAL o\nWITHENTER\nPUSH1\nSETVARW x\nPUSH0\nGETVARW f\nCALLNAME f\nDROPN 3\nWITHLEAVE 1\n"
              "PUSH1\nDUP\nSETGLOBAL x\n");
    // break leaves the open with-scope before jumping.
    EXPECT_EQ(Main("while (a) with (o) { break; } 0;"),
              "GETGLOBAL a\nJF L0\nGETGLOBAL o\nWITHENTER\nWITHLEAVE 1\nL0:\nPUSH0\n");
}

TEST(Codegen, LabelsFollowECMAScript) {
    // continue outer continues the outer loop at its update, leaving the inner try record.
    const std::string f = Main(
        "outer: for (i = 0; i < 3; i++) { for (;;) { try { continue outer; } "
        "catch (e) {} } } 0;");
    EXPECT_NE(f.find("TRYENTER L2\nTRYLEAVE 1\nJMP L6\n"), std::string::npos) << f;
    EXPECT_NE(f.find("L6:\nGETGLOBAL i\nPUSH1\nADD\nSETGLOBAL i\nJMP L0\n"), std::string::npos) << f;
    // An unlabelled break inside a labelled block leaves the loop, not the block; break L leaves L.
    EXPECT_EQ(Main("while (a) { L: { break; } } 0;"), "GETGLOBAL a\nJF L0\nL0:\nPUSH0\n");
    EXPECT_EQ(Main("L: { f(); break L; g(); } 0;"), "PUSH0\nGETGLOBAL f\nCALL\nDROPN 3\nPUSH0\n");
}

TEST(Codegen, InvalidJumpsAreCompileErrorsWithTheirLine) {  // lines count from 0
    const CompileResult r1 = CompileString("x = 1;\ncontinue;", 0);
    EXPECT_FALSE(r1.ok);
    EXPECT_EQ(r1.diagnostics, "error: line 1: invalid continue\r\n");
    EXPECT_EQ(CompileString("break;", 0).diagnostics, "error: line 0: invalid break\r\n");
    EXPECT_EQ(CompileString("L: { continue L; }", 0).diagnostics, "error: line 0: invalid continue\r\n");
    EXPECT_EQ(CompileString("while (a) { break M; }", 0).diagnostics, "error: line 0: invalid break\r\n");
    EXPECT_TRUE(CompileString("switch (a) { case 1: break; }", 0).ok);
}

// "p0, p1, ..., p{n-1}" (or plain numbers with no prefix).
std::string List(int n, const std::string& prefix = "") {
    std::string text;
    for (int i = 0; i < n; ++i) text += (i ? ", " : "") + prefix + std::to_string(i);
    return text;
}

// Counts and slots that go into byte operands: the largest that fit compile, one more is an error
// at the line of the call, function or declaration, never the writer's operand message.
TEST(Codegen, CountsBeyondTheirOperandsAreLocatedErrors) {
    EXPECT_TRUE(CompileString("f(" + List(125) + "); new C(" + List(125) + "); 0;", 0).ok);
    EXPECT_TRUE(CompileString("function f(" + List(125, "p") + ") { return p124; }", 0).ok);
    EXPECT_EQ(CompileString("x = 1;\nf(" + List(126) + ");", 0).diagnostics,
              "error: line 1: too many arguments: at most 125\r\n");
    EXPECT_EQ(CompileString("x = 1;\ny = o.m(\n" + List(200) + ");", 0).diagnostics,
              "error: line 1: too many arguments: at most 125\r\n");
    EXPECT_EQ(CompileString("\n\nx = new C(" + List(126) + ");", 0).diagnostics,
              "error: line 2: too many arguments: at most 125\r\n");
    EXPECT_EQ(CompileString("\nfunction f(" + List(126, "p") + ") {}", 0).diagnostics,
              "error: line 1: too many parameters: at most 125\r\n");
    // Local slots are never reused, so declarations count until RESERVE's 16-bit operand is full.
    const std::string locals = "var " + List(detail::kMaxLocals, "v") + ";\n";
    EXPECT_TRUE(CompileString("function f() {\n" + locals + "}", 0).ok);
    EXPECT_EQ(CompileString("function f() {\n" + locals + "var w;\n}", 0).diagnostics,
              "error: line 2: too many local variables: at most 32767\r\n");
}

// Leaving more with-scopes or stack cells than one signed byte counts takes several instructions
// (a for-in holds two cells). The parser's nesting limit keeps open try records below 128 today;
// TRYLEAVE is split the same way should that limit grow.
TEST(Codegen, DeepJumpsAndLargeDropsAreSplit) {
    std::string withs = "while (a) ", fors = "L: while (a) ";
    for (int i = 0; i < 130; ++i) withs += "with (o) ";
    for (int i = 0; i < 70; ++i) fors += "for (k in o) ";
    withs += "break;";
    fors += "break L;";
    EXPECT_NE(Main(withs).find("WITHLEAVE 127\nWITHLEAVE 3\n"), std::string::npos);
    EXPECT_NE(Main(fors).find("DROPN 127\nDROPN 13\nJMP"), std::string::npos);
    for (const std::string& text : {withs, fors}) EXPECT_TRUE(CompileString(text, 0).ok) << text;
    // A declaration whose registration call has more cells than PUTDOWN reaches drops them in pieces.
    std::string types = "int";
    for (int i = 1; i < 130; ++i) types += ", int";
    const std::string import = Main("dllimport \"a.dll\" stdcall int f(" + types + "); 0;");
    EXPECT_NE(import.find("CALLMETHOD registerFunction\nDROPN 127\nDROPN 11\nPUSH0\n"), std::string::npos) << import;
}

TEST(Codegen, ImportDeclarationCallsRegisterFunction) {
    EXPECT_EQ(Main("dllimport \"user32.dll\" stdcall int MessageBoxA(int, String t) as msgBox; 0;"),
              "PUSHCONST \"String\"\nPUSHCONST \"int\"\nPUSHCONST \"int\"\nPUSHCONST \"stdcall\"\n"
              "PUSHCONST \"msgBox\"\nPUSHCONST \"MessageBoxA\"\nPUSHCONST \"user32.dll\"\nPUSHINT 7\n"
              "GETGLOBAL Dll\nCALLMETHOD registerFunction\nDROPN 10\nPUSH0\n");
}

TEST(Peephole, DeadLocalStoreBeforeItsOnlyReadIsRemoved) {
    const char* source = "function f(a) { var x; x = a; return x; }";
    EXPECT_EQ(FunctionListing(source, "f"), "GETARG 1\nADDI2\nARGFIX 3\nRESERVE 1\nGETARG 2\nRET\n");
    // Still read later: the store stays.
    EXPECT_NE(FunctionListing("function g(a) { var x; x = a; h(x); return x; }", "g").find("SETLOCAL 0\n"),
              std::string::npos);
}

TEST(Compiler, DriverWritesTheListingLineAndReportsWarnings) {
    const CompileResult r = CompileString("x = 1\ny = 2;", kCompileFlagWarnSemicolons);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.diagnostics, "warning: line 0: missing ;\r\n");
    EXPECT_FALSE(r.instructions.empty());
    ASSERT_GE(r.module.size(), 4u);
    EXPECT_EQ(std::string(r.module.begin(), r.module.begin() + 4), "QX1b");
    const CompileResult bad = CompileString("x = ;", 0);
    EXPECT_FALSE(bad.ok);
    EXPECT_TRUE(bad.instructions.empty());
    EXPECT_NE(CompileFile("/no/such/file.qvs", 0).diagnostics.find("can't open the script file"), std::string::npos);
}

}  // namespace
}  // namespace velmo::script::compiler
