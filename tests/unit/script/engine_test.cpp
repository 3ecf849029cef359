// The engine seen from the host: the Run entries and their error texts, protected calls into script
// functions (also nested inside host operations), runaway re-entry, the hook, the position services,
// malformed modules that pass the verifier, and what a collection must keep while code runs. Host
// operations are test classes whose Call runs a lambda, so each case states its own host.
#include "script/runtime/engine.h"
#include "script/runtime/internal/interpreter.h"
#include "script/runtime/pinned.h"

#include <gtest/gtest.h>

#include <atomic>

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/make_engine.h"
#include "platform/files.h"
#include "platform/text.h"
#include "script/compiler/compiler.h"
#include "script/compiler/module_writer.h"
#include "script/runtime/calls.h"
#include "script/runtime/convert.h"
#include "script/runtime/heap_limits.h"
#include "script/runtime/properties.h"
#include "script/runtime/strings.h"
#include "tests/support/scratch.h"

namespace velmo::script {
namespace {

using compiler::Instruction;
using compiler::InstructionList;
using HostBody = std::function<Value(Interpreter&, Value* args)>;

const std::string kMalformed = "Runtime error: Unimplemented Velmo Script bytecode";
const std::string kOverflow = "Runtime error: stack overflow";

void CallBody(Interpreter& interp, ClassRecord& cls, void*, Value* result, Value* args) {
    *result = (*static_cast<HostBody*>(cls.classData))(interp, args);
}

std::vector<uint8_t> CompiledModule(std::string_view source) {
    compiler::CompileResult compiled = compiler::CompileString(source, 0);
    EXPECT_TRUE(compiled.ok) << compiled.diagnostics;
    return compiled.module;
}

// Instructions for modules built by hand.
Instruction In(int opcode, int64_t operand = 0, std::string text = {}, int label = -1) {
    Instruction in;
    in.opcode = opcode;
    in.operand = operand;
    in.text = std::move(text);
    in.label = label;
    return in;
}
Instruction In(Op op, int64_t operand = 0, std::string text = {}) {
    return In(static_cast<int>(op), operand, std::move(text));
}
Instruction Entry(std::string name) { return In(compiler::kFunctionEntry, 0, std::move(name)); }

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override { Build({}); }

    void Build(const EngineOptions& options) {
        engine_ = host::MakeEngine(options);
        ASSERT_TRUE(engine_);
        Interp().SetTraceSink([this](std::string_view line) { trace_.emplace_back(line); });
        baseSp_ = Interp().StackPointer();
    }
    Interpreter& Interp() { return engine_->Interp(); }
    int Run(std::string_view source) { return engine_->RunSourceText(source); }
    std::string Text(const Value& v) { return platform::Utf16ToAnsi(ToText(Interp(), v)); }

    // Publishes `body` as the global function `name` (static text).
    void Host(const char* name, HostBody body) {
        bodies_.push_back(std::move(body));
        ClassRecord* cls = NewClass(Interp(), name);
        cls->Call = &CallBody;
        cls->classData = &bodies_.back();
        PublishClass(Interp(), name, cls);
    }

    // Whatever failed before, the stack is back where it started and ordinary code runs.
    void ExpectHealthy() {
        EXPECT_EQ(Interp().StackPointer(), baseSp_);
        trace_.clear();
        ASSERT_EQ(Run("function sq(n) { return n * n; } trace(sq(7), \"!\"); return sq(3);"), 1)
            << engine_->ErrorText();
        EXPECT_EQ(trace_, std::vector<std::string>{"49!"});
        EXPECT_EQ(Text(engine_->Result()), "9");
        EXPECT_EQ(Interp().StackPointer(), baseSp_);
    }

