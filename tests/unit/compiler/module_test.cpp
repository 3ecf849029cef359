// Module bytes: the writer's exact layout and pool interning, the readers' refusals, the verifier's
// refusals of patched modules, and the disassembler's text.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "script/compiler/module_writer.h"
#include "script/runtime/module.h"

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

uint32_t LE32(const Bytes& b, size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24; }

// Where section `kind` starts, and its length, from the directory.
std::pair<size_t, size_t> SectionAt(const Bytes& b, int kind) {
    return {LE32(b, 4 + 12 * kind + 4), LE32(b, 4 + 12 * kind + 8)};
}

TEST(ModuleWriter, ReturnTrueIsTheSeventyTwoByteModule) {
    const InstructionList list = {Entry(".main"), Bare(Op::PUSHTRUE), Bare(Op::RET)};
    const Bytes expected = {
        'Q', 'X', '1', 'b',
        0x00, 0xEF, 0xCD, 0xAB, 56, 0, 0, 0, 2, 0, 0, 0,
        0x01, 0xEF, 0xCD, 0xAB, 58, 0, 0, 0, 0, 0, 0, 0,
        0x02, 0xEF, 0xCD, 0xAB, 58, 0, 0, 0, 14, 0, 0, 0,
        0x03, 0xEF, 0xCD, 0xAB, 72, 0, 0, 0, 0, 0, 0, 0,
        0xFF, 0xFF, 0xFF, 0xFF,
        0x60, 0x33,
        0, 0, 0, 1, '.', 'm', 'a', 'i', 'n', 0, 0, 0, 0, 0,
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
        PushConst(String("x")),         // 0: string "x"
        Named(Op::GETGLOBAL, "x"),      // 1: name x, not the string
        PushConst(String("x")),         // reuses 0
        PushConst(Integer(1)),          // 2
        PushConst(Integer(1)),          // reuses 2
        Named(Op::SETGLOBAL, "x"),      // reuses 1
        PushConst(String("1")),         // 3: not the integer 1
        PushConst(pattern),             // 4: /ag/
        PushConst(patternG),            // 5: /a/g, a different pattern
        PushConst(negZero),             // 6
        PushConst(zero),                // 7: -0 and 0 are different doubles
        PushConst(Integer(-2)),         // 8
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
        4, 0, 0, 0, 2, 'x', 0,                       // UTF-16LE "x"
        10, 'x', 0,                                  // name x
        3, 0, 0, 0, 0, 0, 0, 0, 1,                   // integer 1, big-endian
        4, 0, 0, 0, 2, '1', 0,                       // string "1"
        11, 0, 0, 0, 0, 4, 'a', 0, 'g', 0,           // /ag/
        11, 1, 0, 0, 0, 2, 'a', 0,                   // /a/g
        5, 0, 0, 0, 0, 0, 0, 0, 0x80,                // -0.0, little-endian
        5, 0, 0, 0, 0, 0, 0, 0, 0,                   // 0.0
        3, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE,
    };
    EXPECT_EQ(pool, expectedPool);
}

TEST(ModuleWriter, OperandsJumpsAndLineInformation) {
    const InstructionList list = {
        Entry(".main"),
        Label(7),                                      // offset 0
        WithOperand(Op::PUSHINT, -2, 1),               // 0..5
        Jump(Op::JF, 9, 1),                            // 5..10 -> 13: +3
        WithOperand(Op::ROT, -3, 2),                   // 10..12
        Bare(Op::POP, 2),                              // 12..13
        Label(9),
        Jump(Op::JMP, 7, 4),                           // 13..18 -> 0: -18
        Entry("f"),
        WithOperand(Op::GETLOCAL, 0x1234, 4),          // 18..21
        Bare(Op::RET, 5),                              // 21..22
    };
    const Bytes b = WriteFixed(list, true, "a.qvs");
    const auto [codeAt, codeLength] = SectionAt(b, 0);
    const Bytes code(b.begin() + codeAt, b.begin() + codeAt + codeLength);
    const Bytes expectedCode = {0x59, 0xFF, 0xFF, 0xFF, 0xFE, 0x38, 0, 0, 0, 3, 0x63, 0xFD, 0x67,
                                0x35, 0xFF, 0xFF, 0xFF, 0xEE, 0x54, 0x12, 0x34, 0x33};
    EXPECT_EQ(code, expectedCode);

    const auto [tableAt, tableLength] = SectionAt(b, 2);
    const Bytes table(b.begin() + tableAt, b.begin() + tableAt + tableLength);
    const Bytes expectedTable = {0, 0, 0, 2, '.', 'm', 'a', 'i', 'n', 0, 0, 0, 0, 0, 'f', 0, 0, 0, 0, 18};
    EXPECT_EQ(table, expectedTable);

    // A record for the first instruction and wherever the line changes, at the instruction's end.
    const auto [linesAt, linesLength] = SectionAt(b, 3);
    EXPECT_EQ(linesAt + linesLength, b.size());
    const Bytes lines(b.begin() + linesAt, b.end());
    const Bytes expectedLines = {1, 0, 0, 0, 5, 'a', '.', 'q', 'v', 's',
                                 2, 0, 0, 0, 5, 0, 0, 0, 1,
                                 2, 0, 0, 0, 12, 0, 0, 0, 2,
                                 2, 0, 0, 0, 18, 0, 0, 0, 4,
                                 2, 0, 0, 0, 22, 0, 0, 0, 5};
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

}  // namespace
}  // namespace velmo::script::compiler
