#pragma once
// Writes a resource-only PE32+ image: valid headers and one ".rsrc" section holding the given
// resources, laid out as the system's resource compiler does (names upper-cased and sorted before
// numbers, so the system's binary search finds them).

#include <cstdint>
#include <string>
#include <vector>

namespace velmo::builder {

struct ImageResource {
    std::string type;  // a name, or "#n" for the number n
    std::string name;
    uint16_t language = 0;
    std::vector<uint8_t> data;
};

// Throws std::runtime_error when two resources share type, name and language.
std::vector<uint8_t> WriteResourceImage(const std::vector<ImageResource>& resources);

}  // namespace velmo::builder