    // Runs `.main` = `body`, after the functions of `functions`, as a module built by hand.
    int RunCode(const InstructionList& body, const InstructionList& functions = {}) {
        InstructionList list = functions;
        list.push_back(Entry(".main"));
        list.insert(list.end(), body.begin(), body.end());
        const compiler::WrittenModule written = compiler::WriteModule(list, false, "");
        EXPECT_TRUE(written.ok) << written.error;
        return engine_->RunCompiledBuffer(written.bytes.data(), written.bytes.size());
    }
    std::deque<HostBody> bodies_;     // class records point into it until the engine is gone
    std::vector<std::string> trace_;  // the sink writes here until the engine is gone
    std::unique_ptr<Engine> engine_;
    size_t baseSp_ = 0;
};

// ---- Run entries ----

// A host value called from script gives its stack cell to the call's null `this`; what it runs
// may drop the global naming it and collect, and its class must still be there when it returns.
int selfishMarker = 0;
void CallSelfish(Interpreter& in, ClassRecord& cls, void*, Value* result, Value*) {
    in.GlobalByName("Selfish") = Value::Undefined();
    in.Collect();
    *result = Value::Boolean(cls.classData == &selfishMarker);
}

TEST_F(EngineTest, AHostValueCalledFromScriptOutlivesItsGlobal) {
    ClassRecord* cls = NewClass(Interp(), "Selfish");
    cls->classData = &selfishMarker;
    cls->Call = &CallSelfish;
    PublishClass(Interp(), "Selfish", cls);
    ASSERT_EQ(Run("return Selfish();"), 1) << engine_->ErrorText();
    EXPECT_EQ(Text(engine_->Result()), "true");
}

TEST_F(EngineTest, RunSourceTextReportsSuccessRuntimeErrorsAndCompileFailures) {
    ASSERT_EQ(Run("return 6 * 7;"), 1) << engine_->ErrorText();
    EXPECT_EQ(Text(engine_->Result()), "42");
    EXPECT_TRUE(engine_->ErrorText().empty());

    EXPECT_EQ(Run("function down() { return down(); } down(); return 1;"), 0);
    EXPECT_EQ(engine_->ErrorText(), kOverflow);
    EXPECT_TRUE(engine_->Result().Is(Tag::Undefined));

    // Warnings pile up past the error text's size before the error: all of it is kept.
    std::string source;
    for (int i = 0; i < 40; ++i) source += "s = \"\\q\";\n";
    source += "x = ;\n";
    EXPECT_EQ(Run(source), -1);
    EXPECT_GT(engine_->ErrorText().size(), kMaxErrorTextBytes);
    EXPECT_EQ(engine_->ErrorText(), engine_->LastDiagnostics());
    EXPECT_EQ(engine_->ErrorText().rfind("warning: line 0: ", 0), 0u);
    EXPECT_NE(engine_->ErrorText().find("error: line 40"), std::string::npos);

    // A thrown text is cut to the error text's size.
    EXPECT_EQ(Run("s = \"\"; for (i = 0; i < 1000; i++) s = s + \"ab\"; throw s;"), 0);
    ASSERT_EQ(engine_->ErrorText().size(), kMaxErrorTextBytes);
    EXPECT_EQ(engine_->ErrorText().substr(kMaxErrorTextBytes - 3), "aba");

    // A successful compile keeps its warnings, and the next one replaces them.
    EXPECT_EQ(Run("t = \"a\\qb\"; return t;"), 1);
    EXPECT_TRUE(engine_->ErrorText().empty());
    EXPECT_NE(engine_->LastDiagnostics().find("warning: line 0: unknown escape sequence '\\q'"), std::string::npos);
    EXPECT_EQ(Run("return 1;"), 1);
    EXPECT_TRUE(engine_->LastDiagnostics().empty());

    // The result's text runs script code; a toString that fails gives the fallback text.
    std::string text;
    ASSERT_EQ(Run("o = new Object(); o.toString = function () { return \"custom \" + 1; }; return o;"), 1);
    ASSERT_TRUE(engine_->ResultText(text)) << engine_->ErrorText();
    EXPECT_EQ(text, "custom 1");
    ASSERT_EQ(Run("o = new Object(); o.toString = function () { throw \"no text\"; }; return o;"), 1);
    ASSERT_TRUE(engine_->ResultText(text)) << engine_->ErrorText();
    EXPECT_EQ(text, "object");
    ExpectHealthy();
}

TEST_F(EngineTest, RunFileDecidesByExtensionThenByContent) {
    testing::ScratchFolder folder;
    const std::vector<uint8_t> module = CompiledModule("trace(\"compiled\");");
    const std::vector<uint8_t> source = testing::Bytes("trace(\"source\");");
    std::vector<uint8_t> hashed = testing::Bytes("#!velmo run\n");
    hashed.insert(hashed.end(), module.begin(), module.end());
    ASSERT_TRUE(platform::CreateFolder(folder.Path() + "dir.qvc"));
    const struct {
        std::string path;
        const char* expected;
    } cases[] = {
        {folder.Write("upper.QVC", module), "compiled"},
        {folder.Write("mixed.QvS", source), "source"},
        {folder.Write("hashed.bin", hashed), "compiled"},
        {folder.Write("bare", module), "compiled"},
        {folder.Write("plain.txt", source), "source"},
        {folder.Write("dir.qvc\\inside", source), "source"},  // a dot in a folder is no extension
    };
    for (const auto& c : cases) {
        trace_.clear();
        EXPECT_EQ(engine_->RunFile(c.path), 1) << c.path << ": " << engine_->ErrorText();
        EXPECT_EQ(trace_, std::vector<std::string>{c.expected}) << c.path;
    }
    // Source that starts with the magic: its extension decides, and without one the content does.
    const std::vector<uint8_t> magicSource = testing::Bytes("QX1b = 5; trace(QX1b);");
    trace_.clear();
    EXPECT_EQ(engine_->RunFile(folder.Write("magic.qvs", magicSource)), 1) << engine_->ErrorText();
    EXPECT_EQ(trace_, std::vector<std::string>{"5"});
    EXPECT_EQ(engine_->RunFile(folder.Write("magic", magicSource)), 0);
    EXPECT_FALSE(engine_->ErrorText().empty());
    EXPECT_EQ(engine_->RunFile(folder.Write("wrong.qvc", source)), 0);
    EXPECT_FALSE(engine_->ErrorText().empty());
    EXPECT_EQ(engine_->RunFile(folder.Path() + "missing.qvs"), -1);
    EXPECT_EQ(engine_->RunFile(folder.Path() + "missing.qvc"), 0);
    ExpectHealthy();
}

TEST_F(EngineTest, UnreadableCompiledBuffersFailWithAnErrorText) {
    const std::vector<uint8_t> junk = testing::Bytes("QX1b and then nothing a module holds");
    std::vector<uint8_t> refused = CompiledModule("q = function () { return 1; }; return 2;");
    const std::vector<uint8_t> truncated(refused.begin(), refused.begin() + static_cast<ptrdiff_t>(refused.size() / 2));
    // No opcode 0 passes the verifier; directory entry 0 (the code section) says where the code starts.
    const size_t codeAt = refused.at(8) | refused.at(9) << 8 | refused.at(10) << 16 | size_t{refused.at(11)} << 24;
    refused.at(codeAt) = 0;
    const std::vector<uint8_t>* inputs[] = {&junk, &truncated, &refused};
    for (const std::vector<uint8_t>* bytes : inputs) {
        EXPECT_EQ(engine_->RunCompiledBuffer(bytes->data(), bytes->size()), 0);
        EXPECT_FALSE(engine_->ErrorText().empty());
        EXPECT_TRUE(engine_->Result().Is(Tag::Undefined));
    }
    EXPECT_EQ(engine_->RunCompiledBuffer(nullptr, 0), 0);
    EXPECT_FALSE(Interp().GlobalByName("@F_0").Is(Tag::Function));
    ExpectHealthy();
}

// ---- Protected calls and re-entry ----

TEST_F(EngineTest, ProtectedCallsReturnResultsAndRecoverFromErrors) {
    ASSERT_EQ(Run("function add(a, b) { return a + b; }"
                  "function boom(n) { if (n) throw \"bad \" + n; return boom(n); }"
                  "counter = new Object(); counter.n = 40;"
                  "counter.bump = function (k) { this.n = this.n + k; return this.n; };"),
              1);
    Value pair[] = {Value::Integer(2), Value::Integer(40), Value::Integer(2)};
    ASSERT_TRUE(CallGlobal(Interp(), "add", pair)) << engine_->ErrorText();
    EXPECT_EQ(Text(engine_->Result()), "42");

    Value three[] = {Value::Integer(1), Value::Integer(3)};
    EXPECT_FALSE(CallGlobal(Interp(), "boom", three));
    EXPECT_EQ(engine_->ErrorText(), "bad 3");
    EXPECT_TRUE(engine_->Result().Is(Tag::Undefined));
    EXPECT_EQ(Interp().StackPointer(), baseSp_);
    Value zero[] = {Value::Integer(1), Value::Integer(0)};
    EXPECT_FALSE(CallGlobal(Interp(), "boom", zero));
    EXPECT_EQ(engine_->ErrorText(), kOverflow);
    EXPECT_EQ(Interp().StackPointer(), baseSp_);
    EXPECT_FALSE(CallGlobal(Interp(), "nothing", pair));
    EXPECT_EQ(engine_->ErrorText(), "Warning: call a undefined function");

    ASSERT_TRUE(CallGlobal(Interp(), "add", pair)) << engine_->ErrorText();
    EXPECT_EQ(Text(engine_->Result()), "42");
    Value two[] = {Value::Integer(1), Value::Integer(2)};
    ASSERT_TRUE(InvokeMethod(Interp(), Interp().GlobalByName("counter"), Interp().Intern("bump"), two));
    EXPECT_EQ(Text(engine_->Result()), "42");
    EXPECT_FALSE(InvokeMethod(Interp(), Interp().GlobalByName("counter"), Interp().Intern("n"), two));
    EXPECT_EQ(engine_->ErrorText(), "Warning: unknown method \"n\"");
    ExpectHealthy();
}

// A host value's property through its class: read into the result cell, written, and an error
// raised by a script the property runs stays inside the call.
TEST_F(EngineTest, HostPropertiesAreReadAndWrittenUnderProtection) {
    ClassRecord* cls = NewClass(Interp(), "Thing");
    cls->Property = [](Interpreter& interp, ClassRecord&, void* data, uint32_t nameId, bool isSet, Value* io) {
        Value& stored = *static_cast<Value*>(data);
        if (nameId == interp.Intern("size")) {
            if (isSet) stored = *io;
            else *io = stored;
            return true;
        }
        if (nameId != interp.Intern("boom")) return false;
        Value none[] = {Value::Integer(0)};
        if (!CallGlobal(interp, "fail", none)) interp.Throw(StringValue(interp, u"boom failed"));
        return true;
    };
    Value stored = Value::Integer(7);
    const Pinned held(Interp(), NewHostValue(Interp(), cls, &stored));
    const Value thing = held.Get();
    ASSERT_EQ(Run("function fail() { throw 'inner'; }"), 1);

    ASSERT_TRUE(AccessHostProperty(Interp(), thing, Interp().Intern("size"), false, Value::Undefined()));
    EXPECT_EQ(engine_->Result().AsInteger(), 7);
    ASSERT_TRUE(AccessHostProperty(Interp(), thing, Interp().Intern("size"), true, Value::Integer(12)));
    EXPECT_EQ(stored.AsInteger(), 12);
    EXPECT_TRUE(engine_->Result().Is(Tag::Undefined));
    // A name the class does not handle, or a target that is no host value, reads Undefined.
    ASSERT_TRUE(AccessHostProperty(Interp(), thing, Interp().Intern("other"), false, Value::Undefined()));
    EXPECT_TRUE(engine_->Result().Is(Tag::Undefined));
    ASSERT_TRUE(AccessHostProperty(Interp(), Value::Integer(3), Interp().Intern("size"), false, Value::Undefined()));

    EXPECT_FALSE(AccessHostProperty(Interp(), thing, Interp().Intern("boom"), false, Value::Undefined()));
    EXPECT_EQ(engine_->ErrorText(), "boom failed");
    EXPECT_EQ(Interp().StackPointer(), baseSp_);
    ExpectHealthy();
}

TEST_F(EngineTest, NestedProtectedCallsFailOnlyInsideTheHostOperation) {
    // callBack(f, x) calls f(x) and answers its result, or "failed: " and the error text.
    Host("callBack", [](Interpreter& interp, Value* args) {
        Value inner[] = {Value::Integer(1), args[0].AsInteger() >= 2 ? args[2] : Value::Undefined()};
        if (CallValue(interp, Value::Null(), args[1], inner)) return interp.Result();
        return StringValue(interp, platform::AnsiToUtf16("failed: " + interp.ErrorText()));
    });
    Host("raise", [](Interpreter& interp, Value* args) -> Value { interp.Throw(args[1]); });
    ASSERT_EQ(Run("function twice(x) { return x * 2; }\n"
                  "function thrower(x) { throw \"inner \" + x; }\n"
                  "function deep(x) { return deep(x); }\n"
                  "caught = \"none\";\n"
                  "try {\n"
                  "    trace(callBack(twice, 21));\n"
                  "    trace(callBack(thrower, 5));\n"
                  "    trace(callBack(deep, 0));\n"
                  "    trace(callBack(callBack, thrower));\n"
                  "    caught = \"still none\";\n"
                  "    throw \"outer\";\n"
                  "} catch (e) { trace(caught, \", then \", e); }\n"
                  "o = new Object();\n"
                  "try { raise(o); } catch (e) { trace(e === o); }\n"
                  "return \"done\";"),
              1)
        << engine_->ErrorText();
    EXPECT_EQ(trace_, (std::vector<std::string>{"42", "failed: inner 5", "failed: " + kOverflow,
                                                "failed: inner undefined", "still none, then outer", "true"}));
    EXPECT_EQ(Text(engine_->Result()), "done");
    ExpectHealthy();
}

TEST_F(EngineTest, RunawayReentryThroughTheHostEndsInStackOverflow) {
    int depth = 0, deepest = 0;
    std::string firstFailure;
    // reenter(f) calls f() and passes a failure on as a throw, as a strict host would.
    Host("reenter", [&](Interpreter& interp, Value* args) {
        deepest = std::max(deepest, ++depth);
        Value none[] = {Value::Integer(0)};
        const bool ok = CallValue(interp, Value::Null(), args[1], none);
        --depth;
        if (!ok) {
            if (firstFailure.empty()) firstFailure = interp.ErrorText();
            interp.Throw(StringValue(interp, platform::AnsiToUtf16(interp.ErrorText())));
        }
        return interp.Result();
    });
    EXPECT_EQ(Run("function spin() { return reenter(spin); } spin();"), 0);
    EXPECT_EQ(engine_->ErrorText(), kOverflow);
    EXPECT_EQ(firstFailure, kOverflow);
    EXPECT_GE(deepest, kMaxNestedActivations - 1);
    EXPECT_LE(deepest, kMaxNestedActivations);
    EXPECT_EQ(depth, 0);
    ExpectHealthy();
}

// ---- Hook and positions ----

TEST_F(EngineTest, HookIsAskedAtSafePointsAndBreaksTheRun) {
    struct {
        int calls = 0, otherReasons = 0, breakAt = 0;  // breakAt 0: never break
    } state;
    EngineOptions options;
    options.hook = [](int reason, void* data) {
        auto* hook = static_cast<decltype(state)*>(data);
        hook->otherReasons += reason != 2;
        return ++hook->calls == hook->breakAt ? 7 : 0;
    };
    options.hookData = &state;
    Build(options);
    ASSERT_EQ(Run("o = new Object(); for (i = 0; i < 200; i++) o.x = \"v\" + i; return o.x;"), 1);
    EXPECT_GT(state.calls, 0);
    EXPECT_EQ(Text(engine_->Result()), "v199");

    state.calls = 0;
    state.breakAt = 50;
    EXPECT_EQ(Run("o = new Object(); i = 0; while (true) { o.x = \"v\" + i; i++; }"), 0);
    EXPECT_EQ(engine_->ErrorText(), "Runtime error: hook break 7");
    EXPECT_EQ(state.calls, 50);
    EXPECT_EQ(state.otherReasons, 0);
    state.breakAt = 0;
    ExpectHealthy();
}

// A stop request from outside ends loops that never reach a safe point, also
// fused ones and those inside functions; a caught break meets the request again.
TEST_F(EngineTest, AnInterruptFlagBreaksEvenLoopsThatCallNothing) {
    std::atomic<int> interrupt{0};
    EngineOptions options;
    options.interrupt = &interrupt;
    Build(options);
    ASSERT_EQ(Run("n = 0; for (i = 0; i < 1000; i++) n += i; return n;"), 1);
    EXPECT_EQ(engine_->Result().AsInteger(), 499500);

    interrupt = 15;
    for (const char* endless :
         {"while (true) {}", "i = 0; while (i < 10) { i = i - 1; }", "function f() { for (;;) {} } f();",
          "while (true) { try { while (true) {} } catch (e) {} }",
          "function g() { var i; for (i = 0; i < 10; i--) {} } g();"}) {
        EXPECT_EQ(Run(endless), 0) << endless;
        EXPECT_EQ(engine_->ErrorText(), "Runtime error: hook break 15") << endless;
    }
    interrupt = 0;
    ExpectHealthy();
}

TEST_F(EngineTest, PositionServicesNameTheFunctionAndLineOfAPc) {
    EngineOptions options;
    options.flags |= kOptionLineInformation;
    Build(options);
    EXPECT_TRUE(engine_->CompileFlags() & compiler::kCompileFlagLineInformation);
    struct Seen {
        std::string name;
        Interpreter::SourcePosition position;
        const uint32_t* pc;
    };
    std::vector<Seen> seen;
    Host("where", [&](Interpreter& interp, Value*) {
        const uint32_t* pc = interp.SavedPc();
        seen.push_back({interp.FunctionNameAt(pc), interp.SourcePositionAt(pc), pc});
        return Value::Undefined();
    });
    ASSERT_EQ(Run("x = 1;\n"
                  "function named(a) {\n"
                  "    a = a + 1;\n"
                  "    where();\n"
                  "    return a;\n"
                  "}\n"
                  "named(x);\n"
                  "where();\n"),
              1)
        << engine_->ErrorText();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].name, "named");
    EXPECT_EQ(seen[0].position.file, "string");
    EXPECT_EQ(seen[0].position.line, 3u);
    EXPECT_EQ(seen[1].name, ".main");
    EXPECT_EQ(seen[1].position.file, "string");
    EXPECT_EQ(seen[1].position.line, 7u);
    // After the run the function is still found through its global.
    EXPECT_EQ(Interp().FunctionNameAt(seen[0].pc), "named");
    EXPECT_EQ(Interp().SourcePositionAt(seen[0].pc).line, 3u);
    EXPECT_EQ(Interp().FunctionNameAt(nullptr), ".main");
    EXPECT_EQ(Interp().SourcePositionAt(nullptr).line, 0u);
    EXPECT_TRUE(Interp().SourcePositionAt(nullptr).file.empty());
}

