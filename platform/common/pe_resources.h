#pragma once
// Reads the resource directory of a PE image (32- or 64-bit) without loading it: the headless
// resource reader, the command-line tool's inspection of applications, and their fuzz target use
// it. Every offset and size read from the image is checked against the image before use.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velmo::platform {

// Random access to the bytes of an image file or buffer.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Reads exactly `sizeBytes` at `offset`; false if any of them lies outside the source.
    [[nodiscard]] virtual bool ReadAt(uint64_t offset, void* buffer, size_t sizeBytes) = 0;
};

class MemoryByteSource final : public ByteSource {
public:
    explicit MemoryByteSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    uint64_t Size() const override { return bytes_.size(); }
    bool ReadAt(uint64_t offset, void* buffer, size_t sizeBytes) override;

private:
    std::span<const uint8_t> bytes_;  // not owned
};

// A level of the resource tree is keyed by a number or by a UTF-16 name.
struct ResourceKey {
    bool isName = false;
    uint16_t id = 0;
    std::u16string name;

    // "#123" is the number 123; anything else is a name.
    static ResourceKey Parse(const std::string& text);
    bool Matches(const ResourceKey& other) const;  // names compare without regard to ASCII case
    std::string ToString() const;                  // "#123" or the name (non-ASCII as '?')
};

struct PeResource {
    ResourceKey type;
    ResourceKey name;
    uint16_t language = 0;
    uint64_t fileOffset = 0;  // where the data lies in the image file
    uint32_t sizeBytes = 0;
};

enum class PeStatus { Ok, NotPe, NoResources, Damaged };

// A resource table larger than this is treated as damaged rather than read.
inline constexpr size_t kMaxPeResources = 65536;

struct PeResourceTable {
    PeStatus status = PeStatus::NotPe;
    std::vector<PeResource> resources;  // in directory order

    // The entry for `type`/`name`: language neutral first, then US English, then the first listed.
    const PeResource* Find(const ResourceKey& type, const ResourceKey& name) const;
};

PeResourceTable ReadPeResources(ByteSource& image);

// The data of `resource`; nullopt if it does not lie wholly inside the image.
std::optional<std::vector<uint8_t>> ReadPeResourceData(ByteSource& image, const PeResource& resource);

}  // namespace velmo::platform
