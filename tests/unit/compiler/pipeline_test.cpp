// Source to module to disassembly: what the code generator writes, the verifier must accept, and
// the disassembler shows what the interpreter will run.
#include <gtest/gtest.h>

#include <regex>

#include "platform/files.h"
#include "script/compiler/compiler.h"
#include "script/runtime/disassembler.h"
#include "script/runtime/module_reader.h"
#include "script/runtime/module_verifier.h"

namespace velmo::script::compiler {
namespace {

// The instruction lines of the disassembly, without their offsets.
std::string Disassembly(std::string_view source) {
    const CompileResult compiled = CompileString(source, 0);
    if (!compiled.ok) return "compile error: " + compiled.diagnostics;
    const std::optional<Module> module = ReadModuleMemory(compiled.module);
    if (!module) return "unreadable";
    const ModuleCheck check = VerifyModule(*module);
    if (!check.ok) return "refused: " + check.reason;
    const std::string text = DisassembleModule(*module);
    std::string out;
    const std::regex instruction(R"(^\s+\d+\s+(.*)$)");
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        const std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        std::smatch m;
        if (std::regex_match(line, m, instruction)) out += m[1].str() + "\n";
        else if (line.rfind("function ", 0) == 0) out += line.substr(0, line.find(' ', 9)) + "\n";
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return out;
}

TEST(Pipeline, CallsPushArgumentsLastFirstThenTheCountAndTheCallee) {
    // PUTDOWN count + 2 leaves the result where the callee was; the last statement of the main
    // program keeps it as the run's result.
    EXPECT_EQ(Disassembly("f(a, b);"),
              "function .main\n"
              "GETGLOBAL b\nGETGLOBAL a\nPUSH2\nGETGLOBAL f\nCALL\nPUTDOWN 4\n");
    // In the middle of a program the result is dropped: PUTDOWN 4 and POP become DROPN 5.
    EXPECT_EQ(
        Disassembly("f(1, 2); x = 1;").rfind("function .main\nPUSH2\nPUSH1\nPUSH2\nGETGLOBAL f\nCALL\nDROPN 5\n", 0),
        0u);
}

TEST(Pipeline, WithScopesAssignThroughSetvarw) {
    const std::string text = Disassembly("with (o) { x = 5; }");
    EXPECT_NE(text.find("WITHENTER\n"), std::string::npos) << text;
    EXPECT_NE(text.find("SETVARW x\n"), std::string::npos) << text;
    EXPECT_NE(text.find("WITHLEAVE 1\n"), std::string::npos) << text;
}

TEST(Pipeline, EveryStatementKindCompilesToAModuleTheVerifierAccepts) {
    // The parser's seed scripts cover every statement and expression kind.
    for (const char* name : {"expressions", "functions", "loops", "native", "semicolons", "statements"}) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(
            platform::ReadWholeFile(std::string(VELMO_SOURCE_DIR "/fuzz/corpus/parser/") + name + ".qvs", bytes));
        const std::string text = Disassembly(std::string(bytes.begin(), bytes.end()));
        EXPECT_EQ(text.find("refused"), std::string::npos) << name << ": " << text;
        EXPECT_EQ(text.find("unreadable"), std::string::npos) << name;
    }
}

}  // namespace
}  // namespace velmo::script::compiler