TEST_F(EngineTest, AnonymousFunctionsAreNumberedAcrossModules) {
    ASSERT_EQ(Run("a = function () { return 0; }; b = function () {}; c = function () {};"), 1);
    ASSERT_EQ(Run("eval(\"d = function () { return 33; };\"); return d();"), 1) << engine_->ErrorText();
    EXPECT_EQ(Text(engine_->Result()), "33");
    const Value d = Interp().GlobalByName("d");
    ASSERT_TRUE(Interp().GlobalByName("@F_3").Is(Tag::Function));
    EXPECT_EQ(Interp().GlobalByName("@F_3").AsFunction(), d.AsFunction());
    ASSERT_EQ(Run("e = function () { return 44; };"), 1);
    EXPECT_EQ(Interp().GlobalByName("@F_4").AsFunction(), Interp().GlobalByName("e").AsFunction());
    Value none[] = {Value::Integer(0)};
    ASSERT_TRUE(CallGlobal(Interp(), "@F_0", none));
    EXPECT_EQ(Text(engine_->Result()), "0");
}

// ---- Malformed code ----

TEST_F(EngineTest, MalformedButVerifiedCodeEndsWithAnError) {
    Instruction text = In(Op::PUSHCONST);
    text.constant.kind = compiler::Constant::Kind::String;
    text.constant.text = "text";
    // f(a, b) with the usual prologue.
    const InstructionList f = {Entry("f"),        In(Op::GETARG, 1), In(Op::ADDI2),
                               In(Op::ARGFIX, 4), In(Op::GETARG, 2), In(Op::RET)};
    const auto call = [](int64_t count, const char* callee, Instruction how) {
        return InstructionList{In(Op::PUSHINT, count), In(Op::GETGLOBAL, 0, callee), std::move(how), In(Op::RET)};
    };
    // The entry frame takes six of the 4,096 cells; the call's count and callee fill the last two.
    InstructionList fill = InstructionList(4096 - 6 - 2, In(Op::PUSH0));
    fill.insert(fill.end(), {In(Op::PUSH0), In(Op::GETGLOBAL, 0, "f"), In(Op::CALL), In(Op::RET)});
    InstructionList pops = InstructionList(64, In(Op::POP));
    pops.insert(pops.end(), {In(Op::PUSHTRUE), In(Op::RET)});
    const struct {
        const char* what;
        InstructionList body;
        std::string error;
    } cases[] = {
        {"pops past the stack's base", pops, kMalformed},
        {"drops past the stack's base", InstructionList(40, In(Op::DROPN, 127)), kMalformed},
        {"negative drops", InstructionList(40, In(Op::DROPN, -128)), kOverflow},
        {"negative PUTDOWN", {In(Op::PUSH1), In(Op::PUTDOWN, -1), In(Op::RET)}, kMalformed},
        {"ADDI1 on a string", {text, In(Op::ADDI1), In(Op::RET)}, kMalformed},
        {"host call counting past the stack", call(100000, "trace", In(Op::CALL)), kMalformed},
        {"host call with a negative count", call(-1, "trace", In(Op::CALL)), kMalformed},
        {"method call counting past the stack", call(100000, "Math", In(Op::CALLMETHOD, 0, "max")), kMalformed},
        {"construction counting past the stack", call(100000, "Object", In(Op::NEW)), kMalformed},
        {"function call counting past the stack", call(100000, "f", In(Op::CALL)), kMalformed},
        {"a call with the stack full to its last cell", fill, kOverflow},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RunCode(c.body, f), 0) << c.what;
        EXPECT_EQ(engine_->ErrorText(), c.error) << c.what;
        ExpectHealthy();
    }
}

