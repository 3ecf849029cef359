#pragma once
// Writes resources into PE images: a resource-only PE32+ image with one ".rsrc" section, or a copy
// of an existing executable with a new resource section. Either way the tree is laid out as the
// system's resource compiler does (names upper-cased and sorted before numbers, so the system's
// binary search finds them).

#include <cstdint>
#include <span>
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

// A copy of the PE executable `image` whose resources are its own merged with `resources` (a new
// one replaces an old one of the same type, name and language). The merged tree goes into a new
// ".rsrc" section behind the last one; an old ".rsrc" section keeps its bytes under the name
// ".oldrsrc". Whatever followed the image (an old package) is dropped; a COFF symbol table moves
// behind the new section.
// Throws std::runtime_error when `image` is not a PE image, its resources are damaged, its headers
// have no room for another section header, or it is signed (a certificate table would no longer
// match, and it lies behind the image where the package goes).
std::vector<uint8_t> AddResourcesToImage(std::span<const uint8_t> image, const std::vector<ImageResource>& resources);

}  // namespace velmo::builder
