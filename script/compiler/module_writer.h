#pragma once
// Serializes an instruction list into module bytes: code, pool, function table and line
// information after a four-entry directory. Every operand is checked against its class and every
// jump must reach a label defined in the list; otherwise nothing is written and `error` says why.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "script/compiler/instructions.h"

namespace velmo::script::compiler {

struct WrittenModule {
    bool ok = false;
    std::vector<uint8_t> bytes;  // empty unless ok
    std::string error;           // set unless ok
};

// Source of the meaningless upper 24 bits of each directory tag (only the low 24 bits are used).
using TagBitsSource = std::function<uint32_t()>;

// Tags come from a generator seeded with the clock, so two writes differ only in those bits.
[[nodiscard]] WrittenModule WriteModule(const InstructionList& list, bool lineInformation, std::string_view sourceName);
[[nodiscard]] WrittenModule WriteModule(const InstructionList& list, bool lineInformation, std::string_view sourceName,
                                        const TagBitsSource& tagBits);

}  // namespace velmo::script::compiler