TEST_F(EngineTest, MalformedCodeThatReachesFrameCellsStaysInsideTheStack) {
    // .main hands its own bookkeeping cells to code as values; the conversion comes last, as it
    // may refuse them.
    std::vector<InstructionList> bodies;
    for (const char* name : {"frameMark", "callMark"}) {
        bodies.push_back({In(Op::POP), In(Op::DUP), In(Op::SETGLOBAL, 0, "frameMark"), In(Op::POP), In(Op::DUP),
                          In(Op::SETGLOBAL, 0, "callMark")});
        for (const Op op : {Op::TYPEOF, Op::GETPROP, Op::CALLMETHOD, Op::STRICTEQ, Op::ADD}) {
            if (op == Op::CALLMETHOD) bodies.back().push_back(In(Op::PUSH0));
            bodies.back().push_back(In(Op::GETGLOBAL, 0, name));
            if (op == Op::STRICTEQ || op == Op::ADD) bodies.back().push_back(In(Op::GETGLOBAL, 0, name));
            bodies.back().insert(bodies.back().end(), {In(op, 0, "toString"), In(Op::POP)});
        }
        bodies.back().insert(bodies.back().end(), {In(Op::PUSHTRUE), In(Op::RET)});
    }
    // g() pops through its own frame into its caller's and pushes over it.
    InstructionList g = {Entry("g")};
    g.insert(g.end(), 10, In(Op::POP));
    g.insert(g.end(), 10, In(Op::PUSH0));
    g.push_back(In(Op::RET));
    bodies.push_back({In(Op::PUSH0), In(Op::GETGLOBAL, 0, "g"), In(Op::CALL), In(Op::RET)});
    for (const InstructionList& body : bodies) {
        const int outcome = RunCode(body, g);
        EXPECT_TRUE(outcome == 1 || engine_->ErrorText().rfind("Runtime error: ", 0) == 0) << engine_->ErrorText();
        Interp().Collect();
        ExpectHealthy();
    }

    // A try record catches the error, whatever the code did to the stack above it.
    InstructionList caught = {In(static_cast<int>(Op::TRYENTER), 0, {}, 1)};
    caught.insert(caught.end(), 6, In(Op::POP));
    caught.insert(caught.end(), {In(Op::THROW), In(compiler::kLabel, 0, {}, 1), In(Op::SETGLOBAL, 0, "caught"),
                                 In(Op::PUSHTRUE), In(Op::RET)});
    ASSERT_EQ(RunCode(caught), 1) << engine_->ErrorText();
    EXPECT_EQ(Text(Interp().GlobalByName("caught")), kMalformed);
    ExpectHealthy();
}

