// velmo disasm: the listing of a compiled module. A module the verifier refuses is never listed:
// its reason goes to standard error and the status is 1, as a refused load would be.
#include <cstdio>

#include "script/runtime/disassembler.h"
#include "script/runtime/module_reader.h"
#include "script/runtime/module_verifier.h"
#include "tools/commands.h"

namespace velmo::tools {

int DisasmCommand(const Args& args) {
    if (args.size() != 1 || args[0].starts_with("--")) return Fail(kExitUsage, "usage: velmo disasm MODULE.qvc");
    const auto module = script::ReadModuleFile(args[0]);
    if (!module) return Fail(1, "not a readable compiled module: " + args[0]);
    const script::ModuleCheck check = script::VerifyModule(*module);
    if (!check.ok) return Fail(1, "module refused: " + check.reason);
    const std::string text = script::DisassembleModule(*module);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}

}  // namespace velmo::tools
