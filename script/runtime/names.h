#pragma once
// The name table: every identifier the runtime meets is interned once into a dense u32 id, in the
// order of first interning. Names are 8-bit text (the UTF-16 names of scripts converted at the
// border); entries live outside the collected heap and never move.
//
// The table is open-addressed: each place holds a name's id, its hash with its length (up to 15)
// in the low bits, and its first 8 bytes, so a probe reads no entry for a name of up to 8 bytes
// and compares the entry's text only where all of that agrees. It starts with 256 places and doubles them whenever it is half
// full, so lookups by text stay short when a script makes names by the hundred thousand (keys
// built from numbers, large objects, for-in over them). Nothing observable depends on the place
// layout: ids follow interning order and enumeration orders come from the objects' own indexes.
// So the home place is picked from the name hash scrambled by a multiplication: keys built as
// prefix + number + suffix share most of their hash bits.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velmo::script {

inline constexpr uint32_t kNameBuckets = 256;  // the starting place count
// Ids the name table never hands out: a slot made by position carries kPositionalSlotName, so it
// can never be mistaken for a property called by any name.
inline constexpr uint32_t kPositionalSlotName = 0xFFFFFFFE;

struct NameEntry {
    std::string text;
    uint32_t id;
    uint32_t hash;  // NameHash(text)
};

class NameTable {
public:
    uint32_t Intern(std::string_view name);
    // The id of `name`, or nullopt-like kNoName when it was never interned.
    static constexpr uint32_t kNoName = 0xFFFFFFFF;
    uint32_t Find(std::string_view name) const;
    // The same for a name given as ASCII UTF-16 text (every code unit below 0x80).
    uint32_t FindAscii(std::u16string_view name) const;
    // The text of `id`; "???" for an id that has none.
    std::string_view Text(uint32_t id) const;
    // NameHash of the text of `id`, which must have been handed out.
    uint32_t Hash(uint32_t id) const { return byId_[id]->hash; }
    const NameEntry* Entry(uint32_t id) const { return id < byId_.size() ? byId_[id].get() : nullptr; }
    uint32_t Count() const { return static_cast<uint32_t>(byId_.size()); }
    size_t BucketCount() const { return places_.size(); }

private:
    // What a place keeps of a name, to tell it from others without reading the entry.
    struct Key {
        uint32_t hash;  // NameHash
        uint32_t tag;   // hash << 4 | the length, or 15 for 15 bytes and more
        uint64_t head;  // the first 8 bytes, zero-padded
        size_t length;
    };
    struct Place {
        uint32_t tag;
        uint32_t id;  // kNoName: empty
        uint64_t head;
    };
    template <class Chars>
    static Key KeyOf(Chars text);
    void Grow();
    size_t HomeOf(uint32_t hash) const { return static_cast<uint32_t>(hash * 0x9E3779B1u) >> placeShift_; }
    // The id of the name with `key` that `same` accepts (asked only of names over 8 bytes), or kNoName.
    template <class SameText>
    uint32_t Probe(const Key& key, SameText same) const;

    std::vector<Place> places_ = std::vector<Place>(kNameBuckets, Place{0, kNoName, 0});
    std::vector<std::unique_ptr<NameEntry>> byId_;
    int placeShift_ = 32 - 8;  // 32 - log2(place count)
};
static_assert(kNameBuckets == 1u << 8, "placeShift_ starts from the starting place count");

}  // namespace velmo::script
