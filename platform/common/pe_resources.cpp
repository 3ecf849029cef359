// PE resource directory reader. The tree has exactly three levels (type, name, language); its
// offsets are relative to the start of the resource directory, while the data entries hold image
// addresses that are mapped back to file offsets through the section table.
#include "platform/common/pe_resources.h"

#include <cstring>

#include "platform/byte_order.h"

namespace velmo::platform {

bool MemoryByteSource::ReadAt(uint64_t offset, void* buffer, size_t sizeBytes) {
    if (offset > bytes_.size() || sizeBytes > bytes_.size() - offset) return false;
    if (sizeBytes != 0) std::memcpy(buffer, bytes_.data() + offset, sizeBytes);
    return true;
}

ResourceKey ResourceKey::Parse(const std::string& text) {
    ResourceKey key;
    if (text.size() > 1 && text[0] == '#') {
        uint32_t n = 0;
        bool digits = text.size() <= 6;
        for (size_t i = 1; digits && i < text.size(); ++i) {
            digits = text[i] >= '0' && text[i] <= '9';
            n = n * 10 + static_cast<uint32_t>(text[i] - '0');
        }
        if (digits && n <= 0xFFFF) {
            key.id = static_cast<uint16_t>(n);
            return key;
        }
    }
    key.isName = true;
    for (unsigned char c : text) key.name.push_back(static_cast<char16_t>(c));
    return key;
}

namespace {
char16_t UpperAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }
}  // namespace

bool ResourceKey::Matches(const ResourceKey& other) const {
    if (isName != other.isName) return false;
    if (!isName) return id == other.id;
    if (name.size() != other.name.size()) return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (UpperAscii(name[i]) != UpperAscii(other.name[i])) return false;
    return true;
}

