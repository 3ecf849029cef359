// Module bytes: the writer's exact layout and pool interning, the readers' refusals, the verifier's
// refusals of patched modules, and the disassembler's text.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "script/compiler/module_writer.h"
#include "script/runtime/disassembler.h"
#include "script/runtime/module.h"
#include "script/runtime/module_reader.h"
#include "script/runtime/module_verifier.h"
#include "tests/support/scratch.h"

namespace velmo::script::compiler {
namespace {

using Bytes = std::vector<uint8_t>;

Instruction Entry(std::string name) {
    Instruction in;
    in.opcode = kFunctionEntry;
    in.text = std::move(name);
    return in;
}
Instruction Bare(Op op, int32_t line = 0) {
    Instruction in;
    in.opcode = static_cast<int>(op);
    in.line = line;
    return in;
}
Instruction WithOperand(Op op, int64_t operand, int32_t line = 0) {
    Instruction in = Bare(op, line);
    in.operand = operand;
    return in;
}
Instruction Named(Op op, std::string name, int32_t line = 0) {
    Instruction in = Bare(op, line);
    in.text = std::move(name);
    return in;
}
Instruction PushConst(Constant c, int32_t line = 0) {
    Instruction in = Bare(Op::PUSHCONST, line);
    in.constant = std::move(c);
    return in;
}
Instruction Jump(Op op, int label, int32_t line = 0) {
    Instruction in = Bare(op, line);
    in.label = label;
    return in;
}
Instruction Label(int id) {
    Instruction in;
    in.opcode = kLabel;
    in.label = id;
    return in;
}
Constant Integer(int64_t v) {
    Constant c;
    c.kind = Constant::Kind::Integer;
    c.integer = v;
    return c;
}
Constant String(std::string text) {
    Constant c;
    c.kind = Constant::Kind::String;
    c.text = std::move(text);
    return c;
}

Bytes WriteFixed(const InstructionList& list, bool lines = false, std::string_view source = "") {
    const WrittenModule m = WriteModule(list, lines, source, [] { return 0xABCDEFu; });
    EXPECT_TRUE(m.ok) << m.error;
    return m.bytes;
}

uint32_t LE32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

// Where section `kind` starts, and its length, from the directory.
std::pair<size_t, size_t> SectionAt(const Bytes& b, int kind) {
    return {LE32(b, 4 + 12 * kind + 4), LE32(b, 4 + 12 * kind + 8)};
}

TEST(ModuleWriter, ReturnTrueIsTheSeventyTwoByteModule) {
    const InstructionList list = {Entry(".main"), Bare(Op::PUSHTRUE), Bare(Op::RET)};
    const Bytes expected = {
        'Q',  'X',  '1',  'b',  0x00, 0xEF, 0xCD, 0xAB, 56,  0,   0,    0,    2,    0,    0,  0, 0x01, 0xEF,
        0xCD, 0xAB, 58,   0,    0,    0,    0,    0,    0,   0,   0x02, 0xEF, 0xCD, 0xAB, 58, 0, 0,    0,
        14,   0,    0,    0,    0x03, 0xEF, 0xCD, 0xAB, 72,  0,   0,    0,    0,    0,    0,  0, 0xFF, 0xFF,
        0xFF, 0xFF, 0x60, 0x33, 0,    0,    0,    1,    '.', 'm', 'a',  'i',  'n',  0,    0,  0, 0,    0,
    };
    EXPECT_EQ(WriteFixed(list), expected);

    // Clock-seeded tags: two writes may differ only in the upper 24 bits of the four tags.
    const WrittenModule a = WriteModule(list, false, "");
    const WrittenModule b = WriteModule(list, false, "");
    ASSERT_TRUE(a.ok && b.ok);
    ASSERT_EQ(a.bytes.size(), 72u);
    ASSERT_EQ(b.bytes.size(), 72u);
    for (size_t i = 0; i < 72; ++i) {
        const bool tagBits = i >= 4 && i < 52 && (i - 4) % 12 >= 1 && (i - 4) % 12 <= 3;
        if (tagBits) continue;
        EXPECT_EQ(a.bytes[i], b.bytes[i]) << "byte " << i;
        EXPECT_EQ(a.bytes[i], expected[i]) << "byte " << i;
    }
}

TEST(ModuleWriter, PoolInternsByKeyAndKind) {
    Constant pattern;
    pattern.kind = Constant::Kind::RegExp;
    pattern.text = "ag";
    Constant patternG = pattern;
    patternG.text = "a";
    patternG.regexpFlags = 1;
    Constant negZero;
    negZero.kind = Constant::Kind::Float;
    negZero.number = -0.0;
    Constant zero = negZero;
    zero.number = 0.0;
    const InstructionList list = {
        Entry(".main"),
        PushConst(String("x")),     // 0: string "x"
        Named(Op::GETGLOBAL, "x"),  // 1: name x, not the string
        PushConst(String("x")),     // reuses 0
        PushConst(Integer(1)),      // 2
        PushConst(Integer(1)),      // reuses 2
        Named(Op::SETGLOBAL, "x"),  // reuses 1
        PushConst(String("1")),     // 3: not the integer 1
        PushConst(pattern),         // 4: /ag/
        PushConst(patternG),        // 5: /a/g, a different pattern
        PushConst(negZero),         // 6
        PushConst(zero),            // 7: -0 and 0 are different doubles
        PushConst(Integer(-2)),     // 8
    };
    const Bytes b = WriteFixed(list);
    const auto [codeAt, codeLength] = SectionAt(b, 0);
    const std::vector<uint32_t> expectedIndexes = {0, 1, 0, 2, 2, 1, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(codeLength, expectedIndexes.size() * 5);
    for (size_t i = 0; i < expectedIndexes.size(); ++i)
        EXPECT_EQ(LoadU32BE(&b[codeAt + 5 * i + 1]), expectedIndexes[i]) << "instruction " << i;

    const auto [poolAt, poolLength] = SectionAt(b, 1);
    const Bytes pool(b.begin() + poolAt, b.begin() + poolAt + poolLength);
    const Bytes expectedPool = {
        4,  0,    0,    0,    2,    'x',  0,                    // UTF-16LE "x"
        10, 'x',  0,                                            // name x
        3,  0,    0,    0,    0,    0,    0,    0,    1,        // integer 1, big-endian
        4,  0,    0,    0,    2,    '1',  0,                    // string "1"
        11, 0,    0,    0,    0,    4,    'a',  0,    'g',  0,  // /ag/
        11, 1,    0,    0,    0,    2,    'a',  0,              // /a/g
        5,  0,    0,    0,    0,    0,    0,    0,    0x80,     // -0.0, little-endian
        5,  0,    0,    0,    0,    0,    0,    0,    0,        // 0.0
        3,  0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE,
    };
    EXPECT_EQ(pool, expectedPool);
}

TEST(ModuleWriter, OperandsJumpsAndLineInformation) {
    const InstructionList list = {
        Entry(".main"),
        Label(7),                         // offset 0
        WithOperand(Op::PUSHINT, -2, 1),  // 0..5
        Jump(Op::JF, 9, 1),               // 5..10 -> 13: +3
        WithOperand(Op::ROT, -3, 2),      // 10..12
        Bare(Op::POP, 2),                 // 12..13
        Label(9),
        Jump(Op::JMP, 7, 4),  // 13..18 -> 0: -18
        Entry("f"),
        WithOperand(Op::GETLOCAL, 0x1234, 4),  // 18..21
        Bare(Op::RET, 5),                      // 21..22
    };
    const Bytes b = WriteFixed(list, true, "a.qvs");
    const auto [codeAt, codeLength] = SectionAt(b, 0);
    const Bytes code(b.begin() + codeAt, b.begin() + codeAt + codeLength);
    const Bytes expectedCode = {0x59, 0xFF, 0xFF, 0xFF, 0xFE, 0x38, 0,    0,    0,    3,    0x63,
                                0xFD, 0x67, 0x35, 0xFF, 0xFF, 0xFF, 0xEE, 0x54, 0x12, 0x34, 0x33};
    EXPECT_EQ(code, expectedCode);

    const auto [tableAt, tableLength] = SectionAt(b, 2);
    const Bytes table(b.begin() + tableAt, b.begin() + tableAt + tableLength);
    const Bytes expectedTable = {0, 0, 0, 2, '.', 'm', 'a', 'i', 'n', 0, 0, 0, 0, 0, 'f', 0, 0, 0, 0, 18};
    EXPECT_EQ(table, expectedTable);

    // A record for the first instruction and wherever the line changes, at the instruction's end.
    const auto [linesAt, linesLength] = SectionAt(b, 3);
    EXPECT_EQ(linesAt + linesLength, b.size());
    const Bytes lines(b.begin() + linesAt, b.end());
    const Bytes expectedLines = {1,  0, 0, 0, 5, 'a', '.', 'q', 'v', 's', 2, 0, 0, 0, 5, 0, 0, 0, 1,  2, 0, 0, 0,
                                 12, 0, 0, 0, 2, 2,   0,   0,   0,   18,  0, 0, 0, 4, 2, 0, 0, 0, 22, 0, 0, 0, 5};
    EXPECT_EQ(lines, expectedLines);
}

TEST(ModuleWriter, RefusesWhatItCannotWriteFaithfully) {
    const auto refused = [](InstructionList list) {
        const WrittenModule m = WriteModule(list, false, "");
        EXPECT_FALSE(m.ok);
        EXPECT_TRUE(m.bytes.empty());
        return m.error;
    };
    EXPECT_NE(refused({Entry(".main"), Jump(Op::JMP, 3)}).find("never defined"), std::string::npos);
    refused({Entry(".main"), Label(1), Label(1)});
    EXPECT_NE(refused({Entry(".main"), WithOperand(Op::ROT, 128)}).find("does not fit"), std::string::npos);
    refused({Entry(".main"), WithOperand(Op::RESERVE, 40000)});
    refused({Entry(".main"), WithOperand(Op::PUSHINT, 0x80000000LL)});
    refused({Bare(Op::PUSHTRUE)});  // outside any function
    refused({Entry(".main"), Bare(Op::END)});
    refused({Entry(".main"), Named(Op::GETGLOBAL, std::string("a\0b", 3))});
    Instruction bogus = Bare(Op::PUSHTRUE);
    bogus.opcode = 200;
    refused({Entry(".main"), bogus});
}

// ---- Readers ----

const InstructionList kReturnTrue = {Entry(".main"), Bare(Op::PUSHTRUE), Bare(Op::RET)};

TEST(ModuleReader, SkipsOneHashLineAndRefusesForeignOrTruncatedInput) {
    const Bytes plain = WriteFixed(kReturnTrue);
    const auto module = ReadModuleMemory(plain);
    ASSERT_TRUE(module);
    ASSERT_EQ(module->sections.size(), 4u);
    EXPECT_EQ(module->Find(SectionKind::Code)->bytes, (Bytes{0x60, 0x33}));
    EXPECT_EQ(module->Find(SectionKind::Functions)->bytes.size(), 14u);
    EXPECT_EQ(module->sections[2].tag, 0xABCDEF02u);

    Bytes hashed = {'#', '!', '/', 'b', 'i', 'n', '/', 'v', '\n'};
    hashed.insert(hashed.end(), plain.begin(), plain.end());
    const auto fromHashed = ReadModuleMemory(hashed);
    ASSERT_TRUE(fromHashed);
    EXPECT_EQ(fromHashed->Find(SectionKind::Code)->bytes, (Bytes{0x60, 0x33}));
    EXPECT_FALSE(ReadModuleMemory(Bytes{'#', '!', 'Q', 'X', '1', 'b', 0xFF, 0xFF, 0xFF, 0xFF}));  // no LF

    // Every proper prefix loses part of a section or of the directory.
    for (size_t n = 0; n < plain.size(); ++n) EXPECT_FALSE(ReadModuleMemory(plain.data(), n)) << "prefix of " << n;
    const auto refusedWith = [&plain](size_t at, std::vector<uint8_t> patch) {
        Bytes b = plain;
        std::copy(patch.begin(), patch.end(), b.begin() + at);
        return !ReadModuleMemory(b).has_value();
    };
    EXPECT_TRUE(refusedWith(3, {'a'}));           // foreign magic
    EXPECT_TRUE(refusedWith(4 + 12 + 8, {11}));   // pool length reaches past the end
    EXPECT_TRUE(refusedWith(4 + 12, {0}));        // a second code section
    EXPECT_TRUE(refusedWith(4 + 24, {4}));        // an unknown kind
    EXPECT_TRUE(refusedWith(4 + 24 + 4, {56}));   // function table overlapping the code
    EXPECT_TRUE(refusedWith(4 + 4, {40}));        // code inside the directory
    EXPECT_FALSE(refusedWith(4 + 12 + 4, {60}));  // an empty section may point anywhere in bounds

    // An empty directory is well framed; the verifier is what refuses it.
    const auto bare = ReadModuleMemory(Bytes{'Q', 'X', '1', 'b', 0xFF, 0xFF, 0xFF, 0xFF});
    ASSERT_TRUE(bare);
    EXPECT_FALSE(VerifyModule(*bare).ok);

    testing::ScratchFolder folder;
    EXPECT_TRUE(ReadModuleFile(folder.Write("m.qvc", hashed)));
    EXPECT_FALSE(ReadModuleFile(folder.Path() + "missing.qvc"));
}

// ---- Verifier ----

// Code offsets: f 0..34 (prologue 0..8, JF at 16 to 32), .main 34..41; pool: x, 5, "s".
const InstructionList kTwoFunctions = {
    Entry("f"),
    WithOperand(Op::GETARG, 1),
    Bare(Op::ADDI2),
    WithOperand(Op::ARGFIX, 3),
    WithOperand(Op::RESERVE, 1),
    WithOperand(Op::GETARG, 2),
    WithOperand(Op::SETLOCAL, 0),
    WithOperand(Op::GETLOCAL, 0),
    Jump(Op::JF, 1),
    Named(Op::GETGLOBAL, "x"),
    PushConst(Integer(5)),
    Bare(Op::RET),
    Label(1),
    Bare(Op::PUSHUNDEF),
    Bare(Op::RET),
    Entry(".main"),
    PushConst(String("s")),
    Bare(Op::POP),
    Bare(Op::PUSHTRUE),
};

Module ValidModule() {
    auto module = ReadModuleMemory(WriteFixed(kTwoFunctions, true, "t.qvs"));
    EXPECT_TRUE(module);
    return std::move(*module);
}

Bytes& SectionOf(Module& m, SectionKind kind) {
    for (Section& s : m.sections)
        if (s.Kind() == kind) return s.bytes;
    throw std::logic_error("no section");
}

// The verifier's reason after patching `bytes` at `at` in section `kind`.
std::string ReasonAfter(SectionKind kind, size_t at, Bytes patch) {
    Module m = ValidModule();
    Bytes& bytes = SectionOf(m, kind);
    if (at + patch.size() > bytes.size()) bytes.resize(at + patch.size());
    std::copy(patch.begin(), patch.end(), bytes.begin() + at);
    const ModuleCheck check = VerifyModule(m);
    EXPECT_EQ(check.ok, check.reason.empty());
    return check.ok ? "accepted" : check.reason;
}

bool Mentions(const std::string& reason, const std::string& part) {
    const bool found = reason.find(part) != std::string::npos;
    if (!found) ADD_FAILURE() << "'" << reason << "' lacks '" << part << "'";
    return found;
}

TEST(ModuleVerifier, AcceptsWhatTheWriterWrites) {
    const ModuleCheck check = VerifyModule(ValidModule());
    EXPECT_TRUE(check.ok) << check.reason;
    EXPECT_TRUE(VerifyModule(*ReadModuleMemory(WriteFixed(kReturnTrue))).ok);
}

TEST(ModuleVerifier, RefusesBadInstructions) {
    using K = SectionKind;
    Mentions(ReasonAfter(K::Code, 40, {32}), "opcode 32");
    Mentions(ReasonAfter(K::Code, 40, {113}), "opcode 113");
    Mentions(ReasonAfter(K::Code, 40, {static_cast<uint8_t>(Op::END)}), "opcode 106");
    Mentions(ReasonAfter(K::Code, 33, {static_cast<uint8_t>(Op::JMP)}), "past the function's end");
    Mentions(ReasonAfter(K::Code, 22, {0, 0, 0, 9}), "not a name");
    Mentions(ReasonAfter(K::Code, 22, {0, 0, 0, 1}), "not a name");      // the integer 5
    Mentions(ReasonAfter(K::Code, 27, {0, 0, 0, 0}), "not a constant");  // the name x
    Mentions(ReasonAfter(K::Code, 27, {0xFF, 0xFF, 0xFF, 0xFF}), "not a constant");
}

TEST(ModuleVerifier, JumpsStayInsideTheirFunctionOnInstructionStarts) {
    using K = SectionKind;
    EXPECT_EQ(ReasonAfter(K::Code, 17, {0, 0, 0, 13}), "accepted");               // 34: the loader's END
    EXPECT_EQ(ReasonAfter(K::Code, 17, {0xFF, 0xFF, 0xFF, 0xEB}), "accepted");    // -21: offset 0
    Mentions(ReasonAfter(K::Code, 17, {0, 0, 0, 14}), "jump target");             // into .main
    Mentions(ReasonAfter(K::Code, 17, {0xFF, 0xFF, 0xFF, 0xEA}), "jump target");  // before the code
    Mentions(ReasonAfter(K::Code, 17, {0, 0, 0, 1}), "jump target");              // inside GETGLOBAL
    Mentions(ReasonAfter(K::Code, 17, {0x80, 0, 0, 0}), "jump target");
}

TEST(ModuleVerifier, LocalsAndArgumentsStayInsideTheFrame) {
    using K = SectionKind;
    Mentions(ReasonAfter(K::Code, 11, {0, 1}), "local beyond");        // SETLOCAL 1 with RESERVE 1
    Mentions(ReasonAfter(K::Code, 11, {0xFF, 0xFF}), "local beyond");  // SETLOCAL -1
    Mentions(ReasonAfter(K::Code, 6, {0, 0}), "local beyond");         // RESERVE 0
    Mentions(ReasonAfter(K::Code, 9, {3}), "argument slot");           // ARGFIX 3: slots 0..2
    Mentions(ReasonAfter(K::Code, 9, {0xFF}), "argument slot");
    EXPECT_EQ(ReasonAfter(K::Code, 4, {4}), "accepted");  // ARGFIX 4 admits GETARG 3 ...
    Mentions(ReasonAfter(K::Code, 4, {1}), "ARGFIX below");
    Mentions(ReasonAfter(K::Code, 2, {static_cast<uint8_t>(Op::ADDI1)}), "outside the prologue");
    // .main has only the fixed slots and no locals.
    Mentions(ReasonAfter(K::Code, 40, {static_cast<uint8_t>(Op::GETARG)}), "past the function's end");
    Mentions(ReasonAfter(K::Code, 34, {static_cast<uint8_t>(Op::GETARG), 2, 0x5E, 0x5E, 0x5E}), "argument slot");
    EXPECT_EQ(ReasonAfter(K::Code, 34, {static_cast<uint8_t>(Op::GETARG), 1, 0x5E, 0x5E, 0x5E}), "accepted");
}

TEST(ModuleVerifier, RefusesMalformedTables) {
    using K = SectionKind;
    // Function table: count 2, "f" 0 offset 0, ".main" 0 offset 34.
    Mentions(ReasonAfter(K::Functions, 16, {0, 0, 0, 42}), "outside the code");
    Mentions(ReasonAfter(K::Functions, 5, {0, 0, 0, 1}), "out of order");  // the first function must start at 0
    Mentions(ReasonAfter(K::Functions, 20, {7}), "after the function table");
    Mentions(ReasonAfter(K::Functions, 0, {0x7F, 0xFF, 0xFF, 0xFF}), "function count");
    Mentions(ReasonAfter(K::Functions, 10, {'x'}), "one .main");
    // Pool: name x at 0, integer 5 at 3, string "s" at 12.
    Mentions(ReasonAfter(K::Pool, 19, {10, 'y'}), "record 3");            // unterminated name
    Mentions(ReasonAfter(K::Pool, 19, {99}), "record 3");                 // unknown kind
    Mentions(ReasonAfter(K::Pool, 16, {3}), "record 2");                  // odd string length
    Mentions(ReasonAfter(K::Pool, 19, {11, 8, 0, 0, 0, 0}), "record 3");  // unknown pattern flag
    EXPECT_EQ(ReasonAfter(K::Pool, 19, {1, 2, 1, 13, 5, 0, 0, 0, 0, 0, 0, 0xF8, 0x7F}), "accepted");
    // Lines: source name "t.qvs" (10 bytes), then records of 9.
    Mentions(ReasonAfter(K::Lines, 0, {2}), "source-name");
    Mentions(ReasonAfter(K::Lines, 10, {3}), "line record 0");
    Mentions(ReasonAfter(K::Lines, 11, {0, 0, 0, 42}), "line record 0");  // ends beyond the code
    Module m = ValidModule();
    SectionOf(m, K::Lines).push_back(2);
    Mentions(VerifyModule(m).reason, "line record 1");
}

// ---- Disassembler ----

TEST(Disassembler, ResolvesOperandsAndListsLines) {
    const std::string expected =
        "constants 3\n"
        "  #0 name x\n"
        "  #1 integer 5\n"
        "  #2 string \"s\"\n"
        "function f 0..34\n"
        "       0  GETARG 1\n"
        "       2  ADDI2\n"
        "       3  ARGFIX 3\n"
        "       5  RESERVE 1\n"
        "       8  GETARG 2\n"
        "      10  SETLOCAL 0\n"
        "      13  GETLOCAL 0\n"
        "      16  JF -> 32\n"
        "      21  GETGLOBAL x\n"
        "      26  PUSHCONST #1 5\n"
        "      31  RET\n"
        "      32  PUSHUNDEF\n"
        "      33  RET\n"
        "function .main 34..41\n"
        "      34  PUSHCONST #2 \"s\"\n"
        "      39  POP\n"
        "      40  PUSHTRUE\n"
        "lines \"t.qvs\"\n"
        "  2 line 0\n";
    EXPECT_EQ(DisassembleModule(ValidModule()), expected);

    Module bad = ValidModule();
    SectionOf(bad, SectionKind::Code)[40] = 0;
    EXPECT_EQ(DisassembleModule(bad), "; refused: function .main at 40: opcode 0 refused\n");
}

}  // namespace
}  // namespace velmo::script::compiler
