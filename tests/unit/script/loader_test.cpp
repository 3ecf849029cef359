// The loader's translation: compiled modules loaded into an interpreter, read back slot by slot.
// Expectations follow the slot form (one slot per opcode and per operand, jumps counted in slots
// from the slot after the operand), not byte offsets, and must hold across collections.
#include "script/runtime/internal/loader.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "script/compiler/compiler.h"
#include "script/runtime/internal/quicken.h"
#include "script/runtime/module_reader.h"
#include "script/runtime/opcodes.h"
#include "script/runtime/strings.h"

namespace velmo::script {
namespace {

Module Compile(std::string_view source, uint32_t flags = 0) {
    compiler::CompileResult compiled = compiler::CompileString(source, flags);
    EXPECT_TRUE(compiled.ok) << compiled.diagnostics;
    std::optional<Module> module = ReadModuleMemory(compiled.module);
    EXPECT_TRUE(module.has_value());
    return module ? std::move(*module) : Module{};
}

struct Slot {
    uint32_t at;  // slot position of the opcode
    Op op;
    OperandClass operand;
    uint32_t value;  // the operand slot, 0 when none
};

std::vector<Slot> Decode(const CodeRecord* code) {
    std::vector<Slot> out;
    for (uint32_t at = 0; at < code->codeWords;) {
        const OpcodeInfo info = DescribeOpcode(static_cast<int>(code->code[at]));
        EXPECT_FALSE(info.name.empty()) << "slot " << at;
        const bool hasOperand = info.operand != OperandClass::None;
        out.push_back({at, static_cast<Op>(code->code[at]), info.operand, hasOperand ? code->code[at + 1] : 0});
        at += hasOperand ? 2 : 1;
    }
    return out;
}

std::set<std::string> NameOperands(Interpreter& interp, const CodeRecord* code) {
    std::set<std::string> names;
    for (const Slot& s : Decode(code))
        if (s.operand == OperandClass::Name) names.emplace(interp.Names().Text(s.value));
    return names;
}

std::u16string ConstantText(Interpreter& interp, uint32_t index) {
    const Value& v = interp.Constants().at(index);
    return v.Is(Tag::String) ? std::u16string(Text(v.AsString())) : u"<not a string>";
}

TEST(Loader, MainSlotsCarryResolvedNamesConstantsAndSlotJumps) {
    Interpreter interp;
    interp.SetFusedInstructions(false);  // the words as translated, one per opcode and operand
    const Module module = Compile("x = 5; s = \"hi\"; while (x) x = x - 1; function f(a) { return a; } return f(1);");
    auto loaded = LoadModule(interp, module);
    ASSERT_TRUE(loaded) << interp.ErrorText();
    const CodeRecord* main = loaded->Main()->code;
    const std::vector<Slot> slots = Decode(main);
    ASSERT_FALSE(slots.empty());
    EXPECT_EQ(slots.back().op, Op::END);
    EXPECT_EQ(slots.back().at, main->codeWords - 1);

    std::set<uint32_t> starts;
    for (const Slot& s : slots) starts.insert(s.at);
    bool sawFive = false, sawHi = false, sawBackwardJump = false;
    for (const Slot& s : slots) {
        if (s.op == Op::PUSHINT) sawFive |= s.value == 5;
        if (s.operand == OperandClass::Const) {
            const Value& c = interp.Constants().at(s.value);
            sawFive |= c.Is(Tag::Integer) && c.AsInteger() == 5;
            sawHi |= ConstantText(interp, s.value) == u"hi";
        }
        if (s.operand != OperandClass::Rel32) continue;
        const int64_t target = static_cast<int64_t>(s.at) + 2 + static_cast<int32_t>(s.value);
        ASSERT_TRUE(starts.count(static_cast<uint32_t>(target))) << "jump at slot " << s.at;
        if (target < s.at) {
            // The loop jumps back to its condition, which reads x.
            sawBackwardJump = true;
            const Slot& head = *std::find_if(slots.begin(), slots.end(), [&](const Slot& t) { return t.at == target; });
            ASSERT_EQ(head.operand, OperandClass::Name);
            EXPECT_EQ(head.value, interp.Intern("x"));
        }
    }
    EXPECT_TRUE(sawFive);
    EXPECT_TRUE(sawHi);
    EXPECT_TRUE(sawBackwardJump);
    EXPECT_TRUE(NameOperands(interp, main).count("f"));

    const Value f = interp.GlobalByName("f");
    ASSERT_TRUE(f.Is(Tag::Function));
    EXPECT_EQ(f.AsFunction()->code->nameId, interp.Intern("f"));
    EXPECT_EQ(Decode(f.AsFunction()->code).back().op, Op::END);
    EXPECT_FALSE(interp.GlobalByName(".main").Is(Tag::Function));
    // Without line information the source is named "unknown" and there are no pairs.
    EXPECT_EQ(Text(main->sourceFile), u"unknown");
    EXPECT_EQ(main->lineCount, 0u);
}

TEST(Loader, LaterModuleRebasesConstantsAndShiftsAnonymousNames) {
    Interpreter interp;
    interp.SetFusedInstructions(false);
    auto first = LoadModule(interp, Compile("a = function(){}; b = function(){}; c = function(){}; t = \"one\";"));
    ASSERT_TRUE(first) << interp.ErrorText();
    const size_t firstEnd = interp.Constants().size();
    for (const char* name : {"@F_0", "@F_1", "@F_2"}) EXPECT_TRUE(interp.GlobalByName(name).Is(Tag::Function)) << name;
    const Value firstF0 = interp.GlobalByName("@F_0");

    auto second = LoadModule(interp, Compile("g = function(){ return \"two\"; }; return \"three\";"));
    ASSERT_TRUE(second) << interp.ErrorText();
    EXPECT_EQ(second->constantBase, firstEnd);
    const Value g = interp.GlobalByName("@F_3");
    ASSERT_TRUE(g.Is(Tag::Function));
    EXPECT_EQ(interp.Names().Text(g.AsFunction()->code->nameId), "@F_3");
    EXPECT_EQ(interp.GlobalByName("@F_0").AsFunction(), firstF0.AsFunction());
    EXPECT_FALSE(interp.GlobalByName("@F_4").Is(Tag::Function));

    const std::set<std::string> mainNames = NameOperands(interp, second->Main()->code);
    EXPECT_TRUE(mainNames.count("@F_3"));
    EXPECT_FALSE(mainNames.count("@F_0"));
    for (const auto* code : {second->Main()->code, g.AsFunction()->code})
        for (const Slot& s : Decode(code))
            if (s.operand == OperandClass::Const) {
                EXPECT_GE(s.value, firstEnd);
            }
    bool sawTwo = false;
    for (const Slot& s : Decode(g.AsFunction()->code))
        if (s.operand == OperandClass::Const) sawTwo |= ConstantText(interp, s.value) == u"two";
    EXPECT_TRUE(sawTwo);
}

TEST(Loader, LineInformationBecomesSlotLinePairs) {
    Interpreter interp;
    interp.SetFusedInstructions(false);
    auto loaded = LoadModule(interp, Compile("x = 1;\ny = 2;\n\nfunction f() {\n  return 4;\n}\nreturn f();\n",
                                             compiler::kCompileFlagLineInformation));
    ASSERT_TRUE(loaded) << interp.ErrorText();
    const CodeRecord* main = loaded->Main()->code;
    EXPECT_EQ(Text(main->sourceFile), u"string");
    ASSERT_GE(main->lineCount, 3u);
    std::set<uint32_t> boundaries;
    for (const Slot& s : Decode(main)) boundaries.insert(s.at);
    std::set<uint32_t> lines;
    for (uint32_t i = 0; i < main->lineCount; ++i) {
        const LinePosition& p = main->lines[i];
        EXPECT_TRUE(boundaries.count(p.codeOffset)) << "pair " << i;  // just past an instruction
        if (i) {
            EXPECT_GT(p.codeOffset, main->lines[i - 1].codeOffset);
        }
        lines.insert(p.line);
    }
    EXPECT_EQ(lines, (std::set<uint32_t>{0, 1, 6}));  // the first source line is line 0

    const CodeRecord* f = interp.GlobalByName("f").AsFunction()->code;
    ASSERT_GE(f->lineCount, 1u);
    for (uint32_t i = 0; i < f->lineCount; ++i) {
        EXPECT_LT(f->lines[i].codeOffset, f->codeWords);
        EXPECT_GE(f->lines[i].line, 3u);
    }
    EXPECT_EQ(f->sourceFile, main->sourceFile);
}

TEST(Loader, LoadedModulesSurviveCollections) {
    Interpreter interp;
    interp.SetFusedInstructions(false);
    auto first = LoadModule(interp, Compile("s = \"kept text\"; h = function(){ return \"inner\"; };"));
    auto second =
        LoadModule(interp, Compile("r = /ab+c/g; return \"main text\";", compiler::kCompileFlagLineInformation));
    ASSERT_TRUE(first && second) << interp.ErrorText();
    const std::vector<uint32_t> mainSlots(second->Main()->code->code,
                                          second->Main()->code->code + second->Main()->code->codeWords);
    for (int i = 0; i < 3; ++i) {
        // Garbage in between, so that freed blocks get reused if anything was left unrooted.
        for (int k = 0; k < 200; ++k) (void)StringValue(interp, u"filler filler filler filler");
        interp.Collect();
    }
    std::set<std::u16string> texts;
    bool sawRegExp = false;
    for (uint32_t i = 0; i < interp.Constants().size(); ++i) {
        const Value& v = interp.Constants()[i];
        if (!v.Is(Tag::String)) continue;
        EXPECT_TRUE(v.AsString()->flags & kStaticString);
        if (v.AsString()->flags & kRegExpPlaceholder) {
            sawRegExp = true;
            EXPECT_EQ(Text(v.AsString()), u"ab+c");
        }
        texts.insert(std::u16string(Text(v.AsString())));
    }
    EXPECT_TRUE(sawRegExp);
    for (const char16_t* t : {u"kept text", u"inner", u"main text"}) EXPECT_TRUE(texts.count(t));
    const CodeRecord* main = second->Main()->code;
    EXPECT_TRUE(std::equal(mainSlots.begin(), mainSlots.end(), main->code));
    EXPECT_EQ(Text(main->sourceFile), u"string");
    EXPECT_EQ(Decode(interp.GlobalByName("@F_0").AsFunction()->code).back().op, Op::END);
}

TEST(Loader, RefusedModuleLoadsNothing) {
    Interpreter interp;
    Module broken = Compile("q = function(){}; return \"x\";");
    for (Section& s : broken.sections)
        if (s.Kind() == SectionKind::Code) s.bytes.at(0) = 0;  // no such opcode
    const size_t constantsBefore = interp.Constants().size();
    EXPECT_FALSE(LoadModule(interp, broken));
    EXPECT_FALSE(interp.ErrorText().empty());
    EXPECT_EQ(interp.Constants().size(), constantsBefore);
    EXPECT_FALSE(interp.GlobalByName("@F_0").Is(Tag::Function));

    // The anonymous count did not move either.
    auto good = LoadModule(interp, Compile("q = function(){};"));
    ASSERT_TRUE(good) << interp.ErrorText();
    EXPECT_TRUE(interp.ErrorText().empty());
    EXPECT_TRUE(interp.GlobalByName("@F_0").Is(Tag::Function));
    EXPECT_FALSE(interp.GlobalByName("@F_1").Is(Tag::Function));
}

}  // namespace
}  // namespace velmo::script

#if defined(__GNUC__)
// A fused remainder by a constant multiplies by its reciprocal; it must give the division's
// remainder for every 32-bit value, so check the ends of the range and a spread of values for
// small, prime, power-of-two and largest divisors.
TEST(Loader, ReciprocalRemaindersMatchDivision) {
    const uint64_t divisors[] = {2, 3, 7, 10, 997, 1009, 1000003, 65536, 2147483647, 2147483648u, 4294967295u};
    for (const uint64_t d : divisors) {
        const velmo::script::Divisor divisor = velmo::script::Divisor::Of(d);
        uint64_t x = 0;
        for (int i = 0; i < 20000; ++i) {
            const auto value = static_cast<uint32_t>(x);
            ASSERT_EQ(divisor.Remainder(value), value % d) << value << " % " << d;
            x = x * 6364136223846793005u + 1442695040888963407u;  // a spread over the whole range
            x ^= x >> 29;
        }
        for (const uint32_t value :
             {0u, 1u, static_cast<uint32_t>(d - 1), static_cast<uint32_t>(d), UINT32_MAX - 1, UINT32_MAX})
            ASSERT_EQ(divisor.Remainder(value), value % d) << value << " % " << d;
    }
}
#endif
