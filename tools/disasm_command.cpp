// velmo disasm: the listing of a compiled module. A module the verifier refuses is never listed:
// its reason goes to standard error and the status is 1, as a refused load would be.
#include <cstdio>

#include "platform/files.h"
#include "platform/last_error.h"
#include "script/runtime/disassembler.h"
#include "script/runtime/module_reader.h"
#include "script/runtime/module_verifier.h"
#include "tools/command_line.h"
#include "tools/commands.h"

namespace velmo::tools {

const CommandSpec kDisasmSpec = {
    "disasm", "MODULE.qvc", "print a compiled module's functions, constants and instructions", {}};

int DisasmCommand(const Args& args) {
    ParseOutcome parsed = ParseCommandLine(kDisasmSpec, args);
    if (!parsed.line) return parsed.status;
    if (parsed.line->operands.size() != 1) return UsageError(kDisasmSpec, "one MODULE needed");
    const std::string& path = parsed.line->operands[0];
    std::vector<uint8_t> bytes;
    if (!platform::ReadWholeFile(path, bytes))
        return Fail(1, "cannot open " + path + ": " + platform::SystemErrorText(platform::LastErrorCode()));
    const auto module = script::ReadModuleMemory(bytes);
    if (!module) return Fail(1, "not a readable compiled module: " + path);
    const script::ModuleCheck check = script::VerifyModule(*module);
    if (!check.ok) return Fail(1, "module refused: " + check.reason);
    const std::string text = script::DisassembleModule(*module);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}

}  // namespace velmo::tools
