// Resource look-up in an image file, failing with the last error the system's resource functions
// would set, so that callers report the same text on both targets.
#include "platform/common/image_file_resources.h"

#include <memory>

#include "platform/common/file_byte_source.h"
#include "platform/common/pe_resources.h"
#include "platform/files.h"
#include "platform/last_error.h"

namespace velmo::platform {

namespace {

struct CachedImage {
    std::string path;
    PeResourceTable table;
};
std::unique_ptr<CachedImage> cache;

}  // namespace

void ForgetImageFileResources() { cache.reset(); }

std::optional<std::vector<uint8_t>> LoadImageFileResource(const std::string& path, const std::string& name,
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

}  // namespace velmo::platform
