// Menu definitions: any bytes read without fault, and what was read writes back to bytes that read
// the same again.
#include <cstddef>
#include <cstdint>
#include <span>

#include "shell/menu_definition.h"

using namespace velmo::shell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto items = ReadMenuDefinition(std::span<const uint8_t>(data, size));
    if (!items) return 0;
    const auto again = ReadMenuDefinition(WriteMenuDefinition(*items));
    if (!again || *again != *items) __builtin_trap();
    return 0;
}
