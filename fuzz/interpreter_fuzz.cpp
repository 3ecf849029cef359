// Runs any module the verifier accepts in a complete engine: whatever the code does with the
// stack, frames, try records and with-scopes, it must end with a result or an error, never with a
// crash or a read outside the stack. Fuzzing builds bound every run's instruction count, so
// endless loops end too.
#include <cstddef>
#include <cstdint>

#include "host/make_engine.h"
#include "script/runtime/module_reader.h"
#include "script/runtime/module_verifier.h"

using namespace velmo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto module = script::ReadModuleMemory(data, size);
    if (!module || !script::VerifyModule(*module).ok) return 0;
    script::EngineOptions options;
    options.stackCells = 512;  // overflows come sooner and cheaper
    const auto engine = host::MakeEngine(options);
    if (!engine) return 0;
    const int outcome = engine->RunModule(*module);
    if (outcome != 0 && outcome != 1) __builtin_trap();
    return 0;
}
