#pragma once
// The constant pool the module writer fills: each name or constant is interned by (key, kind), so a
// repeated one reuses its index; a new entry takes the next index of the one counter names and
// constants share, and its record is appended to the pool bytes at that moment.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/compiler/instructions.h"

namespace velmo::script::compiler {

class ConstantPool {
public:
    static constexpr size_t kBuckets = 257;

    // Index of the name entry for `name` (which holds no 0 byte; the writer checks).
    uint32_t InternName(std::string_view name);
    // Index of the entry for `constant`; the writer has checked its kind and flags.
    uint32_t InternConstant(const Constant& constant);

    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    uint32_t Count() const { return count_; }

private:
    struct Entry {
        std::string key;
        uint8_t kind;
        uint32_t index;
    };
    // Index of (key, kind); `isNew` tells the caller to append the record.
    uint32_t Intern(std::string key, uint8_t kind, bool& isNew);

    std::array<std::vector<Entry>, kBuckets> buckets_;
    std::vector<uint8_t> bytes_;
    uint32_t count_ = 0;
};

}  // namespace velmo::script::compiler