// ---- Collections while code runs ----

TEST_F(EngineTest, CollectionsKeepWithScopesAndTheCodeOfRunningFunctions) {
    // collect() collects, fills the freed blocks with other records, and collects again.
    Host("collect", [](Interpreter& interp, Value*) {
        interp.Collect();
        for (int i = 0; i < 300; ++i) (void)StringValue(interp, u"filler that takes over freed blocks");
        interp.Collect();
        return Value::Undefined();
    });
    ASSERT_EQ(Run("function make(n) { o = new Object(); o.label = \"scope \" + n; o.list = new Array();"
                  "    o.list[0] = n * 2; return o; }\n"
                  "with (make(21)) { o = 0; collect(); trace(label, \" \", list[0]); }\n"
                  "function replaced() {\n"
                  "    replaced = 0;\n"
                  "    collect();\n"
                  "    var s = \"r\";\n"
                  "    for (var i = 0; i < 3; i++) s = s + i;\n"
                  "    return s;\n"
                  "}\n"
                  "trace(replaced());\n"
                  "trace(typeof replaced);\n"
                  "function again(k) { again = null; collect(); return \"k\" + k; }\n"),
              1)
        << engine_->ErrorText();
    EXPECT_EQ(trace_, (std::vector<std::string>{"scope 21 42", "r012", "number"}));
    // The same when the host calls it: the frame, not the global, keeps the code.
    Value five[] = {Value::Integer(1), Value::Integer(5)};
    ASSERT_TRUE(CallGlobal(Interp(), "again", five)) << engine_->ErrorText();
    EXPECT_EQ(Text(engine_->Result()), "k5");
    EXPECT_TRUE(Interp().GlobalByName("again").Is(Tag::Null));
    ExpectHealthy();
}

