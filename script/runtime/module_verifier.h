#pragma once
// The gate between untrusted module bytes and the loader: VerifyModule accepts a module only when
// loading and running it can never read or jump outside its buffers. The parsed views below are
// shared with the disassembler; each parse refuses with a reason instead of reading past a buffer.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "script/runtime/module.h"

namespace velmo::script {

struct ModuleCheck {
    bool ok = false;
    std::string reason;  // why the module is refused; empty when ok
};

struct FunctionRange {
    std::string name;
    uint32_t start = 0;  // offsets within the code section
    uint32_t end = 0;
};

struct PoolEntry {
    PoolKind kind = PoolKind::Null;
    int64_t integer = 0;    // Integer; Boolean as 0 or 1
    double number = 0;      // Float
    std::string text;       // Name bytes
    std::u16string text16;  // String and RegExp pattern
    uint8_t regexpFlags = 0;
};

struct LineRecord {
    uint32_t endOffset = 0;  // code offset of the end of the instruction the line begins at
    uint32_t line = 0;
};

struct LineInformation {
    bool present = false;
    std::string sourceName;
    std::vector<LineRecord> records;
};

// Each parser fills `reason` and gives nothing when its section is malformed.
std::optional<std::vector<FunctionRange>> ParseFunctionTable(const Module& module, std::string& reason);
std::optional<std::vector<PoolEntry>> ParsePool(const Module& module, std::string& reason);
std::optional<LineInformation> ParseLines(const Module& module, std::string& reason);

[[nodiscard]] ModuleCheck VerifyModule(const Module& module);

}  // namespace velmo::script
