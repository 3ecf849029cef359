// Framing checks over untrusted bytes; all arithmetic on offsets and lengths is done in 64 bits so
// that no sum wraps around.
#include "script/runtime/module_reader.h"

#include <algorithm>
#include <cstring>

#include "platform/byte_order.h"
#include "platform/files.h"

namespace velmo::script {

namespace {

struct Extent {
    uint64_t start, end;
};

// Copies each section; false at the first framing fault.
bool ReadDirectory(const uint8_t* data, size_t size, Module& module) {
    size_t pos = 4;
    std::vector<Extent> extents;
    for (;;) {
        if (size - pos < 4) return false;
        const uint32_t tag = platform::LoadU32(data + pos);
        if (tag == kDirectoryEnd) break;
        if (size - pos < 12) return false;
        const uint64_t offset = platform::LoadU32(data + pos + 4);
        const uint64_t length = platform::LoadU32(data + pos + 8);
        pos += 12;
        if ((tag & 0xFF) > static_cast<uint32_t>(SectionKind::Lines)) return false;
        if (module.Find(static_cast<SectionKind>(tag & 0xFF))) return false;
        if (offset + length > size) return false;
        module.sections.push_back({tag, std::vector<uint8_t>(data + offset, data + offset + length)});
        if (length > 0) extents.push_back({offset, offset + length});
    }
    const uint64_t headerEnd = pos + 4;
    std::sort(extents.begin(), extents.end(), [](Extent a, Extent b) { return a.start < b.start; });
    uint64_t previousEnd = headerEnd;
    for (const Extent& e : extents) {
        if (e.start < previousEnd) return false;
        previousEnd = e.end;
    }
    return true;
}

}  // namespace

std::optional<Module> ReadModuleMemory(const uint8_t* data, size_t sizeBytes) {
    if (sizeBytes > 0 && data[0] == '#') {
        const auto* lf = static_cast<const uint8_t*>(std::memchr(data, '\n', sizeBytes));
        if (!lf) return std::nullopt;
        const size_t skipped = static_cast<size_t>(lf - data) + 1;
        data += skipped;
        sizeBytes -= skipped;
    }
    if (sizeBytes < 8 || std::memcmp(data, kModuleMagic.data(), kModuleMagic.size()) != 0) return std::nullopt;
    Module module;
    if (!ReadDirectory(data, sizeBytes, module)) return std::nullopt;
    return module;
}

std::optional<Module> ReadModuleMemory(const std::vector<uint8_t>& bytes) {
    return ReadModuleMemory(bytes.data(), bytes.size());
}

std::optional<Module> ReadModuleFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!platform::ReadWholeFile(path, bytes)) return std::nullopt;
    return ReadModuleMemory(bytes);
}

}  // namespace velmo::script
