// Headless resources: the resource section of the application image file.
#include "platform/resources.h"

#include "platform/common/image_file_resources.h"
#include "platform/environment.h"

namespace velmo::platform {

std::optional<std::vector<uint8_t>> LoadImageResource(const std::string& name, const std::string& type) {
    return LoadImageFileResource(ModuleFileName(), name, type);
}

}  // namespace velmo::platform
