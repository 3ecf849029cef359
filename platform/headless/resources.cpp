// Headless resources: the resource section of the application image file, parsed once per image.
#include "platform/resources.h"

#include <memory>

#include "platform/environment.h"
#include "platform/file_byte_source.h"
#include "platform/headless/host_path.h"
#include "platform/last_error.h"
#include "platform/pe_resources.h"

namespace velmo::platform {

namespace {

struct CachedImage {
    std::string path;
    PeResourceTable table;
};
std::unique_ptr<CachedImage> cache;

}  // namespace

void headless::ResetResourceCache() { cache.reset(); }

std::optional<std::vector<uint8_t>> LoadImageResource(const std::string& name, const std::string& type) {
    const std::string path = ModuleFileName();
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

}  // namespace velmo::platform
