// Win32 resources: the running module's, through the system's resource functions; or, once
// UseApplicationImage chose a file, that file's, through the portable PE reader.
#include "platform/resources.h"

#include <windows.h>

#include <cstring>
#include <memory>

#include "platform/file_byte_source.h"
#include "platform/last_error.h"
#include "platform/pe_resources.h"
#include "platform/win32/application_image.h"

namespace velmo::platform {

namespace {

// "#n" stands for the number n, as MAKEINTRESOURCE; the system parses that form itself, but only
// for decimal numbers, which is the only form the portable reader accepts too.
std::optional<std::vector<uint8_t>> LoadFromRunningModule(const std::string& name, const std::string& type) {
    HRSRC found = ::FindResourceA(nullptr, name.c_str(), type.c_str());
    if (!found) return std::nullopt;
    const DWORD size = ::SizeofResource(nullptr, found);
    HGLOBAL loaded = size ? ::LoadResource(nullptr, found) : nullptr;
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data) {
        SetLastErrorCode(kErrorInvalidData);
        return std::nullopt;
    }
    // The module's resource memory is read-only and lives as long as the module; callers get a copy
    // they may keep and change.
    std::vector<uint8_t> bytes(size);
    std::memcpy(bytes.data(), data, size);
    return bytes;
}

struct CachedImage {
    std::string path;
    PeResourceTable table;
};
std::unique_ptr<CachedImage> cache;

std::optional<std::vector<uint8_t>> LoadFromFile(const std::string& path, const std::string& name,
                                                 const std::string& type) {
    std::unique_ptr<File> file = OpenFile(path, FileMode::ReadShared);
    if (!file) return std::nullopt;
    FileByteSource image(std::move(file));
    if (!cache || cache->path != path) cache.reset(new CachedImage{path, ReadPeResources(image)});
    const PeResourceTable& table = cache->table;
    if (table.status == PeStatus::NotPe) {
        SetLastErrorCode(kErrorBadExeFormat);
        return std::nullopt;
    }
    if (table.status != PeStatus::Ok) {
        SetLastErrorCode(kErrorResourceDataNotFound);
        return std::nullopt;
    }
    const ResourceKey typeKey = ResourceKey::Parse(type), nameKey = ResourceKey::Parse(name);
    const PeResource* found = table.Find(typeKey, nameKey);
    if (!found) {
        bool typeSeen = false;
        for (const PeResource& r : table.resources) typeSeen = typeSeen || r.type.Matches(typeKey);
        SetLastErrorCode(typeSeen ? kErrorResourceNameNotFound : kErrorResourceTypeNotFound);
        return std::nullopt;
    }
    std::optional<std::vector<uint8_t>> data = ReadPeResourceData(image, *found);
    if (!data || data->empty()) {
        SetLastErrorCode(kErrorInvalidData);
        return std::nullopt;
    }
    return data;
}

}  // namespace

void win32::ResetResourceCache() { cache.reset(); }

std::optional<std::vector<uint8_t>> LoadImageResource(const std::string& name, const std::string& type) {
    const std::string& chosen = win32::ChosenApplicationImage();
    if (!chosen.empty()) return LoadFromFile(chosen, name, type);
    return LoadFromRunningModule(name, type);
}

}  // namespace velmo::platform
