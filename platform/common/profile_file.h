#pragma once
// The text form of a stored profile, shared by every target that keeps the profile in a file. Parsing never
// fails: damaged lines are dropped. Writing then parsing gives back the same document.

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace velmo::platform {

// A binary value, a string, or a 32-bit integer (the registry's REG_BINARY, REG_SZ, REG_DWORD).
using ProfileData = std::variant<std::vector<uint8_t>, std::string, uint32_t>;

struct ProfileValue {
    std::string name;
    ProfileData data;
    bool operator==(const ProfileValue&) const = default;
};

struct ProfileSection {
    std::string name;
    std::vector<ProfileValue> values;
    bool operator==(const ProfileSection&) const = default;
};

// Sections and values keep the order in which they were first stored, and the spelling of their first store;
// no two sections, nor two values of one section, have names equal without case.
struct ProfileDocument {
    std::vector<ProfileSection> sections;

    const ProfileData* Find(std::string_view section, std::string_view value) const;
    void Set(std::string_view section, std::string_view value, ProfileData data);
    bool operator==(const ProfileDocument&) const = default;
};

// ASCII case-insensitive equality, as the registry compares key and value names.
bool ProfileNamesEqual(std::string_view a, std::string_view b);

ProfileDocument ParseProfileText(std::string_view text);
std::string WriteProfileText(const ProfileDocument& document);

}  // namespace velmo::platform
