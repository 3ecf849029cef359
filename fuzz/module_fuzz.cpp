// The module readers and the verifier over any bytes; a verified module is disassembled too, which
// walks every instruction, operand and pool entry the verifier vouched for.
#include <cstddef>
#include <cstdint>

#include "script/runtime/disassembler.h"
#include "script/runtime/module_reader.h"
#include "script/runtime/module_verifier.h"

using namespace velmo::script;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto module = ReadModuleMemory(data, size);
    if (!module) return 0;
    const ModuleCheck check = VerifyModule(*module);
    if (check.ok == check.reason.empty()) {
        const std::string text = DisassembleModule(*module);
        if (check.ok && text.starts_with("; refused")) __builtin_trap();
        if (!check.ok && !text.starts_with("; refused")) __builtin_trap();
    } else {
        __builtin_trap();  // a refusal always says why, an acceptance never does
    }
    return 0;
}