std::string ResourceKey::ToString() const {
    if (!isName) {
        std::string text = "#";  // appended, not `"#" + ...`: g++ 12 -O3 warns falsely on that form
        text += std::to_string(id);
        return text;
    }
    std::string out;
    for (char16_t c : name) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

const PeResource* PeResourceTable::Find(const ResourceKey& type, const ResourceKey& name) const {
    const PeResource* first = nullptr;
    const PeResource* english = nullptr;
    for (const PeResource& r : resources) {
        if (!r.type.Matches(type) || !r.name.Matches(name)) continue;
        if (r.language == 0) return &r;
        if (r.language == 0x409 && !english) english = &r;
        if (!first) first = &r;
    }
    return english ? english : first;
}

namespace {

constexpr uint32_t kHighBit = 0x80000000u;

struct Section {
    uint32_t virtualAddress;
    uint32_t virtualSize;
    uint32_t rawSize;
    uint32_t rawOffset;
};

class Reader {
public:
    Reader(ByteSource& image, PeResourceTable& table) : image_(image), table_(table) {}

    PeStatus Run();

private:
    bool ReadHeaders(uint32_t& resourceRva, uint32_t& resourceSize);
    std::optional<uint64_t> RvaToOffset(uint32_t rva, uint32_t sizeBytes) const;
    bool ReadKey(uint32_t nameOrId, ResourceKey& key);
    bool ReadDirectory(uint32_t offset, int level, PeResource& path);
    bool ReadDataEntry(uint32_t offset, PeResource& path);

    template <size_t N>
    bool Read(uint64_t offset, uint8_t (&buffer)[N]) {
        return image_.ReadAt(offset, buffer, N);
    }

    ByteSource& image_;
    PeResourceTable& table_;
    std::vector<Section> sections_;
    uint64_t root_ = 0;       // file offset of the resource directory
    size_t entriesSeen_ = 0;  // bounds the work on trees whose directories share sub-directories
};

PeStatus Reader::Run() {
    uint8_t mz[2];
    if (!Read(0, mz) || mz[0] != 'M' || mz[1] != 'Z') return PeStatus::NotPe;
    uint32_t rva = 0, size = 0;
    if (!ReadHeaders(rva, size)) return PeStatus::NotPe;
    if (rva == 0 || size == 0) return PeStatus::NoResources;
    const std::optional<uint64_t> root = RvaToOffset(rva, 16);
    if (!root) return PeStatus::Damaged;
    root_ = *root;
    PeResource path;
    if (!ReadDirectory(0, 0, path)) {
        table_.resources.clear();
        return PeStatus::Damaged;
    }
    return PeStatus::Ok;
}

bool Reader::ReadHeaders(uint32_t& resourceRva, uint32_t& resourceSize) {
    uint8_t lfanew[4];
    if (!image_.ReadAt(0x3C, lfanew, 4)) return false;
    const uint64_t pe = LoadU32(lfanew);
    uint8_t fileHeader[24];
    if (!Read(pe, fileHeader) || std::memcmp(fileHeader, "PE\0\0", 4) != 0) return false;
    const uint16_t sectionCount = LoadU16(fileHeader + 6);
    const uint16_t optionalSize = LoadU16(fileHeader + 20);
    const uint64_t optional = pe + 24;
    uint8_t magic[2];
    if (!Read(optional, magic)) return false;
    // PE32 and PE32+ differ only in where the data directories start.
    const uint16_t kind = LoadU16(magic);
    const uint32_t dirsAt = kind == 0x10b ? 96 : kind == 0x20b ? 112 : 0;
    if (dirsAt == 0 || optionalSize < dirsAt) return false;
    uint8_t count[4];
    if (!image_.ReadAt(optional + dirsAt - 4, count, 4)) return false;
    resourceRva = resourceSize = 0;
    if (LoadU32(count) > 2 && optionalSize >= dirsAt + 3 * 8) {
        uint8_t dir[8];
        if (!Read(optional + dirsAt + 2 * 8, dir)) return false;
        resourceRva = LoadU32(dir);
        resourceSize = LoadU32(dir + 4);
    }
    for (uint16_t i = 0; i < sectionCount; ++i) {
        uint8_t s[40];
        if (!Read(optional + optionalSize + 40ull * i, s)) return false;
        sections_.push_back({LoadU32(s + 12), LoadU32(s + 8), LoadU32(s + 16), LoadU32(s + 20)});
    }
    return true;
}

std::optional<uint64_t> Reader::RvaToOffset(uint32_t rva, uint32_t sizeBytes) const {
    for (const Section& s : sections_) {
        if (rva < s.virtualAddress) continue;
        const uint64_t delta = rva - s.virtualAddress;
        // Only bytes present in the file can be read; the zero-filled tail of a section is not.
        if (delta + sizeBytes > s.rawSize) continue;
        const uint64_t offset = s.rawOffset + delta;
        if (offset + sizeBytes > image_.Size()) return std::nullopt;
        return offset;
    }
    return std::nullopt;
}

bool Reader::ReadKey(uint32_t nameOrId, ResourceKey& key) {
    key = ResourceKey{};
    if (!(nameOrId & kHighBit)) {
        if (nameOrId > 0xFFFF) return false;
        key.id = static_cast<uint16_t>(nameOrId);
        return true;
    }
    const uint64_t at = root_ + (nameOrId & ~kHighBit);
    uint8_t length[2];
    if (!Read(at, length)) return false;
    const uint16_t units = LoadU16(length);
    std::vector<uint8_t> raw(units * 2u);
    if (!image_.ReadAt(at + 2, raw.data(), raw.size())) return false;
    key.isName = true;
    for (uint16_t i = 0; i < units; ++i) key.name.push_back(static_cast<char16_t>(LoadU16(&raw[2u * i])));
    return true;
}

// Level 0 lists types, level 1 names, level 2 languages; only level 2 points at data entries.
bool Reader::ReadDirectory(uint32_t offset, int level, PeResource& path) {
    uint8_t header[16];
    if (!Read(root_ + offset, header)) return false;
    const uint32_t entries = static_cast<uint32_t>(LoadU16(header + 12)) + LoadU16(header + 14);
    for (uint32_t i = 0; i < entries; ++i) {
        uint8_t entry[8];
        if (++entriesSeen_ > 4 * kMaxPeResources) return false;
        if (!Read(root_ + offset + 16 + 8ull * i, entry)) return false;
        const uint32_t nameOrId = LoadU32(entry);
        const uint32_t target = LoadU32(entry + 4);
        const bool isDirectory = (target & kHighBit) != 0;
        if (isDirectory != (level < 2)) return false;
        if (level == 0 && !ReadKey(nameOrId, path.type)) return false;
        if (level == 1 && !ReadKey(nameOrId, path.name)) return false;
        if (level == 2) {
            if (nameOrId > 0xFFFF) return false;
            path.language = static_cast<uint16_t>(nameOrId);
        }
        const bool ok = isDirectory ? ReadDirectory(target & ~kHighBit, level + 1, path) : ReadDataEntry(target, path);
        if (!ok) return false;
    }
    return true;
}

bool Reader::ReadDataEntry(uint32_t offset, PeResource& path) {
    uint8_t entry[16];
    if (!Read(root_ + offset, entry)) return false;
    if (table_.resources.size() >= kMaxPeResources) return false;
    const std::optional<uint64_t> data = RvaToOffset(LoadU32(entry), LoadU32(entry + 4));
    if (!data) return false;
    path.fileOffset = *data;
    path.sizeBytes = LoadU32(entry + 4);
    table_.resources.push_back(path);
    return true;
}

}  // namespace

PeResourceTable ReadPeResources(ByteSource& image) {
    PeResourceTable table;
    table.status = Reader(image, table).Run();
    return table;
}

std::optional<std::vector<uint8_t>> ReadPeResourceData(ByteSource& image, const PeResource& resource) {
    if (resource.fileOffset > image.Size() || resource.sizeBytes > image.Size() - resource.fileOffset)
        return std::nullopt;
    std::vector<uint8_t> bytes(resource.sizeBytes);
    if (!image.ReadAt(resource.fileOffset, bytes.data(), bytes.size())) return std::nullopt;
    return bytes;
}

}  // namespace velmo::platform