// Straight-line code reaches no listed safe point and no backward jump, yet each `s = s + "..."`
// leaves the previous string behind: without collections on the way, the shapes below took 17 to
// 49 MB of heap chunks, and about 3 MB with them. Each takes a different instruction path (ADD,
// the fused ADD-and-store, the fused constant ADD, a host call's result); none may need more than
// a few times the collection mark, and the hook must not be asked where no listed safe point is.
TEST_F(EngineTest, StraightLineCodeCollectsOnTheWayAndRunsInBoundedMemory) {
    constexpr int kLines = 2000;
    const auto lines = [](const std::function<std::string(int)>& line) {
        std::string text;
        for (int n = 1; n <= kLines; ++n) text += line(n) + "\n";
        return text;
    };
    const std::string appendText = lines([](int n) { return "s = s + \"line " + std::to_string(n) + "\";"; });
    // `t = s` keeps the local stores (and so the fused ADD-and-store) that the compiler would
    // otherwise fold into a chain of ADDs on the stack.
    const std::string appendToLocal = lines([](int n) { return "s = s + \"line " + std::to_string(n) + "\"; t = s;"; });
    const std::string appendNumber = lines([](int n) { return "s = s + " + std::to_string(n) + ";"; });
    const std::string dropPieces = lines([](int n) { return "piece(" + std::to_string(n) + ");"; });
    std::string expectedText, expectedNumbers;
    for (int n = 1; n <= kLines; ++n) {
        expectedText += "line " + std::to_string(n);
        expectedNumbers += std::to_string(n);
    }
    const struct {
        const char* shape;
        std::string source, expected;
    } cases[] = {
        {"global concatenation", "var s = \"\";\n" + appendText + "return s;", expectedText},
        {"local concatenation",
         "function build() {\nvar s = \"\", t;\n" + appendToLocal + "return t;\n}\nreturn build();", expectedText},
        {"numbers appended", "var s = \"\";\n" + appendNumber + "return s;", expectedNumbers},
        {"host results dropped", dropPieces + "return piece(0).length;", "4096"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shape);
        int hookCalls = 0;
        EngineOptions options;
        options.hook = [](int, void* data) {
            ++*static_cast<int*>(data);
            return 0;
        };
        options.hookData = &hookCalls;
        Build(options);
        // A fresh 4,096-character string at every call, garbage once its statement ends.
        Host("piece", [](Interpreter& interp, Value*) { return StringValue(interp, std::u16string(4096, u'x')); });
        const size_t collectionsBefore = Interp().Collections();
        ASSERT_EQ(Run(c.source), 1) << engine_->ErrorText();
        EXPECT_EQ(Text(engine_->Result()), c.expected);
        // Chunks are never given back, so their total is the run's high-water mark.
        EXPECT_LT(Interp().GetHeap().ChunkBytes(), 4 * kCollectThresholdBytes);
        // Besides the full collection at the end of the run, some on the way.
        EXPECT_GE(Interp().Collections() - collectionsBefore, 3u);
        EXPECT_EQ(hookCalls, 0);
        EXPECT_TRUE(Interp().GetHeap().CheckConsistency());
    }
    ExpectHealthy();
}

