#pragma once
// A compiled module in memory: the sections a reader copied out of module bytes, each owning its
// bytes, so destroying the Module frees every copy (it is FreeModule). Nothing in here is trusted:
// VerifyModule must accept a module before anything loads or runs it.

#include <cstdint>
#include <string_view>
#include <vector>

namespace velmo::script {

inline constexpr std::string_view kModuleMagic = "QX1b";
inline constexpr uint32_t kDirectoryEnd = 0xFFFFFFFF;

// The low byte of a directory tag; the upper 24 bits carry no meaning.
enum class SectionKind : uint8_t { Code = 0, Pool = 1, Functions = 2, Lines = 3 };

// Kind bytes of constant-pool records.
enum class PoolKind : uint8_t {
    Null = 1,
    Boolean = 2,
    Integer = 3,
    String = 4,
    Float = 5,
    Name = 10,
    RegExp = 11,
    NaN = 13
};

// Kind bytes of line-information records.
inline constexpr uint8_t kLineSourceName = 1;
inline constexpr uint8_t kLineRecord = 2;

struct Section {
    uint32_t tag = 0;
    std::vector<uint8_t> bytes;

    SectionKind Kind() const { return static_cast<SectionKind>(tag & 0xFF); }
};

struct Module {
    std::vector<Section> sections;

    // The section of `kind`, or null when the module has none (readers refuse duplicates).
    const Section* Find(SectionKind kind) const {
        for (const Section& s : sections)
            if (s.Kind() == kind) return &s;
        return nullptr;
    }
};

// Module operands and pool integers are big-endian, unlike the directory.
inline uint32_t LoadU32BE(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
inline void AppendU32BE(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}
inline void StoreU32BE(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

}  // namespace velmo::script
