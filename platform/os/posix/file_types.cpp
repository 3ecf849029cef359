// Headless file types: the keys of HKEY_CLASSES_ROOT kept in a profile of their own, which writes
// each change safely (profile.cpp), one section per key path.
#include "platform/file_types.h"

#include <memory>

#include "platform/profile.h"

namespace velmo::platform {

namespace {
Profile& FileTypeStore() {
    static const std::unique_ptr<Profile> store = OpenProfile("Velmo", "File types");
    return *store;
}
}  // namespace

std::optional<std::string> ReadFileTypeValue(const std::string& keyPath) {
    return FileTypeStore().ReadString(keyPath, "");
}

bool WriteFileTypeValue(const std::string& keyPath, const std::string& text) {
    return FileTypeStore().WriteString(keyPath, "", text);
}

}  // namespace velmo::platform