// The parts of an error beside its unchanged text: the tool prints them as FILE:LINE lines.
TEST_F(EngineTest, ErrorReportsPlaceFailuresInTheChainOfCalls) {
    EngineOptions options;
    options.flags |= kOptionLineInformation;
    Build(options);
    ASSERT_EQ(engine_->RunCompiled(engine_->CompileText("function inner(n) {\n"
                                                        "    throw \"bad \" + n;\n"
                                                        "}\n"
                                                        "function outer() { return inner(7); }\n"
                                                        "outer();\n",
                                                        "app.qvs")),
              0);
    EXPECT_EQ(engine_->ErrorText(), "bad 7");
    const ErrorReport& thrown = engine_->LastError();
    EXPECT_EQ(thrown.kind, ErrorKind::UncaughtThrow);
    EXPECT_EQ(thrown.message, "bad 7");
    ASSERT_EQ(thrown.calls.size(), 3u);
    const struct {
        const char* function;
        uint32_t line;
    } want[] = {{"inner", 1}, {"outer", 3}, {".main", 4}};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(thrown.calls[i].function, want[i].function);
        EXPECT_EQ(thrown.calls[i].file, "app.qvs");
        EXPECT_EQ(thrown.calls[i].line, want[i].line) << want[i].function;
    }

    // A comparator's failure passed on by sort keeps the comparator's frame, and the frame below
    // the host call stands where .main called sort.
    ASSERT_EQ(Run("function cmp(a, b) {\n    throw \"no\";\n}\n[2, 1].sort(cmp);\n"), 0);
    EXPECT_EQ(engine_->LastError().kind, ErrorKind::UncaughtThrow);
    ASSERT_EQ(engine_->LastError().calls.size(), 2u);
    EXPECT_EQ(engine_->LastError().calls[0].function, "cmp");
    EXPECT_EQ(engine_->LastError().calls[0].line, 1u);
    EXPECT_EQ(engine_->LastError().calls[1].line, 3u);  // where .main called sort

    // A runtime error keeps its text; the report has the message alone.
    ASSERT_EQ(Run("function down() {\n    return down();\n}\ndown();\n"), 0);
    EXPECT_EQ(engine_->LastError().kind, ErrorKind::RuntimeError);
    EXPECT_EQ(engine_->ErrorText(), "Runtime error: " + engine_->LastError().message);
    EXPECT_EQ(engine_->LastError().calls.size(), kMaxReportedCalls);
    EXPECT_GT(engine_->LastError().omittedCalls, 0u);

    // A caught error records no positions, and a later success clears the report.
    ASSERT_EQ(Run("try { throw 1; } catch (e) {}\n"), 1);
    EXPECT_EQ(engine_->LastError().kind, ErrorKind::None);

    // Compile diagnostics as records beside the text, lines counted from 0 in both.
    ASSERT_EQ(engine_->RunCompiled(engine_->CompileText("x = 1;\ny = ;\n")), -1);
    ASSERT_EQ(engine_->LastMessages().size(), 1u);
    EXPECT_TRUE(engine_->LastMessages()[0].isError);
    EXPECT_EQ(engine_->LastMessages()[0].line, 1);
    EXPECT_NE(engine_->ErrorText().find("error: line 1: " + engine_->LastMessages()[0].text), std::string::npos);
    EXPECT_EQ(engine_->LastError().kind, ErrorKind::Other);
}

// Without line information the chain still names the functions, but no lines.
TEST_F(EngineTest, ErrorReportsWithoutLineInformationNameOnlyFunctions) {
    ASSERT_EQ(Run("function f() { throw 2; }\nf();\n"), 0);
    const ErrorReport& report = engine_->LastError();
    ASSERT_EQ(report.calls.size(), 2u);
    EXPECT_EQ(report.calls[0].function, "f");
    EXPECT_FALSE(report.calls[0].line.has_value());
    EXPECT_TRUE(report.calls[0].file.empty());
}

// What an embedder reaches without the machine state: the trace output through the engine, globals
// and the result cell through interpreter_api.h, each the same cell the running script uses.
TEST(EmbeddingSurface, TraceGlobalsAndResultAreTheScriptsOwn) {
    const std::unique_ptr<Engine> engine = host::MakeEngine({});
    ASSERT_TRUE(engine);
    std::vector<std::string> lines;
    engine->Trace().OpenSink([&lines](std::string_view line) { lines.emplace_back(line); });
    Interpreter& interp = engine->Interp();
    GlobalByName(interp, "seed") = Value::Integer(20);
    ASSERT_EQ(engine->RunSourceText("trace(\"seen \" + seed); doubled = seed * 2; return doubled + 1;"), 1)
        << engine->ErrorText();
    EXPECT_EQ(lines, std::vector<std::string>{"seen 20"});
    EXPECT_EQ(Global(interp, Intern(interp, "doubled")).AsInteger(), 40);
    EXPECT_EQ(Result(interp).AsInteger(), 41);
    EXPECT_EQ(engine->Result().AsInteger(), 41);

    ASSERT_EQ(engine->RunSourceText("throw \"refused\";"), 0);
    EXPECT_NE(ErrorText(interp).find("refused"), std::string::npos) << ErrorText(interp);
    EXPECT_EQ(ErrorText(interp), engine->ErrorText());
    EXPECT_TRUE(Result(interp).Is(Tag::Undefined));
}

}  // namespace
}  // namespace velmo::script
